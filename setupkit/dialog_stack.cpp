// The dialog stack: FDoDialogExt brings a dialog of a dialog library up on it, FKillNDialogs
// takes dialogs off the top. A modal dialog stays up after the user has answered it, until the
// setup removes it; running the dialog on top again shows that same dialog and adds no entry.
#include <windows.h>

#include <algorithm>

#include "dialogs/dialogs.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"

namespace setupkit {
namespace {

struct UpDialog {
  unsigned id;
  std::string library;
  bool modeless;
};

std::vector<UpDialog> g_stack;

void PopTop() {
  UpDialog top = g_stack.back();
  g_stack.pop_back();
  dialogs::DialogRemoved(top.id, top.modeless);
}

}  // namespace

std::vector<unsigned> DialogStack() {
  std::vector<unsigned> ids;
  for (const UpDialog &d : g_stack) ids.push_back(d.id);
  return ids;
}

void ForgetDialogs() {
  while (!g_stack.empty()) PopTop();
  dialogs::ForgetWaiting();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FDoDialogExt(HWND hwndParent, LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc,
                         LPCSTR szHelpDll, UINT idHelp, LPCSTR szHelpProc) {
  if (winsim::Fault("FDoDialogExt")) return FALSE;
  // Dialogs belong to the frame: none comes up before it or over another window.
  if (!FrameUp() || hwndParent == nullptr || hwndParent != HwndFrame()) return FALSE;
  if (!szDll || !szDlgProc) return FALSE;

  bool modeless = false;
  dialogs::Procedure procedure = dialogs::FindProcedure(szDll, szDlgProc, &modeless);
  if (!procedure || !dialogs::HasDialog(szDll, idDlg, szDlgProc)) return FALSE;

  dialogs::DialogCall call;
  call.id = idDlg;
  call.procedure = szDlgProc;
  if (idHelp != 0) {
    // The help must be there before the dialog offers it.
    std::string helpLibrary = szHelpDll && *szHelpDll ? szHelpDll : szDll;
    if (!szHelpProc || !dialogs::FindProcedure(helpLibrary, szHelpProc, nullptr) ||
        !dialogs::HasDialog(helpLibrary, idHelp, szHelpProc))
      return FALSE;
    call.helpId = idHelp;
    call.helpLibrary = helpLibrary;
    call.helpProcedure = szHelpProc;
  }

  // A dialog that is already up is brought back, not opened a second time: the program removes
  // each dialog once however often it ran it. Brought back, it is the dialog on top.
  auto up = std::find_if(g_stack.begin(), g_stack.end(), [&](const UpDialog &d) {
    return d.id == idDlg && winsim::EqualNoCase(d.library, szDll);
  });
  call.rerun = up != g_stack.end();
  if (call.rerun) {
    UpDialog dialog = *up;
    g_stack.erase(up);
    g_stack.push_back(dialog);
  } else {
    g_stack.push_back(UpDialog{idDlg, szDll, modeless});
  }
  if (!procedure(call)) {
    if (!call.rerun) PopTop();
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FKillNDialogs(int n) {
  if (winsim::Fault("FKillNDialogs")) return FALSE;
  if (n == -1) n = static_cast<int>(g_stack.size());
  // More than are up is a fault of the caller; nothing is removed then.
  if (n < 0 || static_cast<size_t>(n) > g_stack.size()) return FALSE;
  while (n-- > 0) PopTop();
  return TRUE;
}

}  // extern "C"
