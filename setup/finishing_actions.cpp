/*
 * Finishing actions: the end dialogs, the programs started for the user, and the restart.
 */
#include <windows.h>

#include <string.h>

#include "setup/finishing_actions.h"
#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"

#define CMD_PRINTMAN "printman"
#define CMD_HELP "winhlp32 zelpsmon.hlp"

/* Working copy of a command line: CreateProcessA takes it writable. */
#define CB_CMD_LINE 260

BOOL runProgram(LPCSTR szCmdLine) {
  char szCmd[CB_CMD_LINE];
  STARTUPINFOA si;
  PROCESS_INFORMATION pi;
  BOOL fStarted;

  /* A command line cut short would start something else: refuse it instead. */
  if (lstrlenA(szCmdLine) >= CB_CMD_LINE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  lstrcpyA(szCmd, szCmdLine);

  memset(&si, 0, sizeof(si));
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  memset(&pi, 0, sizeof(pi));

  fStarted = CreateProcessA(NULL, szCmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
  if (fStarted) {
    /* Setup keeps nothing of the program it started. */
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return fStarted;
}

BOOL restartSystem(void) {
  HANDLE hToken;
  TOKEN_PRIVILEGES tkp;

  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken))
    return FALSE;

  memset(&tkp, 0, sizeof(tkp));
  if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &tkp.Privileges[0].Luid)) {
    CloseHandle(hToken);
    return FALSE;
  }
  tkp.PrivilegeCount = 1;
  tkp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

  /* A privilege the user does not hold is "not assigned" but the call still succeeds; the
   * shutdown request below is what tells. */
  if (!AdjustTokenPrivileges(hToken, FALSE, &tkp, 0, NULL, NULL)) {
    CloseHandle(hToken);
    return FALSE;
  }
  CloseHandle(hToken);

  return InitiateSystemShutdownA(NULL, NULL, 0, FALSE, TRUE);
}

void EndDialogs(void) {
  int fPrintman;
  int fHelp;

  if (fNT31 && fUpgrade) {
    /* The replaced monitor DLL takes effect only after a restart. */
    UpgradeNotice();
    RestartOffer();
    return;
  }

  PrintmanOffer(&fPrintman);
  HelpOffer(&fHelp);
  FinishDialog();
  if (fPrintman) runProgram(CMD_PRINTMAN);
  if (fHelp) runProgram(CMD_HELP);
}
