/*
 * Spooler service control: the monitor DLL can only be replaced while the spooler is stopped,
 * and the spooler cannot be stopped while services that depend on it run. So the dependents
 * go down first, the spooler after them, and on the way back up the spooler comes first and
 * the dependents follow in reverse order.
 */
#include <windows.h>
#include <string.h>

#include "install/spooler_control.h"
#include "install/status_code.h"

#define SPOOLER_SERVICE "Spooler"

/* A dependent may not hold the setup up for long at a time; the spooler may. */
#define DEPENDENT_SLEEP_CAP_MS 5000
#define NO_SLEEP_CAP 0

/* Time given to a stopped or started spooler to settle before setup goes on. */
#define SETTLE_MS 3000

#define STOP_SPOOLER_RIGHTS \
  (SERVICE_STOP | SERVICE_START | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_QUERY_STATUS)
#define STOP_DEPENDENT_RIGHTS (SERVICE_STOP | SERVICE_START | SERVICE_QUERY_STATUS)
#define START_SERVICE_RIGHTS (SERVICE_START | SERVICE_STOP)

static const char szStopSpooler[] = "stopSpooler";

/* Shows an informational note of stopSpooler with the last-error value formatted in. */
static void stopSpoolerNote(LPCSTR lpFormat) {
  char szText[128];
  DWORD dwError = GetLastError();

  wsprintfA(szText, lpFormat, (int)dwError);
  MessageBoxA(NULL, szText, szStopSpooler, MB_OK);
  /* The caller's fatal report names the service manager's error, not the message box's. */
  SetLastError(dwError);
}

/* The service name of entry i of a dependents list. The array starts 4 bytes into the block,
   which is not aligned for the record on every build, so the record is copied out first. */
static LPSTR dependentName(LPVOID pList, DWORD i) {
  ENUM_SERVICE_STATUSA ess;

  memcpy(&ess, (LPBYTE)pList + sizeof(DWORD) + i * sizeof(ENUM_SERVICE_STATUSA), sizeof(ess));
  return ess.lpServiceName;
}

/*
 * Waits while a service stops, starting from the status that the stop request filled in. The
 * wait goes on for as long as the service advances its checkpoint and gives a wait hint; a
 * failed query keeps the previous status, which ends the wait at the next test. dwSleepCap of
 * NO_SLEEP_CAP sleeps the full hint.
 */
static void waitForStop(SC_HANDLE hService, LPSERVICE_STATUS pStatus, DWORD dwSleepCap) {
  DWORD dwLastCheckPoint = 0;
  DWORD dwSleep;
  SERVICE_STATUS ssNext;

  while (pStatus->dwCurrentState != SERVICE_STOPPED && pStatus->dwCheckPoint > dwLastCheckPoint &&
         pStatus->dwWaitHint != 0) {
    dwSleep = pStatus->dwWaitHint;
    if (dwSleepCap != NO_SLEEP_CAP && dwSleep > dwSleepCap) dwSleep = dwSleepCap;
    Sleep(dwSleep);
    dwLastCheckPoint = pStatus->dwCheckPoint;
    if (QueryServiceStatus(hService, &ssNext)) *pStatus = ssNext;
  }
}

int stopOneService(SC_HANDLE hManager, LPCSTR lpServiceName) {
  SC_HANDLE hService;
  SERVICE_STATUS ss;

  hService = OpenServiceA(hManager, lpServiceName, STOP_DEPENDENT_RIGHTS);
  if (hService == NULL) return STATUS_CODE_FAILURE;
  if (!ControlService(hService, SERVICE_CONTROL_STOP, &ss)) {
    CloseServiceHandle(hService);
    return STATUS_CODE_FAILURE;
  }
  waitForStop(hService, &ss, DEPENDENT_SLEEP_CAP_MS);
  CloseServiceHandle(hService);
  return STATUS_CODE_SUCCESS;
}

int startOneService(SC_HANDLE hManager, LPCSTR lpServiceName) {
  SC_HANDLE hService;
  BOOL fStarted;

  hService = OpenServiceA(hManager, lpServiceName, START_SERVICE_RIGHTS);
  if (hService == NULL) return STATUS_CODE_FAILURE;
  fStarted = StartServiceA(hService, 0, NULL);
  CloseServiceHandle(hService);
  return fStarted ? STATUS_CODE_SUCCESS : STATUS_CODE_FAILURE;
}

/* Starts the dependents of the list from the last entry to the first; failures pass. */
static void startDependents(SC_HANDLE hManager, LPVOID pList) {
  DWORD i;

  if (pList == NULL) return;
  for (i = *(LPDWORD)pList; i > 0; i--) startOneService(hManager, dependentName(pList, i - 1));
}

/*
 * Reads the spooler's active dependents into a new list in the slot and stops each of them.
 * Nothing here stops stopSpooler: a dependent that is still up makes the spooler refuse the
 * stop, and that is reported there.
 */
