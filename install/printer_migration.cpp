/*
 * Printer driver migration. Both routines work on a snapshot of the local printers taken at
 * their start. Moving printers off old driver names reports nothing: a printer or driver that
 * the spooler refuses is left as it is and the routine goes on with the next one. Re-installing
 * a driver in use parks printers, which is the setup's own doing: it tells the user what it
 * could not add or put back.
 */
#include "install/printer_migration.h"

#include <string.h>

const char *const driverRenameTable[][2] = {
    {"Norvale ZELlaser 7200 v1307", "Norvale ZELlaser 7200"},
    {"Norvale turbo PageRelay 24/Japanese v31.2", "Norvale turbo PageRelay 24/Japanese"},
    {"Norvale PageRelay 36/Japanese v31.2", "Norvale PageRelay 36/Japanese"},
    {"Norvale PageRelay 44 Plus/Japanese v31.2", "Norvale PageRelay 44 Plus/Japanese"},
    {"Norvale ZELcolorwriter 3000  39 fonts v1307.210", "Norvale ZELcolorwriter 3000  39 fonts"},
    {"Norvale ZELcolorwriter 3000  17 fonts v1307.210", "Norvale ZELcolorwriter 3000  17 fonts"},
    {"Norvale PageRelay 12 v31.2", "Norvale PageRelay 12"},
    {"Norvale PageRelay 24 v31.2", "Norvale PageRelay 24"},
    {"Norvale PageRelay 36 v31.2", "Norvale PageRelay 36"},
    {"Norvale PageRelay 12 v1408", "Norvale PageRelay 12 Level2 12mg"},
    {"Norvale PageRelay 12/600 v1408", "Norvale PageRelay 12/600"},
    {"Norvale PageRelay 12  (8mb) v1408", "Norvale PageRelay 12 Level2  8mb"},
    {"", ""}};

/* Every printer is opened for full access: changing its driver or pausing it needs it. */
static PRINTER_DEFAULTS printerDefaults = {NULL, NULL, PRINTER_ALL_ACCESS};

/*
 * The local printers at level 2, in a zero-filled block with room for one record more than the
 * spooler asked for. Answers NULL when the block cannot be had or there is no printer; the
 * caller frees the block with LocalFree.
 */
static PRINTER_INFO_2 *getPrinterList(DWORD *pcPrinters) {
  PRINTER_INFO_2 *pList;
  DWORD cbNeeded = 0; /* a size query that fails outright may leave it unset */
  DWORD cReturned = 0;

  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &cbNeeded, &cReturned);

  pList = (PRINTER_INFO_2 *)LocalAlloc(LPTR, cbNeeded + sizeof(PRINTER_INFO_2));
  if (pList == NULL) return NULL;

  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, (LPBYTE)pList, cbNeeded, &cbNeeded, &cReturned) ||
      cReturned == 0) {
    LocalFree(pList);
    return NULL;
  }
  *pcPrinters = cReturned;
  return pList;
}

void reportDriverNotAdded(LPCSTR lpCaption, LPCSTR lpDriverName, DWORD dwError) {
  char szMessage[512];

  wsprintfA(szMessage, "AddPrinterDriver (%.300s)failed\nerror = %d", lpDriverName, (int)dwError);
  MessageBoxA(NULL, szMessage, lpCaption, MB_OK);
}

/*
 * Puts the printer onto the driver pszDriver and sends it the command; the list keeps the
 * printer's own driver name. Answers FALSE with the last-error value set when the printer did
 * not open or the spooler refused.
 */
static BOOL setPrinterDriver(PRINTER_INFO_2 *pPrinter, LPSTR pszDriver, DWORD Command) {
  LPSTR pszOwn = pPrinter->pDriverName;
  HANDLE hPrinter;
  BOOL fDone;
  DWORD dwError;

  if (!OpenPrinterA(pPrinter->pPrinterName, &hPrinter, &printerDefaults)) return FALSE;
  pPrinter->pDriverName = pszDriver;
  fDone = SetPrinterA(hPrinter, 2, (LPBYTE)pPrinter, Command);
  dwError = GetLastError();
  ClosePrinter(hPrinter);
  pPrinter->pDriverName = pszOwn;
  SetLastError(dwError);
  return fDone;
}

/*
 * The driver record of the printer's driver as installed, its files named by full path, in a
 * block that the caller frees with LocalFree; NULL when it cannot be had.
 */
static DRIVER_INFO_2 *getInstalledDriver(PRINTER_INFO_2 *pPrinter, LPSTR pszEnvironment) {
  HANDLE hPrinter;
  DRIVER_INFO_2 *pDriver = NULL;
  DWORD cbNeeded = 0;

  if (!OpenPrinterA(pPrinter->pPrinterName, &hPrinter, &printerDefaults)) return NULL;
  GetPrinterDriverA(hPrinter, pszEnvironment, 2, NULL, 0, &cbNeeded);
  if (cbNeeded != 0) pDriver = (DRIVER_INFO_2 *)LocalAlloc(LPTR, cbNeeded);
  if (pDriver != NULL &&
      !GetPrinterDriverA(hPrinter, pszEnvironment, 2, (LPBYTE)pDriver, cbNeeded, &cbNeeded)) {
    LocalFree(pDriver);
    pDriver = NULL;
  }
  ClosePrinter(hPrinter);
  return pDriver;
}

