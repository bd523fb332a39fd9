// The built setup on whole machines, one installation case each: fresh and upgrade on Windows
// NT 3.5 and 3.1, an Alpha machine, Windows 95, a driver that printers still use, printers on the
// driver names of earlier releases. Each is judged by what the user saw (the transcript) and by
// everything the run changed on the machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scenario.h"
#include "spooler_fixtures.h"
#include "tools/image_restart.h"

using e2e::Driver;
using e2e::DriverDir;
using e2e::File;
using e2e::Lines;
using e2e::Printer;
using e2e::Registry;
using e2e::Scenario;
using e2e::StartMachine;
using e2e::SystemDir;
using testing_support::LocalPrinter;
using testing_support::LocalPrinters;
using testing_support::PrintValue;

namespace {

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines &part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The order in which the comparison lists the changes says nothing: both sides are sorted.
Lines Sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}
#define EXPECT_CHANGES(scenario, expected) EXPECT_EQ(Sorted((scenario).Changes()), Sorted(expected))

// The walk of a fresh installation that declines the offers at the end.
const char kFreshAnswers[] = "100 CONTINUE\n800 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n";
const Lines kCopyAndDrivers = {"copy 7 of 7 files", "sleep 1000", "dialog 1800", "dialog 1700",
                               "sleep 2000"};
const Lines kOffersDeclined = {"dialog 1200 CANCEL", "dialog 1400 CANCEL", "dialog 700 CONTINUE",
                               "exit 0"};

// The same walk on a machine that lacks a PostScript module: the setup asks for the Windows NT
// distribution, which the CD in D: holds.
const char kFromCdAnswers[] =
    "100 CONTINUE\n800 CONTINUE\n1100 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n";
const Lines kFromCdTranscript =
    Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE", "dialog 1100 CONTINUE"},
          kCopyAndDrivers,
          kOffersDeclined});
std::string CdModules() {
  return File("D:\\I386\\pscript.dll", "pscript of the CD") +
         File("D:\\I386\\pscrptui.dll", "pscrptui of the CD") +
         File("D:\\I386\\pscript.hlp", "help of the CD");
}

const Lines kDocuments = {"+ C:\\win32app\\", "+ C:\\win32app\\zelpsmon\\",
                          "+ C:\\win32app\\zelpsmon\\relnt50.wri",
                          "+ C:\\win32app\\zelpsmon\\spdesc50.wri"};
const Lines kGroup = {
    "+ group Norvale Network Printers", "+ group Norvale Network Printers Show = 1",
    "+ item Norvale Network Printers / Norvale Network Printing Help: \"zelpsmon.hlp\", "
    "\"winhlp32.exe\"",
    "+ item Norvale Network Printers / READ ME! Release notes for Version 5.0: \"WRITE "
    "C:\\win32app\\zelpsmon\\relnt50.wri\", \"write.exe\"",
    "+ item Norvale Network Printers / Version 5.0 Software Product Description: \"WRITE "
    "C:\\win32app\\zelpsmon\\spdesc50.wri\", \"write.exe\""};

// The three drivers of the small distribution, added under Version-<n> of the environment.
Lines DriversAdded(const std::string &environment, int version) {
  std::string key =
      "+ Print\\Environments\\" + environment + "\\Drivers\\Version-" + std::to_string(version);
  return {key + "\\Norvale PageRelay 12", key + "\\Norvale PageRelay 12 Level2  8mb",
          key + "\\Norvale ZELlaser 7200"};
}
// The PPD files the spooler copied into the version directory.
Lines PPDsIn(const std::string &dir) {
  return {"+ " + dir + "\\PR12.PPD", "+ " + dir + "\\PR12L28.PPD", "+ " + dir + "\\ZL7200.PPD"};
}

