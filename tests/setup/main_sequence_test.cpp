// The built setup on machines of each kind: the administrator check, the classification, the
// unsupported-system path, the option dialog and the end of the run, judged by the transcript
// and by what the machine keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system_session.h"
#include "wizard_session.h"

using testing_support::RunResult;
using testing_support::SystemSession;
using wizard_testing::AddOfferedPrograms;
using wizard_testing::AddPostScriptModules;
using wizard_testing::DialogLines;
using wizard_testing::FreshInstallLines;
using wizard_testing::kWindows95Refused;
using wizard_testing::Lines;
using wizard_testing::Processor;
using wizard_testing::RestartKept;
using wizard_testing::Token;
using wizard_testing::Version;
using wizard_testing::WithInstall;

namespace {

const Lines kExit = {"exit 0"};

// Runs the setup on a machine made with `machineExtra`; checks the whole transcript, in which the
// install sequence's lines follow the option dialog.
void ExpectRun(const std::string &machineExtra, const std::string &answers, const Lines &more,
               const Lines &install = FreshInstallLines(7)) {
  SystemSession session(machineExtra);
  AddOfferedPrograms(session);
  AddPostScriptModules(session);
  RunResult run = session.RunSetup(answers);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(), WithInstall(DialogLines(answers, more), install));
  EXPECT_FALSE(RestartKept(session));
}

TEST(MainSequence, UserWhoIsNoAdministratorIsSentAway) {
  const char answers[] = "100 CONTINUE\n2400 CANCEL\n2400 EXIT\n2400 CONTINUE\n";
  for (const char *token : {"administrators = deny-only", "administrators = disabled",
                            "administrators = absent", "thread_token = 1346"}) {
    SCOPED_TRACE(token);
    ExpectRun(Token(token), answers, kExit);
  }
}

TEST(MainSequence, UnsupportedSystemIsToldAndNothingElseRuns) {
  for (const char *version : {"4.0.1381", "3.50.806", "2.10.100"}) {
    SCOPED_TRACE(version);
    ExpectRun(Version(version), "100 CONTINUE\n2000 EXIT\n2000 CONTINUE\n", kExit);
  }
  // The processor is still classified first: a failed expansion ends the setup there.
  SystemSession session(Version("4.0.1381") + "[faults]\nExpandEnvironmentStringsA = 8\n");
  RunResult run = session.RunSetup("100 CONTINUE\n2300 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 100 CONTINUE", "error \"Couldn't expand env string, error = 8\"",
                   "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(MainSequence, NewerBuildIsWarnedAboutAndMayEndThere) {
  ExpectRun(Version("3.51.1057"), "100 CONTINUE\n2100 EXIT\n", kExit);
  ExpectRun(Version("3.51.1057"),
            "100 CONTINUE\n2100 CANCEL\n800 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n",
            kExit);
}

TEST(MainSequence, SupportedSystemsWalkToTheOffers) {
  const char answers[] =
      "100 CONTINUE\n800 EXIT\n200 CONTINUE\n800 CONTINUE button=2\n1200 CONTINUE\n"
      "1400 CONTINUE\n700 CONTINUE\n";
  const Lines started = {"start \"printman\"", "start \"winhlp32 zelpsmon.hlp\"", "exit 0"};
  // The second button brings the load files along: ten files to copy.
  ExpectRun("", answers, started, FreshInstallLines(10));  // NT 3.5 x86
  ExpectRun(Version("3.10.528") + Processor("MIPS"), answers, started,
            FreshInstallLines(10));  // NT 3.1 MIPS
  ExpectRun(Version("4.0.950", "windows"), answers, started,
            Lines{kWindows95Refused});  // Windows 95
}

TEST(MainSequence, LeavingAtTheOptionDialogEndsTheSetup) {
  ExpectRun("", "100 CONTINUE\n800 CANCEL\n200 EXIT\n", kExit);
}

}  // namespace
