// advapi32: the service control manager, over the [service <name>] sections of machine.ini.
// How services progress by the clock is described in winsim/services.h.
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "winsim/machine.h"
#include "winsim/services.h"

namespace winsim {
namespace {

const char kSpooler[] = "Spooler";
const char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";

// Rights that an account without administrator rights is granted (NT's default security of the
// service manager and of a service: everyone may connect, enumerate and query).
const DWORD kManagerRightsForEveryone =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
const DWORD kServiceRightsForEveryone = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                        SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                        SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

// NT's generic mappings of the two kinds of object: a generic right asked for stands for these
// specific rights, and only specific rights are kept in a handle.
DWORD MapManagerAccess(DWORD access) {
  if (access & GENERIC_READ)
    access |= STANDARD_RIGHTS_READ | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
  if (access & GENERIC_WRITE)
    access |= STANDARD_RIGHTS_WRITE | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
  if (access & GENERIC_EXECUTE)
    access |= STANDARD_RIGHTS_EXECUTE | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
  if (access & GENERIC_ALL) access |= SC_MANAGER_ALL_ACCESS;
  return access & SC_MANAGER_ALL_ACCESS;
}

DWORD MapServiceAccess(DWORD access) {
  if (access & GENERIC_READ)
    access |= STANDARD_RIGHTS_READ | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
              SERVICE_INTERROGATE | SERVICE_ENUMERATE_DEPENDENTS;
  if (access & GENERIC_WRITE) access |= STANDARD_RIGHTS_WRITE | SERVICE_CHANGE_CONFIG;
  if (access & GENERIC_EXECUTE)
    access |= STANDARD_RIGHTS_EXECUTE | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
              SERVICE_USER_DEFINED_CONTROL;
  if (access & GENERIC_ALL) access |= SERVICE_ALL_ACCESS;
  return access & SERVICE_ALL_ACCESS;
}

struct ScObject {
  bool manager = false;
  DWORD rights = 0;
  std::string service;  // the service's name as configured (service handles only)
  unsigned generation = 0;
};

// Handle values are never reused in the process, so a handle of an earlier machine or a closed
// handle is never mistaken for a live one.
std::map<uintptr_t, ScObject> g_handles;
uintptr_t g_nextHandle = 0x5C000000;
unsigned g_generation = 0;

// Run-time facts of the open machine: when each stop-pending service began its stop, and the
// files that the spooler has loaded.
std::map<std::string, uint64_t> g_stopBegan;   // upper-cased name -> NowMs at the stop request
std::map<std::string, uint64_t> g_startBegan;  // upper-cased name -> NowMs at the start request
std::set<std::string> g_spoolerLoaded;

ServiceConfig *FindService(const std::string &name) {
  for (ServiceConfig &svc : M().services)
    if (EqualNoCase(svc.name, name)) return &svc;
  return nullptr;
}

DWORD StateCode(const std::string &state) {
  if (state == "stopped") return SERVICE_STOPPED;
  if (state == "start-pending") return SERVICE_START_PENDING;
  if (state == "stop-pending") return SERVICE_STOP_PENDING;
  if (state == "paused") return SERVICE_PAUSED;
  return SERVICE_RUNNING;
}

// The exact name of the section of machine.ini that holds a service.
std::string SectionOf(const ServiceConfig &svc) {
  for (const IniFile::Section &section : M().ini.Sections()) {
    size_t sp = section.name.find(' ');
    if (sp == std::string::npos || !EqualNoCase(section.name.substr(0, sp), "service")) continue;
    std::string rest = section.name.substr(sp + 1);
    while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (EqualNoCase(rest, svc.name)) return section.name;
  }
  return "service " + svc.name;
}

// Runs `read` as the spooler service would: with its own rights, so that neither the setup
// account's [deny] rules nor faults injected into the setup's own calls reach it, and without
// disturbing the call counts of numbered faults or the last-error value.
template <typename Read>
void AsServiceAccount(Read read) {
  ServiceAccount account;
  DWORD lastError = GetLastError();
  read();
  SetLastError(lastError);
}

// Host paths of the DLLs of the monitors registered now.
std::set<std::string> RegisteredMonitorFiles() {
  std::set<std::string> files;
  AsServiceAccount([&] {
    HKEY monitors;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMonitorsKey, 0, KEY_READ, &monitors) != ERROR_SUCCESS)
      return;
    for (DWORD index = 0;; ++index) {
      char name[MAX_PATH];
      DWORD nameLen = sizeof name;
      LONG rc = RegEnumKeyExA(monitors, index, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) break;
      HKEY monitor;
      if (RegOpenKeyExA(monitors, name, 0, KEY_READ, &monitor) != ERROR_SUCCESS) continue;
      char driver[MAX_PATH];
      DWORD type = 0, size = sizeof driver - 1;
      if (RegQueryValueExA(monitor, "Driver", nullptr, &type, reinterpret_cast<BYTE *>(driver),
                           &size) == ERROR_SUCCESS &&
          (type == REG_SZ || type == REG_EXPAND_SZ)) {
        driver[size] = 0;
        std::string host;
        uint32_t error;
        struct stat st;
        if (driver[0] && ResolvePath(M().systemDir + "\\" + driver, &host, &error) &&
            ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode))
          files.insert(host);  // a DLL that is not there cannot be loaded
      }
      RegCloseKey(monitor);
    }
    RegCloseKey(monitors);
  });
  return files;
}

