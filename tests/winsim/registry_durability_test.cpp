// A process killed in the middle of a run of registry changes leaves an image that loads and
// holds every change whose call had returned: each change is on disk, whole, before the call
// that made it returns. Each is one record of the registry's log, which loading replays and the
// machine's end folds into system.reg.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <functional>
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

// ---- The log ---------------------------------------------------------------------------------

namespace {

using testing_support::ReadHostFile;
using testing_support::RunProgram;

const std::string kNorvale = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale";

size_t LogRecords(const TestImage &image) {
  if (!image.Exists("system.log")) return 0;
  std::string log = image.ReadFile("system.log");
  size_t lines = static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
  return lines ? lines - 1 : 0;  // the first line names the system.reg it continues
}

// The registry as memory holds it and as the disk holds it, in the same text.
std::string Live() {
  return winsim::FormatRegistry(*winsim::M().registry);
}

LONG SetSz(HKEY key, const char *name, const std::string &text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

// Two changes on the open machine: SOFTWARE\Norvale made, its Driver value set.
void SetDriver() {
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", &key), ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "Driver", "zelpsmon.dll"), ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace

TEST(RegistryLog, EachChangeIsOneRecordThatReplaysToWhatMemoryHolds) {
  TestImage image;
  image.Open();
  winsim::M().privilegesEnabled = {"SEBACKUPPRIVILEGE", "SERESTOREPRIVILEGE"};
  const std::string registryFile = image.ReadFile("system.reg");
  HKEY key = nullptr, sub = nullptr, vol = nullptr;
  struct Step {
    const char *what;
    std::function<LONG()> call;
    size_t records;
  } steps[] = {
      {"create a key and the one above it",
       [&] { return RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Ports", &key); }, 1},
      {"open an existing key", [&] { return RegCreateKeyA(key, "", &sub); }, 0},
      {"set a value", [&] { return SetSz(key, "Address", "192.0.2.1 with % and @"); }, 1},
      {"set it to what it holds", [&] { return SetSz(key, "ADDRESS", "192.0.2.1 with % and @"); },
       0},
      {"set it to other data", [&] { return SetSz(key, "Address", "192.0.2.2"); }, 1},
      {"set the default value of a new key",
       [&] { return RegSetValueA(key, "LPT1", REG_SZ, "line\r\nbreak", 0); }, 1},
      {"delete a value", [&] { return RegDeleteValueA(key, "address"); }, 1},
      {"create a key with a class",
       [&] {
         HKEY k = nullptr;
         LONG rc = RegCreateKeyExA(key, "Classy", 0, const_cast<char *>("Port \"class\""), 0,
                                   KEY_ALL_ACCESS, nullptr, &k, nullptr);
         RegCloseKey(k);
         return rc;
       },
       1},
      {"save the tree", [&] { return RegSaveKeyA(key, "C:\\ports.reg", nullptr); }, 0},
      {"delete a key", [&] { return RegDeleteKeyA(key, "LPT1"); }, 1},
      {"restore the tree", [&] { return RegRestoreKeyA(key, "C:\\ports.reg", 0); }, 1},
      {"create a volatile key",
       [&] {
         return RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Volatile", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol, nullptr);
       },
       0},
      {"set a value of the volatile key", [&] { return SetSz(vol, "x", "y"); }, 0},
  };
  size_t records = 0;
  for (const Step &step : steps) {
    SCOPED_TRACE(step.what);
    ASSERT_EQ(step.call(), ERROR_SUCCESS);
    records += step.records;
    EXPECT_EQ(LogRecords(image), records);
    EXPECT_EQ(image.ReadFile("system.reg"), registryFile) << "system.reg waits for the fold";
    auto disk = image.Registry();
    ASSERT_TRUE(disk);
    EXPECT_EQ(winsim::FormatRegistry(*disk), Live());
  }
  const std::string live = Live();
  winsim::CloseMachine();
  EXPECT_FALSE(image.Exists("system.log"));
  EXPECT_EQ(image.ReadFile("system.reg"), live);
}

TEST(RegistryLog, AChangeWritesBytesOfItsOwnSizeWhateverTheRegistrysSize) {
  std::vector<size_t> grown;
  for (const std::string &registry :
       {std::string(testing_support::kMinimalRegistry), BigRegistry()}) {
    TestImage image("", registry);
    image.Open();
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", &key), ERROR_SUCCESS);
    size_t before = image.ReadFile("system.log").size();
    ASSERT_EQ(SetSz(key, "Driver", "zelpsmon.dll"), ERROR_SUCCESS);
    grown.push_back(image.ReadFile("system.log").size() - before);
    RegCloseKey(key);
    winsim::CloseMachine();
  }
  EXPECT_EQ(grown[0], grown[1]);
  EXPECT_LT(grown[0], 100u);
}

TEST(RegistryLog, ALogThatOutgrowsTheRegistryIsFolded) {
  TestImage image;
  image.Open();
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", &key), ERROR_SUCCESS);
  const std::string big(4000, 'x');
  size_t folds = 0, lastSize = 0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(SetSz(key, ("v" + std::to_string(i % 10)).c_str(), big + std::to_string(i)),
              ERROR_SUCCESS);
    size_t size = image.Exists("system.log") ? image.ReadFile("system.log").size() : 0;
    if (size < lastSize) ++folds;
    lastSize = size;
    ASSERT_LE(size, 100u * 1024) << "the log grows no larger than the registry (64 KB at least)";
  }
  EXPECT_GE(folds, 2u);
  auto disk = image.Registry();
  ASSERT_TRUE(disk);
  EXPECT_EQ(winsim::FormatRegistry(*disk), Live());
  RegCloseKey(key);
}

TEST(RegistryLog, WhatAKillLeftIsReplayedAndFoldedByTheNextOpen) {
  // Two whole records, as a killed process leaves them, and what may follow them.
  TestImage source;
  source.Open();
  SetDriver();
  const std::string registry = source.ReadFile("system.reg");
  const std::string log = source.ReadFile("system.log");
  winsim::CloseMachine();

  struct Case {
    const char *what;
    std::string log;
    bool opens, hasDriver;
    std::string error;
  } cases[] = {
      {"whole records", log, true, true, ""},
      {"a torn last record", log + "=value HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale X 1", true, true,
       ""},
      {"a garbled last record", log + "=value HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale %Z\n", true,
       true, ""},
      {"a garbled record before another",
       log + "=value HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale %Z\n-value " + kNorvale + " Driver\n",
       false, false, "system.log:4: field 2 is garbled"},
      {"a log of another system.reg",
       "REGLOG 1 0000000000000000\n" + log.substr(log.find('\n') + 1), true, false, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TestImage image("", registry);
    image.WriteFile("system.log", c.log);
    winsim::ImageError error;
    ASSERT_EQ(image.TryOpen(&error), c.opens) << error.Text();
    if (!c.opens) {
      EXPECT_NE(error.Text().find(c.error), std::string::npos) << error.Text();
      continue;
    }
    EXPECT_EQ(winsim::GetRegistryValue(*winsim::M().registry, kNorvale, "Driver", nullptr, nullptr),
              c.hasDriver);
    EXPECT_FALSE(image.Exists("system.log"));
    EXPECT_EQ(image.ReadFile("system.reg"), Live());
    winsim::CloseMachine();
  }

  // The image tool replays and folds it too.
  TestImage image("", registry);
  image.WriteFile("system.log", log);
  auto shown =
      RunProgram({std::string(NORVALE_BIN_DIR) + "/winsim-image", "show", image.Dir()}, {});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_FALSE(image.Exists("system.log"));
  EXPECT_NE(image.ReadFile("system.reg").find("zelpsmon.dll"), std::string::npos);
}

TEST(RegistryLogDeathTest, ExitProcessFoldsTheLog) {
  TestImage image;
  image.Open();
  SetDriver();
  EXPECT_EXIT(ExitProcess(2), ::testing::ExitedWithCode(2), "");
  EXPECT_FALSE(image.Exists("system.log"));
  EXPECT_NE(image.ReadFile("system.reg").find("zelpsmon.dll"), std::string::npos);
}
