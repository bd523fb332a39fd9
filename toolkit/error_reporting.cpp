/*
 * The two fatal reporters. Each guards itself with a flag that is set on first entry: the
 * reporters run dialogs through wrappers that report on failure, so a failure while an error
 * is being shown comes back here and must end the setup instead of stacking another dialog.
 */
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

#include "setup/setup_state.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_services.h"

BOOL fInApiError;
BOOL fInSetupError;

/* Runs the error dialog until the user closes it with CONTINUE or CANCEL. */
static void ShowErrorDialog(UINT idDlg, LPCSTR szDlgProc) {
  char szResult[CB_DLG_RESULT];
  int nResult;

  do {
    RunDialog(DIALOG_LIBRARY, idDlg, szDlgProc, 0, "", szResult, CB_DLG_RESULT_PASSED);
    nResult = DialogResultCode(szResult);
  } while (nResult != RESULT_CANCEL && nResult != RESULT_CONTINUE);
}

void ReportApiError(int nCode) {
  char szMsg[1024];
  char szResult[CB_DLG_RESULT];
  int nResult;

  if (!fInApiError) {
    fInApiError = TRUE;
    PopAllDialogs();
    do {
      if (nCode != 0) {
        snprintf(szMsg, sizeof(szMsg), "Error code = %d", nCode);
        FSetSymbolValue(SYM_ERROR_TEXT, szMsg);
        RunDialog(DIALOG_LIBRARY, DLG_ERROR, PROC_ERROR, 0, "", szResult, CB_DLG_RESULT_PASSED);
      } else {
        RunDialog(DIALOG_LIBRARY, DLG_EXIT_NOTICE, PROC_INFO0, 0, "", szResult,
                  CB_DLG_RESULT_PASSED);
      }
      nResult = DialogResultCode(szResult);
    } while (nResult != RESULT_CANCEL && nResult != RESULT_CONTINUE);
    PopDialogs(1);
  }
  EndSetup();
  ExitProcess(0);
}

void ReportSetupError(LPCSTR szFormat, ...) {
  char szMsg[1024];
  va_list args;

  /* Whatever happens below, the dialog has something to say. */
  FSetSymbolValue(SYM_ERROR_TEXT, "Unexpected or Unknown Error");
  if (!fInSetupError) {
    fInSetupError = TRUE;
    /* Bounded: a message longer than the buffer is cut, never written past it. */
    va_start(args, szFormat);
    if (vsnprintf(szMsg, sizeof(szMsg), szFormat, args) < 0) szMsg[0] = '\0';
    va_end(args);
    szMsg[sizeof(szMsg) - 1] = '\0';
    FSetSymbolValue(SYM_ERROR_TEXT, szMsg);
    PopAllDialogs();
    ShowErrorDialog(DLG_ERROR, PROC_ERROR);
    PopDialogs(1);
  }
  EndSetup();
  ExitProcess(0);
}
