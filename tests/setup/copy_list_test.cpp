// The copy list for each platform and option, and the directories and spooler start of the main
// sequence that it depends on. Paths that end the setup run in a child process or in the built
// program, and are judged by the transcript.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/spooler_control.h"
#include "setup/copy_list.h"
#include "setup/directories.h"
#include "setup/setup_state.h"
#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "wizard_session.h"

using ::testing::ExitedWithCode;
using testing_support::RunResult;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

const char kSys[] = "C:\\WINNT35\\system32";
const char kDrivers[] = "C:\\WINNT35\\system32\\spool\\drivers\\w32x86";
const char kInstall[] = "C:\\win32app\\zelpsmon";

class SetupState : public ::testing::Test {
 protected:
  void SetUp() override {
    session_.OpenWithFrame("2300 CONTINUE\n");
    ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
    fChicago = fDaytona = fNT31 = fX86 = fAlpha = fMips = fUpgrade = 0;
    nSetupOption = 3;
    std::strcpy(szSrcDir, "C:\\DIST\\");
    std::strcpy(szSysDir, kSys);
    std::strcpy(szDriverDir, kDrivers);
    std::strcpy(szInstallDir, kInstall);
  }
  void TearDown() override { setupkit::ResetToolkit(); }

  // "section -> destination" for each entry of the copy list.
  Lines CopyList() {
    Lines out;
    for (const setupkit::CopyListEntry &e : setupkit::CopyList()) {
      EXPECT_EQ(e.source, "C:\\DIST\\");
      out.push_back(e.section + " -> " + e.destination);
    }
    return out;
  }
  Lines Built() {
    buildCopyList();
    EXPECT_EQ(setupkit::WaitCursorCount(), 0);
    return CopyList();
  }

  SystemSession session_;
};

TEST_F(SetupState, CopyListOfWindowsNt35OnX86WithTheFirstButton) {
  fDaytona = fX86 = 1;
  EXPECT_EQ(Built(), Lines({"NT Help File -> C:\\WINNT35\\system32",
                            "PPD Files -> C:\\WINNT35\\system32\\spool\\drivers\\w32x86",
                            "I386 Monitor -> C:\\WINNT35\\system32",
                            "Write Files -> C:\\win32app\\zelpsmon"}));
}

TEST_F(SetupState, CopyListOfMipsWithTheLoadFiles) {
  fNT31 = fMips = 1;
  nSetupOption = 1;
  EXPECT_EQ(Built(),
            Lines({"NT Help File -> C:\\WINNT35\\system32",
                   "PPD Files -> C:\\WINNT35\\system32\\spool\\drivers\\w32x86",
                   "Mips Monitor -> C:\\WINNT35\\system32", "Write Files -> C:\\win32app\\zelpsmon",
                   "Load PS Files -> C:\\win32app\\zelpsmon",
                   "Load Cat Files -> C:\\win32app\\zelpsmon\\cat",
                   "Load Sys Files -> C:\\win32app\\zelpsmon\\sys"}));
  // Built afresh, the list holds only what this run asks for.
  fMips = 0;
  fAlpha = 1;
  nSetupOption = 3;
  EXPECT_EQ(Built()[2], "Alpha Monitor -> C:\\WINNT35\\system32");
  EXPECT_EQ(CopyList().size(), 4u);
}

TEST_F(SetupState, CopyListOfWindows95) {
  fChicago = fX86 = 1;
  EXPECT_EQ(Built(),
            Lines({"W95 Help File -> C:\\WINNT35\\system32", "W95 Monitor -> C:\\WINNT35\\system32",
                   "Write Files -> C:\\win32app\\zelpsmon"}));
  nSetupOption = 1;
  EXPECT_EQ(Built().size(), 6u);
}

TEST_F(SetupState, LoadFilesReachTheirDirectories) {
  fDaytona = fX86 = 1;
  nSetupOption = 1;
  buildCopyList();
  ASSERT_EQ(GrcCopyFilesInCopyList(HinstFrame()), grcOkay);
  testing_support::TestImage &image = session_.Image();
  EXPECT_TRUE(image.Exists("drive_c/win32app/zelpsmon/errhand.ps"));
  EXPECT_TRUE(image.Exists("drive_c/win32app/zelpsmon/cat/fonts.cat"));
  EXPECT_TRUE(image.Exists("drive_c/win32app/zelpsmon/sys/zelboot.sys"));
  EXPECT_TRUE(image.Exists("drive_c/WINNT35/system32/zelpsmon.dll"));
  EXPECT_TRUE(image.Exists("drive_c/WINNT35/system32/spool/drivers/w32x86/PR12L28.PPD"));
}

TEST_F(SetupState, SectionMissingFromTheSetupFileEndsTheSetup) {
  session_.Image().WriteFile("drive_c/DIST/setup.inf", "[NT Help File]\r\nzelpsmon.hlp\r\n");
  ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
  fDaytona = fX86 = 1;
  EXPECT_EXIT(buildCopyList(), ExitedWithCode(0), "PPD Files");
  EXPECT_EQ(session_.Transcript(),
            Lines({"error \"Error code = 1024\"", "dialog 2300 CONTINUE", "exit 0"}));
}

