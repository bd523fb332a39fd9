// user32's windows and dialogs and the resources of a linked-in module, checked as Windows
// behaves: window classes and the window tree, the controls of dialog templates, modal and
// modeless dialogs, and what the terminal shows of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <signal.h>

#include <csignal>
#include <iostream>
#include <sstream>
#include <string>

#include "test_image.h"
#include "winsim/modules.h"
#include "winsim/user32_state.h"

using testing_support::TestImage;

namespace {

const char kScript[] =
    "#include <windows.h>\n"
    "#define IDC_NOTE 100\n"
    "#define IDC_FIRST 110\n"
    "#define IDC_PATH 120\n"
    "#define IDC_BAR 130\n"
    "7 BITMAP \"picture.bmp\"\n"
    "10 DIALOG 0, 0, 200, 100\n"
    "STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION\n"
    "CAPTION \"Choose\"\n"
    "BEGIN\n"
    "  LTEXT \"Second line\", -1, 10, 30, 180, 8\n"
    "  LTEXT \"First line with \"\"quotes\"\" and C:\\\\DIR\", IDC_NOTE, 10, 10, 180, 8\n"
    "  AUTORADIOBUTTON \"&Left\", IDC_FIRST, 10, 40, 80, 10, WS_GROUP\n"
    "  AUTORADIOBUTTON \"&Right\", IDC_FIRST + 1, 10, 50, 80, 10\n"
    "  LTEXT \"&Folder:\", -1, 10, 62, 30, 8\n"
    "  EDITTEXT IDC_PATH, 40, 60, 150, 12, ES_AUTOHSCROLL | NOT WS_BORDER\n"
    "  DEFPUSHBUTTON \"&Go\", IDOK, 40, 80, 50, 14\n"
    "  PUSHBUTTON \"&Stop\", IDCANCEL, 100, 80, 50, 14\n"
    "END\n"
    "11 DIALOG 0, 0, 200, 40\n"
    "STYLE WS_POPUP | WS_CAPTION\n"
    "CAPTION \"Copying\"\n"
    "BEGIN\n"
    "  LTEXT \"a.dll\", IDC_NOTE, 10, 4, 180, 8\n"
    "  CONTROL \"\", IDC_BAR, \"msctls_progress32\", WS_BORDER, 10, 14, 180, 10\n"
    "  PUSHBUTTON \"Cancel\", IDCANCEL, 75, 26, 50, 12\n"
    "END\n";

// A 1-bit bitmap, 2 x 2: the top row black, the bottom row white.
const unsigned char kPicture[] = {
    'B',  'M', 70, 0, 0,   0,   0,   0, 0, 0, 62, 0, 0, 0,                    // file header
    40,   0,   0,  0, 2,   0,   0,   0, 2, 0, 0,  0, 1, 0, 1, 0, 0, 0, 0, 0,  // info header
    8,    0,   0,  0, 0,   0,   0,   0, 0, 0, 0,  0, 2, 0, 0, 0, 2, 0, 0, 0,  //
    0,    0,   0,  0, 255, 255, 255, 0,                                       // black, white
    0xC0, 0,   0,  0, 0,   0,   0,   0};                                      // bottom row, top row

// The procedure of dialog 10: ends with the id of the button pressed, after noting the radio
// button checked and the path.
std::string g_seen;
INT_PTR CALLBACK TestDlgProc(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    g_seen = "init:" + std::to_string(lParam);
    CheckRadioButton(hDlg, 110, 111, 110);
    SetDlgItemTextA(hDlg, 120, "C:\\OLD");
    if (lParam == 99) EndDialog(hDlg, 42);
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    char path[64];
    GetDlgItemTextA(hDlg, 120, path, sizeof path);
    g_seen += " radio:" + std::to_string(IsDlgButtonChecked(hDlg, 111) ? 2 : 1) + " path:" + path;
    EndDialog(hDlg, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

const winsim::LinkedFile kFiles[] = {
    {"test.rc", reinterpret_cast<const unsigned char *>(kScript), sizeof kScript - 1},
    {"picture.bmp", kPicture, sizeof kPicture},
};
const winsim::LinkedExport kExports[] = {
    {"TestDlgProc", reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&TestDlgProc))}};
const winsim::LinkedModule kModule = {"testdlg.dll", kExports, 1, "test.rc", kFiles, 2};
[[maybe_unused]] const bool g_registered = winsim::RegisterLinkedModule(&kModule);

struct Session {
  TestImage image;
  std::string transcript;
  explicit Session(bool interactive) {
    transcript = image.Dir() + "/transcript.txt";
    std::string answers;
    if (!interactive) {
      answers = image.Dir() + "/answers.txt";
      testing_support::WriteHostFile(answers, "");
    }
    image.Open("", transcript, answers);
  }
};

// Runs dialog 10 with `typed` as the person's input; answers the dialog's result and the screen.
INT_PTR RunTyped(HMODULE module, const std::string &typed, std::string *screen, LPARAM param = 0) {
  std::istringstream input(typed);
  std::streambuf *saved = std::cin.rdbuf(input.rdbuf());
  testing::internal::CaptureStdout();
  INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(10), nullptr, TestDlgProc, param);
  *screen = testing::internal::GetCapturedStdout();
  std::cin.rdbuf(saved);
  return result;
}

