// The copy list and the copy engine on a machine image: what lands where, with which date, and
// how each failure is told to the user before the engine answers it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <windows.h>
#include <sys/stat.h>
#include <utime.h>

#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/toolkit_services.h"

using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

const char kInf[] =
    "[Monitor]\r\n"
    "i386\\zelpsmon.dll\r\n"
    "[Docs]\r\n"
    "relnt50.wri\r\n"
    "readme.txt, rename=release.txt\r\n"
    "[PPD Files]\r\n"
    "\"Norvale PageRelay 12\" = PR12.PPD\r\n";

class CopyEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    Image().WriteFile("drive_c/DIST/setup.inf", kInf);
    Image().WriteFile("drive_c/DIST/readme.txt", "read me");
    session_.OpenWithFrame("");
    ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
    session_.ClearTranscript();
  }
  void TearDown() override { setupkit::ResetToolkit(); }

  testing_support::TestImage &Image() { return session_.Image(); }
  // Replaces the setup file; the copy list is emptied with it.
  void Inf(const std::string &text) {
    Image().WriteFile("drive_c/DIST/setup.inf", text);
    ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
    ResetCopyList();
  }
  void AddStandardList() {
    ASSERT_TRUE(FAddSectionFilesToCopyList("Monitor", "C:\\DIST\\", "C:\\WINNT35\\system32"));
    ASSERT_TRUE(FAddSectionFilesToCopyList("Docs", "C:\\DIST\\", "C:\\win32app\\zelpsmon"));
    ASSERT_TRUE(FAddSectionFilesToCopyList("PPD Files", "C:\\DIST\\",
                                           "C:\\WINNT35\\system32\\spool\\drivers\\w32x86"));
  }
  GRC Copy() { return GrcCopyFilesInCopyList(HinstFrame()); }

  SystemSession session_;
};

TEST_F(CopyEngine, PlacesEveryFileUnderItsNameWithItsDate) {
  // A source from a CD: read-only, with an old date.
  std::string source = Image().HostPath("drive_c/DIST/i386/zelpsmon.dll");
  struct utimbuf old = {788918400, 788918400};  // 1995-01-01
  ASSERT_EQ(::utime(source.c_str(), &old), 0);
  ::chmod(source.c_str(), 0444);
  AddStandardList();

  EXPECT_EQ(Copy(), grcOkay);
  EXPECT_EQ(session_.Transcript(), Lines({"copy 4 of 4 files"}));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system32/zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  EXPECT_EQ(Image().ReadFile("drive_c/win32app/zelpsmon/relnt50.wri"), "contents of relnt50.wri");
  EXPECT_EQ(Image().ReadFile("drive_c/win32app/zelpsmon/release.txt"), "read me");
  EXPECT_FALSE(Image().Exists("drive_c/win32app/zelpsmon/readme.txt"));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system32/spool/drivers/w32x86/PR12.PPD"),
            "contents of PR12.PPD");

  struct stat st;
  ASSERT_EQ(::stat(Image().HostPath("drive_c/WINNT35/system32/zelpsmon.dll").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 788918400);
  EXPECT_TRUE(st.st_mode & S_IWUSR) << "a copy from a CD must stay replaceable";
}

TEST_F(CopyEngine, SourceThatIsNoFileIsNamedAndNothingIsCopied) {
  Image().WriteFile("drive_c/DIST/subdir.wri/inside", "x");
  const struct {
    const char *name, *why;
  } cases[] = {
      {"spdesc51.wri", "the file does not exist"},
      {"subdir.wri", "it is a directory, not a file"},
  };
  for (const auto &c : cases) {
    Inf(std::string("[Docs]\r\nrelnt50.wri\r\n") + c.name + "\r\n");
    ASSERT_TRUE(FAddSectionFilesToCopyList("Docs", "C:\\DIST\\", "C:\\win32app\\zelpsmon"));
    session_.ClearTranscript();
    EXPECT_EQ(Copy(), grcNotOkay);
    EXPECT_EQ(session_.Transcript(),
              Lines({std::string("msgbox \"Setup\" \"Setup cannot copy C:\\\\DIST\\\\") + c.name +
                         " to C:\\\\win32app\\\\zelpsmon\\\\" + c.name + ": " + c.why + ".\"",
                     "copy 0 of 2 files"}));
    EXPECT_FALSE(Image().Exists("drive_c/win32app"));
  }
}

TEST_F(CopyEngine, DirectoryInTheWayIsNamedAndLeft) {
  Image().WriteFile("drive_c/win32app/zelpsmon/relnt50.wri/inside", "kept");
  Inf("[Docs]\r\nrelnt50.wri\r\n");
  ASSERT_TRUE(FAddSectionFilesToCopyList("Docs", "C:\\DIST\\", "C:\\win32app\\zelpsmon"));
  EXPECT_EQ(Copy(), grcNotOkay);
  EXPECT_EQ(session_.Transcript(),
            Lines({"msgbox \"Setup\" \"Setup cannot copy C:\\\\DIST\\\\relnt50.wri to "
                   "C:\\\\win32app\\\\zelpsmon\\\\relnt50.wri: a directory of that name is in "
                   "the way.\"",
                   "copy 0 of 1 files"}));
  EXPECT_EQ(Image().ReadFile("drive_c/win32app/zelpsmon/relnt50.wri/inside"), "kept");
}

