// Monitor detection on small machines: which "driver" values count as the package's monitor,
// the key-size queries, and the fatal report when the Monitors key cannot be counted.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "install/monitor_detection.h"
#include "install/status_code.h"
#include "system_session.h"
#include "test_image.h"
#include "winsim/registry_store.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;
using testing_support::TestImage;

namespace {

const std::string kMonitorsPath =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// A monitor key below Monitors with REGEDIT4 value lines.
std::string Monitor(const std::string &name, const std::string &values) {
  return "[" + kMonitorsPath + "\\" + name + "]\r\n" + values + "\r\n";
}

class Detection : public ::testing::Test {
 protected:
  // A machine whose Monitors key holds these monitor sections (none: the key alone).
  // `sections` is appended to machine.ini, `system` to its [system] section.
  void OpenWith(const std::string &monitors, const std::string &sections = "",
                const std::string &system = "") {
    image_ = std::make_unique<TestImage>(
        "[system]\nversion = 3.50.807\n" + system + "[drives]\nC = drive_c\n" + sections,
        "REGEDIT4\r\n\r\n[" + kMonitorsPath + "]\r\n\r\n" + monitors);
    image_->Open();
  }
  int Installed() {
    HKEY monitors;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, MONITORS_KEY, 0, KEY_ALL_ACCESS, &monitors),
              ERROR_SUCCESS);
    int result = isZelpsmonInstalled(monitors, MONITOR_DLL_NT);
    RegCloseKey(monitors);
    EXPECT_TRUE(winsim::M().registry->handles.empty());  // every subkey opened was closed
    return result;
  }

  std::unique_ptr<TestImage> image_;
};

TEST_F(Detection, MonitorsKeyWithoutSubkeysHasNoMonitor) {
  OpenWith("");
  EXPECT_EQ(Installed(), 0);
}

TEST_F(Detection, DriverValueInAnyLetterCaseUnderAnyNameCounts) {
  for (const char *driver : {"zelpsmon.dll", "ZELPSMON.DLL", "ZelpsMon.Dll"}) {
    SCOPED_TRACE(driver);
    OpenWith(Monitor("Local Port", "\"Driver\"=\"localmon.dll\"\r\n") +
             Monitor("Old Norvale Name", std::string("\"driver\"=\"") + driver + "\"\r\n"));
    EXPECT_EQ(Installed(), 1);
  }
  // A value stored without its terminator is still the whole name.
  OpenWith(Monitor("Bare", "\"Driver\"=hex(1):7a,65,6c,70,73,6d,6f,6e,2e,64,6c,6c\r\n"));
  EXPECT_EQ(Installed(), 1);
}

TEST_F(Detection, OnlyTheWholeValueWithinSixteenBytesCounts) {
  struct Case {
    const char *what;
    std::string values;
  };
  for (const Case &c : std::vector<Case>{
           {"a path before the name",
            "\"Driver\"=\"C:\\\\WINNT35\\\\system32\\\\zelpsmon.dll\"\r\n"},
           {"16 characters", "\"Driver\"=\"zelpsmon.dll.old\"\r\n"},
           {"15 characters", "\"Driver\"=\"zelpsmon.dll.ol\"\r\n"},
           // Fills the buffer exactly without a terminator: never read past it.
           {"16 bytes, no terminator",
            "\"Driver\"=hex(1):7a,65,6c,70,73,6d,6f,6e,2e,64,6c,6c,2e,6f,6c,64\r\n"},
           {"another DLL", "\"Driver\"=\"zelpsmw4.dll\"\r\n"},
           {"no driver value", "\"Ports\"=\"LPT1:\"\r\n"},
       }) {
    SCOPED_TRACE(c.what);
    OpenWith(Monitor("Norvale Network Port", c.values));
    EXPECT_EQ(Installed(), 0);
  }
}

TEST_F(Detection, SeveralMatchingKeysOrOnesThatCannotBeOpened) {
  OpenWith(Monitor("A Norvale", "\"Driver\"=\"zelpsmon.dll\"\r\n") +
           Monitor("Norvale Network Port", "\"Driver\"=\"zelpsmon.dll\"\r\n") +
           Monitor("Z Norvale", "\"Driver\"=\"ZELPSMON.DLL\"\r\n"));
  EXPECT_EQ(Installed(), 1);
  // A key that the account may not open is some other package's monitor.
  OpenWith(Monitor("Norvale Network Port", "\"Driver\"=\"zelpsmon.dll\"\r\n"),
           "[deny]\nkey = " + kMonitorsPath + "\\Norvale Network Port\n");
  EXPECT_EQ(Installed(), 0);
}

TEST_F(Detection, MonitorDllNameFollowsThePlatform) {
  LPCSTR name = nullptr;
  OpenWith("");
  EXPECT_EQ(getMonitorDllName(&name), STATUS_CODE_SUCCESS);
  EXPECT_STREQ(name, "zelpsmon.dll");
  OpenWith("", "", "platform = windows\n");
  EXPECT_EQ(getMonitorDllName(&name), STATUS_CODE_SUCCESS);
  EXPECT_STREQ(name, "zelpsmw4.dll");
}

TEST_F(Detection, KeySizeQueriesCountWithoutTerminatorsAndFailWithTheCause) {
  OpenWith(Monitor("Local Port",
                   "\"Driver\"=\"localmon.dll\"\r\n\"Long Value Name\"=dword:00000001\r\n") +
               Monitor("Norvale Network Port", ""),
           "[faults]\nRegQueryInfoKeyA#3 = 6\n");
  HKEY monitors, local;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, MONITORS_KEY, 0, KEY_READ, &monitors), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(monitors, "Local Port", 0, KEY_READ, &local), ERROR_SUCCESS);
  DWORD subkeys = 0, longest = 0, values = 0, longestName = 0, largest = 0;
  EXPECT_EQ(querySubKeyInfo(monitors, &subkeys, &longest), STATUS_CODE_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(longest, 20u);  // "Norvale Network Port"
  EXPECT_EQ(queryValueInfo(local, &values, &longestName, &largest), STATUS_CODE_SUCCESS);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(longestName, 15u);
  EXPECT_EQ(largest, 13u);  // "localmon.dll" with its terminator
  EXPECT_EQ(querySubKeyInfo(local, &subkeys, &longest), STATUS_CODE_FAILURE);
  EXPECT_EQ(GetLastError(), 6u);
  RegCloseKey(local);
  RegCloseKey(monitors);
}

TEST(DetectionFatal, UncountableMonitorsKeyEndsTheSetupNamingTheError) {
  SystemSession session("[faults]\nRegQueryInfoKeyA = 5\n");
  session.OpenWithFrame("2300 CONTINUE\n");
  HKEY monitors;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, MONITORS_KEY, 0, KEY_ALL_ACCESS, &monitors),
            ERROR_SUCCESS);
  EXPECT_EXIT(isZelpsmonInstalled(monitors, MONITOR_DLL_NT), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(),
            (std::vector<std::string>{
                "error \"isZelpsmonInstalled -- Couldn't get subkey info, Error = 5\"",
                "dialog 2300 CONTINUE", "exit 0"}));
  RegCloseKey(monitors);
}

}  // namespace
