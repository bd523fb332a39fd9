/*
 * The Setup Toolkit functions that the setup calls (MSSHLSTF, MSCOMSTF, MSINSSTF, MSUILSTF,
 * MSDETSTF). The setup never calls them directly: every call goes through a wrapper of the
 * toolkit layer that tests its result. Texts are 8-bit; a BOOL result is nonzero on success.
 */
#ifndef TOOLKIT_SERVICES_H
#define TOOLKIT_SERVICES_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result of GrcCopyFilesInCopyList: 0 or below is success. */
typedef int GRC;
#define grcOkay 0
#define grcUserQuit 48

/* MSSHLSTF: frame, symbols, cursor. */
int WINAPI InitializeFrame(LPSTR szCmdLine); /* -1: end quietly; 0: failed; >0: frame up */
HWND WINAPI HwndFrame(void);
HINSTANCE WINAPI HinstFrame(void);
BOOL WINAPI FSetBitmap(LPCSTR szDll, UINT idBitmap);
BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue);
HCURSOR WINAPI HShowWaitCursor(void);
BOOL WINAPI FRestoreCursor(HCURSOR hcurPrev);
void WINAPI TerminateFrame(void);

/* MSCOMSTF: setup file, symbols, lists. Lengths answered are full lengths without the
 * terminator; a length of the buffer size or more means the value did not fit. */
BOOL WINAPI FOpenInf(LPCSTR szFile, BOOL fCheck, BOOL fCheckSyms);
int WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szValue, int cbValue);
BOOL WINAPI FRemoveSymbol(LPCSTR szSymbol);
BOOL WINAPI FSetSymbolToListOfInfKeys(LPCSTR szSymbol, LPCSTR szSection, BOOL fNulls);
USHORT WINAPI UsGetListLength(LPCSTR szSymbol);
int WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szListItem, int cbMax);
BOOL WINAPI FAddListItem(LPCSTR szListSymbol, LPCSTR szListItem);
BOOL WINAPI FReplaceListItem(LPCSTR szListSymbol, USHORT nItem, LPCSTR szListItem);
int WINAPI CbGetInfSectionKeyField(LPCSTR szSection, LPCSTR szKey, USHORT iField, LPSTR szBuf,
                                   int cbBuf); /* -1 when the key is missing */
BOOL WINAPI FAddSectionFilesToCopyList(LPCSTR szSect, LPCSTR szSrc, LPCSTR szDest);
BOOL WINAPI FValidDir(LPCSTR szDir);
int WINAPI DoMsgBox(LPCSTR szText, LPCSTR szCaption, UINT fuStyle);

/* MSINSSTF: installation. */
BOOL WINAPI FInitializeInstall(HINSTANCE hinst, HWND hwndFrame);
void WINAPI ResetCopyList(void);
GRC WINAPI GrcCopyFilesInCopyList(HINSTANCE hInstance);
BOOL WINAPI FCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo);
BOOL WINAPI FShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szCommand, int cmo);
BOOL WINAPI FCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szItem, LPCSTR szCmd,
                                 int cmo);
void WINAPI TerminateInstall(void);

/* MSUILSTF: dialogs. FDoDialogExt leaves the keyword of the button pressed in "DLGEVENT". */
BOOL WINAPI FDoDialogExt(HWND hwndParent, LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc,
                         LPCSTR szHelpDll, UINT idHelp, LPCSTR szHelpProc);
BOOL WINAPI FKillNDialogs(int n); /* -1 removes every dialog */

#ifdef __cplusplus
}
#endif

#endif
