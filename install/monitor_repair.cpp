/*
 * Monitor registry repair. A merge never overwrites: what the target key already holds wins,
 * what it lacks is added, and an old key is deleted only when all of it was copied. So a run
 * that fails half-way, or runs again, loses nothing.
 */
#include <windows.h>
#include <string.h>

#include "install/monitor_detection.h"
#include "install/monitor_repair.h"
#include "install/status_code.h"

#define TEMP_FILE_PREFIX "zps"

/* Keys made here: empty class, non-volatile, full access, default security. */
static LONG createKey(HKEY hParent, LPCSTR lpName, PHKEY phKey, LPDWORD pdwDisposition) {
  char szClass[1];

  szClass[0] = '\0';
  return RegCreateKeyExA(hParent, lpName, 0, szClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL,
                         phKey, pdwDisposition);
}

int copyRegValues(HKEY hSource, HKEY hTarget) {
  DWORD cValues = 0;
  DWORD cchMaxName = 0;
  DWORD cbMaxData = 0;
  DWORD cchName, cbData, dwType, i;
  LPSTR lpName;
  LPBYTE lpData;
  LONG lResult;
  BOOL fFailed = FALSE;

  /* A source whose values cannot be counted has not been copied: its key must stay. */
  if (!STATUS_CODE_SUCCEEDED(queryValueInfo(hSource, &cValues, &cchMaxName, &cbMaxData)))
    return STATUS_CODE_FAILURE;
  if (cValues == 0) return STATUS_CODE_SUCCESS;

  lpName = (LPSTR)LocalAlloc(LPTR, cchMaxName + 1);
  lpData = (LPBYTE)LocalAlloc(LPTR, cbMaxData + 1);
  if (lpName == NULL || lpData == NULL) {
    if (lpName != NULL) LocalFree((HLOCAL)lpName);
    if (lpData != NULL) LocalFree((HLOCAL)lpData);
    return STATUS_CODE_FAILURE;
  }
  for (i = 0; i < cValues; i++) {
    cchName = cchMaxName + 1;
    cbData = cbMaxData + 1;
    if (RegEnumValueA(hSource, i, lpName, &cchName, NULL, &dwType, lpData, &cbData) !=
        ERROR_SUCCESS) {
      fFailed = TRUE;
      continue;
    }
    /* The target's own value of that name stays. When it cannot be told whether the target
       has one, nothing is written and the copy counts as incomplete. */
    lResult = RegQueryValueExA(hTarget, lpName, NULL, NULL, NULL, NULL);
    if (lResult == ERROR_SUCCESS) continue;
    if (lResult != ERROR_FILE_NOT_FOUND ||
        RegSetValueExA(hTarget, lpName, 0, dwType, lpData, cbData) != ERROR_SUCCESS)
      fFailed = TRUE;
  }
  LocalFree((HLOCAL)lpName);
  LocalFree((HLOCAL)lpData);
  return fFailed ? STATUS_CODE_FAILURE : STATUS_CODE_SUCCESS;
}

