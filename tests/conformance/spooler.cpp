// The spooler: monitors, printer drivers and printers as the setup adds, reads, changes and
// removes them. The machine has three monitor DLLs in its system directory: cfmon.dll (a monitor
// NT loads), cfnoentry.dll (a DLL without a monitor's entry point) and cfplain.dll (no module).
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/conformance/conformance.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

const char kMonitor[] = "CF Monitor";
const char kDriver[] = "CF Driver";
const char kOtherDriver[] = "CF Other Driver";
const char kPrinter[] = "CF Printer";
const char kDriverFiles[][16] = {"cfdrv.dll", "cfdata.ppd", "cfui.dll"};

// The spooler takes its strings as LPSTR without writing to them.
LPSTR Str(const char *s) {
  return const_cast<LPSTR>(s);
}

BOOL AddMonitorRecord(LPSTR server, DWORD level, const char *name, const char *environment,
                      const char *dll) {
  MONITOR_INFO_2A info = {Str(name), Str(environment), Str(dll)};
  return AddMonitorA(server, level, reinterpret_cast<LPBYTE>(&info));
}

std::string DriverDirectory(const char *environment) {
  char buffer[MAX_PATH];
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, Str(environment), 1, reinterpret_cast<LPBYTE>(buffer),
                                  sizeof buffer, &needed))
    return "error " + std::to_string(GetLastError());
  return buffer;
}

// The last part of a directory, or its error.
std::string LastPart(const std::string &path) {
  return path.substr(path.find_last_of('\\') + 1);
}

DRIVER_INFO_2A DriverRecord(const char *name, const std::vector<std::string> &paths) {
  DRIVER_INFO_2A info = {};
  info.cVersion = 1;  // NT 3.5's drivers
  info.pName = Str(name);
  info.pDriverPath = Str(paths[0].c_str());
  info.pDataFile = Str(paths[1].c_str());
  info.pConfigFile = Str(paths[2].c_str());
  return info;
}

BOOL AddDriver(DRIVER_INFO_2A info, const char *environment = nullptr, DWORD level = 2) {
  info.pEnvironment = Str(environment);
  return AddPrinterDriverA(nullptr, level, reinterpret_cast<LPBYTE>(&info));
}

// The local printers at a level, as EnumPrintersA gives them, and the record of kPrinter.
struct Enumeration {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  const void *printer = nullptr;
};
Enumeration EnumerateLocal(DWORD level) {
  Enumeration e;
  DWORD needed = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &e.count);
  e.buffer.resize(needed + 1);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, e.buffer.data(), needed, &needed,
                     &e.count))
    e.count = 0;
  for (DWORD i = 0; i < e.count; ++i) {
    const BYTE *record =
        e.buffer.data() + i * (level == 1 ? sizeof(PRINTER_INFO_1A) : sizeof(PRINTER_INFO_2A));
    const char *name = level == 1 ? reinterpret_cast<const PRINTER_INFO_1A *>(record)->pName
                                  : reinterpret_cast<const PRINTER_INFO_2A *>(record)->pPrinterName;
    if (name && lstrcmpiA(name, kPrinter) == 0) e.printer = record;
  }
  return e;
}

DWORD PrinterStatus() {
  Enumeration e = EnumerateLocal(2);
  return e.printer ? static_cast<const PRINTER_INFO_2A *>(e.printer)->Status : 0xFFFFFFFF;
}

std::string MonitorDriverValue() {
  std::string key = std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\") + kMonitor;
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return "(no key)";
  char value[MAX_PATH] = "";
  DWORD type = 0, size = sizeof value;
  if (RegQueryValueExA(h, "Driver", nullptr, &type, reinterpret_cast<LPBYTE>(value), &size) !=
      ERROR_SUCCESS)
    value[0] = '\0';
  RegCloseKey(h);
  return value;
}

