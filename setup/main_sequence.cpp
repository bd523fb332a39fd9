/*
 * The main sequence: bring up the frame, open setup.inf from the source directory, lead the
 * user through the setup, and end through EndSetup. The process exit code is 0 on every path.
 */
#include <windows.h>

#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/dialog_library.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_services.h"

#define SETUP_TITLE "Norvale Network Printing Setup"
#define SETUP_INF "setup.inf"

/* szSrcDir followed by "setup.inf". */
static char szInfPath[512];

int SetupMain(HINSTANCE hInstance, LPSTR szCmdLine, int nCmdShow) {
  (void)hInstance;
  (void)nCmdShow; /* the frame is always shown maximised */

  if (InitSetupFrame(szCmdLine) <= 0) return 0;

  ShowWindow(HwndFrame(), SW_SHOWMAXIMIZED);

  if (!LoadRegistryLibrary()) {
    /* Nothing to tell the user that would help: leave quietly. */
    EndSetup();
    return 0;
  }

  if (!FSetBitmap(DIALOG_LIBRARY, FRAME_BITMAP_ID)) ReportApiError(SETUP_ERR_CALL_FAILED);
  SetWindowTextA(HwndFrame(), SETUP_TITLE);

  lstrcpynA(szInfPath, szSrcDir, sizeof(szInfPath));
  lstrcatA(szInfPath, SETUP_INF);
  if (!FOpenInf(szInfPath, TRUE, FALSE)) ReportApiError(SETUP_ERR_CALL_FAILED);

  WelcomeDialog();

  /* PENDING(wizard): administrator check (not-administrator notice ends the program). */
  /* PENDING(wizard): classify the operating system (isChicago, isDaytona, isNT31). */
  /* PENDING(wizard): the processor rule. */
  /* PENDING(wizard): unsupported system: notice, then straight to the end below. */
  /* PENDING(copy): system directory into szSysDir. */
  /* PENDING(copy): on Windows NT 3.5 start a stopped spooler behind wait dialog 5300. */
  /* PENDING(copy): printer-driver directory into szDriverDir. */
  /* PENDING(copy): destination directory szInstallDir. */
  /* PENDING(wizard): option dialog. */
  /* PENDING(copy): the copy list. */
  /* PENDING(install): Install. */
  /* PENDING(wizard): end dialogs and the programs the user asked for. */

  FreeRegistryLibrary();
  EndSetup();
  return 0;
}