void updateDriverInUse(LPSTR pszPPDFile, LPSTR pszDriverName, DRIVER_INFO_2 *pDriverInfo) {
  static const char szCaption[] = "updateDriverInUse";
  PRINTER_INFO_2 *pList;
  DWORD cPrinters = 0;
  DWORD i, dwError;
  int nPass;
  LPSTR pszParking = NULL;
  LPSTR pszOwn;
  LPBYTE pParked;
  DRIVER_INFO_2 *pInstalled = NULL;
  char szMessage[512];

  pList = getPrinterList(&cPrinters);
  if (pList == NULL) return;

  /*
   * Printers on other drivers stay where they are: the first of them lends its driver as the
   * parking place, and each is marked by emptying its driver name in the list.
   */
  for (i = 0; i < cPrinters; i++) {
    pszOwn = pList[i].pDriverName;
    if (pszOwn == NULL || strcmp(pszOwn, pszDriverName) == 0) continue;
    if (pszParking == NULL) {
      pszParking = (LPSTR)LocalAlloc(LPTR, lstrlenA(pszOwn) + 1);
      if (pszParking == NULL) {
        LocalFree(pList);
        return;
      }
      lstrcpyA(pszParking, pszOwn);
    }
    pszOwn[0] = '\0';
  }

  /* Every printer uses the driver: there is nowhere to park them, so it keeps its old files. */
  pParked = pszParking != NULL ? (LPBYTE)LocalAlloc(LPTR, cPrinters) : NULL;
  if (pParked == NULL) {
    if (pszParking != NULL) LocalFree(pszParking);
    LocalFree(pList);
    return;
  }

  /*
   * Park: pause each printer of the driver on the parking driver so the driver can go. The
   * driver as installed is noted first, so that it can come back should the new files fail.
   */
  for (i = 0; i < cPrinters; i++) {
    if (pList[i].pDriverName == NULL || pList[i].pDriverName[0] == '\0') continue;
    if (pInstalled == NULL) pInstalled = getInstalledDriver(&pList[i], pDriverInfo->pEnvironment);
    pParked[i] = (BYTE)setPrinterDriver(&pList[i], pszParking, PRINTER_CONTROL_PAUSE);
  }

  DeletePrinterDriverA(NULL, pDriverInfo->pEnvironment, pszDriverName);

  pDriverInfo->pDataFile = pszPPDFile;
  pDriverInfo->pName = pszDriverName;
  if (!AddPrinterDriverA(NULL, 2, (LPBYTE)pDriverInfo)) {
    dwError = GetLastError();
    reportDriverNotAdded(szCaption, pszDriverName, dwError);
    /* Still installed when the deletion was refused; otherwise it comes back with its old
       files, so that its printers have a driver to return to. */
    if (dwError != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED && pInstalled != NULL)
      AddPrinterDriverA(NULL, 2, (LPBYTE)pInstalled);
  }

  /*
   * Back onto the driver, each printer as paused or printing as it was before. Parking is the
   * setup's own doing, so a printer that does not come back at once is tried again after the
   * others, and one that stays parked is named to the user.
   */
  for (nPass = 0; nPass < 2; nPass++)
    for (i = 0; i < cPrinters; i++) {
      if (!pParked[i]) continue;
      if (setPrinterDriver(&pList[i], pszDriverName,
                           (pList[i].Status & PRINTER_STATUS_PAUSED) ? 0 : PRINTER_CONTROL_RESUME))
        pParked[i] = 0;
      else if (nPass == 1) {
        wsprintfA(szMessage, "Couldn't put printer %.200s back on driver %.200s, error = %d",
                  pList[i].pPrinterName, pszDriverName, (int)GetLastError());
        MessageBoxA(NULL, szMessage, szCaption, MB_OK);
      }
    }

  if (pInstalled != NULL) LocalFree(pInstalled);
  LocalFree(pParked);
  LocalFree(pszParking);
  LocalFree(pList);
}

void migrateOldDrivers(DRIVER_INFO_2 *pDriverInfo) {
  PRINTER_INFO_2 *pList;
  DWORD cPrinters = 0;
  DWORD i;
  int nRow;
  HANDLE hPrinter;

  pList = getPrinterList(&cPrinters);
  if (pList == NULL) return;

  for (nRow = 0; driverRenameTable[nRow][0][0] != '\0'; nRow++) {
    for (i = 0; i < cPrinters; i++) {
      if (pList[i].pDriverName == NULL ||
          strcmp(pList[i].pDriverName, driverRenameTable[nRow][0]) != 0)
        continue;
      if (!OpenPrinterA(pList[i].pPrinterName, &hPrinter, &printerDefaults)) continue;
      pList[i].pDriverName = (LPSTR)driverRenameTable[nRow][1];
      SetPrinterA(hPrinter, 2, (LPBYTE)&pList[i], 0);
      ClosePrinter(hPrinter);
    }
    /* Deleted whether or not a printer used it; refused while a printer still does. */
    DeletePrinterDriverA(NULL, pDriverInfo->pEnvironment, (LPSTR)driverRenameTable[nRow][0]);
  }

  LocalFree(pList);
}