void MonitorChecks() {
  struct Call {
    const char *what;
    DWORD level;
    bool record;
    const char *name, *environment, *dll;
    const char *nt;
  } calls[] = {
      {"AddMonitorA(level 1)", 1, false, nullptr, nullptr, nullptr, "0 err=124"},
      {"AddMonitorA(level 3)", 3, false, nullptr, nullptr, nullptr, "0 err=124"},
      {"AddMonitorA(no record)", 2, false, nullptr, nullptr, nullptr, "0 err=untouched"},
      {"AddMonitorA(empty record)", 2, true, nullptr, nullptr, nullptr, "0 err=87"},
      {"AddMonitorA(empty name)", 2, true, "", nullptr, "cfmon.dll", "0 err=87"},
      {"AddMonitorA(no DLL)", 2, true, kMonitor, nullptr, nullptr, "0 err=87"},
      {"AddMonitorA(empty DLL)", 2, true, kMonitor, nullptr, "", "0 err=87"},
      {"AddMonitorA(missing DLL)", 2, true, kMonitor, nullptr, "cfmissing.dll", "0 err=126"},
      {"AddMonitorA(not a module)", 2, true, kMonitor, nullptr, "cfplain.dll", "0 err=126"},
      {"AddMonitorA(no entry point)", 2, true, kMonitor, nullptr, "cfnoentry.dll", "0 err=127"},
      {"AddMonitorA(foreign environment)", 2, true, kMonitor, "Windows NT R4000", "cfmon.dll",
       "0 err=1805"},
      {"AddMonitorA(loadable)", 2, true, kMonitor, nullptr, "cfmon.dll", "1 err=0"},
      {"AddMonitorA(added twice)", 2, true, kMonitor, nullptr, "cfmon.dll", "0 err=3006"},
  };
  for (const Call &c : calls) {
    ArmLastError();
    BOOL ok = c.record ? AddMonitorRecord(nullptr, c.level, c.name, c.environment, c.dll)
                       : AddMonitorA(nullptr, c.level, nullptr);
    Check(c.what, Outcome(ok), c.nt);
  }
  Check("AddMonitorA.registered Driver", MonitorDriverValue(), "cfmon.dll");

  // DeleteMonitorA does not look at the environment; it needs the name.
  ArmLastError();
  Check("DeleteMonitorA(no name)", Outcome(DeleteMonitorA(nullptr, nullptr, nullptr)), "0 err=87");
  ArmLastError();
  Check("DeleteMonitorA(empty name)", Outcome(DeleteMonitorA(nullptr, nullptr, Str(""))),
        "0 err=87");
  Check("DeleteMonitorA(unknown environment)",
        DeleteMonitorA(nullptr, Str("invalid_env"), Str(kMonitor)) != FALSE, true);
  ArmLastError();
  Check("DeleteMonitorA(deleted twice)", Outcome(DeleteMonitorA(nullptr, nullptr, Str(kMonitor))),
        "0 err=3000");
  Check("AddMonitorA(empty server)",
        AddMonitorRecord(Str(""), 2, kMonitor, nullptr, "cfmon.dll") != 0, true);
  Check("DeleteMonitorA(empty server)", DeleteMonitorA(Str(""), nullptr, Str(kMonitor)) != 0, true);
}

void DriverDirectoryChecks() {
  char buffer[MAX_PATH];
  DWORD needed = 0;
  ArmLastError();
  BOOL ok = GetPrinterDriverDirectoryA(nullptr, nullptr, 1, nullptr, 0, &needed);
  Check("GetPrinterDriverDirectoryA(no buffer)", Outcome(ok), "0 err=122");
  const DWORD exact = needed;
  ArmLastError();
  ok = GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer), exact - 1,
                                  &needed);
  Check("GetPrinterDriverDirectoryA(one byte short)", Outcome(ok), "0 err=122");
  Check("GetPrinterDriverDirectoryA(one byte short).needed", needed == exact, true);
  ok = GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer), exact,
                                  &needed);
  Check("GetPrinterDriverDirectoryA(exact).size", ok ? lstrlenA(buffer) + 1 == int(exact) : false,
        true);
  ArmLastError();
  ok = GetPrinterDriverDirectoryA(nullptr, nullptr, 2, reinterpret_cast<LPBYTE>(buffer),
                                  sizeof buffer, &needed);
  Check("GetPrinterDriverDirectoryA(level 2)", Outcome(ok), "0 err=124");
  ArmLastError();
  ok = GetPrinterDriverDirectoryA(nullptr, Str("invalid_env"), 1, reinterpret_cast<LPBYTE>(buffer),
                                  sizeof buffer, &needed);
  Check("GetPrinterDriverDirectoryA(unknown environment)", Outcome(ok), "0 err=1805");
  ok = GetPrinterDriverDirectoryA(Str(""), Str(""), 1, reinterpret_cast<LPBYTE>(buffer),
                                  sizeof buffer, &needed);
  Check("GetPrinterDriverDirectoryA(empty server and environment)", ok != FALSE, true);

  // Each environment's directory lies below the system directory's spool\drivers.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string drivers = std::string(system) + "\\spool\\drivers\\";
  const char *const environments[][2] = {{"Windows NT x86", "w32x86"},
                                         {"windows nt x86", "w32x86"},
                                         {"Windows NT Alpha_AXP", "w32alpha"},
                                         {"Windows NT R4000", "w32mips"}};
  for (const auto &env : environments) {
    std::string dir = DriverDirectory(env[0]);
    std::string parent = dir.substr(0, dir.find_last_of('\\') + 1);
    Check((std::string("GetPrinterDriverDirectoryA(") + env[0] + ")").c_str(),
          lstrcmpiA(parent.c_str(), drivers.c_str()) == 0 ? LastPart(dir) : dir, env[1]);
  }
}

}  // namespace

