// Window classes, windows and their texts, posted messages, dialogs made from a library's
// templates, and the library's resources: what the frame, the dialog stack and the dialog
// procedures rely on.
#include <windows.h>

#include <string>

#include "tests/conformance/conformance.h"
#include "tests/conformance/resources/cfres_ids.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

const char kClass[] = "NorvaleConformanceWindow";
LPVOID g_createParam = nullptr;
LPARAM g_initParam = 0;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    g_createParam = reinterpret_cast<const CREATESTRUCTA *>(lParam)->lpCreateParams;
    // A window made with 1 as its parameter refuses to be made.
    return g_createParam == reinterpret_cast<LPVOID>(1) ? -1 : 0;
  }
  if (msg == WM_APP) return static_cast<LRESULT>(wParam + lParam);
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Ends at once, with whether its owner was enabled while it was set up.
INT_PTR CALLBACK OwnerStateProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) EndDialog(dlg, IsWindowEnabled(GetParent(dlg)) ? 1 : 0);
  return msg == WM_INITDIALOG;
}

INT_PTR CALLBACK KeepOpenProc(HWND, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) g_initParam = lParam;
  return FALSE;
}

HWND Make(const char *cls, const char *text, DWORD style, HWND parent, int id, void *param) {
  return CreateWindowA(cls, text, style, 0, 0, 100, 40, parent,
                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                       param);
}

// A text call's count and the text it left: "3 \"Hel\"".
std::string Got(long long count, const char *buffer) {
  return std::to_string(count) + " \"" + buffer + "\"";
}

std::string Text(HWND hwnd, int size) {
  char buffer[64] = "untouched";
  int n = GetWindowTextA(hwnd, buffer, size);
  return Got(n, buffer);
}

std::string ItemText(HWND dlg, int id, int size) {
  char buffer[64] = "untouched";
  UINT n = GetDlgItemTextA(dlg, id, buffer, size);
  return Got(n, buffer);
}

std::string Checked(HWND dlg, int first, int last) {
  std::string out;
  for (int id = first; id <= last; ++id)
    out += (out.empty() ? "" : " ") + std::to_string(IsDlgButtonChecked(dlg, id));
  return out;
}

// Posted messages of the window in WM_APP..WM_APP+15, taken in order: "8001:4 8002:5".
std::string Drain(HWND hwnd, UINT first, UINT last) {
  std::string out;
  MSG msg;
  while (PeekMessageA(&msg, hwnd, first, last, PM_REMOVE))
    out +=
        (out.empty() ? "" : " ") + std::to_string(msg.message) + ":" + std::to_string(msg.wParam);
  return out;
}

void WindowChecks(HWND owner) {
  Check("CreateWindowExA create parameter", g_createParam == reinterpret_cast<LPVOID>(0x1234),
        true);
  Check("CreateWindowExA refused by WM_CREATE",
        Make(kClass, "", 0, nullptr, 0, reinterpret_cast<void *>(1)) != nullptr, false);
  ArmLastError();
  Check("CreateWindowExA unknown class",
        Outcome(Make("NorvaleNoSuchClass", "", 0, nullptr, 0, nullptr) != nullptr), "0 err=1407");

  ArmLastError();
  Check("CreateWindowExA child without parent",
        Outcome(Make("STATIC", "", WS_CHILD, nullptr, 1, nullptr) != nullptr), "0 err=1406");

  // Texts: counts without the terminator, cut to the buffer.
  Check("GetWindowTextA", Text(owner, 64), "5 \"Owner\"");
  Check("GetWindowTextA short buffer", Text(owner, 4), "3 \"Own\"");
  Check("WM_GETTEXTLENGTH", SendMessageA(owner, WM_GETTEXTLENGTH, 0, 0), 5);
  char none[8] = "kept";
  Check("WM_GETTEXT no room",
        Got(SendMessageA(owner, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(none)), none),
        "0 \"kept\"");
  HWND edit = Make("EDIT", "abcdef", WS_CHILD, owner, 9, nullptr);
  char cut[8] = "";
  Check("WM_GETTEXT edit cut",
        Got(SendMessageA(edit, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(cut)), cut), "3 \"abc\"");
  SetWindowTextA(edit, "");
  Check("GetWindowTextA empty", Text(edit, 64), "0 \"\"");

  // A child's parent is its parent; a pop-up's is its owner; an overlapped window has none.
  HWND popup = Make(kClass, "", WS_POPUP, owner, 0, nullptr);
  HWND overlapped = Make(kClass, "", WS_OVERLAPPED, owner, 0, nullptr);
  Check("GetParent child", GetParent(edit) == owner, true);
  Check("GetParent owned pop-up", GetParent(popup) == owner, true);
  Check("GetParent owned overlapped", GetParent(overlapped) == nullptr, true);

  // ShowWindow and EnableWindow answer the state before the call.
  Check("ShowWindow show", ShowWindow(popup, SW_SHOW) != 0, false);
  Check("ShowWindow hide shown", ShowWindow(popup, SW_HIDE) != 0, true);
  Check("EnableWindow disable", EnableWindow(popup, FALSE) != 0, false);
  Check("EnableWindow enable", EnableWindow(popup, TRUE) != 0, true);
  DestroyWindow(popup);
  DestroyWindow(overlapped);

  // Posted messages come in order, a range picks among them, a thread's are no window's.
  Check("SendMessageA", SendMessageA(owner, WM_APP, 2, 3), 5);
  PostMessageA(owner, WM_APP + 1, 4, 0);
  PostMessageA(owner, WM_APP + 2, 5, 0);
  PostMessageA(owner, WM_APP, 6, 7);
  MSG msg = {};
  Check("PeekMessageA no remove",
        PeekMessageA(&msg, owner, WM_APP, WM_APP + 15, PM_NOREMOVE) && msg.message == WM_APP + 1,
        true);
  Check("PeekMessageA range", Drain(owner, WM_APP + 2, WM_APP + 2), "32770:5");
  Check("PeekMessageA DispatchMessageA",
        PeekMessageA(&msg, owner, WM_APP, WM_APP, PM_REMOVE) ? DispatchMessageA(&msg) : -1, 13);
  Check("PeekMessageA rest", Drain(owner, WM_APP, WM_APP + 15), "32769:4");
  PostMessageA(nullptr, WM_APP + 3, 8, 0);
  Check("PeekMessageA thread message for window", Drain(owner, WM_APP, WM_APP + 15), "");
  Check("PeekMessageA thread message",
        PeekMessageA(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_REMOVE) && !msg.hwnd &&
            msg.wParam == 8,
        true);
  Check("DispatchMessageA thread message", DispatchMessageA(&msg), 0);
  Check("TranslateMessage not a key", TranslateMessage(&msg) != 0, false);
}

