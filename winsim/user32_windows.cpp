// The window manager of user32: window classes, windows and their tree, messages sent and
// posted, the controls that dialog templates use (buttons, static texts, edit fields, the
// progress control), focus, enabling and the cursor.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>

#include "winsim/machine.h"
#include "winsim/user32_internal.h"

namespace winsim {
namespace {

struct WindowClass {
  std::string name;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HCURSOR cursor = nullptr;
};

std::map<HWND, std::unique_ptr<Window>> g_windows;
std::vector<WindowClass> g_classes;
std::deque<MSG> g_queue;
bool g_quitPending = false;
int g_quitCode = 0;
uintptr_t g_nextWindow = 0x10010;
HWND g_focus = nullptr;
HCURSOR g_cursor = nullptr;
ATOM g_nextAtom = 0xC000;

const UINT kKeyUp = 0x0101, kSysKeyDown = 0x0104, kSysKeyUp = 0x0105;
HWND const kThreadOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
// The system cursors, shared by every process as on Windows.
HCURSOR const kArrow = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x10003));
HCURSOR const kWait = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x10005));

// A new machine is a new process: no classes, windows or messages, no cursor.
void ResetUser32State() {
  g_windows.clear();
  g_classes.clear();
  g_queue.clear();
  g_quitPending = false;
  g_quitCode = 0;
  g_focus = nullptr;
  g_cursor = nullptr;
  ForgetDialogState();
}
[[maybe_unused]] const bool g_hooked = (AddOpenHook(&ResetUser32State), true);

WindowKind BuiltInKind(const std::string &name) {
  if (EqualNoCase(name, "BUTTON")) return WindowKind::kButton;
  if (EqualNoCase(name, "STATIC")) return WindowKind::kStatic;
  if (EqualNoCase(name, "EDIT")) return WindowKind::kEdit;
  if (EqualNoCase(name, PROGRESS_CLASSA)) return WindowKind::kProgress;
  if (name == "#32770") return WindowKind::kDialog;
  return WindowKind::kPlain;
}

