// A small machine with a distribution directory (C:\DIST holding setup.inf), opened in the test
// process with an answer file and a transcript, for tests that drive the system's own routines;
// and a run of the built setup program on such a machine, for the paths that end the process.
#ifndef TESTS_SUPPORT_SYSTEM_SESSION_H
#define TESTS_SUPPORT_SYSTEM_SESSION_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "spooler_fixtures.h"
#include "test_image.h"
#include "toolkit/toolkit_services.h"

namespace testing_support {

// How the transcript ends when a fatal reporter ends the setup: the error dialog with the
// generic error code, closed, and the exit; after an overflowing field, its message first.
inline const std::vector<std::string> kError1024 = {"error \"Error code = 1024\"",
                                                    "dialog 2300 CONTINUE", "exit 0"};
inline const std::vector<std::string> kOverflow = {"msgbox \"MS-Setup Error\" \"Buffer Overflow\"",
                                                   "error \"Error code = 1024\"",
                                                   "dialog 2300 CONTINUE", "exit 0"};

// A Windows NT 3.5 x86 machine; `extra` is appended to its machine.ini (faults, for example).
inline std::string Nt35Machine(const std::string &extra = "") {
  return std::string(kDefaultMachine) +
         "\n"
         "[service Spooler]\n"
         "state = running\n"
         "\n" +
         extra;
}

inline const char *SmallSetupInf() {
  return "[NT Help File]\r\n"
         "zelpsmon.hlp\r\n"
         "\r\n"
         "[PPD Files]\r\n"
         "\"Norvale PageRelay 12\" = PR12.PPD\r\n"
         "\"Norvale ZELlaser 7200\" = ZL7200.PPD\r\n"
         "\"Norvale PageRelay 12 Level2  8mb\" = PR12L28.PPD\r\n"
         "\r\n"
         "[W95 Help File]\r\n"
         "w95\\zelpsmon.hlp\r\n"
         "[W95 Monitor]\r\n"
         "w95\\zelpsmw4.dll\r\n"
         "[I386 Monitor]\r\n"
         "i386\\zelpsmon.dll\r\n"
         "[Alpha Monitor]\r\n"
         "alpha\\zelpsmon.dll\r\n"
         "[Mips Monitor]\r\n"
         "mips\\zelpsmon.dll\r\n"
         "[Write Files]\r\n"
         "relnt50.wri\r\n"
         "spdesc50.wri\r\n"
         "[Load PS Files]\r\n"
         "load\\errhand.ps\r\n"
         "[Load Cat Files]\r\n"
         "load\\cat\\fonts.cat\r\n"
         "[Load Sys Files]\r\n"
         "load\\sys\\zelboot.sys\r\n";
}

// Every file that SmallSetupInf names, relative to the distribution directory, '/' separated.
inline std::vector<std::string> SmallDistributionFiles() {
  return {"zelpsmon.hlp",       "PR12.PPD",
          "ZL7200.PPD",         "PR12L28.PPD",
          "w95/zelpsmon.hlp",   "w95/zelpsmw4.dll",
          "i386/zelpsmon.dll",  "alpha/zelpsmon.dll",
          "mips/zelpsmon.dll",  "relnt50.wri",
          "spdesc50.wri",       "load/errhand.ps",
          "load/cat/fonts.cat", "load/sys/zelboot.sys"};
}

// What SmallDistributionFiles' file holds: the monitor DLLs are modules the spooler loads (for
// the processor of their folder), the others a line naming them.
inline std::string DistributionFileContents(const std::string &file) {
  static const char *const kMonitors[][2] = {
      {"i386/zelpsmon.dll", "x86"}, {"alpha/zelpsmon.dll", "ALPHA"}, {"mips/zelpsmon.dll", "MIPS"}};
  for (const auto &m : kMonitors)
    if (file == m[0]) return MonitorModule("zelpsmon.dll", m[1]);
  return "contents of " + file;
}

inline std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class SystemSession {
 public:
  explicit SystemSession(const std::string &machineExtra = "") : image_(Nt35Machine(machineExtra)) {
    image_.WriteFile("drive_c/DIST/setup.inf", SmallSetupInf());
    for (const std::string &file : SmallDistributionFiles())
      image_.WriteFile("drive_c/DIST/" + file, DistributionFileContents(file));
  }

  TestImage &Image() { return image_; }
  std::string TranscriptPath() const { return image_.HostPath("transcript.txt"); }
  std::string AnswersPath() const { return image_.HostPath("answers.txt"); }
  std::string DistDir() const { return image_.HostPath("drive_c/DIST"); }

  // Opens the machine in this process with these answers, the working directory C:\DIST.
  void Open(const std::string &answers) {
    image_.WriteFile("answers.txt", answers);
    image_.Open(DistDir(), TranscriptPath(), AnswersPath());
  }
  // Opens it and brings the toolkit's frame and install state up, as start-up does.
  void OpenWithFrame(const std::string &answers) {
    Open(answers);
    char cmd[] = "";
    ASSERT_EQ(InitializeFrame(cmd), 1);
    ASSERT_TRUE(FInitializeInstall(HinstFrame(), HwndFrame()));
  }

  void ClearTranscript() const { WriteHostFile(TranscriptPath(), ""); }
  std::vector<std::string> Transcript() const { return SplitLines(ReadHostFile(TranscriptPath())); }

  // Runs the built setup program on the machine (virtual clock) from `cwd` (default C:\DIST).
  RunResult RunSetup(const std::string &answers, const std::string &cwd = "") {
    image_.WriteFile("answers.txt", answers);
    return RunProgram({std::string(NORVALE_BIN_DIR) + "/setup"},
                      {"WINSIM_MACHINE=" + image_.Dir(), "WINSIM_ANSWERS=" + AnswersPath(),
                       "WINSIM_TRANSCRIPT=" + TranscriptPath(), "WINSIM_CLOCK=virtual"},
                      cwd.empty() ? DistDir() : cwd);
  }

 private:
  TestImage image_;
};

}  // namespace testing_support

#endif
