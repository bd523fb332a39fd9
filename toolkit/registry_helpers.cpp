/*
 * Registry database helpers. Every registry call goes through the entry points of the registry
 * library that start-up loads by name; an entry point that the library lacks fails like a call
 * the registry refused, so a helper never calls through a null pointer.
 */
#include <windows.h>

#include "setup/setup_state.h"
#include "toolkit/error_reporting.h"
#include "toolkit/registry_helpers.h"
#include "toolkit/toolkit_services.h"
#include "toolkit/toolkit_wrappers.h"

/* Class buffer handed to RegQueryInfoKeyA; the class itself is not used. */
#define CCH_KEY_CLASS 128

/* ---- the registry library's entry points --------------------------------------------------- */

static LONG CallCloseKey(HKEY hkey) {
  if (RegLib.pfnRegCloseKey == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegCloseKey(hkey);
}

static LONG CallCreateKey(HKEY hkey, LPCSTR szKey, PHKEY phkResult) {
  if (RegLib.pfnRegCreateKeyA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegCreateKeyA(hkey, szKey, phkResult);
}

static LONG CallDeleteKey(HKEY hkey, LPCSTR szKey) {
  if (RegLib.pfnRegDeleteKeyA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegDeleteKeyA(hkey, szKey);
}

static LONG CallOpenKey(HKEY hkey, LPCSTR szKey, PHKEY phkResult) {
  if (RegLib.pfnRegOpenKeyA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegOpenKeyA(hkey, szKey, phkResult);
}

static LONG CallQueryValue(HKEY hkey, LPCSTR szKey, LPSTR szValue, PLONG pcbValue) {
  if (RegLib.pfnRegQueryValueA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegQueryValueA(hkey, szKey, szValue, pcbValue);
}

static LONG CallSetValue(HKEY hkey, LPCSTR szKey, DWORD dwType, LPCSTR szData, DWORD cbData) {
  if (RegLib.pfnRegSetValueA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegSetValueA(hkey, szKey, dwType, szData, cbData);
}

static LONG CallOpenKeyEx(HKEY hkey, LPCSTR szKey, REGSAM samDesired, PHKEY phkResult) {
  if (RegLib.pfnRegOpenKeyExA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegOpenKeyExA(hkey, szKey, 0, samDesired, phkResult);
}

static LONG CallQueryValueEx(HKEY hkey, LPCSTR szValueName, LPDWORD lpdwType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  if (RegLib.pfnRegQueryValueExA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegQueryValueExA(hkey, szValueName, NULL, lpdwType, lpData, lpcbData);
}

static LONG CallSetValueEx(HKEY hkey, LPCSTR szValueName, DWORD dwType, const BYTE *lpData,
                           DWORD cbData) {
  if (RegLib.pfnRegSetValueExA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegSetValueExA(hkey, szValueName, 0, dwType, lpData, cbData);
}

static LONG CallEnumKey(HKEY hkey, DWORD dwIndex, LPSTR szName, DWORD cchName) {
  if (RegLib.pfnRegEnumKeyA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegEnumKeyA(hkey, dwIndex, szName, cchName);
}

/* The number of subkeys and the length of the longest subkey name. */
static LONG CallQueryInfoKey(HKEY hkey, LPDWORD lpcSubKeys, LPDWORD lpcchMaxSubKey) {
  char szClass[CCH_KEY_CLASS];
  DWORD cchClass = sizeof(szClass);
  DWORD cValues, cchMaxClass, cchMaxValueName, cbMaxValueData, cbSecurityDescriptor;
  FILETIME ftLastWrite;

  if (RegLib.pfnRegQueryInfoKeyA == NULL) return ERROR_PROC_NOT_FOUND;
  return RegLib.pfnRegQueryInfoKeyA(hkey, szClass, &cchClass, NULL, lpcSubKeys, lpcchMaxSubKey,
                                    &cchMaxClass, &cValues, &cchMaxValueName, &cbMaxValueData,
                                    &cbSecurityDescriptor, &ftLastWrite);
}

/* ---- failures -------------------------------------------------------------------------------- */

static void TellErrorHandler(LPCSTR szOperation) {
  EercErrorHandler(grcRegistryFailed, TRUE, szOperation, NULL, NULL);
}

/* Names the operation to the error handler and ends the setup. */
static void ReportRegistryFailure(LPCSTR szOperation) {
  TellErrorHandler(szOperation);
  ReportApiError(SETUP_ERR_CALL_FAILED);
}

/* A read answered a value longer than the caller's buffer: the registry says so either with
 * ERROR_MORE_DATA or, on success, with a length above the buffer's size. Either way it is an
 * overflow, not a failed read. */
static BOOL ValueOverflowed(LONG lResult, DWORD cbValue, DWORD cbBuf) {
  return lResult == ERROR_MORE_DATA || (lResult == ERROR_SUCCESS && cbValue > cbBuf);
}

/* ---- keys below HKEY_CLASSES_ROOT ------------------------------------------------------------ */

/* Creates or opens the key and closes it again; either failing is reported. */
static void MakeKey(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szOperation) {
  HKEY hkey;

  if (CallCreateKey(hkeyRoot, szKey, &hkey) != ERROR_SUCCESS) ReportRegistryFailure(szOperation);
  if (CallCloseKey(hkey) != ERROR_SUCCESS) ReportRegistryFailure(szOperation);
}

void CreateRegKey(LPCSTR szKey) {
  MakeKey(HKEY_CLASSES_ROOT, szKey, "CreateRegKey");
}

/* Both write the default value; the registry creates a missing key on the way. */
static void WriteDefaultValue(LPCSTR szKey, LPCSTR szValue, LPCSTR szOperation) {
  if (szValue == NULL) szValue = "";
  if (CallSetValue(HKEY_CLASSES_ROOT, szKey, REG_SZ, szValue, (DWORD)lstrlenA(szValue)) !=
      ERROR_SUCCESS)
    ReportRegistryFailure(szOperation);
}

void CreateRegKeyValue(LPCSTR szKey, LPCSTR szValue) {
  WriteDefaultValue(szKey, szValue, "CreateRegKeyValue");
}

void SetRegKeyValue(LPCSTR szKey, LPCSTR szValue) {
  WriteDefaultValue(szKey, szValue, "SetRegKeyValue");
}

int RegKeyExists(LPCSTR szKey) {
  return RegKeyExistsEx(HKEY_CLASSES_ROOT, szKey);
}

LPSTR GetRegKeyValue(LPCSTR szKey, LPSTR szBuf, LONG cbBuf) {
  BOOL fRoom = szBuf != NULL && cbBuf > 0;
  LONG cbValue = fRoom ? cbBuf : 0;
  LONG lResult;

  if (fRoom) szBuf[0] = '\0';
  if (!RegKeyExists(szKey)) return szBuf;

  lResult = CallQueryValue(HKEY_CLASSES_ROOT, szKey, fRoom ? szBuf : NULL, &cbValue);
  if (ValueOverflowed(lResult, (DWORD)cbValue, fRoom ? (DWORD)cbBuf : 0)) ReportBufferOverflow();
  if (lResult != ERROR_SUCCESS) ReportRegistryFailure("SetRegKeyValue");

  if (fRoom) szBuf[cbBuf - 1] = '\0';
  return szBuf;
}

void DeleteAllSubKeys(LPCSTR szKey) {
  if (RegKeyExistsEx(HKEY_CLASSES_ROOT, szKey) && !DeleteRegKeyTree(HKEY_CLASSES_ROOT, szKey))
    ReportRegistryFailure("DeleteAllSubKeys");
}

/* ---- keys below a root the caller gives ------------------------------------------------------ */

void CreateRegKeyEx(HKEY hkeyRoot, LPCSTR szKey) {
  MakeKey(hkeyRoot, szKey, "CreateRegKeyEx");
}

/* Writes a named value of an existing key; the key is never created here. */
static void WriteNamedValue(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, DWORD dwType,
                            const BYTE *lpData, DWORD cbData, LPCSTR szOpenOperation,
                            LPCSTR szOperation) {
  HKEY hkey;

  if (CallOpenKeyEx(hkeyRoot, szKey, KEY_WRITE, &hkey) != ERROR_SUCCESS)
    ReportRegistryFailure(szOpenOperation);
  if (CallSetValueEx(hkey, szValueName, dwType, lpData, cbData) != ERROR_SUCCESS) {
    CallCloseKey(hkey);
    ReportRegistryFailure(szOperation);
  }
  CallCloseKey(hkey);
}

void CreateRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, DWORD dwType,
                         const BYTE *lpData, DWORD cbData) {
  WriteNamedValue(hkeyRoot, szKey, szValueName, dwType, lpData, cbData, "CreateRegKeyValueEx:open",
                  "CreateRegKeyValueEx");
}

void SetRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, DWORD dwType,
                      const BYTE *lpData, DWORD cbData) {
  WriteNamedValue(hkeyRoot, szKey, szValueName, dwType, lpData, cbData, "SetRegKeyValueEx:open",
                  "SetRegKeyValueEx");
}

int RegKeyExistsEx(HKEY hkeyRoot, LPCSTR szKey) {
  HKEY hkey;

  if (CallOpenKey(hkeyRoot, szKey, &hkey) != ERROR_SUCCESS) return 0;
  CallCloseKey(hkey);
  return 1;
}

LONG GetRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, LPDWORD lpdwType,
                      LPBYTE lpData, DWORD cbData) {
  HKEY hkey;
  DWORD cbValue = cbData;
  LONG lResult;

  if (!RegKeyExistsEx(hkeyRoot, szKey)) return ERROR_BADKEY;
  if (CallOpenKeyEx(hkeyRoot, szKey, KEY_READ, &hkey) != ERROR_SUCCESS)
    ReportRegistryFailure("GetRegKeyValueEx");

  lResult = CallQueryValueEx(hkey, szValueName, lpdwType, lpData, &cbValue);
  if (ValueOverflowed(lResult, cbValue, cbData)) {
    CallCloseKey(hkey);
    ReportBufferOverflow();
  }
  if (lResult != ERROR_SUCCESS) {
    CallCloseKey(hkey);
    ReportRegistryFailure("SetRegKeyValueEx");
  }
  CallCloseKey(hkey);
  return 0;
}

void DeleteAllSubKeysEx(HKEY hkeyRoot, LPCSTR szKey) {
  if (RegKeyExistsEx(hkeyRoot, szKey) && !DeleteRegKeyTree(hkeyRoot, szKey))
    ReportRegistryFailure("DeleteAllSubKeys");
}

/* Depth first, by full paths from the root. Subkeys are taken from the last index down, so the
 * indices still to come stay valid while the ones behind are deleted. */
int DeleteRegKeyTree(HKEY hkeyRoot, LPCSTR szKey) {
  HKEY hkey;
  DWORD cSubKeys = 0;
  DWORD cchMaxSubKey = 0;
  DWORD iSubKey;
  LPSTR szName;
  LPSTR szPath;
  LONG lResult;

  if (CallOpenKeyEx(hkeyRoot, szKey, KEY_READ, &hkey) != ERROR_SUCCESS) {
    TellErrorHandler("DeleteAllSubKeys:open");
    return 0;
  }
  if (CallQueryInfoKey(hkey, &cSubKeys, &cchMaxSubKey) != ERROR_SUCCESS) {
    CallCloseKey(hkey);
    return 0;
  }
  if (cSubKeys == 0) {
    CallCloseKey(hkey);
    CallDeleteKey(hkeyRoot, szKey);
    return 1;
  }

  szName = (LPSTR)LocalAlloc(LPTR, cchMaxSubKey + 1);
  szPath = (LPSTR)LocalAlloc(LPTR, (SIZE_T)lstrlenA(szKey) + cchMaxSubKey + 2);
  if (szName == NULL || szPath == NULL) {
    if (szName != NULL) LocalFree(szName);
    if (szPath != NULL) LocalFree(szPath);
    CallCloseKey(hkey);
    return 0;
  }

  for (iSubKey = cSubKeys; iSubKey-- > 0;) {
    lResult = CallEnumKey(hkey, iSubKey, szName, cchMaxSubKey + 1);
    if (lResult == ERROR_NO_MORE_ITEMS) continue;
    if (lResult != ERROR_SUCCESS) {
      TellErrorHandler("DeleteAllSubKeys:enum");
      CallCloseKey(hkey);
      LocalFree(szName);
      LocalFree(szPath);
      return 0;
    }
    /* "<key>\<name>"; the buffer was sized for the longest name. */
    lstrcpyA(szPath, szKey);
    lstrcatA(szPath, "\\");
    lstrcatA(szPath, szName);
    if (!DeleteRegKeyTree(hkeyRoot, szPath)) {
      CallCloseKey(hkey);
      LocalFree(szName);
      LocalFree(szPath);
      return 0;
    }
  }

  CallCloseKey(hkey);
  CallDeleteKey(hkeyRoot, szKey);
  LocalFree(szName);
  LocalFree(szPath);
  return 1;
}

/* ---- text ------------------------------------------------------------------------------------ */

void TrimTrailingBlanks(LPSTR sz) {
  LPSTR pRun = NULL; /* where the blanks at the end begin, while they last */
  LPSTR p;

  if (sz == NULL) return;
  for (p = sz; *p != '\0'; p = CharNextA(p)) {
    if (*p == ' ') {
      if (pRun == NULL) pRun = p;
    } else {
      pRun = NULL;
    }
  }
  if (pRun != NULL) *pRun = '\0';
}
