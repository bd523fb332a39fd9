// The copy engine: runs the copy list, copies single files, keeps the gauge and the restart list.
//
// - Every file of the list is checked before the first is copied: a list that names a file the
//   distribution lacks copies nothing, and the user learns which file and why.
// - A file is copied whole or not at all, with its date; a copy of a read-only file (as files on
//   a CD are) is left writable, so that a later setup can replace or remove it.
// - An existing read-only destination is not replaced: someone protected it. A destination that
//   a running program holds (it does not open for writing: a sharing violation) cannot be
//   replaced while it runs; with a restart directory set the new file is staged there and put in
//   place at the next restart (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT), otherwise the copy
//   fails and says so.
// - The user stops the copy with the gauge's Cancel button or by a quit message in the queue;
//   the engine finishes the file at hand and answers grcUserQuit.
// - The gauge is a modeless dialog of the dialog library; each run writes one transcript line:
//   "copy <files copied> of <files listed> files".
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "dialogs/library_ids.h"
#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

unsigned g_percent = 0;
bool g_cancelled = false;
std::string g_restartDir;
std::vector<std::string> g_restartList;

// ---- the gauge and the billboards ------------------------------------------------------------

HMODULE g_library = nullptr;  // the dialog library while the gauge or a billboard is up
HWND g_gauge = nullptr;
HWND g_billboard = nullptr;
HMODULE g_billboardLibrary = nullptr;

}  // namespace

INT_PTR CALLBACK CopyGaugeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(dialog, IDC_GAUGE_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        g_cancelled = true;
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

namespace {

// Shows the progress, bringing the gauge up on its first use. The copy goes on without it when
// it cannot be shown, and in silent mode nothing is shown.
void ShowGauge(unsigned percent, const std::string &file) {
  g_percent = percent;
  if (SilentMode()) return;
  if (!g_gauge) {
    if (!g_library) g_library = LoadLibraryA(DIALOG_LIBRARY);
    if (!g_library) return;
    g_gauge = CreateDialogParamA(g_library, MAKEINTRESOURCEA(DLG_COPY_GAUGE), HwndFrame(),
                                 CopyGaugeProc, 0);
    if (!g_gauge) return;
    ShowWindow(g_gauge, SW_SHOW);
  }
  if (!file.empty()) SetDlgItemTextA(g_gauge, IDC_GAUGE_TEXT, file.c_str());
  SendDlgItemMessageA(g_gauge, IDC_GAUGE_BAR, PBM_SETPOS, percent, 0);
}

void EndBillboard() {
  if (g_billboard) DestroyWindow(g_billboard);
  if (g_billboardLibrary) FreeLibrary(g_billboardLibrary);
  g_billboard = nullptr;
  g_billboardLibrary = nullptr;
}

void EndGauge() {
  EndBillboard();
  if (g_gauge) DestroyWindow(g_gauge);
  if (g_library) FreeLibrary(g_library);
  g_gauge = nullptr;
  g_library = nullptr;
}

// Lets the pending messages through; a quit message or the gauge's Cancel is the user's wish
// to stop.
bool QuitRequested() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return g_cancelled;
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

// A modeless dialog of its library, up while its share of the copy runs; a blank billboard
// shows the frame alone.
void ShowBillboard(int index) {
  EndBillboard();
  if (SilentMode() || index < 0) return;
  const Billboard &b = Billboards()[static_cast<size_t>(index)];
  if (b.id == 0) return;
  g_billboardLibrary = LoadLibraryA(b.library.c_str());
  if (!g_billboardLibrary) return;
  // GetProcAddress answers "any function"; the library exports dialog procedures.
  DLGPROC procedure = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(g_billboardLibrary, b.procedure.c_str())));
  g_billboard =
      CreateDialogParamA(g_billboardLibrary, MAKEINTRESOURCEA(b.id), HwndFrame(), procedure, 0);
  if (g_billboard) ShowWindow(g_billboard, SW_SHOW);
  // The gauge stays in front of it.
  if (g_gauge) {
    ShowWindow(g_gauge, SW_HIDE);
    ShowWindow(g_gauge, SW_SHOW);
  }
}

// ---- copies ---------------------------------------------------------------------------------

std::string FileName(const std::string &path) {
  return path.substr(path.rfind('\\') + 1);
}

std::string ParentOf(const std::string &full) {
  size_t cut = full.rfind('\\');
  return full.substr(0, cut == 2 ? 3 : cut);
}

