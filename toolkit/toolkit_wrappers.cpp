/*
 * The toolkit wrappers. Each makes one toolkit call with its caller's arguments, tests the
 * result and ends the setup through ReportApiError when the call failed. Nothing here returns
 * an error to its caller.
 */
#include <windows.h>

#include "toolkit/error_reporting.h"
#include "toolkit/text_helpers.h"
#include "toolkit/toolkit_services.h"
#include "toolkit/toolkit_wrappers.h"

/* Field numbers of the setup-file readers. */
#define INF_FIELD_FILE 1
#define INF_FIELD_5 5
#define INF_FIELD_NUMBER 15
#define INF_FIELD_VERSION 19

/* MustReadInfNumber15 reads its field into a buffer of its own. */
#define CB_INF_NUMBER 128

void ReportBufferOverflow(void) {
  DoMsgBox("Buffer Overflow", "MS-Setup Error", MB_ICONSTOP);
  ReportApiError(SETUP_ERR_CALL_FAILED);
}

/* A zero flag from the toolkit ends the setup. */
static void MustSucceed(BOOL fResult) {
  if (!fResult) ReportApiError(SETUP_ERR_CALL_FAILED);
}

/* ---- setup-file fields ------------------------------------------------------------------- */

static LPSTR ReadInfField(LPCSTR szSect, LPCSTR szKey, USHORT iField, LPSTR szBuf, int cbBuf) {
  int cb = CbGetInfSectionKeyField(szSect, szKey, iField, szBuf, cbBuf);

  if (cb >= cbBuf) ReportBufferOverflow();
  if (cb == -1) ReportApiError(SETUP_ERR_CALL_FAILED);
  return szBuf;
}

LPSTR MustReadInfField1(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  return ReadInfField(szSect, szKey, INF_FIELD_FILE, szBuf, cbBuf);
}

LPSTR MustReadInfField5(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  return ReadInfField(szSect, szKey, INF_FIELD_5, szBuf, cbBuf);
}

LPSTR MustReadInfField19(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf) {
  return ReadInfField(szSect, szKey, INF_FIELD_VERSION, szBuf, cbBuf);
}

/* Base 10: leading white space, an optional sign, digits up to the first other character; 0
 * without digits. The digits are gathered in unsigned arithmetic, so a number too large for 32
 * bits wraps instead of overflowing a signed value. */
static LONG ReadDecimal(LPCSTR sz) {
  DWORD dwValue = 0;
  BOOL fNegative = FALSE;

  while (*sz == ' ' || *sz == '\t' || *sz == '\n' || *sz == '\r' || *sz == '\v' || *sz == '\f')
    sz++;
  if (*sz == '+' || *sz == '-') {
    fNegative = *sz == '-';
    sz++;
  }
  while (*sz >= '0' && *sz <= '9') {
    dwValue = dwValue * 10 + (DWORD)(*sz - '0');
    sz++;
  }
  if (fNegative) dwValue = 0 - dwValue;
  return (LONG)dwValue;
}

LONG MustReadInfNumber15(LPCSTR szSect, LPCSTR szKey) {
  char szNumber[CB_INF_NUMBER];

  ReadInfField(szSect, szKey, INF_FIELD_NUMBER, szNumber, sizeof(szNumber));
  return ReadDecimal(szNumber);
}

void MustListInfField1(LPCSTR szSymbol, LPCSTR szSect) {
  MustSucceed(FMakeListInfSectionField(szSymbol, szSect, INF_FIELD_FILE));
}

void MustListInfField5(LPCSTR szSymbol, LPCSTR szSect) {
  MustSucceed(FMakeListInfSectionField(szSymbol, szSect, INF_FIELD_5));
}

void MustListInfField15(LPCSTR szSymbol, LPCSTR szSect) {
  MustSucceed(FMakeListInfSectionField(szSymbol, szSect, INF_FIELD_NUMBER));
}

void MustListInfField19(LPCSTR szSymbol, LPCSTR szSect) {
  MustSucceed(FMakeListInfSectionField(szSymbol, szSect, INF_FIELD_VERSION));
}

/* ---- frame and cursor -------------------------------------------------------------------- */

