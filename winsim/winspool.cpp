// The spooler of WINSPOOL.DRV over the machine image: monitors, printer drivers and printers,
// kept in the registry where Windows NT keeps them (winsim/spooler.h).
//
// The spooler is a service of its own process. Its registry work therefore goes through the
// registry API as the spooler's account: the setup account's [deny] keys and the faults
// injected into the setup's registry calls do not touch it. Faults injected into a spooler
// function itself fail that function.
#include "winsim/spooler.h"

#include <windows.h>
#include <winspool.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <vector>

#include "winsim/machine.h"
#include "winsim/pe_image.h"
#include "winsim/registry_store.h"
#include "winsim/services.h"

namespace winsim {
namespace {

const char kPrintKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print";

using Environment = PrintEnvironment;

// ---- The spooler's own account ------------------------------------------------------------

// The spooler's registry work runs under its own account (ServiceAccount); those registry calls
// leave the last-error value alone, and the spooler's own failures set it.
using SpoolerAccount = ServiceAccount;

// ---- Registry helpers (used only inside a SpoolerAccount) ---------------------------------

class Key {
 public:
  Key() = default;
  ~Key() { Close(); }
  Key(const Key &) = delete;
  Key &operator=(const Key &) = delete;
  HKEY *Out() {
    Close();
    return &h_;
  }
  HKEY Get() const { return h_; }
  void Close() {
    if (h_) RegCloseKey(h_);
    h_ = nullptr;
  }

 private:
  HKEY h_ = nullptr;
};

std::string Path(const std::string &relative) {
  return relative.empty() ? kPrintKey : std::string(kPrintKey) + "\\" + relative;
}

LONG OpenKey(const std::string &relative, REGSAM access, Key *key) {
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path(relative).c_str(), 0, access, key->Out());
}

LONG CreateKey(const std::string &relative, Key *key) {
  DWORD disposition = 0;
  return RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path(relative).c_str(), 0, nullptr,
                         REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key->Out(),
                         &disposition);
}

