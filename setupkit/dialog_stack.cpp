// The dialog stack: FDoDialogExt brings a dialog of a dialog library up on it, FKillNDialogs
// takes dialogs off the top. A modal dialog stays on the stack after the user has answered it,
// until the setup removes it; running the dialog on top again shows that same dialog and adds
// no entry. A modeless dialog's window stays up until it is removed.
//
// Every dialog runs through the toolkit's own dialog procedure, which hands each message to the
// library's procedure and does the toolkit's part after the library's WM_INITDIALOG: it hides
// the help button when no help was given, keeps what was typed in a dialog brought back while
// up, writes the transcript, and in an answered run applies the answer and ends the dialog
// before anyone is asked.
//
// Which dialogs are modeless is the library's contract: those of its modeless procedure. The
// toolkit decides by that name rather than by looking into templates, which it does not read.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>

#include "dialogs/library_ids.h"
#include "setupkit/setupkit.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

struct HelpRef {
  std::string library;
  UINT id = 0;
  std::string procedure;
};

// One dialog run through the toolkit's dialog procedure.
struct Run {
  UINT id = 0;
  DLGPROC procedure = NULL;
  bool rerun = false;  // brought back while up
  bool error = false;  // the library's error dialog
  bool modeless = false;
  bool hasHelp = false;
  HelpRef help;
  int radios = 0;  // radio buttons of the dialog, from IDC_RADIO_FIRST on
  bool edit = false;
};

struct UpDialog {
  UINT id = 0;
  std::string library;
  bool modeless = false;
  HMODULE module = NULL;  // modeless: the library, loaded while its window is up
  HWND window = NULL;
  std::unique_ptr<Run> run;  // modeless: what its window's procedure works with
};

// Posted to an answered dialog after its WM_INITDIALOG.
const UINT kApplyAnswer = WM_APP + 1;

std::vector<UpDialog> g_stack;
std::map<HWND, Run *> g_runs;  // dialogs whose windows are up

