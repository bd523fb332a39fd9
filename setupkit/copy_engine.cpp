// The copy engine: runs the copy list, copies single files, keeps the gauge and the restart list.
//
// - Every file of the list is checked before the first is copied: a list that names a file the
//   distribution lacks copies nothing, and the user learns which file and why.
// - A file is copied whole or not at all, with its date; a copy of a read-only file (as files
//   on a CD are) is left writable, so that a later setup can replace or remove it.
// - An existing read-only destination is not replaced: someone protected it. A destination that
//   a running service has loaded cannot be replaced while it runs; with a restart directory set
//   the new file is staged there and put in place at the next restart, otherwise the copy fails
//   and says so.
// - The user stops the copy with Ctrl-C in the terminal (or by a quit message in the queue);
//   the engine finishes the file at hand and answers grcUserQuit.
// - In the terminal a gauge shows the progress; an unattended run writes one transcript line
//   per run: "copy <files copied> of <files listed> files".
#include <windows.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"
#include "winsim/console.h"
#include "winsim/machine.h"

namespace setupkit {
namespace {

struct Gauge {
  unsigned percent = 0;
};

Gauge g_gauge;
std::string g_restartDir;
std::vector<std::string> g_restartList;
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
}

// Ctrl-C stops the copy rather than the process while a person watches it.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = 0;
    if (!winsim::Interactive()) return;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    active_ = ::sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (active_) ::sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptGuard(const InterruptGuard &) = delete;
  InterruptGuard &operator=(const InterruptGuard &) = delete;

 private:
  bool active_ = false;
  struct sigaction previous_ = {};
};

// Lets the pending messages through; a quit message or Ctrl-C is the user's wish to stop.
bool QuitRequested() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return g_interrupted != 0;
}

bool Showing() {
  return winsim::Interactive() && !SilentMode();
}

std::string GaugeBar(unsigned percent) {
  const unsigned width = 20;
  unsigned filled = percent * width / 100;
  return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
         std::to_string(percent) + "%";
}

void ShowGauge(unsigned percent, const std::string &file) {
  g_gauge.percent = percent;
  if (!Showing()) return;
  if (file.empty()) {
    winsim::ConsoleStatus("Copying " + GaugeBar(percent));
    return;
  }
  std::string name = file.size() > 24 ? file.substr(0, 21) + "..." : file;
  winsim::ConsoleStatus("Copying " + GaugeBar(percent) + " " + name + "  (Ctrl-C stops)");
}

// The billboard whose share of the ticks covers this much of the copy, or -1.
int BillboardAt(uint64_t done, uint64_t total) {
  const std::vector<Billboard> &boards = Billboards();
  long double ticks = 0;
  for (const Billboard &b : boards) ticks += b.ticks;
  if (boards.empty() || ticks <= 0) return -1;
  long double at = total ? static_cast<long double>(done) / total * ticks : 0, sum = 0;
  for (size_t i = 0; i < boards.size(); ++i) {
    sum += boards[i].ticks;
    if (at < sum) return static_cast<int>(i);
  }
  return static_cast<int>(boards.size()) - 1;
}

void ShowBillboard(int index) {
  if (!Showing() || index < 0) return;
  const Billboard &b = Billboards()[static_cast<size_t>(index)];
  if (b.id == 0) return;  // a blank billboard shows the frame alone
  // A modeless dialog of its library, shown while its share of the copy runs.
  HMODULE library = LoadLibraryA(b.library.c_str());
  if (!library) return;
  HWND board = CreateDialogParamA(library, MAKEINTRESOURCEA(b.id), HwndFrame(), NULL, 0);
  if (board) {
    ShowWindow(board, SW_SHOW);
    DestroyWindow(board);
  }
  FreeLibrary(library);
}

std::string FileName(const std::string &path) {
  return path.substr(path.rfind('\\') + 1);
}

std::string ParentOf(const std::string &full) {
  size_t cut = full.rfind('\\');
  return full.substr(0, cut == 2 ? 3 : cut);
}