// Names of the direct subkeys, in the registry's order; none when the key does not exist.
std::vector<std::string> SubKeys(const std::string &relative) {
  std::vector<std::string> names;
  Key key;
  if (OpenKey(relative, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD size = sizeof name;
    LONG rc = RegEnumKeyExA(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    names.emplace_back(name, size);
  }
  return names;
}

// The subkey of `relative` whose name equals `name` without regard to case, as it is spelt.
// Looked up in the store, which the spooler's account may read as a whole: no walk through
// every sibling.
bool FindSubKey(const std::string &relative, const std::string &name, std::string *actual) {
  const RegKey *parent = FindRegistryKey(*M().registry, "HKEY_LOCAL_MACHINE\\" + Path(relative));
  const RegKey *key = parent ? FindSubkey(*parent, name) : nullptr;
  if (!key) return false;
  *actual = key->name;
  return true;
}

bool ReadString(HKEY key, const char *name, std::string *out) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::vector<BYTE> data(size + 1);
  if (RegQueryValueExA(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return false;
  data[size] = 0;
  *out = reinterpret_cast<const char *>(data.data());
  return true;
}

DWORD ReadDword(HKEY key, const char *name, DWORD fallback) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return fallback;
  return value;
}

LONG WriteString(HKEY key, const char *name, const std::string &value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

LONG WriteDword(HKEY key, const char *name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                        sizeof value);
}

// A string field of a record: set when given, removed when null.
LONG WriteOptional(HKEY key, const char *name, const char *value) {
  if (value) return WriteString(key, name, value);
  LONG rc = RegDeleteValueA(key, name);
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// RegDeleteKeyA refuses a key with subkeys, so the tree goes from the leaves up.
LONG DeleteTree(const std::string &relative) {
  for (const std::string &sub : SubKeys(relative)) {
    LONG rc = DeleteTree(relative + "\\" + sub);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, Path(relative).c_str());
}

// ---- Calls, environments, files -------------------------------------------------------------

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// What every spooler call checks first: an injected fault, then whether the spooler runs.
// Windows 95 has no spooler service to ask about.
bool Reachable(const char *function) {
  if (uint32_t error = Fault(function)) return Fail(error), false;
  if (!M().windows95 && !ServiceIsRunning("Spooler")) return Fail(RPC_S_SERVER_UNAVAILABLE), false;
  return true;
}

// Only the local spooler exists on the image.
bool LocalServer(LPCSTR name) {
  return name == nullptr || name[0] == '\0';
}

// The environment that a name stands for (null or empty: the local one), or null when unknown.
const Environment *FindEnvironment(LPCSTR name) {
  return FindPrintEnvironment((name && name[0]) ? name : LocalPrintEnvironment());
}

std::string EnvironmentKey(const Environment &env) {
  return std::string("Environments\\") + env.name;
}

// The environment's driver directory as a Windows path; its Directory value in the registry
// names it, as on NT, falling back to the standard name.
std::string DriverDirectory(const Environment &env) {
  std::string directory = env.directory;
  Key key;
  std::string stored;
  if (OpenKey(EnvironmentKey(env), KEY_READ, &key) == ERROR_SUCCESS &&
      ReadString(key.Get(), "Directory", &stored) && !stored.empty())
    directory = stored;
  return M().systemDir + "\\spool\\drivers\\" + directory;
}

bool IsRegularFile(const std::string &hostPath) {
  struct stat st;
  return ::stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why the spooler could not use a monitor DLL as NT's LoadLibrary and GetProcAddress would
// answer, or 0 when it can. A module built for another of NT's processors does not map. An x64
// machine (the profile of Wine's prefix) takes any: there the demo's x86 monitor stands for the
// x64 one that the Windows build puts in its place.
DWORD MonitorLoadError(const std::string &hostPath) {
  std::string bytes;
  PeImage image;
  if (!ReadHostFile(hostPath, &bytes) || !ReadPeImage(bytes, &image)) return ERROR_MOD_NOT_FOUND;
  uint16_t machine = MachineOfProcessor(M().processor);
  if (machine && machine != kMachineAmd64 && image.machine != machine) return ERROR_BAD_EXE_FORMAT;
  // NT 3.x asks for InitializeMonitor; later spoolers for the InitializePrintMonitor entries.
  for (const std::string &name : image.exports)
    if (name == "InitializeMonitor" || name == "InitializePrintMonitor" ||
        name == "InitializePrintMonitor2")
      return 0;
  return ERROR_PROC_NOT_FOUND;
}

std::string FileNamePart(const std::string &path) {
  size_t slash = path.find_last_of("\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A driver of the environment: the Version-<n> key it lies under and its name as spelt there.
struct DriverEntry {
  std::string versionKey;  // "Version-<n>"
  std::string name;
};
std::vector<DriverEntry> FindDriver(const Environment &env, const std::string &name) {
  std::vector<DriverEntry> found;
  std::string drivers = EnvironmentKey(env) + "\\Drivers";
  for (const std::string &version : SubKeys(drivers)) {
    std::string actual;
    if (FindSubKey(drivers + "\\" + version, name, &actual)) found.push_back({version, actual});
  }
  return found;
}

std::string PrinterDriverOf(const std::string &printer) {
  Key key;
  std::string driver;
  if (OpenKey("Printers\\" + printer, KEY_READ, &key) == ERROR_SUCCESS)
    ReadString(key.Get(), "Printer Driver", &driver);
  return driver;
}

// ---- Printer handles --------------------------------------------------------------------------

struct PrinterHandle {
  std::string printer;  // the key name under Printers; empty for the print server itself
  ACCESS_MASK access;
};
std::map<uintptr_t, PrinterHandle> &Handles() {
  static std::map<uintptr_t, PrinterHandle> handles;
  return handles;
}
uintptr_t g_nextHandle = 0x70000000;

// The printer that a handle opened, or null for an unknown handle and for the print server's,
// which names no printer.
PrinterHandle *PrinterOf(HANDLE h) {
  auto it = Handles().find(reinterpret_cast<uintptr_t>(h));
  return it == Handles().end() || it->second.printer.empty() ? nullptr : &it->second;
}

HANDLE NewHandle(const std::string &printer, ACCESS_MASK access) {
  uintptr_t handle = g_nextHandle += 8;
  Handles()[handle] = {printer, access};
  return reinterpret_cast<HANDLE>(handle);
}

// ---- Printer records ------------------------------------------------------------------------

// The string fields of PRINTER_INFO_2 and the printer values that hold them.
struct StringField {
  LPSTR PRINTER_INFO_2A::*member;
  const char *value;
};
const StringField kStringFields[] = {
    {&PRINTER_INFO_2A::pPrinterName, "Name"},
    {&PRINTER_INFO_2A::pShareName, "Share Name"},
    {&PRINTER_INFO_2A::pPortName, "Port"},
    {&PRINTER_INFO_2A::pDriverName, "Printer Driver"},
    {&PRINTER_INFO_2A::pComment, "Description"},
    {&PRINTER_INFO_2A::pLocation, "Location"},
    {&PRINTER_INFO_2A::pSepFile, "Separator File"},
    {&PRINTER_INFO_2A::pPrintProcessor, "Print Processor"},
    {&PRINTER_INFO_2A::pDatatype, "Datatype"},
    {&PRINTER_INFO_2A::pParameters, "Parameters"},
};
struct DwordField {
  DWORD PRINTER_INFO_2A::*member;
  const char *value;
};
const DwordField kDwordFields[] = {
    {&PRINTER_INFO_2A::Attributes, "Attributes"},
    {&PRINTER_INFO_2A::Priority, "Priority"},
    {&PRINTER_INFO_2A::DefaultPriority, "Default Priority"},
    {&PRINTER_INFO_2A::StartTime, "StartTime"},
    {&PRINTER_INFO_2A::UntilTime, "UntilTime"},
};

// One printer as the registry holds it; a string value that is absent is reported as null.
struct PrinterRecord {
  std::vector<std::pair<bool, std::string>> strings;  // per kStringFields
  std::vector<DWORD> dwords;                          // per kDwordFields
  DWORD status = 0;
};

PrinterRecord ReadPrinter(const std::string &keyName) {
  PrinterRecord record;
  Key key;
  bool open = OpenKey("Printers\\" + keyName, KEY_READ, &key) == ERROR_SUCCESS;
  for (const StringField &field : kStringFields) {
    std::string value;
    bool present = open && ReadString(key.Get(), field.value, &value);
    if (!present && std::strcmp(field.value, "Name") == 0) value = keyName, present = true;
    record.strings.emplace_back(present, value);
  }
  for (const DwordField &field : kDwordFields)
    record.dwords.push_back(open ? ReadDword(key.Get(), field.value, 0) : 0);
  record.status = open ? ReadDword(key.Get(), "Status", 0) : 0;
  return record;
}

size_t StringBytes(const PrinterRecord &record) {
  size_t bytes = 0;
  for (const auto &s : record.strings)
    if (s.first) bytes += s.second.size() + 1;
  return bytes;
}

}  // namespace

const PrintEnvironment *FindPrintEnvironment(const std::string &name) {
  static const PrintEnvironment kEnvironments[] = {
      {"Windows NT x86", "w32x86"},
      {"Windows NT Alpha_AXP", "w32alpha"},
      {"Windows NT R4000", "w32mips"},
      {"Windows x64", "x64"},  // later Windows, and Wine, on x64 processors
  };
  for (const PrintEnvironment &env : kEnvironments)
    if (EqualNoCase(env.name, name)) return &env;
  return nullptr;
}

std::string PrintEnvironmentOfProcessor(const std::string &processor) {
  std::string upper = Upper(processor);
  if (upper == "ALPHA") return "Windows NT Alpha_AXP";
  if (upper == "MIPS") return "Windows NT R4000";
  if (upper == "AMD64") return "Windows x64";
  return "Windows NT x86";
}

std::string LocalPrintEnvironment() {
  return PrintEnvironmentOfProcessor(M().processor);
}

size_t OpenPrinterHandleCount() {
  return Handles().size();
}

}  // namespace winsim

using namespace winsim;

extern "C" {

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  if (!Reachable("GetPrinterDriverDirectoryA")) return FALSE;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME);
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  if (!pDriverDirectory && cbBuf) return Fail(ERROR_INVALID_USER_BUFFER);
  std::string directory;
  if (M().windows95 &&
      (!pEnvironment || !pEnvironment[0] || EqualNoCase(pEnvironment, "Windows 4.0"))) {
    // Windows 95 keeps its printer drivers in the system directory itself.
    directory = M().systemDir;
  } else {
    const Environment *env = FindEnvironment(pEnvironment);
    if (!env) return Fail(ERROR_INVALID_ENVIRONMENT);
    SpoolerAccount account;
    directory = DriverDirectory(*env);
  }
  DWORD needed = static_cast<DWORD>(directory.size() + 1);
  *pcbNeeded = needed;
  if (cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(pDriverDirectory, directory.c_str(), needed);
  return TRUE;
}

BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
  if (!Reachable("AddMonitorA")) return FALSE;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  const MONITOR_INFO_2A *info = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitors);
  // NT's client side refuses a missing record without a word: the last error stays as it was.
  if (!info) return FALSE;
  if (!info->pName || !info->pName[0] || !info->pDLLName || !info->pDLLName[0])
    return Fail(ERROR_INVALID_PARAMETER);
  // A monitor serves the spooler's own environment only.
  if (info->pEnvironment && info->pEnvironment[0] &&
      !EqualNoCase(info->pEnvironment, LocalPrintEnvironment()))
    return Fail(ERROR_INVALID_ENVIRONMENT);

  SpoolerAccount account;
  std::string existing;
  if (FindSubKey("Monitors", info->pName, &existing))
    return Fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);

  // The spooler loads the DLL at once, from the system directory, and asks it for the monitor's
  // entry point.
  std::string dll = info->pDLLName;
  std::string windowsPath =
      dll.find_first_of("\\:") == std::string::npos ? M().systemDir + "\\" + dll : dll;
  std::string host;
  uint32_t error = 0;
  if (!ResolvePath(windowsPath, &host, &error) || !IsRegularFile(host))
    return Fail(ERROR_MOD_NOT_FOUND);
  if (DWORD loadError = MonitorLoadError(host)) return Fail(loadError);

  Key key;
  LONG rc = CreateKey(std::string("Monitors\\") + info->pName, &key);
  if (rc == ERROR_SUCCESS) rc = WriteString(key.Get(), "Driver", dll);
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  // Loaded now; the service manager keeps it loaded while the spooler runs, as on NT.
  SetFileLoaded(host, true);
  RefreshSpoolerLoadedFiles();
  // Installers read the last error after a success; NT's AddMonitor clears it.
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  if (!Reachable("DeleteMonitorA")) return FALSE;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME);
  // Monitors have no environment of their own: NT's spooler does not look at the one given.
  (void)pEnvironment;
  if (!pMonitorName || !pMonitorName[0]) return Fail(ERROR_INVALID_PARAMETER);
  SpoolerAccount account;
  std::string actual;
  if (!FindSubKey("Monitors", pMonitorName, &actual)) return Fail(ERROR_UNKNOWN_PRINT_MONITOR);
  std::string dll;
  {
    Key key;
    if (OpenKey("Monitors\\" + actual, KEY_READ, &key) == ERROR_SUCCESS)
      ReadString(key.Get(), "Driver", &dll);
  }
  LONG rc = DeleteTree("Monitors\\" + actual);
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  // The spooler unloads the DLL unless another monitor still uses it.
  bool stillUsed = false;
  for (const std::string &other : SubKeys("Monitors")) {
    Key key;
    std::string otherDll;
    if (OpenKey("Monitors\\" + other, KEY_READ, &key) == ERROR_SUCCESS &&
        ReadString(key.Get(), "Driver", &otherDll) && EqualNoCase(otherDll, dll))
      stillUsed = true;
  }
  std::string host;
  uint32_t error = 0;
  if (!stillUsed && !dll.empty() && ResolvePath(M().systemDir + "\\" + dll, &host, &error))
    SetFileLoaded(host, false);
  RefreshSpoolerLoadedFiles();
  return TRUE;
}

BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) {
  if (!Reachable("AddPrinterDriverA")) return FALSE;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  const DRIVER_INFO_2A *info = reinterpret_cast<const DRIVER_INFO_2A *>(pDriverInfo);
  if (!info || !info->pName || !info->pName[0] || !info->pDriverPath || !info->pDriverPath[0] ||
      !info->pDataFile || !info->pDataFile[0] || !info->pConfigFile || !info->pConfigFile[0])
    return Fail(ERROR_INVALID_PARAMETER);
  const Environment *env = FindEnvironment(info->pEnvironment);
  if (!env) return Fail(ERROR_INVALID_ENVIRONMENT);

  SpoolerAccount account;
  if (!FindDriver(*env, info->pName).empty()) return Fail(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED);

  // Bare file names are looked for in the environment's driver directory.
  std::string directory = DriverDirectory(*env);
  const char *files[3] = {info->pDriverPath, info->pDataFile, info->pConfigFile};
  std::string sources[3], contents[3];
  for (int i = 0; i < 3; ++i) {
    std::string path = files[i];
    if (path.find_first_of("\\:") == std::string::npos) path = directory + "\\" + path;
    uint32_t error = 0;
    if (!ResolvePath(path, &sources[i], &error) || !IsRegularFile(sources[i]))
      return Fail(ERROR_FILE_NOT_FOUND);
    if (!ReadHostFile(sources[i], &contents[i])) return Fail(ERROR_ACCESS_DENIED);
  }

  // The files go into the version subdirectory, where the driver is loaded from.
  std::string version = std::to_string(info->cVersion);
  std::string versionDir;
  uint32_t error = 0;
  if (!ResolvePath(directory + "\\" + version, &versionDir, &error)) return Fail(error);
  std::error_code ec;
  std::filesystem::create_directories(versionDir, ec);
  if (ec) return Fail(ERROR_ACCESS_DENIED);
  HostEntryCreated(versionDir);
  for (int i = 0; i < 3; ++i) {
    std::string target;
    if (!ResolvePath(directory + "\\" + version + "\\" + FileNamePart(files[i]), &target, &error))
      return Fail(error);
    if (target == sources[i]) continue;
    if (IsFileLoaded(target)) return Fail(ERROR_SHARING_VIOLATION);
    // The modules that every driver shares are there already after the first: not rewritten.
    std::string present;
    if (IsRegularFile(target) && ReadHostFile(target, &present) && present == contents[i]) continue;
    if (!WriteFileAtomically(target, contents[i])) return Fail(ERROR_ACCESS_DENIED);
  }

  Key envKey;
  LONG rc = CreateKey(EnvironmentKey(*env), &envKey);
  if (rc == ERROR_SUCCESS) {
    std::string stored;
    if (!ReadString(envKey.Get(), "Directory", &stored))
      rc = WriteString(envKey.Get(), "Directory", env->directory);
  }
  Key key;
  if (rc == ERROR_SUCCESS)
    rc = CreateKey(EnvironmentKey(*env) + "\\Drivers\\Version-" + version + "\\" + info->pName,
                   &key);
  if (rc == ERROR_SUCCESS) rc = WriteString(key.Get(), "Driver", FileNamePart(files[0]));
  if (rc == ERROR_SUCCESS) rc = WriteString(key.Get(), "Data File", FileNamePart(files[1]));
  if (rc == ERROR_SUCCESS)
    rc = WriteString(key.Get(), "Configuration File", FileNamePart(files[2]));
  if (rc == ERROR_SUCCESS) rc = WriteDword(key.Get(), "Version", info->cVersion);
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  return TRUE;
}

BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName) {
  if (!Reachable("DeletePrinterDriverA")) return FALSE;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME);
  if (!pDriverName || !pDriverName[0]) return Fail(ERROR_INVALID_PARAMETER);
  const Environment *env = FindEnvironment(pEnvironment);
  if (!env) return Fail(ERROR_INVALID_ENVIRONMENT);

  SpoolerAccount account;
  std::vector<DriverEntry> entries = FindDriver(*env, pDriverName);
  if (entries.empty()) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  // Printers use drivers of the spooler's own environment.
  if (EqualNoCase(env->name, LocalPrintEnvironment()))
    for (const std::string &printer : SubKeys("Printers"))
      if (EqualNoCase(PrinterDriverOf(printer), pDriverName))
        return Fail(ERROR_PRINTER_DRIVER_IN_USE);
  // Only the registration goes; the driver's files stay where they are, as on NT 3.x.
  for (const DriverEntry &entry : entries) {
    LONG rc =
        DeleteTree(EnvironmentKey(*env) + "\\Drivers\\" + entry.versionKey + "\\" + entry.name);
    if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  }
  return TRUE;
}

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!Reachable("EnumPrintersA")) return FALSE;
  if (Level != 1 && Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (!pcbNeeded || !pcReturned) return Fail(ERROR_INVALID_PARAMETER);
  if (!pPrinterEnum && cbBuf) return Fail(ERROR_INVALID_USER_BUFFER);

  // The image has local printers only; connections and network printers are none.
  bool local = (Flags & PRINTER_ENUM_LOCAL) || ((Flags & PRINTER_ENUM_NAME) && LocalServer(Name));
  std::vector<PrinterRecord> records;
  if (local) {
    SpoolerAccount account;
    for (const std::string &printer : SubKeys("Printers")) records.push_back(ReadPrinter(printer));
  }

  // Level 1 gives the name, the comment and a description "name,driver,location", never null.
  auto text = [](const PrinterRecord &record, const char *value) {
    for (size_t f = 0; f < std::size(kStringFields); ++f)
      if (std::strcmp(kStringFields[f].value, value) == 0) return record.strings[f].second;
    return std::string();
  };
  std::vector<std::vector<std::string>> level1;  // description, name, comment
  size_t needed = 0;
  for (const PrinterRecord &record : records) {
    if (Level == 1) {
      std::string name = text(record, "Name");
      level1.push_back(
          {name + "," + text(record, "Printer Driver") + "," + text(record, "Location"), name,
           text(record, "Description")});
      needed += sizeof(PRINTER_INFO_1A);
      for (const std::string &t : level1.back()) needed += t.size() + 1;
    } else {
      needed += sizeof(PRINTER_INFO_2A) + StringBytes(record);
    }
  }
  if (needed > 0xFFFFFFFFu) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  *pcbNeeded = static_cast<DWORD>(needed);
  if (cbBuf < needed) {
    *pcReturned = 0;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }

  // Records from the start of the buffer, their strings packed downwards from its end.
  char *end = reinterpret_cast<char *>(pPrinterEnum) + needed;
  auto pack = [&end](const std::string &value) {
    end -= value.size() + 1;
    std::memcpy(end, value.c_str(), value.size() + 1);
    return end;
  };
  for (size_t i = 0; i < records.size(); ++i) {
    if (Level == 1) {
      PRINTER_INFO_1A info;
      info.Flags = PRINTER_ENUM_ICON8;
      info.pDescription = pack(level1[i][0]);
      info.pName = pack(level1[i][1]);
      info.pComment = pack(level1[i][2]);
      std::memcpy(pPrinterEnum + i * sizeof info, &info, sizeof info);
      continue;
    }
    PRINTER_INFO_2A info;
    std::memset(&info, 0, sizeof info);
    for (size_t f = 0; f < std::size(kStringFields); ++f) {
      const auto &value = records[i].strings[f];
      if (value.first) info.*(kStringFields[f].member) = pack(value.second);
    }
    for (size_t f = 0; f < std::size(kDwordFields); ++f)
      info.*(kDwordFields[f].member) = records[i].dwords[f];
    info.Status = records[i].status;
    std::memcpy(pPrinterEnum + i * sizeof info, &info, sizeof info);
  }
  *pcReturned = static_cast<DWORD>(records.size());
  return TRUE;
}

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  if (!Reachable("OpenPrinterA")) return FALSE;
  if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
  *phPrinter = nullptr;
  // No name opens the local print server: its handle only closes here, as it names no printer.
  if (!pPrinterName) {
    *phPrinter = NewHandle("", SERVER_ACCESS_ENUMERATE);
    return TRUE;
  }
  if (!pPrinterName[0]) return Fail(ERROR_INVALID_PRINTER_NAME);

  std::string printer;
  {
    SpoolerAccount account;
    if (!FindSubKey("Printers", pPrinterName, &printer)) return Fail(ERROR_INVALID_PRINTER_NAME);
  }

  ACCESS_MASK access = pDefault ? pDefault->DesiredAccess : 0;
  if (access == 0) access = PRINTER_ACCESS_USE;
  if (access & GENERIC_ALL) access = (access & ~GENERIC_ALL) | PRINTER_ALL_ACCESS;
  if (access & (GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE))
    access = (access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE)) | PRINTER_ACCESS_USE;
  // A printer listed under [deny] lets the setup account print, nothing more.
  const ACCESS_MASK useOnly = PRINTER_ACCESS_USE | READ_CONTROL | SYNCHRONIZE;
  for (const std::string &denied : M().denyPrinters)
    if (EqualNoCase(denied, printer) && (access & ~useOnly)) return Fail(ERROR_ACCESS_DENIED);

  *phPrinter = NewHandle(printer, access);
  return TRUE;
}

HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  if (!Reachable("AddPrinterA")) return nullptr;
  if (!LocalServer(pName)) return Fail(ERROR_INVALID_NAME), nullptr;
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL), nullptr;
  const PRINTER_INFO_2A *info = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
  if (!info || !info->pPrinterName || !info->pPortName || !info->pDriverName ||
      !info->pPrintProcessor)
    return Fail(ERROR_INVALID_PARAMETER), nullptr;
  // A printer name is one name: no server part, no list separator.
  std::string name = info->pPrinterName;
  if (name.empty() || name.find_first_of("\\,") != std::string::npos)
    return Fail(ERROR_INVALID_PRINTER_NAME), nullptr;

  SpoolerAccount account;
  std::string existing;
  if (FindSubKey("Printers", name, &existing)) return Fail(ERROR_PRINTER_ALREADY_EXISTS), nullptr;
  const Environment *local = FindEnvironment(nullptr);
  std::vector<DriverEntry> entries;
  if (local) entries = FindDriver(*local, info->pDriverName);
  if (entries.empty()) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER), nullptr;
  if (!EqualNoCase(info->pPrintProcessor, "WinPrint"))
    return Fail(ERROR_UNKNOWN_PRINTPROCESSOR), nullptr;

  Key key;
  LONG rc = CreateKey("Printers\\" + name, &key);
  for (const StringField &field : kStringFields) {
    const char *value = info->*(field.member);
    if (std::strcmp(field.value, "Printer Driver") == 0) value = entries.front().name.c_str();
    if (rc == ERROR_SUCCESS && value) rc = WriteString(key.Get(), field.value, value);
  }
  for (const DwordField &field : kDwordFields)
    if (rc == ERROR_SUCCESS) rc = WriteDword(key.Get(), field.value, info->*(field.member));
  if (rc == ERROR_SUCCESS) rc = WriteDword(key.Get(), "Status", 0);
  if (rc != ERROR_SUCCESS) {
    key.Close();
    DeleteTree("Printers\\" + name);
    return Fail(static_cast<DWORD>(rc)), nullptr;
  }
  return NewHandle(name, PRINTER_ALL_ACCESS);
}

BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  if (!Reachable("DeletePrinter")) return FALSE;
  PrinterHandle *handle = PrinterOf(hPrinter);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  if (!(handle->access & DELETE)) return Fail(ERROR_ACCESS_DENIED);
  SpoolerAccount account;
  std::string actual;
  if (!FindSubKey("Printers", handle->printer, &actual)) return Fail(ERROR_INVALID_PRINTER_NAME);
  LONG rc = DeleteTree("Printers\\" + actual);
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  return TRUE;
}

BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  if (!Reachable("SetPrinterA")) return FALSE;
  PrinterHandle *handle = PrinterOf(hPrinter);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 0 && Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (!(handle->access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
  if (Command != 0 && Command != PRINTER_CONTROL_PAUSE && Command != PRINTER_CONTROL_RESUME &&
      Command != PRINTER_CONTROL_PURGE)
    return Fail(ERROR_INVALID_PRINTER_COMMAND);
  if (Level == 0 && Command == 0) return Fail(ERROR_INVALID_PARAMETER);
  const PRINTER_INFO_2A *info = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
  if (Level == 2 && !info) return Fail(ERROR_INVALID_PARAMETER);

  SpoolerAccount account;
  const std::string printerKey = "Printers\\" + handle->printer;
  // Everything is checked before anything changes: a refused call leaves the printer as it was.
  std::string driver;
  if (Level == 2) {
    const Environment *local = FindEnvironment(nullptr);
    std::vector<DriverEntry> entries;
    if (info->pDriverName && local) entries = FindDriver(*local, info->pDriverName);
    if (entries.empty()) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    driver = entries.front().name;  // the spooler reports the driver's own spelling
  }
  Key key;
  LONG rc = OpenKey(printerKey, KEY_ALL_ACCESS, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return Fail(ERROR_INVALID_PRINTER_NAME);
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));

  if (Level == 2) {
    // The name, the status and the job counts are the spooler's own; the rest is taken.
    for (const StringField &field : kStringFields) {
      if (std::strcmp(field.value, "Name") == 0) continue;
      const char *value = info->*(field.member);
      if (std::strcmp(field.value, "Printer Driver") == 0) value = driver.c_str();
      if (rc == ERROR_SUCCESS) rc = WriteOptional(key.Get(), field.value, value);
    }
    for (const DwordField &field : kDwordFields)
      if (rc == ERROR_SUCCESS) rc = WriteDword(key.Get(), field.value, info->*(field.member));
  }
  if (rc == ERROR_SUCCESS &&
      (Command == PRINTER_CONTROL_PAUSE || Command == PRINTER_CONTROL_RESUME)) {
    DWORD status = ReadDword(key.Get(), "Status", 0);
    if (Command == PRINTER_CONTROL_PAUSE)
      status |= PRINTER_STATUS_PAUSED;
    else
      status &= ~static_cast<DWORD>(PRINTER_STATUS_PAUSED);
    rc = WriteDword(key.Get(), "Status", status);
  }
  if (rc != ERROR_SUCCESS) return Fail(static_cast<DWORD>(rc));
  return TRUE;
}

