#include <gtest/gtest.h>

#include <windows.h>

#include "test_image.h"
#include "winsim/ini_file.h"

using testing_support::RunProgram;
using testing_support::TestImage;

namespace {

const char kMachine[] =
    "; a test machine\n"
    "[system]\n"
    "version = 3.10.528\n"
    "processor = MIPS\n"
    "codepage = 932\n"
    "\n"
    "[drives]\n"
    "C = drive_c\n"
    "D = cdrom\n"
    "\n"
    "[environment]\n"
    "PATH = C:\\WINNT35\\system32;C:\\WINNT35\n"
    "\n"
    "[token]\n"
    "administrators = deny-only\n"
    "thread_token = 1346\n"
    "privileges = SeShutdownPrivilege SeBackupPrivilege\n"
    "\n"
    "[service Spooler]\n"
    "state = running\n"
    "stop_ms = 4000\n"
    "wait_hint_ms = 1000\n"
    "\n"
    "[service Fax]\n"
    "state = stopped\n"
    "depends = Spooler\n"
    "start_error = 1058\n"
    "\n"
    "[deny]\n"
    "key = HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked\n"
    "printer = Accounts\n"
    "\n"
    "[faults]\n"
    "GetPrinterDriverDirectoryA = 122\n"
    "DeleteFileA#2 = 5\n"
    "\n"
    "[future]\n"
    "anything = kept\n";

}  // namespace

