// The dialogs answered from an answer file: the symbols they read and leave, the help dialog,
// the transcript, and a script that does not fit the run.
#include <gtest/gtest.h>

#include <windows.h>

#include "setupkit/setupkit.h"
#include "answered_frame.h"
#include "test_image.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

using testing_support::RunProgram;
using testing_support::TestImage;

namespace {

const std::string kHelper = std::string(NORVALE_BIN_DIR) + "/helper_dialogs";

class Answered : public testing_support::AnsweredFrameTest {
 protected:
  // Runs the dialog as the setup does and answers DLGEVENT.
  std::string Run(UINT id) {
    if (!testing_support::RunLibraryDialog(id)) return "<failed>";
    return Symbol(SYM_DLGEVENT);
  }
  std::string Symbol(const char *name) {
    char buf[300];
    CbGetSymbolValue(name, buf, sizeof buf);
    return buf;
  }
  std::string Transcript() { return image_.ReadFile("transcript.txt"); }
};

TEST_F(Answered, EveryDialogOfTheLibraryComesUpWithItsProcedure) {
  const unsigned modal[] = {100,  200,  2100, 2400, 2000, 800,  1200, 1400, 700, 1000,
                            1500, 1600, 2200, 1300, 1100, 6400, 2300, 400,  900};
  const unsigned modeless[] = {1700, 1800, 5100, 5300};
  std::string answers, expected;
  for (unsigned id : modal) {
    answers += std::to_string(id) + " CONTINUE\n";
    if (id == DLG_ERROR) expected += "error \"\"\n";
    expected += "dialog " + std::to_string(id) + " CONTINUE\n";
  }
  for (unsigned id : modeless) expected += "dialog " + std::to_string(id) + "\n";
  Start(answers);
  for (unsigned id : modal) {
    EXPECT_EQ(Run(id), "CONTINUE") << id;
    ASSERT_TRUE(FKillNDialogs(1));
  }
  for (unsigned id : modeless) {
    EXPECT_EQ(Run(id), "") << id;
    ASSERT_TRUE(FKillNDialogs(1));
  }
  EXPECT_EQ(Transcript(), expected);
}

TEST_F(Answered, RadioAndEditDialogsReadAndLeaveTheirSymbols) {
  Start(
      "800 CONTINUE\n"
      "800 CONTINUE button=1\n"
      "800 CONTINUE button=10   # a number no button has\n"
      "800 CONTINUE\n"
      "1100 CONTINUE\n"
      "1100 CONTINUE text=E:\\dist #2 \n"
      "1100 BACK text=\n");
  ASSERT_TRUE(FSetSymbolValue(SYM_RADIO_DEFAULT, "2"));
  EXPECT_EQ(Run(DLG_OPTION), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_BUTTON_CHECKED), "2");  // left as preselected
  EXPECT_EQ(Run(DLG_OPTION), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_BUTTON_CHECKED), "1");
  EXPECT_EQ(Run(DLG_OPTION), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_BUTTON_CHECKED), "10");
  ASSERT_TRUE(FSetSymbolValue(SYM_RADIO_DEFAULT, "7"));  // no such button: the first one
  EXPECT_EQ(Run(DLG_OPTION), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_BUTTON_CHECKED), "1");

  ASSERT_TRUE(FSetSymbolValue(SYM_EDIT_TEXT_IN, "D:\\I386"));
  ASSERT_TRUE(FSetSymbolValue(SYM_EDIT_FOCUS, "ALL"));
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_EDIT_TEXT_OUT), "D:\\I386");
  // text= is the rest of the line as written, "#" and the trailing blank included.
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_EDIT_TEXT_OUT), "E:\\dist #2 ");
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "BACK");
  EXPECT_EQ(Symbol(SYM_EDIT_TEXT_OUT), "");
  EXPECT_EQ(setupkit::DialogStack(), (std::vector<unsigned>{800, 1100}));
}

TEST_F(Answered, APathDialogBroughtBackWhileUpKeepsWhatWasTyped) {
  Start(
      "1100 CONTINUE text=Q:\\nowhere\n"
      "6400 CONTINUE\n"
      "1100 CONTINUE\n"
      "1100 CONTINUE\n");
  ASSERT_TRUE(FSetSymbolValue(SYM_EDIT_TEXT_IN, "D:\\I386"));
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "CONTINUE");
  EXPECT_EQ(Run(DLG_PATH_PROBLEM), "CONTINUE");
  ASSERT_TRUE(FKillNDialogs(1));
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_EDIT_TEXT_OUT), "Q:\\nowhere");

  // Once removed, the dialog comes up anew from "EditTextIn".
  ASSERT_TRUE(FKillNDialogs(1));
  EXPECT_EQ(Run(DLG_DISTRIBUTION_PATH), "CONTINUE");
  EXPECT_EQ(Symbol(SYM_EDIT_TEXT_OUT), "D:\\I386");
}

