#include "test_image.h"

#include "winsim/registry_log.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testing_support {

const char kMinimalRegistry[] =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port]\r\n"
    "\"Driver\"=\"localmon.dll\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\r\n"
    "\"WinntPath\"=\"D:\\\\I386\"\r\n"
    "\r\n"
    "[HKEY_USERS\\.DEFAULT]\r\n"
    "\r\n";

const char kDefaultMachine[] =
    "[system]\n"
    "version = 3.50.807\n"
    "platform = nt\n"
    "processor = x86\n"
    "windows = C:\\WINNT35\n"
    "system = C:\\WINNT35\\system32\n"
    "temp = C:\\TEMP\n"
    "\n"
    "[drives]\n"
    "C = drive_c\n";

std::string MakeTempDir(const std::string &prefix) {
  std::string base = fs::temp_directory_path().string() + "/" + prefix + "XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) return "";
  return buf.data();
}

// A test that changes host files under an open machine does it behind the machine's back.
void RemoveTree(const std::string &path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (winsim::MachineOpen()) winsim::ForgetHostListings();
}

std::string ReadHostFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteHostFile(const std::string &path, const std::string &content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (winsim::MachineOpen()) winsim::ForgetHostListings();
}

TestImage::TestImage(const std::string &machineIni, const std::string &systemReg) {
  dir_ = MakeTempDir("winsim-image-");
  WriteFile("machine.ini", machineIni.empty() ? kDefaultMachine : machineIni);
  WriteFile("system.reg", systemReg.empty() ? kMinimalRegistry : systemReg);
  fs::create_directories(dir_ + "/drive_c/WINNT35/system32/spool/drivers/w32x86");
  fs::create_directories(dir_ + "/drive_c/TEMP");
}

TestImage::~TestImage() {
  winsim::CloseMachine();
  RemoveTree(dir_);
}

std::string TestImage::HostPath(const std::string &relative) const {
  return dir_ + "/" + relative;
}

void TestImage::WriteFile(const std::string &relative, const std::string &content) const {
  WriteHostFile(HostPath(relative), content);
}

std::string TestImage::ReadFile(const std::string &relative) const {
  return ReadHostFile(HostPath(relative));
}

std::unique_ptr<winsim::RegistryStore, winsim::RegistryStoreDeleter> TestImage::Registry() const {
  winsim::ImageError error;
  auto store = winsim::LoadImageRegistry(dir_, nullptr, &error);
  EXPECT_TRUE(store) << error.Text();
  return store;
}

std::string TestImage::RegistryFiles() const {
  return ReadFile("system.reg") + (Exists("system.log") ? ReadFile("system.log") : "");
}

bool TestImage::Exists(const std::string &relative) const {
  return fs::exists(HostPath(relative));
}

void TestImage::Open(const std::string &hostCwd, const std::string &transcript,
                     const std::string &answers, const std::string &record) {
  winsim::OpenOptions options;
  options.imageDir = dir_;
  options.hostCwd = hostCwd.empty() ? dir_ + "/drive_c" : hostCwd;
  options.virtualClock = true;
  options.transcriptPath = transcript;
  options.answersPath = answers;
  options.recordPath = record;
  winsim::ImageError error;
  ASSERT_TRUE(winsim::OpenMachine(options, &error)) << error.Text();
}

bool TestImage::TryOpen(winsim::ImageError *error) {
  winsim::OpenOptions options;
  options.imageDir = dir_;
  options.hostCwd = dir_ + "/drive_c";
  return winsim::OpenMachine(options, error);
}

RunResult RunProgram(const std::vector<std::string> &argv,
                     const std::vector<std::string> &environment, const std::string &cwd) {
  RunResult result;
  std::string outPath = MakeTempDir("run-");
  std::string out = outPath + "/out", err = outPath + "/err";
  pid_t pid = fork();
  if (pid == 0) {
    for (const std::string &e : environment) putenv(strdup(e.c_str()));
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(127);
    if (!freopen("/dev/null", "r", stdin)) _exit(127);
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.out = ReadHostFile(out);
  result.err = ReadHostFile(err);
  RemoveTree(outPath);
  return result;
}

}  // namespace testing_support
