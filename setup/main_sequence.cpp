/*
 * The main sequence: bring up the frame, open setup.inf from the source directory, lead the
 * user through the setup, and end through EndSetup. The process exit code is 0 on every path.
 */
#include <windows.h>

#include "install/install_sequence.h"
#include "setup/copy_list.h"
#include "setup/directories.h"
#include "setup/finishing_actions.h"
#include "setup/platform_detection.h"
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

  if (!isAdministrator()) NotAdministratorNotice(); /* does not return */
  fChicago = isChicago();
  fDaytona = isDaytona(); /* a newer build is warned about; the user may end there */
  fNT31 = isNT31();
  setProcessorFlags();
  if (!fChicago && !fDaytona && !fNT31) {
    /* Nothing is read, copied or installed. */
    UnsupportedSystemNotice();
    goto EndOfSetup;
  }
  readSystemDirectory();
  startStoppedSpooler(); /* Windows NT 3.5: the spooler must run to be asked below */
  readDriverDirectory();
  buildInstallDirectory();
  OptionDialog();
  buildCopyList();
  Install(); /* sets fUpgrade, which the end dialogs read */
  EndDialogs();

/* Locals of this routine stay declared at its top: the jump above must not pass one. */
EndOfSetup:

  FreeRegistryLibrary();
  EndSetup();
  return 0;
}
