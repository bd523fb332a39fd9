// Shared-application support on a small machine: the "MSAPPS" record of WIN.INI, and where a
// shared component file is found, in which order the candidates are tried, and whether the
// file there must be replaced.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "setup/setup_state.h"
#include "system_session.h"
#include "toolkit/shared_app_support.h"
#include "toolkit/toolkit_services.h"
#include "winsim/version.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;

namespace {

const char kWinIni[] = "drive_c/WINNT35/WIN.INI";

std::string Versioned(uint32_t major, uint32_t minor) {
  return winsim::VersionedBinary("shared", 256, major << 16 | minor, 0);
}

// The eight component keys as EnsureSharedAppDirs writes them below `dir`.
std::string ComponentKeys(const std::string &dir) {
  std::string text;
  for (const char *key :
       {"CLIPART", "EQUATION", "GRPHFLT", "MSDRAW", "MSGRAPH", "PROOF", "TEXTCONV", "WORDART"})
    text += std::string(key) + "=" + dir + "\\" + key + "\r\n";
  return text;
}

class SharedApps : public ::testing::Test {
 protected:
  void Open(const std::string &winIni, const std::string &machineExtra = "",
            const std::string &registry = "") {
    session_ = std::make_unique<SystemSession>("[environment]\nPATH = C:\\TOOLS\n" + machineExtra);
    if (!winIni.empty()) Image().WriteFile(kWinIni, winIni);
    if (!registry.empty())
      Image().WriteFile("system.reg", std::string(testing_support::kMinimalRegistry) + registry);
    // Field 1 names the file, field 19 the version wanted.
    Image().WriteFile("drive_c/DIST/shared.inf",
                      "[Shared]\r\ngraph = GRAPH.EXE" + std::string(18, ',') + "2.0.0.0\r\n");
    session_->OpenWithFrame("2300 CONTINUE\n");
    ASSERT_TRUE(LoadRegistryLibrary());
    ASSERT_TRUE(FOpenInf("C:\\DIST\\shared.inf", TRUE, FALSE));
    // The record is checked once per process; these tests decide for themselves.
    fSharedDirsPending = FALSE;
  }
  void TearDown() override { FreeRegistryLibrary(); }
  testing_support::TestImage &Image() { return session_->Image(); }
  void ReadOnly(const std::string &relative) {
    ASSERT_EQ(chmod(Image().HostPath(relative).c_str(), 0444), 0);
  }

  // LocateSharedAppFile for the "graph" line, component key "MSGRAPH", the registry key
  // "Graph.Path" and field 2 of WIN.INI [Graph] Path.
  const char *LocateGraph(char *result, int size) {
    return LocateSharedAppFile("Shared", "graph", "MSGRAPH", "Graph.Path", "Graph", "Path", 2,
                               result, size);
  }

