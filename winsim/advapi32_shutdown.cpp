// InitiateSystemShutdownA and AbortSystemShutdownA. A granted restart is kept in the image
// ([system] restart = yes), so that the image tool can apply what a restart does (the renames
// kept for it), and written to the transcript. The process goes on running: with a time-out of 0
// a real machine would close it soon, and what the setup still does in the meantime is what a
// test looks at.
//
// A shutdown asked for with a time-out waits that long on the machine's clock (NT shows its
// countdown), and until then AbortSystemShutdownA calls it off: the image's restart flag goes
// back to what it was. The transcript keeps its "shutdown" line, which records the request.
#include <windows.h>

#include <cstdint>
#include <string>

#include "winsim/machine.h"
#include "winsim/security.h"

namespace {

struct PendingShutdown {
  bool pending = false;
  uint64_t endsMs = 0;  // when the countdown is over, on the machine's clock
  bool restartBefore = false;
};
PendingShutdown g_pending;

void ForgetPending() {
  g_pending = PendingShutdown();
}
[[maybe_unused]] const bool g_hooked = (winsim::AddOpenHook(&ForgetPending), true);

bool CountingDown() {
  return g_pending.pending && winsim::NowMs() < g_pending.endsMs;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The checks both calls make: only the local machine, and the shutdown right enabled.
DWORD Refusal(LPCSTR machine) {
  // The stand-in is one machine without a network: only the local one can be shut down.
  if (machine && *machine) return ERROR_BAD_NETPATH;
  // The right must be held and enabled in the token (AdjustTokenPrivileges).
  if (!winsim::PrivilegeEnabled(SE_SHUTDOWN_NAME)) return ERROR_PRIVILEGE_NOT_HELD;
  return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI InitiateSystemShutdownA(LPSTR lpMachineName, LPSTR lpMessage, DWORD dwTimeout,
                                    BOOL bForceAppsClosed, BOOL bRebootAfterShutdown) {
  (void)lpMessage;
  (void)bForceAppsClosed;
  if (DWORD err = winsim::Fault("InitiateSystemShutdownA")) return Fail(err);
  if (DWORD err = Refusal(lpMachineName)) return Fail(err);
  if (CountingDown()) return Fail(ERROR_SHUTDOWN_IN_PROGRESS);
  g_pending.pending = dwTimeout > 0;
  g_pending.endsMs = winsim::NowMs() + static_cast<uint64_t>(dwTimeout) * 1000;
  g_pending.restartBefore = winsim::M().restart;
  if (bRebootAfterShutdown) {
    winsim::M().restart = true;
    winsim::SetMachineValue("system", "restart", "yes");
    winsim::Transcript("shutdown restart");
  } else {
    winsim::Transcript("shutdown");
  }
  return TRUE;
}

BOOL WINAPI AbortSystemShutdownA(LPSTR lpMachineName) {
  if (DWORD err = winsim::Fault("AbortSystemShutdownA")) return Fail(err);
  if (DWORD err = Refusal(lpMachineName)) return Fail(err);
  if (!CountingDown()) return Fail(ERROR_NO_SHUTDOWN_IN_PROGRESS);
  g_pending.pending = false;
  if (winsim::M().restart != g_pending.restartBefore) {
    winsim::M().restart = g_pending.restartBefore;
    winsim::SetMachineValue("system", "restart", g_pending.restartBefore ? "yes" : "no");
  }
  return TRUE;
}

}  // extern "C"