void UpdateSpoolerFiles() {
  const ServiceConfig *spooler = FindService(kSpooler);
  if (!spooler || spooler->state == "stopped") {
    // Only the spooler loads files here. A stopped one holds none, also none that was renamed
    // while it ran (the mark went with the file).
    M().loadedFiles.clear();
    g_spoolerLoaded.clear();
    return;
  }
  std::set<std::string> now = RegisteredMonitorFiles();
  for (const std::string &file : g_spoolerLoaded)
    if (!now.count(file)) SetFileLoaded(file, false);
  for (const std::string &file : now) SetFileLoaded(file, true);
  g_spoolerLoaded = now;
}

// Records a new state: in the machine, in machine.ini at once, and in what the spooler holds.
void SetState(ServiceConfig &svc, const std::string &state) {
  if (svc.state == state) return;
  svc.state = state;
  // When a stop began is kept with the state, so that it ends in its time even when the run that
  // asked for it has ended.
  if (state == "stop-pending") {
    g_stopBegan[Upper(svc.name)] = NowMs();
    M().ini.Set(SectionOf(svc), "stop_began", std::to_string(NowMs()));
  } else {
    g_stopBegan.erase(Upper(svc.name));
    M().ini.Remove(SectionOf(svc), "stop_began");
  }
  if (state == "start-pending")
    g_startBegan[Upper(svc.name)] = NowMs();
  else
    g_startBegan.erase(Upper(svc.name));
  SetMachineValue(SectionOf(svc), "state", state);
  if (EqualNoCase(svc.name, kSpooler)) UpdateSpoolerFiles();
}

uint64_t StopElapsed(const ServiceConfig &svc) {
  auto it = g_stopBegan.find(Upper(svc.name));
  uint64_t now = NowMs();
  return it == g_stopBegan.end() || now < it->second ? 0 : now - it->second;
}

// Brings a service's state up to the clock: a stop that has run its time is over.
// A start is over as soon as any time has passed after it.
void Progress(ServiceConfig &svc) {
  if (svc.state == "stop-pending" && !svc.hang && StopElapsed(svc) >= svc.stopMs)
    SetState(svc, "stopped");
  if (svc.state == "start-pending") {
    auto it = g_startBegan.find(Upper(svc.name));
    if (it == g_startBegan.end() || NowMs() > it->second) SetState(svc, "running");
  }
}

void ProgressAll() {
  for (ServiceConfig &svc : M().services) Progress(svc);
}

