// user32 of the simulated process: message boxes and the screen's metrics. Windows and messages
// are in user32_windows.cpp, dialogs in user32_dialogs.cpp, the character-set calls in text.cpp.
#include <windows.h>

#include <string>

#include "winsim/console.h"
#include "winsim/machine.h"

namespace {

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

extern "C" {

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (DWORD err = winsim::Fault("MessageBoxA")) {
    SetLastError(err);
    return 0;
  }
  // A box needs an owner that exists (or none): IsWindow leaves the last error alone, so the
  // error is set here.
  if (hWnd && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
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

}  // extern "C"
