/*
 * The install sequence. Four cases follow from two facts: whether the monitor was installed
 * before (fUpgrade) and whether this is Windows NT 3.5 (fDaytona), where the spooler can be
 * stopped to replace the monitor DLL. On Windows NT 3.1 the running spooler keeps the old DLL
 * loaded, so the DLL is moved aside and the new one takes effect at the next restart, which
 * the main sequence offers.
 *
 * Nothing done is undone on a failure: every step leaves the machine in a state that a later
 * run of the setup repairs as an upgrade.
 */
#include <windows.h>
#include <winspool.h>
#include <string.h>

#include "install/driver_staging.h"
#include "install/install_sequence.h"
#include "install/monitor_detection.h"
#include "install/monitor_repair.h"
#include "install/printer_migration.h"
#include "install/spooler_control.h"
#include "install/status_code.h"
#include "setup/platform_detection.h"
#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/error_reporting.h"
#include "toolkit/toolkit_wrappers.h"

static const char szInstall[] = "Install";

/* A path in a directory of the setup state (at most 511 characters) with a file name of at most
 * 63, or a Program Manager command made of one; wsprintfA never writes more than this. */
#define CB_FILE_PATH 1024

/* The Program Manager arguments, passed to the toolkit as they are. */
#define PROGMAN_NO_PATH NULL
#define PROGMAN_GROUP_CMO 1
#define PROGMAN_SHOW_CMD 1
#define PROGMAN_SHOW_CMO 1
#define PROGMAN_ITEM_CMO 1024

/* Pauses: the copied files settle before the monitor is registered; the last wait dialog stays
 * up long enough to be read. */
#define AFTER_COPY_MS 1000
#define AT_END_MS 2000

/* Texts the spooler records take; the records want writable strings. */
static char szMonitorName[] = MONITOR_NAME;
static char szEnvX86[] = "Windows NT x86";
static char szEnvAlpha[] = "Windows NT Alpha_AXP";
static char szEnvMips[] = "Windows NT R4000";
static char szDriverModule[] = PS_DRIVER_FILE;
static char szConfigModule[] = PS_CONFIG_FILE;
static char szHelpModule[] = PS_HELP_FILE;

/* Puts up a wait dialog with the wait cursor; answers the cursor to restore. */
static HCURSOR showWaitDialog(UINT idDlg) {
  char szResult[CB_DLG_RESULT];
  HCURSOR hcur;

  hcur = ShowBusyCursor();
  RunDialog(DIALOG_LIBRARY, idDlg, PROC_MODELESS, 0, "", szResult, CB_DLG_RESULT_PASSED);
  return hcur;
}

static void removeWaitDialog(HCURSOR hcur) {
  MustRestoreCursor(hcur);
  PopDialogs(1);
}

/* A copy of a name in a zero-filled block of its own. */
static LPSTR copyName(LPCSTR lpName) {
  LPSTR lpCopy;

  lpCopy = (LPSTR)LocalAlloc(LPTR, lstrlenA(lpName) + 1);
  if (lpCopy == NULL) ReportSetupError("Install -- Out of memory, error = %d", GetLastError());
  lstrcpyA(lpCopy, lpName);
  return lpCopy;
}

/* Deletes "<dir>\<name>"; the result does not matter. */
static void deleteIn(LPCSTR lpDir, LPCSTR lpName) {
  char szPath[CB_FILE_PATH];

  wsprintfA(szPath, "%s\\%s", lpDir, lpName);
  DeleteFileA(szPath);
}

/*
 * Moves the installed monitor DLL out of the way of the copy. While the spooler is stopped the
 * DLL simply goes; while it runs (Windows NT 3.1) the loaded DLL cannot be deleted but can be
 * renamed, and its old name is deleted at the next restart. A file left at the old name by an
 * earlier upgrade goes first. None of these results matters: the copy reports what is in the way.
 */
