// The wizard dialogs: which answers leave a dialog, which show it again, which go through the
// quit confirmation and which end the setup; the option dialog's choice; the distribution-path
// dialog's path handling. Routines that end the setup run in a child (death test).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/dialog_library.h"
#include "wizard_session.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;
using wizard_testing::DialogLines;
using wizard_testing::Lines;

namespace {

const Lines kExit = {"exit 0"};

// The flags the offers set are judged by the programs started at the end (finishing tests).
void Offer1200() {
  int f;
  PrintmanOffer(&f);
}
void Offer1400() {
  int f;
  HelpOffer(&f);
}

struct Row {
  const char *routine;
  void (*run)();
  const char *answers;
  bool ends;  // the setup ends inside the routine
};

// Every answer of every row is used: an answer left over, or a dialog the answers do not
// expect, fails the row.
const Row kRows[] = {
    {"welcome", WelcomeDialog,
     "100 BACK\n100 CANCEL\n200 CONTINUE\n100 EXIT\n200 CANCEL\n100 CONTINUE\n", false},
    {"welcome, quit", WelcomeDialog, "100 EXIT\n200 EXIT\n", true},
    {"quit confirmation", QuitConfirmation, "200 BACK\n200 CONTINUE\n", false},
    {"quit confirmation, cancel", QuitConfirmation, "200 CANCEL\n", false},
    {"quit confirmation, exit", QuitConfirmation, "200 BACK\n200 EXIT\n", true},
    {"newer-build warning", NewerBuildWarning, "2100 BACK\n2100 CONTINUE\n", false},
    {"newer-build warning, cancel", NewerBuildWarning, "2100 CANCEL\n", false},
    {"newer-build warning, exit", NewerBuildWarning, "2100 EXIT\n", true},
    {"not-administrator notice", NotAdministratorNotice,
     "2400 CANCEL\n2400 EXIT\n2400 BACK\n2400 CONTINUE\n", true},
    {"unsupported-system notice", UnsupportedSystemNotice,
     "2000 CANCEL\n2000 EXIT\n2000 BACK\n2000 CONTINUE\n", false},
    {"option dialog", OptionDialog,
     "800 CANCEL\n200 CONTINUE\n800 EXIT\n200 CANCEL\n800 BACK\n800 CONTINUE\n", false},
    {"option dialog, quit", OptionDialog, "800 EXIT\n200 EXIT\n", true},
    {"printman offer", Offer1200, "1200 EXIT\n1200 BACK\n1200 CONTINUE\n", false},
    {"printman offer, declined", Offer1200, "1200 CANCEL\n", false},
    {"help offer", Offer1400, "1400 EXIT\n1400 BACK\n1400 CONTINUE\n", false},
    {"help offer, declined", Offer1400, "1400 CANCEL\n", false},
    {"finish dialog", FinishDialog,
     "700 CANCEL\n200 CONTINUE\n700 EXIT\n200 CANCEL\n700 BACK\n700 CONTINUE\n", false},
    {"finish dialog, quit", FinishDialog, "700 CANCEL\n200 EXIT\n", true},
    {"upgrade notice", UpgradeNotice, "1000 CANCEL\n1000 EXIT\n1000 BACK\n1000 CONTINUE\n", false},
    {"restart-failed notice", RestartFailedNotice, "1600 CANCEL\n1600 EXIT\n1600 CONTINUE\n",
     false},
    {"spooler-restarted notice", SpoolerRestartedNotice,
     "2200 CANCEL\n2200 EXIT\n2200 BACK\n2200 CONTINUE\n", false},
    {"driver-files-missing notice", DriverFilesMissingNotice,
     "1300 CANCEL\n200 CONTINUE\n1300 EXIT\n200 CANCEL\n1300 BACK\n1300 CONTINUE\n", false},
    {"driver-files-missing notice, quit", DriverFilesMissingNotice, "1300 EXIT\n200 EXIT\n", true},
    {"path-problem notice", PathProblemNotice,
     "6400 BACK\n6400 EXIT\n200 CONTINUE\n6400 CONTINUE\n", false},
    {"path-problem notice, cancel", PathProblemNotice, "6400 CANCEL\n", false},
    {"path-problem notice, quit", PathProblemNotice, "6400 EXIT\n200 EXIT\n", true},
    {"restart offer, declined", RestartOffer, "1500 EXIT\n1500 BACK\n1500 CANCEL\n", false},
};

TEST(WizardDialogs, EachAnswerLeavesLoopsAsksToQuitOrEnds) {
  for (const Row &row : kRows) {
    SCOPED_TRACE(row.routine);
    SystemSession session;
    session.OpenWithFrame(row.answers);
    if (row.ends) {
      EXPECT_EXIT(row.run(), ExitedWithCode(0), "");
      EXPECT_EQ(session.Transcript(), DialogLines(row.answers, kExit));
    } else {
      row.run();
      EXPECT_EQ(session.Transcript(), DialogLines(row.answers));
      EXPECT_TRUE(setupkit::DialogStack().empty()) << "the routine removes its own dialog";
    }
  }
}

// ---- option dialog -------------------------------------------------------------------------

TEST(OptionDialog, FirstButtonGivesThreeAndEveryOtherGivesOne) {
  const struct {
    const char *button;
    int option;
  } cases[] = {{"1", 3}, {"10", 3}, {"2", 1}, {"3", 1}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.button);
    SystemSession session;
    session.OpenWithFrame(std::string("800 CONTINUE button=") + c.button + "\n");
    nSetupOption = 0;
    OptionDialog();
    EXPECT_EQ(nSetupOption, c.option);
  }
  EXPECT_EQ(SetupOptionFromButton(""), 1);
}

