// Monitor detection on small machines: which "driver" values count as the package's monitor,
// and the fatal report when the Monitors key cannot be counted.
#include <gtest/gtest.h>
#include <windows.h>

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

std::string Monitor(const std::string &name, const std::string &driverData) {
  return "[" + kMonitorsPath + "\\" + name + "]\r\n\"Driver\"=" + driverData + "\r\n\r\n";
}

// isZelpsmonInstalled on a machine whose Monitors key holds these monitors.
int Installed(const std::string &monitors, const std::string &sections = "") {
  TestImage image("[system]\nversion = 3.50.807\n[drives]\nC = drive_c\n" + sections,
                  "REGEDIT4\r\n\r\n[" + kMonitorsPath + "]\r\n\r\n" + monitors);
  image.Open();
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, MONITORS_KEY, 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  int result = isZelpsmonInstalled(key, MONITOR_DLL_NT);
  RegCloseKey(key);
  EXPECT_TRUE(winsim::M().registry->handles.empty());  // every subkey opened was closed
  return result;
}

TEST(Detection, TheWholeDriverValueInAnyCaseUnderAnyNameCounts) {
  const std::string local = Monitor("Local Port", "\"localmon.dll\"");
  EXPECT_EQ(Installed(""), 0);  // no subkeys
  EXPECT_EQ(Installed(local), 0);
  EXPECT_EQ(Installed(local + Monitor("Old Name", "\"ZelpsMon.DLL\"")), 1);
  EXPECT_EQ(Installed(Monitor("A", "\"zelpsmon.dll\"") + Monitor("B", "\"other.dll\"") +
                      Monitor("C", "\"ZELPSMON.DLL\"")),
            1);
  // Stored without its terminator, the value is still the whole name.
  EXPECT_EQ(Installed(Monitor("Bare", "hex(1):7a,65,6c,70,73,6d,6f,6e,2e,64,6c,6c")), 1);
}

TEST(Detection, PathsLongValuesAndOtherDllsAreOtherMonitors) {
  for (const char *data : {
           "\"C:\\\\WINNT35\\\\system32\\\\zelpsmon.dll\"",
           "\"zelpsmon.dll.old\"",  // 16 characters
           "\"zelpsmon.dll.ol\"",   // 15
           // 16 bytes without a terminator fill the buffer: never read past it.
           "hex(1):7a,65,6c,70,73,6d,6f,6e,2e,64,6c,6c,2e,6f,6c,64",
           "\"zelpsmw4.dll\"",
       }) {
    SCOPED_TRACE(data);
    EXPECT_EQ(Installed(Monitor("Norvale Network Port", data)), 0);
  }
  // A key that the account may not open belongs to some other package.
  EXPECT_EQ(Installed(Monitor("Norvale Network Port", "\"zelpsmon.dll\""),
                      "[deny]\nkey = " + kMonitorsPath + "\\Norvale Network Port\n"),
            0);
}

TEST(Detection, UncountableMonitorsKeyEndsTheSetupNamingTheError) {
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
