// Inside the Setup Toolkit stand-in: what its parts share with each other and with the tests.
// The system sees only toolkit/toolkit_services.h.
#ifndef SETUPKIT_SETUPKIT_H
#define SETUPKIT_SETUPKIT_H

#include <string>
#include <vector>

#include "setupkit/transcript_text.h"

namespace setupkit {

// ---- frame -------------------------------------------------------------------------------------

// The file in the machine image on which a running setup holds its exclusive lock.
std::string FrameLockPath();
bool FrameUp();
bool InstallUp();
int WaitCursorCount();
const std::string &FrameCommandLine();

// ---- symbols ----------------------------------------------------------------------------------

// The dialog library's own access to symbols. It goes past the faults that machine.ini injects
// for the setup's toolkit calls, so that a fault such as "FSetSymbolValue#3" counts the setup's
// calls only.
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
};

struct InfFile {
  std::vector<InfSection> sections;
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

// Forgets everything the toolkit holds (symbols, dialogs, setup file, frame and its lock), as the
// end of the process would. Run when a machine is opened, so that each test starts afresh.
void ResetToolkit();
void ForgetSymbols();
void ForgetInf();
void ForgetDialogs();
void ForgetFrame();

}  // namespace setupkit

#endif