TEST(Windows, ClassesTreeAndDestruction) {
  Session s(false);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "TestFrame";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND frame = CreateWindowA("testframe", "Frame", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                             nullptr, nullptr, nullptr);
  ASSERT_NE(frame, nullptr);
  HWND a = CreateWindowA("STATIC", "a", WS_CHILD, 0, 0, 1, 1, frame, (HMENU)5, nullptr, nullptr);
  HWND b = CreateWindowA("BUTTON", "b", WS_CHILD, 0, 0, 1, 1, frame, (HMENU)6, nullptr, nullptr);
  EXPECT_EQ(GetWindow(frame, GW_CHILD), a);
  EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetDlgItem(frame, 6), b);
  EXPECT_EQ(GetDlgCtrlID(b), 6);
  // Destroying a window takes its children with it.
  EXPECT_TRUE(DestroyWindow(frame));
  for (HWND gone : {frame, a, b}) EXPECT_FALSE(IsWindow(gone));
  EXPECT_TRUE(UnregisterClassA("TestFrame", nullptr));
}

TEST(Controls, ButtonsEditFieldsAndProgressBars) {
  Session s(false);
  HWND parent = winsim::NewWindow("parent");
  auto make = [&](const char *cls, DWORD style, int id) {
    return CreateWindowA(cls, "", WS_CHILD | style, 0, 0, 1, 1, parent, (HMENU)(intptr_t)id,
                         nullptr, nullptr);
  };
  HWND r1 = make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 1);
  HWND r2 = make("BUTTON", BS_AUTORADIOBUTTON, 2);
  HWND other = make("BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, 3);
  HWND edit = make("EDIT", 0, 4);
  HWND bar = make(PROGRESS_CLASSA, 0, 5);
  std::string commands;
  winsim::SetWindowHandler(parent, [&](const MSG &m) -> LRESULT {
    if (m.message == WM_COMMAND) commands += std::to_string(LOWORD(m.wParam)) + " ";
    return 0;
  });

  // A click checks an automatic radio button and clears the others of its group only.
  SendMessageA(other, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_TRUE(CheckRadioButton(parent, 1, 2, 1));
  SendMessageA(r2, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(parent, 1), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(parent, 2), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(parent, 3), static_cast<UINT>(BST_CHECKED));
  EnableWindow(r1, FALSE);
  SendMessageA(r1, BM_CLICK, 0, 0);  // a disabled button takes no click
  EXPECT_EQ(IsDlgButtonChecked(parent, 2), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(commands, "2 ");

  // Texts are cut to the buffer and terminated; the selection is clamped to the text.
  EXPECT_TRUE(SetDlgItemTextA(parent, 4, "C:\\TEMP"));
  char buf[5];
  EXPECT_EQ(GetDlgItemTextA(parent, 4, buf, sizeof buf), 4u);
  EXPECT_STREQ(buf, "C:\\T");
  EXPECT_EQ(GetDlgItemTextA(parent, 99, buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "");
  SendMessageA(edit, EM_SETSEL, 0, -1);
  EXPECT_EQ(SendMessageA(edit, EM_GETSEL, 0, 0), MAKELONG(0, 7));
  SendMessageA(edit, EM_SETSEL, 9, 2);
  EXPECT_EQ(SendMessageA(edit, EM_GETSEL, 0, 0), MAKELONG(2, 7));

  // The progress control answers the previous value and keeps its position in its range.
  EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE, 0, MAKELONG(0, 200)), MAKELONG(0, 100));
  EXPECT_EQ(SendDlgItemMessageA(parent, 5, PBM_SETPOS, 150, 0), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 300, 0), 150);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 200);
  EXPECT_EQ(SendDlgItemMessageA(parent, 99, PBM_GETPOS, 0, 0), 0);
}