// "Driver|Data File|Configuration File|Version" of an installed driver.
std::string DriverRecord(const std::string &environment, int version, const std::string &name) {
  std::string key = "Environments\\" + environment + "\\Drivers\\Version-" +
                    std::to_string(version) + "\\" + name;
  return PrintValue(key, "Driver") + "|" + PrintValue(key, "Data File") + "|" +
         PrintValue(key, "Configuration File");
}

std::string PendingRenames() {
  bool present = false;
  std::string note, text;
  for (const image_tool::PendingRename &r :
       image_tool::PendingRenamesOfOpenMachine(&present, &note))
    text += r.from + " -> " + (r.to.empty() ? "(delete)" : r.to) + "; ";
  return text;
}

TEST(InstallScenario, FreshOnWindowsNt35TakesTheInstalledDriversVersion) {
  StartMachine machine;
  machine.extra = File(DriverDir(machine) + "\\2\\pscript.dll", "pscript of version 2") +
                  File(DriverDir(machine) + "\\2\\pscrptui.dll", "pscrptui of version 2") +
                  "[service LPDSVC]\nstate = running\ndepends = Spooler\nstop_ms = 500\n";
  Scenario s(machine);
  s.Run("100 CONTINUE\n800 CONTINUE\n1200 CONTINUE\n1400 CONTINUE\n700 CONTINUE\n");

  EXPECT_EQ(s.Transcript(),
            Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE"},
                  kCopyAndDrivers,
                  {"dialog 1200 CONTINUE", "dialog 1400 CONTINUE", "dialog 700 CONTINUE",
                   "start \"printman\"", "start \"winhlp32 zelpsmon.hlp\"", "exit 0"}}));
  // The spooler and its dependent were never stopped; the staged files in the driver directory
  // root are gone again.
  EXPECT_CHANGES(
      s, Join({{"+ Print\\Environments\\Windows NT x86\\Drivers",
                "+ Print\\Environments\\Windows NT x86\\Drivers\\Version-2"},
               DriversAdded("Windows NT x86", 2),
               {"+ Print\\Monitors\\Norvale Network Port"},
               kDocuments,
               PPDsIn("C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\2"),
               {"+ C:\\WINNT35\\system32\\zelpsmon.dll", "+ C:\\WINNT35\\system32\\zelpsmon.hlp"},
               kGroup}));
  EXPECT_EQ(s.Read("C:\\WINNT35\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  s.Open();
  EXPECT_EQ(DriverRecord("Windows NT x86", 2, "Norvale PageRelay 12"),
            "pscript.dll|PR12.PPD|pscrptui.dll");
  EXPECT_EQ(PrintValue("Monitors\\Norvale Network Port", "Driver"), "zelpsmon.dll");
}

TEST(InstallScenario, UpgradeOnWindowsNt35StopsTheSpoolerWithItsDependents) {
  StartMachine machine;
  machine.extra =
      File(DriverDir(machine) + "\\1\\pscript.dll", "pscript") +
      File(DriverDir(machine) + "\\1\\pscrptui.dll", "pscrptui") +
      "[service TcpIp]\nstate = running\n[service AppleTalk]\nstate = running\n"
      "[service LPDSVC]\nstate = running\ndepends = Spooler TcpIp\nstop_ms = 500\n"
      "[service MacPrint]\nstate = running\ndepends = Spooler AppleTalk\nstop_ms = 800\n"
      "wait_hint_ms = 400\n" +
      // The monitor of an earlier release, under its old display name, with a port.
      Registry("Monitors\\Norvale Port", "Driver = zelpsmon.dll\n") +
      Registry("Monitors\\Norvale Port\\Ports\\ZEL1", "Address = 10.0.0.7\n") +
      File(SystemDir(machine) + "\\zelpsmon.dll", "monitor of release 4") +
      File(SystemDir(machine) + "\\zelpsmon.old", "left by an earlier upgrade");
  Scenario s(machine);
  s.Run("100 CONTINUE\n800 CONTINUE\n2200 CONTINUE\n1200 CANCEL\n1400 CANCEL\n700 CONTINUE\n");

  // MacPrint's stop is waited for by its hint, the spooler's by its own, then the spooler
  // settles; after the copy it is started and settles again before the notice.
  EXPECT_EQ(s.Transcript(),
            Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE", "dialog 5100", "sleep 400",
                   "sleep 400", "sleep 500", "sleep 500", "sleep 500", "sleep 3000",
                   "copy 7 of 7 files", "sleep 1000", "dialog 5300", "sleep 3000",
                   "dialog 2200 CONTINUE", "dialog 1800", "dialog 1700", "sleep 2000"},
                  kOffersDeclined}));
  // The spooler and its dependents run again as before; the monitor key took the old one's
  // port; the DLL was replaced and the file at the old name removed.
  EXPECT_CHANGES(
      s, Join({{"+ Print\\Environments\\Windows NT x86\\Drivers",
                "+ Print\\Environments\\Windows NT x86\\Drivers\\Version-1"},
               DriversAdded("Windows NT x86", 1),
               {"+ Print\\Monitors\\Norvale Network Port",
                "+ Print\\Monitors\\Norvale Network Port\\Ports",
                "+ Print\\Monitors\\Norvale Network Port\\Ports\\ZEL1",
                "- Print\\Monitors\\Norvale Port", "- Print\\Monitors\\Norvale Port\\Ports",
                "- Print\\Monitors\\Norvale Port\\Ports\\ZEL1",
                "+ HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"},
               kDocuments,
               PPDsIn("C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\1"),
               {"~ C:\\WINNT35\\system32\\zelpsmon.dll", "+ C:\\WINNT35\\system32\\zelpsmon.hlp",
                "- C:\\WINNT35\\system32\\zelpsmon.old"},
               kGroup}));
  EXPECT_EQ(s.Read("C:\\WINNT35\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  s.Open();
  EXPECT_EQ(PrintValue("Monitors\\Norvale Network Port", "Driver"), "zelpsmon.dll");
  EXPECT_EQ(PrintValue("Monitors\\Norvale Network Port\\Ports\\ZEL1", "Address"), "10.0.0.7");
  // The old name was already gone when its deletion was kept for the restart, which does no harm.
  EXPECT_EQ(PendingRenames(), "C:\\WINNT35\\system32\\zelpsmon.old -> (delete); ");
}

TEST(InstallScenario, FreshOnWindowsNt31InstallsTheMissingModuleFromTheDistribution) {
  StartMachine machine;
  machine.version = "3.10.528";
  machine.extra =
      File(DriverDir(machine) + "\\pscript.dll", "pscript of the machine") + CdModules();
  Scenario s(machine);
  s.Run(kFromCdAnswers);

  EXPECT_EQ(s.Transcript(), kFromCdTranscript);
  // Windows NT 3.1 keeps the staged modules and PPD files in the driver directory root.
  const std::string root = "C:\\WINNT\\system32\\spool\\drivers\\w32x86";
  EXPECT_CHANGES(s, Join({{"+ Print\\Environments\\Windows NT x86\\Drivers",
                           "+ Print\\Environments\\Windows NT x86\\Drivers\\Version-1"},
                          DriversAdded("Windows NT x86", 1),
                          {"+ Print\\Monitors\\Norvale Network Port"},
                          kDocuments,
                          {"+ " + root + "\\1\\"},
                          PPDsIn(root + "\\1"),
                          {"+ " + root + "\\1\\pscript.dll", "+ " + root + "\\1\\pscrptui.dll"},
                          PPDsIn(root),
                          {"~ " + root + "\\pscript.dll", "+ " + root + "\\pscript.hlp",
                           "+ " + root + "\\pscrptui.dll", "+ C:\\WINNT\\system32\\zelpsmon.dll",
                           "+ C:\\WINNT\\system32\\zelpsmon.hlp"},
                          kGroup}));
  EXPECT_EQ(s.Read(root + "\\pscript.dll"), "pscript of the CD\r\n");
  EXPECT_EQ(s.Read(root + "\\1\\pscrptui.dll"), "pscrptui of the CD\r\n");
}

TEST(InstallScenario, UpgradeOnWindowsNt31ReplacesTheLoadedMonitorAtTheRestart) {
  StartMachine machine;
  machine.version = "3.10.528";
  machine.extra = File(DriverDir(machine) + "\\pscript.dll", "pscript") +
                  File(DriverDir(machine) + "\\pscrptui.dll", "pscrptui") +
                  Registry("Monitors\\Norvale Network Port", "Driver = zelpsmon.dll\n") +
                  File(SystemDir(machine) + "\\zelpsmon.dll", "monitor of release 4");
  Scenario s(machine);
  s.Run("100 CONTINUE\n800 CONTINUE\n1000 CONTINUE\n1500 CONTINUE\n");

  EXPECT_EQ(s.Transcript(),
            Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE"},
                  kCopyAndDrivers,
                  {"dialog 1000 CONTINUE", "dialog 1500 CONTINUE", "shutdown restart", "exit 0"}}));
  // The running spooler keeps the old DLL loaded: it was renamed out of the way, its deletion
  // kept for the restart; the help file goes into the Startup group.
  const std::string root = "C:\\WINNT\\system32\\spool\\drivers\\w32x86";
  EXPECT_CHANGES(
      s, Join({{"~ [system] restart = yes", "+ Print\\Environments\\Windows NT x86\\Drivers",
                "+ Print\\Environments\\Windows NT x86\\Drivers\\Version-1"},
               DriversAdded("Windows NT x86", 1),
               {"+ HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"},
               kDocuments,
               {"+ " + root + "\\1\\"},
               PPDsIn(root + "\\1"),
               {"+ " + root + "\\1\\pscript.dll", "+ " + root + "\\1\\pscrptui.dll"},
               PPDsIn(root),
               {"~ C:\\WINNT\\system32\\zelpsmon.dll", "+ C:\\WINNT\\system32\\zelpsmon.hlp",
                "+ C:\\WINNT\\system32\\zelpsmon.old", "+ group Startup",
                "+ item Startup / Norvale Network Printing Help: \"zelpsmon.hlp\", "
                "\"winhlp32.exe\""},
               kGroup}));
  EXPECT_EQ(s.Read("C:\\WINNT\\system32\\zelpsmon.old"), "monitor of release 4\r\n");
  EXPECT_EQ(s.Read("C:\\WINNT\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
  s.Open();
  EXPECT_EQ(PendingRenames(), "C:\\WINNT\\system32\\zelpsmon.old -> (delete); ");

  // The restart removes the old DLL; the new one stays.
  winsim::CloseMachine();
  std::vector<std::string> log;
  std::string error;
  ASSERT_EQ(image_tool::ApplyRestart(s.Image(), &log, &error), image_tool::RestartOutcome::Done)
      << error;
  EXPECT_EQ(s.Read("C:\\WINNT\\system32\\zelpsmon.old"), "<none>");
  EXPECT_EQ(s.Read("C:\\WINNT\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("i386/zelpsmon.dll"));
}

TEST(InstallScenario, AlphaOnWindowsNt31RegistersForItsOwnEnvironment) {
  StartMachine machine;
  machine.version = "3.10.528";
  machine.processor = "ALPHA";
  machine.extra =
      File(DriverDir(machine, "w32alpha") + "\\pscript.dll", "pscript of the machine") +
      CdModules() +
      Driver(machine, "Windows NT Alpha_AXP", "w32alpha", 1, "Norvale PageRelay 12", "OLD12.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale PageRelay 12", "OLD12.PPD");
  Scenario s(machine);
  s.Run(kFromCdAnswers);

  EXPECT_EQ(s.Transcript(), kFromCdTranscript);
  // The Alpha driver of the same name was replaced; the x86 one is not touched.
  const std::string root = "C:\\WINNT\\system32\\spool\\drivers\\w32alpha";
  const std::string version = "+ Print\\Environments\\Windows NT Alpha_AXP\\Drivers\\Version-1";
  EXPECT_CHANGES(
      s, Join({{"~ Print\\Environments\\Windows NT Alpha_AXP\\Drivers\\Version-1\\Norvale "
                "PageRelay 12 \"Data File\"=\"PR12.PPD\"",
                version + "\\Norvale PageRelay 12 Level2  8mb", version + "\\Norvale ZELlaser 7200",
                "+ Print\\Monitors\\Norvale Network Port"},
               kDocuments,
               {"+ " + root + "\\1\\PR12.PPD", "+ " + root + "\\1\\PR12L28.PPD",
                "~ " + root + "\\1\\pscript.dll", "~ " + root + "\\1\\pscrptui.dll",
                "+ " + root + "\\1\\ZL7200.PPD", "+ " + root + "\\PR12.PPD",
                "+ " + root + "\\PR12L28.PPD", "~ " + root + "\\pscript.dll",
                "+ " + root + "\\pscript.hlp", "+ " + root + "\\pscrptui.dll",
                "+ " + root + "\\ZL7200.PPD", "+ C:\\WINNT\\system32\\zelpsmon.dll",
                "+ C:\\WINNT\\system32\\zelpsmon.hlp"},
               kGroup}));
  EXPECT_EQ(s.Read("C:\\WINNT\\system32\\zelpsmon.dll"),
            testing_support::DistributionFileContents("alpha/zelpsmon.dll"));
}

TEST(InstallScenario, Windows95IsRefusedAndNothingChanges) {
  StartMachine machine;
  machine.version = "4.0.950";
  machine.platform = "windows";
  Scenario s(machine);
  s.Run(kFreshAnswers);
  EXPECT_EQ(s.Transcript(),
            Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE",
                   "msgbox \"Install\" \"Installation on Windows95 is not yet supported\""},
                  kOffersDeclined}));
  EXPECT_EQ(s.Changes(), Lines{});
}

