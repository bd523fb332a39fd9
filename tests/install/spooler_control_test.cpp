// Stopping and starting the spooler with its dependents on small simulated machines: the order
// of the stops and starts, the waits as the transcript's sleep lines show them, the notes the
// user sees, and the states that the machine is left in.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/spooler_control.h"
#include "install/status_code.h"
#include "test_image.h"
#include "winsim/services.h"

using testing_support::TestImage;

namespace {

// A machine with the given services, opened with a transcript and an (empty) answer file so
// that message boxes are recorded rather than asked.
class Machine {
 public:
  explicit Machine(const std::string &services)
      : image_(testing_support::kDefaultMachine + services) {
    image_.WriteFile("answers.txt", "");
    image_.Open("", image_.HostPath("transcript.txt"), image_.HostPath("answers.txt"));
  }

  // The transcript lines since the last call.
  std::vector<std::string> Events() {
    std::string text = image_.ReadFile("transcript.txt");
    std::vector<std::string> lines;
    size_t start = read_;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(text.substr(start, nl - start));
    read_ = start;
    return lines;
  }

  std::string State(const std::string &service) {
    winsim::IniFile ini;
    int line;
    std::string message;
    EXPECT_TRUE(ini.Parse(image_.ReadFile("machine.ini"), true, &line, &message)) << message;
    const std::string *state = ini.Find("service " + service, "state");
    return state ? *state : "running";  // the default of a service
  }

 private:
  TestImage image_;
  size_t read_ = 0;
};

using Lines = std::vector<std::string>;

std::string Box(const std::string &text) {
  return "msgbox \"stopSpooler\" \"" + text + "\"";
}

std::vector<std::string> ListNames(LPVOID list) {
  std::vector<std::string> names;
  DWORD count;
  std::memcpy(&count, list, sizeof count);
  for (DWORD i = 0; i < count; ++i) {
    ENUM_SERVICE_STATUSA record;
    std::memcpy(&record, static_cast<char *>(list) + 4 + i * sizeof record, sizeof record);
    names.push_back(record.lpServiceName);
  }
  return names;
}

}  // namespace

TEST(SpoolerControl, StatusCodeIsJudgedByItsLowThreeBits) {
  EXPECT_TRUE(STATUS_CODE_SUCCEEDED(STATUS_CODE_SUCCESS));
  EXPECT_FALSE(STATUS_CODE_SUCCEEDED(STATUS_CODE_FAILURE));
  EXPECT_TRUE(STATUS_CODE_SUCCEEDED(1));
  EXPECT_TRUE(STATUS_CODE_SUCCEEDED(11));
  EXPECT_FALSE(STATUS_CODE_SUCCEEDED(0));
  EXPECT_FALSE(STATUS_CODE_SUCCEEDED(7));
  int calls = 0;
  EXPECT_FALSE(STATUS_CODE_SUCCEEDED((++calls, STATUS_CODE_FAILURE)));
  EXPECT_EQ(calls, 1) << "a call given to the test must run once";
}

TEST(SpoolerControl, WithoutActiveDependentsOnlyTheSpoolerStopsAndStarts) {
  Machine m(
      "[service Spooler]\n"
      "[service Fax]\nstate = stopped\ndepends = Spooler\n");
  LPVOID list = reinterpret_cast<LPVOID>(1);  // whatever the slot held before
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(m.Events(), Lines({"sleep 3000"}));
  EXPECT_EQ(m.State("Spooler"), "stopped");

  EXPECT_EQ(startSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(m.Events(), Lines({"sleep 3000"}));
  EXPECT_TRUE(winsim::ServiceIsRunning("Spooler"));
  EXPECT_EQ(m.State("Fax"), "stopped");
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);

  // With no slot at all, too, the spooler alone is started.
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(startSpooler(nullptr), STATUS_CODE_SUCCESS);
  EXPECT_NE(m.State("Spooler"), "stopped");
  EXPECT_EQ(m.State("Fax"), "stopped");
}

