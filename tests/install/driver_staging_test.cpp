// PostScript driver staging on small machines: where the modules are taken from (the driver
// directory root, a version subdirectory, the Windows NT distribution), the version that
// results, which directory entries are never searched, the dialogs the user goes through when
// modules are missing, and the fatal reports when the distribution path cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "install/driver_staging.h"
#include "install/status_code.h"
#include "setup/setup_state.h"
#include "setupkit/setupkit.h"
#include "system_session.h"
#include "toolkit/dialog_library.h"
#include "winsim/version.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

const char kDriverDir[] = "C:\\WINNT35\\system32\\spool\\drivers\\w32x86";
const std::string kRoot = "drive_c/WINNT35/system32/spool/drivers/w32x86";

// A module of version major.minor, telling where it came from.
std::string Module(const std::string &where, uint32_t major = 3, uint32_t minor = 50) {
  return winsim::VersionedBinary(where, 512, major << 16 | minor, 0);
}

struct Staging {
  explicit Staging(const std::string &extra = "")
      : session("[drives]\nD = drive_d\nE = drive_e\n\n" + extra) {
    std::filesystem::create_directories(session.Image().HostPath("drive_d"));
    std::filesystem::create_directories(session.Image().HostPath("drive_e"));
  }
  void Put(const std::string &relative, const std::string &content) {
    session.Image().WriteFile(relative, content);
  }
  // Both modules (and the help file) in a directory of the image.
  void PutModules(const std::string &dir, const std::string &tag,
                  const std::vector<std::string> &names = {"pscript.dll", "pscrptui.dll"}) {
    for (const std::string &name : names) Put(dir + "/" + name, Module(tag + "/" + name));
  }
  std::string Root(const std::string &name) {
    return session.Image().Exists(kRoot + "/" + name) ? session.Image().ReadFile(kRoot + "/" + name)
                                                      : "<none>";
  }
  std::vector<std::string> RootFiles() {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(session.Image().HostPath(kRoot)))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Opens the machine with these answers, as the setup state stands before Install.
  void Open(const std::string &answers, bool nt35 = true) {
    session.OpenWithFrame(answers);
    fDaytona = nt35;
    fNT31 = !nt35;
    lstrcpyA(szDriverDir, kDriverDir);
  }
  int Run(DWORD *version) {
    *version = 0xDEAD;
    return setupForPPDInstall(version);
  }

  SystemSession session;
};

TEST(DriverStaging, Nt35RootModulesAreVersionOneOnlyWithoutAVersionSubdirectory) {
  // Beside a version subdirectory, modules in the root are copies that an earlier setup staged
  // and did not live to delete: the subdirectory gives the modules and the version.
  const struct {
    bool subdirectory;
    DWORD version;
    const char *from;
  } cases[] = {{false, 1, "root"}, {true, 2, "two"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.from);
    Staging s;
    s.PutModules(kRoot, "root");
    if (c.subdirectory) s.PutModules(kRoot + "/2", "two");
    s.Open("");
    DWORD version;
    EXPECT_EQ(s.Run(&version), STATUS_CODE_SUCCESS);
    EXPECT_EQ(version, c.version);
    EXPECT_EQ(s.Root("pscript.dll"), Module(std::string(c.from) + "/pscript.dll"));
    EXPECT_TRUE(s.session.Transcript().empty());
  }
}

TEST(DriverStaging, Nt35VersionSubdirectoryGivesTheModulesAndTheVersion) {
  const struct {
    std::vector<std::string> both;  // subdirectories holding both modules
    int status;
    DWORD version;
    const char *from;
  } cases[] = {
      {{"2"}, STATUS_CODE_SUCCESS, 2, "2"},
      {{"0"}, STATUS_CODE_SUCCESS, 0, "0"},
      {{"3a"}, STATUS_CODE_SUCCESS, 3, "3a"},
      {{"1", "2"}, STATUS_CODE_SUCCESS, 1, "1"},  // the first one the search returns
      {{"color"}, STATUS_CODE_FAILURE, 0, "color"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.from);
    Staging s;
    for (const std::string &dir : c.both) s.PutModules(kRoot + "/" + dir, dir);
    s.Put(kRoot + "/" + c.both[0] + "/pscript.hlp", "help");
    s.Open("");
    DWORD version;
    SetLastError(0);
    int status = s.Run(&version);
    EXPECT_EQ(status, c.status);
    if (status == STATUS_CODE_SUCCESS)
      EXPECT_EQ(version, c.version);
    else
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(s.Root("pscript.dll"), Module(std::string(c.from) + "/pscript.dll"));
    EXPECT_EQ(s.Root("pscrptui.dll"), Module(std::string(c.from) + "/pscrptui.dll"));
    EXPECT_EQ(s.Root("pscript.hlp"), "<none>") << "the help file stays behind on NT 3.5";
    EXPECT_TRUE(s.session.Transcript().empty());
  }
}

