/*
 * Dialogs, symbols and lists of the Setup Toolkit, with every result tested. A failed call, an
 * argument that fails its test or a value too long for the caller's buffer ends the setup with
 * SETUP_ERR_CALL_FAILED; nothing here returns an error.
 */
#include <windows.h>

#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_services.h"

int DialogResultCode(LPCSTR szKeyword) {
  int c0 = 0;
  int c1 = 0;

  if (szKeyword != NULL) {
    c0 = (signed char)szKeyword[0];
    if (c0 != 0) c1 = (signed char)szKeyword[1];
  }
  return (c0 + c1) & 0xFFFF;
}

/* The value did not fit the caller's buffer: say so, then end. */
static void ReportOverflow(void) {
  DoMsgBox("Buffer Overflow", "MS-Setup Error", MB_ICONSTOP);
  ReportApiError(SETUP_ERR_CALL_FAILED);
}

void PumpMessages(void) {
  MSG msg;

  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) ReportApiError(SETUP_ERR_USER_QUIT);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

LPSTR RunDialogWithHelpLib(LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc, LPCSTR szHelpDll,
                           UINT idHelp, LPCSTR szHelpProc, LPSTR szResult, int cbResult) {
  if (!FDoDialogExt(HwndFrame(), szDll, idDlg, szDlgProc, szHelpDll, idHelp, szHelpProc))
    ReportApiError(SETUP_ERR_CALL_FAILED);
  PumpMessages();
  return ReadSymbol(SYM_DLGEVENT, szResult, cbResult);
}

LPSTR RunDialog(LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc, UINT idHelp, LPCSTR szHelpProc,
                LPSTR szResult, int cbResult) {
  return RunDialogWithHelpLib(szDll, idDlg, szDlgProc, szDll, idHelp, szHelpProc, szResult,
                              cbResult);
}

void PopDialogs(int nDialogs) {
  if (!FKillNDialogs(nDialogs)) ReportApiError(SETUP_ERR_CALL_FAILED);
  PumpMessages();
}

void PopAllDialogs(void) {
  PopDialogs(-1);
}

LPSTR ReadSymbol(LPCSTR szSymbol, LPSTR szBuf, int cbBuf) {
  if (szSymbol == NULL || *szSymbol == '\0') ReportApiError(SETUP_ERR_CALL_FAILED);
  if (CbGetSymbolValue(szSymbol, szBuf, cbBuf) >= cbBuf) ReportOverflow();
  return szBuf;
}

void WriteSymbol(LPCSTR szSymbol, LPCSTR szValue) {
  if (!FSetSymbolValue(szSymbol, szValue)) ReportApiError(SETUP_ERR_CALL_FAILED);
}

void DropSymbol(LPCSTR szSymbol) {
  if (!FRemoveSymbol(szSymbol)) ReportApiError(SETUP_ERR_CALL_FAILED);
}

int CountListItems(LPCSTR szListSymbol) {
  if (szListSymbol == NULL || *szListSymbol == '\0') ReportApiError(SETUP_ERR_CALL_FAILED);
  return (int)(USHORT)UsGetListLength(szListSymbol);
}

LPSTR ReadListItem(LPCSTR szListSymbol, int nItem, LPSTR szBuf, int cbBuf) {
  if (szListSymbol == NULL || *szListSymbol == '\0') ReportApiError(SETUP_ERR_CALL_FAILED);
  if (nItem < 1 || nItem > CountListItems(szListSymbol)) ReportApiError(SETUP_ERR_CALL_FAILED);
  if (CbGetListItem(szListSymbol, (USHORT)nItem, szBuf, cbBuf) >= cbBuf) ReportOverflow();
  return szBuf;
}

void AppendListItem(LPCSTR szListSymbol, LPCSTR szItem) {
  if (!FAddListItem(szListSymbol, szItem)) ReportApiError(SETUP_ERR_CALL_FAILED);
}

void ChangeListItem(LPCSTR szListSymbol, int nItem, LPCSTR szItem) {
  if (!FReplaceListItem(szListSymbol, (USHORT)nItem, szItem)) ReportApiError(SETUP_ERR_CALL_FAILED);
}

void ListSectionKeys(LPCSTR szListSymbol, LPCSTR szSection) {
  if (!FSetSymbolToListOfInfKeys(szListSymbol, szSection, TRUE))
    ReportApiError(SETUP_ERR_CALL_FAILED);
}
