// Inside the dialog library stand-in ("mscuistf.dll"): what the Setup Toolkit stand-in finds in
// it (procedures by name, dialog templates, the frame bitmap) and what the tests look at.
#ifndef DIALOGS_DIALOGS_H
#define DIALOGS_DIALOGS_H

#include <string>
#include <vector>

namespace dialogs {

// What FDoDialogExt hands a dialog procedure.
struct DialogCall {
  unsigned id = 0;
  std::string procedure;
  bool rerun = false;   // the dialog was already up, on top of the stack
  unsigned helpId = 0;  // 0: the dialog offers no help
  std::string helpLibrary;
  std::string helpProcedure;
};

// A dialog procedure: shows the dialog, leaves the keyword in "DLGEVENT" and answers whether the
// dialog came up. A modal procedure returns when the user has chosen, a modeless one at once.
using Procedure = bool (*)(const DialogCall &call);

// The procedure `name` of the library, found as GetProcAddress would (the exact name), or null.
Procedure FindProcedure(const std::string &library, const std::string &name, bool *modeless);
// Whether the library holds dialog `id` and that dialog is built for `procedure`.
bool HasDialog(const std::string &library, unsigned id, const std::string &procedure);
// The bitmap resource `id` of the library, as lines of text, or null.
const std::vector<std::string> *FindBitmap(const std::string &library, unsigned id);
// The toolkit took the dialog off its stack (a modeless dialog's status line goes).
void DialogRemoved(unsigned id, bool modeless);
// The toolkit forgot every dialog (its frame ended).
void ForgetWaiting();

// ---- the dialogs ---------------------------------------------------------------------------

struct Button {
  char key;  // what the user types in the terminal
  const char *label;
  const char *keyword;  // left in "DLGEVENT"
};

struct DialogTemplate {
  unsigned id;
  const char *procedure;
  const char *title;
  const char *text;  // paragraphs separated by '\n'
  std::vector<Button> buttons;
  std::vector<const char *> radios;  // radio dialogs
  const char *editLabel;             // edit dialogs
};

const DialogTemplate *FindTemplate(unsigned id);
const std::vector<std::string> *FrameBitmap(unsigned id);
const std::vector<DialogTemplate> &Templates();

// ---- answer file (unattended runs) ---------------------------------------------------------

struct Answer {
  int line = 0;
  unsigned id = 0;
  std::string keyword;
  bool hasButton = false;
  std::string button;  // digits, as written
  bool hasText = false;
  std::string text;  // the rest of the line, as written
};

// Whether the next answer names dialog `id` (without using it).
bool NextAnswerIs(unsigned id);
// Takes the next answer, which must name dialog `id`. When it names another dialog, or none is
// left, the run stops here: a message on standard error naming both dialogs, "exit 2" in the
// transcript, exit status 2.
Answer TakeAnswer(unsigned id);
// Stops the run as a fault of the answer file, with this message (does not return).
[[noreturn]] void AnswerFileFault(const std::string &message);
// Forgets the answers read so far (a new machine was opened).
void ResetAnswers();

}  // namespace dialogs

#endif
