/*
 * The one road to the dialogs of the dialog library and to the toolkit's symbols and lists.
 * Every routine here either succeeds or ends the setup through ReportApiError.
 */
#ifndef TOOLKIT_DIALOG_RUNNER_H
#define TOOLKIT_DIALOG_RUNNER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the buffers that receive a dialog's result keyword, and the size passed with them:
 * a keyword of at most 14 characters fits. */
#define CB_DLG_RESULT 16
#define CB_DLG_RESULT_PASSED 15

/* The sum of the first two characters of a result keyword, each a signed 8-bit value, masked
 * to 16 bits; a character past the end counts as 0. Dialog loops branch on this alone. */
int DialogResultCode(LPCSTR szKeyword);

/* Lets every pending window message through; a quit message ends the setup (code 1025). */
void PumpMessages(void);

/* Shows a dialog and returns szResult filled with its result keyword. */
LPSTR RunDialog(LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc, UINT idHelp, LPCSTR szHelpProc,
                LPSTR szResult, int cbResult);
LPSTR RunDialogWithHelpLib(LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc, LPCSTR szHelpDll,
                           UINT idHelp, LPCSTR szHelpProc, LPSTR szResult, int cbResult);
void PopDialogs(int nDialogs);
void PopAllDialogs(void);

/* Symbols. */
LPSTR ReadSymbol(LPCSTR szSymbol, LPSTR szBuf, int cbBuf);
void WriteSymbol(LPCSTR szSymbol, LPCSTR szValue);
void DropSymbol(LPCSTR szSymbol);

/* Lists; positions count from 1. */
int CountListItems(LPCSTR szListSymbol);
LPSTR ReadListItem(LPCSTR szListSymbol, int nItem, LPSTR szBuf, int cbBuf);
void AppendListItem(LPCSTR szListSymbol, LPCSTR szItem);
void ChangeListItem(LPCSTR szListSymbol, int nItem, LPCSTR szItem);
void ListSectionKeys(LPCSTR szListSymbol, LPCSTR szSection);

#ifdef __cplusplus
}
#endif

#endif
