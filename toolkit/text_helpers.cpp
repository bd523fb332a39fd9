/*
 * Text and path helpers. Every step through a text goes by characters of the ANSI code page
 * (CharNextA), so that the second byte of a double-byte character, which may have the value of
 * a backslash, is never taken for a character of its own.
 */
#include <windows.h>

#include "setup/setup_state.h"
#include "toolkit/error_reporting.h"
#include "toolkit/text_helpers.h"
#include "toolkit/toolkit_wrappers.h"

/* The directory queries read into a 256-byte buffer. */
#define CCH_DIR_QUERY 255

static char szJoinThree[768];
static char szJoinFour[1024];

/* Whether the text ends in a backslash that is a character of its own. */
static BOOL EndsInBackslash(LPCSTR sz) {
  int cch = lstrlenA(sz);
  LPCSTR pLast;

  if (cch == 0) return FALSE;
  pLast = CharPrevA(sz, sz + cch);
  return pLast == sz + cch - 1 && *pLast == '\\';
}

/* Step 2 on of WindowsDirPath and SystemDirPath, on the answer of the directory query. */
static LPSTR DirPathWithDrive(UINT cchAnswer, LPCSTR szDir, LPSTR szBuf, int cchMax) {
  int cchPrefix;
  int cchDir;
  int cchResult;

  if (cchAnswer == 0) ReportApiError(SETUP_ERR_CALL_FAILED);
  if (cchAnswer > CCH_DIR_QUERY) ReportBufferOverflow();

  /* A directory without a drive lies on the drive the setup was started from. */
  if (szDir[0] == '\\') {
    if (cchMax < 2) ReportBufferOverflow();
    cchPrefix = 2; /* "D:" */
  } else if (szDir[0] != '\0' && szDir[1] == ':') {
    cchPrefix = 0;
  } else {
    if (cchMax < 3) ReportBufferOverflow();
    cchPrefix = 3; /* "D:\" */
  }
  if (cchPrefix > lstrlenA(szSrcDir)) cchPrefix = lstrlenA(szSrcDir);

  cchDir = lstrlenA(szDir);
  if (cchDir > cchMax - cchPrefix) ReportBufferOverflow();
  lstrcpynA(szBuf, szSrcDir, cchPrefix + 1);
  lstrcpyA(szBuf + cchPrefix, szDir);

  cchResult = cchPrefix + cchDir;
  if (!EndsInBackslash(szBuf)) {
    if (cchResult + 1 > cchMax) ReportBufferOverflow();
    szBuf[cchResult] = '\\';
    szBuf[cchResult + 1] = '\0';
  }
  return szBuf;
}

LPSTR WindowsDirPath(LPSTR szBuf, int cchMax) {
  char szDir[CCH_DIR_QUERY + 1];
  UINT cch;

  szDir[0] = '\0';
  cch = GetWindowsDirectoryA(szDir, CCH_DIR_QUERY);
  return DirPathWithDrive(cch, szDir, szBuf, cchMax);
}

LPSTR SystemDirPath(LPSTR szBuf, int cchMax) {
  char szDir[CCH_DIR_QUERY + 1];
  UINT cch;

  szDir[0] = '\0';
  cch = GetSystemDirectoryA(szDir, CCH_DIR_QUERY);
  return DirPathWithDrive(cch, szDir, szBuf, cchMax);
}

int AskSystemDirElsewhere(void) {
  char szWindows[CCH_DIR_QUERY + 1];
  char szSystem[CCH_DIR_QUERY + 1];
  LPCSTR pWindows;
  LPCSTR pSystem;

  WindowsDirPath(szWindows, CCH_DIR_QUERY);
  SystemDirPath(szSystem, CCH_DIR_QUERY);
  CharUpperA(szWindows);
  CharUpperA(szSystem);
  if (szWindows[0] == '\0') ReportApiError(SETUP_ERR_CALL_FAILED);

  for (pWindows = szWindows, pSystem = szSystem; *pWindows != '\0'; pWindows++, pSystem++)
    if (*pWindows != *pSystem) return 1;
  return 0;
}

