// Small machine images made inside a test: a temporary directory with machine.ini, system.reg
// and drive directories, opened in this process on the virtual clock.
#ifndef TESTS_SUPPORT_TEST_IMAGE_H
#define TESTS_SUPPORT_TEST_IMAGE_H

#include <memory>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace testing_support {

// The REGEDIT4 text of an image that holds only the keys a Windows NT 3.5 machine starts with.
extern const char kMinimalRegistry[];

// machine.ini of a Windows NT 3.5 x86 machine with drive C: and nothing else.
extern const char kDefaultMachine[];

class TestImage {
 public:
  // machineIni: the text of machine.ini; empty gives a Windows NT 3.5 x86 machine with drive C:.
  explicit TestImage(const std::string &machineIni = "", const std::string &systemReg = "");
  ~TestImage();
  TestImage(const TestImage &) = delete;
  TestImage &operator=(const TestImage &) = delete;

  const std::string &Dir() const { return dir_; }
  std::string HostPath(const std::string &relative) const;  // inside the image, '/' separated
  // Writes a file inside the image (directories created as needed).
  void WriteFile(const std::string &relative, const std::string &content) const;
  std::string ReadFile(const std::string &relative) const;
  bool Exists(const std::string &relative) const;
  // The registry as the image holds it on disk now: system.reg with its log replayed.
  std::unique_ptr<winsim::RegistryStore, winsim::RegistryStoreDeleter> Registry() const;
  // The text of the image's registry files, system.reg and its log: equal texts, nothing written.
  std::string RegistryFiles() const;

  // Opens the image in this process (virtual clock). hostCwd is the working directory the
  // setup sees; empty means the image's drive_c root. Fails the test on an image fault.
  void Open(const std::string &hostCwd = "", const std::string &transcript = "",
            const std::string &answers = "", const std::string &record = "");
  // Opens it and answers the fault instead of failing.
  bool TryOpen(winsim::ImageError *error);

 private:
  std::string dir_;
};

std::string ReadHostFile(const std::string &path);
void WriteHostFile(const std::string &path, const std::string &content);
std::string MakeTempDir(const std::string &prefix);
void RemoveTree(const std::string &path);

// Runs a program with environment additions; answers its exit status (-1 when killed) and
// collects standard output and error.
struct RunResult {
  int status = -1;  // the exit status; -1 when a signal ended the program
  int signal = 0;   // the signal that ended it
  std::string out;
  std::string err;
};
RunResult RunProgram(const std::vector<std::string> &argv,
                     const std::vector<std::string> &environment, const std::string &cwd = "");

}  // namespace testing_support

#endif
