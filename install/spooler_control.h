/*
 * Stopping and starting the print spooler and the services that depend on it, through the
 * service control manager of the local machine. Every routine opens and closes its own
 * handles; the results are status codes (install/status_code.h) except where noted.
 *
 * The dependents list that stopSpooler leaves in the caller's slot is one zero-filled block:
 * a 32-bit count of entries, then the ENUM_SERVICE_STATUSA array exactly as
 * EnumDependentServicesA wrote it, with its strings behind the array. Its size is the byte
 * count that the enumeration asked for plus 4. The caller owns it, hands it to startSpooler
 * and releases it with freeSpoolerDependents. A slot that holds NULL means no dependents.
 */
#ifndef INSTALL_SPOOLER_CONTROL_H
#define INSTALL_SPOOLER_CONTROL_H

#include <windows.h>

/* Stops the spooler's active dependents (in the order the service manager lists them), then
   the spooler, waiting for each as long as it reports progress. When the spooler refuses the
   stop, the dependents are started again. The slot must be given; on return it holds the
   dependents list or NULL. */
int stopSpooler(LPVOID *ppDependents);

/* Starts the spooler, then the dependents of the list from the last entry to the first. With
   no slot, or a slot holding NULL, only the spooler is started. */
int startSpooler(LPVOID *ppDependents);

/* 1 when the spooler is running or starting, else 0. */
int isSpoolerRunning(void);

/* Stops one service and waits for it (sleeps of at most 5000 ms); 9 once the stop was asked
   for, whatever state the service reaches. */
int stopOneService(SC_HANDLE hManager, LPCSTR lpServiceName);

/* Asks one service to start; 9 when the service manager took the request. */
int startOneService(SC_HANDLE hManager, LPCSTR lpServiceName);

/* Releases the dependents list in the slot (if any) and sets the slot to NULL. */
void freeSpoolerDependents(LPVOID *ppDependents);

#endif
