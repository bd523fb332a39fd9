// The spooler stand-in, checked as Windows NT behaves: results, last-error values, buffer sizes.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "spooler_fixtures.h"
#include "test_image.h"
#include "tools/pe_module.h"
#include "winsim/machine.h"
#include "winsim/pe_image.h"
#include "winsim/spooler.h"

using testing_support::LocalPrinters;
using testing_support::MakeSpoolerImage;
using testing_support::PrintKeyExists;
using testing_support::PrintValue;
using testing_support::TestImage;

namespace {

const char kDriverDir[] = "drive_c/WINNT35/system32/spool/drivers/w32x86";

// The driver files that a fresh installation stages in the driver directory root.
void StageDriverFiles(const TestImage &image, const std::string &ppd) {
  image.WriteFile(std::string(kDriverDir) + "/pscript.dll", "new pscript");
  image.WriteFile(std::string(kDriverDir) + "/pscrptui.dll", "new pscrptui");
  image.WriteFile(std::string(kDriverDir) + "/" + ppd, "*PPD " + ppd);
}

DRIVER_INFO_2A DriverRecord(const char *name, const char *ppd, DWORD version = 1,
                            const char *environment = nullptr) {
  DRIVER_INFO_2A info;
  info.cVersion = version;
  info.pName = const_cast<LPSTR>(name);
  info.pEnvironment = const_cast<LPSTR>(environment);
  info.pDriverPath = const_cast<LPSTR>("pscript.dll");
  info.pDataFile = const_cast<LPSTR>(ppd);
  info.pConfigFile = const_cast<LPSTR>("pscrptui.dll");
  return info;
}

BOOL AddDriver(DRIVER_INFO_2A info) {
  return AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

BOOL AddMonitor(const char *name, const char *dll) {
  MONITOR_INFO_2A info = {const_cast<LPSTR>(name), nullptr, const_cast<LPSTR>(dll)};
  return AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

}  // namespace

TEST(Spooler, DriverDirectoryFollowsTheEnvironmentAndTheBufferRules) {
  auto image = MakeSpoolerImage("");
  image->Open();
  const std::string expected = "C:\\WINNT35\\system32\\spool\\drivers\\w32x86";
  char buffer[600];
  DWORD needed = 0;
  SetLastError(4242);
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer),
                                         sizeof buffer, &needed));
  EXPECT_EQ(buffer, expected);
  EXPECT_EQ(needed, expected.size() + 1);
  EXPECT_EQ(GetLastError(), 4242u) << "a call that succeeds leaves the last error alone";

  // A buffer of exactly the size needed is enough; one byte less is not, and is left alone.
  char exact[sizeof "C:\\WINNT35\\system32\\spool\\drivers\\w32x86"];
  EXPECT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(exact),
                                         sizeof exact, &needed));
  std::memset(buffer, 'x', sizeof buffer);
  needed = 0;
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer),
                                          static_cast<DWORD>(expected.size()), &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(needed, expected.size() + 1);
  EXPECT_EQ(buffer[0], 'x');

  char named[600];
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Windows NT R4000"), 1,
                                         reinterpret_cast<LPBYTE>(named), sizeof named, &needed));
  EXPECT_STREQ(named, "C:\\WINNT35\\system32\\spool\\drivers\\w32mips");
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("windows nt alpha_axp"), 1,
                                         reinterpret_cast<LPBYTE>(named), sizeof named, &needed));
  EXPECT_STREQ(named, "C:\\WINNT35\\system32\\spool\\drivers\\w32alpha");

  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, const_cast<LPSTR>("Windows NT PowerPC"), 1,
                                          reinterpret_cast<LPBYTE>(named), sizeof named, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 2, reinterpret_cast<LPBYTE>(named),
                                          sizeof named, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST(Spooler, LocalEnvironmentFollowsTheProcessor) {
  auto image =
      MakeSpoolerImage("",
                       "[system]\nversion = 3.10.528\nprocessor = ALPHA\nwindows = C:\\WINNT\n"
                       "system = C:\\WINNT\\system32\ntemp = C:\\TEMP\n[drives]\nC = drive_c\n");
  image->Open();
  char buffer[300];
  DWORD needed = 0;
  ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer),
                                         sizeof buffer, &needed));
  EXPECT_STREQ(buffer, "C:\\WINNT\\system32\\spool\\drivers\\w32alpha");
  EXPECT_EQ(winsim::LocalPrintEnvironment(), "Windows NT Alpha_AXP");
}

