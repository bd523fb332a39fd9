/*
 * Shared-application support: the "MSAPPS" record of WIN.INI and the location of shared
 * component files. A file that cannot be used is an absent result (NULL, an empty buffer),
 * never an error; the helpers called keep their own failure rules.
 */
#include <windows.h>

#include "toolkit/detection_helpers.h"
#include "toolkit/registry_helpers.h"
#include "toolkit/shared_app_support.h"
#include "toolkit/text_helpers.h"
#include "toolkit/toolkit_services.h"
#include "toolkit/toolkit_wrappers.h"

#define SZ_WIN_INI "WIN.INI"
#define SZ_MSAPPS "MSAPPS"

/* Paths and values read: 256 bytes, 255 passed. Versions and file names: 32 bytes, 31 passed. */
#define CB_PATH 256
#define CB_PATH_PASSED 255
#define CB_SHORT 32
#define CB_SHORT_PASSED 31

/* The default shared-applications directory is built in room for "MSAPPS" and two more. */
#define CCH_WINDOWS_DIR_FOR_MSAPPS (CB_PATH_PASSED - 6 - 2)

#define INF_FIELD_FILE 1
#define INF_FIELD_VERSION 19
#define VERSION_FIELDS 4

BOOL fSharedDirsPending = TRUE;
BOOL fSharedFileStale = FALSE;

static LPCSTR const rgszComponentKeys[] = {"CLIPART", "EQUATION", "GRPHFLT",  "MSDRAW",
                                           "MSGRAPH", "PROOF",    "TEXTCONV", "WORDART"};

/* Whether the last character is a backslash. The text is stepped by characters, so the second
 * byte of a double-byte character is never taken for one. */
static BOOL EndsInBackslash(LPCSTR sz) {
  LPCSTR pLast = NULL;
  LPCSTR p;

  for (p = sz; *p != '\0'; p = CharNextA(p)) pLast = p;
  return pLast != NULL && *pLast == '\\';
}

/* Appends the text when it fits the buffer of cbBuf bytes; FALSE, the buffer unchanged, when
 * not. */
static BOOL AppendIfFits(LPSTR szBuf, int cbBuf, LPCSTR szMore) {
  if (lstrlenA(szBuf) + lstrlenA(szMore) >= cbBuf) return FALSE;
  lstrcatA(szBuf, szMore);
  return TRUE;
}

static BOOL AppendBackslash(LPSTR szBuf, int cbBuf) {
  return EndsInBackslash(szBuf) || AppendIfFits(szBuf, cbBuf, "\\");
}

static BOOL IsEmpty(LPCSTR sz) {
  return sz == NULL || *sz == '\0';
}

/* ---- the record ------------------------------------------------------------------------------ */

int EnsureSharedAppKey(LPCSTR szKey, LPCSTR szDir) {
  char szValue[CB_PATH];

  if (AskIniKeyExists(SZ_WIN_INI, SZ_MSAPPS, szKey)) {
    MustReadIniString(SZ_WIN_INI, SZ_MSAPPS, szKey, szValue, CB_PATH_PASSED);
    if (FValidDir(szValue)) return 1;
  }
  /* A directory too long to hold the key's name as well cannot be recorded. */
  szValue[0] = '\0';
  if (!AppendIfFits(szValue, sizeof(szValue), szDir) ||
      !AppendIfFits(szValue, sizeof(szValue), szKey))
    return 0;
  return FCreateIniKeyValue(SZ_WIN_INI, SZ_MSAPPS, szKey, szValue, cmoOverwrite);
}

