// Inside the Setup Toolkit: what its parts share with each other and with the tests.
// The system sees only toolkit/toolkit_services.h.
#ifndef SETUPKIT_SETUPKIT_H
#define SETUPKIT_SETUPKIT_H

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "setupkit/transcript_text.h"

namespace setupkit {

// ---- frame -------------------------------------------------------------------------------------

bool FrameUp();
bool InstallUp();
int WaitCursorCount();
const std::string &FrameCommandLine();

// ---- symbols ----------------------------------------------------------------------------------

// The toolkit's own access to symbols, as texts.
std::string GetSymbol(const std::string &name);
void SetSymbol(const std::string &name, const std::string &value);
// Makes the symbol a list holding these items (what FSetSymbolToListOfInfKeys builds).
bool SetListSymbol(const std::string &name, const std::vector<std::string> &items);
// Copies what fits of the text into the buffer, always terminated when there is room for the
// terminator, and answers the full length.
int CopyText(const std::string &text, char *buffer, int size);

// ---- setup file --------------------------------------------------------------------------------

struct InfLine {
  int line = 0;                     // 1-based line in the file
  bool hasKey = false;              // "key = fields" rather than a line of fields
  std::string key;                  // unquoted
  std::vector<std::string> fields;  // field 1 is fields[0]
};

struct InfSection {
  std::string name;
  std::vector<InfLine> lines;  // in file order; a repeated section adds to the first
  std::unordered_map<std::string, size_t> keys;  // Upper(key) -> its first line
  // The first line of the key, without regard to case; null when none has it.
  const InfLine *Find(const std::string &key) const;
};

struct InfFile {
  std::vector<InfSection> sections;               // in file order
  std::unordered_map<std::string, size_t> index;  // Upper(name) -> its section
  const InfSection *Find(const std::string &name) const;
};

// Parses the text of a setup file. On failure answers false and says which line and why.
bool ParseInf(const std::string &text, InfFile *inf, std::string *error);
// The setup file FOpenInf opened last, or null; and why the last FOpenInf failed.
const InfFile *OpenedInf();
const std::string &InfError();

// ---- transcript ---------------------------------------------------------------------------

// Appends one event to the transcript, if the run keeps one; false when it could not be written.
bool WriteTranscript(const std::string &event);
// QuoteText (setupkit/transcript_text.h) quotes a text of an event.

// ---- dialog stack ------------------------------------------------------------------------------

// The ids of the dialogs that are up, bottom first.
std::vector<unsigned> DialogStack();
// The frame was asked for the help of the dialog `dialog` (its help button): runs the help
// dialog that FDoDialogExt was given with it.
void ShowHelpOf(HWND dialog);

// ---- answer file -------------------------------------------------------------------------------

struct Answer {
  int line = 0;
  unsigned id = 0;
  std::string keyword;
  bool hasButton = false;
  std::string button;  // digits, as written
  bool hasText = false;
  std::string text;  // the rest of the line, as written
};

// Whether the run is answered from an answer file (WINSIM_ANSWERS).
bool Answering();
// Whether the next answer names dialog `id` (without using it).
bool NextAnswerIs(unsigned id);
// Takes the next answer, which must name dialog `id`. When it names another dialog, or none is
// left, the run stops here: a message on standard error naming both dialogs, "exit 2" in the
// transcript, exit status 2.
Answer TakeAnswer(unsigned id);
// Stops the run as a fault of the answer file, with this message (does not return).
[[noreturn]] void AnswerFileFault(const std::string &message);
// "answer file <path> line <n>: ", where a fault of that answer is told.
std::string AnswerWhere(const Answer &answer);
// Appends an answer line to the recording of an interactive run (WINSIM_RECORD), if any.
void RecordAnswer(const std::string &line);
// Forgets the answers read so far (a new process).
void ResetAnswers();

// Forgets everything the toolkit holds (symbols, dialogs, setup file, frame), as the
// end of the process would. Run when a machine is opened, so that each test starts afresh.
void ResetToolkit();
void ForgetSymbols();
void ForgetInf();
void ForgetDialogs();
// Takes every dialog off the stack, destroying the windows of modeless ones (the frame ends).
void RemoveDialogs();
void ForgetFrame();

}  // namespace setupkit

#endif
