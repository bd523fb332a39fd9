// user32 of the simulated process: message boxes, window titles and show states, and the
// thread's message queue. The character-set calls are in text.cpp.
#include <windows.h>

#include <deque>
#include <map>
#include <string>

#include "winsim/console.h"
#include "winsim/machine.h"
#include "winsim/user32_state.h"

namespace {

struct Window {
  std::string title;
  bool visible = false;
  bool maximized = false;
  bool minimized = false;
  int lastShowCommand = -1;
  winsim::WindowHandler handler;
};

std::map<HWND, Window> g_windows;
std::deque<MSG> g_queue;
bool g_quitPending = false;
int g_quitCode = 0;
uintptr_t g_nextWindow = 0x10010;

const UINT kKeyUp = 0x0101, kSysKeyDown = 0x0104, kSysKeyUp = 0x0105;
HWND const kThreadOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

// A new machine is a new process: no windows, an empty queue.
void ResetUser32State() {
  g_windows.clear();
  g_queue.clear();
  g_quitPending = false;
  g_quitCode = 0;
}
[[maybe_unused]] const bool g_hooked = (winsim::AddOpenHook(&ResetUser32State), true);

// The frame and the dialogs are made by stand-ins that have no CreateWindow, so any handle
// other than null is taken as a window of this process when first used.
Window *Find(HWND hwnd) {
  if (!hwnd) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return &g_windows[hwnd];
}

bool HwndMatches(HWND filter, HWND hwnd) {
  if (!filter) return true;
  if (filter == kThreadOnly) return hwnd == nullptr;
  return hwnd == filter;
}

// Both bounds zero: every message. A lower bound above the upper one selects the messages
// outside the gap, as Windows does.
bool InRange(UINT message, UINT low, UINT high) {
  if (low == 0 && high == 0) return true;
  return low <= high ? message >= low && message <= high : message >= low || message <= high;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  return msg;
}

// The button that a box of this type offers first, which is what Enter chooses.
int FirstButton(UINT type) {
  switch (type & 0x0F) {
    case 2:
      return 3;  // abort, retry, ignore: IDABORT
    case 3:
    case 4:
      return IDYES;
    case 5:
      return 4;  // retry, cancel: IDRETRY
    default:
      return IDOK;
  }
}

}  // namespace

namespace winsim {

HWND NewWindow(const std::string &title) {
  HWND hwnd;
  do {
    g_nextWindow += 2;
    hwnd = reinterpret_cast<HWND>(g_nextWindow);
  } while (g_windows.count(hwnd));
  g_windows[hwnd].title = title;
  return hwnd;
}

WindowState QueryWindow(HWND hwnd) {
  WindowState state;
  auto it = g_windows.find(hwnd);
  if (it == g_windows.end()) return state;
  state.exists = true;
  state.title = it->second.title;
  state.visible = it->second.visible;
  state.maximized = it->second.maximized;
  state.minimized = it->second.minimized;
  state.lastShowCommand = it->second.lastShowCommand;
  return state;
}

bool WindowMaximized(HWND hwnd) {
  return QueryWindow(hwnd).maximized;
}

void SetWindowHandler(HWND hwnd, WindowHandler handler) {
  if (Window *w = Find(hwnd)) w->handler = std::move(handler);
}

size_t QueuedMessageCount() {
  return g_queue.size();
}
bool QuitPending() {
  return g_quitPending;
}

}  // namespace winsim

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  (void)hWnd;
  if (DWORD err = winsim::Fault("MessageBoxA")) {
    SetLastError(err);
    return 0;
  }
  std::string caption = lpCaption ? lpCaption : "Error";  // the caption Windows gives a null
  std::string text = lpText ? lpText : "";
  winsim::Transcript("msgbox " + winsim::Quote(caption) + " " + winsim::Quote(text));
  if (winsim::Interactive()) {
    winsim::ConsoleBox(caption, {text});
    std::string line;
    winsim::ConsoleReadLine("Press Enter to continue. ", &line);
  }
  return FirstButton(uType);
}

