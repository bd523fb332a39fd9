/*
 * Small registry operations for setup steps: create a key, write or read a value, test whether
 * a key exists, delete a key with everything below it. The plain set works below
 * HKEY_CLASSES_ROOT and handles a key's default value as text; the Ex set takes its root from
 * the caller (an open key, which it neither opens nor closes) and handles named values of any
 * type. A failure the operation does not expect is named to the toolkit's error handler and
 * ends the setup with code 1024. Every call goes through the registry library loaded at start.
 */
#ifndef TOOLKIT_REGISTRY_HELPERS_H
#define TOOLKIT_REGISTRY_HELPERS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

void CreateRegKey(LPCSTR szKey);
void CreateRegKeyValue(LPCSTR szKey, LPCSTR szValue); /* creates a missing key on the way */
void SetRegKeyValue(LPCSTR szKey, LPCSTR szValue);
int RegKeyExists(LPCSTR szKey); /* 1 or 0; never ends the setup */
/* The key's default value; the empty text when the key does not exist. */
LPSTR GetRegKeyValue(LPCSTR szKey, LPSTR szBuf, LONG cbBuf);
void DeleteAllSubKeys(LPCSTR szKey); /* the key and everything below it; a missing key is fine */

void CreateRegKeyEx(HKEY hkeyRoot, LPCSTR szKey);
/* Write a named value of an existing key; a missing key ends the setup. */
void CreateRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, DWORD dwType,
                         const BYTE *lpData, DWORD cbData);
void SetRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, DWORD dwType,
                      const BYTE *lpData, DWORD cbData);
int RegKeyExistsEx(HKEY hkeyRoot, LPCSTR szKey);
/* 0 with the value read, or ERROR_BADKEY (1010) when the key does not exist, in which case the
 * buffer and the type are left as they were. */
LONG GetRegKeyValueEx(HKEY hkeyRoot, LPCSTR szKey, LPCSTR szValueName, LPDWORD lpdwType,
                      LPBYTE lpData, DWORD cbData);
void DeleteAllSubKeysEx(HKEY hkeyRoot, LPCSTR szKey);
/* Deletes the key and everything below it: 1 on success, 0 on failure (the error handler has
 * been told where, but the setup goes on). */
int DeleteRegKeyTree(HKEY hkeyRoot, LPCSTR szKey);

/* Cuts the blanks (0x20) at the end of the text, in place. */
void TrimTrailingBlanks(LPSTR sz);

#ifdef __cplusplus
}
#endif

#endif
