// Applying a restart to an image: the moves kept for it, in order and as NT does them, the
// restart flag, the services after the boot; and how show lists what is pending.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_image.h"
#include "tools/image_restart.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

using image_tool::ApplyRestart;
using image_tool::PendingRename;
using image_tool::RestartOutcome;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TestImage;

namespace {

const std::string kTool = std::string(NORVALE_BIN_DIR) + "/winsim-image";
const char kSessionManager[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

const char kNt31Machine[] =
    "[system]\n"
    "version = 3.10.528\n"
    "windows = C:\\WINNT\n"
    "system = C:\\WINNT\\system32\n"
    "temp = C:\\TEMP\n"
    "restart = no\n"
    "[drives]\n"
    "C = drive_c\n"
    "D = drive_d\n"
    "[service Spooler]\n"
    "state = running\n";

const char kMonitorRegistry[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
    "Norvale Network Port]\r\n"
    "\"Driver\"=\"zelpsmon.dll\"\r\n\r\n";

template <size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string Log(const std::vector<std::string> &log) {
  std::string text;
  for (const std::string &line : log) text += line + "\n";
  return text;
}

bool Pending(const TestImage &image) {
  winsim::OpenOptions options;
  options.imageDir = image.Dir();
  winsim::ImageError error;
  EXPECT_TRUE(winsim::OpenMachine(options, &error)) << error.Text();
  uint32_t type;
  std::string data;
  bool pending = winsim::GetRegistryValue(*winsim::M().registry, kSessionManager,
                                          "PendingFileRenameOperations", &type, &data);
  winsim::CloseMachine();
  return pending;
}

TEST(ApplyRestart, OldMonitorDllLoadedByTheSpoolerIsDeletedAtTheRestart) {
  TestImage image(kNt31Machine, kMonitorRegistry);
  image.WriteFile("drive_c/WINNT/system32/zelpsmon.dll", "MZ old monitor");
  std::filesystem::create_directories(image.HostPath("drive_d"));
  image.Open();
  ASSERT_TRUE(winsim::ServiceIsRunning("Spooler"));
  // What an upgrade does while the spooler holds the DLL: it cannot be deleted, only moved
  // aside, and the moved file is deleted at the restart.
  const char *dll = "C:\\WINNT\\system32\\zelpsmon.dll";
  const char *old = "C:\\WINNT\\system32\\zelpsmon.old";
  EXPECT_FALSE(DeleteFileA(dll));
  ASSERT_TRUE(MoveFileExA(dll, old, MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(DeleteFileA(old)) << "the mark follows the moved file";
  ASSERT_TRUE(MoveFileExA(old, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  winsim::SetMachineValue("system", "restart", "yes");
  winsim::CloseMachine();

  RunResult show = RunProgram({kTool, "show", image.Dir()}, {});
  EXPECT_NE(show.out.find("Restart requested: yes"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("At the next restart (PendingFileRenameOperations)\n"
                          "  delete C:\\WINNT\\system32\\zelpsmon.old\n"),
            std::string::npos)
      << show.out;

  RunResult run = RunProgram({kTool, "apply-restart", image.Dir()}, {});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("deleted C:\\WINNT\\system32\\zelpsmon.old"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("service Spooler: running before and after"), std::string::npos)
      << run.out;
  EXPECT_FALSE(image.Exists("drive_c/WINNT/system32/zelpsmon.old"));
  EXPECT_FALSE(Pending(image));

  image.Open();
  EXPECT_FALSE(winsim::M().restart);
  EXPECT_EQ(winsim::M().services[0].state, "running");
  winsim::CloseMachine();
  show = RunProgram({kTool, "show", image.Dir()}, {});
  EXPECT_NE(show.out.find("Restart requested: no"), std::string::npos) << show.out;
  EXPECT_EQ(show.out.find("At the next restart"), std::string::npos) << show.out;
}

TEST(ApplyRestart, MovesRunInOrderAndSkipWhatCannotBeDone) {
  std::string machine = kNt31Machine;
  machine.replace(machine.find("D = drive_d\n"), 12, "D = drive_d\nA = floppy\n");
  TestImage image(machine, kMonitorRegistry);
  image.WriteFile("floppy/old.inf", "on drive A:");
  for (const char *name :
       {"keep.txt", "taken.txt", "repl.txt", "target.txt", "first.txt", "ro.txt", "cross.txt"})
    image.WriteFile(std::string("drive_c/") + name, std::string("was ") + name);
  std::filesystem::create_directories(image.HostPath("drive_c/NEWDIR"));
  std::filesystem::create_directories(image.HostPath("drive_c/full/sub"));
  std::filesystem::create_directories(image.HostPath("drive_c/empty"));
  std::filesystem::create_directories(image.HostPath("drive_d"));
  image.Open();
  struct Move {
    const char *from, *to;
    DWORD flags;
  } moves[] = {
      {"C:\\keep.txt", "C:\\taken.txt", 0},                           // target exists
      {"C:\\repl.txt", "C:\\TARGET.TXT", MOVEFILE_REPLACE_EXISTING},  // may replace
      {"C:\\missing.txt", "C:\\nowhere.txt", 0},                      // no source
      {"C:\\missing.txt", nullptr, 0},                                // no source to delete
      {"C:\\first.txt", "C:\\newdir\\Second.TXT", 0},                 // new name keeps case
      {"C:\\newdir\\second.txt", nullptr, 0},                         // then deleted
      {"C:\\cross.txt", "D:\\cross.txt", 0},                          // no move across drives
      {"C:\\full", nullptr, 0},                                       // not empty
      {"C:\\empty", nullptr, 0},                                      // empty directory
      {"A:\\old.inf", nullptr, 0},  // a drive A: of the machine, not the tool's directory
  };
  for (const Move &m : moves)
    ASSERT_TRUE(MoveFileExA(m.from, m.to, m.flags | MOVEFILE_DELAY_UNTIL_REBOOT)) << m.from;
  winsim::CloseMachine();

  std::vector<std::string> log;
  std::string error;
  ASSERT_EQ(ApplyRestart(image.Dir(), &log, &error), RestartOutcome::Done) << error;
  std::string text = Log(log);
  const char *lines[] = {
      "skipped rename C:\\keep.txt to C:\\taken.txt: C:\\taken.txt exists and may not be "
      "replaced\n",
      "renamed C:\\repl.txt to C:\\target.txt, replacing the file there\n",
      "skipped rename C:\\missing.txt to C:\\nowhere.txt: C:\\missing.txt does not exist\n",
      "skipped delete C:\\missing.txt: C:\\missing.txt does not exist\n",
      "renamed C:\\first.txt to C:\\NEWDIR\\Second.TXT\n",
      "deleted C:\\NEWDIR\\Second.TXT\n",
      "skipped rename C:\\cross.txt to D:\\cross.txt: D:\\cross.txt is on another drive",
      "skipped delete C:\\full: C:\\full is a directory that is not empty\n",
      "deleted C:\\empty\n",
      "deleted A:\\old.inf\n",
      "removed PendingFileRenameOperations\n",
  };
  size_t at = 0;
  for (const char *line : lines) {
    size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << "in order: " << line << "\n" << text;
    at = found;
  }
  EXPECT_EQ(image.ReadFile("drive_c/keep.txt"), "was keep.txt");
  EXPECT_EQ(image.ReadFile("drive_c/taken.txt"), "was taken.txt");
  EXPECT_FALSE(image.Exists("drive_c/repl.txt"));
  EXPECT_EQ(image.ReadFile("drive_c/target.txt"), "was repl.txt") << "stored name kept";
  EXPECT_FALSE(image.Exists("drive_c/first.txt"));
  EXPECT_TRUE(std::filesystem::is_empty(image.HostPath("drive_c/NEWDIR")));
  EXPECT_EQ(image.ReadFile("drive_c/cross.txt"), "was cross.txt");
  EXPECT_TRUE(image.Exists("drive_c/full/sub"));
  EXPECT_FALSE(image.Exists("drive_c/empty"));
  EXPECT_FALSE(Pending(image));

  // A second boot has nothing left to do.
  log.clear();
  ASSERT_EQ(ApplyRestart(image.Dir(), &log, &error), RestartOutcome::Done) << error;
  EXPECT_NE(Log(log).find("no file operations were pending"), std::string::npos);
}

TEST(ApplyRestart, RestartFlagClearedAndServicesRunAsAfterABoot) {
  TestImage image(
      "[system]\n"
      "version = 3.50.807\n"
      "restart = yes\n"
      "; kept as written\n"
      "[service Spooler]\n"
      "state = stopped\n"
      "stop_ms = 3000\n"
      "[service LPDSVC]\n"
      "state = stopped\n"
      "depends = Spooler\n"
      "[service Was paused]\n"
      "state = paused\n"
      "[service Manual]\n"
      "state = stopped\n"
      "[service Needed]\n"
      "state = stopped\n"
      "[service Needs]\n"
      "state = running\n"
      "depends = Needed\n"
      "[service Broken]\n"
      "state = running\n"
      "start_error = 1058\n"
      "[service Relies]\n"
      "state = stop-pending\n"
      "depends = Broken\n");
  std::vector<std::string> log;
  std::string error;
  ASSERT_EQ(ApplyRestart(image.Dir(), &log, &error), RestartOutcome::Done) << error;
  std::string text = Log(log);
  EXPECT_NE(text.find("restart done: restart = no"), std::string::npos) << text;
  EXPECT_NE(text.find("service Broken: running before, stopped after (its start fails with "
                      "error 1058)"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("service Relies: stop-pending before, stopped after (it depends on "
                      "Broken, which did not start)"),
            std::string::npos)
      << text;

  image.Open();
  EXPECT_FALSE(winsim::M().restart);
  std::vector<std::pair<std::string, std::string>> states;
  for (const winsim::ServiceConfig &svc : winsim::M().services)
    states.emplace_back(svc.name, svc.state);
  EXPECT_EQ(states, (std::vector<std::pair<std::string, std::string>>{
                        {"Spooler", "running"},     // NT starts it at every boot
                        {"LPDSVC", "stopped"},      // stopped before, not needed
                        {"Was paused", "running"},  // a boot does not pause
                        {"Manual", "stopped"},
                        {"Needed", "running"},  // a starting service's dependency
                        {"Needs", "running"},
                        {"Broken", "stopped"},
                        {"Relies", "stopped"}}));
  EXPECT_EQ(winsim::M().services[0].stopMs, 3000u) << "behaviour kept";
  winsim::CloseMachine();
  EXPECT_NE(image.ReadFile("machine.ini").find("; kept as written\n"), std::string::npos);
}

TEST(ApplyRestart, RefusedOnABadImageOrWhileASetupRuns) {
  TestImage bad("[system]\nrestart = maybe\n");
  RunResult run = RunProgram({kTool, "apply-restart", bad.Dir()}, {});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("machine.ini:2: restart must be yes or no"), std::string::npos) << run.err;
  EXPECT_EQ(RunProgram({kTool, "apply-restart", bad.Dir() + "/none"}, {}).status, 2);

  TestImage image("[system]\nrestart = yes\n");
  image.WriteFile("setup.lock", "");
  int fd = ::open(image.HostPath("setup.lock").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  run = RunProgram({kTool, "apply-restart", image.Dir()}, {});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a setup is running on this machine"), std::string::npos) << run.err;
  EXPECT_NE(image.ReadFile("machine.ini").find("restart = yes"), std::string::npos);
  ::close(fd);
  EXPECT_EQ(RunProgram({kTool, "apply-restart", image.Dir()}, {}).status, 0);
  EXPECT_NE(image.ReadFile("machine.ini").find("restart = no"), std::string::npos);
}

TEST(PendingRenames, ReadAsNtReadsThem) {
  struct Case {
    std::string data;
    std::vector<PendingRename> ops;
    const char *note;
  } cases[] = {
      {Bytes("\\??\\C:\\a\0!\\??\\C:\\b\0\\??\\C:\\c\0\0\0"),
       {{"C:\\a", "C:\\b", true}, {"C:\\c", "", false}},
       ""},
      // Written without the object prefix, and without the list's closing NUL.
      {Bytes("C:\\a\0C:\\b\0"), {{"C:\\a", "C:\\b", false}}, ""},
      {Bytes("C:\\a\0\0"), {{"C:\\a", "", false}}, ""},
      {Bytes("C:\\a\0"), {}, "the last name, C:\\a, has no target"},
      {Bytes("C:\\a\0C:\\b\0\0C:\\x\0\0C:\\y\0\0"),
       {{"C:\\a", "C:\\b", false}},
       "2 name(s) after it were not read"},
      {"", {}, ""},
  };
  for (const Case &c : cases) {
    std::string note;
    std::vector<PendingRename> ops = image_tool::ParsePendingRenames(c.data, &note);
    ASSERT_EQ(ops.size(), c.ops.size()) << c.data;
    for (size_t i = 0; i < ops.size(); ++i) {
      EXPECT_EQ(ops[i].from, c.ops[i].from);
      EXPECT_EQ(ops[i].to, c.ops[i].to);
      EXPECT_EQ(ops[i].replace, c.ops[i].replace);
    }
    EXPECT_NE(note.find(c.note), std::string::npos) << note;
    if (!*c.note) {
      EXPECT_EQ(note, "");
    }
  }
}

}  // namespace
