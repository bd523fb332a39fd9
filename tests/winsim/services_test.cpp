// The service control manager, checked as documented Windows NT behaviour: handles and their
// rights, the refusals of stop and start requests, the dependents enumeration with its size
// rules, and how a stop progresses on the clock. Plus what the stand-in adds: the state kept in
// machine.ini and the monitor DLLs that a running spooler holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/services.h"

using testing_support::TestImage;

namespace {

std::string Machine(const std::string &services, const std::string &more = "") {
  return testing_support::kDefaultMachine + services + more;
}

// The state that machine.ini holds for a service, read from the file as it is on disk.
std::string StateOnDisk(const TestImage &image, const std::string &service) {
  winsim::IniFile ini;
  int line;
  std::string message;
  EXPECT_TRUE(ini.Parse(image.ReadFile("machine.ini"), true, &line, &message)) << message;
  const std::string *state = ini.Find("service " + service, "state");
  return state ? *state : "(none)";
}

struct Scm {
  SC_HANDLE manager = nullptr;
  Scm() { manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }
  ~Scm() {
    if (manager) CloseServiceHandle(manager);
  }
  SC_HANDLE Open(const char *name, DWORD rights = SERVICE_ALL_ACCESS) {
    return OpenServiceA(manager, name, rights);
  }
};

SERVICE_STATUS Query(SC_HANDLE service) {
  SERVICE_STATUS status;
  std::memset(&status, 0xEE, sizeof status);
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  return status;
}

// Reads a record that may lie at any address of the caller's buffer.
ENUM_SERVICE_STATUSA RecordAt(const char *buffer, size_t index) {
  ENUM_SERVICE_STATUSA record;
  std::memcpy(&record, buffer + index * sizeof record, sizeof record);
  return record;
}

}  // namespace

TEST(Services, StopRunsItsTimeWithAdvancingCheckpointAndIsKeptInTheImage) {
  TestImage image(
      Machine("[service Spooler]\nstate = running\nstop_ms = 2500\n"
              "wait_hint_ms = 1000\n"));
  image.Open();
  Scm scm;
  SC_HANDLE spooler = scm.Open("spooler");  // names compare without regard to case
  ASSERT_NE(spooler, nullptr);

  SERVICE_STATUS status;
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 1u);
  EXPECT_EQ(status.dwWaitHint, 1000u);
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "stop-pending");

  // A second stop request finds a service that cannot take it, and says where it is.
  std::memset(&status, 0, sizeof status);
  EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

  Sleep(999);
  EXPECT_EQ(Query(spooler).dwCheckPoint, 1u);
  Sleep(1);
  status = Query(spooler);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 2u);
  Sleep(1499);
  EXPECT_EQ(Query(spooler).dwCheckPoint, 3u);
  Sleep(1);
  status = Query(spooler);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwCheckPoint, 0u);
  EXPECT_EQ(status.dwWaitHint, 0u);
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "stopped");

  // A start is kept as well: start-pending for the first report, running after it.
  ASSERT_TRUE(StartServiceA(spooler, 0, nullptr));
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "start-pending");
  EXPECT_EQ(Query(spooler).dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(Query(spooler).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "running");

  // Services move on while the program waits, asked or not: the image holds where they are.
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  Sleep(2500);
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "stopped");
  ASSERT_TRUE(StartServiceA(spooler, 0, nullptr));
  Sleep(1);
  EXPECT_EQ(StateOnDisk(image, "Spooler"), "running");
  CloseServiceHandle(spooler);
}