static void stopDependents(SC_HANDLE hManager, SC_HANDLE hSpooler, LPVOID *ppDependents) {
  DWORD cbNeeded = 0;
  DWORD cbSecond = 0;
  DWORD cCounted = 0;
  DWORD i;
  LPVOID pList;

  *ppDependents = NULL;
  if (EnumDependentServicesA(hSpooler, SERVICE_ACTIVE, NULL, 0, &cbNeeded, &cCounted))
    return; /* no active dependents */
  if (GetLastError() != ERROR_MORE_DATA) {
    stopSpoolerNote("Couldn't check dependents\nError = %d");
    return;
  }

  pList = (LPVOID)LocalAlloc(LPTR, cbNeeded + sizeof(DWORD));
  if (pList == NULL) {
    /* Without a list no dependent can be named: say so, as when the list cannot be read. */
    stopSpoolerNote("Couldn't get dependents\nError = %d");
    return;
  }
  *ppDependents = pList;
  if (!EnumDependentServicesA(hSpooler, SERVICE_ACTIVE,
                              (LPENUM_SERVICE_STATUSA)((LPBYTE)pList + sizeof(DWORD)), cbNeeded,
                              &cbSecond, (LPDWORD)pList)) {
    /* The list keeps the count the failed call left, but never more entries than the block
       holds: startSpooler walks it later. */
    if (*(LPDWORD)pList > cbNeeded / sizeof(ENUM_SERVICE_STATUSA))
      *(LPDWORD)pList = cbNeeded / sizeof(ENUM_SERVICE_STATUSA);
    stopSpoolerNote("Couldn't get dependents\nError = %d");
    return;
  }
  for (i = 0; i < *(LPDWORD)pList; i++) stopOneService(hManager, dependentName(pList, i));
}

int stopSpooler(LPVOID *ppDependents) {
  SC_HANDLE hManager;
  SC_HANDLE hSpooler;
  SERVICE_STATUS ss;
  DWORD dwError;

  if (ppDependents == NULL) return STATUS_CODE_FAILURE;
  hManager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (hManager == NULL) return STATUS_CODE_FAILURE;
  hSpooler = OpenServiceA(hManager, SPOOLER_SERVICE, STOP_SPOOLER_RIGHTS);
  if (hSpooler == NULL) {
    CloseServiceHandle(hManager);
    return STATUS_CODE_FAILURE;
  }

  stopDependents(hManager, hSpooler, ppDependents);

  if (!ControlService(hSpooler, SERVICE_CONTROL_STOP, &ss)) {
    stopSpoolerNote("Couldn't stop spooler\nError = %d");
    /* The spooler keeps running, so its dependents need not stay down: they are started
       again, and the setup leaves the services as it found them. */
    dwError = GetLastError();
    startDependents(hManager, *ppDependents);
    SetLastError(dwError); /* the caller reports why the spooler refused */
    CloseServiceHandle(hSpooler);
    CloseServiceHandle(hManager);
    return STATUS_CODE_FAILURE;
  }
  waitForStop(hSpooler, &ss, NO_SLEEP_CAP);
  CloseServiceHandle(hSpooler);
  CloseServiceHandle(hManager);

  if (ss.dwCurrentState != SERVICE_STOPPED) {
    stopSpoolerNote("Error stopping spooler\nError = %d");
    return STATUS_CODE_FAILURE;
  }
  Sleep(SETTLE_MS);
  return STATUS_CODE_SUCCESS;
}

int startSpooler(LPVOID *ppDependents) {
  SC_HANDLE hManager;

  hManager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (hManager == NULL) return STATUS_CODE_FAILURE;
  if (!STATUS_CODE_SUCCEEDED(startOneService(hManager, SPOOLER_SERVICE))) {
    CloseServiceHandle(hManager);
    return STATUS_CODE_FAILURE;
  }

  startDependents(hManager, ppDependents != NULL ? *ppDependents : NULL);

  CloseServiceHandle(hManager);
  Sleep(SETTLE_MS);
  return STATUS_CODE_SUCCESS;
}

int isSpoolerRunning(void) {
  SC_HANDLE hManager;
  SC_HANDLE hSpooler;
  SERVICE_STATUS ss;
  BOOL fQueried;

  hManager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (hManager == NULL) return 0;
  hSpooler = OpenServiceA(hManager, SPOOLER_SERVICE, SERVICE_QUERY_STATUS);
  if (hSpooler == NULL) {
    CloseServiceHandle(hManager);
    return 0;
  }
  fQueried = QueryServiceStatus(hSpooler, &ss);
  CloseServiceHandle(hSpooler);
  CloseServiceHandle(hManager);
  if (!fQueried) return 0;
  return ss.dwCurrentState == SERVICE_RUNNING || ss.dwCurrentState == SERVICE_START_PENDING;
}

void freeSpoolerDependents(LPVOID *ppDependents) {
  if (ppDependents == NULL || *ppDependents == NULL) return;
  LocalFree((HLOCAL)*ppDependents);
  *ppDependents = NULL;
}
