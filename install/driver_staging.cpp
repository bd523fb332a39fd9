/*
 * PostScript driver staging. The modules come from the operating system, never from the
 * package: an installed PostScript driver is preferred, and only when the machine has none are
 * they installed from the Windows NT distribution, through the version-checking installer so
 * that a newer module already on the machine is never replaced by an older one.
 */
#include <windows.h>

#include "install/driver_staging.h"
#include "install/status_code.h"
#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/error_reporting.h"

/* A module path: the driver directory (at most 508 characters), a subdirectory name (at most
 * 259) and a module name with their separators. wsprintfA never writes more than this. */
#define CB_MODULE_PATH 1024

/* The temporary-file name that VerInstallFileA reports. */
#define CB_TMP_FILE 260

static char szNoCurDir[] = "";

/* Present when a search on the full path finds it. */
static int isFilePresent(LPCSTR lpPath) {
  WIN32_FIND_DATAA fd;
  HANDLE hFind;

  hFind = FindFirstFileA(lpPath, &fd);
  if (hFind == INVALID_HANDLE_VALUE) return 0;
  FindClose(hFind);
  return 1;
}

/* 1 when lpDir holds both modules. */
static int holdsBothModules(LPCSTR lpDir) {
  char szPath[CB_MODULE_PATH];

  wsprintfA(szPath, "%s\\%s", lpDir, PS_DRIVER_FILE);
  if (!isFilePresent(szPath)) return 0;
  wsprintfA(szPath, "%s\\%s", lpDir, PS_CONFIG_FILE);
  return isFilePresent(szPath);
}

/* Copies one module from a version subdirectory up into the driver directory root. */
static int copyModuleUp(LPCSTR lpSubDir, LPCSTR lpFileName) {
  char szFrom[CB_MODULE_PATH];
  char szTo[CB_MODULE_PATH];

  wsprintfA(szFrom, "%s\\%s", lpSubDir, lpFileName);
  wsprintfA(szTo, "%s\\%s", szDriverDir, lpFileName);
  if (!CopyFileA(szFrom, szTo, FALSE) && GetLastError() != ERROR_ALREADY_EXISTS) return 0;
  return 1;
}

/*
 * A subdirectory name read as a number the way the C runtime's atoi reads it: blanks, a sign,
 * then digits up to the first other character. Accumulated modulo 2^32 so that an absurdly long
 * run of digits gives a defined (if useless) value rather than an overflow.
 */
static DWORD versionOfName(LPCSTR lpName) {
  DWORD dwValue = 0;
  int fNegative = 0;

  while (*lpName == ' ' || *lpName == '\t') lpName++;
  if (*lpName == '-' || *lpName == '+') fNegative = (*lpName++ == '-');
  while (*lpName >= '0' && *lpName <= '9') dwValue = dwValue * 10 + (DWORD)(*lpName++ - '0');
  return fNegative ? (DWORD)0 - dwValue : dwValue;
}

/* Windows NT 3.1 keeps its drivers in the root: only the root is looked at. */
static int setupForPPDInstall31(LPDWORD pdwVersion) {
  *pdwVersion = 1;
  if (!holdsBothModules(szDriverDir)) CopyPSDriverFiles();
  return STATUS_CODE_SUCCESS;
}

/* Windows NT 3.5 keeps each driver version in a numbered subdirectory of the driver
 * directory; the first subdirectory that holds both modules gives them and the version. Modules
 * in the root alone are taken as version 1. The subdirectories come first: the spooler moves
 * what it installs out of the root, so modules there beside a version subdirectory are staging
 * copies that a setup which ended early left, not a driver of their own. */
