// The demo: an image made from the demo profile by the image tool, and the setup run on it from
// the demo's distribution directory, as the README's demo command does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system_session.h"

using testing_support::MakeTempDir;
using testing_support::ReadHostFile;
using testing_support::RemoveTree;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::SplitLines;

namespace {

// Makes an image from a demo profile and runs the setup on it from the demo distribution with
// the answers given; answers the transcript.
std::vector<std::string> RunOnDemoProfile(const std::string &profile, const std::string &answers) {
  std::string work = MakeTempDir("demo-");
  std::string image = work + "/image";
  RunResult made =
      RunProgram({std::string(NORVALE_BIN_DIR) + "/winsim-image", "create",
                  std::string(NORVALE_SOURCE_DIR) + "/demo/profiles/" + profile, image},
                 {});
  EXPECT_EQ(made.status, 0) << made.err;
  testing_support::WriteHostFile(work + "/answers", answers);
  RunResult run = RunProgram({std::string(NORVALE_BIN_DIR) + "/setup"},
                             {"WINSIM_MACHINE=" + image, "WINSIM_ANSWERS=" + work + "/answers",
                              "WINSIM_TRANSCRIPT=" + work + "/transcript", "WINSIM_CLOCK=virtual"},
                             std::string(NORVALE_SOURCE_DIR) + "/demo/dist");
  EXPECT_EQ(run.status, 0) << profile << "\n" << run.err;
  std::vector<std::string> transcript = SplitLines(ReadHostFile(work + "/transcript"));
  RemoveTree(work);
  return transcript;
}

}  // namespace

TEST(Demo, SetupRunsOnTheDemoMachineFromTheDemoDistribution) {
  EXPECT_EQ(
      RunOnDemoProfile("nt35-x86.profile",
                       "100 CANCEL\n200 CANCEL\n100 CONTINUE\n800 CONTINUE\n"
                       "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n"),
      std::vector<std::string>({"dialog 100 CANCEL", "dialog 200 CANCEL", "dialog 100 CONTINUE",
                                "dialog 800 CONTINUE", "copy 10 of 10 files", "sleep 1000",
                                "dialog 1800", "dialog 1700", "sleep 2000", "dialog 1200 CONTINUE",
                                "dialog 1400 CONTINUE", "dialog 700 CONTINUE", "start \"printman\"",
                                "start \"winhlp32 zelpsmon.hlp\"", "exit 0"}));
}

// Every other demo machine runs to its own end: NT 3.1 x86, Alpha on NT 3.1 (the PostScript
// driver comes from the distribution), a MIPS NT 3.5 upgrade (spooler and dependent stopped and
// started again) and Windows 95 (refused after the options).
TEST(Demo, EveryDemoMachineRunsToTheEnd) {
  const std::string kOffersDeclined = "1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n";
  std::vector<std::string> nt31 =
      RunOnDemoProfile("nt31-x86.profile", "100 CONTINUE\n800 CONTINUE\n" + kOffersDeclined);
  EXPECT_EQ(nt31.back(), "exit 0");

  std::vector<std::string> alpha = RunOnDemoProfile(
      "nt31-alpha.profile", "100 CONTINUE\n800 CONTINUE\n1100 CONTINUE\n" + kOffersDeclined);
  ASSERT_GE(alpha.size(), 4u);
  EXPECT_EQ(alpha[2], "dialog 1100 CONTINUE");
  EXPECT_EQ(alpha.back(), "exit 0");

  std::vector<std::string> mips = RunOnDemoProfile(
      "nt35-mips-upgrade.profile", "100 CONTINUE\n800 CONTINUE\n2200 CONTINUE\n" + kOffersDeclined);
  ASSERT_GE(mips.size(), 3u);
  EXPECT_EQ(mips[2], "dialog 5100");
  EXPECT_EQ(mips.back(), "exit 0");

  EXPECT_EQ(RunOnDemoProfile("win95.profile", "100 CONTINUE\n800 CONTINUE\n" + kOffersDeclined),
            std::vector<std::string>(
                {"dialog 100 CONTINUE", "dialog 800 CONTINUE",
                 "msgbox \"Install\" \"Installation on Windows95 is not yet supported\"",
                 "dialog 1200 CANCEL", "dialog 1400 CANCEL", "dialog 700 CONTINUE", "exit 0"}));
}