int WINAPI GetSystemMetrics(int nIndex) {
  // The screen of the simulated machine: a Super VGA display of 1024 x 768. Metrics it does
  // not keep answer 0, as Windows does for an index it does not know.
  switch (nIndex) {
    case SM_CXSCREEN:
      return 1024;
    case SM_CYSCREEN:
      return 768;
    default:
      return 0;
  }
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (DWORD err = winsim::Fault("SetWindowTextA")) {
    SetLastError(err);
    return FALSE;
  }
  Window *w = Find(hWnd);
  if (!w) return FALSE;
  w->title = lpString ? lpString : "";
  return TRUE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  Window *w = Find(hWnd);
  if (lpString && nMaxCount > 0) lpString[0] = '\0';
  if (!w || !lpString || nMaxCount <= 0) return 0;
  size_t n = w->title.size();
  if (n > static_cast<size_t>(nMaxCount - 1)) n = static_cast<size_t>(nMaxCount - 1);
  w->title.copy(lpString, n);
  lpString[n] = '\0';
  return static_cast<int>(n);
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window *w = Find(hWnd);
  if (!w) return FALSE;
  BOOL wasVisible = w->visible ? TRUE : FALSE;
  switch (nCmdShow) {
    case SW_HIDE:
      w->visible = false;
      break;
    case SW_SHOWMAXIMIZED:
      w->visible = true, w->maximized = true, w->minimized = false;
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case 7:   // SW_SHOWMINNOACTIVE
    case 11:  // SW_FORCEMINIMIZE
      w->visible = true, w->maximized = false, w->minimized = true;
      break;
    case SW_SHOWNORMAL:
    case 4:  // SW_SHOWNOACTIVATE
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      w->visible = true, w->maximized = false, w->minimized = false;
      break;
    case SW_SHOW:
    case 8:  // SW_SHOWNA: shown in its current placement
      w->visible = true;
      break;
    default:
      return wasVisible;
  }
  w->lastShowCommand = nCmdShow;
  return wasVisible;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (DWORD err = winsim::Fault("PostMessageA")) {
    SetLastError(err);
    return FALSE;
  }
  // A null window posts to the thread itself.
  if (hWnd && !Find(hWnd)) return FALSE;
  g_queue.push_back(MakeMessage(hWnd, Msg, wParam, lParam));
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  // Not a queued message: a flag that the queue answers once nothing else is waiting.
  g_quitPending = true;
  g_quitCode = nExitCode;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (!lpMsg) return FALSE;
  bool remove = (wRemoveMsg & PM_REMOVE) != 0;
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!HwndMatches(hWnd, it->hwnd) || !InRange(it->message, wMsgFilterMin, wMsgFilterMax))
      continue;
    *lpMsg = *it;
    if (remove) g_queue.erase(it);
    return TRUE;
  }
  // WM_QUIT is retrieved whatever the message range, but it belongs to no window.
  if (g_quitPending && HwndMatches(hWnd, nullptr)) {
    *lpMsg = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0);
    if (remove) g_quitPending = false;
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  if (!lpMsg) return FALSE;
  UINT m = lpMsg->message;
  if (m != WM_KEYDOWN && m != kKeyUp && m != kSysKeyDown && m != kSysKeyUp) return FALSE;
  if (m == WM_KEYDOWN) {
    // Keys that give a character without shift state: letters (lower case), digits, and
    // backspace, tab, enter, escape and space, whose virtual-key codes are their characters.
    WPARAM vk = lpMsg->wParam;
    WPARAM ch = 0;
    if (vk >= 'A' && vk <= 'Z')
      ch = vk + 32;
    else if ((vk >= '0' && vk <= '9') || vk == 0x08 || vk == 0x09 || vk == 0x0D || vk == 0x1B ||
             vk == 0x20)
      ch = vk;
    // The character comes next, before anything posted later.
    if (ch) g_queue.push_front(MakeMessage(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam));
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  if (!lpMsg || !lpMsg->hwnd) return 0;
  auto it = g_windows.find(lpMsg->hwnd);
  if (it == g_windows.end() || !it->second.handler) return 0;
  winsim::WindowHandler handler = it->second.handler;  // the handler may replace itself
  return handler(*lpMsg);
}

}  // extern "C"
