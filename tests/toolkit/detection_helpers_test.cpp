// The detection helpers: what they hand the toolkit and leave in the caller's text, the date
// fields, the processor code, and how a text that does not fit ends the setup (in a child
// process, judged by its transcript).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "system_session.h"
#include "toolkit/detection_helpers.h"
#include "winsim/version.h"

using ::testing::ExitedWithCode;
using testing_support::kError1024;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

std::string ProcessorRegistry(const std::string &identifier) {
  return std::string(testing_support::kMinimalRegistry) +
         "[HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0]\r\n"
         "\"Identifier\"=\"" +
         identifier + "\"\r\n\r\n";
}

class DetectionHelpers : public ::testing::Test {
 protected:
  void Open(const std::string &registry = "") {
    session_ = std::make_unique<SystemSession>();
    if (!registry.empty()) session_->Image().WriteFile("system.reg", registry);
    session_->Image().WriteFile("drive_c/WINNT35/win.ini", "[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\n");
    session_->OpenWithFrame("2300 CONTINUE\n");
  }
  Lines Transcript() { return session_->Transcript(); }

  std::unique_ptr<SystemSession> session_;
};

TEST_F(DetectionHelpers, DriveTextsAreUpperCasedAsEachHelperDoes) {
  Open();
  // C: is the one drive: a TRUE answer shows that the toolkit was handed drive 3.
  char text[8] = "c:\\";
  EXPECT_TRUE(AskDriveValid(text));
  EXPECT_STREQ(text, "C:\\");

  std::strcpy(text, "c:\\");
  EXPECT_FALSE(AskDriveRemote(text));
  EXPECT_STREQ(text, "c:\\");
  EXPECT_GT(AskDriveFreeBytes(text), 0);
  EXPECT_STREQ(text, "c:\\");

  std::strcpy(text, "c:\\abc");
  EXPECT_TRUE(AskDriveLocalHard(text));
  EXPECT_STREQ(text, "C:\\ABC");

  std::strcpy(text, "c:\\abc");
  EXPECT_FALSE(AskDriveRemovable(text));
  EXPECT_STREQ(text, "C:\\abc");
  std::strcpy(text, "c:\\abc");
  EXPECT_GT(AskDriveTotalBytes(text), 0);
  EXPECT_STREQ(text, "C:\\abc");

  // Not a letter: a number outside 1 to 26, no drive.
  std::strcpy(text, "3:");
  EXPECT_FALSE(AskDriveValid(text));
  text[0] = '\0';
  EXPECT_FALSE(AskDriveValid(text));
}

TEST_F(DetectionHelpers, DateFieldsOfAFileWrittenOnTheFifthOfMay) {
  Open();
  session_->Image().WriteFile("drive_c/APP/graph.exe", "x");
  struct tm when = {};
  when.tm_year = 95, when.tm_mon = 4, when.tm_mday = 5, when.tm_hour = 23, when.tm_min = 59;
  when.tm_sec = 7;
  struct utimbuf times;
  times.actime = times.modtime = timegm(&when);
  ASSERT_EQ(utime(session_->Image().HostPath("drive_c/APP/graph.exe").c_str(), &times), 0);

  char date[32];
  MustReadFileDate("C:\\APP\\graph.exe", date, sizeof date);
  EXPECT_EQ(DateYear(date), 1995);
  EXPECT_EQ(DateMonth(date), 5);
  EXPECT_EQ(DateDay(date), 5);
  EXPECT_EQ(DateHour(date), 23);
  EXPECT_EQ(DateMinute(date), 59);
  EXPECT_EQ(DateSecond(date), 7);

  // Reading stops at the first non-digit and never goes past the end of the text.
  EXPECT_EQ(DateYear("19x5-05-05"), 19);
  EXPECT_EQ(DateMonth("1995-x5"), 0);
  EXPECT_EQ(DateDay("1995-05"), 0);
  EXPECT_EQ(DateSecond(""), 0);
}

TEST_F(DetectionHelpers, ProcessorCodeComparesNamesWithoutRegardToCase) {
  struct {
    const char *identifier;
    int code;
  } cases[] = {{"pentium", 5},
               {"x86 Family 4 Model 3 Stepping 2", 4},
               {"x86 Family 3 Model 0", 3},
               {"axp21064", 21064},
               {"R4000", 4000},
               {"Z80", PROCESSOR_UNKNOWN}};
  for (const auto &c : cases) {
    Open(ProcessorRegistry(c.identifier));
    EXPECT_EQ(ProcessorCode(), c.code) << c.identifier;
  }
  // A machine that does not say: 0, as for an 8086.
  Open();
  EXPECT_EQ(ProcessorCode(), 0);
}

TEST_F(DetectionHelpers, TextReadersLeaveAnEmptyTextWhenNothingIsWritten) {
  Open();
  char value[32] = "junk";
  EXPECT_STREQ(MustReadIniString("WIN.INI", "MSAPPS", "CLIPART", value, sizeof value), "");
  EXPECT_STREQ(MustReadIniString("WIN.INI", "MSAPPS", "MSAPPS", value, sizeof value), "C:\\SHARED");
  std::strcpy(value, "junk");
  EXPECT_STREQ(MustReadFileVersion("C:\\APP\\none.exe", value, sizeof value), "");
  std::strcpy(value, "junk");
  EXPECT_STREQ(MustFindOnEnvPath("none.exe", "PATH", value, sizeof value), "");
  std::strcpy(value, "junk");
  EXPECT_STREQ(MustReadEnvVariable("NOSUCH", value, sizeof value), "");
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(DetectionHelpers, TextThatDoesNotFitEndsWithoutTheOverflowBox) {
  Open();
  session_->Image().WriteFile("drive_c/APP/graph.exe",
                              winsim::VersionedBinary("graph", 256, 3 << 16 | 10, 103));
  // "3.10.0.103" fits 11 bytes, not 10.
  char version[11];
  EXPECT_STREQ(MustReadFileVersion("C:\\APP\\graph.exe", version, 11), "3.10.0.103");
  EXPECT_EXIT(MustReadFileVersion("C:\\APP\\graph.exe", version, 10), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kError1024);
}

TEST_F(DetectionHelpers, MalformedPathIsNoFileEvenWhereOneIsFound) {
  Open();
  session_->Image().WriteFile("drive_c/DIST/here.txt", "x");
  // The working directory is C:\DIST: the toolkit would find the relative name there.
  EXPECT_TRUE(FDoesFileExist("here.txt", femExists));
  EXPECT_FALSE(AskFileExists("here.txt", femExists));
  EXPECT_TRUE(AskFileExists("C:\\DIST\\HERE.TXT", femExists));
}

TEST_F(DetectionHelpers, FailedListBuilderEndsTheSetup) {
  Open();
  MustListValidDrives("Drives");
  EXPECT_EQ(UsGetListLength("Drives"), 1);
  EXPECT_EXIT(MustListSerialPorts(""), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kError1024);
}

}  // namespace
