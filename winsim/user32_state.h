// What user32 keeps about the windows of the simulated process, for tests that check what the
// user would see: a window's title and show state, the cursor, and what the message queue holds.
#ifndef WINSIM_USER32_STATE_H
#define WINSIM_USER32_STATE_H

#include <windows.h>

#include <functional>
#include <string>

namespace winsim {

// A new window of no class, hidden, with the given title: a window whose messages a test takes
// with SetWindowHandler.
HWND NewWindow(const std::string &title);

struct WindowState {
  bool exists = false;  // user32 has seen the handle
  std::string title;
  bool visible = false;
  bool maximized = false;
  bool minimized = false;
  int lastShowCommand = -1;  // nCmdShow of the last ShowWindow, -1 when never shown
};
WindowState QueryWindow(HWND hwnd);
bool WindowMaximized(HWND hwnd);

// What DispatchMessageA hands a window's messages to (the window procedure of a stand-in's
// window). Without one, a dispatched message is answered with 0.
using WindowHandler = std::function<LRESULT(const MSG &)>;
void SetWindowHandler(HWND hwnd, WindowHandler handler);

// Messages posted and not yet removed (WM_QUIT not counted), and whether a quit is pending.
size_t QueuedMessageCount();
bool QuitPending();
// The cursor SetCursor set last.
HCURSOR CurrentCursor();

}  // namespace winsim

#endif
