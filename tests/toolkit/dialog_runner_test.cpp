// The dialog runner, symbols and lists: what comes back, and how a bad call, a bad argument or an
// overflowing value ends the setup (in a child process, judged by its transcript).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/toolkit_services.h"

using ::testing::ExitedWithCode;
using testing_support::kError1024;
using testing_support::kOverflow;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

TEST(DialogResultCode, SumsTheFirstTwoCharactersAsSignedBytes) {
  EXPECT_EQ(DialogResultCode(KEYWORD_CONTINUE), RESULT_CONTINUE);
  EXPECT_EQ(DialogResultCode(KEYWORD_CANCEL), RESULT_CANCEL);
  EXPECT_EQ(DialogResultCode(KEYWORD_EXIT), RESULT_EXIT);
  EXPECT_EQ(DialogResultCode(KEYWORD_BACK), RESULT_BACK);
  // Only the first two letters count, so these cannot be told apart from the real keywords.
  EXPECT_EQ(DialogResultCode("CONFIRM"), RESULT_CONTINUE);
  EXPECT_EQ(DialogResultCode("EXPAND"), RESULT_EXIT);
  // Past the end counts as 0.
  EXPECT_EQ(DialogResultCode(""), 0);
  EXPECT_EQ(DialogResultCode("C"), 'C');
  // Characters above 127 are negative; the sum is masked to 16 bits.
  EXPECT_EQ(DialogResultCode("\xC3\xA9"), (-61 - 87) & 0xFFFF);
  EXPECT_EQ(DialogResultCode("\xFF"
                             "A"),
            64);
}

class DialogRunner : public ::testing::Test {
 protected:
  SystemSession session_;

  std::string Run(unsigned id, const char *proc, char *buffer, int size) {
    return RunDialog(DIALOG_LIBRARY, id, proc, 0, "", buffer, size);
  }
};

TEST_F(DialogRunner, KeywordOfFourteenCharactersFitsTheResultBuffer) {
  session_.OpenWithFrame("100 ABCDEFGHIJKLMN\n");
  char result[CB_DLG_RESULT];
  EXPECT_EQ(Run(DLG_WELCOME, PROC_WELCOME, result, CB_DLG_RESULT_PASSED), "ABCDEFGHIJKLMN");
  EXPECT_EQ(session_.Transcript(), Lines({"dialog 100 ABCDEFGHIJKLMN"}));
}

TEST_F(DialogRunner, KeywordOfFifteenCharactersOverflowsAndEndsTheSetup) {
  session_.OpenWithFrame("100 ABCDEFGHIJKLMNO\n2300 CONTINUE\n");
  char result[CB_DLG_RESULT];
  EXPECT_EXIT(Run(DLG_WELCOME, PROC_WELCOME, result, CB_DLG_RESULT_PASSED), ExitedWithCode(0), "");
  Lines expected = {"dialog 100 ABCDEFGHIJKLMNO"};
  expected.insert(expected.end(), kOverflow.begin(), kOverflow.end());
  EXPECT_EQ(session_.Transcript(), expected);
}

TEST_F(DialogRunner, ModelessDialogStaysUpUntilPopped) {
  session_.OpenWithFrame("");
  char result[CB_DLG_RESULT];
  Run(DLG_WAIT_START_SPOOLER, PROC_MODELESS, result, CB_DLG_RESULT_PASSED);
  EXPECT_EQ(setupkit::DialogStack(), std::vector<unsigned>({DLG_WAIT_START_SPOOLER}));
  PopDialogs(1);
  EXPECT_TRUE(setupkit::DialogStack().empty());
}

TEST(DialogRunnerFaults, FailedDialogCallEndsWithCode1024) {
  // The first modal dialog is the caller's; the error dialog is the second.
  SystemSession session("[faults]\nDialogBoxParamA#1 = 8\n");
  session.OpenWithFrame("2300 CONTINUE\n");
  char result[CB_DLG_RESULT];
  EXPECT_EXIT(RunDialog(DIALOG_LIBRARY, DLG_WELCOME, PROC_WELCOME, 0, "", result, 15),
              ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), kError1024);
}

TEST(DialogRunnerFaults, FailedRemovalEndsWithCode1024) {
  SystemSession session("[faults]\nDestroyWindow#1 = 1400\n");
  session.OpenWithFrame("2300 CONTINUE\n");
  char result[CB_DLG_RESULT];
  RunDialog(DIALOG_LIBRARY, DLG_WAIT_DRIVERS, PROC_MODELESS, 0, "", result, 15);
  EXPECT_EXIT(PopDialogs(1), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 1800", kError1024[0], kError1024[1], kError1024[2]}));
}

TEST_F(DialogRunner, PumpMessagesDispatchesOrdinaryMessagesAndReturns) {
  session_.OpenWithFrame("");
  ASSERT_TRUE(PostMessageA(HwndFrame(), WM_USER, 1, 2));
  ASSERT_TRUE(PostMessageA(HwndFrame(), WM_NULL, 0, 0));
  PumpMessages();
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) << "the queue is drained";
  EXPECT_TRUE(session_.Transcript().empty());
}