bool SameName(const std::string &a, const std::string &b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Takes the top dialog off; false when its window does not go.
bool PopTop() {
  UpDialog &top = g_stack.back();
  if (top.window && IsWindow(top.window) && !DestroyWindow(top.window)) return false;
  if (top.module) FreeLibrary(top.module);
  g_stack.pop_back();
  return true;
}

void Transcribe(UINT id, const std::string &keyword) {
  WriteTranscript("dialog " + std::to_string(id) + (keyword.empty() ? "" : " " + keyword));
}

void ApplyAnswer(HWND hDlg, Run *run) {
  while (run->hasHelp && NextAnswerIs(run->help.id)) ShowHelpOf(hDlg);
  Answer a = TakeAnswer(run->id);
  std::string fault = AnswerWhere(a) + "dialog " + std::to_string(run->id);
  if (a.hasButton && run->radios == 0) AnswerFileFault(fault + " has no radio buttons");
  if (a.hasText && !run->edit) AnswerFileFault(fault + " has no edit field");
  // A radio button number is passed on as written, also one the dialog does not have, so that
  // a test can give the setup any value; the same for the keyword.
  int n = a.hasButton && a.button.size() <= 2 ? std::atoi(a.button.c_str()) : 0;
  bool inDialog = n >= 1 && n <= run->radios;
  if (inDialog)
    CheckRadioButton(hDlg, IDC_RADIO_FIRST, IDC_RADIO_FIRST + run->radios - 1,
                     IDC_RADIO_FIRST + n - 1);
  if (a.hasText) SetDlgItemTextA(hDlg, IDC_EDIT, a.text.c_str());
  // The procedure leaves what the dialog gives back as its accepting button does.
  if (HWND ok = GetDlgItem(hDlg, IDOK))
    SendMessageA(hDlg, WM_COMMAND, MAKELONG(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  if (a.hasButton) SetSymbol(SYM_BUTTON_CHECKED, a.button);
  SetSymbol(SYM_DLGEVENT, a.keyword);
  EndDialog(hDlg, IDOK);
}

INT_PTR CALLBACK ToolkitDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    Run *run = reinterpret_cast<Run *>(lParam);
    g_runs[hDlg] = run;
    if (run->error) WriteTranscript("error " + QuoteText(GetSymbol(SYM_ERROR_TEXT)));
    INT_PTR result = run->procedure(hDlg, msg, wParam, 0);
    if (!IsWindow(hDlg)) return result;
    if (!run->hasHelp)
      if (HWND help = GetDlgItem(hDlg, IDHELP)) {
        ShowWindow(help, SW_HIDE);
        EnableWindow(help, FALSE);
      }
    while (run->radios < IDC_RADIO_LAST - IDC_RADIO_FIRST + 1 &&
           GetDlgItem(hDlg, IDC_RADIO_FIRST + run->radios))
      ++run->radios;
    run->edit = GetDlgItem(hDlg, IDC_EDIT) != NULL;
    // A dialog brought back while it is still up keeps what the user typed in its field.
    if (run->rerun && run->edit)
      SetDlgItemTextA(hDlg, IDC_EDIT, GetSymbol(SYM_EDIT_TEXT_OUT).c_str());
    // The answer is applied once the library's procedure has set the dialog up: a dialog that it
    // ended here (not one of its dialogs) never takes an answer.
    if (Answering() && !run->modeless && !PostMessageA(hDlg, kApplyAnswer, 0, 0))
      ApplyAnswer(hDlg, run);
    return result;
  }
  auto it = g_runs.find(hDlg);
  if (it == g_runs.end()) return FALSE;
  if (msg == kApplyAnswer) {
    ApplyAnswer(hDlg, it->second);
    return TRUE;
  }
  INT_PTR result = it->second->procedure(hDlg, msg, wParam, lParam);
  if (msg == WM_DESTROY) g_runs.erase(hDlg);
  return result;
}

// The library's procedure `name`, with the library loaded; false when either is missing.
bool FindProcedure(const char *library, const char *name, HMODULE *module, DLGPROC *procedure) {
  *module = LoadLibraryA(library);
  if (!*module) return false;
  // GetProcAddress answers "any function"; the library exports dialog procedures.
  *procedure =
      reinterpret_cast<DLGPROC>(reinterpret_cast<void (*)(void)>(GetProcAddress(*module, name)));
  if (*procedure) return true;
  FreeLibrary(*module);
  return false;
}

// Runs a modal dialog over `owner`; answers its keyword, or false when it did not come up.
bool RunModal(HMODULE module, Run *run, std::string *keyword, HWND owner) {
  INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(run->id), owner, ToolkitDlgProc,
                                   reinterpret_cast<LPARAM>(run));
  if (result == -1) return false;
  *keyword = GetSymbol(SYM_DLGEVENT);
  Transcribe(run->id, *keyword);
  if (!Answering()) {
    std::string line = std::to_string(run->id) + " " + *keyword;
    if (run->radios) line += " button=" + GetSymbol(SYM_BUTTON_CHECKED);
    if (run->edit) line += " text=" + GetSymbol(SYM_EDIT_TEXT_OUT);
    RecordAnswer(line);
  }
  return true;
}

}  // namespace

std::vector<unsigned> DialogStack() {
  std::vector<unsigned> ids;
  for (const UpDialog &d : g_stack) ids.push_back(d.id);
  return ids;
}

void ShowHelpOf(HWND dialog) {
  auto it = g_runs.find(dialog);
  if (it == g_runs.end() || !it->second->hasHelp) return;
  const HelpRef help = it->second->help;
  Run run;
  run.id = help.id;
  HMODULE module = NULL;
  if (!FindProcedure(help.library.c_str(), help.procedure.c_str(), &module, &run.procedure)) return;
  std::string keyword;
  // Over the dialog that offers it, which comes back to the top when the help is closed.
  RunModal(module, &run, &keyword, dialog);
  FreeLibrary(module);
}

void RemoveDialogs() {
  while (!g_stack.empty())
    if (!PopTop()) g_stack.pop_back();  // its window goes with the frame
  g_runs.clear();
}

