// Start-up: the source directory, the frame, the registry library, and the built program's paths
// from start to EndSetup, each ending with exit code 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "setup/setup_state.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/toolkit_services.h"
#include "wizard_session.h"

using ::testing::ExitedWithCode;
using testing_support::MakeTempDir;
using testing_support::RemoveTree;
using testing_support::RunResult;
using testing_support::SystemSession;
using testing_support::WriteHostFile;

namespace {

using Lines = std::vector<std::string>;

// Leaving through the quit confirmation of the welcome dialog: the end of every run that got
// through start-up, whatever the later steps do.
const char kLeaveAtWelcome[] = "100 EXIT\n200 EXIT\n";
const Lines kLeftAtWelcome = {"dialog 100 EXIT", "dialog 200 EXIT", "exit 0"};

// InitSetupFrame keeps its frame value for the life of the process, so each case runs in a
// child; the child exits 0 when the frame came up with the expected source directory.
void ExpectSourceDirectory(SystemSession &session, const std::string &hostCwd,
                           const char *expected) {
  session.Image().Open(hostCwd, session.TranscriptPath(), session.AnswersPath());
  EXPECT_EXIT(
      {
        char cmd[] = "/s:a \"b c\"";
        int frame = InitSetupFrame(cmd);
        bool ok = frame == 1 && std::strcmp(szSrcDir, expected) == 0 &&
                  setupkit::FrameCommandLine() == "/s:a \"b c\"" && setupkit::InstallUp();
        // A second start-up is a no-op that reports 0 and changes nothing.
        ok = ok && InitSetupFrame(cmd) == 0 && std::strcmp(szSrcDir, expected) == 0;
        std::fprintf(stderr, "frame %d, szSrcDir \"%s\"\n", frame, szSrcDir);
        std::_Exit(ok ? 0 : 1);
      },
      ExitedWithCode(0), "")
      << "expected szSrcDir \"" << expected << "\"";
}

TEST(InitSetupFrame, SourceDirectoryEndsInOneBackslash) {
  SystemSession session;
  ExpectSourceDirectory(session, session.Image().HostPath("drive_c"), "C:\\");
  ExpectSourceDirectory(session, session.Image().HostPath("drive_c/DIST"), "C:\\DIST\\");
  // A directory outside every drive of the machine is seen as the root of drive A:.
  std::string floppy = MakeTempDir("floppy-");
  ExpectSourceDirectory(session, floppy, "A:\\");
  RemoveTree(floppy);
}

// The host directory inside drive C: whose Windows path has exactly `length` characters.
std::string DirectoryOfWindowsLength(SystemSession &session, size_t length) {
  std::string windows = "C:\\", host = session.Image().HostPath("drive_c/");
  while (windows.size() < length) {
    size_t separator = windows.size() > 3 ? 1 : 0;
    size_t remaining = length - windows.size() - separator;
    size_t part = std::min<size_t>(60, remaining);
    if (remaining - part == 1) --part;  // never leave room for a lone separator
    if (separator) windows += '\\', host += '/';
    windows += std::string(part, 'd');
    host += std::string(part, 'd');
  }
  std::filesystem::create_directories(host);
  return host;
}

TEST(InitSetupFrame, LongestWorkingDirectoryStillGetsItsBackslash) {
  SystemSession session;
  std::string longest = DirectoryOfWindowsLength(session, 254);
  std::string expected = "C:\\" + longest.substr(session.Image().HostPath("drive_c/").size());
  std::replace(expected.begin(), expected.end(), '/', '\\');
  ASSERT_EQ(expected.size(), 254u);
  ExpectSourceDirectory(session, longest, (expected + "\\").c_str());
  // One character more does not fit the 255 bytes read: the source directory stays empty
  // (names are then found relative to the working directory) and nothing is read or written
  // outside the buffer.
  SystemSession tooLong;
  ExpectSourceDirectory(tooLong, DirectoryOfWindowsLength(tooLong, 255), "");
}

TEST(InitSetupFrame, FailedInitialisationTearsDownAndAnswersZero) {
  // The frame's mutex, its window, the dialog library the installation needs.
  for (const char *fault : {"CreateMutexA = 5", "CreateWindowExA = 8", "LoadLibraryA#1 = 126"}) {
    SystemSession session(std::string("[faults]\n") + fault + "\n");
    session.Open("");
    char cmd[] = "";
    EXPECT_EXIT(std::_Exit(InitSetupFrame(cmd) == 0 && !setupkit::FrameUp() ? 0 : 1),
                ExitedWithCode(0), "")
        << fault;
  }
}

class RegistryLibrary : public ::testing::Test {
 protected:
  void Open(const std::string &faults) {
    session_.reset(new SystemSession(faults.empty() ? "" : "[faults]\n" + faults + "\n"));
    session_->Open("");
  }
  void TearDown() override { FreeRegistryLibrary(); }

