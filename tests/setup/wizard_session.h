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

// The PostScript driver modules in the root of each environment's printer-driver directory, where
// the install sequence finds them without asking for the Windows NT distribution.
inline void AddPostScriptModules(testing_support::SystemSession &session) {
  for (const char *environment : {"w32x86", "w32alpha", "w32mips"})
    for (const char *module : {"pscript.dll", "pscrptui.dll"})
      session.Image().WriteFile(
          std::string("drive_c/WINNT35/system32/spool/drivers/") + environment + "/" + module,
          "MZ");
}

// What a fresh installation adds to the transcript when its copy list holds `files` files.
inline Lines FreshInstallLines(int files) {
  std::string n = std::to_string(files);
  return {"copy " + n + " of " + n + " files", "sleep 1000", "dialog 1800", "dialog 1700",
          "sleep 2000"};
}
const char kWindows95Refused[] =
    "msgbox \"Install\" \"Installation on Windows95 is not yet supported\"";

// The transcript `lines` with the install sequence's lines after the option dialog's CONTINUE.
inline Lines WithInstall(Lines lines, const Lines &install) {
  for (size_t i = lines.size(); i-- > 0;)
    if (lines[i] == "dialog 800 CONTINUE") {
      lines.insert(lines.begin() + static_cast<long>(i) + 1, install.begin(), install.end());
      break;
    }
  return lines;
}

inline bool RestartKept(testing_support::SystemSession &session) {
  return session.Image().ReadFile("machine.ini").find("restart = yes") != std::string::npos;
}

}  // namespace wizard_testing

#endif