TEST_F(SetupState, DirectoriesOfTheMachine) {
  szSysDir[0] = szDriverDir[0] = szInstallDir[0] = '\0';
  readSystemDirectory();
  EXPECT_STREQ(szSysDir, kSys);
  readDriverDirectory();
  EXPECT_STREQ(szDriverDir, kDrivers);
  buildInstallDirectory();
  EXPECT_STREQ(szInstallDir, kInstall);

  // 508 characters fit the buffer of 509.
  std::string longest = "D:\\" + std::string(505, 's');
  winsim::M().systemDir = longest;
  readSystemDirectory();
  EXPECT_EQ(szSysDir, longest);
  buildInstallDirectory();
  EXPECT_STREQ(szInstallDir, "D:\\win32app\\zelpsmon");
  EXPECT_TRUE(session_.Transcript().empty());
}

TEST_F(SetupState, SystemDirectoryTooLongIsFatal) {
  winsim::M().systemDir = "D:\\" + std::string(506, 's');
  EXPECT_EXIT(readSystemDirectory(), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(),
            Lines({"error \"System path string too small\"", "dialog 2300 CONTINUE", "exit 0"}));
}

TEST_F(SetupState, DriverDirectoryThatCannotBeReadIsFatal) {
  LPVOID dependents = nullptr;  // the spooler answers nothing while it is stopped
  ASSERT_EQ(stopSpooler(&dependents), 9);
  freeSpoolerDependents(&dependents);
  session_.ClearTranscript();
  EXPECT_EXIT(readDriverDirectory(), ExitedWithCode(0), "");
  EXPECT_EQ(session_.Transcript(),
            Lines({"error \"PPD path string too small\"", "dialog 2300 CONTINUE", "exit 0"}));
}

TEST_F(SetupState, StoppedSpoolerIsStartedOnWindowsNt35Only) {
  LPVOID dependents = nullptr;
  fDaytona = 1;
  startStoppedSpooler();  // running: nothing to do
  EXPECT_TRUE(session_.Transcript().empty());

  ASSERT_EQ(stopSpooler(&dependents), 9);
  freeSpoolerDependents(&dependents);
  fDaytona = 0;
  fNT31 = 1;
  session_.ClearTranscript();
  startStoppedSpooler();
  EXPECT_TRUE(session_.Transcript().empty());
  EXPECT_FALSE(isSpoolerRunning());

  fDaytona = 1;
  fNT31 = 0;
  startStoppedSpooler();
  EXPECT_TRUE(isSpoolerRunning());
  Lines transcript = session_.Transcript();
  ASSERT_FALSE(transcript.empty());
  EXPECT_EQ(transcript[0], "dialog 5300");
  EXPECT_TRUE(setupkit::DialogStack().empty());
  EXPECT_EQ(setupkit::WaitCursorCount(), 0);

  // A spooler that is starting counts as running: nothing is shown or started.
  ASSERT_EQ(stopSpooler(&dependents), 9);
  freeSpoolerDependents(&dependents);
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_START);
  ASSERT_TRUE(StartServiceA(spooler, 0, nullptr));
  CloseServiceHandle(spooler);
  CloseServiceHandle(manager);
  ASSERT_EQ(winsim::M().services[0].state, "start-pending");
  session_.ClearTranscript();
  startStoppedSpooler();
  EXPECT_TRUE(session_.Transcript().empty());
}

TEST(SetupStateFaults, SpoolerThatDoesNotStartIsFatal) {
  SystemSession session("[faults]\nStartServiceA = 1058\n");
  session.OpenWithFrame("2300 CONTINUE\n");
  LPVOID dependents = nullptr;
  ASSERT_EQ(stopSpooler(&dependents), 9);
  freeSpoolerDependents(&dependents);
  session.ClearTranscript();
  fDaytona = 1;
  EXPECT_EXIT(startStoppedSpooler(), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 5300", "error \"startSpooler failed, error = 1058\"",
                   "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(SetupProgram, DriverDirectoryFailureEndsTheBuiltSetup) {
  SystemSession session("[faults]\nGetPrinterDriverDirectoryA = 1722\n");
  RunResult run = session.RunSetup("100 CONTINUE\n2300 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 100 CONTINUE", "error \"PPD path string too small\"",
                   "dialog 2300 CONTINUE", "exit 0"}));
}

TEST(SetupProgram, FailedCopyEndsTheBuiltSetupAfterNamingTheFile) {
  SystemSession session("[faults]\nCopyFileA = 112\n");
  wizard_testing::AddPostScriptModules(session);
  RunResult run = session.RunSetup("100 CONTINUE\n800 CONTINUE\n2300 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 100 CONTINUE", "dialog 800 CONTINUE",
                   "msgbox \"Norvale Network Printing Setup\" \"Setup cannot copy "
                   "C:\\\\DIST\\\\zelpsmon.hlp to C:\\\\WINNT35\\\\system32\\\\zelpsmon.hlp: "
                   "the disk is full.\"",
                   "copy 0 of 7 files", "error \"Error code = 1024\"", "dialog 2300 CONTINUE",
                   "exit 0"}));
}

}  // namespace