void DialogChecks(HMODULE library, HWND owner) {
  DLGPROC endAtInit = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void *>(GetProcAddress(library, "CfEndAtInitProc")));
  Check("GetProcAddress dialog procedure", endAtInit != nullptr, true);
  if (endAtInit) {
    Check("DialogBoxParamA ended at WM_INITDIALOG",
          DialogBoxParamA(library, MAKEINTRESOURCEA(CFR_DIALOG), owner, endAtInit, 42), 42);
  }
  Check("DialogBoxParamA owner disabled at WM_INITDIALOG",
        DialogBoxParamA(library, MAKEINTRESOURCEA(CFR_DIALOG), owner, OwnerStateProc, 0), 0);
  Check("DialogBoxParamA owner enabled after", IsWindowEnabled(owner) != 0, true);
  ArmLastError();
  Check("DialogBoxParamA missing template",
        Outcome(DialogBoxParamA(library, MAKEINTRESOURCEA(CFR_MISSING), owner, KeepOpenProc, 0)),
        "-1 err=1814");
  ArmLastError();
  Check("CreateDialogParamA missing template",
        Outcome(CreateDialogParamA(library, MAKEINTRESOURCEA(CFR_MISSING), owner, KeepOpenProc,
                                   0) != nullptr),
        "0 err=1814");

  HWND dlg = CreateDialogParamA(library, MAKEINTRESOURCEA(CFR_DIALOG), owner, KeepOpenProc, 7);
  Check("CreateDialogParamA", dlg != nullptr, true);
  if (!dlg) return;
  Check("CreateDialogParamA WM_INITDIALOG parameter", g_initParam, 7);
  Check("CreateDialogParamA caption", Text(dlg, 64), "11 \"Conformance\"");
  Check("GetParent dialog", GetParent(dlg) == owner, true);
  Check("GetDlgItemTextA short buffer", ItemText(dlg, CFR_STATIC, 7), "6 \"Static\"");
  ArmLastError();
  Check("GetDlgItem missing", Outcome(GetDlgItem(dlg, CFR_MISSING) != nullptr), "0 err=1421");
  Check("SetDlgItemTextA", SetDlgItemTextA(dlg, CFR_EDIT, "abcdef") != 0, true);
  Check("GetDlgItemTextA edit cut", ItemText(dlg, CFR_EDIT, 4), "3 \"abc\"");
  Check("SendDlgItemMessageA WM_GETTEXTLENGTH",
        SendDlgItemMessageA(dlg, CFR_EDIT, WM_GETTEXTLENGTH, 0, 0), 6);
  Check("SetDlgItemTextA missing", SetDlgItemTextA(dlg, CFR_MISSING, "x") != 0, false);

  Check("CheckRadioButton", CheckRadioButton(dlg, CFR_RADIO1, CFR_RADIO3, CFR_RADIO2) != 0, true);
  Check("IsDlgButtonChecked group", Checked(dlg, CFR_RADIO1, CFR_RADIO3), "0 1 0");
  CheckRadioButton(dlg, CFR_RADIO1, CFR_RADIO3, CFR_RADIO3);
  Check("CheckRadioButton again", Checked(dlg, CFR_RADIO1, CFR_RADIO3), "0 0 1");
  SendDlgItemMessageA(dlg, CFR_CHECK, BM_SETCHECK, BST_CHECKED, 0);
  Check("BM_GETCHECK", SendDlgItemMessageA(dlg, CFR_CHECK, BM_GETCHECK, 0, 0), BST_CHECKED);

  // Ending a modeless dialog hides it; its owner destroys it.
  Check("EndDialog modeless", EndDialog(dlg, 5) != 0, true);
  Check("EndDialog modeless kept", IsWindow(dlg) != 0 && !IsWindowVisible(dlg), true);
  Check("DestroyWindow dialog", DestroyWindow(dlg) != 0 && !IsWindow(dlg), true);
  ArmLastError();
  Check("EndDialog destroyed", Outcome(EndDialog(dlg, 5)), "0 err=1400");
}