// Copies the new file into the restart directory and has it put in place at the next restart.
bool StageForRestart(const MachineFile &source, const MachineFile &target, std::string *why) {
  uint32_t error = 0;
  if (!CreateMachineDirectory(g_restartDir, &error)) {
    *why = "the file there is in use, and the restart directory " + g_restartDir +
           " cannot be made (" + ErrorText(error) + ")";
    return false;
  }
  MachineFile staged;
  for (unsigned n = 1;; ++n) {
    std::string name = g_restartDir + "\\~RST" + std::to_string(n) + ".TMP";
    if (!LocateMachineFile(name, &staged, &error)) {
      *why = "the file there is in use, and " + ErrorText(error) + " in " + g_restartDir;
      return false;
    }
    if (!staged.exists) break;
  }
  error = winsim::CopyHostFile(source.host, staged.host);
  if (!error) ::chmod(staged.host.c_str(), 0644);
  if (!error && !MoveFileExA(staged.full.c_str(), target.full.c_str(),
                             MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
    error = GetLastError();
    ::unlink(staged.host.c_str());
  }
  if (error) {
    *why = "the file there is in use, and it cannot be staged for the restart (" +
           ErrorText(error) + ")";
    return false;
  }
  g_restartList.push_back(target.full);
  return true;
}

// The checks and the copy of one file; `why` says what went wrong.
bool CopyOne(const std::string &from, const std::string &to, bool append, MachineFile *target,
             std::string *why) {
  MachineFile source;
  uint32_t error = 0;
  if (!LocateMachineFile(from, &source, &error)) return *why = ErrorText(error), false;
  if (!source.exists) return *why = "the file does not exist", false;
  if (source.isDir) return *why = "it is a directory, not a file", false;
  if (!LocateMachineFile(to, target, &error)) return *why = ErrorText(error), false;
  if (target->isDir) return *why = "a directory of that name is in the way", false;

  std::string dir = ParentOf(target->full);
  if (!CreateMachineDirectory(dir, &error))
    return *why = "the directory " + dir + " cannot be made (" + ErrorText(error) + ")", false;
  if (!LocateMachineFile(to, target, &error)) return *why = ErrorText(error), false;

  if (target->exists && target->readOnly) return *why = "the file there is read-only", false;
  if (target->exists && target->loaded) {
    if (g_restartDir.empty() || append)
      return *why =
                 "the file there is in use by a running service and cannot be replaced "
                 "while the service runs",
             false;
    return StageForRestart(source, *target, why);
  }

  if (append) {
    std::string head, tail;
    if (target->exists && !ReadMachineFile(target->host, &head))
      return *why = "the file there cannot be read", false;
    if (!ReadMachineFile(source.host, &tail)) return *why = "the file cannot be read", false;
    if (!winsim::WriteFileAtomically(target->host, head + tail))
      return *why = "the file cannot be written", false;
    return true;
  }
  error = winsim::CopyHostFile(source.host, target->host);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return *why = "the file cannot be read (" + ErrorText(error) + ")", false;
  if (error) return *why = ErrorText(error), false;
  struct stat st;
  if (::stat(target->host.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR))
    ::chmod(target->host.c_str(), (st.st_mode & 07777) | S_IWUSR);
  return true;
}

// Whether the source can be read now; `why` says why not.
bool Readable(const std::string &from, std::string *why) {
  MachineFile source;
  uint32_t error = 0;
  if (!LocateMachineFile(from, &source, &error)) return *why = ErrorText(error), false;
  if (!source.exists) return *why = "the file does not exist", false;
  if (source.isDir) return *why = "it is a directory, not a file", false;
  std::FILE *f = std::fopen(source.host.c_str(), "rb");
  if (!f) return *why = "the file cannot be read", false;
  std::fclose(f);
  return true;
}

std::string CannotCopy(const std::string &from, const std::string &to, const std::string &why) {
  return "Setup cannot copy " + from + " to " + to + ": " + why + ".";
}

void ResetEngine() {
  g_gauge = Gauge();
  g_restartDir.clear();
  g_restartList.clear();
  g_interrupted = 0;
}

const bool g_hooked = (winsim::AddOpenHook(&ResetEngine), true);

}  // namespace

bool CopyMachineFile(const std::string &source, const std::string &destination,
                     std::string *reason) {
  MachineFile target;
  std::string why;
  if (CopyOne(source, destination, false, &target, &why)) return true;
  *reason = CannotCopy(source, destination, why);
  return false;
}

unsigned GaugePercent() {
  return g_gauge.percent;
}
const std::string &RestartDirectory() {
  return g_restartDir;
}
const std::vector<std::string> &RestartList() {
  return g_restartList;
}

