// The dialog manager of user32: dialogs made from the templates of a module's resources,
// modal and modeless, and their place on the screen, which is the terminal. A modal dialog that
// its procedure has not ended once it is set up is drawn as a box (caption, static texts in
// reading order, radio buttons numbered, the edit field, push buttons by their & keys) and the
// person's choice is sent to it as the click of that control. A modeless dialog is the status
// line; one with a progress control shows its bar, and one with an enabled Cancel button
// (IDCANCEL) takes Ctrl-C as the click of that button. Bitmaps of static controls are drawn with
// half-block characters, two pixel rows to a line.
#include <windows.h>

#include <commctrl.h>

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <map>

#include "winsim/console.h"
#include "winsim/machine.h"
#include "winsim/modules.h"
#include "winsim/resources.h"
#include "winsim/user32_internal.h"

namespace winsim {
namespace {

std::map<HBITMAP, std::string> g_bitmaps;  // GDI bitmaps: their DIBs
std::map<HBRUSH, COLORREF> g_brushes;
uintptr_t g_nextBitmap = 0x0E050010;
int g_shownCounter = 0;

const DialogTemplate *FindTemplate(HINSTANCE instance, LPCSTR name) {
  const ModuleResources *resources = ModuleResourcesOf(instance);
  if (!resources) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  unsigned id = 0;
  if (IS_INTRESOURCE(name))
    id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(name));
  else if (name && name[0] == '#')
    id = static_cast<unsigned>(std::strtoul(name + 1, nullptr, 10));
  auto it = resources->dialogs.find(id);
  if (it == resources->dialogs.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return &it->second;
}

std::vector<Window *> Children(const Window *w) {
  std::vector<Window *> out;
  for (HWND c : w->children)
    if (Window *child = FindWindowRecord(c)) out.push_back(child);
  return out;
}

bool Shown(const Window *w) {
  return IsWindowVisible(w->hwnd) != FALSE;
}

UINT TypeOf(const Window *w) {
  return w->style & BS_TYPEMASK;
}
bool IsPushButton(const Window *w) {
  return w->kind == WindowKind::kButton &&
         (TypeOf(w) == BS_PUSHBUTTON || TypeOf(w) == BS_DEFPUSHBUTTON);
}
bool IsRadioButton(const Window *w) {
  return w->kind == WindowKind::kButton &&
         (TypeOf(w) == BS_AUTORADIOBUTTON || TypeOf(w) == BS_RADIOBUTTON);
}
bool IsText(const Window *w) {
  return w->kind == WindowKind::kStatic && (w->style & SS_TYPEMASK) != SS_BITMAP;
}

// A control's text without its & marks, and the key the first mark names.
std::string Label(const std::string &text, char *key = nullptr) {
  std::string out;
  char k = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != '&' && !k) k = text[i];
    }
    out += text[i];
  }
  if (!k)
    for (char c : out)
      if (std::isalnum(static_cast<unsigned char>(c))) {
        k = c;
        break;
      }
  if (key) *key = static_cast<char>(std::toupper(static_cast<unsigned char>(k)));
  return out;
}

// Static texts in reading order: by line, then from the left.
std::vector<Window *> TextsInReadingOrder(const Window *d, const Window *skip) {
  std::vector<Window *> texts;
  for (Window *c : Children(d))
    if (IsText(c) && c != skip && Shown(c) && !c->text.empty()) texts.push_back(c);
  std::stable_sort(texts.begin(), texts.end(), [](const Window *a, const Window *b) {
    return a->y != b->y ? a->y < b->y : a->x < b->x;
  });
  return texts;
}

// ---- modeless dialogs: the status line ---------------------------------------------------

std::string Bar(const Window *progress) {
  const unsigned width = 20;
  long span = progress->rangeHigh - progress->rangeLow;
  long done = progress->position - progress->rangeLow;
  unsigned percent = span > 0 ? static_cast<unsigned>(done * 100 / span) : 0;
  unsigned filled = percent * width / 100;
  return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " +
         std::to_string(percent) + "%";
}

std::string StatusText(const Window *d) {
  std::string texts;
  for (const Window *t : TextsInReadingOrder(d, nullptr))
    texts += (texts.empty() ? "" : " ") + Label(t->text);
  for (const Window *c : Children(d))
    if (c->kind == WindowKind::kProgress && Shown(c))
      return Label(d->text) + " " + Bar(c) + (texts.empty() ? "" : " " + texts);
  return "Please wait: " + texts;
}

