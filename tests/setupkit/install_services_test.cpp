// The toolkit's installation services other than the copy: .ini files by the Windows rules,
// the Program Manager record, the log file, directories and files, the PATH of a batch file,
// and what the stand-in refuses to pretend.
#include <gtest/gtest.h>

#include <windows.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/toolkit_services.h"

using testing_support::SystemSession;

namespace {

class InstallServices : public ::testing::Test {
 protected:
  void SetUp() override { session_.OpenWithFrame(""); }
  void TearDown() override { setupkit::ResetToolkit(); }
  testing_support::TestImage &Image() { return session_.Image(); }
  SystemSession session_;
};

TEST_F(InstallServices, IniValuesKeepTheRestOfTheFile) {
  Image().WriteFile(
      "drive_c/WINNT35/win.ini",
      "; user settings\r\n[windows]\r\nload=\r\n\r\n[MSAPPS]\r\nMSAPPS = C:\\OLD\r\n");
  // A bare file name is the file in the Windows directory; names compare without case.
  EXPECT_TRUE(FCreateIniKeyValue("WIN.INI", "msapps", "msapps", "C:\\NEW", cmoNone));
  EXPECT_TRUE(FCreateIniKeyValue("WIN.INI", "MSAPPS", "CLIPART", "C:\\NEW\\CLIPART", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/win.ini"),
            "; user settings\r\n[windows]\r\nload=\r\n\r\n[MSAPPS]\r\nMSAPPS = C:\\OLD\r\n"
            "CLIPART = C:\\NEW\\CLIPART\r\n");
  EXPECT_TRUE(FCreateIniKeyValue("WIN.INI", "MSAPPS", "MSAPPS", "C:\\NEW", cmoOverwrite));
  EXPECT_TRUE(FRemoveIniKey("WIN.INI", "MSAPPS", "CLIPART", cmoNone));
  EXPECT_TRUE(FRemoveIniSection("WIN.INI", "windows", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/win.ini"),
            "; user settings\r\n[MSAPPS]\r\nMSAPPS = C:\\NEW\r\n");

  // A file that is not there is made; removing from it makes nothing.
  EXPECT_TRUE(FRemoveIniKey("C:\\APP\\app.ini", "a", "b", cmoNone));
  EXPECT_FALSE(Image().Exists("drive_c/APP/app.ini"));
  EXPECT_TRUE(FCreateIniKeyValue("new.ini", "Section", "Key", "Value", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/new.ini"), "[Section]\r\nKey=Value\r\n");

  // Names that would not read back as themselves are refused.
  EXPECT_FALSE(FCreateIniKeyValue("WIN.INI", "A]B", "k", "v", cmoNone));
  EXPECT_FALSE(FCreateIniKeyValue("WIN.INI", "S", "k=v", "v", cmoNone));
  EXPECT_FALSE(FCreateIniKeyValue("WIN.INI", "S", "k", "two\r\nlines", cmoNone));
}

TEST_F(InstallServices, SystemIniKeysMayRepeat) {
  Image().WriteFile(
      "drive_c/WINNT35/system.ini",
      "[386Enh]\r\ndevice=*vpicd\r\nkeyboard=*vkd\r\n[boot]\r\nshell=progman.exe\r\n");
  EXPECT_TRUE(FCreateSysIniKeyValue("SYSTEM.INI", "386Enh", "device", "zelvxd.386", cmoNone));
  EXPECT_TRUE(FCreateSysIniKeyValue("SYSTEM.INI", "386Enh", "device", "*VPICD", cmoNone));
  EXPECT_TRUE(FCreateSysIniKeyValue("SYSTEM.INI", "boot", "shell", "explorer.exe", cmoOverwrite));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system.ini"),
            "[386Enh]\r\ndevice=*vpicd\r\nkeyboard=*vkd\r\ndevice=zelvxd.386\r\n"
            "[boot]\r\nshell=explorer.exe\r\n");
  EXPECT_TRUE(FRemoveIniKey("SYSTEM.INI", "386Enh", "device", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system.ini"),
            "[386Enh]\r\nkeyboard=*vkd\r\n[boot]\r\nshell=explorer.exe\r\n");
}

TEST_F(InstallServices, ProgramManagerRecordsGroupsAndItems) {
  EXPECT_TRUE(FCreateProgManGroupEx("Norvale Network Printers", nullptr, 1));
  EXPECT_TRUE(FCreateProgManGroupEx("Norvale Network Printers", nullptr, 1));  // already there
  EXPECT_TRUE(FShowProgManGroupEx("Norvale Network Printers", nullptr, "1", 1));
  EXPECT_TRUE(FCreateProgManItemEx("Norvale Network Printers", nullptr,
                                   "Norvale Network Printing Help,winhlp32.exe", "zelpsmon.hlp",
                                   1024));
  EXPECT_TRUE(FCreateProgManItemEx("Norvale Network Printers", nullptr, "Say \"hi\"", "x y", 0));
  EXPECT_TRUE(FCreateProgManItemEx("Norvale Network Printers", nullptr,
                                   "Norvale Network Printing Help,winhlp32.exe", "new.hlp", 1024));
  EXPECT_TRUE(FCreateProgManItem("Startup", "Tool", "tool.exe", 0));  // makes the group
  // Commas and parentheses reach Program Manager inside their names.
  EXPECT_TRUE(FCreateProgManItem("Tools (old), 2", "A (b)", "run(1).exe a,b", 0));
  EXPECT_EQ(Image().ReadFile("progman.ini"),
            "; Program Manager groups and items. Item = title, command line, icon file.\r\n"
            "\r\n[Norvale Network Printers]\r\nShow = 1\r\n"
            "Item = \"Norvale Network Printing Help\", \"new.hlp\", \"winhlp32.exe\"\r\n"
            "Item = \"Say \"\"hi\"\"\", \"x y\", \"\"\r\n"
            "\r\n[Startup]\r\nItem = \"Tool\", \"tool.exe\", \"\"\r\n"
            "\r\n[Tools (old), 2]\r\nItem = \"A (b)\", \"run(1).exe a,b\", \"\"\r\n");

  EXPECT_FALSE(FShowProgManGroup("No Such Group", "1", 0));
  EXPECT_FALSE(FShowProgManGroup("Startup", "one", 0));
  EXPECT_FALSE(FCreateProgManGroup("Bad [name]", nullptr, 0));
  EXPECT_FALSE(FCreateProgManItem("Startup", ",icon.exe", "x", 0));  // no title
}

TEST_F(InstallServices, LogFileTakesLinesWhileOpen) {
  EXPECT_TRUE(FWriteToLogFile("dropped", TRUE));
  EXPECT_FALSE(FWriteToLogFile("dropped", FALSE));
  ASSERT_TRUE(FOpenLogFile("C:\\setup.log", FALSE));
  EXPECT_FALSE(FOpenLogFile("C:\\other.log", FALSE));  // one at a time
  EXPECT_TRUE(FWriteToLogFile("first", TRUE));
  EXPECT_TRUE(FCopyOneFile("C:\\DIST\\relnt50.wri", "C:\\DOCS\\relnt50.wri", cmoNone, FALSE));
  EXPECT_TRUE(FCloseLogFile());
  EXPECT_FALSE(FCloseLogFile());
  EXPECT_EQ(Image().ReadFile("drive_c/setup.log"),
            "first\r\nCopied C:\\DIST\\relnt50.wri to C:\\DOCS\\relnt50.wri\r\n");
  ASSERT_TRUE(FOpenLogFile("C:\\setup.log", TRUE));
  EXPECT_TRUE(FWriteToLogFile("again", TRUE));
  EXPECT_EQ(Image().ReadFile("drive_c/setup.log").substr(7, 8), "Copied C");
  EXPECT_FALSE(FOpenLogFile("C:\\NO\\DIR\\x.log", FALSE));
}

TEST_F(InstallServices, DirectoriesAndFiles) {
  EXPECT_TRUE(FCreateDir("C:\\A\\B\\C", cmoNone));
  EXPECT_TRUE(FCreateDir("C:\\A\\B\\C", cmoNone));
  EXPECT_FALSE(FRemoveDir("C:\\A", cmoNone));  // not empty
  EXPECT_TRUE(FRemoveDir("C:\\A\\B\\C", cmoNone));
  EXPECT_TRUE(FRemoveDir("C:\\A\\B\\C", cmoNone));  // gone already
  EXPECT_FALSE(FRemoveDir("C:\\DIST", cmoNone));    // the current directory

  Image().WriteFile("drive_c/A/file.txt", "data");
  EXPECT_FALSE(FCreateDir("C:\\A\\file.txt\\D", cmoNone));
  EXPECT_EQ(YnrcBackupFile("C:\\A\\file.txt", "file.bak", cmoNone), ynrcYes);
  EXPECT_EQ(Image().ReadFile("drive_c/A/file.bak"), "data");

  ::chmod(Image().HostPath("drive_c/A/file.txt").c_str(), 0444);
  EXPECT_FALSE(FIsFileWritable("C:\\A\\file.txt"));
  session_.ClearTranscript();
  EXPECT_EQ(YnrcRemoveFile("C:\\A\\file.txt", cmoTellUser), ynrcNo);
  EXPECT_EQ(session_.Transcript(),
            std::vector<std::string>({"msgbox \"Setup\" \"Setup cannot remove "
                                      "C:\\\\A\\\\file.txt: the file is read-only.\""}));
  EXPECT_EQ(YnrcRemoveFile("C:\\A\\file.bak", cmoNone), ynrcYes);
  EXPECT_EQ(YnrcRemoveFile("C:\\A\\file.bak", cmoNone), ynrcYes);
  EXPECT_FALSE(Image().Exists("drive_c/A/file.bak"));

  winsim::SetFileLoaded(Image().HostPath("drive_c/DIST/relnt50.wri"), true);
  EXPECT_FALSE(FIsFileWritable("C:\\DIST\\relnt50.wri"));
  EXPECT_TRUE(FIsFileWritable("C:\\DIST\\new.txt"));
  EXPECT_TRUE(FIsDirWritable("C:\\DIST"));
  EXPECT_FALSE(FIsDirWritable("C:\\NONE"));
}

TEST_F(InstallServices, FindsFilesAsOpenFileDoes) {
  Image().WriteFile("drive_c/WINNT35/system32/winhlp32.exe", "");
  char buffer[64];
  EXPECT_EQ(WFindFileUsingFileOpen("relnt50.wri", buffer, sizeof buffer), 0);  // current directory
  EXPECT_STREQ(buffer, "C:\\DIST\\relnt50.wri");
  EXPECT_EQ(WFindFileUsingFileOpen("WINHLP32.EXE", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "C:\\WINNT35\\system32\\WINHLP32.EXE");  // the name as asked for
  EXPECT_EQ(WFindFileUsingFileOpen("nowhere.exe", buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(WFindFileUsingFileOpen("WINHLP32.EXE", buffer, 10), 2);
}

TEST_F(InstallServices, PathOfABatchFileGetsTheDirectoryInFront) {
  Image().WriteFile("drive_c/AUTOEXEC.BAT", "@ECHO OFF\r\nSET PATH=C:\\DOS;C:\\BIN\r\n");
  EXPECT_TRUE(FPrependToPath("C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.NEW", "C:\\ZEL", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/AUTOEXEC.NEW"),
            "@ECHO OFF\r\nSET PATH=C:\\ZEL;C:\\DOS;C:\\BIN\r\n");
  // Already on it: unchanged. No PATH at all: one is added.
  EXPECT_TRUE(FPrependToPath("C:\\AUTOEXEC.NEW", "C:\\AUTOEXEC.NEW", "c:\\zel\\", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/AUTOEXEC.NEW"),
            "@ECHO OFF\r\nSET PATH=C:\\ZEL;C:\\DOS;C:\\BIN\r\n");
  EXPECT_TRUE(FPrependToPath("C:\\NONE.BAT", "C:\\PATH.BAT", "C:\\ZEL", cmoNone));
  EXPECT_EQ(Image().ReadFile("drive_c/PATH.BAT"), "PATH=C:\\ZEL\r\n");
  EXPECT_FALSE(FPrependToPath("C:\\AUTOEXEC.BAT", "C:\\X.BAT", "C:\\A;C:\\B", cmoNone));
}

TEST_F(InstallServices, WhatTheImageCannotHoldIsRefused) {
  EXPECT_FALSE(FStampResource("Files", "setup", "C:\\DIST", 6, 1, "serial", 6));
  EXPECT_FALSE(FExitExecRestart());  // nothing waits for a restart
  EXPECT_FALSE(FAddToBillboardList("mscuistf.dll", 800, "FRadioDlgProc", 10));  // not modeless
  EXPECT_TRUE(FAddToBillboardList("mscuistf.dll", 1700, "FModelessDlgProc", 10));
  EXPECT_TRUE(FAddToBillboardList(nullptr, 0, nullptr, 5));
  EXPECT_EQ(setupkit::Billboards().size(), 2u);
  EXPECT_TRUE(FClearBillboardList());
  EXPECT_TRUE(setupkit::Billboards().empty());
  EXPECT_FALSE(FSetBeepingMode(TRUE));
  EXPECT_TRUE(FSetBeepingMode(FALSE));
}

}  // namespace
