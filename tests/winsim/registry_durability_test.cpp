// A process killed in the middle of a run of registry changes leaves an image that loads and
// holds every change whose call had returned: each change is on disk, whole, before the call
// that made it returns.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/registry_store.h"

using testing_support::TestImage;

namespace {

// A registry of a few thousand keys, so that each save takes long enough to be killed in.
std::string BigRegistry() {
  std::string text = "REGEDIT4\r\n\r\n";
  for (int i = 0; i < 2000; ++i)
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Filler\\Key" + std::to_string(i) +
            "]\r\n\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f\r\n\r\n";
  return text;
}

// Runs the writer on the image, kills it once it has reported `killAfter` changes, and answers
// every change it reported.
std::vector<int> RunAndKill(const std::string &imageDir, int killAfter) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    const char *program = NORVALE_BIN_DIR "/helper_registry_writer";
    execl(program, program, imageDir.c_str(), "1000000", static_cast<char *>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::vector<int> reported;
  std::string pending;
  bool killed = false;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      if (line != "ready") reported.push_back(std::stoi(line));
    }
    if (!killed && static_cast<int>(reported.size()) >= killAfter) {
      kill(pid, SIGKILL);
      killed = true;  // read on: what it wrote before it died still counts
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      << "the writer was not killed; exit status " << status;
  return reported;
}

TEST(RegistryDurability, AKilledWriterLeavesEveryReportedChangeOnDisk) {
  for (int killAfter : {1, 40, 157}) {
    TestImage image("", BigRegistry());
    std::vector<int> reported = RunAndKill(image.Dir(), killAfter);
    ASSERT_GE(static_cast<int>(reported.size()), killAfter);
    const int done = static_cast<int>(reported.size());  // changes 0 .. done-1 returned
    for (int i = 0; i < done; ++i) ASSERT_EQ(reported[static_cast<size_t>(i)], i);

    winsim::ImageError error;
    ASSERT_TRUE(image.TryOpen(&error)) << error.Text();
    const winsim::RegistryStore &store = *winsim::M().registry;
    const std::string run = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Run";
    for (int i = 0; i < done; ++i) {
      std::string n = std::to_string(i);
      if (i % 3 == 0) {
        // Deleted by change i + 2 if that returned; either way if it was under way.
        winsim::RegKey *key = winsim::FindRegistryKey(store, run + "\\K" + n);
        if (i + 2 < done) {
          EXPECT_EQ(key, nullptr) << "K" << n << " after " << done << " changes";
        } else if (i + 2 > done) {
          uint32_t type = 0;
          std::string data;
          ASSERT_TRUE(winsim::GetRegistryValue(store, run + "\\K" + n, "n", &type, &data))
              << "K" << n << " after " << done << " changes";
          EXPECT_EQ(data, std::string(reinterpret_cast<const char *>(&i), 4));
        }
      } else if (i % 3 == 1) {
        std::string data;
        ASSERT_TRUE(winsim::GetRegistryValue(store, run, "V" + n, nullptr, &data)) << "V" << n;
        EXPECT_EQ(data, n + std::string(1, '\0'));
      }
    }
    EXPECT_NE(winsim::FindRegistryKey(store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Filler\\Key1999"),
              nullptr);
    winsim::CloseMachine();
  }
}

}  // namespace