int EnsureSharedAppDirs(void) {
  char szDir[CB_PATH];
  int i;

  if (!fSharedDirsPending) return 1;
  fSharedDirsPending = FALSE; /* once per process, whatever comes of it */

  if (!AskIniKeyExists(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS) ||
      !FValidDir(MustReadIniString(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS, szDir, CB_PATH_PASSED))) {
    WindowsDirPath(szDir, CCH_WINDOWS_DIR_FOR_MSAPPS);
    AppendBackslash(szDir, sizeof(szDir));
    lstrcatA(szDir, SZ_MSAPPS);
    if (!FCreateIniKeyValue(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS, szDir, cmoOverwrite)) return 0;
  }

  MustReadIniString(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS, szDir, CB_PATH_PASSED);
  if (!FValidDir(szDir)) return 0;
  AppendBackslash(szDir, sizeof(szDir)); /* at most 254 characters were read: it fits */

  for (i = 0; i < (int)(sizeof(rgszComponentKeys) / sizeof(rgszComponentKeys[0])); i++)
    if (!EnsureSharedAppKey(rgszComponentKeys[i], szDir)) return 0;
  return 1;
}

/* ---- versions -------------------------------------------------------------------------------- */

int CompareVersions(LPCSTR szVersionA, LPCSTR szVersionB) {
  LONG lA, lB;
  int nField;

  if (IsEmpty(szVersionA)) return IsEmpty(szVersionB) ? 0 : -1;
  if (IsEmpty(szVersionB)) return 1;
  for (nField = 1; nField <= VERSION_FIELDS; nField++) {
    lA = AskVersionField(szVersionA, nField);
    lB = AskVersionField(szVersionB, nField);
    if (lA > lB) return 1;
    if (lA < lB) return -1;
  }
  return 0;
}

int SharedFileNeedsUpdate(void) {
  return fSharedFileStale ? 1 : 0;
}

/* ---- locating a file ------------------------------------------------------------------------- */

/* The directory in szPath followed by the file name, if that fits and a file is there. */
static BOOL FileInDir(LPSTR szPath, LPCSTR szFile) {
  return AppendIfFits(szPath, CB_PATH, szFile) && AskFileExists(szPath, femExists);
}

LPSTR FindInWindowsOrPath(LPCSTR szFile, LPSTR szResult) {
  char szPath[CB_PATH];

  WindowsDirPath(szPath, CB_PATH_PASSED);
  if (!FileInDir(szPath, szFile)) {
    SystemDirPath(szPath, CB_PATH_PASSED);
    if (!FileInDir(szPath, szFile)) MustFindOnEnvPath(szFile, "PATH", szPath, CB_PATH_PASSED);
  }
  lstrcpyA(szResult, szPath);
  return szResult;
}

LPSTR CheckSharedCandidate(LPCSTR szCandidate, LPCSTR szWantedVersion, LPSTR szResult,
                           int cbResult) {
  char szFileName[CB_SHORT];
  char szFound[CB_PATH];
  char szVersion[CB_SHORT];

  if (szResult == NULL || cbResult <= 0) return NULL;
  szResult[0] = '\0';
  if (!IsEmpty(szCandidate) && lstrlenA(szCandidate) < cbResult) lstrcpyA(szResult, szCandidate);
  fSharedFileStale = FALSE;

  /* No file at the path: the same file name may be in the Windows or system directory or on the
   * PATH. The search answers in a buffer of its own, and its answer is taken only when it fits
   * the caller's. */
  if (szResult[0] != '\0' && !AskFileExists(szResult, femExists)) {
    if (FValidPath(szResult) &&
        FParsePathIntoPieces(szResult, NULL, 0, NULL, 0, szFileName, CB_SHORT_PASSED)) {
      FindInWindowsOrPath(szFileName, szFound);
      if (lstrlenA(szFound) < cbResult)
        lstrcpyA(szResult, szFound);
      else
        szResult[0] = '\0';
    } else {
      szResult[0] = '\0';
    }
  }

  /* An older file is used only where it can be replaced. */
  if (szResult[0] != '\0') {
    MustReadFileVersion(szResult, szVersion, CB_SHORT_PASSED);
    if (CompareVersions(szVersion, szWantedVersion) < 0) {
      if (AskFileWritable(szResult))
        fSharedFileStale = TRUE;
      else
        szResult[0] = '\0';
    }
  }
  return szResult[0] != '\0' ? szResult : NULL;
}

