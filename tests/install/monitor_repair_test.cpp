// Monitor registry repair on small machines: what the Monitors key holds on disk after FixReg,
// the tree operations beneath it, the privilege switch, and a save and restore through a file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "install/monitor_detection.h"
#include "install/monitor_repair.h"
#include "install/status_code.h"
#include "test_image.h"
#include "winsim/registry_store.h"

using testing_support::TestImage;

namespace {

const std::string kMonitorsPath =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// A key below Monitors with REGEDIT4 value lines.
std::string Key(const std::string &path, const std::string &values = "") {
  return "[" + kMonitorsPath + "\\" + path + "]\r\n" + values + "\r\n";
}
std::string Driver(const std::string &dll) {
  return "\"Driver\"=\"" + dll + "\"\r\n";
}
const std::string kLocalPort = Key("Local Port", Driver("localmon.dll"));

// One line per key below `key` (path relative to the start) and per value ("  name=data", texts
// without their terminator, other types as type:hex bytes).
void DumpKey(const winsim::RegKey &key, const std::string &path, std::string *out) {
  if (!path.empty()) *out += "[" + path + "]\n";
  for (const auto &v : key.values) {
    if (v->dead) continue;
    *out += "  " + v->name + "=";
    if (v->type == REG_SZ && !v->data.empty() && v->data.back() == '\0') {
      *out += v->data.substr(0, v->data.size() - 1);
    } else {
      char hex[4];
      *out += std::to_string(v->type) + ":";
      for (unsigned char c : v->data) std::snprintf(hex, sizeof hex, "%02x", c), *out += hex;
    }
    *out += "\n";
  }
  for (const auto &sub : key.subkeys)
    DumpKey(*sub, path.empty() ? sub->name : path + "\\" + sub->name, out);
}

class Repair : public ::testing::Test {
 protected:
  // A machine whose Monitors key holds these sections; `sections` goes into machine.ini.
  void OpenWith(const std::string &monitors, const std::string &sections = "",
                const std::string &temp = "C:\\TEMP") {
    image_ = std::make_unique<TestImage>(
        "[system]\nversion = 3.50.807\ntemp = " + temp + "\n[drives]\nC = drive_c\n" + sections,
        "REGEDIT4\r\n\r\n[" + kMonitorsPath + "]\r\n\r\n" + monitors);
    image_->Open();
  }
  // What the image holds below a key now ("" when there is no such key).
  std::string OnDisk(const std::string &below = kMonitorsPath) {
    auto store = image_->Registry();
    const winsim::RegKey *key = store ? winsim::FindRegistryKey(*store, below) : nullptr;
    std::string out;
    if (key) DumpKey(*key, "", &out);
    return out;
  }
  int Fix() { return FixReg(MONITORS_KEY, MONITOR_NAME); }
  // FixReg leaves no key open and no privilege enabled, whatever it returns.
  void ExpectCleanReturn() {
    EXPECT_TRUE(winsim::M().registry->handles.empty());
    EXPECT_TRUE(winsim::M().privilegesEnabled.empty());
  }
  HKEY Open(const std::string &path, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, sam, &key), ERROR_SUCCESS) << path;
    return key;
  }

  std::unique_ptr<TestImage> image_;
};

// ---- FixReg ----------------------------------------------------------------------------------

