// What the parts of user32 share: the windows of the process and the calls between the window
// manager (user32_windows.cpp) and the dialog manager (user32_dialogs.cpp).
#ifndef WINSIM_USER32_INTERNAL_H
#define WINSIM_USER32_INTERNAL_H

#include <windows.h>

#include <string>
#include <vector>

#include "winsim/user32_state.h"

namespace winsim {

enum class WindowKind { kPlain, kClass, kDialog, kButton, kStatic, kEdit, kProgress };

struct Window {
  HWND hwnd = nullptr;
  WindowKind kind = WindowKind::kPlain;
  std::string windowClass;
  std::string text;
  uint32_t style = 0;
  int id = 0;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // pop-up windows (dialogs)
  std::vector<HWND> children;
  int x = 0, y = 0, cx = 0, cy = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  bool visible = false, maximized = false, minimized = false;
  int lastShowCommand = -1;
  bool enabled = true;
  bool destroying = false;
  WindowHandler handler;  // a test's stand-in for a window procedure

  // dialogs
  DLGPROC dialogProc = nullptr;
  bool modeless = false;
  bool ended = false;
  INT_PTR result = 0;
  int shownOrder = 0;  // modeless dialogs: the latest shown is the one the status line shows

  // controls
  UINT check = BST_UNCHECKED;
  DWORD selStart = 0, selEnd = 0;
  int rangeLow = 0, rangeHigh = 100, position = 0, step = 10;
  HBITMAP image = nullptr;
};

// The window behind a handle, or null with ERROR_INVALID_WINDOW_HANDLE.
Window *FindWindowRecord(HWND hwnd);
// Creates a window record (no messages sent); the caller fills it in.
Window *NewWindowRecord(WindowKind kind);

// CreateWindowExA and DestroyWindow as the dialog manager uses them: its own calls are not the
// program's, so they take no injected faults.
HWND MakeWindow(DWORD exStyle, LPCSTR windowClass, LPCSTR text, DWORD style, int x, int y, int cx,
                int cy, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
void DestroyWindowTree(HWND hwnd);

// The modeless dialogs of the process.
std::vector<Window *> ModelessDialogs();

// The dialog manager's part of the window manager's work.
LRESULT DialogWindowProc(Window *w, UINT msg, WPARAM wParam, LPARAM lParam);
void DialogShown(Window *w, bool wasVisible);  // ShowWindow of a modeless dialog
void DialogDestroyed(Window *w);               // about to go
void ControlChanged(Window *ctl);              // text, check or position of a control changed
void BitmapSet(Window *ctl);                   // a bitmap static got an image
void ForgetDialogState();                      // a new process
// Ctrl-C while a dialog with a Cancel button is the status line: the message of that click.
bool TakeInterrupt(MSG *msg);

// Lines of text that show a bitmap in the terminal (two pixel rows to a line), or none.
std::vector<std::string> BitmapLines(HBITMAP bitmap);

}  // namespace winsim

#endif
