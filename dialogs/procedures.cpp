// The dialog procedures of the library. A dialog is shown in the terminal and answered there,
// or, in an unattended run, answered from the answer file; either way the keyword of the button
// chosen is left in "DLGEVENT" and the transcript records the dialog.
//
// Each dialog of the library is built for one procedure (the controls of the radio and edit
// dialogs exist only in their templates), so a dialog asked for with another procedure does
// not come up: the toolkit reports that as a failed FDoDialogExt.
#include <windows.h>

#include <cctype>

#include "dialogs/dialogs.h"
#include "setupkit/setupkit.h"
#include "toolkit/dialog_library.h"
#include "winsim/console.h"
#include "winsim/machine.h"

namespace dialogs {
namespace {

bool IsOurLibrary(const std::string &library) {
  return winsim::EqualNoCase(library, DIALOG_LIBRARY) || winsim::EqualNoCase(library, "mscuistf");
}

std::vector<std::string> Paragraphs(const std::string &text) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    size_t nl = text.find('\n', pos);
    if (!out.empty()) out.push_back("");
    out.push_back(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return out;
}

std::string Trim(const std::string &text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

// The keyword a person leaving the dialog gives (the terminal's input has ended): Exit Setup
// where the dialog has it, else the refusing button, else its only button.
const Button &LeavingButton(const DialogTemplate &t) {
  for (const Button &b : t.buttons)
    if (std::string(b.keyword) == KEYWORD_EXIT) return b;
  for (const Button &b : t.buttons)
    if (std::string(b.keyword) == KEYWORD_CANCEL) return b;
  return t.buttons.front();
}

std::string ButtonKeys(const DialogTemplate &t, bool help) {
  std::string keys;
  for (const Button &b : t.buttons) keys += std::string(keys.empty() ? "" : ", ") + b.key;
  if (help) keys += ", H";
  return keys;
}

void Record(unsigned id, const std::string &keyword) {
  setupkit::SetSymbol(SYM_DLGEVENT, keyword);
  winsim::Transcript("dialog " + std::to_string(id) + " " + keyword);
}

// ---- the help dialog, from inside the dialog that offers it --------------------------------

void ShowHelpInTerminal(const DialogCall &call) {
  const DialogTemplate *help = FindTemplate(call.helpId);
  std::vector<std::string> lines = Paragraphs(help->text);
  lines.push_back("");
  lines.push_back("[C] Close");
  winsim::ConsoleBox(help->title, lines);
  std::string reply;
  winsim::ConsoleReadLine("Press Enter to close the help: ", &reply);
  winsim::Transcript("dialog " + std::to_string(call.helpId) + " " + help->buttons[0].keyword);
}

void AnswerHelp(const DialogCall &call) {
  Answer a = TakeAnswer(call.helpId);
  if (a.hasButton || a.hasText)
    AnswerFileFault("answer file " + winsim::M().answersPath + " line " + std::to_string(a.line) +
                    ": the help dialog takes no button= or text=");
  winsim::Transcript("dialog " + std::to_string(call.helpId) + " " + a.keyword);
}

// ---- modal dialogs -------------------------------------------------------------------------

struct Inputs {
  std::string errorText;  // error dialog
  int radio = 1;          // radio dialog: the button selected
  std::string checked;    // radio dialog: "ButtonChecked" as the answer file gives it
  std::string path;       // edit dialog: the path in the edit field
};

std::string AskInTerminal(const DialogCall &call, const DialogTemplate &t, bool isError,
                          Inputs *in) {
  bool help = call.helpId != 0;
  const int radios = static_cast<int>(t.radios.size());
  for (;;) {
    std::vector<std::string> lines;
    if (isError) {
      lines.push_back(in->errorText);
      lines.push_back("");
    }
    for (const std::string &p : Paragraphs(t.text)) lines.push_back(p);
    if (radios) {
      lines.push_back("");
      for (int i = 0; i < radios; ++i)
        lines.push_back(std::string(in->radio == i + 1 ? "(*) " : "( ) ") + std::to_string(i + 1) +
                        ". " + t.radios[i]);
    }
    if (t.editLabel) {
      lines.push_back("");
      lines.push_back(std::string(t.editLabel) + ": " + in->path);
    }
    lines.push_back("");
    std::string buttons;
    for (const Button &b : t.buttons)
      buttons += std::string(buttons.empty() ? "" : "   ") + "[" + b.key + "] " + b.label;
    if (help) buttons += "   [H] Help";
    lines.push_back(buttons);
    winsim::ConsoleBox(t.title, lines);

    std::string reply;
    if (t.editLabel) {
      if (!winsim::ConsoleReadLine(std::string(t.editLabel) + " (Enter keeps the path shown): ",
                                   &reply))
        return LeavingButton(t).keyword;
      if (!Trim(reply).empty()) in->path = reply;
    }
    std::string prompt = radios ? "Type 1-" + std::to_string(radios) + " to choose an option, or " +
                                      ButtonKeys(t, help) + ": "
                                : "Your choice (" + ButtonKeys(t, help) + "): ";
    for (;;) {
      if (!winsim::ConsoleReadLine(prompt, &reply)) {
        const Button &leave = LeavingButton(t);
        std::printf("(input has ended: %s)\n", leave.label);
        return leave.keyword;
      }
      reply = Trim(reply);
      if (radios && reply.size() == 1 && reply[0] >= '1' && reply[0] < '1' + radios) {
        in->radio = reply[0] - '0';
        break;  // show the dialog again with the new selection
      }
      if (reply.size() == 1) {
        char key = static_cast<char>(std::toupper(static_cast<unsigned char>(reply[0])));
        for (const Button &b : t.buttons)
          if (b.key == key) return b.keyword;
        if (help && key == 'H') {
          ShowHelpInTerminal(call);
          break;
        }
      }
      std::printf("Please type one of: %s%s\n", radios ? "a number, " : "",
                  ButtonKeys(t, help).c_str());
    }
  }
}

std::string AnswerFromFile(const DialogCall &call, const DialogTemplate &t, Inputs *in) {
  while (call.helpId != 0 && NextAnswerIs(call.helpId)) AnswerHelp(call);
  Answer a = TakeAnswer(call.id);
  std::string where =
      "answer file " + winsim::M().answersPath + " line " + std::to_string(a.line) + ": ";
  if (a.hasButton && t.radios.empty())
    AnswerFileFault(where + "dialog " + std::to_string(call.id) + " has no radio buttons");
  if (a.hasText && !t.editLabel)
    AnswerFileFault(where + "dialog " + std::to_string(call.id) + " has no edit field");
  // A radio button number is passed on as written, also one the dialog does not have, so
  // that a test can give the setup any value; the same for the keyword.
  if (a.hasButton) in->checked = a.button;
  if (a.hasText) in->path = a.text;
  return a.keyword;
}

bool RunModal(const DialogCall &call, bool isError) {
  const DialogTemplate *t = FindTemplate(call.id);
  if (!t) return false;
  Inputs in;
  if (isError) {
    in.errorText = setupkit::GetSymbol(SYM_ERROR_TEXT);
    winsim::Transcript("error " + winsim::Quote(in.errorText));
  }
  if (!t->radios.empty()) {
    std::string def = setupkit::GetSymbol(SYM_RADIO_DEFAULT);
    int n = def.size() == 1 ? def[0] - '0' : 0;
    in.radio = n >= 1 && n <= static_cast<int>(t->radios.size()) ? n : 1;
  }
  // A dialog brought back while it is still up keeps what the user typed in its edit field;
  // only a dialog that comes up anew starts from "EditTextIn".
  if (t->editLabel)
    in.path = setupkit::GetSymbol(call.rerun ? SYM_EDIT_TEXT_OUT : SYM_EDIT_TEXT_IN);

  std::string keyword =
      winsim::Interactive() ? AskInTerminal(call, *t, isError, &in) : AnswerFromFile(call, *t, &in);
  if (!t->radios.empty())
    setupkit::SetSymbol(SYM_BUTTON_CHECKED,
                        in.checked.empty() ? std::to_string(in.radio) : in.checked);
  if (t->editLabel) setupkit::SetSymbol(SYM_EDIT_TEXT_OUT, in.path);
  Record(call.id, keyword);
  return true;
}

bool ModalDlgProc(const DialogCall &call) {
  return RunModal(call, false);
}
bool ErrorDlgProc(const DialogCall &call) {
  return RunModal(call, true);
}

// ---- modeless dialogs ----------------------------------------------------------------------

std::vector<unsigned> g_waiting;  // modeless dialogs up, oldest first

void ShowStatus() {
  if (!winsim::Interactive()) return;
  if (g_waiting.empty()) {
    winsim::ConsoleClearStatus();
    return;
  }
  const DialogTemplate *t = FindTemplate(g_waiting.back());
  winsim::ConsoleStatus(std::string("Please wait: ") + t->text);
}

bool ModelessDlgProc(const DialogCall &call) {
  if (!FindTemplate(call.id)) return false;
  if (!call.rerun) g_waiting.push_back(call.id);
  setupkit::SetSymbol(SYM_DLGEVENT, "");
  winsim::Transcript("dialog " + std::to_string(call.id));
  ShowStatus();
  return true;
}

struct ProcEntry {
  const char *name;
  Procedure procedure;
  bool modeless;
};

const ProcEntry kProcedures[] = {
    {PROC_WELCOME, ModalDlgProc, false},    {PROC_QUIT, ModalDlgProc, false},
    {PROC_INFO, ModalDlgProc, false},       {PROC_INFO0, ModalDlgProc, false},
    {PROC_RADIO, ModalDlgProc, false},      {PROC_EDIT, ModalDlgProc, false},
    {PROC_HELP, ModalDlgProc, false},       {PROC_ERROR, ErrorDlgProc, false},
    {PROC_MODELESS, ModelessDlgProc, true},
};

}  // namespace

Procedure FindProcedure(const std::string &library, const std::string &name, bool *modeless) {
  if (!IsOurLibrary(library)) return nullptr;
  for (const ProcEntry &p : kProcedures)
    if (name == p.name) {
      if (modeless) *modeless = p.modeless;
      return p.procedure;
    }
  return nullptr;
}

bool HasDialog(const std::string &library, unsigned id, const std::string &procedure) {
  if (!IsOurLibrary(library)) return false;
  const DialogTemplate *t = FindTemplate(id);
  return t && procedure == t->procedure;
}

const std::vector<std::string> *FindBitmap(const std::string &library, unsigned id) {
  return IsOurLibrary(library) ? FrameBitmap(id) : nullptr;
}

void DialogRemoved(unsigned id, bool modeless) {
  if (!modeless) return;
  for (size_t i = g_waiting.size(); i-- > 0;)
    if (g_waiting[i] == id) {
      g_waiting.erase(g_waiting.begin() + static_cast<long>(i));
      break;
    }
  ShowStatus();
}

void ForgetWaiting() {
  g_waiting.clear();
}

}  // namespace dialogs