// The status as the service reports it now. A start-pending service reports that once and is
// running after the report.
SERVICE_STATUS Report(ServiceConfig &svc) {
  Progress(svc);
  SERVICE_STATUS status;
  std::memset(&status, 0, sizeof status);
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = StateCode(svc.state);
  if (svc.state == "running" || svc.state == "paused") {
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
  } else if (svc.state == "start-pending") {
    status.dwCheckPoint = 1;
    status.dwWaitHint = svc.waitHintMs;
    SetState(svc, "running");
  } else if (svc.state == "stop-pending") {
    status.dwWaitHint = svc.waitHintMs;
    uint64_t steps = svc.hang || svc.waitHintMs == 0 ? 0 : StopElapsed(svc) / svc.waitHintMs;
    status.dwCheckPoint = static_cast<DWORD>(1 + steps);
  }
  return status;
}

// Services that depend on `svc`, those that depend on them and so on, each listed before every
// service it depends on: the order in which they must be stopped.
void CollectDependents(const ServiceConfig &svc, std::vector<ServiceConfig *> *order,
                       std::set<std::string> *seen) {
  for (ServiceConfig &other : M().services) {
    bool depends = false;
    for (const std::string &dep : other.depends) depends = depends || EqualNoCase(dep, svc.name);
    if (!depends || !seen->insert(Upper(other.name)).second) continue;
    CollectDependents(other, order, seen);
    order->push_back(&other);
  }
}

std::vector<ServiceConfig *> DependentsInStopOrder(const ServiceConfig &svc) {
  std::vector<ServiceConfig *> order;
  std::set<std::string> seen{Upper(svc.name)};
  CollectDependents(svc, &order, &seen);
  return order;
}

ScObject *Object(SC_HANDLE handle) {
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == g_handles.end() || it->second.generation != g_generation) return nullptr;
  return &it->second;
}

SC_HANDLE NewHandle(const ScObject &object) {
  g_nextHandle += 4;
  g_handles[g_nextHandle] = object;
  return reinterpret_cast<SC_HANDLE>(g_nextHandle);
}

// The service behind a service handle, or null with the last error set.
ServiceConfig *ServiceOf(SC_HANDLE handle) {
  ScObject *object = Object(handle);
  ServiceConfig *svc = object && !object->manager ? FindService(object->service) : nullptr;
  if (!svc) SetLastError(ERROR_INVALID_HANDLE);
  return svc;
}

// The service behind a service handle that holds `right`, or null with the last error set.
ServiceConfig *ServiceFor(SC_HANDLE handle, DWORD right) {
  ServiceConfig *svc = ServiceOf(handle);
  if (!svc) return nullptr;
  if ((Object(handle)->rights & right) != right) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return svc;
}

// Whether the account may have the rights it asks for (administrators may have all).
bool Granted(DWORD rights, DWORD everyone) {
  if (M().administrators == AdminGroup::Enabled) return true;
  return (rights & ~everyone) == 0;
}

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

}  // namespace

void ServicesOnOpen() {
  ++g_generation;
  g_stopBegan.clear();
  g_startBegan.clear();
  g_spoolerLoaded.clear();
  for (const ServiceConfig &svc : M().services) {
    // A stop pending from an earlier run counts from when it was asked for; one that the image
    // was made with, from now.
    if (svc.state == "stop-pending")
      g_stopBegan[Upper(svc.name)] = svc.stopBeganKnown ? svc.stopBeganMs : NowMs();
    if (svc.state == "start-pending") g_startBegan[Upper(svc.name)] = NowMs();
  }
  for (ServiceConfig &svc : M().services)
    if (svc.stopBeganKnown) Progress(svc);
  UpdateSpoolerFiles();
}

size_t OpenServiceHandleCount() {
  size_t count = 0;
  for (const auto &entry : g_handles) count += entry.second.generation == g_generation;
  return count;
}

void ServicesProgress() {
  if (MachineOpen()) ProgressAll();
}

void RefreshSpoolerLoadedFiles() {
  if (MachineOpen()) UpdateSpoolerFiles();
}

// A service runs when it is running or paused; a starting one is waited for.
bool ServiceIsRunning(const std::string &name) {
  ServiceConfig *svc = FindService(name);
  if (!svc) return false;
  Progress(*svc);
  if (svc->state == "start-pending") SetState(*svc, "running");
  return svc->state == "running" || svc->state == "paused";
}

}  // namespace winsim

