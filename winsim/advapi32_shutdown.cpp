// InitiateSystemShutdownA. A granted restart is kept in the image ([system] restart = yes), so
// that the image tool can apply what a restart does (the renames kept for it), and written to
// the transcript. The process goes on running: with a time-out of 0 a real machine would close
// it soon, and what the setup still does in the meantime is what a test looks at.
#include <windows.h>

#include <string>

#include "winsim/machine.h"

extern "C" {

BOOL WINAPI InitiateSystemShutdownA(LPSTR lpMachineName, LPSTR lpMessage, DWORD dwTimeout,
                                    BOOL bForceAppsClosed, BOOL bRebootAfterShutdown) {
  (void)lpMessage;
  (void)dwTimeout;
  (void)bForceAppsClosed;
  if (DWORD err = winsim::Fault("InitiateSystemShutdownA")) {
    SetLastError(err);
    return FALSE;
  }
  // The stand-in is one machine without a network: only the local one can be shut down.
  if (lpMachineName && *lpMachineName) {
    SetLastError(ERROR_BAD_NETPATH);
    return FALSE;
  }
  // The right must be held and enabled in the token (AdjustTokenPrivileges).
  if (!winsim::M().privilegesEnabled.count(winsim::Upper(SE_SHUTDOWN_NAME))) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  if (bRebootAfterShutdown) {
    winsim::M().restart = true;
    winsim::SetMachineValue("system", "restart", "yes");
    winsim::Transcript("shutdown restart");
  } else {
    winsim::Transcript("shutdown");
  }
  return TRUE;
}

}  // extern "C"