  std::unique_ptr<SystemSession> session_;
};

TEST_F(SharedApps, FirstCheckWritesTheRecordAndTheSecondChangesNothing) {
  Open("");
  // A fresh process: the child runs both checks and answers their results.
  EXPECT_EXIT(
      {
        fSharedDirsPending = TRUE;
        int first = EnsureSharedAppDirs();
        std::string after = Image().ReadFile(kWinIni);
        int second = EnsureSharedAppDirs();
        std::_Exit(first * 10 + second + (Image().ReadFile(kWinIni) == after ? 0 : 100));
      },
      ExitedWithCode(11), "");
  EXPECT_EQ(Image().ReadFile(kWinIni),
            "[MSAPPS]\r\nMSAPPS=C:\\WINNT35\\MSAPPS\r\n" + ComponentKeys("C:\\WINNT35\\MSAPPS"));
}

TEST_F(SharedApps, FailedFirstCheckIsNotRepeated) {
  Open("", "[faults]\nWritePrivateProfileStringA = 5\n");
  EXPECT_EXIT(
      {
        fSharedDirsPending = TRUE;
        int first = EnsureSharedAppDirs();
        std::_Exit(first * 10 + EnsureSharedAppDirs());
      },
      ExitedWithCode(1), "");
  EXPECT_FALSE(Image().Exists(kWinIni));
}

TEST_F(SharedApps, OnlyComponentKeysThatAreNotValidDirectoriesAreRewritten) {
  Open("[MSAPPS]\r\nMSAPPS=C:\\SHARED\\\r\nCLIPART=D:\\ART\r\nEQUATION=nowhere\r\n");
  fSharedDirsPending = TRUE;
  EXPECT_EQ(EnsureSharedAppDirs(), 1);
  std::string keys = ComponentKeys("C:\\SHARED");
  keys.replace(0, keys.find("\r\n"), "CLIPART=D:\\ART");
  EXPECT_EQ(Image().ReadFile(kWinIni), "[MSAPPS]\r\nMSAPPS=C:\\SHARED\\\r\n" + keys);
  EXPECT_FALSE(fSharedDirsPending);
}

TEST_F(SharedApps, OlderWritableCandidateIsTakenAndMarkedForUpdate) {
  Open("[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\nMSGRAPH=C:\\SHARED\\MSGRAPH\r\n", "",
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Graph.Path]\r\n@=\"C:\\\\APPS\\\\GRAPH."
       "EXE\"\r\n\r\n");
  Image().WriteFile("drive_c/APPS/GRAPH.EXE", Versioned(1, 5));
  char result[64];
  ASSERT_STREQ(LocateGraph(result, sizeof result), "C:\\APPS\\GRAPH.EXE");
  EXPECT_EQ(SharedFileNeedsUpdate(), 1);
}

TEST_F(SharedApps, OlderReadOnlyCandidateIsDroppedForTheNext) {
  Open(
      "[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\nMSGRAPH=C:\\SHARED\\MSGRAPH\r\n"
      "[Graph]\r\nPath=first, C:\\OTHER\\GRAPH.EXE\r\n",
      "",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Graph.Path]\r\n@=\"C:\\\\APPS\\\\GRAPH."
      "EXE\"\r\n\r\n");
  Image().WriteFile("drive_c/APPS/GRAPH.EXE", Versioned(1, 5));
  ReadOnly("drive_c/APPS/GRAPH.EXE");
  Image().WriteFile("drive_c/OTHER/GRAPH.EXE", Versioned(3, 0));
  char result[64];
  ASSERT_STREQ(LocateGraph(result, sizeof result), "C:\\OTHER\\GRAPH.EXE");
  EXPECT_EQ(SharedFileNeedsUpdate(), 0);

  // Without it, the default path in the component's directory.
  Image().WriteFile("drive_c/OTHER/GRAPH.EXE", Versioned(1, 0));
  ReadOnly("drive_c/OTHER/GRAPH.EXE");
  ASSERT_STREQ(LocateGraph(result, sizeof result), "C:\\SHARED\\MSGRAPH\\GRAPH.EXE");
  EXPECT_EQ(SharedFileNeedsUpdate(), 1);
}

TEST_F(SharedApps, DefaultPathNeedsNoUpdateOnlyWhenAFileRecentEnoughIsThere) {
  Open("[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\nMSGRAPH=C:\\SHARED\\MSGRAPH\r\n");
  const char kDefault[] = "C:\\SHARED\\MSGRAPH\\GRAPH.EXE";
  char result[64];
  ASSERT_STREQ(LocateGraph(result, sizeof result), kDefault);
  EXPECT_EQ(SharedFileNeedsUpdate(), 1);

  struct {
    uint32_t major, minor;
    int stale;
  } cases[] = {{1, 9, 1}, {2, 0, 0}, {2, 1, 0}};
  for (const auto &c : cases) {
    Image().WriteFile("drive_c/SHARED/MSGRAPH/GRAPH.EXE", Versioned(c.major, c.minor));
    ASSERT_STREQ(LocateGraph(result, sizeof result), kDefault);
    EXPECT_EQ(SharedFileNeedsUpdate(), c.stale) << c.major << "." << c.minor;
  }
  // A result buffer too small for the default path: no path.
  EXPECT_EQ(LocateGraph(result, 27), nullptr);
  EXPECT_EQ(LocateGraph(nullptr, 64), nullptr);
}