  static std::vector<const void *> EntryPoints() {
    return {(const void *)RegLib.pfnRegCloseKey,      (const void *)RegLib.pfnRegCreateKeyA,
            (const void *)RegLib.pfnRegDeleteKeyA,    (const void *)RegLib.pfnRegOpenKeyA,
            (const void *)RegLib.pfnRegQueryValueA,   (const void *)RegLib.pfnRegSetValueA,
            (const void *)RegLib.pfnRegCreateKeyExA,  (const void *)RegLib.pfnRegOpenKeyExA,
            (const void *)RegLib.pfnRegQueryValueExA, (const void *)RegLib.pfnRegSetValueExA,
            (const void *)RegLib.pfnRegEnumKeyA,      (const void *)RegLib.pfnRegQueryInfoKeyA};
  }

  std::unique_ptr<SystemSession> session_;
};

TEST_F(RegistryLibrary, LoadsTwelveEntryPointsThatWork) {
  Open("");
  ASSERT_EQ(LoadRegistryLibrary(), 1);
  for (const void *p : EntryPoints()) EXPECT_NE(p, nullptr);
  HKEY key;
  ASSERT_EQ(RegLib.pfnRegOpenKeyA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegLib.pfnRegCloseKey(key), ERROR_SUCCESS);

  FreeRegistryLibrary();
  EXPECT_EQ(RegLib.hModule, nullptr);
  for (const void *p : EntryPoints()) EXPECT_EQ(p, nullptr);
  EXPECT_EQ(GetModuleHandleA("ADVAPI32.DLL"), nullptr) << "the module is released";
  FreeRegistryLibrary();  // a second call does nothing
}

TEST_F(RegistryLibrary, MissingRequiredEntryPointLeavesNothingLoaded) {
  for (int n = 1; n <= 6; ++n) {
    Open("GetProcAddress#" + std::to_string(n) + " = 127");
    EXPECT_EQ(LoadRegistryLibrary(), 0) << "entry point " << n;
    EXPECT_EQ(RegLib.hModule, nullptr);
    for (const void *p : EntryPoints()) EXPECT_EQ(p, nullptr) << "entry point " << n;
    EXPECT_EQ(GetModuleHandleA("ADVAPI32.DLL"), nullptr) << "entry point " << n;
  }
}

TEST_F(RegistryLibrary, MissingOptionalEntryPointIsKeptEmpty) {
  for (int n = 7; n <= 12; ++n) {
    Open("GetProcAddress#" + std::to_string(n) + " = 127");
    ASSERT_EQ(LoadRegistryLibrary(), 1) << "entry point " << n;
    std::vector<const void *> entries = EntryPoints();
    for (int i = 0; i < 12; ++i)
      EXPECT_EQ(entries[i] == nullptr, i == n - 1) << "entry point " << i + 1 << " with " << n;
    FreeRegistryLibrary();
  }
}

TEST_F(RegistryLibrary, LibraryThatDoesNotLoad) {
  Open("LoadLibraryA = 126");
  EXPECT_EQ(LoadRegistryLibrary(), 0);
  EXPECT_EQ(RegLib.hModule, nullptr);
}

// ---- the built program ---------------------------------------------------------------------

// A walk through the whole setup that goes on at every question and declines the offers, and
// what it leaves in the transcript.
const char kWalkAnswers[] = "100 CONTINUE\n800 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n";
// The install sequence's own lines follow the option dialog.
const Lines kWalkTranscript =
    wizard_testing::WithInstall({"dialog 100 CONTINUE", "dialog 800 CONTINUE", "dialog 1200 CANCEL",
                                 "dialog 1400 CANCEL", "dialog 700 CONTINUE", "exit 0"},
                                wizard_testing::FreshInstallLines(7));

// The small distribution in a host directory.
void WriteDistribution(const std::string &hostDir) {
  WriteHostFile(hostDir + "/setup.inf", testing_support::SmallSetupInf());
  for (const std::string &file : testing_support::SmallDistributionFiles())
    WriteHostFile(hostDir + "/" + file, testing_support::DistributionFileContents(file));
}

TEST(SetupProgram, QuitConfirmationGoesBackOrEnds) {
  SystemSession session;
  // CONTINUE and CANCEL in the confirmation both go on; BACK is not an answer of the welcome
  // dialog and shows it again.
  RunResult run = session.RunSetup(
      "100 CANCEL\n200 CONTINUE\n100 EXIT\n200 CANCEL\n100 BACK\n100 EXIT\n200 BACK\n200 EXIT\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            Lines({"dialog 100 CANCEL", "dialog 200 CONTINUE", "dialog 100 EXIT",
                   "dialog 200 CANCEL", "dialog 100 BACK", "dialog 100 EXIT", "dialog 200 BACK",
                   "dialog 200 EXIT", "exit 0"}));
}

