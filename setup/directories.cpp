/*
 * The system, printer-driver and destination directories of the setup state, and the spooler
 * start that Windows NT 3.5 needs before the spooler can be asked anything.
 */
#include <windows.h>
#include <winspool.h>

#include "install/spooler_control.h"
#include "install/status_code.h"
#include "setup/directories.h"
#include "setup/setup_state.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_wrappers.h"

/* What the directory queries are told the 512-byte buffers hold. */
#define CB_DIR_QUERY 509

#define INSTALL_SUBDIR "win32app\\zelpsmon"

void readSystemDirectory(void) {
  UINT cch = GetSystemDirectoryA(szSysDir, CB_DIR_QUERY);

  /* A failed query would leave the directory empty and send every file to the wrong place. */
  if (cch == 0 || cch > CB_DIR_QUERY) ReportSetupError("System path string too small");
}

void startStoppedSpooler(void) {
  char szResult[CB_DLG_RESULT];
  HCURSOR hcur;

  if (!fDaytona || isSpoolerRunning()) return;

  hcur = ShowBusyCursor();
  RunDialog(DIALOG_LIBRARY, DLG_WAIT_START_SPOOLER, PROC_MODELESS, 0, "", szResult,
            CB_DLG_RESULT_PASSED);
  if (!STATUS_CODE_SUCCEEDED(startSpooler(NULL)))
    ReportSetupError("startSpooler failed, error = %d", GetLastError());
  MustRestoreCursor(hcur);
  PopDialogs(1);
}

void readDriverDirectory(void) {
  DWORD cbNeeded;

  if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)szDriverDir, CB_DIR_QUERY, &cbNeeded))
    ReportSetupError("PPD path string too small");
}

void buildInstallDirectory(void) {
  /* The drive root of the system directory, such as C:\. */
  lstrcpynA(szInstallDir, szSysDir, 4);
  lstrcatA(szInstallDir, INSTALL_SUBDIR);
}
