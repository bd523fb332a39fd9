// The frame's modes (silent, beeping), its About text, the billboards shown during the copy,
// and the log file.
//
// The log file is opened, written and closed for each line, so that a setup that is killed
// leaves every line it wrote. Lines end in CR LF, as Windows text files do.
#include <windows.h>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

struct Modes {
  bool silent = false;
  bool beeping = false;
  std::string about;
  std::vector<Billboard> billboards;
  std::string logName;  // full Windows path of the open log file, empty when none
};

Modes g_modes;

void Reset() {
  g_modes = Modes();
}

}  // namespace

bool SilentMode() {
  return g_modes.silent;
}
bool BeepingMode() {
  return g_modes.beeping;
}
const std::string &AboutText() {
  return g_modes.about;
}
const std::vector<Billboard> &Billboards() {
  return g_modes.billboards;
}
const std::string &LogFileName() {
  return g_modes.logName;
}

bool WriteLogLine(const std::string &text) {
  if (g_modes.logName.empty()) return true;
  DWORD error = 0;
  return WriteMachineFile(g_modes.logName, text + "\r\n", true, &error);
}

void ForgetFrameModes() {
  Reset();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FSetAbout(LPCSTR szAbout1, LPCSTR szAbout2) {
  if (!FrameUp()) return FALSE;  // the About box belongs to the frame
  g_modes.about = std::string(szAbout1 ? szAbout1 : "") + "\n" + (szAbout2 ? szAbout2 : "");
  return TRUE;
}

BOOL WINAPI FSetBeepingMode(BOOL fBeep) {
  BOOL previous = g_modes.beeping ? TRUE : FALSE;
  g_modes.beeping = fBeep != FALSE;
  return previous;
}

BOOL WINAPI FSetSilent(BOOL fSilent) {
  BOOL previous = g_modes.silent ? TRUE : FALSE;
  g_modes.silent = fSilent != FALSE;
  return previous;
}

BOOL WINAPI FAddToBillboardList(LPCSTR szDll, UINT idDlg, LPCSTR szProc, LONG lTicks) {
  if (lTicks <= 0) return FALSE;
  Billboard board;
  board.ticks = lTicks;
  bool blank = (!szDll || !*szDll) && idDlg == 0 && (!szProc || !*szProc);
  if (!blank) {
    // A billboard is a modeless dialog of a library, run by the library's modeless procedure:
    // the library, the procedure and the template must be there to be shown.
    if (!szDll || !szProc || lstrcmpA(szProc, PROC_MODELESS) != 0) return FALSE;
    HMODULE library = LoadLibraryA(szDll);
    if (!library) return FALSE;
    bool there = GetProcAddress(library, szProc) != NULL &&
                 FindResourceA(library, MAKEINTRESOURCEA(idDlg), RT_DIALOG) != NULL;
    FreeLibrary(library);
    if (!there) return FALSE;
    board.library = szDll;
    board.id = idDlg;
    board.procedure = szProc;
  }
  g_modes.billboards.push_back(board);
  return TRUE;
}

BOOL WINAPI FClearBillboardList(void) {
  g_modes.billboards.clear();
  return TRUE;
}

BOOL WINAPI FOpenLogFile(LPCSTR szFile, BOOL fAppend) {
  if (!szFile || !*szFile || !g_modes.logName.empty()) return FALSE;  // one log at a time
  MachineFile log;
  DWORD error = 0;
  if (!LocateMachineFile(szFile, &log, &error) || log.isDir) return FALSE;
  // Made (or emptied) now: the directory must be there and the file writable.
  if (!WriteMachineFile(log.full, "", fAppend != FALSE, &error)) return FALSE;
  g_modes.logName = log.full;
  return TRUE;
}

BOOL WINAPI FCloseLogFile(void) {
  if (g_modes.logName.empty()) return FALSE;
  g_modes.logName.clear();
  return TRUE;
}

BOOL WINAPI FWriteToLogFile(LPCSTR szText, BOOL fRequest) {
  if (g_modes.logName.empty()) return fRequest ? TRUE : FALSE;
  return WriteLogLine(szText ? szText : "") ? TRUE : FALSE;
}

}  // extern "C"
