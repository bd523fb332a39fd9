// The toolkit's detection library and path queries on small machines: drives as machine.ini
// maps them, what NT recorded below HARDWARE, file facts read from the image, searches, .ini
// queries, and the error handler's message.
#include <gtest/gtest.h>

#include <windows.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/toolkit_services.h"
#include "winsim/version.h"

using testing_support::TestImage;

namespace {

std::string Hardware(const std::string &keys) {
  return std::string(testing_support::kMinimalRegistry) + keys;
}

// A program file carrying the file version a.b.c.d.
std::string Versioned(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return winsim::VersionedBinary("test", 512, a << 16 | b, c << 16 | d);
}

void SetModified(const std::string &hostPath, int year, int month, int day, int hour, int minute,
                 int second) {
  struct tm when = {};
  when.tm_year = year - 1900, when.tm_mon = month - 1, when.tm_mday = day;
  when.tm_hour = hour, when.tm_min = minute, when.tm_sec = second;
  struct utimbuf times;
  times.actime = times.modtime = timegm(&when);
  ASSERT_EQ(utime(hostPath.c_str(), &times), 0);
}

std::vector<std::string> List(const char *symbol) {
  std::vector<std::string> items;
  char item[64];
  for (USHORT i = 1; i <= UsGetListLength(symbol); ++i) {
    CbGetListItem(symbol, i, item, sizeof item);
    items.push_back(item);
  }
  return items;
}

class Detection : public ::testing::Test {
 protected:
  void TearDown() override { setupkit::ResetToolkit(); }
};

TEST_F(Detection, DrivesAreTheMappedLettersWithFloppiesOnAAndB) {
  TestImage image(
      "[system]\nwindows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\n"
      "[drives]\nC = drive_c\nD = drive_d\n");
  image.WriteFile("drive_d/readme.txt", "d");
  // Started from outside the image: the working directory is seen as A:.
  std::string outside = testing_support::MakeTempDir("det-floppy-");
  image.Open(outside);

  EXPECT_TRUE(FIsValidDrive(1));
  EXPECT_FALSE(FIsValidDrive(2));
  EXPECT_TRUE(FIsValidDrive(3));
  EXPECT_TRUE(FIsValidDrive(4));
  for (int outOfRange : {0, 27, -3, 'c' - 64}) EXPECT_FALSE(FIsValidDrive(outOfRange));

  EXPECT_TRUE(FIsRemoveDrive(1));
  EXPECT_FALSE(FIsLocalHardDrive(1));
  EXPECT_TRUE(FIsLocalHardDrive(3));
  EXPECT_FALSE(FIsRemoveDrive(3));
  EXPECT_FALSE(FIsLocalHardDrive(5));
  EXPECT_FALSE(FIsRemoteDrive(3));

  LONG total = LcbTotalDrive(3), free = LcbFreeDrive(3);
  EXPECT_GT(total, 0);
  EXPECT_GE(free, 0);
  EXPECT_LE(free, total);
  EXPECT_EQ(LcbTotalDrive(5), 0);

  ASSERT_TRUE(FGetValidDrivesList("Drives"));
  EXPECT_EQ(List("Drives"), (std::vector<std::string>{"A:", "C:", "D:"}));
  ASSERT_TRUE(FGetLocalHardDrivesList("Drives"));
  EXPECT_EQ(List("Drives"), (std::vector<std::string>{"C:", "D:"}));
  ASSERT_TRUE(FGetRemovableDrivesList("Drives"));
  EXPECT_EQ(List("Drives"), (std::vector<std::string>{"A:"}));
  ASSERT_TRUE(FGetNetworkDrivesList("Drives"));
  EXPECT_EQ(UsGetListLength("Drives"), 0);
  EXPECT_FALSE(FGetValidDrivesList(""));
  testing_support::RemoveTree(outside);
}

TEST_F(Detection, PortsProcessorAndHardwareComeFromWhatNtRecorded) {
  TestImage image(
      "",
      Hardware("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\PARALLEL PORTS]\r\n"
               "\"\\\\Device\\\\ParallelPort0\"=\"\\\\DosDevices\\\\LPT1\"\r\n"
               "\"\\\\Device\\\\ParallelPort1\"=\"\\\\DosDevices\\\\LPT2\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
               "\"Serial0\"=\"COM1\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\PointerPort]\r\n"
               "\"\\\\Device\\\\PointerPort0\"=\"\\\\REGISTRY\\\\Machine\\\\System\"\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor\\0]\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0]\r\n"
               "\"Identifier\"=\"x86 Family 5 Model 2 Stepping 5\"\r\n"
               "\r\n"));
  image.Open();
  ASSERT_TRUE(FGetParallelPortsList("Ports"));
  EXPECT_EQ(List("Ports"), (std::vector<std::string>{"LPT1", "LPT2"}));
  ASSERT_TRUE(FGetSerialPortsList("Ports"));
  EXPECT_EQ(List("Ports"), (std::vector<std::string>{"COM1"}));
  EXPECT_TRUE(FHas87MathChip());
  EXPECT_TRUE(FHasMouseInstalled());
  EXPECT_FALSE(FHasMonochromeDisplay());

  char name[32] = "junk";
  ASSERT_TRUE(FGetProcessorType("CPU", 0, name, sizeof name));
  EXPECT_STREQ(name, "PENTIUM");
  EXPECT_EQ(setupkit::GetSymbol("CPU"), "PENTIUM");
  // A name that does not fit is no answer, and nothing of it is left in the buffer.
  char small[7] = "junk";
  EXPECT_FALSE(FGetProcessorType("", 0, small, sizeof small));
  EXPECT_STREQ(small, "");
}

TEST_F(Detection, AMachineThatRecordedNothingHasNoPortsNorProcessorName) {
  TestImage image;
  image.Open();
  ASSERT_TRUE(FGetParallelPortsList("Ports"));
  EXPECT_EQ(UsGetListLength("Ports"), 0);
  EXPECT_FALSE(FHas87MathChip());
  EXPECT_FALSE(FHasMouseInstalled());
  char name[32] = "junk";
  EXPECT_FALSE(FGetProcessorType("", 0, name, sizeof name));
  EXPECT_STREQ(name, "");
}

TEST_F(Detection, VersionDateAndSizeAreReadFromTheFile) {
  TestImage image;
  image.WriteFile("drive_c/APP/graph.exe", Versioned(3, 10, 0, 103));
  image.WriteFile("drive_c/APP/plain.txt", "no version here");
  SetModified(image.HostPath("drive_c/APP/graph.exe"), 1995, 5, 5, 7, 8, 9);
  image.Open();

  char text[32];
  EXPECT_EQ(CbGetVersionOfFile("C:\\app\\GRAPH.EXE", text, sizeof text), 10);
  EXPECT_STREQ(text, "3.10.0.103");
  EXPECT_EQ(CbGetDateOfFile("C:\\APP\\graph.exe", text, sizeof text), 19);
  EXPECT_STREQ(text, "1995-05-05-07-08-09");
  EXPECT_EQ(LcbGetSizeOfFile("C:\\APP\\graph.exe"), 512);

  // Too small: the full length, and what fits, terminated.
  char small[5];
  EXPECT_EQ(CbGetVersionOfFile("C:\\APP\\graph.exe", small, sizeof small), 10);
  EXPECT_STREQ(small, "3.10");

  // Nothing to report: nothing written.
  for (const char *file : {"C:\\APP\\plain.txt", "C:\\APP\\missing.exe", "C:\\APP"}) {
    std::strcpy(text, "untouched");
    EXPECT_EQ(CbGetVersionOfFile(file, text, sizeof text), 0) << file;
    EXPECT_STREQ(text, "untouched") << file;
  }
  EXPECT_EQ(CbGetDateOfFile("C:\\APP\\missing.exe", text, sizeof text), 0);
  EXPECT_EQ(LcbGetSizeOfFile("C:\\APP\\missing.exe"), -1);
  EXPECT_EQ(LcbGetSizeOfFile("C:\\APP"), -1);
}

TEST_F(Detection, VersionFieldsAreNumbersOfTheDottedText) {
  TestImage image;
  image.Open();
  EXPECT_EQ(LGetVersionNthField("3.10.0.103", 1), 3);
  EXPECT_EQ(LGetVersionNthField("3.10.0.103", 2), 10);
  EXPECT_EQ(LGetVersionNthField("3.10.0.103", 4), 103);
  EXPECT_EQ(LGetVersionNthField("3.10", 3), 0);
  EXPECT_EQ(LGetVersionNthField("3.10", 0), 0);
  EXPECT_EQ(LGetVersionNthField("1.2.3.4.5", 5), 0);
  EXPECT_EQ(LGetVersionNthField("", 1), 0);
  EXPECT_EQ(LGetVersionNthField("99999999999.1", 1), 0x7FFFFFFF);
}

TEST_F(Detection, PathsAreFullPathsOfFilesSplitByWholeCharacters) {
  TestImage image(
      "[system]\nwindows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\n"
      "codepage = 932\n[drives]\nC = drive_c\n");
  image.Open();
  EXPECT_TRUE(FValidPath("C:\\APP\\GRAPH.EXE"));
  EXPECT_TRUE(FValidPath("c:/app/graph.exe"));
  for (const char *bad : {"", "C:", "C:\\", "C:\\APP\\", "GRAPH.EXE", "C:GRAPH.EXE",
                          "\\\\server\\share\\f", "C:\\A\\\\B", "C:\\A?\\B", "C:\\  \\B"})
    EXPECT_FALSE(FValidPath(bad)) << bad;

  char volume[8], dir[64], file[16];
  ASSERT_TRUE(FParsePathIntoPieces("C:\\APP\\SUB\\GRAPH.EXE", volume, sizeof volume, dir,
                                   sizeof dir, file, sizeof file));
  EXPECT_STREQ(volume, "C:");
  EXPECT_STREQ(dir, "\\APP\\SUB\\");
  EXPECT_STREQ(file, "GRAPH.EXE");

  // In code page 932 the second byte of 0x95 0x5C is not a backslash.
  ASSERT_TRUE(
      FParsePathIntoPieces("C:\\APP\\\x95\\.DLL", nullptr, 0, dir, sizeof dir, file, sizeof file));
  EXPECT_STREQ(dir, "\\APP\\");
  EXPECT_STREQ(file, "\x95\\.DLL");

  // A piece that does not fit: FALSE, and no piece is written.
  std::strcpy(volume, "v");
  std::strcpy(file, "f");
  EXPECT_FALSE(
      FParsePathIntoPieces("C:\\APP\\GRAPHICS.EXE", volume, sizeof volume, nullptr, 0, file, 12));
  EXPECT_STREQ(volume, "v");
  EXPECT_STREQ(file, "f");
}

TEST_F(Detection, FileExistenceAndAccess) {
  TestImage image;
  image.WriteFile("drive_c/APP/rw.dll", "x");
  image.WriteFile("drive_c/APP/ro.dll", "x");
  chmod(image.HostPath("drive_c/APP/ro.dll").c_str(), 0444);
  image.Open();
  EXPECT_TRUE(FDoesFileExist("C:\\APP\\RW.DLL", femExists));
  EXPECT_TRUE(FDoesFileExist("C:\\APP\\rw.dll", femReadWrite));
  EXPECT_TRUE(FDoesFileExist("C:\\APP\\ro.dll", femRead));
  EXPECT_FALSE(FDoesFileExist("C:\\APP\\ro.dll", femWrite));
  EXPECT_FALSE(FDoesFileExist("C:\\APP\\ro.dll", femReadWrite));
  EXPECT_FALSE(FDoesFileExist("C:\\APP", femExists));
  EXPECT_FALSE(FDoesFileExist("C:\\APP\\none.dll", femExists));
  EXPECT_TRUE(FDirExists("C:\\APP"));
  EXPECT_TRUE(FDirExists("C:\\"));
  EXPECT_FALSE(FDirExists("C:\\APP\\rw.dll"));
  EXPECT_FALSE(FDirExists("Q:\\"));
}

TEST_F(Detection, SearchesOnAVariableAndInATree) {
  TestImage image(std::string(testing_support::kDefaultMachine) +
                  "[environment]\nPATH = C:\\NONE; C:\\TOOLS ;C:\\BIN\nEMPTY =\n");
  image.WriteFile("drive_c/TOOLS/zip.exe", "1");
  image.WriteFile("drive_c/BIN/zip.exe", "2");
  image.WriteFile("drive_c/TREE/a/deep/target.dll", "deep");
  image.WriteFile("drive_c/TREE/b/target.dll", "b");
  image.WriteFile("drive_c/TREE/TARGET.DLL/file", "a directory of that name is no match");
  image.Open();

  char path[128];
  EXPECT_EQ(CbFindTargetOnEnvVar("ZIP.EXE", "path", path, sizeof path), 16);
  EXPECT_STREQ(path, "C:\\TOOLS\\ZIP.EXE");
  std::strcpy(path, "untouched");
  EXPECT_EQ(CbFindTargetOnEnvVar("unzip.exe", "PATH", path, sizeof path), 0);
  EXPECT_EQ(CbFindTargetOnEnvVar("zip.exe", "NOSUCH", path, sizeof path), 0);
  EXPECT_STREQ(path, "untouched");

  // Files of a directory before its subdirectories, subdirectories in name order.
  ASSERT_GT(CbFindFileInTree("target.dll", "C:\\TREE", path, sizeof path), 0);
  EXPECT_STREQ(path, "C:\\TREE\\a\\deep\\target.dll");
  EXPECT_EQ(CbFindFileInTree("none.dll", "C:\\TREE", path, sizeof path), 0);
  EXPECT_EQ(CbFindFileInTree("target.dll", "C:\\NOWHERE", path, sizeof path), 0);

  EXPECT_EQ(CbGetEnvVariableValue("Path", path, sizeof path), 25);
  EXPECT_STREQ(path, "C:\\NONE; C:\\TOOLS ;C:\\BIN");
  std::strcpy(path, "untouched");
  EXPECT_EQ(CbGetEnvVariableValue("NOSUCH", path, sizeof path), 0);
  EXPECT_STREQ(path, "untouched");
}

TEST_F(Detection, IniQueries) {
  TestImage image;
  image.WriteFile("drive_c/WINNT35/win.ini",
                  "[windows]\r\nload=\r\n; comment\r\n[MSAPPS]\r\nMSAPPS = C:\\SHARED\r\n");
  image.Open();
  char value[64] = "untouched";
  EXPECT_EQ(CbGetIniKeyString("WIN.INI", "msapps", "Msapps", value, sizeof value), 9);
  EXPECT_STREQ(value, "C:\\SHARED");
  EXPECT_EQ(CbGetIniKeyString("C:\\WINNT35\\WIN.INI", "windows", "load", value, sizeof value), 0);
  std::strcpy(value, "untouched");
  EXPECT_EQ(CbGetIniKeyString("WIN.INI", "MSAPPS", "CLIPART", value, sizeof value), 0);
  EXPECT_EQ(CbGetIniKeyString("NONE.INI", "MSAPPS", "MSAPPS", value, sizeof value), 0);
  EXPECT_STREQ(value, "untouched");

  EXPECT_TRUE(FDoesIniSectionExist("win.ini", "WINDOWS"));
  EXPECT_FALSE(FDoesIniSectionExist("win.ini", "fonts"));
  EXPECT_TRUE(FDoesIniKeyExist("win.ini", "windows", "LOAD"));
  EXPECT_FALSE(FDoesIniKeyExist("win.ini", "windows", "; comment"));
  EXPECT_FALSE(FDoesIniKeyExist("none.ini", "windows", "load"));
}

TEST_F(Detection, DriverInConfigLooksAtTheDeviceLinesOfConfigSys) {
  TestImage image;
  image.WriteFile("drive_c/CONFIG.SYS",
                  "REM DEVICE=C:\\DOS\\SETVER.EXE\r\n"
                  "device = C:\\DOS\\HIMEM.SYS /TESTMEM:OFF\r\n"
                  "DEVICEHIGH=ANSI.SYS\r\n"
                  "FILES=40\r\n");
  image.Open();
  EXPECT_TRUE(FIsDriverInConfig("himem.sys"));
  EXPECT_TRUE(FIsDriverInConfig("HIMEM"));
  EXPECT_TRUE(FIsDriverInConfig("C:\\OTHER\\ANSI.SYS"));
  EXPECT_FALSE(FIsDriverInConfig("SETVER.EXE"));
  EXPECT_FALSE(FIsDriverInConfig("HIMEM.EXE"));
  EXPECT_FALSE(FIsDriverInConfig("/TESTMEM:OFF"));
  EXPECT_FALSE(FIsDriverInConfig(""));
}

TEST(ErrorHandler, TellsTheUserWhichStepFailed) {
  testing_support::SystemSession session;
  session.Open("");
  EXPECT_EQ(EercErrorHandler(grcRegistryFailed, TRUE, "CreateRegKey", nullptr, nullptr), eercAbort);
  EXPECT_EQ(EercErrorHandler(7, FALSE, "a", "", "b"), eercIgnore);
  EXPECT_EQ(session.Transcript(),
            (std::vector<std::string>{
                "msgbox \"Setup\" \"A registry database operation failed: CreateRegKey.\"",
                "msgbox \"Setup\" \"Setup error 7: a, b.\""}));
}

}  // namespace