TEST_F(DialogRunner, QuitMessageEndsWithCode1025) {
  session_.OpenWithFrame("2300 CONTINUE\n");
  PostMessageA(HwndFrame(), WM_USER, 0, 0);
  PostQuitMessage(0);
  EXPECT_EXIT(PumpMessages(), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(),
            Lines({"error \"Error code = 1025\"", "dialog 2300 CONTINUE", "exit 0"}));
}

TEST_F(DialogRunner, QuitMessageWhileWaitDialogIsUpEndsAtItsRemoval) {
  session_.OpenWithFrame("2300 CONTINUE\n");
  char result[CB_DLG_RESULT];
  Run(DLG_WAIT_START_SPOOLER, PROC_MODELESS, result, CB_DLG_RESULT_PASSED);
  PostQuitMessage(0);
  EXPECT_EXIT(PopDialogs(1), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), Lines({"dialog 5300", "error \"Error code = 1025\"",
                                          "dialog 2300 CONTINUE", "exit 0"}));
}

class Symbols : public DialogRunner {
 protected:
  void SetUp() override { session_.OpenWithFrame("2300 CONTINUE\n"); }
};

TEST_F(Symbols, ValuesUpToOneLessThanTheSizeAreRead) {
  WriteSymbol("Answer", "12345678901234");
  char buffer[16];
  EXPECT_STREQ(ReadSymbol("Answer", buffer, 15), "12345678901234");
  DropSymbol("Answer");
  EXPECT_STREQ(ReadSymbol("Answer", buffer, 15), "");
}

TEST_F(Symbols, ValueAsLongAsTheSizeOverflows) {
  WriteSymbol("Answer", "123456789012345");
  char buffer[16];
  EXPECT_EXIT(ReadSymbol("Answer", buffer, 15), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kOverflow);
}

TEST_F(Symbols, EmptyOrMissingNameEndsWithCode1024) {
  char buffer[16];
  EXPECT_EXIT(ReadSymbol("", buffer, 15), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kError1024);
  session_.ClearTranscript();
  EXPECT_EXIT(ReadSymbol(NULL, buffer, 15), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kError1024);
  session_.ClearTranscript();
  EXPECT_EXIT(CountListItems(""), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kError1024);
  session_.ClearTranscript();
  EXPECT_EXIT(ReadListItem(NULL, 1, buffer, 15), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kError1024);
}

TEST_F(Symbols, ListsAreBuiltChangedAndReadByPosition) {
  AppendListItem("Models", "PageRelay 12");
  AppendListItem("Models", "ZELlaser 7200");
  ChangeListItem("Models", 2, "ZELcolorwriter 3000");
  ASSERT_EQ(CountListItems("Models"), 2);
  char buffer[64];
  EXPECT_STREQ(ReadListItem("Models", 1, buffer, sizeof(buffer)), "PageRelay 12");
  EXPECT_STREQ(ReadListItem("Models", 2, buffer, sizeof(buffer)), "ZELcolorwriter 3000");
}

TEST_F(Symbols, PositionsOutsideTheListEndWithCode1024) {
  AppendListItem("Models", "PageRelay 12");
  AppendListItem("Models", "ZELlaser 7200");
  char buffer[64];
  for (int position : {0, 3, -1}) {
    session_.ClearTranscript();
    EXPECT_EXIT(ReadListItem("Models", position, buffer, sizeof(buffer)), ExitedWithCode(0), "")
        << "position " << position;
    EXPECT_EQ(session_.Transcript(), kError1024) << "position " << position;
  }
}

TEST_F(Symbols, ListItemTooLongForTheBufferOverflows) {
  AppendListItem("Models", "ZELlaser 7200");  // 13 characters
  char buffer[16];
  EXPECT_STREQ(ReadListItem("Models", 1, buffer, 14), "ZELlaser 7200");
  EXPECT_EXIT(ReadListItem("Models", 1, buffer, 13), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(), kOverflow);
}

TEST_F(Symbols, SectionKeysBecomeAList) {
  ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
  ListSectionKeys(SYM_PPD_LIST, "PPD Files");
  ASSERT_EQ(CountListItems(SYM_PPD_LIST), 3);
  char buffer[64];
  EXPECT_STREQ(ReadListItem(SYM_PPD_LIST, 1, buffer, 64), "Norvale PageRelay 12");
  EXPECT_STREQ(ReadListItem(SYM_PPD_LIST, 3, buffer, 64), "Norvale PageRelay 12 Level2  8mb");
}

TEST(SymbolStore, FailedStoreEndsWithCode1024) {
  SystemSession session;
  session.OpenWithFrame("2300 CONTINUE\n");
  for (int i = 0; i < 65535; ++i) ASSERT_TRUE(FAddListItem("Models", "PageRelay"));  // full
  EXPECT_EXIT(AppendListItem("Models", "PageRelay 12"), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), kError1024);
}

}  // namespace