TEST_F(Repair, FixRegMergesEveryOldKeyAndLosesNothing) {
  const std::string created = "[Norvale Network Port]\n  driver=zelpsmon.dll\n";
  const std::string local = "[Local Port]\n  Driver=localmon.dll\n";
  struct Case {
    const char *what;
    std::string monitors, deny, after;  // deny: a key below Monitors the account may not open
  };
  const std::vector<Case> cases = {
      {"target alone",
       kLocalPort + Key("Norvale Network Port", Driver("zelpsmon.dll")) +
           Key("Norvale Network Port\\Ports\\LPT1"),
       "",
       local + "[Norvale Network Port]\n  Driver=zelpsmon.dll\n[Norvale Network Port\\Ports]\n" +
           "[Norvale Network Port\\Ports\\LPT1]\n"},
      {"no target, no old key", kLocalPort, "", local + created},
      {"target naming another file, old key two levels deep",
       Key("Norvale Network Port", Driver("other.dll") + "\"Timeout\"=dword:00000001\r\n") +
           Key("Norvale Port", Driver("ZELPSMON.DLL") + "\"Timeout\"=dword:00000002\r\n" +
                                   "\"Banner\"=hex:00,ff\r\n") +
           Key("Norvale Port\\Ports\\LPT1", "\"Queue\"=\"Sales\"\r\n") +
           Key("Norvale Port\\Ports\\LPT1\\Options", "\"Copies\"=dword:00000003\r\n") +
           Key("Norvale Port\\Empty"),
       "",
       "[Norvale Network Port]\n  Driver=other.dll\n  Timeout=4:01000000\n  Banner=3:00ff\n"
       "[Norvale Network Port\\Empty]\n[Norvale Network Port\\Ports]\n"
       "[Norvale Network Port\\Ports\\LPT1]\n  Queue=Sales\n"
       "[Norvale Network Port\\Ports\\LPT1\\Options]\n  Copies=4:03000000\n"},
      {"target without driver", Key("Norvale Network Port", "\"Ports\"=\"LPT1:\"\r\n"), "",
       "[Norvale Network Port]\n  Ports=LPT1:\n"},
      {"target without driver, old key",
       Key("Norvale Network Port", "\"Ports\"=\"LPT1:\"\r\n") +
           Key("Zelps", Driver("Zelpsmon.dll")),
       "", "[Norvale Network Port]\n  Ports=LPT1:\n  Driver=Zelpsmon.dll\n"},
      {"old keys next to each other",
       Key("Norvale A", Driver("zelpsmon.dll")) + Key("Norvale A\\Ports\\LPT1") +
           Key("Norvale B", Driver("zelpsmon.dll")) + Key("Norvale B\\Ports\\LPT2") +
           Key("Norvale C", Driver("zelpsmon.dll") + "\"Port\"=\"COM1:\"\r\n") + kLocalPort,
       "",
       local + "[Norvale Network Port]\n  driver=zelpsmon.dll\n  Port=COM1:\n" +
           "[Norvale Network Port\\Ports]\n[Norvale Network Port\\Ports\\LPT1]\n" +
           "[Norvale Network Port\\Ports\\LPT2]\n"},
      {"target in other letter case",
       Key("NORVALE NETWORK PORT", Driver("zelpsmon.dll")) +
           Key("Norvale Port", Driver("zelpsmon.dll")) + Key("Norvale Port\\Ports\\LPT2"),
       "",
       "[NORVALE NETWORK PORT]\n  Driver=zelpsmon.dll\n[NORVALE NETWORK PORT\\Ports]\n"
       "[NORVALE NETWORK PORT\\Ports\\LPT2]\n"},
      {"other packages' monitors",
       kLocalPort + Key("Long", Driver("zelpsmon.dll.old")) +
           Key("Path", Driver("C:\\\\WINNT35\\\\zelpsmon.dll")) +
           // 16 bytes without a terminator: fills the driver buffer, never read past it.
           Key("Sixteen", "\"Driver\"=hex(1):7a,65,6c,70,73,6d,6f,6e,2e,64,6c,6c,2e,6f,6c,64\r\n"),
       "",
       local + "[Long]\n  Driver=zelpsmon.dll.old\n" + created +
           "[Path]\n  Driver=C:\\WINNT35\\zelpsmon.dll\n" +
           "[Sixteen]\n  Driver=1:7a656c70736d6f6e2e646c6c2e6f6c64\n"},
      {"old key with a child the account may not open",
       Key("Norvale Port", Driver("zelpsmon.dll")) +
           Key("Norvale Port\\Ports\\LPT1", "\"Q\"=\"S\"\r\n") + Key("Norvale Port\\Ports\\Secret"),
       "Norvale Port\\Ports\\Secret",
       created + "[Norvale Network Port\\Ports]\n[Norvale Network Port\\Ports\\LPT1]\n  Q=S\n" +
           "[Norvale Port]\n  Driver=zelpsmon.dll\n[Norvale Port\\Ports]\n" +
           "[Norvale Port\\Ports\\LPT1]\n  Q=S\n[Norvale Port\\Ports\\Secret]\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    OpenWith(c.monitors, c.deny.empty() ? "" : "[deny]\nkey = " + kMonitorsPath + "\\" + c.deny);
    EXPECT_EQ(Fix(), STATUS_CODE_SUCCESS);
    EXPECT_EQ(OnDisk(), c.after);
    ExpectCleanReturn();
    // Another run finds nothing more to do.
    const std::string files = image_->RegistryFiles();
    EXPECT_EQ(Fix(), STATUS_CODE_SUCCESS);
    EXPECT_EQ(image_->RegistryFiles(), files);
  }
}

TEST_F(Repair, EveryReturnLeavesThePrivilegesDisabledAndNamesTheCause) {
  struct Case {
    const char *fault;  // [faults] line
    int status;
    DWORD lastError;
    std::string after;  // the Monitors key on disk
  };
  const std::string created = "[Norvale Network Port]\n  driver=zelpsmon.dll\n";
  for (const Case &c : std::vector<Case>{
           {"", STATUS_CODE_SUCCESS, 0, created},
           {"RegOpenKeyExA#1 = 5", STATUS_CODE_FAILURE, 5, ""},
           {"RegCreateKeyExA = 1013", STATUS_CODE_FAILURE, 1013, ""},
           // The new, empty target key stays.
           {"RegSetValueExA = 1014", STATUS_CODE_FAILURE, 1014, "[Norvale Network Port]\n"},
           {"RegQueryInfoKeyA = 6", STATUS_CODE_FAILURE, 6, created},
       }) {
    SCOPED_TRACE(c.fault);
    OpenWith("", std::string("[faults]\n") + c.fault + "\n");
    ASSERT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_SUCCESS);
    ASSERT_FALSE(winsim::M().privilegesEnabled.empty());
    EXPECT_EQ(Fix(), c.status);
    if (c.status != STATUS_CODE_SUCCESS) {
      EXPECT_EQ(GetLastError(), c.lastError);
    }
    EXPECT_EQ(OnDisk(), c.after);
    ExpectCleanReturn();
  }
}