TEST_F(Answered, KeywordsAreTakenAsWrittenAndTheErrorTextIsRecorded) {
  Start(
      "# the error dialog\n"
      "\n"
      "2300 EXIT\n"
      "2300 cancel\n"
      "1200 ABCDEFGHIJKLMNO\n");
  ASSERT_TRUE(FSetSymbolValue(SYM_ERROR_TEXT, "Install -- \"AddMonitor\" failed,\nerror = 5"));
  EXPECT_EQ(Run(DLG_ERROR), "EXIT");
  ASSERT_TRUE(FSetSymbolValue(SYM_ERROR_TEXT, "Error code = 1024"));
  EXPECT_EQ(Run(DLG_ERROR), "cancel");
  EXPECT_EQ(Run(DLG_PRINTMAN_OFFER), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(CbGetSymbolValue(SYM_DLGEVENT, nullptr, 0), 15);
  EXPECT_EQ(Transcript(),
            "error \"Install -- \\\"AddMonitor\\\" failed,\\nerror = 5\"\n"
            "dialog 2300 EXIT\n"
            "error \"Error code = 1024\"\n"
            "dialog 2300 cancel\n"
            "dialog 1200 ABCDEFGHIJKLMNO\n");
}

TEST_F(Answered, TheHelpIsAnsweredFromInsideTheDialogThatOffersIt) {
  Start(
      "100 CONTINUE\n"
      "900 CONTINUE\n"
      "100 EXIT\n"
      "900 CANCEL\n"
      "900 CONTINUE\n"
      "200 CONTINUE\n");
  EXPECT_EQ(Run(DLG_WELCOME), "CONTINUE");
  EXPECT_EQ(Run(DLG_WELCOME), "EXIT");
  EXPECT_EQ(Run(DLG_QUIT), "CONTINUE");
  EXPECT_EQ(Transcript(),
            "dialog 100 CONTINUE\n"
            "dialog 900 CONTINUE\n"
            "dialog 100 EXIT\n"
            "dialog 900 CANCEL\n"
            "dialog 900 CONTINUE\n"
            "dialog 200 CONTINUE\n");
  // The help was never a dialog of the stack.
  EXPECT_EQ(setupkit::DialogStack(), (std::vector<unsigned>{100, 200}));
}

// ---- scripts that do not fit the run (child processes) -------------------------------------

struct ScriptRun {
  testing_support::RunResult result;
  std::string transcript;
};

ScriptRun RunScript(const std::string &answers, const std::vector<std::string> &steps) {
  TestImage image;
  image.WriteFile("answers.txt", answers);
  std::vector<std::string> argv = {kHelper};
  argv.insert(argv.end(), steps.begin(), steps.end());
  ScriptRun run;
  run.result = RunProgram(
      argv, {"WINSIM_MACHINE=" + image.Dir(), "WINSIM_ANSWERS=" + image.HostPath("answers.txt"),
             "WINSIM_TRANSCRIPT=" + image.HostPath("transcript.txt")});
  run.transcript = image.ReadFile("transcript.txt");
  return run;
}

TEST(AnswerScript, AWellFittingScriptRunsToTheEnd) {
  ScriptRun run = RunScript("100 CONTINUE\n800 CONTINUE button=2\n", {"100", "5300", "pop", "800"});
  EXPECT_EQ(run.result.status, 0) << run.result.err;
  EXPECT_EQ(run.result.out,
            "=> 100 CONTINUE\n=> 5300 \n=> pop 1\n=> 800 CONTINUE ButtonChecked=2\n");
  EXPECT_EQ(run.transcript, "dialog 100 CONTINUE\ndialog 5300\ndialog 800 CONTINUE\nexit 0\n");
}

TEST(AnswerScript, AnotherDialogThanTheScriptExpectsStopsTheRun) {
  ScriptRun run = RunScript("100 CONTINUE\n200 EXIT\n", {"100", "800", "200"});
  EXPECT_EQ(run.result.status, 2);
  EXPECT_NE(run.result.err.find("line 2: expected dialog 200, but dialog 800 came up"),
            std::string::npos)
      << run.result.err;
  EXPECT_EQ(run.result.out, "=> 100 CONTINUE\n");
  EXPECT_EQ(run.transcript, "dialog 100 CONTINUE\nexit 2\n");

  // The help answered where the dialog offers none is the same fault.
  run = RunScript("900 CONTINUE\n1200 CONTINUE\n", {"1200"});
  EXPECT_EQ(run.result.status, 2);
  EXPECT_NE(run.result.err.find("expected dialog 900, but dialog 1200 came up"), std::string::npos)
      << run.result.err;
}

TEST(AnswerScript, RunningOutOfAnswersStopsTheRun) {
  ScriptRun run = RunScript("# only one\n2300 CONTINUE\n", {"2300", "2300"});
  EXPECT_EQ(run.result.status, 2);
  EXPECT_NE(run.result.err.find("used up: expected no further dialog, but dialog 2300 came up"),
            std::string::npos)
      << run.result.err;
  // The error text is shown before the answer is looked for.
  EXPECT_EQ(run.transcript, "error \"\"\ndialog 2300 CONTINUE\nerror \"\"\nexit 2\n");
}

TEST(AnswerScript, LinesThatAreNoAnswersStopTheRun) {
  const std::pair<const char *, const char *> cases[] = {
      {"welcome CONTINUE\n", "line 1: an answer begins with a dialog id"},
      {"100\n", "line 1: the answer for dialog 100 gives no keyword"},
      {"100 # CONTINUE\n", "gives no keyword"},
      {"800 CONTINUE button=two\n", "button= takes the number of a radio button"},
      {"800 CONTINUE button=0\n", "button= takes the number of a radio button, not '0'"},
      {"800 CONTINUE button=4294967297\n", "button= takes the number of a radio button"},
      {"800 CONTINUE choice=2\n", "'choice=2' is neither"},
  };
  for (const auto &c : cases) {
    ScriptRun run = RunScript(c.first, {"800"});
    EXPECT_EQ(run.result.status, 2) << c.first;
    EXPECT_NE(run.result.err.find(c.second), std::string::npos) << c.first << run.result.err;
  }
  // Options for controls the dialog does not have.
  ScriptRun run = RunScript("100 CONTINUE button=1\n", {"100"});
  EXPECT_NE(run.result.err.find("dialog 100 has no radio buttons"), std::string::npos);
  run = RunScript("800 CONTINUE text=C:\\\n", {"800"});
  EXPECT_NE(run.result.err.find("dialog 800 has no edit field"), std::string::npos);
  EXPECT_EQ(run.result.status, 2);
}

}  // namespace