TEST(MachineImage, ReadsEveryKeyOfMachineIni) {
  TestImage image(kMachine);
  image.WriteFile("cdrom/I386/readme.txt", "x");
  image.Open();
  const winsim::Machine &m = winsim::M();
  EXPECT_EQ(m.major, 3u);
  EXPECT_EQ(m.minor, 10u);
  EXPECT_EQ(m.build, 528u);
  EXPECT_FALSE(m.windows95);
  EXPECT_EQ(m.processor, "MIPS");
  EXPECT_EQ(m.codepage, 932u);
  EXPECT_EQ(m.windowsDir, "C:\\WINNT35");  // defaults where a key is not given
  EXPECT_EQ(m.systemDir, "C:\\WINNT35\\system32");
  ASSERT_EQ(m.drives.count('D'), 1u);
  EXPECT_EQ(m.drives.at('D'), image.Dir() + "/cdrom");
  ASSERT_EQ(m.environment.size(), 1u);
  EXPECT_EQ(m.environment[0].first, "PATH");
  EXPECT_EQ(m.administrators, winsim::AdminGroup::DenyOnly);
  EXPECT_EQ(m.threadToken, "1346");
  EXPECT_EQ(m.privilegesHeld,
            (std::vector<std::string>{"SeShutdownPrivilege", "SeBackupPrivilege"}));
  ASSERT_EQ(m.services.size(), 2u);
  EXPECT_EQ(m.services[0].name, "Spooler");
  EXPECT_EQ(m.services[0].stopMs, 4000u);
  EXPECT_EQ(m.services[1].depends, std::vector<std::string>{"Spooler"});
  EXPECT_EQ(m.services[1].startError, 1058u);
  EXPECT_EQ(m.denyKeys, std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked"});
  EXPECT_EQ(m.denyPrinters, std::vector<std::string>{"Accounts"});
  ASSERT_NE(m.ini.Find("future", "anything"), nullptr);  // unknown sections are kept
}

TEST(MachineImage, FaultsFailTheNamedCallOrOnlyItsNthCall) {
  TestImage image(kMachine);
  image.WriteFile("cdrom/x", "");
  image.Open();
  EXPECT_EQ(winsim::Fault("GetPrinterDriverDirectoryA"), 122u);
  EXPECT_EQ(winsim::Fault("getprinterdriverdirectorya"), 122u);  // every call, any case
  EXPECT_EQ(winsim::Fault("DeleteFileA"), 0u);
  EXPECT_EQ(winsim::Fault("DeleteFileA"), 5u);
  EXPECT_EQ(winsim::Fault("DeleteFileA"), 0u);
  EXPECT_EQ(winsim::Fault("CopyFileA"), 0u);
}

TEST(MachineImage, WorkingDirectoryIsSeenByItsDriveOrAsDriveA) {
  TestImage image;
  image.WriteFile("drive_c/DIST/DISK1/setup.inf", "");
  image.Open(image.Dir() + "/drive_c/DIST/DISK1");
  EXPECT_EQ(winsim::M().currentDir, "C:\\DIST\\DISK1");
  winsim::CloseMachine();

  std::string outside = testing_support::MakeTempDir("dist-");
  image.Open(outside);
  EXPECT_EQ(winsim::M().currentDir, "A:\\");
  EXPECT_EQ(winsim::M().drives.at('A'), outside);
  winsim::CloseMachine();

  // An image that maps A: itself keeps it; the directory takes the next free letter.
  TestImage floppy("[drives]\nC = drive_c\nA = floppy\n");
  floppy.WriteFile("floppy/disk1.txt", "");
  floppy.Open(outside);
  EXPECT_EQ(winsim::M().drives.at('A'), floppy.Dir() + "/floppy");
  EXPECT_EQ(winsim::M().currentDir, "B:\\");
  EXPECT_EQ(winsim::M().drives.at('B'), outside);
  testing_support::RemoveTree(outside);
}

struct BadIni {
  const char *text;
  int line;
  const char *words;  // what the message must mention
};

TEST(MachineImage, RefusesMalformedMachineIniNamingLineAndFault) {
  const BadIni cases[] = {
      {"[system]\nversion 3.50\n", 2, "key = value"},
      {"version = 3.50.807\n[system]\n", 1, "before the first"},
      {"[system]\n[drives\n", 2, "']'"},
      {"[system]\nversion = 3.50\n", 2, "major.minor.build"},
      {"[system]\nversion = 3.x.807\n", 2, "major.minor.build"},
      {"[system]\nplatform = os2\n", 2, "platform"},
      {"[system]\ncodepage = latin\n", 2, "codepage"},
      {"[system]\nrestart = maybe\n", 2, "restart"},
      {"[system]\nwindows = WINNT35\n", 2, "full Windows path"},
      {"[drives]\nC = drive_c\nCD = cdrom\n", 3, "one letter"},
      {"[drives]\nC = drive_c\nE = nowhere\n", 3, "does not exist"},
      {"[token]\nadministrators = yes\n", 2, "administrators"},
      {"[token]\nthread_token = sometimes\n", 2, "thread_token"},
      {"[service Spooler]\nstate = sleeping\n", 2, "state"},
      {"[service Spooler]\nstop_ms = -1\n", 2, "stop_ms"},
      {"[service Spooler]\nhang = perhaps\n", 2, "hang"},
      {"\n[service Fax]\ndepends = Spooler\n", 2, "depends on 'Spooler'"},
      {"[service Spooler]\n[service spooler]\n", 2, "twice"},
      {"[deny]\nfile = C:\\x\n", 2, "[deny]"},
      {"[faults]\nDeleteFileA = none\n", 2, "error number"},
      {"[faults]\nDeleteFileA#0 = 5\n", 2, "counts from 1"},
      {"[system]\nversion = 3.50.807\r[drives]\rC = drive_c\r", 2, "carriage return alone"},
  };
  for (const BadIni &c : cases) {
    TestImage image(c.text);
    winsim::ImageError error;
    EXPECT_FALSE(image.TryOpen(&error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text << "\n" << error.Text();
    EXPECT_NE(error.Text().find("machine.ini"), std::string::npos) << error.Text();
    EXPECT_NE(error.message.find(c.words), std::string::npos) << c.text << "\n" << error.Text();
    EXPECT_FALSE(winsim::MachineOpen());
  }
}

TEST(MachineImage, RefusesMissingPiecesOfTheImage) {
  winsim::ImageError error;
  winsim::OpenOptions options;
  options.imageDir = "/nonexistent/image";
  EXPECT_FALSE(winsim::OpenMachine(options, &error));
  EXPECT_NE(error.Text().find("/nonexistent/image"), std::string::npos);

  TestImage noRegistry;
  std::remove(noRegistry.HostPath("system.reg").c_str());
  EXPECT_FALSE(noRegistry.TryOpen(&error));
  EXPECT_NE(error.Text().find("system.reg"), std::string::npos);

  TestImage noDriveC("[system]\nversion = 3.50.807\n");
  testing_support::RemoveTree(noDriveC.HostPath("drive_c"));
  EXPECT_FALSE(noDriveC.TryOpen(&error));
  EXPECT_NE(error.message.find("drive_c"), std::string::npos);

  TestImage unmappedSystem("[system]\nsystem = D:\\WINNT\\system32\n");
  EXPECT_FALSE(unmappedSystem.TryOpen(&error));
  EXPECT_NE(error.message.find("drive D:"), std::string::npos);
}

TEST(MachineImage, ProgramStopsBeforeWinMainOnABadImage) {
  const std::string setup = std::string(NORVALE_BIN_DIR) + "/setup";
  auto unset = RunProgram({setup}, {"WINSIM_MACHINE="});
  EXPECT_EQ(unset.status, 2);
  EXPECT_NE(unset.err.find("WINSIM_MACHINE"), std::string::npos);

  auto missing = RunProgram({setup}, {"WINSIM_MACHINE=/nonexistent/image"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("/nonexistent/image"), std::string::npos);

  TestImage bad("[system]\nversion = 3.50.807\nplatform = dos\n");
  auto malformed = RunProgram({setup}, {"WINSIM_MACHINE=" + bad.Dir()});
  EXPECT_EQ(malformed.status, 2);
  EXPECT_NE(malformed.err.find("machine.ini:3:"), std::string::npos) << malformed.err;

  TestImage image;
  auto badClock = RunProgram({setup}, {"WINSIM_MACHINE=" + image.Dir(), "WINSIM_CLOCK=fast"});
  EXPECT_EQ(badClock.status, 2);
  EXPECT_NE(badClock.err.find("WINSIM_CLOCK"), std::string::npos);
}

TEST(MachineImage, ChangedValuesAreWrittenBackKeepingEveryOtherLine) {
  TestImage image(kMachine);
  image.WriteFile("cdrom/x", "");
  image.Open();
  ASSERT_TRUE(winsim::SetMachineValue("service Spooler", "state", "stopped"));
  ASSERT_TRUE(winsim::SetMachineValue("system", "restart", "yes"));
  std::string after = image.ReadFile("machine.ini");
  std::string expected = kMachine;
  expected.replace(expected.find("state = running"), 15, "state = stopped");
  // Every save keeps the machine's clock and when it was taken.
  expected.replace(expected.find("codepage = 932\n") + 15, 0,
                   "clock = 0\nclock_saved = \nrestart = yes\n");
  size_t saved = after.find("clock_saved = ") + 14;
  after.erase(saved, after.find('\n', saved) - saved);
  EXPECT_EQ(after, expected);
  EXPECT_FALSE(image.Exists("machine.ini.new"));

  winsim::CloseMachine();
  image.Open();
  EXPECT_TRUE(winsim::M().restart);
  EXPECT_EQ(winsim::M().services[0].state, "stopped");
}

TEST(IniFile, KeepsCommentsSpacingAndLineEndsWhenSetting) {
  winsim::IniFile ini;
  ASSERT_TRUE(ini.Parse("[windows]\r\nload=\r\n; keep me\r\n[MSAPPS]\r\nMSAPPS = C:\\X\r\n", false,
                        nullptr, nullptr));
  ini.Set("msapps", "MSAPPS", "C:\\WINNT35\\MSAPPS");
  ini.Set("MSAPPS", "PROOF", "C:\\P");
  ini.Set("Extensions", "wri", "write.exe ^.wri");
  EXPECT_EQ(ini.Text(),
            "[windows]\r\nload=\r\n; keep me\r\n[MSAPPS]\r\nMSAPPS = C:\\WINNT35\\MSAPPS\r\n"
            "PROOF = C:\\P\r\n\r\n[Extensions]\r\nwri=write.exe ^.wri\r\n");
  ASSERT_NE(ini.Find("MSAPPS", "proof"), nullptr);
  EXPECT_TRUE(ini.Remove("msapps", "PROOF"));
  EXPECT_EQ(ini.Find("MSAPPS", "PROOF"), nullptr);
  EXPECT_TRUE(ini.RemoveSection("extensions"));
  EXPECT_EQ(ini.Text(),
            "[windows]\r\nload=\r\n; keep me\r\n[MSAPPS]\r\nMSAPPS = C:\\WINNT35\\MSAPPS\r\n\r\n");
}

TEST(IniFile, ValuesMayHoldSemicolonsAndFirstKeyWins) {
  winsim::IniFile ini;
  ASSERT_TRUE(ini.Parse("[environment]\nPATH = C:\\A;C:\\B ; not a comment\nPATH = second\n", true,
                        nullptr, nullptr));
  ASSERT_NE(ini.Find("ENVIRONMENT", "path"), nullptr);
  EXPECT_EQ(*ini.Find("ENVIRONMENT", "path"), "C:\\A;C:\\B ; not a comment");
}

TEST(Transcript, QuotesEscapeBackslashQuoteAndNewline) {
  EXPECT_EQ(winsim::Quote("a\\b \"c\"\nd"), "\"a\\\\b \\\"c\\\"\\nd\"");
}