TEST(Spooler, AddMonitorNeedsItsDllAndAFreeName) {
  auto image = MakeSpoolerImage("");
  image->Open();
  EXPECT_FALSE(AddMonitor("Norvale Network Port", "zelpsmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(PrintKeyExists("Monitors\\Norvale Network Port"));

  image->WriteFile("drive_c/WINNT35/system32/ZELPSMON.DLL",
                   testing_support::MonitorModule("zelpsmon.dll"));
  ASSERT_TRUE(AddMonitor("Norvale Network Port", "zelpsmon.dll"));
  EXPECT_EQ(PrintValue("Monitors\\Norvale Network Port", "Driver"), "zelpsmon.dll");
  EXPECT_TRUE(winsim::IsFileLoaded(image->HostPath("drive_c/WINNT35/system32/ZELPSMON.DLL")))
      << "the running spooler has loaded the new monitor";

  EXPECT_FALSE(AddMonitor("NORVALE network port", "zelpsmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  EXPECT_FALSE(AddMonitor("Local Port", "zelpsmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  MONITOR_INFO_2A info = {const_cast<LPSTR>("Other"), nullptr, const_cast<LPSTR>("zelpsmon.dll")};
  EXPECT_FALSE(AddMonitorA(nullptr, 1, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

  // Stopping the spooler unloads it.
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_ALL_ACCESS);
  SERVICE_STATUS status;
  EXPECT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  CloseServiceHandle(spooler);
  CloseServiceHandle(manager);
  EXPECT_FALSE(winsim::IsFileLoaded(image->HostPath("drive_c/WINNT35/system32/ZELPSMON.DLL")));

  // The registration is on disk at once.
  winsim::CloseMachine();
  image->Open();
  EXPECT_EQ(PrintValue("Monitors\\Norvale Network Port", "Driver"), "zelpsmon.dll");
}

TEST(Spooler, AddMonitorLoadsTheDllAsTheLoaderWould) {
  // What the spooler makes of the DLL it loads: only a module for the machine's processor that
  // exports a monitor entry point registers, and success clears the last error.
  const std::string monitor = testing_support::MonitorModule("m.dll");
  struct Case {
    const char *what;
    std::string bytes;
    DWORD error;  // 0: added
  } cases[] = {
      {"NT 3.x entry", monitor, 0},
      {"later entry",
       image_tool::PeModule(winsim::kMachineI386, "m.dll", {"InitializePrintMonitor"}), 0},
      {"Wine's entry",
       image_tool::PeModule(winsim::kMachineI386, "m.dll", {"InitializePrintMonitor2"}), 0},
      {"no entry", image_tool::PeModule(winsim::kMachineI386, "m.dll", {"OpenPort"}),
       ERROR_PROC_NOT_FOUND},
      {"MIPS module", testing_support::MonitorModule("m.dll", "MIPS"), ERROR_BAD_EXE_FORMAT},
      {"placeholder", "MZ placeholder", ERROR_MOD_NOT_FOUND},
      {"cut short", monitor.substr(0, 0x300), ERROR_MOD_NOT_FOUND},
  };
  for (const Case &c : cases) {
    auto image = MakeSpoolerImage("");
    image->WriteFile("drive_c/WINNT35/system32/m.dll", c.bytes);
    image->Open();
    SetLastError(12345);
    EXPECT_EQ(AddMonitor("M", "m.dll"), c.error == 0) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
    EXPECT_EQ(PrintKeyExists("Monitors\\M"), c.error == 0) << c.what;
    winsim::CloseMachine();
  }
}

TEST(Spooler, ANullBufferWithASizeIsRefusedAsNtsRpcDoes) {
  // NT 3.5 answers ERROR_INVALID_USER_BUFFER; later Windows and Wine may crash on it, so it is
  // checked here rather than among the conformance checks.
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\"\nprinter \"Accounts\" \"Norvale PageRelay 12\"\n");
  image->Open();
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, nullptr));
  DWORD needed = 0, returned = 0;
  for (DWORD level : {1u, 2u}) {
    EXPECT_FALSE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 64, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_FALSE(GetPrinterDriverA(printer, nullptr, level, nullptr, 64, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  }
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, nullptr, 64, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  EXPECT_TRUE(ClosePrinter(printer));
}

TEST(Spooler, AddPrinterDriverCopiesItsFilesIntoTheVersionDirectory) {
  auto image = MakeSpoolerImage("");
  image->Open();
  StageDriverFiles(*image, "zel12.ppd");
  ASSERT_TRUE(AddDriver(DriverRecord("Norvale PageRelay 12", "zel12.ppd", 2)));

  const std::string key = "Environments\\Windows NT x86\\Drivers\\Version-2\\Norvale PageRelay 12";
  EXPECT_EQ(PrintValue(key, "Driver"), "pscript.dll");
  EXPECT_EQ(PrintValue(key, "Data File"), "zel12.ppd");
  EXPECT_EQ(PrintValue(key, "Configuration File"), "pscrptui.dll");
  EXPECT_EQ(image->ReadFile(std::string(kDriverDir) + "/2/zel12.ppd"), "*PPD zel12.ppd");
  EXPECT_EQ(image->ReadFile(std::string(kDriverDir) + "/2/pscript.dll"), "new pscript");
  EXPECT_EQ(image->ReadFile(std::string(kDriverDir) + "/2/pscrptui.dll"), "new pscrptui");
  EXPECT_TRUE(image->Exists(std::string(kDriverDir) + "/zel12.ppd")) << "the source stays";

  // The name is taken in that environment, whatever its letter case.
  EXPECT_FALSE(AddDriver(DriverRecord("NORVALE PAGERELAY 12", "zel12.ppd", 1)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED));

  EXPECT_FALSE(AddDriver(DriverRecord("Other", "zel12.ppd", 1, "Windows NT PowerPC")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));

  // A missing file refuses the whole driver.
  EXPECT_FALSE(AddDriver(DriverRecord("Other", "missing.ppd", 1)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\Other"));

  // Another environment takes its files from its own directory.
  EXPECT_FALSE(
      AddDriver(DriverRecord("Norvale PageRelay 12", "zel12.ppd", 1, "Windows NT Alpha_AXP")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  image->WriteFile("drive_c/WINNT35/system32/spool/drivers/w32alpha/pscript.dll", "a");
  image->WriteFile("drive_c/WINNT35/system32/spool/drivers/w32alpha/pscrptui.dll", "a");
  image->WriteFile("drive_c/WINNT35/system32/spool/drivers/w32alpha/zel12.ppd", "a");
  EXPECT_TRUE(
      AddDriver(DriverRecord("Norvale PageRelay 12", "zel12.ppd", 1, "Windows NT Alpha_AXP")));
  EXPECT_TRUE(image->Exists("drive_c/WINNT35/system32/spool/drivers/w32alpha/1/zel12.ppd"));
  EXPECT_EQ(PrintValue("Environments\\Windows NT Alpha_AXP", "Directory"), "w32alpha");

  winsim::CloseMachine();
  image->Open();
  EXPECT_EQ(PrintValue(key, "Data File"), "zel12.ppd") << "the registration is on disk";
}

TEST(Spooler, DeletePrinterDriverRefusesADriverInUseOrUnknown) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\" data=zel12.ppd\n"
      "driver \"Spare\"\n"
      "printer \"Accounts\" \"norvale pagerelay 12\"\n");
  image->Open();
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("Norvale PageRelay 12")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("Norvale PageRelay 99")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, const_cast<LPSTR>("Windows NT PowerPC"),
                                    const_cast<LPSTR>("Spare")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  // The driver of another environment is unknown to this one.
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, const_cast<LPSTR>("Windows NT R4000"),
                                    const_cast<LPSTR>("Spare")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));

  ASSERT_TRUE(DeletePrinterDriverA(nullptr, const_cast<LPSTR>("Windows NT x86"),
                                   const_cast<LPSTR>("SPARE")));
  EXPECT_FALSE(PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\Spare"));
  EXPECT_TRUE(
      PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\Norvale PageRelay 12"));
  EXPECT_TRUE(image->Exists(std::string(kDriverDir) + "/1/pscript.dll"))
      << "deleting a driver leaves its files";
}

TEST(Spooler, GetPrinterDriverNamesTheInstalledFilesByFullPath) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\" version=2 data=zel12.ppd\n"
      "printer \"Accounts\" \"norvale pagerelay 12\"\n"
      "printer \"Orphan\" \"Gone\"\n");
  image->Open();
  HANDLE printer = nullptr, orphan = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, nullptr));
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Orphan"), &orphan, nullptr));
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterDriverA(printer, nullptr, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterDriverA(printer, nullptr, 2, buffer.data(), needed, &needed));
  DRIVER_INFO_2A info;
  std::memcpy(&info, buffer.data(), sizeof info);
  const std::string dir = "C:\\WINNT35\\system32\\spool\\drivers\\w32x86\\2\\";
  EXPECT_EQ(info.cVersion, 2u);
  EXPECT_STREQ(info.pName, "Norvale PageRelay 12");
  EXPECT_STREQ(info.pEnvironment, "Windows NT x86");
  EXPECT_EQ(info.pDriverPath, dir + "pscript.dll");
  EXPECT_EQ(info.pDataFile, dir + "zel12.ppd");
  EXPECT_EQ(info.pConfigFile, dir + "pscrptui.dll");

  struct Case {
    HANDLE handle;
    const char *environment;
    DWORD level, error;
  } cases[] = {{orphan, nullptr, 2, ERROR_UNKNOWN_PRINTER_DRIVER},
               {printer, "Windows NT R4000", 2, ERROR_UNKNOWN_PRINTER_DRIVER},
               {printer, nullptr, 3, ERROR_INVALID_LEVEL},
               {reinterpret_cast<HANDLE>(0x1234), nullptr, 2, ERROR_INVALID_HANDLE}};
  for (const Case &c : cases) {
    EXPECT_FALSE(GetPrinterDriverA(c.handle, const_cast<LPSTR>(c.environment), c.level,
                                   buffer.data(), needed, &needed));
    EXPECT_EQ(GetLastError(), c.error) << c.level;
  }
  ClosePrinter(printer);
  ClosePrinter(orphan);
}

TEST(Spooler, EnumPrintersFillsTheCallersBufferExactly) {
  auto image = MakeSpoolerImage("");
  image->Open();
  DWORD needed = 77, returned = 77;
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned))
      << "no printer is no failure";
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(returned, 0u);

  winsim::CloseMachine();
  image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\" port=LPT2: paused\n"
      "printer \"Billing\" \"Norvale PageRelay 12\"\n");
  image->Open();
  SetLastError(0);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_GT(needed, 2 * sizeof(PRINTER_INFO_2A));

  std::vector<BYTE> buffer(needed + 64, 0xCD);
  EXPECT_FALSE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed - 1, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);

  ASSERT_TRUE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned));
  ASSERT_EQ(returned, 2u);
  for (size_t i = needed; i < buffer.size(); ++i)
    ASSERT_EQ(buffer[i], 0xCD) << "written past the size needed at " << i;
  auto *info = reinterpret_cast<PRINTER_INFO_2A *>(buffer.data());
  std::map<std::string, const PRINTER_INFO_2A *> byName;
  for (DWORD i = 0; i < returned; ++i) {
    for (LPSTR text : {info[i].pPrinterName, info[i].pDriverName, info[i].pPortName}) {
      ASSERT_NE(text, nullptr);
      EXPECT_GE(reinterpret_cast<BYTE *>(text), buffer.data() + 2 * sizeof(PRINTER_INFO_2A));
      EXPECT_LT(reinterpret_cast<BYTE *>(text) + std::strlen(text), buffer.data() + needed);
    }
    EXPECT_EQ(info[i].pServerName, nullptr) << "a local printer has no server name";
    byName[info[i].pPrinterName] = &info[i];
  }
  ASSERT_EQ(byName.count("Accounts"), 1u);
  EXPECT_STREQ(byName["Accounts"]->pDriverName, "Norvale PageRelay 12");
  EXPECT_STREQ(byName["Accounts"]->pPortName, "LPT2:");
  EXPECT_EQ(byName["Accounts"]->Status, static_cast<DWORD>(PRINTER_STATUS_PAUSED));
  EXPECT_EQ(byName["Billing"]->Status, 0u);

  EXPECT_FALSE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, buffer.data(), needed, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST(Spooler, OpenPrinterChecksTheNameAndTheAccountsRights) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\" deny\n"
      "printer \"Billing\" \"Norvale PageRelay 12\"\n");
  image->Open();
  size_t handlesBefore = winsim::OpenPrinterHandleCount();
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Nowhere"), &printer, &all));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, &all));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // It may still be opened to print on, which does not let the account change it.
  PRINTER_DEFAULTSA use = {nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("accounts"), &printer, &use));
  EXPECT_FALSE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Billing"), &printer, &all));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_EQ(winsim::OpenPrinterHandleCount(), handlesBefore);
}