void ResourceChecks(HMODULE library) {
  Check("FindResourceA dialog",
        FindResourceA(library, MAKEINTRESOURCEA(CFR_DIALOG), RT_DIALOG) != nullptr, true);
  ArmLastError();
  Check("FindResourceA missing name",
        Outcome(FindResourceA(library, MAKEINTRESOURCEA(CFR_MISSING), RT_DIALOG) != nullptr),
        "0 err=1814");
  ArmLastError();
  Check("FindResourceA missing type",
        Outcome(FindResourceA(library, MAKEINTRESOURCEA(CFR_DIALOG), RT_STRING) != nullptr),
        "0 err=1813");

  HBITMAP bitmap = LoadBitmapA(library, MAKEINTRESOURCEA(CFR_BITMAP));
  Check("LoadBitmapA", bitmap != nullptr, true);
  BITMAP bm = {};
  Check("GetObjectA bitmap", GetObjectA(bitmap, sizeof bm, &bm), static_cast<int>(sizeof(BITMAP)));
  Check("GetObjectA bitmap size", std::to_string(bm.bmWidth) + "x" + std::to_string(bm.bmHeight),
        "12x5");
  Check("DeleteObject bitmap", DeleteObject(bitmap) != 0, true);
  Check("GetObjectA deleted", GetObjectA(bitmap, sizeof bm, &bm), 0);
  ArmLastError();
  Check("LoadBitmapA missing",
        Outcome(LoadBitmapA(library, MAKEINTRESOURCEA(CFR_MISSING)) != nullptr), "0 err=1814");

  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW), wait = LoadCursorA(nullptr, IDC_WAIT);
  Check("LoadCursorA system", arrow && wait && arrow != wait, true);
  SetCursor(arrow);
  Check("SetCursor previous", SetCursor(wait) == arrow, true);
  SetCursor(arrow);
  ArmLastError();
  Check("LoadCursorA library without cursors",
        Outcome(LoadCursorA(library, MAKEINTRESOURCEA(CFR_MISSING)) != nullptr), "0 err=1813");
}

}  // namespace

CONFORMANCE_AREA(user) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = self;
  wc.lpszClassName = kClass;
  Check("RegisterClassA", RegisterClassA(&wc) != 0, true);
  ArmLastError();
  Check("RegisterClassA again", Outcome(RegisterClassA(&wc)), "0 err=1410");

  HWND owner =
      Make(kClass, "Owner", WS_OVERLAPPEDWINDOW, nullptr, 0, reinterpret_cast<void *>(0x1234));
  Check("CreateWindowExA", owner != nullptr, true);
  if (owner) {
    WindowChecks(owner);
    HMODULE library = LoadLibraryA("cfres.dll");
    Check("LoadLibraryA cfres", library != nullptr, true);
    if (library) {
      DialogChecks(library, owner);
      ResourceChecks(library);
      FreeLibrary(library);
    }
    ArmLastError();
    Check("UnregisterClassA with windows", Outcome(UnregisterClassA(kClass, self)), "0 err=1412");
    Check("DestroyWindow", DestroyWindow(owner) != 0 && !IsWindow(owner), true);
    ArmLastError();
    Check("DestroyWindow destroyed", Outcome(DestroyWindow(owner)), "0 err=1400");
    ArmLastError();
    char buffer[8];
    Check("GetWindowTextA destroyed", Outcome(GetWindowTextA(owner, buffer, sizeof buffer)),
          "0 err=1400");
    ArmLastError();
    Check("CreateWindowExA destroyed parent",
          Outcome(Make("STATIC", "", WS_CHILD, owner, 1, nullptr) != nullptr), "0 err=1400");
    ArmLastError();
    Check("MessageBoxA destroyed owner", Outcome(MessageBoxA(owner, "text", "caption", MB_OK)),
          "0 err=1400");
    ArmLastError();
    Check("PostMessageA destroyed", Outcome(PostMessageA(owner, WM_APP, 0, 0)), "0 err=1400");
  }
  Check("UnregisterClassA", UnregisterClassA(kClass, self) != 0, true);
  ArmLastError();
  Check("UnregisterClassA unknown", Outcome(UnregisterClassA(kClass, self)), "0 err=1411");
}