TEST(DriverStaging, Nt35SearchesOnlyPlainSubdirectoriesThatHoldBothModules) {
  for (bool withTwo : {true, false}) {
    SCOPED_TRACE(withTwo ? "2 holds both" : "nothing qualifies");
    Staging s;
    s.PutModules("drive_c/WINNT35/system32/spool/drivers", "parent");  // reached as ".."
    s.PutModules(kRoot + "/.old", "dot");
    s.PutModules(kRoot + "/1", "readonly");
    s.PutModules(kRoot + "/10", "half", {"pscript.dll"});
    if (withTwo) s.PutModules(kRoot + "/2", "two");
    s.PutModules("drive_d/I386", "cd");
    std::string readOnly = s.session.Image().HostPath(kRoot + "/1");
    ::chmod(readOnly.c_str(), 0555);
    s.Open(withTwo ? "" : "1100 CONTINUE\n");
    DWORD version;
    EXPECT_EQ(s.Run(&version), STATUS_CODE_SUCCESS);
    ::chmod(readOnly.c_str(), 0755);
    if (withTwo) {
      EXPECT_EQ(version, 2u);
      EXPECT_EQ(s.Root("pscript.dll"), Module("two/pscript.dll"));
      EXPECT_TRUE(s.session.Transcript().empty());
    } else {
      EXPECT_EQ(version, 1u) << "modules from the distribution are version 1";
      EXPECT_EQ(s.Root("pscript.dll"), Module("cd/pscript.dll"));
      EXPECT_EQ(s.Root("pscrptui.dll"), Module("cd/pscrptui.dll"));
      EXPECT_EQ(s.session.Transcript(), Lines{"dialog 1100 CONTINUE"});
    }
  }
}