LPSTR LocateSharedFile(LPCSTR szRegPath, LPCSTR szIniSect, LPCSTR szIniKey, int nIniField,
                       LPCSTR szDefaultPath, LPCSTR szWantedVersion, LPSTR szResult, int cbResult) {
  char szValue[CB_PATH];
  char szField[CB_PATH];
  char szVersion[CB_PATH];

  if (szResult == NULL || cbResult <= 0) return NULL;

  if (!IsEmpty(szRegPath)) {
    GetRegKeyValue(szRegPath, szValue, CB_PATH_PASSED);
    if (CheckSharedCandidate(szValue, szWantedVersion, szResult, cbResult) != NULL) return szResult;
  }

  if (!IsEmpty(szIniSect) && !IsEmpty(szIniKey)) {
    MustReadIniString(SZ_WIN_INI, szIniSect, szIniKey, szValue, CB_PATH_PASSED);
    if (szValue[0] != '\0') {
      NthListField(szValue, nIniField, szField, CB_PATH_PASSED);
      if (CheckSharedCandidate(szField, szWantedVersion, szResult, cbResult) != NULL)
        return szResult;
    }
  }

  /* The default path: up to date only if a file of the wanted version or newer is there. */
  szResult[0] = '\0';
  if (!IsEmpty(szDefaultPath) && lstrlenA(szDefaultPath) < cbResult)
    lstrcpyA(szResult, szDefaultPath);
  fSharedFileStale = TRUE;
  if (AskFileExists(szResult, femExists)) {
    MustReadFileVersion(szResult, szVersion, CB_PATH_PASSED);
    if (CompareVersions(szVersion, szWantedVersion) >= 0) fSharedFileStale = FALSE;
  }
  return szResult[0] != '\0' ? szResult : NULL;
}

LPSTR LocateSharedAppFile(LPCSTR szInfSect, LPCSTR szInfKey, LPCSTR szComponentKey,
                          LPCSTR szRegPath, LPCSTR szIniSect, LPCSTR szIniKey, int nIniField,
                          LPSTR szResult, int cbResult) {
  char szPath[CB_PATH];
  char szVersion[CB_SHORT];
  int cchDir;
  int cbRoom;
  int cbField;

  EnsureSharedAppDirs();

  if (AskIniKeyExists(SZ_WIN_INI, SZ_MSAPPS, szComponentKey)) {
    MustReadIniString(SZ_WIN_INI, SZ_MSAPPS, szComponentKey, szPath, CB_PATH_PASSED);
  } else {
    if (!AskIniKeyExists(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS)) return NULL;
    MustReadIniString(SZ_WIN_INI, SZ_MSAPPS, SZ_MSAPPS, szPath, CB_PATH_PASSED);
    if (!AppendBackslash(szPath, sizeof(szPath)) ||
        !AppendIfFits(szPath, sizeof(szPath), szComponentKey))
      return NULL;
    FCreateIniKeyValue(SZ_WIN_INI, SZ_MSAPPS, szComponentKey, szPath, cmoOverwrite);
  }
  if (!AppendBackslash(szPath, sizeof(szPath))) return NULL;

  /* The default path: the component directory and the file name of the setup-file line. A name
   * cut to the room left would name another file, so one that does not fit ends the search. */
  cchDir = lstrlenA(szPath);
  cbRoom = CB_PATH_PASSED - cchDir;
  cbField = CbGetInfSectionKeyField(szInfSect, szInfKey, INF_FIELD_FILE, szPath + cchDir, cbRoom);
  if (cbField == -1 || cbField >= cbRoom) return NULL;

  cbField =
      CbGetInfSectionKeyField(szInfSect, szInfKey, INF_FIELD_VERSION, szVersion, CB_SHORT_PASSED);
  if (cbField == -1 || cbField >= CB_SHORT_PASSED) return NULL;

  return LocateSharedFile(szRegPath, szIniSect, szIniKey, nIniField, szPath, szVersion, szResult,
                          cbResult);
}
