// The service control manager, through the spooler service that every NT machine runs. Nothing
// here stops or starts a service: a start of a running service and a stop through a handle
// without the right fail before anything happens.
#include <cstring>
#include <functional>

#include "tests/conformance/conformance.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

// An open's outcome: "1 err=..." when a handle came back.
std::string Opened(SC_HANDLE handle) {
  return Outcome(handle != nullptr);
}

SC_HANDLE OpenSpooler(SC_HANDLE manager, DWORD access) {
  return OpenServiceA(manager, "Spooler", access);
}

}  // namespace

CONFORMANCE_AREA(services) {
  // The manager: the local one by a null or empty machine name, its active database by a null
  // name or by name. A successful open clears the last error.
  struct ManagerCase {
    const char *what, *machine, *database;
    DWORD access;
    const char *nt;
  } managers[] = {
      {"OpenSCManagerA(connect)", nullptr, nullptr, SC_MANAGER_CONNECT, "1 err=0"},
      {"OpenSCManagerA(no rights)", nullptr, nullptr, 0, "1 err=0"},
      {"OpenSCManagerA(empty machine)", "", nullptr, SC_MANAGER_CONNECT, "1 err=0"},
      {"OpenSCManagerA(ServicesActive)", nullptr, "ServicesActive", SC_MANAGER_CONNECT, "1 err=0"},
      {"OpenSCManagerA(generic all)", nullptr, nullptr, GENERIC_ALL, "1 err=0"},
      {"OpenSCManagerA(ServicesFailed)", nullptr, "ServicesFailed", SC_MANAGER_CONNECT,
       "0 err=1065"},
      {"OpenSCManagerA(unknown database)", nullptr, "DoesNotExist", SC_MANAGER_CONNECT,
       "0 err=123"},
  };
  for (const ManagerCase &c : managers) {
    ArmLastError();
    SC_HANDLE manager = OpenSCManagerA(c.machine, c.database, c.access);
    Check(c.what, Opened(manager), c.nt);
    if (manager) CloseServiceHandle(manager);
  }

  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) {
    Check("OpenSCManagerA", false, true);
    return;
  }

  // Opening a service: the name compares without regard to case; a null name is a bad address.
  struct OpenCase {
    const char *what;
    SC_HANDLE manager;
    const char *name;
    DWORD access;
    const char *nt;
  } opens[] = {
      {"OpenServiceA(no manager)", nullptr, nullptr, 0, "0 err=6"},
      {"OpenServiceA(null name)", manager, nullptr, GENERIC_READ, "0 err=487"},
      {"OpenServiceA(unknown)", manager, "NorvaleNoSuchService", GENERIC_READ, "0 err=1060"},
      {"OpenServiceA(any case)", manager, "sPOOLER", SERVICE_QUERY_STATUS, "1 err=untouched"},
  };
  for (const OpenCase &c : opens) {
    ArmLastError();
    SC_HANDLE service = OpenServiceA(c.manager, c.name, c.access);
    Check(c.what, Opened(service), c.nt);
    if (service) CloseServiceHandle(service);
  }

  // What a handle may do follows the rights it was opened with, the generic ones mapped to the
  // service's own: read gives query, interrogate and the dependents; execute gives start, stop
  // and pause. The spooler runs, so a start that is allowed fails with "already running".
  SERVICE_STATUS status;
  DWORD needed = 0, count = 0;
  const std::function<BOOL(SC_HANDLE)> query = [&](SC_HANDLE h) {
    return QueryServiceStatus(h, &status);
  };
  const std::function<BOOL(SC_HANDLE)> start = [](SC_HANDLE h) {
    return StartServiceA(h, 0, nullptr);
  };
  const std::function<BOOL(SC_HANDLE)> stop = [&](SC_HANDLE h) {
    return ControlService(h, SERVICE_CONTROL_STOP, &status);
  };
  const std::function<BOOL(SC_HANDLE)> dependents = [&](SC_HANDLE h) {
    return EnumDependentServicesA(h, SERVICE_ACTIVE, nullptr, 0, &needed, &count);
  };
  const std::function<BOOL(SC_HANDLE)> interrogate = [&](SC_HANDLE h) {
    return ControlService(h, SERVICE_CONTROL_INTERROGATE, &status);
  };
  struct RightsCase {
    const char *what;
    DWORD access;
    const std::function<BOOL(SC_HANDLE)> &call;
    const char *nt;
  } rights[] = {
      {"QueryServiceStatus(generic read)", GENERIC_READ, query, "1 err=untouched"},
      {"QueryServiceStatus(generic execute)", GENERIC_EXECUTE, query, "0 err=5"},
      {"QueryServiceStatus(read control)", STANDARD_RIGHTS_READ, query, "0 err=5"},
      {"StartServiceA(generic read)", GENERIC_READ, start, "0 err=5"},
      {"StartServiceA(generic execute, running)", GENERIC_EXECUTE, start, "0 err=1056"},
      {"ControlService(stop, generic read)", GENERIC_READ, stop, "0 err=5"},
      {"EnumDependentServicesA(generic execute)", GENERIC_EXECUTE, dependents, "0 err=5"},
      {"ControlService(interrogate, generic execute)", GENERIC_EXECUTE, interrogate, "0 err=5"},
  };
  for (const RightsCase &c : rights) {
    SC_HANDLE service = OpenSpooler(manager, c.access);
    if (!service) {
      Check(c.what, "open failed", c.nt);
      continue;
    }
    ArmLastError();
    BOOL ok = c.call(service);
    Check(c.what, Outcome(ok), c.nt);
    CloseServiceHandle(service);
  }

  SC_HANDLE spooler = OpenSpooler(manager, SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS);
  SC_HANDLE readOnly = OpenSpooler(manager, STANDARD_RIGHTS_READ);
  std::memset(&status, 0, sizeof status);

  // A running service's report.
  QueryServiceStatus(spooler, &status);
  Check("QueryServiceStatus.state", status.dwCurrentState, SERVICE_RUNNING);

  // Bad arguments: the handle is looked at first, then the record's address, then the rights.
  struct ArgCase {
    const char *what;
    std::function<BOOL()> call;
    const char *nt;
  } args[] = {
      {"QueryServiceStatus(no handle)", [&] { return query(nullptr); }, "0 err=6"},
      {"QueryServiceStatus(null record)", [&] { return QueryServiceStatus(readOnly, nullptr); },
       "0 err=487"},
      {"StartServiceA(no handle)", [&] { return start(nullptr); }, "0 err=6"},
      {"ControlService(no handle)", [&] { return interrogate(nullptr); }, "0 err=6"},
      {"EnumDependentServicesA(no state)",
       [&] { return EnumDependentServicesA(spooler, 0, nullptr, 0, &needed, &count); }, "0 err=87"},
      {"CloseServiceHandle(null)", [] { return CloseServiceHandle(nullptr); }, "0 err=6"},
  };
  for (const ArgCase &c : args) {
    ArmLastError();
    BOOL ok = c.call();
    Check(c.what, Outcome(ok), c.nt);
  }

  // The dependents' size rule: with no room, either there are none (success, none returned) or
  // the call fails with ERROR_MORE_DATA and the size it answers is enough for all of them.
  ArmLastError();
  BOOL none = EnumDependentServicesA(spooler, SERVICE_STATE_ALL, nullptr, 0, &needed, &count);
  bool sizeRule = false;
  if (none) {
    sizeRule = count == 0;
  } else if (GetLastError() == ERROR_MORE_DATA && needed >= sizeof(ENUM_SERVICE_STATUSA)) {
    std::string buffer(needed, '\0');
    DWORD again = 0;
    BOOL ok = EnumDependentServicesA(spooler, SERVICE_STATE_ALL,
                                     reinterpret_cast<LPENUM_SERVICE_STATUSA>(&buffer[0]), needed,
                                     &again, &count);
    sizeRule = ok && count >= 1 && count * sizeof(ENUM_SERVICE_STATUSA) <= needed;
  }
  Check("EnumDependentServicesA.size rule", sizeRule, true);

  // Closing a handle leaves the last error alone.
  ArmLastError();
  Check("CloseServiceHandle(service)", Outcome(CloseServiceHandle(spooler)), "1 err=untouched");
  if (readOnly) CloseServiceHandle(readOnly);
  ArmLastError();
  Check("CloseServiceHandle(manager)", Outcome(CloseServiceHandle(manager)), "1 err=untouched");
}
