// Process-level calls of kernel32: last-error value, exit, sleep.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "winsim/machine.h"

namespace {
DWORD g_lastError = 0;
}

extern "C" {

DWORD WINAPI GetLastError(void) { return g_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { g_lastError = dwErrCode; }

void WINAPI ExitProcess(UINT uExitCode) {
  winsim::Transcript("exit " + std::to_string(uExitCode));
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(static_cast<int>(uExitCode));
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  winsim::Transcript("sleep " + std::to_string(dwMilliseconds));
  winsim::AdvanceClock(dwMilliseconds);
}

}  // extern "C"
