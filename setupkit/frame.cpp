// The toolkit frame: the window behind every dialog, the lock that keeps a second setup off the
// machine, the wait cursor, and the install state.
//
// The lock is an flock on "setup.lock" in the machine image. The operating system drops it
// when the process ends however it ends, so a killed setup never leaves the machine locked.
// The file itself stays: removing it while another process has it open would let two setups
// lock two different files.
#include <windows.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "dialogs/dialogs.h"
#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"
#include "winsim/machine.h"
#include "winsim/user32_state.h"

namespace setupkit {
namespace {

// The toolkit's own module handle (what HinstFrame answers).
HINSTANCE const kToolkitInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7A000000));

struct Frame {
  bool up = false;
  int lockFd = -1;
  std::string commandLine;
  HWND window = nullptr;
  bool install = false;
  std::set<uintptr_t> cursors;  // wait cursors shown and not yet restored
  uintptr_t nextCursor = 0x7C000001;
};

Frame g_frame;

const bool g_hooked = (winsim::AddOpenHook(&ResetToolkit), true);

}  // namespace

std::string FrameLockPath() {
  return winsim::M().dir + "/setup.lock";
}
bool FrameUp() {
  return g_frame.up;
}
bool InstallUp() {
  return g_frame.install;
}
int WaitCursorCount() {
  return static_cast<int>(g_frame.cursors.size());
}
const std::string &FrameCommandLine() {
  return g_frame.commandLine;
}

void ForgetFrame() {
  if (g_frame.lockFd >= 0) ::close(g_frame.lockFd);  // closing the file drops the lock
  uintptr_t next = g_frame.nextCursor;
  g_frame = Frame();
  g_frame.nextCursor = next;  // a handle restored once never becomes valid again
}

void ResetToolkit() {
  (void)g_hooked;
  ForgetDialogs();
  ForgetInf();
  ForgetSymbols();
  ForgetFrame();
  ForgetInstallState();
  dialogs::ResetAnswers();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

int WINAPI InitializeFrame(LPSTR szCmdLine) {
  if (g_frame.up) return 0;  // one frame per process
  if (winsim::Fault("InitializeFrame")) return 0;
  if (!winsim::MachineOpen()) return 0;

  int fd = ::open(FrameLockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? -1 : 0;  // another setup works on this machine
  }

  g_frame.up = true;
  g_frame.lockFd = fd;
  g_frame.commandLine = szCmdLine ? szCmdLine : "";
  g_frame.window = winsim::NewWindow("Setup");
  return 1;
}

HWND WINAPI HwndFrame(void) {
  return g_frame.up ? g_frame.window : nullptr;
}

HINSTANCE WINAPI HinstFrame(void) {
  return g_frame.up ? kToolkitInstance : nullptr;
}

BOOL WINAPI FSetBitmap(LPCSTR szDll, UINT idBitmap) {
  if (winsim::Fault("FSetBitmap")) return FALSE;
  if (!g_frame.up || !szDll) return FALSE;
  const std::vector<std::string> *bitmap = dialogs::FindBitmap(szDll, idBitmap);
  if (!bitmap) return FALSE;
  if (winsim::Interactive()) {
    std::printf("\n");
    for (const std::string &line : *bitmap) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  return TRUE;
}

HCURSOR WINAPI HShowWaitCursor(void) {
  if (winsim::Fault("HShowWaitCursor")) return nullptr;
  uintptr_t handle = g_frame.nextCursor++;
  g_frame.cursors.insert(handle);
  return reinterpret_cast<HCURSOR>(handle);
}

BOOL WINAPI FRestoreCursor(HCURSOR hcurPrev) {
  if (winsim::Fault("FRestoreCursor")) return FALSE;
  // Only a handle that HShowWaitCursor gave and that was not restored yet.
  return g_frame.cursors.erase(reinterpret_cast<uintptr_t>(hcurPrev)) ? TRUE : FALSE;
}

void WINAPI TerminateFrame(void) {
  ForgetDialogs();
  ForgetInf();
  ForgetSymbols();
  ForgetFrame();
}

BOOL WINAPI FInitializeInstall(HINSTANCE hinst, HWND hwndFrame) {
  if (winsim::Fault("FInitializeInstall")) return FALSE;
  if (!g_frame.up || hinst != kToolkitInstance || hwndFrame != g_frame.window) return FALSE;
  g_frame.install = true;
  return TRUE;
}

void WINAPI TerminateInstall(void) {
  g_frame.install = false;
}

}  // extern "C"