static void moveMonitorDllAside(LPCSTR lpDllName) {
  char szInstalled[CB_FILE_PATH];
  char szOld[CB_FILE_PATH];
  int cch;

  wsprintfA(szInstalled, "%s\\%s", szSysDir, lpDllName);
  lstrcpyA(szOld, szInstalled);
  cch = lstrlenA(szOld);
  lstrcpyA(szOld + (cch >= 3 ? cch - 3 : 0), "old");

  DeleteFileA(szInstalled);
  DeleteFileA(szOld);
  MoveFileExA(szInstalled, szOld, MOVEFILE_REPLACE_EXISTING);
  if (!DeleteFileA(szOld)) MoveFileExA(szOld, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

/* The environment the drivers are registered for: the spooler of Windows NT 3.1 wants it
 * named; that of Windows NT 3.5 takes its own. */
static LPSTR driverEnvironment(void) {
  if (!fNT31) return NULL;
  if (fX86) return szEnvX86;
  if (fAlpha) return szEnvAlpha;
  if (fMips) return szEnvMips;
  return NULL;
}

static void createProgManGroup(void) {
  char szCommand[CB_FILE_PATH];

  if (fNT31 && fUpgrade)
    MustCreateProgManItemEx(PROGMAN_STARTUP_GROUP, PROGMAN_NO_PATH, "Norvale Network Printing Help",
                            "zelpsmon.hlp", "winhlp32.exe", PROGMAN_ITEM_CMO);
  MustCreateProgManGroupEx(PROGMAN_GROUP, PROGMAN_NO_PATH, PROGMAN_GROUP_CMO);
  MustShowProgManGroupEx(PROGMAN_GROUP, PROGMAN_NO_PATH, PROGMAN_SHOW_CMD, PROGMAN_SHOW_CMO);
  MustCreateProgManItemEx(PROGMAN_GROUP, PROGMAN_NO_PATH, "Norvale Network Printing Help",
                          "zelpsmon.hlp", "winhlp32.exe", PROGMAN_ITEM_CMO);
  wsprintfA(szCommand, "WRITE %s\\%s", szInstallDir, "relnt50.wri");
  MustCreateProgManItemEx(PROGMAN_GROUP, PROGMAN_NO_PATH, "READ ME! Release notes for Version 5.0",
                          szCommand, "write.exe", PROGMAN_ITEM_CMO);
  wsprintfA(szCommand, "WRITE %s\\%s", szInstallDir, "spdesc50.wri");
  MustCreateProgManItemEx(PROGMAN_GROUP, PROGMAN_NO_PATH,
                          "Version 5.0 Software Product Description", szCommand, "write.exe",
                          PROGMAN_ITEM_CMO);
}

void Install(void) {
  DRIVER_INFO_2 DriverInfo;
  MONITOR_INFO_2 MonitorInfo;
  char szDriverName[CB_PPD_NAME]; /* the record's driver name */
  char szDataFile[CB_PPD_NAME];   /* the record's data file */
  char szPPDName[CB_PPD_NAME];
  LPSTR *ppszUpdatePPD;
  LPSTR *ppszUpdateDriver;
  LPVOID pDependents = NULL;
  LPCSTR lpDllName = NULL;
  HCURSOR hcur;
  HKEY hMonitors;
  LONG lResult;
  DWORD dwError;
  int nPPDs;
  int i;

  memset(&DriverInfo, 0, sizeof(DriverInfo));
  memset(&MonitorInfo, 0, sizeof(MonitorInfo));
  szDriverName[0] = '\0';
  szDataFile[0] = '\0';

  /* 1. Windows 95 has no spooler of this kind to install into. */
  if (isChicago()) {
    MessageBoxA(NULL, "Installation on Windows95 is not yet supported", szInstall, MB_OK);
    return;
  }

  /* 2, 3. A fresh installation or an upgrade. The registry answers its error rather than
   * setting the last-error value: it is set so that the report names the cause. */
  lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, MONITORS_KEY, 0, KEY_ALL_ACCESS, &hMonitors);
  if (lResult != ERROR_SUCCESS) {
    SetLastError((DWORD)lResult);
    ReportSetupError("Install -- Couldn't open registry root, Error = %d", GetLastError());
  }
  getMonitorDllName(&lpDllName);
  fUpgrade = isZelpsmonInstalled(hMonitors, lpDllName);
  RegCloseKey(hMonitors);

  /* 4. The PostScript modules, while the spooler still runs to be asked. */
  if (!STATUS_CODE_SUCCEEDED(setupForPPDInstall(&DriverInfo.cVersion)))
    ReportSetupError("setupForPPDInstall failed, error = %d", GetLastError());

  /* 5. The old monitor DLL can only be replaced while the spooler is down. */
  if (fUpgrade && fDaytona) {
    hcur = showWaitDialog(DLG_WAIT_STOP_SPOOLER);
    if (!STATUS_CODE_SUCCEEDED(stopSpooler(&pDependents)))
      ReportSetupError("Install -- Couldn't stop spooler, error = %d", GetLastError());
    removeWaitDialog(hcur);
  }

  /* 6. */
  if (fUpgrade) moveMonitorDllAside(lpDllName);

  /* 7, 8. */
  MustCopyFilesInCopyList();
  Sleep(AFTER_COPY_MS);

  /* 9. */
  if (fUpgrade) {
    if (!STATUS_CODE_SUCCEEDED(FixReg(MONITORS_KEY, MONITOR_NAME)))
      ReportSetupError("Install -- FixReg failed, error = %d", GetLastError());
  } else {
    MonitorInfo.pName = szMonitorName;
    MonitorInfo.pEnvironment = NULL;
    MonitorInfo.pDLLName = (LPSTR)lpDllName;
    if (!AddMonitorA(NULL, 2, (LPBYTE)&MonitorInfo))
      ReportSetupError("Install -- AddMonitor failed, error = %d", GetLastError());
  }

  /* 10. */
  if (fUpgrade && fDaytona) {
    hcur = showWaitDialog(DLG_WAIT_START_SPOOLER);
    if (!STATUS_CODE_SUCCEEDED(startSpooler(&pDependents)))
      ReportSetupError("Install -- Couldn't start spooler, error = %d", GetLastError());
    removeWaitDialog(hcur);
    freeSpoolerDependents(&pDependents);
    SpoolerRestartedNotice();
  }

  /* 11. */
  DriverInfo.pDriverPath = szDriverModule;
  DriverInfo.pConfigFile = szConfigModule;
  DriverInfo.pName = szDriverName;
  DriverInfo.pDataFile = szDataFile;
  DriverInfo.pEnvironment = driverEnvironment();

  /* 12, 13. */
  hcur = showWaitDialog(DLG_WAIT_DRIVERS);
  ListSectionKeys(SYM_PPD_LIST, PPD_SECTION);
  nPPDs = CountListItems(SYM_PPD_LIST);
  ppszUpdatePPD = (LPSTR *)LocalAlloc(LPTR, (nPPDs + 1) * sizeof(LPSTR));
  ppszUpdateDriver = (LPSTR *)LocalAlloc(LPTR, (nPPDs + 1) * sizeof(LPSTR));
  if (ppszUpdatePPD == NULL || ppszUpdateDriver == NULL)
    ReportSetupError("Install -- Out of memory, error = %d", GetLastError());

  /* 14. Each driver is deleted first so that it is registered afresh. A driver that printers
   * still use cannot be deleted, and then cannot be added either: it is re-installed after all
   * the others, by moving its printers off it for the time. */
  for (i = 1; i <= nPPDs; i++) {
    ReadListItem(SYM_PPD_LIST, i, szDriverName, CB_PPD_NAME);
    MustReadInfField1(PPD_SECTION, szDriverName, szPPDName, CB_PPD_NAME);
    lstrcpyA(szDataFile, szPPDName);

    DeletePrinterDriverA(NULL, DriverInfo.pEnvironment, szDriverName);
    if (AddPrinterDriverA(NULL, 2, (LPBYTE)&DriverInfo)) {
      if (fDaytona) deleteIn(szDriverDir, szPPDName);
      continue;
    }
    dwError = GetLastError();
    if (dwError == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
      /* The staged PPD file stays for the update. */
      ppszUpdatePPD[i] = copyName(szPPDName);
      ppszUpdateDriver[i] = copyName(szDriverName);
      continue;
    }
    reportDriverNotAdded(szInstall, szDriverName, dwError);
    if (fDaytona) deleteIn(szDriverDir, szPPDName);
  }

  /* 15. */
  for (i = 1; i <= nPPDs; i++) {
    if (ppszUpdatePPD[i] == NULL) continue;
    updateDriverInUse(ppszUpdatePPD[i], ppszUpdateDriver[i], &DriverInfo);
    if (fDaytona) deleteIn(szDriverDir, ppszUpdatePPD[i]);
    LocalFree(ppszUpdatePPD[i]);
    LocalFree(ppszUpdateDriver[i]);
    ppszUpdatePPD[i] = NULL;
    ppszUpdateDriver[i] = NULL;
    /* The update left the record pointing at the copies just released. */
    DriverInfo.pName = szDriverName;
    DriverInfo.pDataFile = szDataFile;
  }
  LocalFree(ppszUpdatePPD);
  LocalFree(ppszUpdateDriver);

  /* 16. Windows NT 3.5 has copied the modules into its version directory by now. */
  if (fDaytona) {
    deleteIn(szDriverDir, szHelpModule);
    deleteIn(szDriverDir, szDriverModule);
    deleteIn(szDriverDir, szConfigModule);
  }

  /* 17, 18. */
  migrateOldDrivers(&DriverInfo);
  removeWaitDialog(hcur);

  /* 19 - 21. */
  hcur = showWaitDialog(DLG_WAIT_PROGMAN);
  createProgManGroup();
  Sleep(AT_END_MS);
  removeWaitDialog(hcur);
}
