// What the tests of the wizard share: machines of each kind the setup meets, and the transcript
// that a run of answers leaves.
#ifndef TESTS_SETUP_WIZARD_SESSION_H
#define TESTS_SETUP_WIZARD_SESSION_H

#include <sstream>
#include <string>
#include <vector>

#include "system_session.h"

namespace wizard_testing {

using Lines = std::vector<std::string>;

// The transcript lines of dialogs answered by `answers` (one "<id> <KEYWORD> ..." per line),
// followed by `more`.
inline Lines DialogLines(const std::string &answers, const Lines &more = {}) {
  Lines lines;
  std::istringstream in(answers);
  std::string id, keyword, rest;
  while (in >> id >> keyword) {
    lines.push_back("dialog " + id + " " + keyword);
    std::getline(in, rest);
  }
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

// machine.ini additions that make the Windows NT 3.5 machine of SystemSession another one; a
// later [system] section overrides the keys it names.
inline std::string Version(const std::string &version, const std::string &platform = "nt") {
  return "[system]\nversion = " + version + "\nplatform = " + platform + "\n\n";
}
inline std::string Processor(const std::string &processor) {
  return "[system]\nprocessor = " + processor + "\n\n";
}
inline std::string Token(const std::string &keys) {
  return "[token]\n" + keys + "\n\n";
}

// The programs that the end of the setup offers to start, in the system directory.
inline void AddOfferedPrograms(testing_support::SystemSession &session) {
  session.Image().WriteFile("drive_c/WINNT35/system32/printman.exe", "MZ");
  session.Image().WriteFile("drive_c/WINNT35/system32/winhlp32.exe", "MZ");
}

inline bool RestartKept(testing_support::SystemSession &session) {
  return session.Image().ReadFile("machine.ini").find("restart = yes") != std::string::npos;
}

}  // namespace wizard_testing

#endif