TEST_F(CopyEngine, NamesThatWouldLeaveTheirDirectoryAreRefused) {
  Image().WriteFile("drive_c/evil.dll", "evil");
  for (const char *line : {"..\\evil.dll", "C:\\evil.dll", "\\evil.dll", "i386\\..\\..\\evil.dll",
                           "relnt50.wri, rename=..\\..\\WINNT35\\evil.dll",
                           "relnt50.wri, rename=C:evil.dll", "relnt50.wri, rename=.."}) {
    Inf(std::string("[Docs]\r\n") + line + "\r\n");
    ASSERT_TRUE(FAddSectionFilesToCopyList("Docs", "C:\\DIST\\", "C:\\win32app\\zelpsmon"));
    session_.ClearTranscript();
    EXPECT_EQ(Copy(), grcNotOkay) << line;
    Lines transcript = session_.Transcript();
    ASSERT_EQ(transcript.size(), 1u) << line;
    EXPECT_EQ(transcript[0].rfind("msgbox \"Setup\" \"Setup cannot copy ", 0), 0u) << line;
  }
  EXPECT_FALSE(Image().Exists("drive_c/win32app"));
  EXPECT_FALSE(Image().Exists("drive_c/WINNT35/evil.dll"));
}

TEST_F(CopyEngine, ReadOnlyDestinationIsLeftAndNamed) {
  Image().WriteFile("drive_c/win32app/zelpsmon/relnt50.wri", "kept");
  ::chmod(Image().HostPath("drive_c/win32app/zelpsmon/relnt50.wri").c_str(), 0444);
  AddStandardList();
  EXPECT_EQ(Copy(), grcNotOkay);
  EXPECT_EQ(session_.Transcript(),
            Lines({"msgbox \"Setup\" \"Setup cannot copy C:\\\\DIST\\\\relnt50.wri to "
                   "C:\\\\win32app\\\\zelpsmon\\\\relnt50.wri: the file there is read-only.\"",
                   "copy 1 of 4 files"}));
  EXPECT_EQ(Image().ReadFile("drive_c/win32app/zelpsmon/relnt50.wri"), "kept");
}

