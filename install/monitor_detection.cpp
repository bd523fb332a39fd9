/*
 * Monitor detection: walks the spooler's Monitors key and reads each monitor's "driver" value
 * into a small fixed buffer. Only the whole value counts: a path in front of the DLL name, or a
 * value too long for the buffer, is some other monitor.
 */
#include <windows.h>
#include <string.h>

#include "install/monitor_detection.h"
#include "install/status_code.h"
#include "toolkit/error_reporting.h"

#define CCH_KEY_CLASS 1024

int getMonitorDllName(LPCSTR *ppszDllName) {
  /* Bit 31 of the version word is set on hosts that are not Windows NT. */
  if (GetVersion() & 0x80000000)
    *ppszDllName = MONITOR_DLL_W95;
  else
    *ppszDllName = MONITOR_DLL_NT;
  return STATUS_CODE_SUCCESS;
}

/* One RegQueryInfoKeyA for both size queries. The registry answers its error rather than
   setting the thread's last-error value; it is set here so that a caller reporting the failure
   names its cause. */
static int queryKeyInfo(HKEY hKey, LPDWORD pcSubKeys, LPDWORD pcchMaxSubKey, LPDWORD pcValues,
                        LPDWORD pcchMaxValueName, LPDWORD pcbMaxValueData) {
  char szClass[CCH_KEY_CLASS];
  DWORD cchClass = CCH_KEY_CLASS;
  DWORD cSubKeys, cchMaxSubKey, cchMaxClass, cValues, cchMaxValueName, cbMaxValueData;
  DWORD cbSecurity;
  FILETIME ftLastWrite;
  LONG lResult;

  lResult =
      RegQueryInfoKeyA(hKey, szClass, &cchClass, NULL, &cSubKeys, &cchMaxSubKey, &cchMaxClass,
                       &cValues, &cchMaxValueName, &cbMaxValueData, &cbSecurity, &ftLastWrite);
  if (lResult != ERROR_SUCCESS) {
    SetLastError((DWORD)lResult);
    return STATUS_CODE_FAILURE;
  }
  if (pcSubKeys) *pcSubKeys = cSubKeys;
  if (pcchMaxSubKey) *pcchMaxSubKey = cchMaxSubKey;
  if (pcValues) *pcValues = cValues;
  if (pcchMaxValueName) *pcchMaxValueName = cchMaxValueName;
  if (pcbMaxValueData) *pcbMaxValueData = cbMaxValueData;
  return STATUS_CODE_SUCCESS;
}

int querySubKeyInfo(HKEY hKey, LPDWORD pcSubKeys, LPDWORD pcchMaxSubKey) {
  return queryKeyInfo(hKey, pcSubKeys, pcchMaxSubKey, NULL, NULL, NULL);
}

int queryValueInfo(HKEY hKey, LPDWORD pcValues, LPDWORD pcchMaxValueName, LPDWORD pcbMaxValueData) {
  return queryKeyInfo(hKey, NULL, NULL, pcValues, pcchMaxValueName, pcbMaxValueData);
}

int driverNamesMonitor(HKEY hKey, LPCSTR lpDllName) {
  char szDriver[CB_MONITOR_DRIVER];
  DWORD cbDriver = CB_MONITOR_DRIVER;
  DWORD dwType;

  memset(szDriver, 0, sizeof(szDriver));
  if (RegQueryValueExA(hKey, MONITOR_DRIVER_VALUE, NULL, &dwType, (LPBYTE)szDriver, &cbDriver) !=
      ERROR_SUCCESS)
    return 0;
  /* A value that fills the buffer without a terminator is longer than any name we look for,
     and must not be read past the buffer's end. */
  if (memchr(szDriver, '\0', sizeof(szDriver)) == NULL) return 0;
  CharLowerA(szDriver);
  return lstrcmpA(szDriver, lpDllName) == 0;
}

int matchMonitorDriver(HKEY hParent, LPCSTR lpSubKey, LPCSTR lpDllName) {
  HKEY hSubKey;
  int fMatch;

  if (RegOpenKeyExA(hParent, lpSubKey, 0, KEY_READ, &hSubKey) != ERROR_SUCCESS) return 0;
  fMatch = driverNamesMonitor(hSubKey, lpDllName);
  RegCloseKey(hSubKey);
  return fMatch;
}

int isZelpsmonInstalled(HKEY hMonitors, LPCSTR lpDllName) {
  DWORD cSubKeys = 0;
  DWORD cchMaxSubKey = 0;
  DWORD cchName;
  DWORD i;
  LPSTR lpName;
  int fInstalled = 0;

  if (!STATUS_CODE_SUCCEEDED(querySubKeyInfo(hMonitors, &cSubKeys, &cchMaxSubKey)))
    ReportSetupError("isZelpsmonInstalled -- Couldn't get subkey info, Error = %d",
                     (int)GetLastError());

  lpName = (LPSTR)LocalAlloc(LPTR, cchMaxSubKey + 1);
  if (lpName == NULL) return 0;
  for (i = cSubKeys; i > 0 && !fInstalled; i--) {
    cchName = cchMaxSubKey + 1;
    if (RegEnumKeyExA(hMonitors, i - 1, lpName, &cchName, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
      continue;
    fInstalled = matchMonitorDriver(hMonitors, lpName, lpDllName);
  }
  LocalFree((HLOCAL)lpName);
  return fInstalled;
}