BOOL WINAPI GetPrinterDriverA(HANDLE hPrinter, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                              DWORD cbBuf, LPDWORD pcbNeeded) {
  if (!Reachable("GetPrinterDriverA")) return FALSE;
  PrinterHandle *handle = PrinterOf(hPrinter);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 1 && Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  if (!pDriverInfo && cbBuf) return Fail(ERROR_INVALID_USER_BUFFER);
  const Environment *env = FindEnvironment(pEnvironment);
  if (!env) return Fail(ERROR_INVALID_ENVIRONMENT);

  // The printer's driver as registered in the environment, its files as full paths in the
  // version directory they were installed into.
  SpoolerAccount account;
  std::vector<DriverEntry> entries = FindDriver(*env, PrinterDriverOf(handle->printer));
  if (entries.empty()) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  const DriverEntry &entry = entries.front();
  Key key;
  std::string strings[5];  // name, environment, driver, data file, configuration file
  strings[0] = entry.name;
  strings[1] = env->name;
  const char *files[3] = {"Driver", "Data File", "Configuration File"};
  if (OpenKey(EnvironmentKey(*env) + "\\Drivers\\" + entry.versionKey + "\\" + entry.name, KEY_READ,
              &key) != ERROR_SUCCESS)
    return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  DWORD version = ReadDword(key.Get(), "Version", 0);
  std::string versionDir = DriverDirectory(*env) + "\\" + entry.versionKey.substr(8);
  for (int i = 0; i < 3; ++i) {
    std::string file;
    ReadString(key.Get(), files[i], &file);
    strings[2 + i] = versionDir + "\\" + file;
  }

  const size_t count = Level == 1 ? 1 : 5;
  size_t needed = Level == 1 ? sizeof(DRIVER_INFO_1A) : sizeof(DRIVER_INFO_2A);
  for (size_t i = 0; i < count; ++i) needed += strings[i].size() + 1;
  *pcbNeeded = static_cast<DWORD>(needed);
  if (cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);

  // The record at the start of the buffer, its strings after it.
  char *next = reinterpret_cast<char *>(pDriverInfo) +
               (Level == 1 ? sizeof(DRIVER_INFO_1A) : sizeof(DRIVER_INFO_2A));
  LPSTR pointers[5];
  for (size_t i = 0; i < count; ++i) {
    std::memcpy(next, strings[i].c_str(), strings[i].size() + 1);
    pointers[i] = next;
    next += strings[i].size() + 1;
  }
  if (Level == 1) {
    DRIVER_INFO_1A info = {pointers[0]};
    std::memcpy(pDriverInfo, &info, sizeof info);
  } else {
    DRIVER_INFO_2A info = {version,     pointers[0], pointers[1],
                           pointers[2], pointers[3], pointers[4]};
    std::memcpy(pDriverInfo, &info, sizeof info);
  }
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  uint32_t fault = Fault("ClosePrinter");
  bool known = Handles().erase(reinterpret_cast<uintptr_t>(hPrinter)) != 0;
  // The client side lets go of the handle even when the spooler cannot be told.
  if (fault) return Fail(fault);
  if (!M().windows95 && !ServiceIsRunning("Spooler")) return Fail(RPC_S_SERVER_UNAVAILABLE);
  if (!known) return Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

}  // extern "C"