TEST(Services, AStopAskedForInOneRunEndsInItsTimeBeforeTheNext) {
  // Real time between the runs (ms), and where the stop of 2500 ms begun 1000 ms before the end
  // of the first run is when the next run opens the image.
  struct Case {
    uint64_t between;
    DWORD state;
  } cases[] = {{0, SERVICE_STOP_PENDING}, {1400, SERVICE_STOP_PENDING}, {1500, SERVICE_STOPPED}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.between);
    TestImage image(Machine("[service Spooler]\nstate = running\nstop_ms = 2500\n"));
    image.Open();
    Sleep(300);
    {
      Scm scm;
      SC_HANDLE spooler = scm.Open("Spooler");
      SERVICE_STATUS status;
      ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
      CloseServiceHandle(spooler);
    }
    Sleep(1000);
    ASSERT_TRUE(winsim::SaveMachineIni());  // as the end of the process does
    winsim::CloseMachine();

    // The host's clock moved on by `between` since the save.
    winsim::IniFile ini;
    int line;
    std::string message;
    ASSERT_TRUE(ini.Parse(image.ReadFile("machine.ini"), true, &line, &message)) << message;
    EXPECT_EQ(*ini.Find("system", "clock"), "1300");
    ini.Set("system", "clock_saved",
            std::to_string(std::stoull(*ini.Find("system", "clock_saved")) - c.between));
    image.WriteFile("machine.ini", ini.Text());
    image.Open();
    EXPECT_GE(GetTickCount(), 1300 + c.between);
    Scm scm;
    SC_HANDLE spooler = scm.Open("Spooler");
    EXPECT_EQ(Query(spooler).dwCurrentState, c.state);
    CloseServiceHandle(spooler);
  }
}