TEST(SpoolerControl, DependentsStopInListedOrderAndRestartInReverse) {
  // Each service's wait hint tells its sleeps apart. The second and third start requests fail:
  // which services stay stopped shows the restart order (a dependent started before the
  // spooler could not have started at all).
  Machine m(
      "[service Spooler]\nstop_ms = 2000\nwait_hint_ms = 2000\n"
      "[service D1]\ndepends = Spooler\nstop_ms = 1100\nwait_hint_ms = 1100\n"
      "[service D2]\ndepends = Spooler\nstop_ms = 1200\nwait_hint_ms = 1200\n"
      "[service D3]\ndepends = Spooler\nstop_ms = 1300\nwait_hint_ms = 1300\n"
      "[faults]\nStartServiceA#2 = 1069\nStartServiceA#3 = 1069\n");
  LPVOID list = nullptr;
  ASSERT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(m.Events(),
            Lines({"sleep 1100", "sleep 1200", "sleep 1300", "sleep 2000", "sleep 3000"}));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListNames(list), Lines({"D1", "D2", "D3"}));
  for (const char *svc : {"Spooler", "D1", "D2", "D3"}) EXPECT_EQ(m.State(svc), "stopped") << svc;

  // Dependents that cannot be restarted are not the spooler's failure.
  EXPECT_EQ(startSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(m.Events(), Lines({"sleep 3000"}));
  EXPECT_EQ(m.State("D3"), "stopped");
  EXPECT_EQ(m.State("D2"), "stopped");
  EXPECT_NE(m.State("Spooler"), "stopped");
  EXPECT_NE(m.State("D1"), "stopped");
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);

  freeSpoolerDependents(&list);
  EXPECT_EQ(list, nullptr);
  freeSpoolerDependents(&list);  // a second release is harmless
}

TEST(SpoolerControl, AFirstStatusWithoutWaitHintIsNotWaitedFor) {
  // The spooler reports stop-pending without a hint: it is not waited for, so the stop fails.
  Machine m("[service Spooler]\nstop_ms = 4000\nwait_hint_ms = 0\n");
  LPVOID list = nullptr;
  SetLastError(0);
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
  EXPECT_EQ(m.Events(), Lines({Box("Error stopping spooler\\nError = 0")}));
  EXPECT_EQ(m.State("Spooler"), "stop-pending");
}

TEST(SpoolerControl, ACheckpointThatStopsAdvancingEndsTheWait) {
  Machine spooler("[service Spooler]\nstop_ms = 100\nwait_hint_ms = 1500\nhang = yes\n");
  LPVOID list = nullptr;
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
  EXPECT_EQ(spooler.Events(), Lines({"sleep 1500", Box("Error stopping spooler\\nError = 0")}));
}

TEST(SpoolerControl, AHungDependentIsWaitedForOnceAndIgnored) {
  Machine m(
      "[service Spooler]\n"
      "[service Fax]\ndepends = Spooler\nstop_ms = 100\nwait_hint_ms = 700\nhang = yes\n");
  LPVOID list = nullptr;
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
  // The dependent is still stopping, so the spooler refuses the stop.
  EXPECT_EQ(m.Events(), Lines({"sleep 700", Box("Couldn't stop spooler\\nError = 1051")}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  EXPECT_EQ(m.State("Spooler"), "running");
  ASSERT_NE(list, nullptr);  // the list stays with the caller
  EXPECT_EQ(ListNames(list), Lines({"Fax"}));
  freeSpoolerDependents(&list);
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
}

TEST(SpoolerControl, DependentsStoppedForASpoolerThatRefusesAreStartedAgain) {
  Machine m(
      "[service Spooler]\n"
      "[service Fax]\ndepends = Spooler\n"
      "[service Net]\ndepends = Spooler\nstop_error = 1061\n");
  LPVOID list = nullptr;
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEPENDENT_SERVICES_RUNNING));
  EXPECT_EQ(m.State("Spooler"), "running");
  EXPECT_NE(m.State("Fax"), "stopped");
  EXPECT_EQ(m.State("Net"), "running");
  freeSpoolerDependents(&list);
}

TEST(SpoolerControl, DependentSleepsAreCappedTheSpoolersAreNot) {
  Machine m(
      "[service Spooler]\nstop_ms = 14000\nwait_hint_ms = 7000\n"
      "[service Fax]\ndepends = Spooler\nstop_ms = 9000\nwait_hint_ms = 9000\n"
      "[service Net]\ndepends = Spooler\nstop_ms = 4000\nwait_hint_ms = 5000\n");
  LPVOID list = nullptr;
  // Fax: polled after 5000 ms, still at its first checkpoint, so it is given up; it stops on
  // its own while Net is waited for. Net: stopped at its first poll.
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);
  EXPECT_EQ(m.Events(),
            Lines({"sleep 5000", "sleep 5000", "sleep 7000", "sleep 7000", "sleep 3000"}));
  freeSpoolerDependents(&list);
}