// ---- Ctrl-C: the Cancel button of the status line's dialog --------------------------------

volatile std::sig_atomic_t g_interrupted = 0;
HWND g_cancelDialog = nullptr;  // the dialog whose Cancel Ctrl-C clicks, while the handler is in
struct sigaction g_previousAction = {};

void OnCtrlC(int) {
  g_interrupted = 1;
}

HWND CancelButton(const Window *d) {
  for (Window *c : Children(d))
    if (c->id == IDCANCEL && IsPushButton(c) && c->enabled && Shown(c)) return c->hwnd;
  return nullptr;
}

// Ctrl-C stops the process as usual, except while a dialog with a Cancel button is the status
// line: then it is that button's click.
void CatchInterrupt(const Window *dialog) {
  HWND wanted = dialog && CancelButton(dialog) ? dialog->hwnd : nullptr;
  if (wanted == g_cancelDialog) return;
  if (wanted && !g_cancelDialog) {
    struct sigaction action = {};
    action.sa_handler = OnCtrlC;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    g_interrupted = 0;
    ::sigaction(SIGINT, &action, &g_previousAction);
  } else if (!wanted) {
    ::sigaction(SIGINT, &g_previousAction, nullptr);
  }
  g_cancelDialog = wanted;
}

// The modeless dialog shown last is the one the line shows.
void RefreshStatus(const Window *going) {
  if (!Interactive()) return;
  const Window *top = nullptr;
  for (const Window *w : ModelessDialogs())
    if (w != going && w->visible && (!top || w->shownOrder > top->shownOrder)) top = w;
  CatchInterrupt(top);
  if (top)
    ConsoleStatus(StatusText(top) +
                  (CancelButton(top)
                       ? "  (Ctrl-C: " + Label(FindWindowRecord(CancelButton(top))->text) + ")"
                       : ""));
  else
    ConsoleClearStatus();
}

// ---- modal dialogs in the terminal -------------------------------------------------------

struct Screen {
  std::vector<Window *> radios, buttons;
  Window *edit = nullptr;
  Window *editLabel = nullptr;
  Window *defaultButton = nullptr;
};

Screen Collect(const Window *d) {
  Screen s;
  std::vector<Window *> kids = Children(d);
  for (size_t i = 0; i < kids.size(); ++i) {
    Window *c = kids[i];
    if (!Shown(c)) continue;
    if (IsRadioButton(c) && c->enabled) s.radios.push_back(c);
    if (IsPushButton(c) && c->enabled) {
      s.buttons.push_back(c);
      if (TypeOf(c) == BS_DEFPUSHBUTTON && !s.defaultButton) s.defaultButton = c;
    }
    if (c->kind == WindowKind::kEdit && c->enabled && !s.edit) {
      s.edit = c;
      // The static text just before a field in the template is its label.
      if (i > 0 && IsText(kids[i - 1])) s.editLabel = kids[i - 1];
    }
  }
  return s;
}

std::string Keys(const Screen &s) {
  std::string keys;
  for (const Window *b : s.buttons) {
    char key = 0;
    Label(b->text, &key);
    keys += std::string(keys.empty() ? "" : ", ") + key;
  }
  return keys;
}

std::string EditLabel(const Screen &s) {
  std::string label = s.editLabel ? Label(s.editLabel->text) : "Text";
  while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
  return label;
}

void Draw(const Window *d, const Screen &s) {
  std::vector<std::string> lines;
  for (const Window *t : TextsInReadingOrder(d, s.editLabel)) {
    if (!lines.empty()) lines.push_back("");
    lines.push_back(Label(t->text));
  }
  if (!s.radios.empty()) {
    lines.push_back("");
    for (size_t i = 0; i < s.radios.size(); ++i)
      lines.push_back(std::string(s.radios[i]->check ? "(*) " : "( ) ") + std::to_string(i + 1) +
                      ". " + Label(s.radios[i]->text));
  }
  if (s.edit) {
    lines.push_back("");
    lines.push_back(EditLabel(s) + ": " + s.edit->text);
  }
  if (!s.buttons.empty()) {
    lines.push_back("");
    std::string row;
    for (const Window *b : s.buttons) {
      char key = 0;
      std::string label = Label(b->text, &key);
      row += std::string(row.empty() ? "" : "   ") + "[" + key + "] " + label;
    }
    lines.push_back(row);
  }
  ConsoleBox(Label(d->text), lines);
}