TEST(OptionDialog, EveryRunStartsOnTheFirstButton) {
  SystemSession session;
  session.OpenWithFrame("800 CONTINUE\n");
  setupkit::SetSymbol(SYM_RADIO_DEFAULT, "2");
  nSetupOption = 0;
  OptionDialog();
  EXPECT_EQ(nSetupOption, 3) << "the dialog came up on the first button";
}

// ---- distribution-path dialog --------------------------------------------------------------

// Runs the dialog on `initial` with the user accepting `typed`; answers the path offered.
std::string Offered(const std::string &initial, const std::string &machineExtra = "",
                    const std::string &typed = "E:\\X\\") {
  SystemSession session(machineExtra);
  session.OpenWithFrame("1100 CONTINUE text=" + typed + "\n");
  char path[520];
  lstrcpynA(path, initial.c_str(), sizeof path);
  DistributionPathDialog(path);
  EXPECT_EQ(std::string(path), typed) << "the path comes back as typed";
  EXPECT_EQ(setupkit::GetSymbol(SYM_EDIT_FOCUS), "ALL");
  return setupkit::GetSymbol(SYM_EDIT_TEXT_IN);
}

TEST(DistributionPathDialog, OffersThePathWithoutOneTrailingBackslash) {
  EXPECT_EQ(Offered("D:\\I386\\"), "D:\\I386");
  EXPECT_EQ(Offered("D:\\"), "D:");
  EXPECT_EQ(Offered("D:\\I386"), "D:\\I386");
  EXPECT_EQ(Offered("D:\\I386\\\\"), "D:\\I386\\");
  EXPECT_EQ(Offered(""), "");
  EXPECT_EQ(Offered("D:\\I386", "", "D:\\I386\\"), "D:\\I386");
}

TEST(DistributionPathDialog, DoubleByteCharacterEndingInTheBackslashByteIsKept) {
  // 0x95 0x5C is one character of code page 932 whose second byte has the backslash's value.
  const std::string cp932 = "[system]\ncodepage = 932\n";
  EXPECT_EQ(Offered("C:\\DIR\\\x95\x5C", cp932), "C:\\DIR\\\x95\x5C");
  EXPECT_EQ(Offered("C:\\DIR\\\x95\x5C\\", cp932), "C:\\DIR\\\x95\x5C");
  EXPECT_EQ(Offered("C:\\\x95\x5C", cp932, "C:\\\x95\x5C"), "C:\\\x95\x5C");
  // In a single-byte code page the same last byte is a backslash.
  EXPECT_EQ(Offered("C:\\DIR\\\x95\x5C"), "C:\\DIR\\\x95");
}

TEST(DistributionPathDialog, PathLongerThanTheWorkingBufferIsNotOffered) {
  std::string longest = "D:\\" + std::string(255, 'a') + "\\";  // 259 characters
  EXPECT_EQ(Offered(longest), longest.substr(0, 258));
  EXPECT_EQ(Offered(longest + "b"), "") << "cut, it would name another directory";
  EXPECT_EQ(Offered("D:\\" + std::string(400, 'a')), "");
}

TEST(DistributionPathDialog, EmptyOrInvalidPathIsAskedForAgain) {
  SystemSession session;
  const std::string answers =
      "1100 CONTINUE text=\n6400 CONTINUE\n1100 OK text=I386\n6400 CANCEL\n"
      "1100 CONTINUE text=\\\\server\\share\n6400 EXIT\n200 CONTINUE\n6400 CONTINUE\n"
      "1100 CONTINUE text=D:\\I386\\\n";
  session.OpenWithFrame(answers);
  char path[520] = "D:\\I386";
  DistributionPathDialog(path);
  EXPECT_STREQ(path, "D:\\I386\\");
  EXPECT_EQ(session.Transcript(), DialogLines(answers));
  EXPECT_TRUE(setupkit::DialogStack().empty());
}

TEST(DistributionPathDialog, LeavingChoicesGoThroughTheQuitConfirmation) {
  SystemSession session;
  const std::string answers =
      "1100 EXIT\n200 CONTINUE\n1100 CANCEL\n200 CANCEL\n1100 BACK\n200 CONTINUE\n"
      "1100 CONTINUE text=D:\\" +
      std::string(251, 'n') + "\n";
  session.OpenWithFrame(answers);
  char path[520] = "D:\\I386";
  DistributionPathDialog(path);
  EXPECT_EQ(std::string(path), "D:\\" + std::string(251, 'n')) << "254 characters fit";
  EXPECT_EQ(session.Transcript(), DialogLines(answers));

  SystemSession quit;
  quit.OpenWithFrame("1100 CANCEL\n200 EXIT\n");
  EXPECT_EXIT(DistributionPathDialog(path), ExitedWithCode(0), "");
  EXPECT_EQ(quit.Transcript(), Lines({"dialog 1100 CANCEL", "dialog 200 EXIT", "exit 0"}));
}

}  // namespace