TEST(Services, StopAndStartRefusals) {
  TestImage image(
      Machine("[service Spooler]\nstate = running\n"
              "[service Fax]\nstate = running\ndepends = Spooler\n"
              "[service Idle]\nstate = stopped\n"
              "[service Needy]\nstate = stopped\ndepends = Idle\n"
              "[service Stubborn]\nstate = running\nstop_error = 1053\n"
              "[service Broken]\nstate = stopped\nstart_error = 1069\n"));
  image.Open();
  Scm scm;
  SERVICE_STATUS status;

  SC_HANDLE spooler = scm.Open("Spooler");
  std::memset(&status, 0, sizeof status);
  EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_FALSE(StartServiceA(spooler, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

  SC_HANDLE idle = scm.Open("Idle");
  std::memset(&status, 0, sizeof status);
  EXPECT_FALSE(ControlService(idle, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

  SC_HANDLE needy = scm.Open("Needy");
  EXPECT_FALSE(StartServiceA(needy, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL));
  EXPECT_EQ(Query(needy).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  // Once the dependency is starting, the dependent may start too.
  ASSERT_TRUE(StartServiceA(idle, 0, nullptr));
  EXPECT_TRUE(StartServiceA(needy, 0, nullptr));

  SC_HANDLE stubborn = scm.Open("Stubborn");
  EXPECT_FALSE(ControlService(stubborn, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), 1053u);
  EXPECT_EQ(Query(stubborn).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  SC_HANDLE broken = scm.Open("Broken");
  EXPECT_FALSE(StartServiceA(broken, 0, nullptr));
  EXPECT_EQ(GetLastError(), 1069u);
  EXPECT_EQ(Query(broken).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(StateOnDisk(image, "Broken"), "stopped");

  // With its dependent gone, the spooler stops; stop_ms 0 means at once.
  SC_HANDLE fax = scm.Open("Fax");
  ASSERT_TRUE(ControlService(fax, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(StartServiceA(fax, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DEPENDENCY_FAIL));

  for (SC_HANDLE h : {spooler, idle, needy, stubborn, broken, fax})
    EXPECT_TRUE(CloseServiceHandle(h));
}

TEST(Services, HandlesAndAccessRights) {
  TestImage image(Machine("[service Spooler]\nstate = running\n"));
  image.Open();
  Scm scm;
  ASSERT_NE(scm.manager, nullptr);

  EXPECT_EQ(scm.Open("NoSuchService"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

  SC_HANDLE query = scm.Open("Spooler", SERVICE_QUERY_STATUS);
  ASSERT_NE(query, nullptr);
  SERVICE_STATUS status;
  EXPECT_FALSE(ControlService(query, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(StartServiceA(query, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumDependentServicesA(query, SERVICE_ACTIVE, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Query(query).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  SC_HANDLE stopOnly = scm.Open("Spooler", SERVICE_STOP | SERVICE_START);
  EXPECT_FALSE(QueryServiceStatus(stopOnly, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // A manager handle is not a service handle, and a closed handle is gone.
  EXPECT_FALSE(QueryServiceStatus(reinterpret_cast<SC_HANDLE>(scm.manager), &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseServiceHandle(query));
  EXPECT_FALSE(QueryServiceStatus(query, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseServiceHandle(query));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseServiceHandle(stopOnly));
}

TEST(Services, WithoutAdministratorRightsOnlyQueriesAreGranted) {
  TestImage image(Machine("[service Spooler]\n", "[token]\nadministrators = deny-only\n"));
  image.Open();
  EXPECT_EQ(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(OpenServiceA(manager, "Spooler", SERVICE_STOP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE spooler = OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS);
  EXPECT_NE(spooler, nullptr);
  CloseServiceHandle(spooler);
  // Generic rights stand for the object's specific ones: reading is granted, the rest is not.
  struct {
    bool service;
    DWORD access;
    bool granted;
  } generic[] = {{false, GENERIC_READ, true},    {false, GENERIC_EXECUTE, false},
                 {false, GENERIC_ALL, false},    {true, GENERIC_READ, true},
                 {true, GENERIC_EXECUTE, false}, {true, GENERIC_WRITE, false}};
  for (const auto &c : generic) {
    SC_HANDLE h = c.service ? OpenServiceA(manager, "Spooler", c.access)
                            : OpenSCManagerA(nullptr, nullptr, c.access);
    EXPECT_EQ(h != nullptr, c.granted) << c.service << " " << std::hex << c.access;
    if (h) CloseServiceHandle(h);
  }
  CloseServiceHandle(manager);
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
}

TEST(Services, DependentsAreListedActiveOnlyInStopOrderWithTheirSizeRules) {
  // Chain: Net depends on Spooler; Fax on Net; Scan (stopped) and Mail on Spooler.
  TestImage image(
      Machine("[service Fax]\ndepends = Net\n"
              "[service Spooler]\n"
              "[service Net]\ndepends = Spooler\n"
              "[service Scan]\nstate = stopped\ndepends = Spooler\n"
              "[service Mail]\nstate = paused\ndepends = Spooler\n"
              "[service Lonely]\n"));
  image.Open();
  Scm scm;
  SC_HANDLE spooler = scm.Open("Spooler");

  DWORD needed = 0, count = 99;
  EXPECT_FALSE(EnumDependentServicesA(spooler, SERVICE_ACTIVE, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  const size_t strings = 2 * (sizeof "Fax" + sizeof "Net" + sizeof "Mail");
  EXPECT_EQ(needed, 3 * sizeof(ENUM_SERVICE_STATUSA) + strings);

  std::vector<char> block(needed + 4 + 16, '\x7F');
  DWORD again = 0;
  EXPECT_FALSE(EnumDependentServicesA(spooler, SERVICE_ACTIVE,
                                      reinterpret_cast<LPENUM_SERVICE_STATUSA>(block.data() + 4),
                                      needed - 1, &again, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(again, needed);

  // An exact buffer 4 bytes into a block, as the setup passes it.
  char *array = block.data() + 4;
  ASSERT_TRUE(EnumDependentServicesA(spooler, SERVICE_ACTIVE,
                                     reinterpret_cast<LPENUM_SERVICE_STATUSA>(array), needed,
                                     &again, &count));
  ASSERT_EQ(count, 3u);
  const char *expected[] = {"Fax", "Net", "Mail"};
  for (size_t i = 0; i < 3; ++i) {
    ENUM_SERVICE_STATUSA record = RecordAt(array, i);
    EXPECT_STREQ(record.lpServiceName, expected[i]);
    EXPECT_STREQ(record.lpDisplayName, expected[i]);
    EXPECT_GE(record.lpServiceName, array);
    EXPECT_LT(record.lpDisplayName, array + needed);
  }
  EXPECT_EQ(RecordAt(array, 2).ServiceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_PAUSED));
  for (size_t i = needed + 4; i < block.size(); ++i) ASSERT_EQ(block[i], '\x7F') << "byte " << i;

  // No active dependents: a call with size 0 succeeds.
  SC_HANDLE lonely = scm.Open("Lonely");
  EXPECT_TRUE(EnumDependentServicesA(lonely, SERVICE_ACTIVE, nullptr, 0, &needed, &count));
  EXPECT_EQ(count, 0u);
  CloseServiceHandle(lonely);
  CloseServiceHandle(spooler);
}

TEST(Services, RunningSpoolerHoldsTheRegisteredMonitorDlls) {
  std::string reg = std::string(testing_support::kMinimalRegistry) +
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
                    "Norvale Network Port]\r\n\"Driver\"=\"ZELPSMON.DLL\"\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
                    "Ghost Port]\r\n\"Driver\"=\"ghost.dll\"\r\n\r\n";
  TestImage image(
      Machine("[service Spooler]\nstop_ms = 1000\nwait_hint_ms = 500\n",
              "[faults]\nRegOpenKeyExA = 5\n[deny]\nkey = HKEY_LOCAL_MACHINE\\SYSTEM\n"),
      reg);
  image.WriteFile("drive_c/WINNT35/system32/zelpsmon.dll", "old monitor");
  image.WriteFile("drive_c/WINNT35/system32/localmon.dll", "local monitor");
  image.Open();
  auto host = [](const char *windowsPath) {
    std::string path;
    uint32_t error;
    EXPECT_TRUE(winsim::ResolvePath(windowsPath, &path, &error));
    return path;
  };
  std::string zelps = host("C:\\WINNT35\\system32\\zelpsmon.dll");
  std::string localmon = host("C:\\WINNT35\\system32\\localmon.dll");
  // The spooler reads its own key: neither the setup's faults nor its [deny] rules reach it.
  EXPECT_TRUE(winsim::IsFileLoaded(zelps));
  EXPECT_TRUE(winsim::IsFileLoaded(localmon));
  EXPECT_FALSE(winsim::IsFileLoaded(host("C:\\WINNT35\\system32\\ghost.dll")));
  EXPECT_TRUE(winsim::ServiceIsRunning("Spooler"));

  Scm scm;
  SC_HANDLE spooler = scm.Open("Spooler");
  SERVICE_STATUS status;
  ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
  EXPECT_TRUE(winsim::IsFileLoaded(zelps)) << "a stopping spooler still holds its monitors";
  EXPECT_FALSE(winsim::ServiceIsRunning("Spooler"));
  // A loaded DLL can be renamed; the spooler keeps it under its new name until it stops.
  ASSERT_TRUE(MoveFileA("C:\\WINNT35\\system32\\localmon.dll", "C:\\WINNT35\\system32\\lm.old"));
  EXPECT_TRUE(winsim::IsFileLoaded(host("C:\\WINNT35\\system32\\lm.old")));
  Sleep(1000);
  EXPECT_EQ(Query(spooler).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_FALSE(winsim::IsFileLoaded(zelps));
  EXPECT_FALSE(winsim::IsFileLoaded(host("C:\\WINNT35\\system32\\lm.old")));
  EXPECT_TRUE(DeleteFileA("C:\\WINNT35\\system32\\zelpsmon.dll"));

  image.WriteFile("drive_c/WINNT35/system32/zelpsmon.dll", "new monitor");
  ASSERT_TRUE(StartServiceA(spooler, 0, nullptr));
  EXPECT_TRUE(winsim::IsFileLoaded(zelps));
  EXPECT_FALSE(DeleteFileA("C:\\WINNT35\\system32\\zelpsmon.dll"));
  EXPECT_TRUE(winsim::ServiceIsRunning("Spooler"));
  CloseServiceHandle(spooler);
}