TEST_F(CopyEngine, FileLoadedByARunningServiceFailsOrWaitsForTheRestart) {
  Image().WriteFile("drive_c/WINNT35/system32/zelpsmon.dll", "old monitor");
  std::string loaded = Image().HostPath("drive_c/WINNT35/system32/zelpsmon.dll");
  winsim::SetFileLoaded(loaded, true);
  ASSERT_TRUE(FAddSectionFilesToCopyList("Monitor", "C:\\DIST\\", "C:\\WINNT35\\system32"));

  EXPECT_EQ(Copy(), grcNotOkay);
  EXPECT_EQ(session_.Transcript(),
            Lines({"msgbox \"Setup\" \"Setup cannot copy C:\\\\DIST\\\\i386\\\\zelpsmon.dll to "
                   "C:\\\\WINNT35\\\\system32\\\\zelpsmon.dll: the file there is in use by a "
                   "running service and cannot be replaced while the service runs.\"",
                   "copy 0 of 1 files"}));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system32/zelpsmon.dll"), "old monitor");
  EXPECT_TRUE(FRestartListEmpty());

  // With a restart directory the new file waits there for the next restart.
  session_.ClearTranscript();
  ASSERT_TRUE(FSetRestartDir("C:\\WINNT35\\RESTART"));
  EXPECT_EQ(Copy(), grcOkay);
  EXPECT_EQ(session_.Transcript(), Lines({"copy 1 of 1 files"}));
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/system32/zelpsmon.dll"), "old monitor");
  EXPECT_EQ(Image().ReadFile("drive_c/WINNT35/RESTART/~RST1.TMP"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  EXPECT_EQ(setupkit::RestartList(), Lines({"C:\\WINNT35\\system32\\zelpsmon.dll"}));
  EXPECT_FALSE(FRestartListEmpty());
  std::string registry = Image().RegistryFiles();
  EXPECT_NE(registry.find("PendingFileRenameOperations"), std::string::npos);
}

TEST_F(CopyEngine, QuitStopsBeforeTheNextFile) {
  AddStandardList();
  PostQuitMessage(0);
  EXPECT_EQ(Copy(), grcUserQuit);
  EXPECT_EQ(session_.Transcript(), Lines({"copy 0 of 4 files"}));
  EXPECT_FALSE(Image().Exists("drive_c/WINNT35/system32/zelpsmon.dll"));
}

TEST_F(CopyEngine, GaugeShowsTheFileAndTheProgressToAPersonOnly) {
  // A person at the terminal: no answer file. The gauge is the status line.
  Image().Open(session_.DistDir(), session_.TranscriptPath(), "");
  char cmd[] = "";
  ASSERT_EQ(InitializeFrame(cmd), 1);
  ASSERT_TRUE(FInitializeInstall(HinstFrame(), HwndFrame()));
  ASSERT_TRUE(FOpenInf("C:\\DIST\\setup.inf", TRUE, FALSE));
  AddStandardList();
  for (BOOL silent : {FALSE, TRUE}) {
    FSetSilent(silent);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Copy(), grcOkay);
    std::string shown = testing::internal::GetCapturedStdout();
    for (const char *part : {"Copying Files", "relnt50.wri", "100%"})
      EXPECT_EQ(shown.find(part) != std::string::npos, !silent) << part << "\n" << shown;
  }
}

TEST_F(CopyEngine, CancelInTheGaugeStopsThatRunOnly) {
  AddStandardList();
  setupkit::CopyGaugeProc(nullptr, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(Copy(), grcUserQuit);
  EXPECT_EQ(Copy(), grcOkay);
  EXPECT_EQ(session_.Transcript(), Lines({"copy 0 of 4 files", "copy 4 of 4 files"}));
}

TEST_F(CopyEngine, ListsNeedTheirSectionsAndTheFrame) {
  EXPECT_FALSE(FAddSectionFilesToCopyList("Mips Monitor", "C:\\DIST\\", "C:\\WINNT35\\system32"));
  EXPECT_FALSE(FAddSectionKeyFileToCopyList("PPD Files", "Norvale 99", "C:\\DIST\\", "C:\\X"));
  EXPECT_TRUE(setupkit::CopyList().empty());
  AddStandardList();
  EXPECT_EQ(GrcCopyFilesInCopyList(nullptr), grcNotOkay);
  ResetCopyList();
  EXPECT_TRUE(setupkit::CopyList().empty());
  EXPECT_EQ(Copy(), grcOkay);  // an empty list copies nothing, successfully
}

TEST_F(CopyEngine, SingleLinesSpecialFilesCostAndDump) {
  ASSERT_TRUE(
      FAddSectionKeyFileToCopyList("PPD Files", "norvale pagerelay 12", "C:\\DIST", "C:\\PPD"));
  ASSERT_TRUE(
      FAddSpecialFileToCopyList("PPD Files", "Norvale PageRelay 12", "C:\\DIST", "C:\\PPD\\x.ppd"));
  // Two copies of a 20-byte file; one of them replaces a file of 5 bytes.
  Image().WriteFile("drive_c/PPD/x.ppd", "12345");
  EXPECT_EQ(LcbGetCopyListCost(nullptr, "Cost", nullptr), 20 + 15);
  char item[32];
  CbGetListItem("Cost", 3, item, sizeof item);
  EXPECT_STREQ(item, "35");  // drive C:
  EXPECT_EQ(UsGetListLength("Cost"), 26);

  ASSERT_TRUE(FDumpCopyListToFile("C:\\copylist.txt"));
  EXPECT_EQ(Image().ReadFile("drive_c/copylist.txt"),
            "; Copy list: 2 files\r\n"
            "C:\\DIST\\PR12.PPD -> C:\\PPD\\PR12.PPD (20 bytes)\r\n"
            "C:\\DIST\\PR12.PPD -> C:\\PPD\\x.ppd (20 bytes)\r\n");
  EXPECT_EQ(Copy(), grcOkay);
  EXPECT_EQ(Image().ReadFile("drive_c/PPD/x.ppd"), "contents of PR12.PPD");

  // A cost beyond what a 32-bit LONG holds is answered as its largest value, never wrapped.
  ResetCopyList();
  ASSERT_EQ(truncate(Image().HostPath("drive_c/DIST/PR12.PPD").c_str(), 3LL << 30), 0);
  ASSERT_TRUE(
      FAddSectionKeyFileToCopyList("PPD Files", "Norvale PageRelay 12", "C:\\DIST", "C:\\BIG"));
  EXPECT_EQ(LcbGetCopyListCost(nullptr, nullptr, nullptr), INT32_MAX);
}

TEST_F(CopyEngine, SingleFileCopyTellsTheUserOnlyWhenAsked) {
  EXPECT_FALSE(FCopyOneFile("C:\\DIST\\none.dll", "C:\\X\\none.dll", cmoNone, FALSE));
  EXPECT_TRUE(session_.Transcript().empty());
  EXPECT_FALSE(FCopyOneFile("C:\\DIST\\none.dll", "C:\\X\\none.dll", cmoTellUser, FALSE));
  EXPECT_EQ(session_.Transcript().size(), 1u);

  EXPECT_TRUE(FCopyOneFile("C:\\DIST\\readme.txt", "C:\\X\\log.txt", cmoNone, FALSE));
  EXPECT_TRUE(FCopyOneFile("C:\\DIST\\readme.txt", "C:\\X\\log.txt", cmoNone, TRUE));
  EXPECT_EQ(Image().ReadFile("drive_c/X/log.txt"), "read meread me");
  // A file copied onto itself stays as it is.
  EXPECT_TRUE(FCopyOneFile("C:\\DIST\\readme.txt", "c:\\dist\\README.TXT", cmoNone, FALSE));
  EXPECT_EQ(Image().ReadFile("drive_c/DIST/readme.txt"), "read me");
}

}  // namespace