// Copies the new file into the restart directory and has it put in place at the next restart.
bool StageForRestart(const MachineFile &source, const MachineFile &target, std::string *why) {
  DWORD error = 0;
  if (!CreateMachineDirectory(g_restartDir, &error)) {
    *why = "the file there is in use, and the restart directory " + g_restartDir +
           " cannot be made (" + ErrorText(error) + ")";
    return false;
  }
  std::string staged;
  for (unsigned n = 1;; ++n) {
    staged = g_restartDir + "\\~RST" + std::to_string(n) + ".TMP";
    if (GetFileAttributesA(staged.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) break;
    *why = "the file there is in use, and " + ErrorText(error) + " in " + g_restartDir;
    return false;
  }
  error = 0;
  if (CopyFileContents(source, staged, true, &error) &&
      !MoveFileExA(staged.c_str(), target.full.c_str(),
                   MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)) {
    error = GetLastError();
    DeleteFileA(staged.c_str());
  }
  if (error) {
    *why = "the file there is in use, and it cannot be staged for the restart (" +
           ErrorText(error) + ")";
    return false;
  }
  g_restartList.push_back(target.full);
  return true;
}

const char kInUse[] =
    "the file there is in use by a running service and cannot be replaced while the service runs";

// Why the target is refused before any byte is copied, or "" when nothing speaks against it.
std::string TargetRefusal(const MachineFile &target) {
  if (target.isDir) return "a directory of that name is in the way";
  if (target.exists && target.readOnly) return "the file there is read-only";
  return "";
}

// The checks and the copy of a file found to exist to the full path `to` in directory `dir`;
// `why` says what went wrong. `dirMade`, when given, names the directory this run of copies has
// made (or found) last, which is not looked at again for the next file that goes there. A plain
// copy does not look at the target first: opening it for writing refuses a directory or a
// read-only file, and only then is it looked at, to say why.
bool CopyFound(const MachineFile &source, const std::string &to, const std::string &dir,
               bool append, std::string *dirMade, std::string *why) {
  MachineFile target;
  DWORD error = 0;
  target.full = to;
  const bool itself = EqualNoCase(source.full, to);
  if ((append || itself) && !LocateMachineFile(to, &target, &error))
    return *why = ErrorText(error), false;
  if (target.isDir) return *why = TargetRefusal(target), false;

  if (!dirMade || *dirMade != dir) {
    if (!CreateMachineDirectory(dir, &error))
      return *why = "the directory " + dir + " cannot be made (" + ErrorText(error) + ")", false;
    if (dirMade) *dirMade = dir;
  }
  if (!(*why = TargetRefusal(target)).empty()) return false;
  // A file copied onto itself is already in place; opening it for writing would empty it.
  if (itself) return !append || (*why = "it is the same file", false);

  if (append) {
    if (target.exists && FileInUse(target.full)) return *why = kInUse, false;
    std::string tail;
    if (!ReadMachineFile(source.full, &tail, &error))
      return *why = "the file cannot be read", false;
    if (!WriteMachineFile(target.full, tail, true, &error))
      return *why = "the file cannot be written", false;
    return true;
  }
  if (!CopyFileContents(source, target.full, false, &error)) {
    DWORD lookError = 0;
    if (!LocateMachineFile(to, &target, &lookError)) return *why = ErrorText(lookError), false;
    if (!(*why = TargetRefusal(target)).empty()) return false;
    if (error == ERROR_SHARING_VIOLATION && target.exists) {
      if (g_restartDir.empty()) return *why = kInUse, false;
      return StageForRestart(source, target, why);
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return *why = "the file cannot be read (" + ErrorText(error) + ")", false;
    return *why = ErrorText(error), false;
  }
  return true;
}

bool CopyOne(const std::string &from, const std::string &to, bool append, std::string *why) {
  MachineFile source;
  DWORD error = 0;
  if (!LocateMachineFile(from, &source, &error)) return *why = ErrorText(error), false;
  if (!source.exists) return *why = "the file does not exist", false;
  if (source.isDir) return *why = "it is a directory, not a file", false;
  std::string target;
  if (!FullPath(to, &target, &error)) return *why = ErrorText(error), false;
  return CopyFound(source, target, ParentOf(target), append, nullptr, why);
}

// A source of the copy list (a full path): that it is a file that can be read, its size and
// attributes, from one opening of it; only a source that does not open is looked at again, to say
// why.
bool CheckSource(const std::string &path, MachineFile *source, std::string *why) {
  DWORD error = 0;
  *source = MachineFile();
  source->full = path;
  HANDLE file = CreateFileA(source->full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (known) {
      source->exists = true;
      source->attributes = info.dwFileAttributes;
      source->readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
      source->size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
      return true;
    }
  }
  if (!LocateMachineFile(path, source, &error))
    *why = ErrorText(error);
  else if (!source->exists)
    *why = "the file does not exist";
  else if (source->isDir)
    *why = "it is a directory, not a file";
  else
    *why = "the file cannot be read";
  return false;
}

std::string CannotCopy(const std::string &from, const std::string &to, const std::string &why) {
  return "Setup cannot copy " + from + " to " + to + ": " + why + ".";
}

}  // namespace

bool CopyMachineFile(const std::string &source, const std::string &destination,
                     std::string *reason) {
  std::string why;
  if (CopyOne(source, destination, false, &why)) return true;
  *reason = CannotCopy(source, destination, why);
  return false;
}

unsigned GaugePercent() {
  return g_percent;
}
const std::string &RestartDirectory() {
  return g_restartDir;
}
const std::vector<std::string> &RestartList() {
  return g_restartList;
}

void ForgetInstallState() {
  // The windows and the library went with the process that had them.
  g_gauge = g_billboard = nullptr;
  g_library = g_billboardLibrary = nullptr;
  g_percent = 0;
  g_cancelled = false;
  g_restartDir.clear();
  g_restartList.clear();
  ResetCopyList();
  ForgetFrameModes();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

GRC WINAPI GrcCopyFilesInCopyList(HINSTANCE hInstance) {
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
  std::vector<MachineFile> sources;
  sources.reserve(jobs.size());
  for (const CopyJob &job : jobs) {
    MachineFile source;
    std::string why;
    if (!CheckSource(job.source, &source, &why)) {
      TellUser(CannotCopy(job.source, job.destination, why));
      WriteTranscript("copy 0" + counted);
      return grcNotOkay;
    }
    total += source.size;
    sources.push_back(std::move(source));
  }

  uint64_t done = 0;
  int billboard = -1;
  std::string dirMade;
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

    std::string why;
    if (!CopyFound(sources[i], jobs[i].destination, jobs[i].destinationDir, false, &dirMade,
                   &why)) {
      EndGauge();
      TellUser(CannotCopy(jobs[i].source, jobs[i].destination, why));
      grc = grcNotOkay;
      break;
    }
    if (!LogFileName().empty())
      WriteLogLine("Copied " + jobs[i].source + " to " + jobs[i].destination);
    done += sources[i].size;
    ++copied;
  }
  if (grc == grcOkay) ShowGauge(100, "");
  EndGauge();
  g_cancelled = false;  // a Cancel ends the run it was pressed in
  WriteTranscript("copy " + std::to_string(copied) + counted);
  return grc;
}

BOOL WINAPI FCopyOneFile(LPCSTR szSrc, LPCSTR szDest, int cmo, BOOL fAppend) {
  if (!szSrc || !*szSrc || !szDest || !*szDest) return FALSE;
  std::string why;
  if (!CopyOne(szSrc, szDest, fAppend != FALSE, &why)) {
    if (cmo & cmoTellUser) TellUser(CannotCopy(szSrc, szDest, why));
    return FALSE;
  }
  WriteLogLine(std::string(fAppend ? "Appended " : "Copied ") + szSrc + " to " + szDest);
  return TRUE;
}

BOOL WINAPI ProSetPos(UINT uPos, UINT uRange) {
  if (uRange == 0 || uPos > uRange) return FALSE;
  g_percent = static_cast<unsigned>(static_cast<uint64_t>(uPos) * 100 / uRange);
  if (g_gauge) SendDlgItemMessageA(g_gauge, IDC_GAUGE_BAR, PBM_SETPOS, g_percent, 0);
  return TRUE;
}

BOOL WINAPI FSetRestartDir(LPCSTR szDir) {
  MachineFile dir;
  DWORD error = 0;
  if (!szDir || !*szDir || !LocateMachineFile(szDir, &dir, &error)) return FALSE;
  if (dir.exists && !dir.isDir) return FALSE;  // made when the first file is staged
  g_restartDir = dir.full;
  return TRUE;
}

BOOL WINAPI FRestartListEmpty(void) {
  return g_restartList.empty() ? TRUE : FALSE;
}

BOOL WINAPI FExitExecRestart(void) {
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