TEST(DriverStaging, Nt35CopyOutOfTheSubdirectoryThatFailsIsAFailure) {
  Staging s;
  s.PutModules(kRoot + "/2", "two");
  s.Put(kRoot + "/pscript.dll", "loaded by the spooler");
  s.Open("");
  std::string host;
  ASSERT_TRUE(winsim::ResolvePath(std::string(kDriverDir) + "\\pscript.dll", &host, nullptr));
  winsim::SetFileLoaded(host, true);
  DWORD version;
  EXPECT_EQ(s.Run(&version), STATUS_CODE_FAILURE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(s.Root("pscrptui.dll"), "<none>") << "the second module is not tried";
}

TEST(DriverStaging, Nt31LooksAtTheRootOnlyAndInstallsFromTheSetupPath) {
  Staging s;
  s.Put(kRoot + "/pscript.dll", "unversioned old driver");
  s.PutModules(kRoot + "/2", "two");  // NT 3.1 keeps no version subdirectories
  s.PutModules("drive_d/I386", "cd", {"pscript.dll", "pscrptui.dll", "pscript.hlp"});
  s.Open("1100 CONTINUE\n", false);
  DWORD version;
  EXPECT_EQ(s.Run(&version), STATUS_CODE_SUCCESS);
  EXPECT_EQ(version, 1u);
  EXPECT_EQ(setupkit::GetSymbol(SYM_EDIT_TEXT_IN), "D:\\I386") << "offered from WinntPath";
  for (const char *name : {"pscript.dll", "pscrptui.dll", "pscript.hlp"})
    EXPECT_EQ(s.Root(name), Module(std::string("cd/") + name)) << name;
  EXPECT_EQ(s.session.Transcript(), Lines{"dialog 1100 CONTINUE"});
}

TEST(DriverStaging, MissingModuleBringsTheNoticeAndThePathDialogBackWithTheLastPath) {
  Staging s;
  s.PutModules("drive_e/NT", "e", {"pscript.dll"});
  s.Put("drive_e/NT/pscript.dll", "unversioned");
  s.PutModules("drive_d/I386", "cd");
  const std::string answers =
      "1100 CONTINUE text=E:\\NT\\\n1300 CONTINUE\n"
      "1100 CONTINUE\n1300 CANCEL\n200 CONTINUE\n1300 CONTINUE\n"  // E:\NT, as offered again
      "1100 CONTINUE text=D:\\I386\n";
  s.Open(answers);
  DWORD version;
  EXPECT_EQ(s.Run(&version), STATUS_CODE_SUCCESS);
  EXPECT_EQ(version, 1u);
  Lines expected;
  for (const char *line : {"1100 CONTINUE", "1300 CONTINUE", "1100 CONTINUE", "1300 CANCEL",
                           "200 CONTINUE", "1300 CONTINUE", "1100 CONTINUE"})
    expected.push_back(std::string("dialog ") + line);
  EXPECT_EQ(s.session.Transcript(), expected);
  EXPECT_EQ(s.Root("pscript.dll"), Module("cd/pscript.dll"));
  EXPECT_EQ(s.Root("pscrptui.dll"), Module("cd/pscrptui.dll"));
  EXPECT_TRUE(setupkit::DialogStack().empty());
}

TEST(DriverStaging, OlderModuleOnTheDistributionIsRefusedLikeAMissingOne) {
  Staging s;
  s.Put(kRoot + "/pscript.dll", Module("installed", 3, 50));
  for (const char *name : {"pscript.dll", "pscrptui.dll", "pscript.hlp"})
    s.Put(std::string("drive_d/I386/") + name, Module("cd", 3, 10));
  for (const char *name : {"pscript.dll", "pscrptui.dll"})
    s.Put(std::string("drive_e/NEW/") + name, Module("new", 3, 51));
  s.Open("1100 CONTINUE\n1300 CONTINUE\n1100 CONTINUE text=E:\\NEW\n", false);
  DWORD version;
  EXPECT_EQ(s.Run(&version), STATUS_CODE_SUCCESS);
  EXPECT_EQ(s.Root("pscript.dll"), Module("new", 3, 51));
  EXPECT_EQ(s.Root("pscrptui.dll"), Module("new", 3, 51));
  EXPECT_EQ(s.RootFiles(), Lines({"pscript.dll", "pscript.hlp", "pscrptui.dll"}))
      << "no temporary copy of the refused module is left behind";
}

TEST(DriverStaging, InstallerResultsBecomeLastErrorValues) {
  // VIF_OUTOFSPACE, VIF_ACCESSVIOLATION, VIF_OUTOFMEMORY, VIF_CANNOTREADSRC, then results that
  // are not one of those bits alone.
  Staging s(
      "[faults]\nVerInstallFileA#1 = 112\nVerInstallFileA#2 = 5\nVerInstallFileA#3 = 8\n"
      "VerInstallFileA#4 = 2\nVerInstallFileA#5 = 32\nVerInstallFileA#6 = 1117\n");
  s.Put(kRoot + "/pscript.dll", Module("installed", 3, 50));
  s.Put("drive_d/I386/pscript.dll", Module("cd", 3, 10));
  s.Open("");
  for (DWORD error : {112u, 998u, 8u, 2u, 266u, 266u, 266u /* the older source, refused */}) {
    SetLastError(0);
    EXPECT_EQ(installDriverFile("pscript.dll", "D:\\I386", kDriverDir), 0);
    EXPECT_EQ(GetLastError(), error);
  }
  EXPECT_EQ(s.Root("pscript.dll"), Module("installed", 3, 50));
  EXPECT_EQ(installDriverFile("pscript.dll", "E:\\", kDriverDir), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(DriverStaging, DistributionPathThatCannotBeReadEndsTheSetup) {
  const struct {
    const char *what;
    const char *extra;
    void (*spoil)();
    const char *error;
  } cases[] = {
      {"key denied", "[deny]\nkey = HKEY_LOCAL_MACHINE\\SYSTEM\\Setup\n", [] {},
       "CopyPSDriverFiles -- Couldn't open NT dist. path key, Error = 5"},
      {"value missing", "",
       [] {
         HKEY key;
         RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_ALL_ACCESS, &key);
         RegDeleteValueA(key, "WinntPath");
         RegCloseKey(key);
       },
       "CopyPSDriverFiles -- Couldn't read NT dist. path, Error = 2"},
      {"not a REG_SZ", "",
       [] {
         HKEY key;
         RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_ALL_ACCESS, &key);
         RegSetValueExA(key, "WinntPath", 0, REG_EXPAND_SZ, (const BYTE *)"%CD%\\I386", 10);
         RegCloseKey(key);
       },
       "CopyPSDriverFiles -- Couldn't read NT dist. path, Error = 13"},
      {"fills the buffer without a terminator", "",
       [] {
         HKEY key;
         std::string path = "D:\\" + std::string(517, 'a');
         RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", 0, KEY_ALL_ACCESS, &key);
         RegSetValueExA(key, "WinntPath", 0, REG_SZ, (const BYTE *)path.data(), 520);
         RegCloseKey(key);
       },
       "CopyPSDriverFiles -- Couldn't read NT dist. path, Error = 234"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    Staging s(c.extra);
    s.Open("2300 CONTINUE\n");
    c.spoil();
    DWORD version;
    EXPECT_EXIT(s.Run(&version), ExitedWithCode(0), "");
    EXPECT_EQ(s.session.Transcript(),
              Lines({std::string("error \"") + c.error + "\"", "dialog 2300 CONTINUE", "exit 0"}));
  }
}

}  // namespace
