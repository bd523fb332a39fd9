/*
 * Bringing the Setup Toolkit frame up and down, recording the source directory, and loading the
 * registry library by name.
 */
#include <windows.h>
#include <direct.h>
#include <string.h>

#include "setup/setup_state.h"
#include "toolkit/toolkit_services.h"

/* 0 until the frame is up, then the value InitializeFrame answered. */
static int nFrameValue;

int InitSetupFrame(LPSTR szCmdLine) {
  int nFrame;
  UINT uPrevMode;
  int cch;

  if (nFrameValue > 0) return 0;

  nFrame = InitializeFrame(szCmdLine);
  if (nFrame == -1) return -1; /* another setup owns this machine: leave it alone */
  if (nFrame <= 0) {
    /* 0 is a failed frame; any other answer below zero is outside the toolkit's contract and
       is treated as one, so the frame is still torn down. */
    EndSetup();
    return 0;
  }
  if (!FInitializeInstall(HinstFrame(), HwndFrame())) {
    EndSetup();
    return 0;
  }
  nFrameValue = nFrame;

  /* No "drive not ready" boxes while the working directory is read from a floppy. */
  uPrevMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  if (_getcwd(szSrcDir, 255) == NULL) szSrcDir[0] = '\0';
  SetErrorMode(uPrevMode);

  OemToCharA(szSrcDir, szSrcDir);

  /* A directory that could not be read stays empty, so that the files are looked up relative
   * to the working directory, which is where they are. */
  cch = lstrlenA(szSrcDir);
  if (cch > 0 && szSrcDir[cch - 1] != '\\') lstrcatA(szSrcDir, "\\");

  return nFrameValue;
}

/* GetProcAddress answers a generic procedure; the table holds the real signatures. */
#define REGPROC(type, name) ((type)(void (*)(void))GetProcAddress(RegLib.hModule, name))

int LoadRegistryLibrary(void) {
  RegLib.hModule = LoadLibraryA("ADVAPI32.DLL");
  if (RegLib.hModule == NULL) return 0;

  RegLib.pfnRegCloseKey = REGPROC(PFNREGCLOSEKEY, "RegCloseKey");
  RegLib.pfnRegCreateKeyA = REGPROC(PFNREGCREATEKEYA, "RegCreateKeyA");
  RegLib.pfnRegDeleteKeyA = REGPROC(PFNREGDELETEKEYA, "RegDeleteKeyA");
  RegLib.pfnRegOpenKeyA = REGPROC(PFNREGOPENKEYA, "RegOpenKeyA");
  RegLib.pfnRegQueryValueA = REGPROC(PFNREGQUERYVALUEA, "RegQueryValueA");
  RegLib.pfnRegSetValueA = REGPROC(PFNREGSETVALUEA, "RegSetValueA");
  if (RegLib.pfnRegCloseKey == NULL || RegLib.pfnRegCreateKeyA == NULL ||
      RegLib.pfnRegDeleteKeyA == NULL || RegLib.pfnRegOpenKeyA == NULL ||
      RegLib.pfnRegQueryValueA == NULL || RegLib.pfnRegSetValueA == NULL) {
    FreeRegistryLibrary();
    return 0;
  }

  RegLib.pfnRegCreateKeyExA = REGPROC(PFNREGCREATEKEYEXA, "RegCreateKeyExA");
  RegLib.pfnRegOpenKeyExA = REGPROC(PFNREGOPENKEYEXA, "RegOpenKeyExA");
  RegLib.pfnRegQueryValueExA = REGPROC(PFNREGQUERYVALUEEXA, "RegQueryValueExA");
  RegLib.pfnRegSetValueExA = REGPROC(PFNREGSETVALUEEXA, "RegSetValueExA");
  RegLib.pfnRegEnumKeyA = REGPROC(PFNREGENUMKEYA, "RegEnumKeyA");
  RegLib.pfnRegQueryInfoKeyA = REGPROC(PFNREGQUERYINFOKEYA, "RegQueryInfoKeyA");
  return 1;
}

void FreeRegistryLibrary(void) {
  if (RegLib.hModule == NULL) return;
  FreeLibrary(RegLib.hModule);
  /* Forget the entry points with the module, so nothing calls into an unloaded library. */
  memset(&RegLib, 0, sizeof(RegLib));
}

void EndSetup(void) {
  TerminateFrame();
  TerminateInstall();
  FreeRegistryLibrary();
}
