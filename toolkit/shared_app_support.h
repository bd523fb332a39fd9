/*
 * Shared-application support. Applications of a family share components (clip art, equations,
 * graphics filters, ...) kept in one shared-applications directory, recorded in section
 * "MSAPPS" of WIN.INI: key "MSAPPS" names the directory, and one key per component names the
 * component's own directory. These routines keep that record in order and find where a shared
 * component file is, or should go, and whether the copy there must be replaced by a newer one.
 */
#ifndef TOOLKIT_SHARED_APP_SUPPORT_H
#define TOOLKIT_SHARED_APP_SUPPORT_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Runs the record's check once per process; TRUE until then. */
extern BOOL fSharedDirsPending;
/* Whether the file at the path the last location returned must be installed or replaced. */
extern BOOL fSharedFileStale;

/* Where the component's file is or should go: its directory from "MSAPPS" (made from the
 * shared-applications directory when missing), the file name (field 1) and the wanted version
 * (field 19) from the setup file's line, then the candidates of LocateSharedFile. NULL when
 * none can be used. SharedFileNeedsUpdate tells afterwards whether to copy the file there. */
LPSTR LocateSharedAppFile(LPCSTR szInfSect, LPCSTR szInfKey, LPCSTR szComponentKey,
                          LPCSTR szRegPath, LPCSTR szIniSect, LPCSTR szIniKey, int nIniField,
                          LPSTR szResult, int cbResult);
/* Tries the default value of the registry key below HKEY_CLASSES_ROOT, then field nIniField of
 * the WIN.INI key, and falls back on the default path. */
LPSTR LocateSharedFile(LPCSTR szRegPath, LPCSTR szIniSect, LPCSTR szIniKey, int nIniField,
                       LPCSTR szDefaultPath, LPCSTR szWantedVersion, LPSTR szResult, int cbResult);
/* Accepts the candidate (or, when no file is there, the same file name found in the Windows or
 * system directory or on the PATH) unless the file there is older than the wanted version and
 * cannot be written. */
LPSTR CheckSharedCandidate(LPCSTR szCandidate, LPCSTR szWantedVersion, LPSTR szResult,
                           int cbResult);
/* The file in the Windows directory, the system directory or on the PATH, in that order; the
 * empty text when it is nowhere. szResult holds 256 bytes. */
LPSTR FindInWindowsOrPath(LPCSTR szFile, LPSTR szResult);
/* 1, 0 or -1 as version a is newer than, equal to or older than version b; an empty version
 * is older than any other. */
int CompareVersions(LPCSTR szVersionA, LPCSTR szVersionB);
/* Makes sure "MSAPPS" names a valid shared-applications directory and each component a valid
 * directory of its own. Once per process; 1 on success, 0 on failure. */
int EnsureSharedAppDirs(void);
/* Writes the component key as szDir (ending in a backslash) plus its name unless it names a
 * valid directory already. Nonzero on success. */
int EnsureSharedAppKey(LPCSTR szKey, LPCSTR szDir);
int SharedFileNeedsUpdate(void);

#ifdef __cplusplus
}
#endif

#endif
