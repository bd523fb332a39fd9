// The built setup where the install sequence meets a failure: each fatal report ends the setup
// with its message and leaves what was done; a driver that cannot be added is told about and
// the others are still registered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario.h"
#include "spooler_fixtures.h"

using e2e::DriverDir;
using e2e::File;
using e2e::Lines;
using e2e::Registry;
using e2e::Scenario;
using e2e::StartMachine;
using e2e::SystemDir;
using testing_support::PrintKeyExists;

namespace {

const char kToTheError[] = "100 CONTINUE\n800 CONTINUE\n2300 CONTINUE\n";
const Lines kStart = {"dialog 100 CONTINUE", "dialog 800 CONTINUE"};
const Lines kFatalEnd = {"dialog 2300 CONTINUE", "exit 0"};

std::string Modules(const StartMachine &machine) {
  return File(DriverDir(machine) + "\\1\\pscript.dll", "pscript") +
         File(DriverDir(machine) + "\\1\\pscrptui.dll", "pscrptui");
}
// The monitor of an earlier installation: the run is an upgrade.
std::string OldMonitor(const StartMachine &machine) {
  return Registry("Monitors\\Norvale Network Port", "Driver = zelpsmon.dll\n") +
         File(SystemDir(machine) + "\\zelpsmon.dll", "monitor of release 4");
}

Lines Join(const Lines &a, const Lines &b, const Lines &c = {}) {
  Lines all = a;
  all.insert(all.end(), b.begin(), b.end());
  all.insert(all.end(), c.begin(), c.end());
  return all;
}

TEST(InstallFailure, EachFatalReportEndsTheSetupWithItsMessage) {
  const struct {
    const char *what;
    std::string spooler;  // empty: the default
    std::string extra;
    bool upgrade;
    Lines between;  // what comes between the option dialog and the error dialog
  } cases[] = {
      {"Monitors key denied",
       "",
       "[deny]\nkey = HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\n",
       false,
       {"error \"Install -- Couldn't open registry root, Error = 5\""}},
      {"modules only in a directory that is no version",
       "",
       File("C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\color\\pscript.dll", "p") +
           File("C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\color\\pscrptui.dll", "u"),
       false,
       {"error \"setupForPPDInstall failed, error = 123\""}},
      {"spooler refuses to stop",
       "state = running\nstop_error = 1061\n",
       "",
       true,
       {"dialog 5100", "msgbox \"stopSpooler\" \"Couldn't stop spooler\\nError = 1061\"",
        "error \"Install -- Couldn't stop spooler, error = 1061\""}},
      {"spooler does not start again",
       "state = running\nstart_error = 1069\n",
       "",
       true,
       {"dialog 5100", "sleep 3000", "copy 7 of 7 files", "sleep 1000", "dialog 5300",
        "error \"Install -- Couldn't start spooler, error = 1069\""}},
      {"monitor refused",
       "",
       "[faults]\nAddMonitorA = 5\n",
       false,
       {"copy 7 of 7 files", "sleep 1000", "error \"Install -- AddMonitor failed, error = 5\""}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    StartMachine machine;
    if (!c.spooler.empty()) machine.spooler = c.spooler;
    machine.extra = c.extra + (c.extra.find("color") == std::string::npos ? Modules(machine) : "") +
                    (c.upgrade ? OldMonitor(machine) : "");
    Scenario s(machine);
    s.Run(kToTheError);
    EXPECT_EQ(s.Transcript(), Join(kStart, c.between, kFatalEnd));
  }
}

TEST(InstallFailure, WhatWasDoneBeforeAFatalReportStays) {
  StartMachine machine;
  machine.extra = Modules(machine) + "[faults]\nAddMonitorA = 5\n";
  Scenario s(machine);
  s.Run(kToTheError);
  EXPECT_EQ(s.Read("C:\\WINNT35\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  EXPECT_EQ(s.Read("C:\\win32app\\zelpsmon\\relnt50.wri"), "contents of relnt50.wri");
  s.Open();
  EXPECT_FALSE(PrintKeyExists("Monitors\\Norvale Network Port"));
}

TEST(InstallFailure, DriverThatCannotBeAddedIsToldAndTheOthersGoOn) {
  StartMachine machine;
  machine.extra = Modules(machine) + "[faults]\nAddPrinterDriverA#2 = 5\n";
  Scenario s(machine);
  s.Run("100 CONTINUE\n800 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n");
  EXPECT_EQ(
      s.Transcript(),
      Join(kStart,
           {"copy 7 of 7 files", "sleep 1000", "dialog 1800",
            "msgbox \"Install\" \"AddPrinterDriver (Norvale ZELlaser 7200)failed\\nerror = 5\"",
            "dialog 1700", "sleep 2000"},
           {"dialog 1200 CANCEL", "dialog 1400 CANCEL", "dialog 700 CONTINUE", "exit 0"}));
  EXPECT_EQ(s.Read(DriverDir(machine) + "\\ZL7200.PPD"), "<none>") << "its staged PPD file went";
  s.Open();
  const std::string drivers = "Environments\\Windows NT x86\\Drivers\\Version-1\\";
  EXPECT_TRUE(PrintKeyExists(drivers + "Norvale PageRelay 12"));
  EXPECT_FALSE(PrintKeyExists(drivers + "Norvale ZELlaser 7200"));
  EXPECT_TRUE(PrintKeyExists(drivers + "Norvale PageRelay 12 Level2  8mb"));
}

TEST(InstallFailure, DriverNameTooLongForItsBufferEndsTheSetup) {
  StartMachine machine;
  machine.extra = Modules(machine);
  Scenario s(machine);
  std::string inf = testing_support::SmallSetupInf();
  std::string longest = std::string(63, 'n'), tooLong = std::string(64, 'n');
  size_t at = inf.find("\"Norvale ZELlaser 7200\"");
  inf.replace(at, 23, "\"" + longest + "\" = PR12L28.PPD\r\n\"" + tooLong + "\"");
  s.Put("C:\\DIST\\setup.inf", inf);
  s.Run(kToTheError);
  EXPECT_EQ(s.Transcript(),
            Join(kStart,
                 {"copy 8 of 8 files", "sleep 1000", "dialog 1800",
                  "msgbox \"MS-Setup Error\" \"Buffer Overflow\"", "error \"Error code = 1024\""},
                 kFatalEnd));
  s.Open();
  EXPECT_TRUE(PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\" + longest));
}

}  // namespace