void MustSetAbout(LPCSTR szAbout1, LPCSTR szAbout2) {
  MustSucceed(FSetAbout(szAbout1, szAbout2));
}

HCURSOR ShowBusyCursor(void) {
  return HShowWaitCursor();
}

void MustRestoreCursor(HCURSOR hcur) {
  MustSucceed(FRestoreCursor(hcur));
}

BOOL ChangeBeepingMode(BOOL fBeep) {
  return FSetBeepingMode(fBeep);
}

BOOL ChangeSilentMode(BOOL fSilent) {
  return FSetSilent(fSilent);
}

/* ---- the copy list ----------------------------------------------------------------------- */

void ClearCopyList(void) {
  ResetCopyList();
}

void MustAddSectionFilesToCopyList(LPCSTR szSect, LPCSTR szSrc, LPCSTR szDest) {
  MustSucceed(FAddSectionFilesToCopyList(szSect, szSrc, szDest));
}

void MustAddSectionKeyFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDest) {
  MustSucceed(FAddSectionKeyFileToCopyList(szSect, szKey, szSrc, szDest));
}

void MustAddSpecialFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDestPath) {
  MustSucceed(FAddSpecialFileToCopyList(szSect, szKey, szSrc, szDestPath));
}

void MustDumpCopyList(LPCSTR szFile) {
  MustSucceed(FDumpCopyListToFile(szFile));
}

LONG MustGetCopyListCost(LPCSTR szExtraList, LPCSTR szCostList, LPCSTR szNeedList) {
  LONG lcb = LcbGetCopyListCost(szExtraList, szCostList, szNeedList);

  if (lcb < 0) ReportApiError(SETUP_ERR_CALL_FAILED);
  return lcb;
}

void MustCopyFilesInCopyList(void) {
  GRC grc = GrcCopyFilesInCopyList(HinstFrame());

  if (grc == grcUserQuit) ReportApiError(SETUP_ERR_USER_QUIT);
  if (grc > 0) ReportApiError(SETUP_ERR_CALL_FAILED);
}

BOOL MoveCopyGauge(UINT uPos, UINT uRange) {
  return ProSetPos(uPos, uRange);
}

/* ---- billboards -------------------------------------------------------------------------- */

void MustAddBillboard(LPCSTR szDll, UINT idDlg, LPCSTR szProc, LONG lTicks) {
  MustSucceed(FAddToBillboardList(szDll, idDlg, szProc, lTicks));
}

void MustAddBlankBillboard(LONG lTicks) {
  MustSucceed(FAddToBillboardList(NULL, 0, NULL, lTicks));
}

void MustClearBillboardList(void) {
  MustSucceed(FClearBillboardList());
}

/* ---- Program Manager --------------------------------------------------------------------- */

/* "title,icon file", or the title alone when there is no icon file. */
static LPCSTR ItemText(LPCSTR szTitle, LPCSTR szIconFile) {
  if (szIconFile == NULL || *szIconFile == '\0') return szTitle;
  return JoinThree(szTitle, ",", szIconFile);
}

void MustCreateProgManGroup(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  MustSucceed(FCreateProgManGroup(szGroup, szPath, cmo));
}

void MustCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  MustSucceed(FCreateProgManGroupEx(szGroup, szPath, cmo));
}

void MustShowProgManGroup(LPCSTR szGroup, int nCmdShow, int cmo) {
  char szCommand[16];

  wsprintfA(szCommand, "%d", nCmdShow);
  MustSucceed(FShowProgManGroup(szGroup, szCommand, cmo));
}

void MustShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int nCmdShow, int cmo) {
  char szCommand[16];

  wsprintfA(szCommand, "%d", nCmdShow);
  MustSucceed(FShowProgManGroupEx(szGroup, szPath, szCommand, cmo));
}

void MustCreateProgManItem(LPCSTR szGroup, LPCSTR szTitle, LPCSTR szCmd, LPCSTR szIconFile,
                           int cmo) {
  MustSucceed(FCreateProgManItem(szGroup, ItemText(szTitle, szIconFile), szCmd, cmo));
}

void MustCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szTitle, LPCSTR szCmd,
                             LPCSTR szIconFile, int cmo) {
  MustSucceed(FCreateProgManItemEx(szGroup, szPath, ItemText(szTitle, szIconFile), szCmd, cmo));
}

/* ---- files and directories --------------------------------------------------------------- */

void MustCreateDir(LPCSTR szDir, int cmo) {
  MustSucceed(FCreateDir(szDir, cmo));
}

void MustRemoveDir(LPCSTR szDir, int cmo) {
  MustSucceed(FRemoveDir(szDir, cmo));
}

void MustRemoveFile(LPCSTR szFullPath, int cmo) {
  MustSucceed(YnrcRemoveFile(szFullPath, cmo) != ynrcNo);
}

void MustBackupFile(LPCSTR szFullPath, LPCSTR szBackup) {
  MustSucceed(YnrcBackupFile(szFullPath, szBackup, cmoNone) != ynrcNo);
}

void MustCopyOneFile(LPCSTR szSrc, LPCSTR szDest, int cmo, BOOL fAppend) {
  /* The user learns which file failed and why before the setup ends. */
  MustSucceed(FCopyOneFile(szSrc, szDest, cmo | cmoTellUser, fAppend));
}

void MustStampResource(LPCSTR szSect, LPCSTR szKey, LPCSTR szDst, WORD wResType, WORD wResId,
                       LPCSTR szData, int cbData) {
  MustSucceed(FStampResource(szSect, szKey, szDst, wResType, wResId, szData, cbData));
}

void MustPrependToPath(LPCSTR szSrc, LPCSTR szDst, LPCSTR szDir, int cmo) {
  MustSucceed(FPrependToPath(szSrc, szDst, szDir, cmo));
}

LPSTR MustFindFileUsingFileOpen(LPCSTR szFile, LPSTR szBuf, int cbBuf) {
  int wResult = WFindFileUsingFileOpen(szFile, szBuf, cbBuf);

  if (wResult == 0) return szBuf;
  if (szBuf != NULL && cbBuf > 0) *szBuf = '\0';
  if (wResult != 1) ReportApiError(SETUP_ERR_CALL_FAILED);
  return szBuf;
}

BOOL AskDirWritable(LPCSTR szDir) {
  return FIsDirWritable(szDir);
}

BOOL AskFileWritable(LPCSTR szFile) {
  return FIsFileWritable(szFile);
}

/* ---- .ini files -------------------------------------------------------------------------- */

void MustCreateIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo) {
  MustSucceed(FCreateIniKeyValue(szFile, szSect, szKey, szValue, cmo));
}

void MustCreateSysIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo) {
  MustSucceed(FCreateSysIniKeyValue(szFile, szSect, szKey, szValue, cmo));
}

void MustRemoveIniKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, int cmo) {
  MustSucceed(FRemoveIniKey(szFile, szSect, szKey, cmo));
}

void MustRemoveIniSection(LPCSTR szFile, LPCSTR szSect, int cmo) {
  MustSucceed(FRemoveIniSection(szFile, szSect, cmo));
}

/* ---- the log file ------------------------------------------------------------------------ */

void MustOpenLogFile(LPCSTR szFile, BOOL fAppend) {
  MustSucceed(FOpenLogFile(szFile, fAppend));
}

void MustCloseLogFile(void) {
  MustSucceed(FCloseLogFile());
}

void MustWriteLogLine(LPCSTR szText) {
  MustSucceed(FWriteToLogFile(szText, TRUE));
}

/* ---- the restart list -------------------------------------------------------------------- */

void MustSetRestartDir(LPCSTR szDir) {
  MustSucceed(FSetRestartDir(szDir));
}

BOOL AskRestartListEmpty(void) {
  return FRestartListEmpty();
}

BOOL ExitAndRestart(void) {
  return FExitExecRestart();
}

/* ---- the screen -------------------------------------------------------------------------- */

int AskScreenWidth(void) {
  return GetSystemMetrics(SM_CXSCREEN);
}

int AskScreenHeight(void) {
  return GetSystemMetrics(SM_CYSCREEN);
}

int ToolkitLayerRevision(void) {
  return 2;
}