TEST(InstallScenario, DriverInUseIsReinstalledAndOldDriverNamesAreLeft) {
  StartMachine machine;
  machine.extra =
      File(DriverDir(machine) + "\\1\\pscript.dll", "pscript") +
      File(DriverDir(machine) + "\\1\\pscrptui.dll", "pscrptui") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Generic PostScript Printer", "GENPS.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale PageRelay 12", "PR12OLD.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale ZELlaser 7200 v1307", "ZL7200V.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale PageRelay 12 v1408", "PR12V14.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale PageRelay 24 v31.2", "PR24V31.PPD") +
      Printer("Office", "Generic PostScript Printer", "LPT1:") +
      Printer("Sales", "Norvale PageRelay 12", "LPT2:") +
      Printer("Lab", "Norvale ZELlaser 7200 v1307", "LPT3:") +
      Printer("Front", "Norvale PageRelay 12 v1408", "COM1:");
  Scenario s(machine);
  s.Run(kFreshAnswers);

  EXPECT_EQ(
      s.Transcript(),
      Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE"}, kCopyAndDrivers, kOffersDeclined}));
  // Sales's driver took the new PPD and Sales went back onto it. Lab moved to the new name of
  // its model and the old driver went; Front stays, the new name of its model not being
  // installed, and keeps its driver; an old driver no printer used went.
  const std::string drivers = "Print\\Environments\\Windows NT x86\\Drivers\\Version-1\\";
  EXPECT_CHANGES(
      s, Join({{"~ " + drivers + "Norvale PageRelay 12 \"Data File\"=\"PR12.PPD\"",
                "+ " + drivers + "Norvale PageRelay 12 Level2  8mb",
                "- " + drivers + "Norvale PageRelay 24 v31.2",
                "+ " + drivers + "Norvale ZELlaser 7200",
                "- " + drivers + "Norvale ZELlaser 7200 v1307",
                "+ Print\\Monitors\\Norvale Network Port",
                "~ Print\\Printers\\Lab \"Printer Driver\"=\"Norvale ZELlaser 7200\"",
                "+ Print\\Printers\\Lab \"Default Priority\"=dword:00000000",
                "+ Print\\Printers\\Lab \"StartTime\"=dword:00000000",
                "+ Print\\Printers\\Lab \"UntilTime\"=dword:00000000",
                "+ Print\\Printers\\Sales \"Default Priority\"=dword:00000000",
                "+ Print\\Printers\\Sales \"StartTime\"=dword:00000000",
                "+ Print\\Printers\\Sales \"UntilTime\"=dword:00000000"},
               kDocuments,
               PPDsIn("C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\1"),
               {"+ C:\\WINNT35\\system32\\zelpsmon.dll", "+ C:\\WINNT35\\system32\\zelpsmon.hlp"},
               kGroup}));
  s.Open();
  EXPECT_EQ(LocalPrinters(), (std::map<std::string, LocalPrinter>{
                                 {"Front", {"Norvale PageRelay 12 v1408", "COM1:", 0}},
                                 {"Lab", {"Norvale ZELlaser 7200", "LPT3:", 0}},
                                 {"Office", {"Generic PostScript Printer", "LPT1:", 0}},
                                 {"Sales", {"Norvale PageRelay 12", "LPT2:", 0}}}))
      << "every printer printing, none left paused";
  EXPECT_EQ(DriverRecord("Windows NT x86", 1, "Norvale PageRelay 12"),
            "pscript.dll|PR12.PPD|pscrptui.dll");
}

TEST(InstallScenario, EmptyPPDSectionStillMigratesAndMakesTheGroup) {
  // The drivers of this release are on the machine already, from an earlier run.
  StartMachine machine;
  machine.extra =
      File(DriverDir(machine) + "\\1\\pscript.dll", "pscript") +
      File(DriverDir(machine) + "\\1\\pscrptui.dll", "pscrptui") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale ZELlaser 7200", "ZL7200.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale ZELlaser 7200 v1307", "ZL7200V.PPD") +
      Driver(machine, "Windows NT x86", "w32x86", 1, "Norvale PageRelay 24 v31.2", "PR24V31.PPD") +
      Printer("Lab", "Norvale ZELlaser 7200 v1307", "LPT3:");
  Scenario s(machine);
  std::string inf = testing_support::SmallSetupInf();
  size_t from = inf.find("\"Norvale PageRelay 12\"");
  inf.erase(from, inf.find("\r\n\r\n", from) - from);
  s.Put("C:\\DIST\\setup.inf", inf);
  s.Run(kFreshAnswers);

  EXPECT_EQ(s.Transcript(),
            Join({{"dialog 100 CONTINUE", "dialog 800 CONTINUE", "copy 4 of 4 files", "sleep 1000",
                   "dialog 1800", "dialog 1700", "sleep 2000"},
                  kOffersDeclined}));
  EXPECT_CHANGES(
      s, Join({{"- Print\\Environments\\Windows NT x86\\Drivers\\Version-1\\Norvale PageRelay "
                "24 v31.2",
                "- Print\\Environments\\Windows NT x86\\Drivers\\Version-1\\Norvale ZELlaser "
                "7200 v1307",
                "~ Print\\Printers\\Lab \"Printer Driver\"=\"Norvale ZELlaser 7200\"",
                "+ Print\\Printers\\Lab \"Default Priority\"=dword:00000000",
                "+ Print\\Printers\\Lab \"StartTime\"=dword:00000000",
                "+ Print\\Printers\\Lab \"UntilTime\"=dword:00000000",
                "+ Print\\Monitors\\Norvale Network Port"},
               kDocuments,
               {"+ C:\\WINNT35\\system32\\zelpsmon.dll", "+ C:\\WINNT35\\system32\\zelpsmon.hlp"},
               kGroup}));
}

}  // namespace