TEST_F(Repair, AFailedCallAnywhereInTheMergeLosesNoSetting) {
  const std::string old = "Norvale Port";
  const std::string monitors =
      Key(old, Driver("zelpsmon.dll")) +
      Key(old + "\\Ports\\ZEL1",
          "\"Address\"=\"10.0.0.7\"\r\n\"Queue\"=\"Sales\"\r\n\"Timeout\"=dword:0000003c\r\n");
  // The port's settings, as dump lines, and where they live. (The target's own "driver" value
  // stands for the old one.)
  const std::vector<std::pair<std::string, std::string>> settings = {
      {"\\Ports\\ZEL1", "  Address=10.0.0.7\n"},
      {"\\Ports\\ZEL1", "  Queue=Sales\n"},
      {"\\Ports\\ZEL1", "  Timeout=4:3c000000\n"},
  };
  for (const char *function :
       {"RegQueryInfoKeyA", "RegEnumKeyExA", "RegOpenKeyExA", "RegCreateKeyExA", "RegEnumValueA",
        "RegQueryValueExA", "RegSetValueExA", "RegDeleteKeyA"}) {
    for (int call = 1; call <= 10; call++) {
      const std::string fault = std::string(function) + "#" + std::to_string(call) + " = 1009";
      SCOPED_TRACE(fault);
      OpenWith(monitors, "[faults]\n" + fault + "\n");
      Fix();
      ExpectCleanReturn();
      for (const auto &setting : settings) {
        const std::string kept = OnDisk(kMonitorsPath + "\\" + old + setting.first);
        const std::string moved = OnDisk(kMonitorsPath + "\\" MONITOR_NAME + setting.first);
        EXPECT_TRUE(kept.find(setting.second) != std::string::npos ||
                    moved.find(setting.second) != std::string::npos)
            << setting.first << setting.second;
      }
    }
  }
}

// ---- Tree operations -------------------------------------------------------------------------

TEST_F(Repair, DeleteRegTreeRemovesWhatItCanAndReportsAKeyThatStays) {
  OpenWith(Key("Gone\\A\\B\\C", "\"x\"=\"1\"\r\n") + Key("Gone\\D") + Key("Kept\\A") +
               Key("Kept\\Locked\\Inner") + Key("Kept\\Z"),
           "[deny]\nkey = " + kMonitorsPath + "\\Kept\\Locked\n");
  HKEY monitors = Open(MONITORS_KEY);
  EXPECT_EQ(deleteRegTree(monitors, "Gone"), STATUS_CODE_SUCCESS);
  EXPECT_EQ(deleteRegTree(monitors, "Kept"), STATUS_CODE_FAILURE);
  EXPECT_EQ(deleteRegTree(monitors, "Missing"), STATUS_CODE_FAILURE);
  RegCloseKey(monitors);
  EXPECT_EQ(OnDisk(), "[Kept]\n[Kept\\Locked]\n[Kept\\Locked\\Inner]\n");
}

