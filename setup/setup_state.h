/*
 * The setup state: what the main sequence learns about the machine and the user's choices, kept
 * for the whole run and read by the installation engine. Also the start-up routines that bring
 * the Setup Toolkit frame up and down, and the registry library that is loaded by name at start.
 */
#ifndef SETUP_STATE_H
#define SETUP_STATE_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Operating system and processor; 0 or 1 each. */
extern int fChicago; /* Windows 95 */
extern int fDaytona; /* Windows NT 3.5 */
extern int fNT31;    /* Windows NT 3.1 */
extern int fX86;
extern int fAlpha;
extern int fMips;
extern int fUpgrade; /* the monitor was already installed */

extern int nSetupOption; /* 3: the first radio button of the option dialog; 1: any other */

extern char szSrcDir[256];     /* working directory at start, ending in a backslash */
extern char szSysDir[512];     /* Windows system directory, no trailing backslash */
extern char szDriverDir[512];  /* printer-driver directory of the local spooler */
extern char szInstallDir[512]; /* <system drive>\win32app\zelpsmon */

/* The registry entry points, looked up by name in ADVAPI32.DLL at start. The first six must be
 * there; the others are kept as found and may be NULL. */
typedef LONG(APIENTRY *PFNREGCLOSEKEY)(HKEY);
typedef LONG(APIENTRY *PFNREGCREATEKEYA)(HKEY, LPCSTR, PHKEY);
typedef LONG(APIENTRY *PFNREGDELETEKEYA)(HKEY, LPCSTR);
typedef LONG(APIENTRY *PFNREGOPENKEYA)(HKEY, LPCSTR, PHKEY);
typedef LONG(APIENTRY *PFNREGQUERYVALUEA)(HKEY, LPCSTR, LPSTR, PLONG);
typedef LONG(APIENTRY *PFNREGSETVALUEA)(HKEY, LPCSTR, DWORD, LPCSTR, DWORD);
typedef LONG(APIENTRY *PFNREGCREATEKEYEXA)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                           LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
typedef LONG(APIENTRY *PFNREGOPENKEYEXA)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
typedef LONG(APIENTRY *PFNREGQUERYVALUEEXA)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
typedef LONG(APIENTRY *PFNREGSETVALUEEXA)(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD);
typedef LONG(APIENTRY *PFNREGENUMKEYA)(HKEY, DWORD, LPSTR, DWORD);
typedef LONG(APIENTRY *PFNREGQUERYINFOKEYA)(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                                            LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, PFILETIME);

typedef struct tagREGISTRYLIBRARY {
  HMODULE hModule; /* NULL while not loaded */
  PFNREGCLOSEKEY pfnRegCloseKey;
  PFNREGCREATEKEYA pfnRegCreateKeyA;
  PFNREGDELETEKEYA pfnRegDeleteKeyA;
  PFNREGOPENKEYA pfnRegOpenKeyA;
  PFNREGQUERYVALUEA pfnRegQueryValueA;
  PFNREGSETVALUEA pfnRegSetValueA;
  PFNREGCREATEKEYEXA pfnRegCreateKeyExA;
  PFNREGOPENKEYEXA pfnRegOpenKeyExA;
  PFNREGQUERYVALUEEXA pfnRegQueryValueExA;
  PFNREGSETVALUEEXA pfnRegSetValueExA;
  PFNREGENUMKEYA pfnRegEnumKeyA;
  PFNREGQUERYINFOKEYA pfnRegQueryInfoKeyA;
} REGISTRYLIBRARY;

extern REGISTRYLIBRARY RegLib;

/* Start-up and teardown. */
int InitSetupFrame(LPSTR szCmdLine); /* -1, 0, or the positive frame value */
int LoadRegistryLibrary(void);       /* 1 when loaded with every required entry point */
void FreeRegistryLibrary(void);
void EndSetup(void); /* TerminateFrame, TerminateInstall, FreeRegistryLibrary */

/* The main sequence; its result becomes the process exit code and is always 0. */
int SetupMain(HINSTANCE hInstance, LPSTR szCmdLine, int nCmdShow);

#ifdef __cplusplus
}
#endif

#endif
