// The two fatal reporters, each run in a child process: what the error dialog shows, how often,
// what their guards do when the dialog machinery fails under them, and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "system_session.h"
#include "toolkit/dialog_library.h"
#include "toolkit/dialog_runner.h"
#include "toolkit/error_reporting.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

TEST(ReportApiError, ShowsTheCodeUntilClosedThenEnds) {
  SystemSession session;
  // EXIT and BACK do not close the error dialog; CANCEL does.
  session.OpenWithFrame("100 CONTINUE\n2300 EXIT\n2300 BACK\n2300 CANCEL\n");
  char result[CB_DLG_RESULT];
  RunDialog(DIALOG_LIBRARY, DLG_WELCOME, PROC_WELCOME, 0, "", result, CB_DLG_RESULT_PASSED);
  EXPECT_EXIT(ReportApiError(SETUP_ERR_CALL_FAILED), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 100 CONTINUE", "error \"Error code = 1024\"", "dialog 2300 EXIT",
                   "error \"Error code = 1024\"", "dialog 2300 BACK", "error \"Error code = 1024\"",
                   "dialog 2300 CANCEL", "exit 0"}));
}

TEST(ReportApiError, CodeZeroShowsThePlainExitNotice) {
  SystemSession session;
  session.OpenWithFrame("400 CONTINUE\n");
  EXPECT_EXIT(ReportApiError(0), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), Lines({"dialog 400 CONTINUE", "exit 0"}));
}

TEST(ReportApiError, FailureWhileShowingItsDialogEndsSilently) {
  SystemSession session;
  // The keyword overflows the result buffer: the wrapper reports again, and the guard ends
  // the setup without a second error dialog.
  session.OpenWithFrame("2300 ABCDEFGHIJKLMNOP\n");
  EXPECT_EXIT(ReportApiError(SETUP_ERR_CALL_FAILED), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"error \"Error code = 1024\"", "dialog 2300 ABCDEFGHIJKLMNOP",
                   "msgbox \"MS-Setup Error\" \"Buffer Overflow\"", "exit 0"}));
}

TEST(ReportApiError, FailedDialogCallEndsSilently) {
  SystemSession session("[faults]\nDialogBoxParamA = 8\n");
  session.OpenWithFrame("");
  EXPECT_EXIT(ReportApiError(SETUP_ERR_CALL_FAILED), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), Lines({"exit 0"}));
}

TEST(ReportSetupError, ShowsThePlainTextOrTheFilledFormat) {
  SystemSession session;
  session.OpenWithFrame("2300 CONTINUE\n");
  EXPECT_EXIT(ReportSetupError("PPD path string too small"), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"error \"PPD path string too small\"", "dialog 2300 CONTINUE", "exit 0"}));

  session.ClearTranscript();
  EXPECT_EXIT(ReportSetupError("Install -- FixReg failed, error = %d", 5), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), Lines({"error \"Install -- FixReg failed, error = 5\"",
                                         "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(ReportSetupError, RerunsTheDialogUntilContinueOrCancel) {
  SystemSession session;
  session.OpenWithFrame("2300 EXIT\n2300 CONTINUE\n");
  EXPECT_EXIT(ReportSetupError("startSpooler failed, error = %d", 1053), ExitedWithCode(0), "");
  EXPECT_EQ(
      session.Transcript(),
      Lines({"error \"startSpooler failed, error = 1053\"", "dialog 2300 EXIT",
             "error \"startSpooler failed, error = 1053\"", "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(ReportSetupError, LongMessageIsCutToTheBuffer) {
  SystemSession session;
  session.OpenWithFrame("2300 CONTINUE\n");
  std::string longText(3000, 'x');
  EXPECT_EXIT(ReportSetupError("Install -- %s", longText.c_str()), ExitedWithCode(0), "");
  Lines lines = session.Transcript();
  ASSERT_EQ(lines.size(), 3u);
  std::string shown = "Install -- " + longText;
  shown.resize(1023);
  EXPECT_EQ(lines[0], "error \"" + shown + "\"");
}

TEST(ReportSetupError, FailureInsideShowsCode1024) {
  SystemSession session;
  session.OpenWithFrame("2300 ABCDEFGHIJKLMNO\n2300 CONTINUE\n");
  EXPECT_EXIT(ReportSetupError("System path string too small"), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"error \"System path string too small\"", "dialog 2300 ABCDEFGHIJKLMNO",
                   "msgbox \"MS-Setup Error\" \"Buffer Overflow\"", "error \"Error code = 1024\"",
                   "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(ReportSetupError, QuitMessageWhileReportingShowsCode1025) {
  SystemSession session;
  session.OpenWithFrame("2300 CONTINUE\n");
  PostQuitMessage(0);
  EXPECT_EXIT(ReportSetupError("PPD path string too small"), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"error \"Error code = 1025\"", "dialog 2300 CONTINUE", "exit 0"}));
}

}  // namespace
