// The toolkit wrappers: what they hand the toolkit, what comes back, and how a failed call or an
// overflowing field ends the setup (in a child process, judged by its transcript).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "system_session.h"
#include "toolkit/toolkit_services.h"
#include "toolkit/toolkit_wrappers.h"

using ::testing::ExitedWithCode;
using testing_support::kError1024;
using testing_support::kOverflow;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

class Wrappers : public ::testing::Test {
 protected:
  void Open(const std::string &machineExtra = "") {
    session_ = std::make_unique<SystemSession>(machineExtra);
    session_->Image().WriteFile("drive_c/DIST/setup.inf",
                                std::string(testing_support::SmallSetupInf()) +
                                    "[Fields]\r\n"
                                    "nine = 123456789\r\n"
                                    "ten = 1234567890\r\n"
                                    "number = 1,2,3,4,5,6,7,8,9,10,11,12,13,14,\"  -42 kB\"\r\n"
                                    "none = 1\r\n");
    session_->OpenWithFrame("2300 CONTINUE\n");
    ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
  }
  Lines Transcript() { return session_->Transcript(); }

  std::unique_ptr<SystemSession> session_;
};

TEST_F(Wrappers, FieldReaderTakesFieldsShorterThanTheBuffer) {
  Open();
  char buffer[10];
  EXPECT_STREQ(MustReadInfField1("Fields", "nine", buffer, sizeof buffer), "123456789");
  EXPECT_EQ(MustReadInfNumber15("Fields", "number"), -42);
  EXPECT_EQ(MustReadInfNumber15("Fields", "none"), 0);  // no field 15: no digits
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(Wrappers, FieldAsLongAsTheBufferOverflows) {
  Open();
  char buffer[10];
  EXPECT_EXIT(MustReadInfField1("Fields", "ten", buffer, sizeof buffer), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
}

TEST_F(Wrappers, MissingKeyEndsWithoutTheOverflowMessage) {
  Open();
  char buffer[10];
  EXPECT_EXIT(MustReadInfField1("Fields", "eleven", buffer, sizeof buffer), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kError1024);
}

TEST_F(Wrappers, QuitDuringTheCopyEndsWithTheQuitCode) {
  Open();
  MustAddSectionFilesToCopyList("Write Files", "C:\\DIST\\", "C:\\win32app\\zelpsmon");
  PostQuitMessage(0);
  EXPECT_EXIT(MustCopyFilesInCopyList(), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), Lines({"copy 0 of 2 files", "error \"Error code = 1025\"",
                                 "dialog 2300 CONTINUE", "exit 0"}));
  EXPECT_FALSE(session_->Image().Exists("drive_c/win32app"));
}

TEST_F(Wrappers, FailedCopyEndsWithTheCallFailure) {
  Open();
  session_->Image().WriteFile("drive_c/DIST/setup.inf", "[Docs]\r\nmissing.wri\r\n");
  ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
  MustAddSectionFilesToCopyList("Docs", "C:\\DIST\\", "C:\\win32app\\zelpsmon");
  EXPECT_EXIT(MustCopyFilesInCopyList(), ExitedWithCode(0), "");
  Lines expected = {
      "msgbox \"Setup\" \"Setup cannot copy C:\\\\DIST\\\\missing.wri to "
      "C:\\\\win32app\\\\zelpsmon\\\\missing.wri: the file does not exist.\"",
      "copy 0 of 1 files"};
  expected.insert(expected.end(), kError1024.begin(), kError1024.end());
  EXPECT_EQ(Transcript(), expected);
}

TEST_F(Wrappers, CopyRunsTheList) {
  Open();
  MustAddSectionFilesToCopyList("Write Files", "C:\\DIST\\", "C:\\win32app\\zelpsmon");
  MustCopyFilesInCopyList();
  EXPECT_EQ(Transcript(), Lines({"copy 2 of 2 files"}));
  EXPECT_TRUE(session_->Image().Exists("drive_c/win32app/zelpsmon/spdesc50.wri"));
}

TEST_F(Wrappers, ItemTextIsTheTitleWithOrWithoutItsIconFile) {
  Open();
  MustCreateProgManGroupEx("Norvale Network Printers", NULL, 1);
  MustShowProgManGroupEx("Norvale Network Printers", NULL, 1, 1);
  MustCreateProgManItemEx("Norvale Network Printers", NULL, "Norvale Network Printing Help",
                          "zelpsmon.hlp", "winhlp32.exe", 1024);
  MustCreateProgManItemEx("Norvale Network Printers", NULL, "Release notes",
                          "WRITE C:\\win32app\\zelpsmon\\relnt50.wri", "", 1024);
  MustCreateProgManItem("Startup", "Monitor help", "zelpsmon.hlp", NULL, 0);
  EXPECT_EQ(session_->Image().ReadFile("progman.ini"),
            "; Program Manager groups and items. Item = title, command line, icon file.\r\n"
            "\r\n[Norvale Network Printers]\r\nShow = 1\r\n"
            "Item = \"Norvale Network Printing Help\", \"zelpsmon.hlp\", \"winhlp32.exe\"\r\n"
            "Item = \"Release notes\", \"WRITE C:\\win32app\\zelpsmon\\relnt50.wri\", \"\"\r\n"
            "\r\n[Startup]\r\nItem = \"Monitor help\", \"zelpsmon.hlp\", \"\"\r\n");
}

TEST_F(Wrappers, FileSearchThatFindsNothingGivesTheEmptyText) {
  Open();
  char buffer[64] = "stale";
  EXPECT_STREQ(MustFindFileUsingFileOpen("nowhere.dll", buffer, sizeof buffer), "");
  EXPECT_STREQ(MustFindFileUsingFileOpen("relnt50.wri", buffer, sizeof buffer),
               "C:\\DIST\\relnt50.wri");
  EXPECT_EXIT(MustFindFileUsingFileOpen("relnt50.wri", buffer, 8), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kError1024);
}

TEST_F(Wrappers, FailedToolkitCallsEndTheSetup) {
  struct Case {
    const char *fault;
    void (*call)();
  };
  const Case cases[] = {
      {"CreateDirectoryA", [] { MustCreateDir("C:\\NEW", cmoNone); }},
      {"WritePrivateProfileStringA", [] { MustCreateIniKeyValue("WIN.INI", "S", "K", "V", 0); }},
      {"DdeClientTransaction", [] { MustShowProgManGroupEx("G", NULL, 1, 1); }},
      {"", [] { MustSetRestartDir("C:\\DIST\\setup.inf"); }},  // a file, not a directory
      {"", [] { MustRestoreCursor(NULL); }},
      {"", [] { MustAddSectionFilesToCopyList("No Such Section", "C:\\DIST\\", "C:\\X"); }},
  };
  for (const Case &c : cases) {
    Open(*c.fault ? std::string("[faults]\n") + c.fault + " = 1\n" : "");
    EXPECT_EXIT(c.call(), ExitedWithCode(0), "") << c.fault;
    EXPECT_EQ(Transcript(), kError1024) << c.fault;
  }
}

TEST_F(Wrappers, PassThroughsAnswerWhatTheyAreAnswered) {
  Open();
  EXPECT_EQ(AskScreenWidth(), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(AskScreenHeight(), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_FALSE(ChangeSilentMode(TRUE));
  EXPECT_TRUE(ChangeSilentMode(FALSE));
  EXPECT_TRUE(AskRestartListEmpty());
  EXPECT_TRUE(AskDirWritable("C:\\DIST"));
  EXPECT_FALSE(AskFileWritable("C:\\NO\\SUCH\\DIR\\file"));
  EXPECT_TRUE(MoveCopyGauge(1, 4));
  EXPECT_EQ(setupkit::GaugePercent(), 25u);
  EXPECT_EQ(ToolkitLayerRevision(), 2);
}

}  // namespace
