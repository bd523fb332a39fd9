// The answer file of an unattended run: one answer per line, used in order.
//
//   # comment
//   <dialog id> <KEYWORD> [button=<n>] [text=<text to the end of the line>]
//
// A "#" at the start of a word begins a comment, except inside text=, which takes the rest of
// the line exactly as written. The keyword is taken as written. A line that does not read as an
// answer, a dialog other than the one the next answer names, or no answer left: the script is
// at fault, and the run stops at once with exit status 2 rather than guess.
//
// WINSIM_RECORD names a file to which an interactive run appends each dialog answered, as an
// answer line that replays it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"

namespace setupkit {
namespace {

struct AnswerFile {
  bool loaded = false;
  std::string path;
  std::vector<Answer> answers;
  size_t next = 0;
};

AnswerFile g_file;
bool g_recording = false;  // this run has written its recording's first line

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Where(int line) {
  return "answer file " + g_file.path + " line " + std::to_string(line);
}

Answer ParseAnswer(const std::string &text, int lineNo, bool *isAnswer) {
  Answer a;
  a.line = lineNo;
  *isAnswer = false;
  size_t i = 0;
  const size_t n = text.size();
  auto skipBlanks = [&]() {
    while (i < n && IsBlank(text[i])) ++i;
  };
  auto word = [&]() {
    size_t b = i;
    while (i < n && !IsBlank(text[i])) ++i;
    return text.substr(b, i - b);
  };

  skipBlanks();
  if (i == n || text[i] == '#') return a;
  std::string id = word();
  if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos)
    AnswerFileFault(Where(lineNo) + ": an answer begins with a dialog id, not '" + id + "'");
  a.id = static_cast<unsigned>(std::strtoul(id.c_str(), nullptr, 10));
  skipBlanks();
  if (i == n || text[i] == '#')
    AnswerFileFault(Where(lineNo) + ": the answer for dialog " + id + " gives no keyword");
  a.keyword = word();

  for (;;) {
    skipBlanks();
    if (i == n || text[i] == '#') break;
    if (text.compare(i, 5, "text=") == 0) {
      a.hasText = true;
      a.text = text.substr(i + 5);
      break;
    }
    std::string option = word();
    if (option.compare(0, 7, "button=") == 0) {
      std::string digits = option.substr(7);
      // Buttons count from 1; a number past what 32 bits hold names no button either.
      size_t first = digits.find_first_not_of('0');
      bool number = !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
      bool inRange = number && first != std::string::npos &&
                     (digits.size() - first < 10 || (digits.size() - first == 10 &&
                                                     digits.compare(first, 10, "4294967295") <= 0));
      if (!inRange)
        AnswerFileFault(Where(lineNo) + ": button= takes the number of a radio button, not '" +
                        digits + "'");
      a.hasButton = true;
      a.button = digits;
    } else {
      AnswerFileFault(Where(lineNo) + ": '" + option + "' is neither button=<n> nor text=<text>");
    }
  }
  *isAnswer = true;
  return a;
}

// The value of a variable of the harness, or "".
std::string Variable(const char *name) {
  char value[MAX_PATH];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string AnswersPath() {
  return Variable("WINSIM_ANSWERS");
}

void Load() {
  const std::string path = AnswersPath();
  if (g_file.loaded && g_file.path == path) return;
  g_file = AnswerFile();
  g_file.loaded = true;
  g_file.path = path;
  std::string content;
  DWORD error = 0;
  if (!ReadMachineFile(path, &content, &error))
    AnswerFileFault("answer file " + path + ": cannot be read");
  int lineNo = 0;
  for (size_t pos = 0; pos < content.size();) {
    size_t nl = content.find('\n', pos);
    std::string line = content.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? content.size() : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bool isAnswer = false;
    Answer a = ParseAnswer(line, lineNo, &isAnswer);
    if (isAnswer) g_file.answers.push_back(a);
  }
}

}  // namespace

bool Answering() {
  return !AnswersPath().empty();
}

std::string AnswerWhere(const Answer &answer) {
  return Where(answer.line) + ": ";
}

void RecordAnswer(const std::string &line) {
  std::string path = Variable("WINSIM_RECORD");
  if (path.empty()) return;
  // A run's recording replaces whatever an earlier run left in the file.
  DWORD error = 0;
  if (WriteMachineFile(path, line + "\n", g_recording, &error)) g_recording = true;
}

void AnswerFileFault(const std::string &message) {
  std::fflush(stdout);
  std::string text = "winsim: " + message + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            NULL);
  ExitProcess(2);
  std::abort();  // ExitProcess does not return
}

bool NextAnswerIs(unsigned id) {
  Load();
  return g_file.next < g_file.answers.size() && g_file.answers[g_file.next].id == id;
}

Answer TakeAnswer(unsigned id) {
  Load();
  if (g_file.next >= g_file.answers.size())
    AnswerFileFault("answer file " + g_file.path +
                    " is used up: expected no further dialog, "
                    "but dialog " +
                    std::to_string(id) + " came up");
  const Answer &a = g_file.answers[g_file.next];
  if (a.id != id)
    AnswerFileFault(Where(a.line) + ": expected dialog " + std::to_string(a.id) + ", but dialog " +
                    std::to_string(id) + " came up");
  ++g_file.next;
  return a;
}

void ResetAnswers() {
  g_file = AnswerFile();
  g_recording = false;
}

}  // namespace setupkit
