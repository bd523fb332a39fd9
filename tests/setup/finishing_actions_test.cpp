// The end of the setup: the end dialogs for an upgrade on Windows NT 3.1 and for every other
// case, the programs started for the user, and the restart, each judged by the transcript and
// by what the machine keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/finishing_actions.h"
#include "setup/setup_state.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "winsim/handles.h"
#include "wizard_session.h"

using testing_support::SystemSession;
using wizard_testing::AddOfferedPrograms;
using wizard_testing::DialogLines;
using wizard_testing::Lines;
using wizard_testing::RestartKept;
using wizard_testing::Token;

namespace {

void SetSystem(int chicago, int daytona, int nt31, int upgrade) {
  fChicago = chicago;
  fDaytona = daytona;
  fNT31 = nt31;
  fUpgrade = upgrade;
}

const char kNoShutdownRight[] = "privileges = SeBackupPrivilege SeRestorePrivilege";

TEST(EndDialogs, UpgradeOnNt31OffersTheRestartInsteadOfThePrograms) {
  const struct {
    const char *token;
    const char *answers;
    Lines more;
    bool restart;
  } cases[] = {
      {"", "1000 CANCEL\n1000 CONTINUE\n1500 CONTINUE\n", {"shutdown restart"}, true},
      {"", "1000 CONTINUE\n1500 EXIT\n1500 CANCEL\n", {}, false},
      // Without the right the request is refused; the user is told, and the setup ends as usual.
      {kNoShutdownRight, "1000 CONTINUE\n1500 CONTINUE\n1600 EXIT\n1600 CONTINUE\n", {}, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.answers);
    SystemSession session(Token(c.token));
    AddOfferedPrograms(session);
    session.OpenWithFrame(c.answers);
    SetSystem(0, 0, 1, 1);
    size_t handles = winsim::OpenKernelHandleCount();
    EndDialogs();
    EXPECT_EQ(session.Transcript(), DialogLines(c.answers, c.more));
    EXPECT_EQ(RestartKept(session), c.restart);
    EXPECT_TRUE(setupkit::DialogStack().empty());
    EXPECT_EQ(winsim::OpenKernelHandleCount(), handles) << "the token is closed";
  }
}

TEST(EndDialogs, EveryOtherCaseOffersPrintManagerAndHelp) {
  const Lines both = {"start \"printman\"", "start \"winhlp32 zelpsmon.hlp\""};
  const struct {
    int chicago, daytona, nt31, upgrade;
    const char *answers;
    Lines more;
  } cases[] = {
      {0, 1, 0, 0, "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n", both},
      {0, 1, 0, 1, "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n", both},  // NT 3.5 upgrade
      {0, 0, 1, 0, "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n", both},  // NT 3.1, first time
      {1, 0, 0, 0, "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n", both},  // Windows 95
      {0, 1, 0, 0, "1200 CONTINUE\n1400 CANCEL\n700 CONTINUE\n", {"start \"printman\""}},
      {0,
       1,
       0,
       0,
       "1200 CANCEL\n1400 CONTINUE\n700 CANCEL\n200 CONTINUE\n700 CONTINUE\n",
       {"start \"winhlp32 zelpsmon.hlp\""}},
      {0, 1, 0, 0, "1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n", {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.answers);
    SystemSession session;
    AddOfferedPrograms(session);
    session.OpenWithFrame(c.answers);
    SetSystem(c.chicago, c.daytona, c.nt31, c.upgrade);
    size_t handles = winsim::OpenKernelHandleCount();
    EndDialogs();
    EXPECT_EQ(session.Transcript(), DialogLines(c.answers, c.more));
    EXPECT_FALSE(RestartKept(session));
    EXPECT_EQ(winsim::OpenKernelHandleCount(), handles) << "process and thread handles closed";
  }
}

TEST(EndDialogs, MissingPrintManagerIsNotReported) {
  SystemSession session;
  session.Image().WriteFile("drive_c/WINNT35/system32/winhlp32.exe", "MZ");
  const char answers[] = "1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n";
  session.OpenWithFrame(answers);
  SetSystem(0, 1, 0, 0);
  EndDialogs();
  EXPECT_EQ(session.Transcript(),
            DialogLines(answers, {"start-failed \"printman\"", "start \"winhlp32 zelpsmon.hlp\""}));
}

TEST(RunProgram, CommandLineTooLongIsRefusedWholeRatherThanCut) {
  SystemSession session;
  AddOfferedPrograms(session);
  session.Open("");
  EXPECT_TRUE(runProgram(("printman " + std::string(250, 'x')).c_str())) << "259 characters fit";
  EXPECT_FALSE(runProgram(("printman " + std::string(251, 'x')).c_str()));
  EXPECT_EQ(session.Transcript().size(), 1u);
}

TEST(RestartSystem, AnyFailingStepAnswersZeroAndLeavesNothingOpen) {
  for (const char *fault : {"OpenProcessToken = 5", "LookupPrivilegeValueA = 1313",
                            "AdjustTokenPrivileges = 5", "InitiateSystemShutdownA = 1115"}) {
    SCOPED_TRACE(fault);
    SystemSession session(std::string("[faults]\n") + fault + "\n");
    session.Open("");
    size_t handles = winsim::OpenKernelHandleCount();
    EXPECT_FALSE(restartSystem());
    EXPECT_FALSE(RestartKept(session));
    EXPECT_EQ(winsim::OpenKernelHandleCount(), handles);
    EXPECT_TRUE(session.Transcript().empty());
  }
}

}  // namespace