std::string Trim(const std::string &text) {
  size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

bool Ended(HWND hDlg) {
  Window *d = FindWindowRecord(hDlg);
  return !d || d->ended;
}

// The person has gone (input ended): the dialog is closed as its close box would close it. A
// dialog that does not end then is ended with IDCANCEL, so that the run never waits forever.
void Leave(HWND hDlg, bool tell) {
  if (tell) std::printf("(input has ended: the dialog is closed)\n");
  SendMessageA(hDlg, WM_CLOSE, 0, 0);
  if (!Ended(hDlg)) EndDialog(hDlg, IDCANCEL);
}

void Click(Window *control) {
  SendMessageA(control->hwnd, BM_CLICK, 0, 0);
}

void AskInTerminal(HWND hDlg) {
  while (!Ended(hDlg)) {
    Window *d = FindWindowRecord(hDlg);
    Screen s = Collect(d);
    Draw(d, s);
    std::string reply;
    if (s.edit) {
      if (!ConsoleReadLine(EditLabel(s) + " (Enter keeps what is shown): ", &reply)) {
        Leave(hDlg, true);
        return;
      }
      if (!Trim(reply).empty()) SetWindowTextA(s.edit->hwnd, reply.c_str());
    }
    if (s.buttons.empty() && s.radios.empty()) {
      Leave(hDlg, false);  // nothing to choose: the dialog is only read
      return;
    }
    std::string keys = Keys(s);
    std::string enter = s.defaultButton ? "; Enter: " + Label(s.defaultButton->text) : "";
    std::string prompt = s.radios.empty() ? "Your choice (" + keys + enter + "): "
                                          : "Type 1-" + std::to_string(s.radios.size()) +
                                                " to choose an option, or " + keys + enter + ": ";
    for (;;) {
      if (!ConsoleReadLine(prompt, &reply)) {
        Leave(hDlg, true);
        return;
      }
      reply = Trim(reply);
      size_t n = reply.size() == 1 && reply[0] >= '1' && reply[0] <= '9'
                     ? static_cast<size_t>(reply[0] - '0')
                     : 0;
      if (n >= 1 && n <= s.radios.size()) {
        Click(s.radios[n - 1]);
        break;  // drawn again with the new choice
      }
      Window *chosen = reply.empty() ? s.defaultButton : nullptr;
      if (reply.size() == 1)
        for (Window *b : s.buttons) {
          char key = 0;
          Label(b->text, &key);
          if (key == std::toupper(static_cast<unsigned char>(reply[0]))) {
            chosen = b;
            break;
          }
        }
      if (chosen) {
        Click(chosen);
        break;  // ended, or drawn again (the help was shown over it)
      }
      std::printf("Please type one of: %s%s\n", s.radios.empty() ? "" : "a number, ", keys.c_str());
    }
  }
}

// Posted messages for the dialog or its controls are handled before anyone is asked.
void PumpDialogMessages(HWND hDlg) {
  for (bool found = true; found && !Ended(hDlg);) {
    found = false;
    Window *d = FindWindowRecord(hDlg);
    std::vector<HWND> targets = d->children;
    targets.insert(targets.begin(), hDlg);
    MSG msg;
    for (HWND h : targets)
      if (PeekMessageA(&msg, h, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        found = true;
        break;
      }
  }
}

HWND CreateFromTemplate(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param,
                        bool modeless) {
  const DialogTemplate *t = FindTemplate(instance, name);
  if (!t) return nullptr;
  if (parent && !FindWindowRecord(parent)) return nullptr;
  Window *d = NewWindowRecord(WindowKind::kDialog);
  HWND hDlg = d->hwnd;
  d->windowClass = "#32770";
  d->text = t->caption;
  d->style = t->style & ~static_cast<uint32_t>(WS_VISIBLE);
  d->owner = parent;
  d->instance = instance;
  d->dialogProc = proc;
  d->modeless = modeless;
  d->x = t->x, d->y = t->y, d->cx = t->cx, d->cy = t->cy;
  HWND focus = nullptr;
  for (const ControlTemplate &c : t->controls) {
    HWND control =
        MakeWindow(c.exStyle, c.windowClass.c_str(), c.text.c_str(), c.style, c.x, c.y, c.cx, c.cy,
                   hDlg, reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id)), instance, nullptr);
    if (!control) {
      DestroyWindowTree(hDlg);
      return nullptr;
    }
    if (!focus && (c.style & WS_TABSTOP)) focus = control;
  }
  if (SendMessageA(hDlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && focus &&
      IsWindow(focus))
    SetFocus(focus);
  if (IsWindow(hDlg) && (t->style & WS_VISIBLE) && !Ended(hDlg)) ShowWindow(hDlg, SW_SHOW);
  return hDlg;
}

}  // namespace