TEST_F(SharedApps, MissingComponentKeyIsRecordedBelowTheSharedDirectory) {
  Open("[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\n");
  char result[64];
  ASSERT_STREQ(LocateGraph(result, sizeof result), "C:\\SHARED\\MSGRAPH\\GRAPH.EXE");
  EXPECT_EQ(Image().ReadFile(kWinIni),
            "[MSAPPS]\r\nMSAPPS=C:\\SHARED\r\nMSGRAPH=C:\\SHARED\\MSGRAPH\r\n");
}

TEST_F(SharedApps, NoPathWithoutTheRecordOrTheSetupFileLine) {
  Open("[MSAPPS]\r\nCLIPART=C:\\ART\r\n");
  char result[64] = "";
  EXPECT_EQ(LocateGraph(result, sizeof result), nullptr);
  EXPECT_EQ(LocateSharedAppFile("Shared", "chart", "CLIPART", "", "", "", 1, result, sizeof result),
            nullptr);
  EXPECT_EQ(Image().ReadFile(kWinIni), "[MSAPPS]\r\nCLIPART=C:\\ART\r\n");
}

TEST_F(SharedApps, MissingCandidateIsLookedForByItsNameInWindowsThenSystemThenPath) {
  Open("");
  Image().WriteFile("drive_c/WINNT35/BOTH.DLL", Versioned(2, 0));
  Image().WriteFile("drive_c/WINNT35/system32/BOTH.DLL", Versioned(2, 0));
  Image().WriteFile("drive_c/WINNT35/system32/SYS.DLL", Versioned(2, 0));
  Image().WriteFile("drive_c/TOOLS/ONLY.DLL", Versioned(2, 0));
  char result[64];
  EXPECT_STREQ(CheckSharedCandidate("C:\\GONE\\BOTH.DLL", "2.0", result, sizeof result),
               "C:\\WINNT35\\BOTH.DLL");
  EXPECT_STREQ(CheckSharedCandidate("C:\\GONE\\SYS.DLL", "2.0", result, sizeof result),
               "C:\\WINNT35\\system32\\SYS.DLL");
  EXPECT_STREQ(CheckSharedCandidate("C:\\GONE\\ONLY.DLL", "", result, sizeof result),
               "C:\\TOOLS\\ONLY.DLL");
  EXPECT_EQ(CheckSharedCandidate("C:\\GONE\\NONE.DLL", "", result, sizeof result), nullptr);
  EXPECT_EQ(CheckSharedCandidate("NOT A PATH", "", result, sizeof result), nullptr);
  EXPECT_STREQ(result, "");
}

TEST_F(SharedApps, FoundPathIsTakenOnlyWhenItFitsTheCallersBuffer) {
  Open("");
  Image().WriteFile("drive_c/WINNT35/system32/SHR.DLL", Versioned(2, 0));
  // The candidate fits 20 bytes; the path found, 27 characters, does not.
  std::vector<char> result(20, 'x');
  EXPECT_EQ(CheckSharedCandidate("C:\\GONE\\SHR.DLL", "2.0", result.data(), 20), nullptr);
  EXPECT_STREQ(result.data(), "");
  std::vector<char> roomy(28, 'x');
  EXPECT_STREQ(CheckSharedCandidate("C:\\GONE\\SHR.DLL", "2.0", roomy.data(), 28),
               "C:\\WINNT35\\system32\\SHR.DLL");
}

TEST(CompareVersions, FieldByFieldWithTheEmptyVersionOldest) {
  testing_support::TestImage image;
  image.Open();
  struct {
    const char *a, *b;
    int result;
  } cases[] = {{"", "1.0", -1},
               {"1.0", "", 1},
               {"", "", 0},
               {"2.0.0.0", "2.0", 0},
               {"2.10", "2.9", 1},
               {"3.1.0.5", "3.1.0.12", -1},
               {"1.0.0.1.9", "1.0.0.1", 0}};
  for (const auto &c : cases)
    EXPECT_EQ(CompareVersions(c.a, c.b), c.result) << c.a << " vs " << c.b;
}

}  // namespace
