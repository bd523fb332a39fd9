// The toolkit frame: the window behind every dialog, with the package's picture as its
// backdrop; the named mutex that keeps a second setup off the machine; the wait cursor; the
// install state.
//
// The mutex is created by the first setup and exists while that setup runs; a setup that finds
// it already there ends quietly (InitializeFrame answers -1). Windows drops a dead process's
// handles, so a killed setup never leaves the machine locked.
#include <windows.h>

#include <set>
#include <string>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

const char kFrameClass[] = "NorvaleSetupFrame";
const char kMutexName[] = "NorvaleSetupFrame";

struct Frame {
  bool up = false;
  HANDLE mutex = NULL;
  HINSTANCE instance = NULL;
  HWND window = NULL;
  HWND backdrop = NULL;  // the static control that shows the bitmap
  HBITMAP bitmap = NULL;
  HBRUSH ground = NULL;  // the frame's colour, behind the bitmap too
  std::string commandLine;
  bool install = false;
  HMODULE installLibrary = NULL;   // the dialog library, loaded for the installation's dialogs
  std::multiset<HCURSOR> cursors;  // what each HShowWaitCursor replaced, not yet restored
};

Frame g_frame;

// The setup's screen: white on dark blue, as setup programs of the time looked.
const COLORREF kGround = RGB(0, 0, 128), kInk = RGB(255, 255, 255);

LRESULT CALLBACK FrameWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      // A dialog's help button: the help that FDoDialogExt was given for it.
      if (LOWORD(wParam) == IDHELP && lParam) {
        ShowHelpOf(reinterpret_cast<HWND>(lParam));
        return 0;
      }
      break;
    case WM_CLOSE:
      return 0;  // the setup ends through its own dialogs, never by closing the frame
    case WM_CTLCOLORSTATIC:
      // The bitmap has two colours: its ink is drawn white and its ground in the frame's colour.
      if (reinterpret_cast<HWND>(lParam) == g_frame.backdrop && g_frame.ground) {
        SetTextColor(reinterpret_cast<HDC>(wParam), kInk);
        SetBkColor(reinterpret_cast<HDC>(wParam), kGround);
        return reinterpret_cast<LRESULT>(g_frame.ground);
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The program ends without a word when the frame or the installation cannot start: the user is
// told why here, and the caller gets its failure (0).
int CannotStart(const char *why, DWORD error) {
  TellUser("Setup cannot start: " + std::string(why) + " (error " + std::to_string(error) + ").");
  return 0;
}

}  // namespace

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
  g_frame = Frame();
}

void ResetToolkit() {
  // Only what the toolkit holds is dropped: the windows, handles and modules of the ended
  // process are gone with it.
  ForgetDialogs();
  ForgetInf();
  ForgetSymbols();
  ForgetFrame();
  ForgetInstallState();
  ResetAnswers();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

int WINAPI InitializeFrame(LPSTR szCmdLine) {
  if (g_frame.up) return 0;  // one frame per process
  HANDLE mutex = CreateMutexA(NULL, FALSE, kMutexName);
  if (!mutex) return CannotStart("it cannot tell whether another setup is running", GetLastError());
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return -1;  // another setup works on this machine
  }
  HINSTANCE instance = GetModuleHandleA(NULL);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FrameWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
  wc.lpszClassName = kFrameClass;
  wc.hbrBackground = CreateSolidBrush(kGround);
  HWND window = NULL, backdrop = NULL;
  if (RegisterClassA(&wc)) {
    window = CreateWindowA(kFrameClass, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (window)
      backdrop = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, 0, 0, window,
                               NULL, instance, NULL);
    if (!backdrop) {
      if (window) DestroyWindow(window);
      UnregisterClassA(kFrameClass, instance);
    }
  }
  if (!backdrop) {
    DWORD error = GetLastError();
    if (wc.hbrBackground) DeleteObject(wc.hbrBackground);
    CloseHandle(mutex);
    return CannotStart("its window cannot be made", error);
  }
  g_frame.ground = wc.hbrBackground;
  if (wc.hCursor) SetCursor(wc.hCursor);
  g_frame.up = true;
  g_frame.mutex = mutex;
  g_frame.instance = instance;
  g_frame.window = window;
  g_frame.backdrop = backdrop;
  g_frame.commandLine = szCmdLine ? szCmdLine : "";
  return 1;
}