TEST(SpoolerControl, ASpoolerThatCannotStartStartsNoDependent) {
  Machine m(
      "[service Spooler]\nstart_error = 1069\n"
      "[service Fax]\ndepends = Spooler\n");
  LPVOID list = nullptr;
  ASSERT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);
  m.Events();
  EXPECT_EQ(startSpooler(&list), STATUS_CODE_FAILURE);
  EXPECT_EQ(GetLastError(), 1069u);  // what the failed start left, for the caller's report
  EXPECT_EQ(m.Events(), Lines());
  EXPECT_EQ(m.State("Spooler"), "stopped");
  EXPECT_EQ(m.State("Fax"), "stopped");
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
  freeSpoolerDependents(&list);
}

TEST(SpoolerControl, DependentsThatCannotBeReadOrCountedAreNotStopped) {
  {
    Machine m(
        "[service Spooler]\n[service Fax]\ndepends = Spooler\n"
        "[faults]\nEnumDependentServicesA#2 = 1055\n");
    LPVOID list = nullptr;
    EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
    EXPECT_EQ(m.Events(), Lines({Box("Couldn't get dependents\\nError = 1055"),
                                 Box("Couldn't stop spooler\\nError = 1051")}));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListNames(list), Lines());
    EXPECT_EQ(m.State("Fax"), "running");
    freeSpoolerDependents(&list);
  }
  {
    Machine m(
        "[service Spooler]\n[service Fax]\ndepends = Spooler\n"
        "[faults]\nEnumDependentServicesA = 5\n");
    LPVOID list = nullptr;
    EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
    EXPECT_EQ(m.Events(), Lines({Box("Couldn't check dependents\\nError = 5"),
                                 Box("Couldn't stop spooler\\nError = 1051")}));
    EXPECT_EQ(list, nullptr);
  }
  {
    Machine m(
        "[service Spooler]\n[service Fax]\ndepends = Spooler\n"
        "[faults]\nLocalAlloc = 8\n");
    LPVOID list = nullptr;
    EXPECT_EQ(stopSpooler(&list), STATUS_CODE_FAILURE);
    EXPECT_EQ(m.Events(), Lines({Box("Couldn't get dependents\\nError = 8"),
                                 Box("Couldn't stop spooler\\nError = 1051")}));
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(m.State("Fax"), "running");
  }
}

TEST(SpoolerControl, FailuresToOpenOrWithoutSlotReturnFailureSilently) {
  Machine m("[service Spooler]\n[faults]\nOpenSCManagerA#2 = 5\nOpenServiceA#2 = 5\n");
  EXPECT_EQ(stopSpooler(nullptr), STATUS_CODE_FAILURE);  // asks the service manager nothing
  LPVOID list = nullptr;
  EXPECT_EQ(stopSpooler(&list), STATUS_CODE_SUCCESS);   // OpenSCManagerA#1
  EXPECT_EQ(startSpooler(&list), STATUS_CODE_FAILURE);  // OpenSCManagerA#2 fails
  EXPECT_EQ(startSpooler(&list), STATUS_CODE_FAILURE);  // OpenServiceA#2 fails
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(m.State("Spooler"), "stopped");
  EXPECT_EQ(m.Events(), Lines({"sleep 3000"}));
  EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
}

TEST(SpoolerControl, IsSpoolerRunningCountsStartingAsRunning) {
  const struct {
    const char *state;
    int running;
  } cases[] = {
      {"running", 1}, {"start-pending", 1}, {"stop-pending", 0}, {"paused", 0}, {"stopped", 0}};
  for (const auto &c : cases) {
    Machine m(std::string("[service Spooler]\nstop_ms = 1000\nstate = ") + c.state + "\n");
    EXPECT_EQ(isSpoolerRunning(), c.running) << c.state;
    EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
  }
  {
    Machine m("[service Spooler]\n[faults]\nQueryServiceStatus = 6\n");
    EXPECT_EQ(isSpoolerRunning(), 0) << "failed query";
    EXPECT_EQ(winsim::OpenServiceHandleCount(), 0u);
  }
}