LRESULT DialogWindowProc(Window *w, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND hDlg = w->hwnd;
  INT_PTR handled = w->dialogProc ? w->dialogProc(hDlg, msg, wParam, lParam) : FALSE;
  if (handled || !IsWindow(hDlg)) return handled;
  // What the procedure left to the dialog manager.
  switch (msg) {
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(hDlg, IDCANCEL);
      if (cancel && IsWindowEnabled(cancel))
        SendMessageA(hDlg, WM_COMMAND, static_cast<WPARAM>(MAKELONG(IDCANCEL, BN_CLICKED)),
                     reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return DefWindowProcA(hDlg, msg, wParam, lParam);
    default:
      return 0;
  }
}

void DialogShown(Window *w, bool wasVisible) {
  // Shown again while it is the status line already: nothing changes on the screen.
  if (w->visible && wasVisible && w->shownOrder == g_shownCounter) return;
  if (w->visible) w->shownOrder = ++g_shownCounter;
  RefreshStatus(nullptr);
}

void DialogDestroyed(Window *w) {
  if (w->modeless && w->visible) RefreshStatus(w);
}

void ControlChanged(Window *ctl) {
  Window *d = ctl->parent ? FindWindowRecord(ctl->parent) : nullptr;
  if (d && d->kind == WindowKind::kDialog && d->modeless && d->visible) RefreshStatus(nullptr);
}

void BitmapSet(Window *ctl) {
  if (!Interactive() || !ctl->image || !Shown(ctl)) return;
  ConsoleClearStatus();
  std::printf("\n");
  for (const std::string &line : BitmapLines(ctl->image)) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void ForgetDialogState() {
  g_bitmaps.clear();
  g_shownCounter = 0;
  CatchInterrupt(nullptr);
}

bool TakeInterrupt(MSG *msg) {
  if (!g_interrupted || !g_cancelDialog) return false;
  g_interrupted = 0;
  Window *d = FindWindowRecord(g_cancelDialog);
  HWND cancel = d ? CancelButton(d) : nullptr;
  if (!cancel) return false;
  *msg = MSG{};
  msg->hwnd = g_cancelDialog;
  msg->message = WM_COMMAND;
  msg->wParam = static_cast<WPARAM>(MAKELONG(IDCANCEL, BN_CLICKED));
  msg->lParam = reinterpret_cast<LPARAM>(cancel);
  msg->time = GetTickCount();
  return true;
}

std::vector<std::string> BitmapLines(HBITMAP bitmap) {
  auto it = g_bitmaps.find(bitmap);
  std::vector<std::vector<bool>> rows;
  if (it == g_bitmaps.end() || !DecodeDib(it->second, &rows)) return {};
  // A picture wider than the terminal is shown at a fraction of its size: one dot for each
  // square of `scale` pixels, taken at its middle.
  const size_t kColumns = 76;
  size_t width = rows.empty() ? 0 : rows[0].size();
  size_t scale = width > kColumns ? (width + kColumns - 1) / kColumns : 1;
  std::vector<std::vector<bool>> dots;
  for (size_t y = scale / 2; y < rows.size(); y += scale) {
    dots.emplace_back();
    for (size_t x = scale / 2; x < width; x += scale) dots.back().push_back(rows[y][x]);
  }
  std::vector<std::string> lines;
  for (size_t y = 0; y < dots.size(); y += 2) {
    std::string line;
    for (size_t x = 0; x < dots[y].size(); ++x) {
      bool top = dots[y][x], bottom = y + 1 < dots.size() && dots[y + 1][x];
      line += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace winsim

using winsim::FindWindowRecord;
using winsim::Window;

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  if (DWORD err = winsim::Fault("DialogBoxParamA")) {
    SetLastError(err);
    return -1;
  }
  if (hWndParent && !FindWindowRecord(hWndParent)) return -1;
  // The owner takes no input while its modal dialog is up, from before the dialog is made: its
  // WM_INITDIALOG already finds the owner disabled.
  bool ownerWasEnabled = hWndParent && !EnableWindow(hWndParent, FALSE);
  HWND hDlg = winsim::CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc,
                                         dwInitParam, false);
  if (!hDlg) {
    if (ownerWasEnabled && IsWindow(hWndParent)) EnableWindow(hWndParent, TRUE);
    return -1;
  }
  winsim::PumpDialogMessages(hDlg);
  if (!winsim::Ended(hDlg)) {
    ShowWindow(hDlg, SW_SHOW);
    if (winsim::Interactive())
      winsim::AskInTerminal(hDlg);
    else
      winsim::Leave(hDlg, false);  // no one to ask
  }
  INT_PTR result = IDCANCEL;
  if (Window *d = FindWindowRecord(hDlg)) {
    result = d->result;
    winsim::DestroyWindowTree(hDlg);
  }
  if (ownerWasEnabled && IsWindow(hWndParent)) EnableWindow(hWndParent, TRUE);
  return result;
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  if (DWORD err = winsim::Fault("CreateDialogParamA")) {
    SetLastError(err);
    return nullptr;
  }
  return winsim::CreateFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc,
                                    dwInitParam, true);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  Window *d = FindWindowRecord(hDlg);
  if (!d) return FALSE;
  if (d->kind != winsim::WindowKind::kDialog) {
    SetLastError(ERROR_WINDOW_NOT_DIALOG);
    return FALSE;
  }
  // A modal dialog ends when its procedure returns to the dialog manager; a modeless one is
  // only hidden (its owner destroys it).
  if (!d->ended) {
    d->ended = true;
    d->result = nResult;
  }
  if (d->modeless) ShowWindow(hDlg, SW_HIDE);
  return TRUE;
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
  Window *d = FindWindowRecord(hDlg);
  if (!d || !lpMsg || !lpMsg->hwnd) return FALSE;
  Window *target = FindWindowRecord(lpMsg->hwnd);
  if (!target || (target != d && target->parent != hDlg)) return FALSE;
  DispatchMessageA(lpMsg);
  return TRUE;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName) {
  if (DWORD err = winsim::Fault("LoadBitmapA")) {
    SetLastError(err);
    return nullptr;
  }
  const winsim::ModuleResources *resources = winsim::ModuleResourcesOf(hInstance);
  if (!resources) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  auto it = IS_INTRESOURCE(lpBitmapName) ? resources->bitmaps.find(static_cast<unsigned>(
                                               reinterpret_cast<uintptr_t>(lpBitmapName)))
                                         : resources->bitmaps.end();
  if (it == resources->bitmaps.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(winsim::g_nextBitmap += 4);
  winsim::g_bitmaps[bitmap] = it->second;
  return bitmap;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  return winsim::g_bitmaps.erase(reinterpret_cast<HBITMAP>(ho)) ||
                 winsim::g_brushes.erase(reinterpret_cast<HBRUSH>(ho))
             ? TRUE
             : FALSE;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  auto it = winsim::g_bitmaps.find(reinterpret_cast<HBITMAP>(h));
  std::vector<std::vector<bool>> rows;
  if (it == winsim::g_bitmaps.end() || !winsim::DecodeDib(it->second, &rows)) return 0;
  if (!pv) return sizeof(BITMAP);
  if (c < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP bm = {};
  bm.bmWidth = rows.empty() ? 0 : static_cast<LONG>(rows[0].size());
  bm.bmHeight = static_cast<LONG>(rows.size());
  bm.bmWidthBytes = (bm.bmWidth + 15) / 16 * 2;  // a monochrome bitmap's rows, in words
  bm.bmPlanes = 1;
  bm.bmBitsPixel = 1;
  *static_cast<BITMAP *>(pv) = bm;
  return sizeof(BITMAP);
}

// Colours matter only on a screen; the terminal draws in its own. A brush is a handle that
// DeleteObject takes back.
HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  HBRUSH brush = reinterpret_cast<HBRUSH>(winsim::g_nextBitmap += 4);
  winsim::g_brushes[brush] = color;
  return brush;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  (void)hdc, (void)color;
  return 0;  // black, the colour of a new device context
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  (void)hdc, (void)color;
  return RGB(255, 255, 255);  // white, the colour of a new device context
}

}  // extern "C"