using namespace winsim;

extern "C" {

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
  if (DWORD error = Fault("OpenSCManagerA")) return Fail(error), nullptr;
  // Only the local machine and its active database exist.
  if (lpMachineName && *lpMachineName) return Fail(RPC_S_SERVER_UNAVAILABLE), nullptr;
  // The other database NT knows of (failed services' last good state) cannot be opened; any
  // other name is no database at all.
  if (lpDatabaseName && *lpDatabaseName && !EqualNoCase(lpDatabaseName, "ServicesActive"))
    return Fail(EqualNoCase(lpDatabaseName, "ServicesFailed") ? ERROR_DATABASE_DOES_NOT_EXIST
                                                              : ERROR_INVALID_NAME),
           nullptr;
  ScObject object;
  object.manager = true;
  object.rights = MapManagerAccess(dwDesiredAccess) | SC_MANAGER_CONNECT;
  object.generation = g_generation;
  if (!Granted(object.rights, kManagerRightsForEveryone)) return Fail(ERROR_ACCESS_DENIED), nullptr;
  SC_HANDLE handle = NewHandle(object);
  SetLastError(ERROR_SUCCESS);  // as NT does on success
  return handle;
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  if (DWORD error = Fault("OpenServiceA")) return Fail(error), nullptr;
  ScObject *manager = Object(hSCManager);
  if (!manager || !manager->manager) return Fail(ERROR_INVALID_HANDLE), nullptr;
  if (!(manager->rights & SC_MANAGER_CONNECT)) return Fail(ERROR_ACCESS_DENIED), nullptr;
  if (!lpServiceName) return Fail(ERROR_INVALID_ADDRESS), nullptr;
  if (!*lpServiceName) return Fail(ERROR_INVALID_NAME), nullptr;
  ServiceConfig *svc = FindService(lpServiceName);
  if (!svc) return Fail(ERROR_SERVICE_DOES_NOT_EXIST), nullptr;
  ScObject object;
  object.rights = MapServiceAccess(dwDesiredAccess);
  object.service = svc->name;
  object.generation = g_generation;
  if (!Granted(object.rights, kServiceRightsForEveryone)) return Fail(ERROR_ACCESS_DENIED), nullptr;
  return NewHandle(object);
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  if (DWORD error = Fault("CloseServiceHandle")) return Fail(error);
  if (!Object(hSCObject)) return Fail(ERROR_INVALID_HANDLE);
  g_handles.erase(reinterpret_cast<uintptr_t>(hSCObject));
  return TRUE;
}

BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                   LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                   LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned) {
  if (DWORD error = Fault("EnumDependentServicesA")) return Fail(error);
  ServiceConfig *svc = ServiceFor(hService, SERVICE_ENUMERATE_DEPENDENTS);
  if (!svc) return FALSE;
  if (dwServiceState == 0 || (dwServiceState & ~SERVICE_STATE_ALL) != 0)
    return Fail(ERROR_INVALID_PARAMETER);
  if (!pcbBytesNeeded || !lpServicesReturned) return Fail(ERROR_INVALID_ADDRESS);

  ProgressAll();
  std::vector<ServiceConfig *> listed;
  size_t needed = 0;
  for (ServiceConfig *dep : DependentsInStopOrder(*svc)) {
    bool active = dep->state != "stopped";
    if (!(dwServiceState & (active ? SERVICE_ACTIVE : SERVICE_INACTIVE))) continue;
    listed.push_back(dep);
    // No display names are configured: a service is displayed by its name.
    needed += sizeof(ENUM_SERVICE_STATUSA) + 2 * (dep->name.size() + 1);
  }
  *lpServicesReturned = 0;
  if (needed > cbBufSize) {
    *pcbBytesNeeded = static_cast<DWORD>(needed);
    return Fail(ERROR_MORE_DATA);
  }
  if (!listed.empty() && !lpServices) return Fail(ERROR_INVALID_ADDRESS);

  // The records first, their strings behind them. The caller's buffer need not be aligned for
  // the record, so every record is copied in whole.
  char *base = reinterpret_cast<char *>(lpServices);
  char *strings = base + listed.size() * sizeof(ENUM_SERVICE_STATUSA);
  for (size_t i = 0; i < listed.size(); ++i) {
    ENUM_SERVICE_STATUSA record;
    std::memset(&record, 0, sizeof record);
    const std::string &name = listed[i]->name;
    record.lpServiceName = strings;
    std::memcpy(strings, name.c_str(), name.size() + 1);
    strings += name.size() + 1;
    record.lpDisplayName = strings;
    std::memcpy(strings, name.c_str(), name.size() + 1);
    strings += name.size() + 1;
    record.ServiceStatus = Report(*listed[i]);
    std::memcpy(base + i * sizeof record, &record, sizeof record);
  }
  *pcbBytesNeeded = 0;
  *lpServicesReturned = static_cast<DWORD>(listed.size());
  return TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  if (DWORD error = Fault("ControlService")) return Fail(error);
  DWORD right = dwControl == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                : dwControl == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                : dwControl == SERVICE_CONTROL_PAUSE || dwControl == SERVICE_CONTROL_CONTINUE
                    ? SERVICE_PAUSE_CONTINUE
                    : SERVICE_USER_DEFINED_CONTROL;
  ServiceConfig *svc = ServiceFor(hService, right);
  if (!svc) return FALSE;
  if (!lpServiceStatus) return Fail(ERROR_INVALID_ADDRESS);

  ProgressAll();
  DWORD error = 0;
  if (dwControl == SERVICE_CONTROL_STOP) {
    bool dependentActive = false;
    for (ServiceConfig *dep : DependentsInStopOrder(*svc))
      dependentActive = dependentActive || dep->state != "stopped";
    if (svc->state == "stopped")
      error = ERROR_SERVICE_NOT_ACTIVE;
    else if (dependentActive)
      error = ERROR_DEPENDENT_SERVICES_RUNNING;
    else if (svc->state == "start-pending" || svc->state == "stop-pending")
      error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    else if (svc->stopError)
      error = svc->stopError;
    else
      SetState(*svc, svc->stopMs == 0 && !svc->hang ? "stopped" : "stop-pending");
  } else if (dwControl == SERVICE_CONTROL_INTERROGATE) {
    if (svc->state == "stopped") error = ERROR_SERVICE_NOT_ACTIVE;
  } else {
    error = svc->state == "stopped" ? ERROR_SERVICE_NOT_ACTIVE : ERROR_INVALID_SERVICE_CONTROL;
  }
  // The status is filled in whether or not the service took the control.
  *lpServiceStatus = Report(*svc);
  return error ? Fail(error) : TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  if (DWORD error = Fault("QueryServiceStatus")) return Fail(error);
  // The record's address is looked at before the handle's rights.
  if (!ServiceOf(hService)) return FALSE;
  if (!lpServiceStatus) return Fail(ERROR_INVALID_ADDRESS);
  ServiceConfig *svc = ServiceFor(hService, SERVICE_QUERY_STATUS);
  if (!svc) return FALSE;
  *lpServiceStatus = Report(*svc);
  return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR *lpServiceArgVectors) {
  (void)lpServiceArgVectors;
  if (DWORD error = Fault("StartServiceA")) return Fail(error);
  ServiceConfig *svc = ServiceFor(hService, SERVICE_START);
  if (!svc) return FALSE;
  if (dwNumServiceArgs && !lpServiceArgVectors) return Fail(ERROR_INVALID_PARAMETER);

  ProgressAll();
  if (svc->state != "stopped") return Fail(ERROR_SERVICE_ALREADY_RUNNING);
  for (const std::string &name : svc->depends) {
    ServiceConfig *dep = FindService(name);
    if (!dep || !ServiceIsRunning(dep->name)) return Fail(ERROR_SERVICE_DEPENDENCY_FAIL);
  }
  if (svc->startError) return Fail(svc->startError);
  SetState(*svc, "start-pending");
  return TRUE;
}

}  // extern "C"