CONFORMANCE_AREA(spooler) {
  MonitorChecks();
  DriverDirectoryChecks();

  // A driver from files in the scratch directory; the spooler copies them into its own.
  const std::string scratch = conformance::Scratch();
  std::vector<std::string> paths;
  for (const char *file : kDriverFiles) {
    paths.push_back(scratch + file);
    conformance::WriteBytes(paths.back(), std::string("conformance driver file ") + file);
  }
  std::vector<std::string> missingData = paths;
  missingData[1] = scratch + "cfmissing.ppd";
  const std::string driverDir = DriverDirectory(nullptr);

  ArmLastError();
  Check("AddPrinterDriverA(level 1)", Outcome(AddDriver(DriverRecord(kDriver, paths), nullptr, 1)),
        "0 err=124");
  ArmLastError();
  Check("AddPrinterDriverA(unknown environment)",
        Outcome(AddDriver(DriverRecord(kDriver, paths), "invalid_env")), "0 err=1805");
  ArmLastError();
  Check("AddPrinterDriverA(missing data file)",
        Outcome(AddDriver(DriverRecord(kOtherDriver, missingData))), "0 err=2");
  Check("AddPrinterDriverA(files found)", AddDriver(DriverRecord(kDriver, paths)) != FALSE, true);
  ArmLastError();
  Check("AddPrinterDriverA(added twice)", Outcome(AddDriver(DriverRecord(kDriver, paths))),
        "0 err=1795");
  Check("AddPrinterDriverA.file in version directory 1",
        GetFileAttributesA((driverDir + "\\1\\cfdrv.dll").c_str()) != INVALID_FILE_ATTRIBUTES,
        true);

  // A printer of that driver.
  PRINTER_INFO_2A record = {};
  record.pPrinterName = Str(kPrinter);
  record.pPortName = Str("FILE:");
  record.pDriverName = Str(kDriver);
  record.pComment = Str("CF comment");
  record.pLocation = Str("CF room");
  record.pPrintProcessor = Str("WinPrint");
  record.pDatatype = Str("RAW");
  record.Attributes = PRINTER_ATTRIBUTE_QUEUED;
  PRINTER_INFO_2A unknownDriver = record;
  unknownDriver.pDriverName = Str("CF No Such Driver");
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&record));
  Check("AddPrinterA(known driver)", added != nullptr, true);

  // Opening and closing.
  HANDLE printer = nullptr, server = nullptr, other = nullptr;
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  Check("OpenPrinterA(printer, all access)", OpenPrinterA(Str(kPrinter), &printer, &all) != 0,
        true);
  struct Open {
    const char *what, *name;
    bool handle;
    const char *nt;
  } opens[] = {
      {"OpenPrinterA(printer, no handle)", kPrinter, false, "0 err=87"},
      {"OpenPrinterA(empty name)", "", true, "0 err=1801"},
      {"OpenPrinterA(unknown printer)", "CF No Such Printer", true, "0 err=1801"},
      {"OpenPrinterA(server, no handle)", nullptr, false, "0 err=87"},
  };
  for (const Open &o : opens) {
    ArmLastError();
    BOOL ok = OpenPrinterA(Str(o.name), o.handle ? &other : nullptr, nullptr);
    Check(o.what, Outcome(ok), o.nt);
    if (ok && other) ClosePrinter(other);
  }
  Check("OpenPrinterA(server)", OpenPrinterA(nullptr, &server, nullptr) != 0, true);
  if (server) {
    DWORD needed = 0;
    ArmLastError();
    BOOL ok = GetPrinterDriverA(server, nullptr, 2, nullptr, 0, &needed);
    Check("GetPrinterDriverA(server handle)", Outcome(ok), "0 err=6");
    ArmLastError();
    Check("ClosePrinter(server)", Outcome(ClosePrinter(server)), "1 err=untouched");
  }
  ArmLastError();
  Check("ClosePrinter(null)", Outcome(ClosePrinter(nullptr)), "0 err=6");

  // The printer's driver, by the size rules.
  {
    DWORD needed = 0;
    ArmLastError();
    BOOL ok = GetPrinterDriverA(printer, nullptr, 1, nullptr, 0, &needed);
    Check("GetPrinterDriverA(level 1, no buffer)", Outcome(ok), "0 err=122");
    std::vector<BYTE> one(needed + 1);
    ok = GetPrinterDriverA(printer, nullptr, 1, one.data(), needed, &needed);
    Check("GetPrinterDriverA(level 1).name",
          ok ? reinterpret_cast<DRIVER_INFO_1A *>(one.data())->pName : "(failed)", kDriver);
    ArmLastError();
    ok = GetPrinterDriverA(printer, nullptr, 2, nullptr, 0, &needed);
    Check("GetPrinterDriverA(level 2, no buffer)", Outcome(ok), "0 err=122");
    std::vector<BYTE> two(needed + 1);
    const DWORD exact = needed;
    ArmLastError();
    ok = GetPrinterDriverA(printer, nullptr, 2, two.data(), exact - 1, &needed);
    Check("GetPrinterDriverA(level 2, one byte short)", Outcome(ok), "0 err=122");
    ok = GetPrinterDriverA(printer, nullptr, 2, two.data(), exact, &needed);
    const DRIVER_INFO_2A *info = reinterpret_cast<DRIVER_INFO_2A *>(two.data());
    Check("GetPrinterDriverA(level 2).version", ok ? info->cVersion : 0xFFFFFFFFu, 1u);
    std::string path = ok && info->pDriverPath ? info->pDriverPath : "(failed)";
    Check("GetPrinterDriverA(level 2).driver path",
          path.compare(0, driverDir.size(), driverDir) == 0 ? path.substr(driverDir.size()) : path,
          "\\1\\cfdrv.dll");
    ArmLastError();
    ok = GetPrinterDriverA(printer, nullptr, 0, two.data(), exact, &needed);
    Check("GetPrinterDriverA(level 0)", Outcome(ok), "0 err=124");
    ArmLastError();
    ok = GetPrinterDriverA(printer, Str("invalid_env"), 2, two.data(), exact, &needed);
    Check("GetPrinterDriverA(unknown environment)", Outcome(ok), "0 err=1805");
    ArmLastError();
    ok = GetPrinterDriverA(nullptr, nullptr, 2, two.data(), exact, &needed);
    Check("GetPrinterDriverA(null handle)", Outcome(ok), "0 err=6");
  }

  // The local printers at levels 1 and 2, by the size rules.
  for (DWORD level : {1u, 2u}) {
    std::string at = "EnumPrintersA(level " + std::to_string(level) + ")";
    DWORD needed = 0, returned = 0xDEAD;
    ArmLastError();
    BOOL ok = EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
    Check((at + " no buffer").c_str(), Outcome(ok), "0 err=122");
    Check((at + " no buffer.returned").c_str(), returned, 0u);
    std::vector<BYTE> buffer(needed + 1);
    ArmLastError();
    ok = EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, buffer.data(), needed - 1, &needed,
                       &returned);
    Check((at + " one byte short").c_str(), Outcome(ok), "0 err=122");
  }
  {
    Enumeration e = EnumerateLocal(1);
    const PRINTER_INFO_1A *info = static_cast<const PRINTER_INFO_1A *>(e.printer);
    Check("EnumPrintersA(level 1).flags", info ? info->Flags : 0u, unsigned(PRINTER_ENUM_ICON8));
    Check("EnumPrintersA(level 1).description", info ? info->pDescription : "(none)",
          "CF Printer,CF Driver,CF room");
    Check("EnumPrintersA(level 1).comment", info ? info->pComment : "(none)", "CF comment");
    Enumeration e2 = EnumerateLocal(2);
    const PRINTER_INFO_2A *info2 = static_cast<const PRINTER_INFO_2A *>(e2.printer);
    Check("EnumPrintersA(level 2).driver", info2 ? info2->pDriverName : "(none)", kDriver);
    Check("EnumPrintersA(level 2).port", info2 ? info2->pPortName : "(none)", "FILE:");
  }
  ArmLastError();
  DWORD needed = 0, returned = 0;
  Check("EnumPrintersA(level 3)",
        Outcome(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, nullptr, 0, &needed, &returned)),
        "0 err=124");

  // Changing the printer: pause and resume, a new record.
  Check("SetPrinterA(pause)", SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PAUSE) != 0, true);
  Check("SetPrinterA(pause).status", PrinterStatus(), unsigned(PRINTER_STATUS_PAUSED));
  Check("SetPrinterA(resume)", SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_RESUME) != 0, true);
  Check("SetPrinterA(resume).status", PrinterStatus(), 0u);
  ArmLastError();
  Check("SetPrinterA(null handle)",
        Outcome(SetPrinterA(nullptr, 0, nullptr, PRINTER_CONTROL_PAUSE)), "0 err=6");
  ArmLastError();
  Check("SetPrinterA(unknown driver)",
        Outcome(SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&unknownDriver), 0)),
        "0 err=1797");
  {
    PRINTER_INFO_2A changed = record;
    changed.pComment = Str("CF changed");
    Check("SetPrinterA(level 2)",
          SetPrinterA(printer, 2, reinterpret_cast<LPBYTE>(&changed), 0) != 0, true);
    Enumeration e = EnumerateLocal(2);
    const PRINTER_INFO_2A *info = static_cast<const PRINTER_INFO_2A *>(e.printer);
    Check("SetPrinterA(level 2).comment", info && info->pComment ? info->pComment : "(none)",
          "CF changed");
    Check("SetPrinterA(level 2).driver", info && info->pDriverName ? info->pDriverName : "(none)",
          kDriver);
  }

  // Removing: a driver in use stays; the printer goes, then the driver.
  ArmLastError();
  BOOL inUse = DeletePrinterDriverA(nullptr, nullptr, Str(kDriver));
  Check("DeletePrinterDriverA(in use)", Outcome(inUse), "0 err=3001");
  if (inUse) AddDriver(DriverRecord(kDriver, paths));  // to go on as NT would
  Check("DeletePrinter", printer && DeletePrinter(printer) != 0, true);
  ArmLastError();
  Check("ClosePrinter(deleted printer)", Outcome(ClosePrinter(printer)), "1 err=untouched");
  ArmLastError();
  Check("ClosePrinter(closed twice)", Outcome(ClosePrinter(printer)), "0 err=6");
  if (added) ClosePrinter(added);
  ArmLastError();
  Check("DeletePrinterDriverA(unknown environment)",
        Outcome(DeletePrinterDriverA(nullptr, Str("invalid_env"), Str(kDriver))), "0 err=1805");
  Check("DeletePrinterDriverA(unused)", DeletePrinterDriverA(nullptr, nullptr, Str(kDriver)) != 0,
        true);
  ArmLastError();
  Check("DeletePrinterDriverA(deleted twice)",
        Outcome(DeletePrinterDriverA(nullptr, nullptr, Str(kDriver))), "0 err=1797");
  ArmLastError();
  Check("DeletePrinterDriverA(Alpha, unknown driver)",
        Outcome(DeletePrinterDriverA(nullptr, Str("Windows NT Alpha_AXP"), Str(kDriver))),
        "0 err=1797");

  // What a departing spooler may have kept, and the driver files the spooler copied.
  DeletePrinterDriverA(nullptr, nullptr, Str(kOtherDriver));
  for (const char *version : {"\\1\\", "\\3\\"})
    for (const char *file : kDriverFiles) DeleteFileA((driverDir + version + file).c_str());
  conformance::RemoveTree(scratch);
}