WindowClass *FindClass(const std::string &name) {
  for (WindowClass &c : g_classes)
    if (EqualNoCase(c.name, name)) return &c;
  return nullptr;
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

LRESULT CopyTextOut(const std::string &text, WPARAM size, LPARAM buffer) {
  char *out = reinterpret_cast<char *>(buffer);
  if (!out || size == 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<LRESULT>(n);
}

UINT ButtonType(const Window *w) {
  return w->style & BS_TYPEMASK;
}
bool IsRadio(const Window *w) {
  return w->kind == WindowKind::kButton &&
         (ButtonType(w) == BS_AUTORADIOBUTTON || ButtonType(w) == BS_RADIOBUTTON);
}

// An automatic radio button that is clicked is checked, and the others of its group (the
// siblings from the last WS_GROUP before it to the next) are cleared.
void CheckInGroup(Window *button) {
  Window *parent = FindWindowRecord(button->parent);
  if (!parent) return;
  const std::vector<HWND> &kids = parent->children;
  size_t at = std::find(kids.begin(), kids.end(), button->hwnd) - kids.begin();
  size_t first = at;
  while (first > 0 && !(g_windows[kids[first]]->style & WS_GROUP)) --first;
  size_t last = at + 1;
  while (last < kids.size() && !(g_windows[kids[last]]->style & WS_GROUP)) ++last;
  for (size_t i = first; i < last; ++i) {
    Window *other = g_windows[kids[i]].get();
    if (IsRadio(other) && ButtonType(other) == BS_AUTORADIOBUTTON && other != button)
      SendMessageA(other->hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageA(button->hwnd, BM_SETCHECK, BST_CHECKED, 0);
}

LRESULT ControlProc(Window *w, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (w->kind) {
    case WindowKind::kButton:
      switch (msg) {
        case BM_GETCHECK:
          return w->check;
        case BM_SETCHECK:
          w->check = static_cast<UINT>(wParam);
          ControlChanged(w);
          return 0;
        case BM_CLICK:
          if (!w->enabled) return 0;
          if (ButtonType(w) == BS_AUTORADIOBUTTON) CheckInGroup(w);
          if (ButtonType(w) == BS_AUTOCHECKBOX)
            SendMessageA(w->hwnd, BM_SETCHECK, w->check ? BST_UNCHECKED : BST_CHECKED, 0);
          if (w->parent)
            SendMessageA(w->parent, WM_COMMAND, static_cast<WPARAM>(MAKELONG(w->id, BN_CLICKED)),
                         reinterpret_cast<LPARAM>(w->hwnd));
          return 0;
      }
      break;
    case WindowKind::kEdit:
      switch (msg) {
        case EM_SETSEL: {
          // -1 as the start takes the selection away; -1 as the end means the end of the text.
          DWORD len = static_cast<DWORD>(w->text.size());
          long start = static_cast<long>(static_cast<int>(wParam));
          long end = static_cast<long>(static_cast<int>(lParam));
          if (start < 0) {
            w->selStart = w->selEnd = len;
            return 0;
          }
          if (end < 0 || static_cast<DWORD>(end) > len) end = static_cast<long>(len);
          if (static_cast<DWORD>(start) > len) start = static_cast<long>(len);
          w->selStart = static_cast<DWORD>(std::min(start, end));
          w->selEnd = static_cast<DWORD>(std::max(start, end));
          return 0;
        }
        case EM_GETSEL:
          if (wParam) *reinterpret_cast<DWORD *>(wParam) = w->selStart;
          if (lParam) *reinterpret_cast<DWORD *>(lParam) = w->selEnd;
          return MAKELONG(w->selStart, w->selEnd);
        case EM_LIMITTEXT:
          return 0;
        case WM_SETTEXT:
          DefWindowProcA(w->hwnd, msg, wParam, lParam);
          w->selStart = w->selEnd = 0;
          return TRUE;
      }
      break;
    case WindowKind::kStatic:
      if (msg == STM_SETIMAGE && wParam == IMAGE_BITMAP) {
        HBITMAP previous = w->image;
        w->image = reinterpret_cast<HBITMAP>(lParam);
        if ((w->style & SS_TYPEMASK) == SS_BITMAP) BitmapSet(w);
        return reinterpret_cast<LRESULT>(previous);
      }
      if (msg == STM_GETIMAGE) return reinterpret_cast<LRESULT>(w->image);
      break;
    case WindowKind::kProgress: {
      int previous = w->position;
      auto clamp = [w](int pos) { return std::max(w->rangeLow, std::min(w->rangeHigh, pos)); };
      switch (msg) {
        case PBM_SETRANGE: {
          LRESULT old = MAKELONG(w->rangeLow, w->rangeHigh);
          w->rangeLow = LOWORD(lParam);
          w->rangeHigh = HIWORD(lParam);
          w->position = clamp(w->position);
          ControlChanged(w);
          return old;
        }
        case PBM_SETRANGE32: {
          LRESULT old = MAKELONG(w->rangeLow, w->rangeHigh);
          w->rangeLow = static_cast<int>(wParam);
          w->rangeHigh = static_cast<int>(lParam);
          w->position = clamp(w->position);
          ControlChanged(w);
          return old;
        }
        case PBM_SETPOS:
          w->position = clamp(static_cast<int>(wParam));
          ControlChanged(w);
          return previous;
        case PBM_DELTAPOS:
          w->position = clamp(w->position + static_cast<int>(wParam));
          ControlChanged(w);
          return previous;
        case PBM_SETSTEP: {
          int old = w->step;
          w->step = static_cast<int>(wParam);
          return old;
        }
        case PBM_STEPIT:
          // Stepping past the end starts again from the beginning.
          w->position += w->step;
          if (w->position > w->rangeHigh) w->position = w->rangeLow + (w->position - w->rangeHigh);
          ControlChanged(w);
          return previous;
        case PBM_GETPOS:
          return w->position;
      }
      break;
    }
    default:
      break;
  }
  LRESULT r = DefWindowProcA(w->hwnd, msg, wParam, lParam);
  if (msg == WM_SETTEXT) ControlChanged(w);
  return r;
}

void Destroy(HWND hwnd) {
  auto it = g_windows.find(hwnd);
  if (it == g_windows.end()) return;
  Window *w = it->second.get();
  if (w->destroying) return;  // its WM_DESTROY asked for it again
  w->destroying = true;
  // Owned windows go first, then the window itself is told, then its children.
  std::vector<HWND> owned;
  for (const auto &entry : g_windows)
    if (entry.second->owner == hwnd) owned.push_back(entry.first);
  for (HWND o : owned) Destroy(o);
  if (w->kind == WindowKind::kDialog) DialogDestroyed(w);
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children = w->children;
  for (HWND c : children) Destroy(c);
  if (Window *parent = w->parent ? g_windows[w->parent].get() : nullptr) {
    auto &kids = parent->children;
    kids.erase(std::remove(kids.begin(), kids.end(), hwnd), kids.end());
  }
  if (g_focus == hwnd) g_focus = nullptr;
  // What was posted to it goes with it.
  g_queue.erase(std::remove_if(g_queue.begin(), g_queue.end(),
                               [hwnd](const MSG &m) { return m.hwnd == hwnd; }),
                g_queue.end());
  g_windows.erase(hwnd);
}

}  // namespace

Window *FindWindowRecord(HWND hwnd) {
  auto it = hwnd ? g_windows.find(hwnd) : g_windows.end();
  if (it == g_windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

Window *NewWindowRecord(WindowKind kind) {
  HWND hwnd;
  do {
    g_nextWindow += 2;
    hwnd = reinterpret_cast<HWND>(g_nextWindow);
  } while (g_windows.count(hwnd));
  auto w = std::make_unique<Window>();
  w->hwnd = hwnd;
  w->kind = kind;
  Window *raw = w.get();
  g_windows[hwnd] = std::move(w);
  return raw;
}

std::vector<Window *> ModelessDialogs() {
  std::vector<Window *> out;
  for (const auto &entry : g_windows)
    if (entry.second->kind == WindowKind::kDialog && entry.second->modeless)
      out.push_back(entry.second.get());
  return out;
}

HWND NewWindow(const std::string &title) {
  Window *w = NewWindowRecord(WindowKind::kPlain);
  w->text = title;
  return w->hwnd;
}

WindowState QueryWindow(HWND hwnd) {
  WindowState state;
  auto it = g_windows.find(hwnd);
  if (it == g_windows.end()) return state;
  const Window &w = *it->second;
  state.exists = true;
  state.title = w.text;
  state.visible = w.visible;
  state.maximized = w.maximized;
  state.minimized = w.minimized;
  state.lastShowCommand = w.lastShowCommand;
  return state;
}

bool WindowMaximized(HWND hwnd) {
  return QueryWindow(hwnd).maximized;
}

void SetWindowHandler(HWND hwnd, WindowHandler handler) {
  if (Window *w = FindWindowRecord(hwnd)) w->handler = std::move(handler);
}

size_t QueuedMessageCount() {
  return g_queue.size();
}
bool QuitPending() {
  return g_quitPending;
}
HCURSOR CurrentCursor() {
  return g_cursor;
}

}  // namespace winsim

using winsim::FindWindowRecord;
using winsim::Window;
using winsim::WindowKind;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA *lpWndClass) {
  if (DWORD err = winsim::Fault("RegisterClassA")) {
    SetLastError(err);
    return 0;
  }
  if (!lpWndClass || !lpWndClass->lpszClassName || !*lpWndClass->lpszClassName ||
      !lpWndClass->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (winsim::FindClass(lpWndClass->lpszClassName) ||
      winsim::BuiltInKind(lpWndClass->lpszClassName) != WindowKind::kPlain) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  winsim::WindowClass c;
  c.name = lpWndClass->lpszClassName;
  c.proc = lpWndClass->lpfnWndProc;
  c.instance = lpWndClass->hInstance;
  c.cursor = lpWndClass->hCursor;
  winsim::g_classes.push_back(c);
  return winsim::g_nextAtom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance) {
  (void)hInstance;
  for (auto it = winsim::g_classes.begin(); it != winsim::g_classes.end(); ++it)
    if (lpClassName && winsim::EqualNoCase(it->name, lpClassName)) {
      for (const auto &entry : winsim::g_windows)
        if (entry.second->kind == WindowKind::kClass &&
            winsim::EqualNoCase(entry.second->windowClass, lpClassName)) {
          SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
          return FALSE;
        }
      winsim::g_classes.erase(it);
      return TRUE;
    }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
  if (DWORD err = winsim::Fault("CreateWindowExA")) {
    SetLastError(err);
    return nullptr;
  }
  return winsim::MakeWindow(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                            hWndParent, hMenu, hInstance, lpParam);
}

}  // extern "C"

namespace winsim {

HWND MakeWindow(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                LPVOID lpParam) {
  if (!lpClassName) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  winsim::WindowClass *registered = winsim::FindClass(lpClassName);
  WindowKind kind = registered ? WindowKind::kClass : winsim::BuiltInKind(lpClassName);
  if (kind == WindowKind::kPlain) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Window *parent = nullptr;
  if (hWndParent && !(parent = FindWindowRecord(hWndParent))) return nullptr;
  if ((dwStyle & WS_CHILD) && !parent) {
    SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD: a child needs its parent
    return nullptr;
  }
  Window *w = winsim::NewWindowRecord(kind);
  HWND hwnd = w->hwnd;
  w->windowClass = registered ? registered->name : lpClassName;
  w->proc = registered ? registered->proc : nullptr;
  w->text = lpWindowName ? lpWindowName : "";
  w->style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
  w->x = X, w->y = Y, w->cx = nWidth, w->cy = nHeight;
  w->instance = hInstance;
  w->enabled = !(dwStyle & WS_DISABLED);
  if (dwStyle & WS_CHILD) {
    w->parent = hWndParent;
    w->id = static_cast<int>(reinterpret_cast<intptr_t>(hMenu));
    parent->children.push_back(hwnd);
  } else {
    w->owner = hWndParent;
  }
  CREATESTRUCTA cs{};
  cs.lpCreateParams = lpParam;
  cs.hInstance = hInstance;
  cs.hMenu = hMenu;
  cs.hwndParent = hWndParent;
  cs.cx = nWidth, cs.cy = nHeight, cs.x = X, cs.y = Y;
  cs.style = static_cast<LONG>(dwStyle);
  cs.lpszName = lpWindowName;
  cs.lpszClass = lpClassName;
  cs.dwExStyle = dwExStyle;
  if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    winsim::Destroy(hwnd);  // the window procedure refused the window
    return nullptr;
  }
  if (!FindWindowRecord(hwnd)) return nullptr;  // destroyed while being created
  if (dwStyle & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

void DestroyWindowTree(HWND hwnd) {
  Destroy(hwnd);
}

}  // namespace winsim

extern "C" {

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *w = FindWindowRecord(hWnd);
  if (!w) return 0;
  switch (Msg) {
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char *>(lParam) : "";
      return TRUE;
    case WM_GETTEXT:
      return winsim::CopyTextOut(w->text, wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    default:
      return 0;
  }
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  if (DWORD err = winsim::Fault("DestroyWindow")) {
    SetLastError(err);
    return FALSE;
  }
  if (!FindWindowRecord(hWnd)) return FALSE;
  winsim::Destroy(hWnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  return hWnd && winsim::g_windows.count(hWnd) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  Window *w = FindWindowRecord(hWnd);
  if (!w) return 0;
  if (w->handler) {
    winsim::WindowHandler handler = w->handler;  // the handler may replace itself
    return handler(winsim::MakeMessage(hWnd, Msg, wParam, lParam));
  }
  switch (w->kind) {
    case WindowKind::kClass:
      return w->proc(hWnd, Msg, wParam, lParam);
    case WindowKind::kDialog:
      return winsim::DialogWindowProc(w, Msg, wParam, lParam);
    case WindowKind::kPlain:
      return DefWindowProcA(hWnd, Msg, wParam, lParam);
    default:
      return winsim::ControlProc(w, Msg, wParam, lParam);
  }
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (DWORD err = winsim::Fault("PostMessageA")) {
    SetLastError(err);
    return FALSE;
  }
  // A null window posts to the thread itself.
  if (hWnd && !FindWindowRecord(hWnd)) return FALSE;
  winsim::g_queue.push_back(winsim::MakeMessage(hWnd, Msg, wParam, lParam));
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  // Not a queued message: a flag that the queue answers once nothing else is waiting.
  winsim::g_quitPending = true;
  winsim::g_quitCode = nExitCode;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (!lpMsg) return FALSE;
  bool remove = (wRemoveMsg & PM_REMOVE) != 0;
  MSG interrupt;
  if (winsim::TakeInterrupt(&interrupt)) winsim::g_queue.push_back(interrupt);
  for (auto it = winsim::g_queue.begin(); it != winsim::g_queue.end(); ++it) {
    if (!winsim::HwndMatches(hWnd, it->hwnd) ||
        !winsim::InRange(it->message, wMsgFilterMin, wMsgFilterMax))
      continue;
    *lpMsg = *it;
    if (remove) winsim::g_queue.erase(it);
    return TRUE;
  }
  // WM_QUIT is retrieved whatever the message range, but it belongs to no window.
  if (winsim::g_quitPending && winsim::HwndMatches(hWnd, nullptr)) {
    *lpMsg = winsim::MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(winsim::g_quitCode), 0);
    if (remove) winsim::g_quitPending = false;
    return TRUE;
  }
  return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *lpMsg) {
  if (!lpMsg) return FALSE;
  UINT m = lpMsg->message;
  if (m != WM_KEYDOWN && m != winsim::kKeyUp && m != winsim::kSysKeyDown && m != winsim::kSysKeyUp)
    return FALSE;
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
    if (ch)
      winsim::g_queue.push_front(winsim::MakeMessage(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam));
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *lpMsg) {
  if (!lpMsg || !lpMsg->hwnd || !winsim::g_windows.count(lpMsg->hwnd)) return 0;
  return SendMessageA(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

HWND WINAPI GetParent(HWND hWnd) {
  Window *w = FindWindowRecord(hWnd);
  if (!w) return nullptr;
  // A child's parent; a pop-up window's owner. An overlapped window has no parent, whatever
  // owns it.
  if (w->parent) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  Window *w = FindWindowRecord(hWnd);
  if (!w) return nullptr;
  switch (uCmd) {
    case GW_CHILD:
      return w->children.empty() ? nullptr : w->children.front();
    case GW_OWNER:
      return w->owner;
    case GW_HWNDFIRST:
    case GW_HWNDNEXT: {
      if (!w->parent) return nullptr;  // top-level order is not kept
      const auto &kids = winsim::g_windows[w->parent]->children;
      if (uCmd == GW_HWNDFIRST) return kids.front();
      auto it = std::find(kids.begin(), kids.end(), hWnd);
      return it + 1 == kids.end() ? nullptr : *(it + 1);
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  Window *w = FindWindowRecord(hDlg);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (winsim::g_windows[c]->id == nIDDlgItem) return c;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  Window *w = FindWindowRecord(hWnd);
  return w && w->parent ? w->id : 0;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (DWORD err = winsim::Fault("SetWindowTextA")) {
    SetLastError(err);
    return FALSE;
  }
  if (!FindWindowRecord(hWnd)) return FALSE;
  return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : ""))
             ? TRUE
             : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (lpString && nMaxCount > 0) lpString[0] = '\0';
  if (!FindWindowRecord(hWnd) || !lpString || nMaxCount <= 0) return 0;
  return static_cast<int>(SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                       reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextA(item, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  if (lpString && cchMax > 0) lpString[0] = '\0';
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? static_cast<UINT>(GetWindowTextA(item, lpString, cchMax)) : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SendMessageA(item, Msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
  Window *w = FindWindowRecord(hDlg);
  if (!w) return FALSE;
  // Every button of the range present in the dialog is set; ids it lacks are passed over.
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) {
    int id = winsim::g_windows[c]->id;
    if (id >= nIDFirstButton && id <= nIDLastButton)
      SendMessageA(c, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  (void)bRepaint;
  Window *w = FindWindowRecord(hWnd);
  if (!w) return FALSE;
  w->x = X, w->y = Y, w->cx = nWidth, w->cy = nHeight;
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  Window *w = FindWindowRecord(hWnd);
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
  if (w->kind == WindowKind::kDialog && w->modeless) winsim::DialogShown(w, wasVisible != FALSE);
  if (w->parent) winsim::ControlChanged(w);
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  for (Window *w = winsim::g_windows.count(hWnd) ? winsim::g_windows[hWnd].get() : nullptr; w;
       w = w->parent ? winsim::g_windows[w->parent].get() : nullptr)
    if (!w->visible) return FALSE;
  return winsim::g_windows.count(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  Window *w = FindWindowRecord(hWnd);
  if (!w) return FALSE;
  BOOL wasDisabled = w->enabled ? FALSE : TRUE;
  if (w->enabled != (bEnable != FALSE)) {
    w->enabled = bEnable != FALSE;
    SendMessageA(hWnd, WM_ENABLE, static_cast<WPARAM>(bEnable != FALSE), 0);
    if (w->parent) winsim::ControlChanged(w);
  }
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  Window *w = FindWindowRecord(hWnd);
  return w && w->enabled ? TRUE : FALSE;
}

HWND WINAPI SetFocus(HWND hWnd) {
  if (hWnd && !FindWindowRecord(hWnd)) return nullptr;
  HWND previous = winsim::g_focus;
  winsim::g_focus = hWnd;
  if (hWnd) SendMessageA(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (DWORD err = winsim::Fault("LoadCursorA")) {
    SetLastError(err);
    return nullptr;
  }
  // Only the system's cursors: no module of the process holds cursor resources, so a module's
  // cursor is a resource type it lacks.
  if (hInstance) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (lpCursorName == IDC_ARROW) return winsim::kArrow;
  if (lpCursorName == IDC_WAIT) return winsim::kWait;
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  HCURSOR previous = winsim::g_cursor;
  winsim::g_cursor = hCursor;
  return previous;
}

}  // extern "C"
