// CreateProcessA: finds the program among the files of the image by the search rules of
// Windows NT and records the start in the transcript. Nothing runs: the machine only learns that
// the program was started, and the caller gets process and thread handles to close.
//
// The application's directory, searched first, is the directory the setup was started in (the
// current directory when the machine was opened). On a real machine that is where setup.exe
// lies: the distribution directory; the setup program of the build host lies outside the image.
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "winsim/handles.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

std::string g_applicationDir;
DWORD g_nextId = 0x100;

void RememberApplicationDir() {
  g_applicationDir = M().currentDir;
  g_nextId = 0x100;
}
[[maybe_unused]] const bool g_hooked = (AddOpenHook(&RememberApplicationDir), true);

// What a process or thread handle stands for.
struct StartedProcess {
  std::string commandLine;
  std::string program;  // full Windows path of the file started
};

bool IsFile(const std::string &windowsPath, std::string *fullPath) {
  uint32_t error = 0;
  std::string host;
  if (!FullWindowsPath(windowsPath, fullPath, &error) || !ResolvePath(*fullPath, &host, &error))
    return false;
  struct stat st;
  return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasPath(const std::string &name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

// ".exe" goes on a name whose last component has no extension. A name ending in a dot has an
// empty extension and is taken as it is (the dot itself is dropped from file names).
std::string WithExtension(const std::string &name) {
  size_t base = name.find_last_of("\\/:");
  base = base == std::string::npos ? 0 : base + 1;
  return name.find('.', base) == std::string::npos ? name + ".exe" : name;
}

std::string Joined(const std::string &dir, const std::string &name) {
  if (dir.empty()) return name;
  char last = dir.back();
  return last == '\\' || last == '/' || last == ':' ? dir + name : dir + "\\" + name;
}

// The directories searched for a bare name, in the order of the platform.
std::vector<std::string> SearchDirectories() {
  const Machine &m = M();
  std::vector<std::string> dirs = {g_applicationDir, m.currentDir, m.systemDir, m.windowsDir};
  for (const auto &entry : m.environment) {
    if (!EqualNoCase(entry.first, "PATH")) continue;
    size_t pos = 0;
    const std::string &path = entry.second;
    while (pos <= path.size()) {
      size_t next = path.find(';', pos);
      if (next == std::string::npos) next = path.size();
      std::string dir = path.substr(pos, next - pos);
      while (!dir.empty() && dir.front() == ' ') dir.erase(0, 1);
      while (!dir.empty() && dir.back() == ' ') dir.pop_back();
      if (!dir.empty()) dirs.push_back(dir);
      pos = next + 1;
    }
  }
  return dirs;
}

bool FindProgram(const std::string &name, bool search, std::string *found) {
  if (name.empty()) return false;
  std::string file = search ? WithExtension(name) : name;
  if (!search || HasPath(name)) return IsFile(file, found);
  for (const std::string &dir : SearchDirectories())
    if (IsFile(Joined(dir, file), found)) return true;
  return false;
}

// Without an application name the program is the first token of the command line: a quoted
// name as quoted; an unquoted one is tried at each blank in turn, shortest first, as NT does
// for "C:\Program Files\x" (C:\Program.exe, then C:\Program Files\x.exe).
bool FindInCommandLine(const std::string &commandLine, std::string *found) {
  size_t start = commandLine.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  if (commandLine[start] == '"') {
    size_t close = commandLine.find('"', start + 1);
    size_t end = close == std::string::npos ? commandLine.size() : close;
    return FindProgram(commandLine.substr(start + 1, end - start - 1), true, found);
  }
  size_t pos = start;
  for (;;) {
    size_t blank = commandLine.find_first_of(" \t", pos);
    std::string candidate =
        commandLine.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    if (FindProgram(candidate, true, found)) return true;
    if (blank == std::string::npos) return false;
    pos = commandLine.find_first_not_of(" \t", blank);
    if (pos == std::string::npos) return false;
  }
}

}  // namespace
}  // namespace winsim

extern "C" {

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  (void)lpProcessAttributes;
  (void)lpThreadAttributes;
  (void)bInheritHandles;
  (void)dwCreationFlags;
  (void)lpEnvironment;
  if (DWORD err = winsim::Fault("CreateProcessA")) {
    SetLastError(err);
    return FALSE;
  }
  if ((!lpApplicationName && !lpCommandLine) || !lpStartupInfo || !lpProcessInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string commandLine = lpCommandLine ? lpCommandLine : lpApplicationName;

  // An application name is used as given, relative to the current directory, with no search and
  // no extension added.
  std::string program;
  bool found = lpApplicationName ? winsim::FindProgram(lpApplicationName, false, &program)
                                 : winsim::FindInCommandLine(commandLine, &program);
  if (!found) {
    winsim::Transcript("start-failed " + winsim::Quote(commandLine));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }

  if (lpCurrentDirectory) {
    // The new process's current directory must be an existing directory; the program is looked
    // for first.
    std::string full, host;
    uint32_t error = 0;
    struct stat st;
    if (!winsim::FullWindowsPath(lpCurrentDirectory, &full, &error) ||
        !winsim::ResolvePath(full, &host, &error) || ::stat(host.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
  }

  auto started = std::make_shared<winsim::StartedProcess>();
  started->commandLine = commandLine;
  started->program = program;
  lpProcessInformation->hProcess = winsim::NewKernelHandle("process", started);
  lpProcessInformation->hThread = winsim::NewKernelHandle("thread", started);
  lpProcessInformation->dwProcessId = winsim::g_nextId;
  lpProcessInformation->dwThreadId = winsim::g_nextId + 4;
  winsim::g_nextId += 8;
  winsim::Transcript("start " + winsim::Quote(commandLine));
  return TRUE;
}

}  // extern "C"