TEST(Dialogs, TemplatesResourcesAndTheirFaults) {
  Session s(false);
  EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
  HMODULE module = LoadLibraryA("TESTDLG");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "TestDlgProc"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "testdlgproc"), nullptr);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(10), RT_DIALOG), nullptr);
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(12), RT_DIALOG), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(1), RT_VERSION), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));

  HBITMAP picture = LoadBitmapA(module, MAKEINTRESOURCEA(7));
  ASSERT_NE(picture, nullptr);
  EXPECT_TRUE(DeleteObject(picture));
  EXPECT_FALSE(DeleteObject(picture));
  EXPECT_EQ(LoadBitmapA(module, MAKEINTRESOURCEA(8)), nullptr);

  EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(12), nullptr, TestDlgProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  // Ended while it is set up: it returns at once with that result, asking no one.
  std::string screen;
  EXPECT_EQ(RunTyped(module, "", &screen, 99), 42);
  EXPECT_EQ(g_seen, "init:99");
  EXPECT_EQ(screen, "");
  // Not ended, and no one to ask: closed as its close box closes it (IDCANCEL).
  EXPECT_EQ(RunTyped(module, "", &screen, 1), IDCANCEL);
  EXPECT_EQ(g_seen, "init:1 radio:1 path:C:\\OLD");
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(10), RT_DIALOG), nullptr) << "unloaded";
}

TEST(Dialogs, APersonAnswersAModalDialogInTheTerminal) {
  Session s(true);
  HMODULE module = LoadLibraryA("testdlg.dll");
  const struct {
    const char *typed;
    INT_PTR result;
    const char *seen;
  } cases[] = {
      {"\n2\nE:\\NEW\ns\n", IDCANCEL, "init:0 radio:2 path:E:\\NEW"},  // radio, path, a key
      {"\n\n", IDOK, "init:0 radio:1 path:C:\\OLD"},      // Enter keeps the path, chooses Go
      {"\nq\ng\n", IDOK, "init:0 radio:1 path:C:\\OLD"},  // a key no button has is refused
      {"", IDCANCEL, "init:0 radio:1 path:C:\\OLD"},      // the person has gone
  };
  for (const auto &c : cases) {
    std::string screen;
    EXPECT_EQ(RunTyped(module, c.typed, &screen), c.result) << c.typed;
    EXPECT_EQ(g_seen, c.seen) << c.typed;
    if (c.result == IDOK && std::string(c.typed) == "\n\n") {
      // Caption, texts in reading order, radio buttons, the field and its label, the buttons.
      for (const char *shown :
           {"| Choose ", "| First line with \"quotes\" and C:\\DIR", "| Second line", "(*) 1. Left",
            "( ) 2. Right", "| Folder: C:\\OLD", "[G] Go   [S] Stop",
            "Type 1-2 to choose an option, or G, S; Enter: Go: "})
        EXPECT_NE(screen.find(shown), std::string::npos) << shown << "\n" << screen;
      EXPECT_LT(screen.find("First line"), screen.find("Second line"));
    }
  }
  std::string screen;
  RunTyped(module, "\nq\ng\n", &screen);
  EXPECT_NE(screen.find("Please type one of: a number, G, S"), std::string::npos);
  RunTyped(module, "", &screen);
  EXPECT_NE(screen.find("(input has ended: the dialog is closed)"), std::string::npos);
  FreeLibrary(module);
}