HWND WINAPI HwndFrame(void) {
  return g_frame.up ? g_frame.window : NULL;
}

HINSTANCE WINAPI HinstFrame(void) {
  return g_frame.up ? g_frame.instance : NULL;
}

BOOL WINAPI FSetBitmap(LPCSTR szDll, UINT idBitmap) {
  if (!g_frame.up || !szDll) return FALSE;
  HMODULE library = LoadLibraryA(szDll);
  if (!library) return FALSE;
  HBITMAP bitmap = LoadBitmapA(library, MAKEINTRESOURCEA(idBitmap));
  FreeLibrary(library);  // the bitmap does not need the library once loaded
  if (!bitmap) return FALSE;
  HBITMAP previous = reinterpret_cast<HBITMAP>(
      SendMessageA(g_frame.backdrop, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  if (previous) DeleteObject(previous);
  // The picture stands centred near the top of the screen.
  BITMAP bm;
  if (GetObjectA(bitmap, sizeof bm, &bm))
    MoveWindow(g_frame.backdrop, (GetSystemMetrics(SM_CXSCREEN) - bm.bmWidth) / 2,
               GetSystemMetrics(SM_CYSCREEN) / 10, bm.bmWidth, bm.bmHeight, TRUE);
  g_frame.bitmap = bitmap;
  return TRUE;
}

HCURSOR WINAPI HShowWaitCursor(void) {
  HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);
  if (!wait) return NULL;
  HCURSOR previous = SetCursor(wait);
  if (!previous) previous = LoadCursorA(NULL, IDC_ARROW);  // none was set: the arrow comes back
  if (previous) g_frame.cursors.insert(previous);
  return previous;
}

BOOL WINAPI FRestoreCursor(HCURSOR hcurPrev) {
  // Only a cursor that HShowWaitCursor answered and that was not restored yet.
  auto it = g_frame.cursors.find(hcurPrev);
  if (!hcurPrev || it == g_frame.cursors.end()) return FALSE;
  g_frame.cursors.erase(it);
  SetCursor(hcurPrev);
  return TRUE;
}

void WINAPI TerminateFrame(void) {
  RemoveDialogs();
  if (g_frame.installLibrary) FreeLibrary(g_frame.installLibrary);
  if (g_frame.window) DestroyWindow(g_frame.window);
  if (g_frame.up) UnregisterClassA(kFrameClass, g_frame.instance);
  if (g_frame.bitmap) DeleteObject(g_frame.bitmap);
  if (g_frame.ground) DeleteObject(g_frame.ground);
  if (g_frame.mutex) CloseHandle(g_frame.mutex);  // the next setup may start
  ForgetInf();
  ForgetSymbols();
  ForgetFrame();
}

BOOL WINAPI FInitializeInstall(HINSTANCE hinst, HWND hwndFrame) {
  if (!g_frame.up || hinst != g_frame.instance || hwndFrame != g_frame.window) return FALSE;
  if (g_frame.install) return TRUE;
  // The copy gauge and the billboards come from the dialog library: it must be there before
  // the installation starts, and stays loaded until it ends.
  HMODULE library = LoadLibraryA(DIALOG_LIBRARY);
  if (!library)
    return CannotStart("the dialog library " DIALOG_LIBRARY " cannot be loaded", GetLastError());
  g_frame.installLibrary = library;
  g_frame.install = true;
  return TRUE;
}

void WINAPI TerminateInstall(void) {
  if (g_frame.installLibrary) FreeLibrary(g_frame.installLibrary);
  g_frame.installLibrary = NULL;
  g_frame.install = false;
}

}  // extern "C"