LPSTR NthListField(LPCSTR szList, int nField, LPSTR szBuf, int cchMax) {
  LPCSTR pField;
  LPCSTR pEnd;
  int cchField;

  if (nField < 1) ReportApiError(SETUP_ERR_CALL_FAILED);
  pField = szList != NULL ? szList : "";

  while (--nField > 0) {
    while (*pField != '\0' && *pField != ',') pField = CharNextA(pField);
    if (*pField == ',') pField++;
  }
  while (*pField == ' ' || *pField == '\t') pField++;

  /* Trailing blanks belong to the field. */
  pEnd = pField;
  while (*pEnd != '\0' && *pEnd != ',') pEnd = CharNextA(pEnd);
  cchField = (int)(pEnd - pField);
  if (cchField > cchMax) ReportBufferOverflow();

  lstrcpynA(szBuf, pField, cchField + 1);
  return szBuf;
}

/* Appends what fits of the piece, whole characters only, keeping the text terminated. */
static void AppendCut(LPSTR szBuf, int cbBuf, int *pcch, LPCSTR szPiece) {
  LPCSTR p = szPiece;
  LPCSTR pNext;

  if (p == NULL) return;
  while (*p != '\0') {
    pNext = CharNextA(p);
    if (*pcch + (int)(pNext - p) > cbBuf - 1) break;
    while (p < pNext) szBuf[(*pcch)++] = *p++;
  }
  szBuf[*pcch] = '\0';
}

LPSTR JoinThree(LPCSTR sz1, LPCSTR sz2, LPCSTR sz3) {
  int cch = 0;

  szJoinThree[0] = '\0';
  AppendCut(szJoinThree, sizeof(szJoinThree), &cch, sz1);
  AppendCut(szJoinThree, sizeof(szJoinThree), &cch, sz2);
  AppendCut(szJoinThree, sizeof(szJoinThree), &cch, sz3);
  return szJoinThree;
}

LPSTR JoinFour(LPCSTR sz1, LPCSTR sz2, LPCSTR sz3, LPCSTR sz4) {
  int cch = 0;

  szJoinFour[0] = '\0';
  AppendCut(szJoinFour, sizeof(szJoinFour), &cch, sz1);
  AppendCut(szJoinFour, sizeof(szJoinFour), &cch, sz2);
  AppendCut(szJoinFour, sizeof(szJoinFour), &cch, sz3);
  AppendCut(szJoinFour, sizeof(szJoinFour), &cch, sz4);
  return szJoinFour;
}

/* Whether all of the pattern's bytes stand at p; the text's terminator stops the comparison. */
static BOOL PatternAt(LPCSTR p, LPCSTR szPattern) {
  while (*szPattern != '\0') {
    if (*p != *szPattern) return FALSE;
    p++;
    szPattern++;
  }
  return TRUE;
}

int FindTextPosition(int iStart, LPCSTR szText, LPCSTR szPattern) {
  LPCSTR p = szText;
  int iPos = 1;

  if (iStart == 0 || szText == NULL || szPattern == NULL) return 0;
  if (iStart < 1) iStart = 1;

  while (*p != '\0' && iPos < iStart) {
    p = CharNextA(p);
    iPos++;
  }
  while (*p != '\0') {
    if (PatternAt(p, szPattern)) return iPos;
    p = CharNextA(p);
    iPos++;
  }
  return 0;
}

LPSTR FindCharInText(LPCSTR szText, int ch) {
  LPCSTR p = szText;

  if (p == NULL) return NULL;
  while (*p != '\0') {
    if ((BYTE)*p == (BYTE)ch) return (LPSTR)p;
    p = CharNextA(p);
  }
  return NULL;
}
