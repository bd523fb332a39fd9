/*
 * Printer driver migration: moving local printers off a driver that must be re-installed and
 * back, and off the driver names of earlier releases onto this release's names.
 */
#ifndef INSTALL_PRINTER_MIGRATION_H
#define INSTALL_PRINTER_MIGRATION_H

#include <windows.h>
#include <winspool.h>

/*
 * Pairs of driver names (old, new), closed by a pair of empty strings. The names compare
 * exactly: letter case and every blank count, the double blanks included.
 */
extern const char *const driverRenameTable[][2];

/* Tells the user that AddPrinterDriverA refused the driver, in a message box with the caption. */
void reportDriverNotAdded(LPCSTR lpCaption, LPCSTR lpDriverName, DWORD dwError);

/*
 * Re-installs the driver pszDriverName from pszPPDFile while printers still use it: parks them
 * paused on another installed driver, deletes and re-adds the driver, then moves them back and
 * resumes them as paused or printing as they were. When the new files cannot be added the driver
 * comes back with its old ones; a printer that cannot be put back is named to the user. Leaves
 * pDriverInfo's pName and pDataFile pointing at the two arguments.
 */
void updateDriverInUse(LPSTR pszPPDFile, LPSTR pszDriverName, DRIVER_INFO_2 *pDriverInfo);

/*
 * Moves every local printer from each old driver name of driverRenameTable to its new name and
 * deletes the old drivers in pDriverInfo's environment.
 */
void migrateOldDrivers(DRIVER_INFO_2 *pDriverInfo);

#endif
