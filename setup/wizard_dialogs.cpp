/*
 * Wizard dialogs. Every routine loops on one dialog: it classifies the result keyword by its
 * result code, acts on the codes it knows and shows the same dialog again for any other. A
 * dialog stays on the toolkit's stack from its first run until its routine leaves, so a notice
 * or the quit confirmation raised from it comes up on top and the same dialog reappears after.
 */
#include <windows.h>

#include "setup/finishing_actions.h"
#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/toolkit_services.h"

/* "ButtonChecked" is read into 16 bytes; a value of 15 characters or more is an overflow. */
#define CB_BUTTON_CHECKED 16
#define CB_BUTTON_CHECKED_PASSED 15

/* Runs one dialog of the library and answers its result code. */
static int AskDialog(UINT idDlg, LPCSTR szDlgProc, UINT idHelp, LPCSTR szHelpProc) {
  char szResult[CB_DLG_RESULT];

  RunDialog(DIALOG_LIBRARY, idDlg, szDlgProc, idHelp, szHelpProc, szResult, CB_DLG_RESULT_PASSED);
  return DialogResultCode(szResult);
}

/* A notice that only CONTINUE closes; everything else shows it again. */
static void ShowNotice(UINT idDlg) {
  while (AskDialog(idDlg, PROC_INFO, 0, "") != RESULT_CONTINUE) {
  }
  PopDialogs(1);
}

/* A dialog that CONTINUE closes and that CANCEL or EXIT leave only through the quit
 * confirmation. */
static void ShowWithQuit(UINT idDlg, LPCSTR szDlgProc, UINT idHelp, LPCSTR szHelpProc) {
  for (;;) {
    switch (AskDialog(idDlg, szDlgProc, idHelp, szHelpProc)) {
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

/* An offer: CONTINUE accepts, CANCEL declines, anything else asks again. */
static void ShowOffer(UINT idDlg, int *pfAccepted) {
  *pfAccepted = 0;
  for (;;) {
    switch (AskDialog(idDlg, PROC_INFO, 0, "")) {
      case RESULT_CONTINUE:
        *pfAccepted = 1;
        PopDialogs(1);
        return;
      case RESULT_CANCEL:
        PopDialogs(1);
        return;
      default:
        break;
    }
  }
}

void QuitSetup(void) {
  PopAllDialogs();
  EndSetup();
  ExitProcess(0);
}

void WelcomeDialog(void) {
  ShowWithQuit(DLG_WELCOME, PROC_WELCOME, DLG_HELP, PROC_HELP);
}

/* Shared by the quit confirmation and the newer-build warning: CONTINUE and CANCEL both mean
 * "go on with the setup"; EXIT ends it. */
static void AskToQuit(UINT idDlg, UINT idHelp, LPCSTR szHelpProc) {
  for (;;) {
    switch (AskDialog(idDlg, PROC_QUIT, idHelp, szHelpProc)) {
      case RESULT_CONTINUE:
      case RESULT_CANCEL:
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

void QuitConfirmation(void) {
  AskToQuit(DLG_QUIT, DLG_HELP, PROC_HELP);
}

void NewerBuildWarning(void) {
  AskToQuit(DLG_NEWER_BUILD, 0, "");
}

void NotAdministratorNotice(void) {
  while (AskDialog(DLG_NOT_ADMINISTRATOR, PROC_INFO, 0, "") != RESULT_CONTINUE) {
  }
  QuitSetup();
}

void UnsupportedSystemNotice(void) {
  ShowNotice(DLG_UNSUPPORTED);
}

int SetupOptionFromButton(LPCSTR szButtonChecked) {
  return szButtonChecked[0] == '1' ? 3 : 1;
}

void OptionDialog(void) {
  char szChecked[CB_BUTTON_CHECKED];

  for (;;) {
    /* Every run starts on the first button, also after the quit confirmation. */
    WriteSymbol(SYM_RADIO_DEFAULT, "1");
    switch (AskDialog(DLG_OPTION, PROC_RADIO, DLG_HELP, PROC_HELP)) {
      case RESULT_CONTINUE:
        ReadSymbol(SYM_BUTTON_CHECKED, szChecked, CB_BUTTON_CHECKED_PASSED);
        nSetupOption = SetupOptionFromButton(szChecked);
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

void PrintmanOffer(int *pfAccepted) {
  ShowOffer(DLG_PRINTMAN_OFFER, pfAccepted);
}

void HelpOffer(int *pfAccepted) {
  ShowOffer(DLG_HELP_OFFER, pfAccepted);
}

void FinishDialog(void) {
  ShowWithQuit(DLG_FINISH, PROC_INFO, 0, "");
}

void UpgradeNotice(void) {
  ShowNotice(DLG_UPGRADE_NOTICE);
}

void RestartOffer(void) {
  int fAccepted;

  /* The offer goes before the request: the system may shut down at once. */
  ShowOffer(DLG_RESTART_OFFER, &fAccepted);
  if (fAccepted && !restartSystem()) RestartFailedNotice();
}

void RestartFailedNotice(void) {
  ShowNotice(DLG_RESTART_FAILED);
}

void SpoolerRestartedNotice(void) {
  ShowNotice(DLG_SPOOLER_RESTARTED);
}

void DriverFilesMissingNotice(void) {
  ShowWithQuit(DLG_DRIVER_FILES_MISSING, PROC_INFO, 0, "");
}

void PathProblemNotice(void) {
  for (;;) {
    switch (AskDialog(DLG_PATH_PROBLEM, PROC_INFO0, 0, "")) {
      case RESULT_CONTINUE:
      case RESULT_CANCEL:
        PopDialogs(1);
        return;
      case RESULT_EXIT:
        QuitConfirmation();
        break;
      default:
        break;
    }
  }
}

void DistributionPathDialog(LPSTR szPath) {
  char szWork[CB_EDIT_PATH];
  LPSTR pch;
  LPSTR pchLast;
  int cch;

  /* A path that does not fit is not offered at all: any part of it would name another
   * directory. The length is looked for only within the working size. */
  for (cch = 0; cch < CB_EDIT_PATH && szPath[cch] != '\0'; cch++) {
  }
  if (cch < CB_EDIT_PATH)
    lstrcpynA(szWork, szPath, CB_EDIT_PATH);
  else
    szWork[0] = '\0';

  /* Offer the path without one trailing backslash. Walk by characters of the code page: the
   * second byte of a double-byte character may have the value of a backslash. */
  pchLast = NULL;
  for (pch = szWork; *pch != '\0'; pch = CharNextA(pch)) pchLast = pch;
  if (pchLast != NULL && *pchLast == '\\') *pchLast = '\0';

  WriteSymbol(SYM_EDIT_TEXT_IN, szWork);
  WriteSymbol(SYM_EDIT_FOCUS, "ALL");

  for (;;) {
    switch (AskDialog(DLG_DISTRIBUTION_PATH, PROC_EDIT, 0, "")) {
      case RESULT_EXIT:
      case RESULT_CANCEL:
      case RESULT_BACK:
        QuitConfirmation();
        continue;
      default:
        break;
    }
    ReadSymbol(SYM_EDIT_TEXT_OUT, szWork, CB_EDIT_PATH_READ);
    if (szWork[0] == '\0' || !FValidDir(szWork)) {
      PathProblemNotice();
      continue;
    }
    lstrcpyA(szPath, szWork);
    PopDialogs(1);
    return;
  }
}