TEST(Spooler, SetPrinterTakesTheRecordAndTheCommand) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\"\n"
      "driver \"Norvale PageRelay 24\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\"\n");
  image->Open();
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, &all));

  PRINTER_INFO_2A record;
  std::memset(&record, 0, sizeof record);
  record.pPrinterName = const_cast<LPSTR>("Accounts");
  record.pPortName = const_cast<LPSTR>("LPT3:");
  record.pPrintProcessor = const_cast<LPSTR>("winprint");
  record.pDatatype = const_cast<LPSTR>("RAW");
  record.Priority = 1;

  // A driver that is not installed is refused and nothing changes, the pause neither.
  record.pDriverName = const_cast<LPSTR>("Norvale PageRelay 36");
  EXPECT_FALSE(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&record), PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  EXPECT_EQ(LocalPrinters()["Accounts"].driver, "Norvale PageRelay 12");
  EXPECT_EQ(LocalPrinters()["Accounts"].status, 0u);

  record.pDriverName = const_cast<LPSTR>("norvale pagerelay 24");
  record.Status = PRINTER_STATUS_PAUSED;  // the status is the spooler's, not the record's
  ASSERT_TRUE(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&record), 0));
  EXPECT_EQ(LocalPrinters()["Accounts"].driver, "Norvale PageRelay 24")
      << "the spooler keeps the driver's own spelling";
  EXPECT_EQ(LocalPrinters()["Accounts"].port, "LPT3:");
  EXPECT_EQ(LocalPrinters()["Accounts"].status, 0u);

  // Only what differs is written: the same record again writes nothing, with a pause one value.
  auto logLines = [&] {
    std::string log = image->Exists("system.log") ? image->ReadFile("system.log") : "";
    return std::count(log.begin(), log.end(), '\n');
  };
  const auto before = logLines();
  ASSERT_TRUE(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&record), 0));
  EXPECT_EQ(logLines(), before);
  ASSERT_TRUE(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&record), PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(logLines(), before + 1);
  EXPECT_EQ(LocalPrinters()["Accounts"].status, static_cast<DWORD>(PRINTER_STATUS_PAUSED));
  EXPECT_FALSE(SetPrinterA(printer, 0, nullptr, 99));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_COMMAND));

  EXPECT_TRUE(ClosePrinter(printer));

  winsim::CloseMachine();  // the pause is on disk
  image->Open();
  EXPECT_EQ(LocalPrinters()["Accounts"].status, static_cast<DWORD>(PRINTER_STATUS_PAUSED));
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, &all));
  ASSERT_TRUE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_RESUME));
  EXPECT_EQ(LocalPrinters()["Accounts"].status, 0u);
  EXPECT_TRUE(ClosePrinter(printer));
}

