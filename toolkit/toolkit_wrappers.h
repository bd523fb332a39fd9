/*
 * One road to every Setup Toolkit call that is not a dialog, symbol, list or detection call:
 * setup-file fields, the copy list and its run, Program Manager, billboards, the log file,
 * files and directories, .ini files, the restart list and the cursor.
 *
 * A Must... wrapper makes its call, tests the result and ends the setup through ReportApiError
 * when the result means failure, so that its callers need no error handling of their own. The
 * Ask... and the other pass-through wrappers hand the answer back unchanged.
 */
#ifndef TOOLKIT_WRAPPERS_H
#define TOOLKIT_WRAPPERS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The value did not fit the caller's buffer: the "Buffer Overflow" box, then code 1024. */
void ReportBufferOverflow(void);

/* Setup-file fields. The size counts the terminator; a field of size characters or more is an
 * overflow, a missing key a failed call. */
LPSTR MustReadInfField1(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf);
LPSTR MustReadInfField5(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf);
LPSTR MustReadInfField19(LPCSTR szSect, LPCSTR szKey, LPSTR szBuf, int cbBuf);
LONG MustReadInfNumber15(LPCSTR szSect, LPCSTR szKey);
void MustListInfField1(LPCSTR szSymbol, LPCSTR szSect);
void MustListInfField5(LPCSTR szSymbol, LPCSTR szSect);
void MustListInfField15(LPCSTR szSymbol, LPCSTR szSect);
void MustListInfField19(LPCSTR szSymbol, LPCSTR szSect);

/* Frame and cursor. */
void MustSetAbout(LPCSTR szAbout1, LPCSTR szAbout2);
HCURSOR ShowBusyCursor(void);
void MustRestoreCursor(HCURSOR hcur);
BOOL ChangeBeepingMode(BOOL fBeep);
BOOL ChangeSilentMode(BOOL fSilent);

/* The copy list and its run. */
void ClearCopyList(void);
void MustAddSectionFilesToCopyList(LPCSTR szSect, LPCSTR szSrc, LPCSTR szDest);
void MustAddSectionKeyFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDest);
void MustAddSpecialFileToCopyList(LPCSTR szSect, LPCSTR szKey, LPCSTR szSrc, LPCSTR szDestPath);
void MustDumpCopyList(LPCSTR szFile);
LONG MustGetCopyListCost(LPCSTR szExtraList, LPCSTR szCostList, LPCSTR szNeedList);
void MustCopyFilesInCopyList(void); /* a quit during the copy ends the setup with code 1025 */
BOOL MoveCopyGauge(UINT uPos, UINT uRange);

/* Billboards. */
void MustAddBillboard(LPCSTR szDll, UINT idDlg, LPCSTR szProc, LONG lTicks);
void MustAddBlankBillboard(LONG lTicks);
void MustClearBillboardList(void);

/* Program Manager. The title and the icon file become the item text "title,icon file"; the
 * title alone when there is no icon file. */
void MustCreateProgManGroup(LPCSTR szGroup, LPCSTR szPath, int cmo);
void MustCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo);
void MustShowProgManGroup(LPCSTR szGroup, int nCmdShow, int cmo);
void MustShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int nCmdShow, int cmo);
void MustCreateProgManItem(LPCSTR szGroup, LPCSTR szTitle, LPCSTR szCmd, LPCSTR szIconFile,
                           int cmo);
void MustCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szTitle, LPCSTR szCmd,
                             LPCSTR szIconFile, int cmo);

/* Files and directories. */
void MustCreateDir(LPCSTR szDir, int cmo);
void MustRemoveDir(LPCSTR szDir, int cmo);
void MustRemoveFile(LPCSTR szFullPath, int cmo);
void MustBackupFile(LPCSTR szFullPath, LPCSTR szBackup);
void MustCopyOneFile(LPCSTR szSrc, LPCSTR szDest, int cmo, BOOL fAppend);
void MustStampResource(LPCSTR szSect, LPCSTR szKey, LPCSTR szDst, WORD wResType, WORD wResId,
                       LPCSTR szData, int cbData);
void MustPrependToPath(LPCSTR szSrc, LPCSTR szDst, LPCSTR szDir, int cmo);
LPSTR MustFindFileUsingFileOpen(LPCSTR szFile, LPSTR szBuf, int cbBuf);
BOOL AskDirWritable(LPCSTR szDir);
BOOL AskFileWritable(LPCSTR szFile);

/* .ini files. */
void MustCreateIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo);
void MustCreateSysIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo);
void MustRemoveIniKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, int cmo);
void MustRemoveIniSection(LPCSTR szFile, LPCSTR szSect, int cmo);

/* The log file. */
void MustOpenLogFile(LPCSTR szFile, BOOL fAppend);
void MustCloseLogFile(void);
void MustWriteLogLine(LPCSTR szText);

/* The restart list. */
void MustSetRestartDir(LPCSTR szDir);
BOOL AskRestartListEmpty(void);
BOOL ExitAndRestart(void);

/* The screen. */
int AskScreenWidth(void);
int AskScreenHeight(void);

/* The revision of this layer's interface: 2. */
int ToolkitLayerRevision(void);

#ifdef __cplusplus
}
#endif

#endif
