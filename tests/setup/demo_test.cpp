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

TEST(Demo, SetupRunsOnTheDemoMachineFromTheDemoDistribution) {
  std::string work = MakeTempDir("demo-");
  std::string image = work + "/image";
  RunResult made =
      RunProgram({std::string(NORVALE_BIN_DIR) + "/winsim-image", "create",
                  std::string(NORVALE_SOURCE_DIR) + "/demo/profiles/nt35-x86.profile", image},
                 {});
  ASSERT_EQ(made.status, 0) << made.err;
  testing_support::WriteHostFile(work + "/answers",
                                 "100 CANCEL\n200 CANCEL\n100 CONTINUE\n800 CONTINUE\n"
                                 "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n");
  RunResult run = RunProgram({std::string(NORVALE_BIN_DIR) + "/setup"},
                             {"WINSIM_MACHINE=" + image, "WINSIM_ANSWERS=" + work + "/answers",
                              "WINSIM_TRANSCRIPT=" + work + "/transcript", "WINSIM_CLOCK=virtual"},
                             std::string(NORVALE_SOURCE_DIR) + "/demo/dist");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(
      SplitLines(ReadHostFile(work + "/transcript")),
      std::vector<std::string>({"dialog 100 CANCEL", "dialog 200 CANCEL", "dialog 100 CONTINUE",
                                "dialog 800 CONTINUE", "copy 10 of 10 files", "sleep 1000",
                                "dialog 1800", "dialog 1700", "sleep 2000", "dialog 1200 CONTINUE",
                                "dialog 1400 CONTINUE", "dialog 700 CONTINUE", "start \"printman\"",
                                "start \"winhlp32 zelpsmon.hlp\"", "exit 0"}));
  RemoveTree(work);
}