static int setupForPPDInstall35(LPDWORD pdwVersion) {
  char szPattern[CB_MODULE_PATH];
  char szSubDir[CB_MODULE_PATH];
  WIN32_FIND_DATAA fd;
  HANDLE hFind;
  int fFound = 0;

  wsprintfA(szPattern, "%s\\*", szDriverDir);
  hFind = FindFirstFileA(szPattern, &fd);
  if (hFind != INVALID_HANDLE_VALUE) {
    do {
      /* Plain directories only: ".", "..", and anything read-only, hidden or otherwise marked
       * are passed over. */
      if (fd.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY || fd.cFileName[0] == '.') continue;
      wsprintfA(szSubDir, "%s\\%s", szDriverDir, fd.cFileName);
      if (holdsBothModules(szSubDir)) {
        fFound = 1;
        break;
      }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
  }

  if (!fFound) {
    if (!holdsBothModules(szDriverDir)) CopyPSDriverFiles();
    *pdwVersion = 1;
    return STATUS_CODE_SUCCESS;
  }

  /* The help file is not needed on Windows NT 3.5. */
  if (!copyModuleUp(szSubDir, PS_DRIVER_FILE)) return STATUS_CODE_FAILURE;
  if (!copyModuleUp(szSubDir, PS_CONFIG_FILE)) return STATUS_CODE_FAILURE;

  *pdwVersion = versionOfName(fd.cFileName);
  if (*pdwVersion == 0 && lstrcmpA(fd.cFileName, "0") != 0) {
    /* A directory such as "color" is no driver version; say so rather than leave whatever
     * error the search left behind. */
    SetLastError(ERROR_INVALID_NAME);
    return STATUS_CODE_FAILURE;
  }
  return STATUS_CODE_SUCCESS;
}

int setupForPPDInstall(LPDWORD pdwVersion) {
  return fDaytona ? setupForPPDInstall35(pdwVersion) : setupForPPDInstall31(pdwVersion);
}

void CopyPSDriverFiles(void) {
  char szPath[CB_NT_DIST_PATH];
  DWORD cbPath = CB_NT_DIST_PATH;
  DWORD dwType = 0;
  HKEY hKey;
  LONG lResult;
  int fDriverInstalled;
  int fConfigInstalled;

  /* The registry answers its error rather than setting the last-error value: set it, so that
   * the report names the real cause. */
  lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, NT_SETUP_KEY, 0, KEY_ALL_ACCESS, &hKey);
  if (lResult != ERROR_SUCCESS) {
    SetLastError((DWORD)lResult);
    ReportSetupError("CopyPSDriverFiles -- Couldn't open NT dist. path key, Error = %d",
                     GetLastError());
  }

  lResult = RegQueryValueExA(hKey, NT_DIST_PATH_VALUE, NULL, &dwType, (LPBYTE)szPath, &cbPath);
  RegCloseKey(hKey);
  if (lResult == ERROR_SUCCESS && dwType != REG_SZ) lResult = ERROR_INVALID_DATA;
  /* A value stored without its terminator is terminated here; one that fills the whole buffer
   * without it does not fit. */
  if (lResult == ERROR_SUCCESS && (cbPath == 0 || szPath[cbPath - 1] != '\0')) {
    if (cbPath < CB_NT_DIST_PATH)
      szPath[cbPath] = '\0';
    else
      lResult = ERROR_MORE_DATA;
  }
  if (lResult != ERROR_SUCCESS) {
    SetLastError((DWORD)lResult);
    ReportSetupError("CopyPSDriverFiles -- Couldn't read NT dist. path, Error = %d",
                     GetLastError());
  }

  /* Every pass installs both modules again, so that they always come from one path. */
  for (;;) {
    DistributionPathDialog(szPath);
    fDriverInstalled = installDriverFile(PS_DRIVER_FILE, szPath, szDriverDir);
    fConfigInstalled = installDriverFile(PS_CONFIG_FILE, szPath, szDriverDir);
    if (fNT31) installDriverFile(PS_HELP_FILE, szPath, szDriverDir); /* help is a nicety */
    if (fDriverInstalled && fConfigInstalled) return;
    DriverFilesMissingNotice();
  }
}

int installDriverFile(LPCSTR lpFileName, LPCSTR lpSrcDir, LPCSTR lpDestDir) {
  char szTmpFile[CB_TMP_FILE];
  char szTmpPath[CB_MODULE_PATH];
  UINT cchTmpFile = CB_TMP_FILE;
  DWORD dwResult;
  DWORD dwError;

  /* Older headers declare every text of this call writable, newer ones the inputs constant:
   * the casts suit both. No current directory: the file is only looked for in lpDestDir. */
  szTmpFile[0] = '\0';
  dwResult = VerInstallFileA(0, (LPSTR)lpFileName, (LPSTR)lpFileName, (LPSTR)lpSrcDir,
                             (LPSTR)lpDestDir, szNoCurDir, szTmpFile, &cchTmpFile);
  if (dwResult == 0) return 1;

  /* A refused install leaves its temporary copy in the destination; nothing installs it later,
   * so it would only litter the spooler's directory. */
  if (dwResult & VIF_TEMPFILE) {
    szTmpFile[CB_TMP_FILE - 1] = '\0';
    if (szTmpFile[0] != '\0' && lstrlenA(lpDestDir) < CB_MODULE_PATH - CB_TMP_FILE) {
      wsprintfA(szTmpPath, "%s\\%s", lpDestDir, szTmpFile);
      DeleteFileA(szTmpPath);
    }
  }

  /* Any other result fails, even one of informational bits only. */
  switch (dwResult) {
    case VIF_OUTOFSPACE:
      dwError = ERROR_DISK_FULL;
      break;
    case VIF_ACCESSVIOLATION:
      dwError = ERROR_NOACCESS;
      break;
    case VIF_OUTOFMEMORY:
      dwError = ERROR_NOT_ENOUGH_MEMORY;
      break;
    case VIF_CANNOTREADSRC:
      dwError = ERROR_FILE_NOT_FOUND;
      break;
    default:
      dwError = ERROR_CANNOT_COPY;
      break;
  }
  SetLastError(dwError);
  return 0;
}