TEST(SetupProgram, StartsFromADriveRootAndFromOutsideTheMachine) {
  SystemSession session;
  wizard_testing::AddPostScriptModules(session);
  WriteDistribution(session.Image().HostPath("drive_c"));
  RunResult run = session.RunSetup(kWalkAnswers, session.Image().HostPath("drive_c"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(), kWalkTranscript);

  // A machine of its own: on the first one this would be an upgrade.
  SystemSession other;
  wizard_testing::AddPostScriptModules(other);
  std::string floppy = MakeTempDir("floppy-");
  WriteDistribution(floppy);
  run = other.RunSetup(kWalkAnswers, floppy);
  RemoveTree(floppy);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(other.Transcript(), kWalkTranscript);
}

TEST(SetupProgram, MissingOrMalformedSetupFileIsToldThenFatal) {
  // The toolkit names the file, the line and the reason; the setup then reports its failure.
  const Lines kFatal = {"error \"Error code = 1024\"", "dialog 2300 CONTINUE", "exit 0"};
  auto told = [&](const std::string &text) {
    Lines lines = {"msgbox \"Norvale Network Printing Setup\" \"" + text + "\""};
    lines.insert(lines.end(), kFatal.begin(), kFatal.end());
    return lines;
  };
  SystemSession session;
  session.Image().WriteFile("drive_c/EMPTY/readme.txt", "no setup.inf here");
  RunResult run = session.RunSetup("2300 CONTINUE\n", session.Image().HostPath("drive_c/EMPTY"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(), told("C:\\\\EMPTY\\\\setup.inf: no such file"));

  session.ClearTranscript();
  session.Image().WriteFile("drive_c/DIST/setup.inf", "[PPD Files\r\n\"unterminated = x.ppd\r\n");
  run = session.RunSetup("2300 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            told("C:\\\\DIST\\\\setup.inf: line 1: a section header lacks its \\\"]\\\""));
}

TEST(SetupProgram, FrameThatDoesNotComeUpIsToldAndEnds) {
  const struct {
    const char *fault;
    const char *told;
  } cases[] = {
      {"CreateMutexA = 5", "it cannot tell whether another setup is running (error 5)"},
      {"CreateWindowExA = 8", "its window cannot be made (error 8)"},
      {"LoadLibraryA#1 = 126", "the dialog library mscuistf.dll cannot be loaded (error 126)"},
  };
  for (const auto &c : cases) {
    SystemSession session(std::string("[faults]\n") + c.fault + "\n");
    RunResult run = session.RunSetup("");
    EXPECT_EQ(run.status, 0) << c.fault << run.err;
    EXPECT_EQ(
        session.Transcript(),
        Lines({std::string("msgbox \"Setup\" \"Setup cannot start: ") + c.told + ".\"", "exit 0"}))
        << c.fault;
  }
}

TEST(SetupProgram, SecondSetupOnTheSameMachineLeavesAtOnce) {
  SystemSession session;
  session.Open("");
  char cmd[] = "";
  ASSERT_EQ(InitializeFrame(cmd), 1);  // this process holds the machine
  RunResult run = session.RunSetup("100 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(), Lines({"exit 0"}));
  TerminateFrame();
}

TEST(SetupProgram, IncompleteRegistryLibraryEndsSilently) {
  SystemSession required("[faults]\nGetProcAddress#6 = 127\n");
  RunResult run = required.RunSetup("");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(required.Transcript(), Lines({"exit 0"}));

  SystemSession optional("[faults]\nGetProcAddress#12 = 127\n");
  wizard_testing::AddPostScriptModules(optional);
  run = optional.RunSetup(kWalkAnswers);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(optional.Transcript(), kWalkTranscript);
}

TEST(SetupProgram, FrameBitmapFailureIsFatal) {
  SystemSession session("[faults]\nLoadBitmapA = 1814\n");
  RunResult run = session.RunSetup("2300 CONTINUE\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(session.Transcript(),
            Lines({"error \"Error code = 1024\"", "dialog 2300 CONTINUE", "exit 0"}));
}

}  // namespace