TEST(Dialogs, AModelessDialogIsTheStatusLine) {
  Session s(true);
  HMODULE module = LoadLibraryA("testdlg.dll");
  testing::internal::CaptureStdout();
  HWND gauge = CreateDialogParamA(module, MAKEINTRESOURCEA(11), nullptr, nullptr, 0);
  ASSERT_NE(gauge, nullptr);
  EXPECT_FALSE(IsWindowVisible(gauge)) << "shown only when asked";
  ShowWindow(gauge, SW_SHOW);
  ShowWindow(gauge, SW_SHOW);            // already the status line: not drawn again
  SetDlgItemTextA(gauge, 100, "a.dll");  // nor for a change that changes nothing
  SendDlgItemMessageA(gauge, 130, PBM_SETPOS, 50, 0);
  SetDlgItemTextA(gauge, 100, "b.dll");
  // Ctrl-C is the click of its Cancel button, found among the thread's messages.
  std::raise(SIGINT);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, gauge);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(MAKELONG(IDCANCEL, BN_CLICKED)));
  DestroyWindow(gauge);
  struct sigaction now = {};
  ::sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL) << "Ctrl-C ends the process again";
  std::string screen = testing::internal::GetCapturedStdout();
  EXPECT_NE(screen.find("Copying [....................] 0% a.dll  (Ctrl-C: Cancel)"),
            std::string::npos)
      << screen;
  EXPECT_EQ(screen.find("] 0% a.dll", screen.find("] 0% a.dll") + 1), std::string::npos);
  EXPECT_NE(screen.find("Copying [##########..........] 50% a.dll"), std::string::npos);
  EXPECT_NE(screen.find("Copying [##########..........] 50% b.dll"), std::string::npos);
  FreeLibrary(module);
}

TEST(Dialogs, EndDialogIsDialogMessageAndFocusBelongToTheirWindows) {
  Session s(false);
  HMODULE module = LoadLibraryA("testdlg.dll");
  HWND gauge = CreateDialogParamA(module, MAKEINTRESOURCEA(11), nullptr, nullptr, 0);
  ASSERT_NE(gauge, nullptr);
  HWND plain = winsim::NewWindow("plain");
  EXPECT_FALSE(EndDialog(plain, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINDOW_NOT_DIALOG));
  // A message for one of its controls is the dialog's: dispatched, and answered TRUE.
  HWND bar = GetDlgItem(gauge, 130);
  MSG msg = {};
  msg.hwnd = bar;
  msg.message = PBM_SETPOS;
  msg.wParam = 30;
  EXPECT_TRUE(IsDialogMessageA(gauge, &msg));
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 30);
  msg.hwnd = plain;
  EXPECT_FALSE(IsDialogMessageA(gauge, &msg));
  EXPECT_EQ(SetFocus(bar), nullptr);
  EXPECT_EQ(SetFocus(plain), bar);
  // A modeless dialog that is ended is hidden, not destroyed: its owner destroys it.
  ShowWindow(gauge, SW_SHOW);
  EXPECT_TRUE(EndDialog(gauge, 5));
  EXPECT_TRUE(IsWindow(gauge));
  EXPECT_FALSE(IsWindowVisible(gauge));
  EXPECT_TRUE(DestroyWindow(gauge));
  FreeLibrary(module);
}

TEST(Mutex, ANamedMutexExistsWhileAHandleIsOpen) {
  Session s(false);
  SetLastError(5);
  HANDLE first = CreateMutexA(nullptr, TRUE, "Setup");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), 0u) << "a new mutex clears the last error";
  HANDLE second = CreateMutexA(nullptr, FALSE, "Setup");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  HANDLE opened = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Setup");
  EXPECT_NE(opened, nullptr);
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "setup"), nullptr) << "names keep their case";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(ReleaseMutex(first));
  EXPECT_FALSE(ReleaseMutex(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  for (HANDLE h : {first, second, opened}) EXPECT_TRUE(CloseHandle(h));
  HANDLE again = CreateMutexA(nullptr, FALSE, "Setup");
  EXPECT_EQ(GetLastError(), 0u) << "gone with its last handle";
  CloseHandle(again);
}

}  // namespace