void ForgetInstallState() {
  (void)g_hooked;
  ResetEngine();
  ResetCopyList();
  ForgetFrameModes();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

GRC WINAPI GrcCopyFilesInCopyList(HINSTANCE hInstance) {
  if (uint32_t grc = winsim::Fault("GrcCopyFilesInCopyList")) return static_cast<GRC>(grc);
  if (!InstallUp() || hInstance == nullptr || hInstance != HinstFrame()) return grcNotOkay;

  std::vector<CopyJob> jobs;
  std::string problem;
  if (!ResolveCopyList(&jobs, &problem)) {
    TellUser(problem);
    return grcNotOkay;
  }
  const std::string counted = " of " + std::to_string(jobs.size()) + " files";

  // A distribution that lacks a file is found out before anything is copied.
  uint64_t total = 0;
  std::vector<uint64_t> sizes;
  for (const CopyJob &job : jobs) {
    std::string why;
    if (!Readable(job.source, &why)) {
      TellUser(CannotCopy(job.source, job.destination, why));
      winsim::Transcript("copy 0" + counted);
      return grcNotOkay;
    }
    MachineFile source;
    uint32_t error = 0;
    LocateMachineFile(job.source, &source, &error);
    sizes.push_back(source.size);
    total += source.size;
  }

  InterruptGuard interrupt;
  uint64_t done = 0;
  int billboard = -1;
  size_t copied = 0;
  GRC grc = grcOkay;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (QuitRequested()) {
      grc = grcUserQuit;
      break;
    }
    int next = BillboardAt(done, total);
    if (next != billboard) ShowBillboard(billboard = next);
    ShowGauge(total ? static_cast<unsigned>(done * 100 / total) : 0, FileName(jobs[i].source));

    MachineFile target;
    std::string why;
    if (!CopyOne(jobs[i].source, jobs[i].destination, false, &target, &why)) {
      if (Showing()) winsim::ConsoleClearStatus();
      TellUser(CannotCopy(jobs[i].source, jobs[i].destination, why));
      grc = grcNotOkay;
      break;
    }
    WriteLogLine("Copied " + jobs[i].source + " to " + jobs[i].destination);
    done += sizes[i];
    ++copied;
  }
  if (grc == grcOkay) ShowGauge(100, "");
  if (Showing()) winsim::ConsoleClearStatus();
  winsim::Transcript("copy " + std::to_string(copied) + counted);
  return grc;
}

BOOL WINAPI FCopyOneFile(LPCSTR szSrc, LPCSTR szDest, int cmo, BOOL fAppend) {
  if (winsim::Fault("FCopyOneFile")) return FALSE;
  if (!szSrc || !*szSrc || !szDest || !*szDest) return FALSE;
  MachineFile target;
  std::string why;
  if (!CopyOne(szSrc, szDest, fAppend != FALSE, &target, &why)) {
    if (cmo & cmoTellUser) TellUser(CannotCopy(szSrc, szDest, why));
    return FALSE;
  }
  WriteLogLine(std::string(fAppend ? "Appended " : "Copied ") + szSrc + " to " + szDest);
  return TRUE;
}

BOOL WINAPI ProSetPos(UINT uPos, UINT uRange) {
  if (winsim::Fault("ProSetPos")) return FALSE;
  if (uRange == 0 || uPos > uRange) return FALSE;
  ShowGauge(static_cast<unsigned>(static_cast<uint64_t>(uPos) * 100 / uRange), "");
  return TRUE;
}

BOOL WINAPI FSetRestartDir(LPCSTR szDir) {
  if (winsim::Fault("FSetRestartDir")) return FALSE;
  MachineFile dir;
  uint32_t error = 0;
  if (!szDir || !*szDir || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  if (dir.exists && !dir.isDir) return FALSE;  // made when the first file is staged
  g_restartDir = dir.full;
  return TRUE;
}

BOOL WINAPI FRestartListEmpty(void) {
  return g_restartList.empty() ? TRUE : FALSE;
}

BOOL WINAPI FExitExecRestart(void) {
  if (winsim::Fault("FExitExecRestart")) return FALSE;
  if (g_restartList.empty()) return FALSE;  // nothing waits for a restart

  // The restart needs the shutdown right enabled in the process's token.
  HANDLE token = nullptr;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return FALSE;
  BOOL enabled = LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  if (!enabled) return FALSE;
  return InitiateSystemShutdownA(nullptr, nullptr, 0, TRUE, TRUE);
}

}  // extern "C"