// ---- Privileges and the save and restore through a file --------------------------------------

TEST_F(Repair, PrivilegeSwitchEnablesBothOrNeither) {
  OpenWith("");
  EXPECT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_SUCCESS);
  EXPECT_EQ(winsim::M().privilegesEnabled,
            (std::set<std::string>{"SEBACKUPPRIVILEGE", "SERESTOREPRIVILEGE"}));
  EXPECT_EQ(setBackupRestorePrivileges(0), STATUS_CODE_SUCCESS);
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());

  // Without the restore privilege the switch fails and leaves nothing enabled; without the
  // backup privilege it fails at once.
  OpenWith("", "[token]\nprivileges = SeBackupPrivilege\n");
  EXPECT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_FAILURE);
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());
  OpenWith("", "[token]\nprivileges = SeRestorePrivilege SeShutdownPrivilege\n");
  EXPECT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_FAILURE);
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());
}

TEST_F(Repair, SavedTreeWithEveryValueTypeRestoresExactly) {
  OpenWith(kLocalPort +
           Key("Norvale Network Port", Driver("zelpsmon.dll") +
                                           "@=\"default\"\r\n"
                                           "\"Expand\"=hex(2):25,53,25,00\r\n"
                                           "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                                           "\"Bin\"=hex:00,01,ff\r\n"
                                           "\"Dword\"=dword:deadbeef\r\n"
                                           "\"Big\"=hex(5):00,00,00,01\r\n"
                                           "\"None\"=hex(0):\r\n"
                                           "\"Odd\"=hex(1234):01\r\n") +
           Key("Norvale Network Port\\Ports\\LPT1", "\"Line\"=\"a\\\\b\"\r\n") +
           Key("Norvale Network Port\\Empty"));
  const std::string tree = OnDisk(kMonitorsPath + "\\Norvale Network Port");
  HKEY monitors = Open(MONITORS_KEY);
  char file[MAX_PATH];
  // The switch's enabling mode is what makes the save and the restore possible.
  EXPECT_EQ(saveRegKeyToFile(monitors, MONITOR_NAME, file), STATUS_CODE_FAILURE);
  ASSERT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_SUCCESS);
  ASSERT_EQ(saveRegKeyToFile(monitors, MONITOR_NAME, file), STATUS_CODE_SUCCESS);
  EXPECT_EQ(std::string(file).rfind("C:\\TEMP\\zps", 0), 0u) << file;
  EXPECT_EQ(std::strchr(file, '.'), nullptr) << file;
  ASSERT_EQ(restoreRegKeyFromFile(monitors, "Restored", file), STATUS_CODE_SUCCESS);
  EXPECT_EQ(OnDisk(kMonitorsPath + "\\Restored"), tree);
  EXPECT_EQ(setBackupRestorePrivileges(0), STATUS_CODE_SUCCESS);
  EXPECT_EQ(restoreRegKeyFromFile(monitors, "Again", file), STATUS_CODE_FAILURE);
  RegCloseKey(monitors);
}

TEST_F(Repair, SaveCutsTheExtensionOfTheFileNameOnly) {
  // A dot in a directory name stays: the file goes where the temporary directory is.
  OpenWith(Key("Norvale Network Port", Driver("zelpsmon.dll")), "", "C:\\TMP.DIR");
  ASSERT_EQ(CreateDirectoryA("C:\\TMP.DIR", nullptr), TRUE);
  HKEY monitors = Open(MONITORS_KEY);
  char file[MAX_PATH];
  ASSERT_EQ(setBackupRestorePrivileges(1), STATUS_CODE_SUCCESS);
  ASSERT_EQ(saveRegKeyToFile(monitors, MONITOR_NAME, file), STATUS_CODE_SUCCESS);
  const std::string name = std::string(file).substr(11);
  EXPECT_EQ(std::string(file, 14), "C:\\TMP.DIR\\zps") << file;
  EXPECT_EQ(name.find('.'), std::string::npos) << file;
  EXPECT_TRUE(image_->Exists("drive_c/TMP.DIR/" + name));
  EXPECT_FALSE(image_->Exists("drive_c/TMP.DIR/" + name + ".TMP"));  // the name-giver is gone
  RegCloseKey(monitors);
}

}  // namespace