void ForgetDialogs() {
  g_stack.clear();
  g_runs.clear();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FDoDialogExt(HWND hwndParent, LPCSTR szDll, UINT idDlg, LPCSTR szDlgProc,
                         LPCSTR szHelpDll, UINT idHelp, LPCSTR szHelpProc) {
  // Dialogs belong to the frame: none comes up before it or over another window.
  if (!FrameUp() || hwndParent == NULL || hwndParent != HwndFrame()) return FALSE;
  if (!szDll || !szDlgProc) return FALSE;

  auto run = std::make_unique<Run>();
  run->id = idDlg;
  run->error = lstrcmpA(szDlgProc, PROC_ERROR) == 0;
  HMODULE module = NULL;
  if (!FindProcedure(szDll, szDlgProc, &module, &run->procedure)) return FALSE;
  if (idHelp != 0) {
    // The help must be there before the dialog offers it.
    HelpRef help;
    help.library = szHelpDll && *szHelpDll ? szHelpDll : szDll;
    help.id = idHelp;
    help.procedure = szHelpProc ? szHelpProc : "";
    HMODULE helpModule = NULL;
    DLGPROC helpProcedure = NULL;
    bool there =
        szHelpProc && FindProcedure(help.library.c_str(), szHelpProc, &helpModule, &helpProcedure);
    if (there) {
      there = FindResourceA(helpModule, MAKEINTRESOURCEA(idHelp), RT_DIALOG) != NULL;
      FreeLibrary(helpModule);
    }
    if (!there) {
      FreeLibrary(module);
      return FALSE;
    }
    run->hasHelp = true;
    run->help = help;
  }
  bool modeless = lstrcmpA(szDlgProc, PROC_MODELESS) == 0;
  run->modeless = modeless;

  // A dialog that is already up is brought back, not opened a second time: the program removes
  // each dialog once however often it ran it. Brought back, it is the dialog on top.
  auto up = std::find_if(g_stack.begin(), g_stack.end(), [&](const UpDialog &d) {
    return d.id == idDlg && SameName(d.library, szDll);
  });
  run->rerun = up != g_stack.end();
  if (run->rerun) std::rotate(up, up + 1, g_stack.end());

  if (modeless) {
    if (run->rerun && g_stack.back().window) {
      ShowWindow(g_stack.back().window, SW_SHOW);
      FreeLibrary(module);
    } else {
      if (run->rerun) g_stack.pop_back();  // up as a modal dialog: it comes up anew
      HWND window = CreateDialogParamA(module, MAKEINTRESOURCEA(idDlg), HwndFrame(), ToolkitDlgProc,
                                       reinterpret_cast<LPARAM>(run.get()));
      if (!window) {
        FreeLibrary(module);
        return FALSE;
      }
      UpDialog entry;
      entry.id = idDlg;
      entry.library = szDll;
      entry.modeless = true;
      entry.module = module;
      entry.window = window;
      entry.run = std::move(run);
      g_stack.push_back(std::move(entry));
      ShowWindow(window, SW_SHOW);
    }
    SetSymbol(SYM_DLGEVENT, "");
    Transcribe(idDlg, "");
    return TRUE;
  }

  if (!run->rerun) {
    UpDialog entry;
    entry.id = idDlg;
    entry.library = szDll;
    g_stack.push_back(std::move(entry));
  }
  std::string keyword;
  bool shown = RunModal(module, run.get(), &keyword, hwndParent);
  FreeLibrary(module);
  if (!shown && !run->rerun) g_stack.pop_back();
  return shown ? TRUE : FALSE;
}

BOOL WINAPI FKillNDialogs(int n) {
  if (n == -1) n = static_cast<int>(g_stack.size());
  // More than are up is a fault of the caller; nothing is removed then.
  if (n < 0 || static_cast<size_t>(n) > g_stack.size()) return FALSE;
  while (n-- > 0)
    if (!PopTop()) return FALSE;
  return TRUE;
}

}  // extern "C"