int copyRegTree(HKEY hSource, HKEY hTarget) {
  DWORD cSubKeys = 0;
  DWORD cchMaxName = 0;
  DWORD cchName, i;
  LPSTR lpName = NULL;
  HKEY hSourceChild, hTargetChild;
  BOOL fFailed = FALSE;

  /* Subkeys that cannot be counted cannot be told copied, so the copy has failed. */
  if (!STATUS_CODE_SUCCEEDED(querySubKeyInfo(hSource, &cSubKeys, &cchMaxName)))
    fFailed = TRUE;
  else if (cSubKeys != 0) {
    lpName = (LPSTR)LocalAlloc(LPTR, cchMaxName + 1);
    if (lpName == NULL) fFailed = TRUE;
    for (i = 0; lpName != NULL && i < cSubKeys; i++) {
      cchName = cchMaxName + 1;
      if (RegEnumKeyExA(hSource, i, lpName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS ||
          RegOpenKeyExA(hSource, lpName, 0, KEY_READ, &hSourceChild) != ERROR_SUCCESS) {
        fFailed = TRUE;
        continue;
      }
      if (createKey(hTarget, lpName, &hTargetChild, NULL) != ERROR_SUCCESS) {
        RegCloseKey(hSourceChild);
        fFailed = TRUE;
        continue;
      }
      if (!STATUS_CODE_SUCCEEDED(copyRegTree(hSourceChild, hTargetChild))) fFailed = TRUE;
      RegCloseKey(hTargetChild);
      RegCloseKey(hSourceChild);
    }
    if (lpName != NULL) LocalFree((HLOCAL)lpName);
  }
  if (!STATUS_CODE_SUCCEEDED(copyRegValues(hSource, hTarget))) fFailed = TRUE;
  return fFailed ? STATUS_CODE_FAILURE : STATUS_CODE_SUCCESS;
}

int deleteRegTree(HKEY hParent, LPCSTR lpName) {
  HKEY hKey;
  DWORD cSubKeys = 0;
  DWORD cchMaxName = 0;
  DWORD cchName, i;
  LPSTR lpChild;

  if (RegOpenKeyExA(hParent, lpName, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
    return STATUS_CODE_FAILURE;
  if (STATUS_CODE_SUCCEEDED(querySubKeyInfo(hKey, &cSubKeys, &cchMaxName)) && cSubKeys != 0) {
    lpChild = (LPSTR)LocalAlloc(LPTR, cchMaxName + 1);
    /* From the last child down, so that a deletion never moves a child not yet visited. A child
       that stays makes the final deletion below fail. */
    for (i = cSubKeys; lpChild != NULL && i > 0; i--) {
      cchName = cchMaxName + 1;
      if (RegEnumKeyExA(hKey, i - 1, lpChild, &cchName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
        deleteRegTree(hKey, lpChild);
    }
    if (lpChild != NULL) LocalFree((HLOCAL)lpChild);
  }
  RegCloseKey(hKey);
  return RegDeleteKeyA(hParent, lpName) == ERROR_SUCCESS ? STATUS_CODE_SUCCESS
                                                         : STATUS_CODE_FAILURE;
}

/* Enables one privilege of the token. AdjustTokenPrivileges succeeds also for a privilege the
   token does not hold, and says so only through the last-error value. */
static BOOL enablePrivilege(HANDLE hToken, LUID luid) {
  TOKEN_PRIVILEGES tp;

  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid = luid;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!AdjustTokenPrivileges(hToken, FALSE, &tp, sizeof(tp), NULL, NULL)) return FALSE;
  return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

int setBackupRestorePrivileges(int nMode) {
  HANDLE hToken;
  LUID luidBackup, luidRestore;

  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken))
    return STATUS_CODE_FAILURE;
  if (nMode == 0) {
    AdjustTokenPrivileges(hToken, TRUE, NULL, 0, NULL, NULL);
    CloseHandle(hToken);
    return STATUS_CODE_SUCCESS;
  }
  if (!LookupPrivilegeValueA(NULL, SE_BACKUP_NAME, &luidBackup) ||
      !LookupPrivilegeValueA(NULL, SE_RESTORE_NAME, &luidRestore) ||
      !enablePrivilege(hToken, luidBackup)) {
    CloseHandle(hToken);
    return STATUS_CODE_FAILURE;
  }
  if (!enablePrivilege(hToken, luidRestore)) {
    /* Half enabled is not left behind. */
    AdjustTokenPrivileges(hToken, TRUE, NULL, 0, NULL, NULL);
    CloseHandle(hToken);
    return STATUS_CODE_FAILURE;
  }
  CloseHandle(hToken);
  return STATUS_CODE_SUCCESS;
}

/* Cuts the extension of the file name at the end of a path, walking by characters so that the
   trail byte of a double-byte character is never taken for a separator. A dot in a directory
   name is left alone. */
static void cutExtension(LPSTR lpPath) {
  LPSTR lpName = lpPath;
  LPSTR p;

  for (p = lpPath; *p != '\0'; p = CharNextA(p))
    if (*p == '\\' || *p == '/' || *p == ':') lpName = CharNextA(p);
  for (p = lpName; *p != '\0'; p = CharNextA(p))
    if (*p == '.') {
      *p = '\0';
      break;
    }
}

int saveRegKeyToFile(HKEY hParent, LPCSTR lpName, LPSTR lpFileName) {
  char szTempPath[MAX_PATH];
  DWORD cchTempPath;
  HKEY hKey;
  LONG lResult;

  cchTempPath = GetTempPathA(sizeof(szTempPath), szTempPath);
  if (cchTempPath == 0 || cchTempPath >= sizeof(szTempPath)) return STATUS_CODE_FAILURE;
  /* The system picks the number and creates the file; the save needs a name that no file has,
     so the file goes again and its name loses the extension. */
  if (GetTempFileNameA(szTempPath, TEMP_FILE_PREFIX, 0, lpFileName) == 0)
    return STATUS_CODE_FAILURE;
  DeleteFileA(lpFileName);
  cutExtension(lpFileName);

  if (RegOpenKeyExA(hParent, lpName, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS)
    return STATUS_CODE_FAILURE;
  lResult = RegSaveKeyA(hKey, lpFileName, NULL);
  RegCloseKey(hKey);
  return lResult == ERROR_SUCCESS ? STATUS_CODE_SUCCESS : STATUS_CODE_FAILURE;
}

int restoreRegKeyFromFile(HKEY hParent, LPCSTR lpName, LPCSTR lpFileName) {
  HKEY hKey;
  LONG lResult;

  if (createKey(hParent, lpName, &hKey, NULL) != ERROR_SUCCESS) return STATUS_CODE_FAILURE;
  lResult = RegRestoreKeyA(hKey, lpFileName, 0);
  RegCloseKey(hKey);
  return lResult == ERROR_SUCCESS ? STATUS_CODE_SUCCESS : STATUS_CODE_FAILURE;
}

/* Ends FixReg: disables the privileges, closes what is open and leaves lError (when not 0) as
   the last-error value for the caller's report. */
static int endFixReg(int nStatus, LONG lError, HKEY hTarget, HKEY hMonitors) {
  setBackupRestorePrivileges(0);
  if (hTarget != NULL) RegCloseKey(hTarget);
  if (hMonitors != NULL) RegCloseKey(hMonitors);
  if (lError != ERROR_SUCCESS) SetLastError((DWORD)lError);
  return nStatus;
}

int FixReg(LPCSTR lpMonitorsPath, LPCSTR lpMonitorName) {
  HKEY hMonitors;
  HKEY hTarget;
  HKEY hOld;
  LPCSTR lpDllName;
  DWORD dwDisposition = 0;
  DWORD cSubKeys = 0;
  DWORD cchMaxName = 0;
  DWORD cchName, i;
  LPSTR lpName;
  LONG lResult;

  lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, lpMonitorsPath, 0, KEY_ALL_ACCESS, &hMonitors);
  if (lResult != ERROR_SUCCESS) return endFixReg(STATUS_CODE_FAILURE, lResult, NULL, NULL);
  getMonitorDllName(&lpDllName);

  lResult = createKey(hMonitors, lpMonitorName, &hTarget, &dwDisposition);
  if (lResult != ERROR_SUCCESS) return endFixReg(STATUS_CODE_FAILURE, lResult, NULL, hMonitors);
  /* A target key that existed keeps its values as they are. */
  if (dwDisposition == REG_CREATED_NEW_KEY) {
    lResult = RegSetValueExA(hTarget, MONITOR_DRIVER_VALUE, 0, REG_SZ, (const BYTE *)lpDllName,
                             (DWORD)lstrlenA(lpDllName) + 1);
    if (lResult != ERROR_SUCCESS)
      return endFixReg(STATUS_CODE_FAILURE, lResult, hTarget, hMonitors);
  }

  if (!STATUS_CODE_SUCCEEDED(querySubKeyInfo(hMonitors, &cSubKeys, &cchMaxName)))
    return endFixReg(STATUS_CODE_FAILURE, (LONG)GetLastError(), hTarget, hMonitors);
  lpName = (LPSTR)LocalAlloc(LPTR, cchMaxName + 1);
  if (lpName == NULL)
    return endFixReg(STATUS_CODE_FAILURE, ERROR_NOT_ENOUGH_MEMORY, hTarget, hMonitors);

  /* From the last index down: deleting a merged key moves only keys already examined, so every
     key present at the start is looked at once. */
  for (i = cSubKeys; i > 0; i--) {
    cchName = cchMaxName + 1;
    if (RegEnumKeyExA(hMonitors, i - 1, lpName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
      continue;
    /* Key names compare without regard to case: the target in any case is still the target,
       never merged into itself or deleted. */
    if (lstrcmpiA(lpName, lpMonitorName) == 0) continue;
    if (RegOpenKeyExA(hMonitors, lpName, 0, KEY_READ, &hOld) != ERROR_SUCCESS) continue;
    if (!driverNamesMonitor(hOld, lpDllName)) {
      RegCloseKey(hOld);
      continue;
    }
    lResult = copyRegTree(hOld, hTarget);
    RegCloseKey(hOld);
    /* A key copied only in part stays, so that nothing of it is lost. */
    if (STATUS_CODE_SUCCEEDED(lResult)) deleteRegTree(hMonitors, lpName);
  }
  LocalFree((HLOCAL)lpName);
  return endFixReg(STATUS_CODE_SUCCESS, ERROR_SUCCESS, hTarget, hMonitors);
}