TEST(Spooler, EveryCallFailsWhileTheSpoolerIsStopped) {
  auto image = MakeSpoolerImage(
      "spooler stopped\n"
      "driver \"Norvale PageRelay 12\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\"\n");
  image->WriteFile("drive_c/WINNT35/system32/zelpsmon.dll",
                   testing_support::MonitorModule("zelpsmon.dll"));
  StageDriverFiles(*image, "zel12.ppd");
  image->Open();
  const DWORD unavailable = RPC_S_SERVER_UNAVAILABLE;
  char buffer[300];
  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer),
                                          sizeof buffer, &needed));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(AddMonitor("Norvale Network Port", "zelpsmon.dll"));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(AddDriver(DriverRecord("Norvale PageRelay 24", "zel12.ppd")));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, const_cast<LPSTR>("Norvale PageRelay 12")));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Accounts"), &printer, &all));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), unavailable);
  SetLastError(0);
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), unavailable);

  EXPECT_FALSE(PrintKeyExists("Monitors\\Norvale Network Port"));
  EXPECT_TRUE(
      PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\Norvale PageRelay 12"));
  EXPECT_FALSE(
      PrintKeyExists("Environments\\Windows NT x86\\Drivers\\Version-1\\Norvale PageRelay 24"));
}

TEST(Spooler, FaultsHitTheNamedCallOnlyNotTheSpoolersOwnRegistryWork) {
  auto image = MakeSpoolerImage(
      "driver \"Norvale PageRelay 12\"\n"
      "printer \"Accounts\" \"Norvale PageRelay 12\"\n",
      "[system]\nversion = 3.50.807\nprocessor = x86\nwindows = C:\\WINNT35\n"
      "system = C:\\WINNT35\\system32\ntemp = C:\\TEMP\n[drives]\nC = drive_c\n"
      "[faults]\nEnumPrintersA#2 = 8\nRegOpenKeyExA = 5\n"
      "[deny]\nkey = HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\n");
  image->Open();
  DWORD needed = 0, returned = 0;
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER))
      << "the setup account's registry rules do not bind the spooler";
  std::vector<BYTE> buffer(needed);
  EXPECT_FALSE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned));
  EXPECT_EQ(GetLastError(), 8u);
  EXPECT_TRUE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned));
  EXPECT_EQ(returned, 1u);
  EXPECT_EQ(winsim::M().callCounts["REGOPENKEYEXA"], 0)
      << "the spooler's registry calls are not the setup's";
}

TEST(SpoolerFixtures, DescriptionsKeepEveryBlankAndNameTheirFaults) {
  testing_support::SpoolerFixture fixture;
  std::string error;
  ASSERT_TRUE(testing_support::DescribeSpooler(
      "# an earlier release\n"
      "printer \"Q \\\"1\\\"\" \"Norvale PageRelay 12  (8mb) v1408 \" port=LPT2:\n",
      "C:\\WINNT35\\system32", "x86", &fixture, &error))
      << error;
  EXPECT_NE(fixture.registry.find("\"Printer Driver\"=\"Norvale PageRelay 12  (8mb) v1408 \""),
            std::string::npos)
      << fixture.registry;
  EXPECT_NE(fixture.registry.find("\\Printers\\Q \"1\"]"), std::string::npos);

  testing_support::SpoolerFixture bad;
  EXPECT_FALSE(testing_support::DescribeSpooler("driver \"A\"\nprinter \"Q\" \"A\" papered\n",
                                                "C:\\WINNT35\\system32", "x86", &bad, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(testing_support::DescribeSpooler("monitor \"Unclosed zelpsmon.dll\n",
                                                "C:\\WINNT35\\system32", "x86", &bad, &error));
}
