/*
 * Wizard dialogs. Every routine loops on one dialog: it classifies the result keyword by its
 * result code, acts on the codes it knows and shows the same dialog again for any other.
 */
#include <windows.h>

#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"

void QuitSetup(void) {
  PopAllDialogs();
  EndSetup();
  ExitProcess(0);
}

void WelcomeDialog(void) {
  char szResult[CB_DLG_RESULT];

  for (;;) {
    RunDialog(DIALOG_LIBRARY, DLG_WELCOME, PROC_WELCOME, DLG_HELP, PROC_HELP, szResult,
              CB_DLG_RESULT_PASSED);
    switch (DialogResultCode(szResult)) {
      case RESULT_CONTINUE:
        PopDialogs(1);
        return;
      case RESULT_CANCEL:
      case RESULT_EXIT:
        QuitConfirmation();
        break;
      default:
        break;
    }
  }
}

void QuitConfirmation(void) {
  char szResult[CB_DLG_RESULT];

  for (;;) {
    RunDialog(DIALOG_LIBRARY, DLG_QUIT, PROC_QUIT, DLG_HELP, PROC_HELP, szResult,
              CB_DLG_RESULT_PASSED);
    switch (DialogResultCode(szResult)) {
      case RESULT_CONTINUE:
      case RESULT_CANCEL: /* not quitting after all: the setup goes on */
        PopDialogs(1);
        return;
      case RESULT_EXIT:
        QuitSetup();
        break;
      default:
        break;
    }
  }
}
