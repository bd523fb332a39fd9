// user32 of the stand-in, checked as Windows behaves: message boxes (what the user sees and the
// transcript), window titles and show states, and the thread's message queue.
#include <gtest/gtest.h>
#include <windows.h>

#include <iostream>
#include <sstream>
#include <string>

#include "test_image.h"
#include "winsim/console.h"
#include "winsim/user32_state.h"

using testing_support::ReadHostFile;
using testing_support::TestImage;

namespace {

// An image opened with a transcript and, unless interactive, an (empty) answer file.
struct Session {
  TestImage image;
  std::string transcript;
  explicit Session(bool interactive = false, const std::string &ini = "") : image(ini) {
    transcript = image.Dir() + "/transcript.txt";
    std::string answers;
    if (!interactive) {
      answers = image.Dir() + "/answers.txt";
      testing_support::WriteHostFile(answers, "# message boxes take no answers\n");
    }
    image.Open("", transcript, answers);
  }
};

TEST(MessageBox, IsTranscribedAndAnswersOkWithoutAskingUnderAnAnswerFile) {
  Session s;
  testing::internal::CaptureStdout();
  EXPECT_EQ(MessageBoxA(nullptr, "Line \"one\"\nC:\\TEMP", "stopSpooler", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Buffer Overflow", "MS-Setup Error", MB_ICONSTOP), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadHostFile(s.transcript),
            "msgbox \"stopSpooler\" \"Line \\\"one\\\"\\nC:\\\\TEMP\"\n"
            "msgbox \"MS-Setup Error\" \"Buffer Overflow\"\n");
}

TEST(MessageBox, InteractiveBoxIsDrawnAndWaitsForEnter) {
  Session s(true);
  std::istringstream input("\nleft over\n");
  std::streambuf *saved = std::cin.rdbuf(input.rdbuf());
  testing::internal::CaptureStdout();
  int answer = MessageBoxA(nullptr, "The spooler was restarted.", "Install", MB_OK);
  std::string screen = testing::internal::GetCapturedStdout();
  std::cin.rdbuf(saved);
  EXPECT_EQ(answer, IDOK);
  EXPECT_NE(screen.find("| Install "), std::string::npos);
  EXPECT_NE(screen.find("| The spooler was restarted. "), std::string::npos);
  std::string rest;
  std::getline(input, rest);
  EXPECT_EQ(rest, "left over");  // exactly one line was taken
  EXPECT_EQ(ReadHostFile(s.transcript), "msgbox \"Install\" \"The spooler was restarted.\"\n");
}

TEST(Console, AnsiTextsShowInTheTerminalAndTypedTextComesBack) {
  Session s(true);
  std::istringstream input(
      "D:\\\xC3\x9C"
      "ber\\\xE2\x82\xAC\xE4\xB8\x80\n");
  std::streambuf *saved = std::cin.rdbuf(input.rdbuf());
  testing::internal::CaptureStdout();
  winsim::ConsoleBox("Caf\xE9", {"R\xE9sum\xE9 " + std::string(80, 'x'), "a\tb"});
  std::string typed;
  bool got = winsim::ConsoleReadLine("Path: ", &typed);
  std::string screen = testing::internal::GetCapturedStdout();
  std::cin.rdbuf(saved);
  EXPECT_NE(screen.find("| Caf\xC3\xA9 "), std::string::npos);
  EXPECT_NE(screen.find("| R\xC3\xA9sum\xC3\xA9 "), std::string::npos);
  // Every line of the box is equally wide on the screen.
  std::istringstream lines(screen);
  std::string line;
  int boxLines = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || (line[0] != '|' && line[0] != '+')) continue;
    size_t columns = 0;
    for (char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_EQ(columns, 72u) << line;
    ++boxLines;
  }
  EXPECT_EQ(boxLines, 8);  // three borders, the title, three lines of the long text, one more
  ASSERT_TRUE(got);
  // U with diaeresis and the euro sign have 1252 bytes; the CJK character has none.
  EXPECT_EQ(typed,
            "D:\\\xDC"
            "ber\\\x80?");
}

TEST(Windows, TitleAndShowStateAreKeptPerWindow) {
  Session s;
  HWND frame = winsim::NewWindow("");
  HWND other = winsim::NewWindow("Other");
  ASSERT_NE(frame, other);

  EXPECT_FALSE(ShowWindow(frame, SW_SHOWMAXIMIZED));  // was hidden
  EXPECT_TRUE(winsim::WindowMaximized(frame));
  EXPECT_FALSE(winsim::WindowMaximized(other));
  EXPECT_TRUE(SetWindowTextA(frame, "Norvale Network Printing Setup"));
  char title[64];
  EXPECT_EQ(GetWindowTextA(frame, title, sizeof title), 30);
  EXPECT_STREQ(title, "Norvale Network Printing Setup");
  EXPECT_EQ(GetWindowTextA(frame, title, 8), 7);  // cut to the buffer, terminated
  EXPECT_STREQ(title, "Norvale");
  EXPECT_EQ(GetWindowTextA(other, title, sizeof title), 5);

  EXPECT_TRUE(ShowWindow(frame, SW_HIDE));  // was visible
  EXPECT_FALSE(winsim::QueryWindow(frame).visible);
  EXPECT_FALSE(ShowWindow(frame, SW_SHOW));
  EXPECT_TRUE(winsim::WindowMaximized(frame));  // shown again in its placement
  EXPECT_TRUE(ShowWindow(frame, SW_RESTORE));
  EXPECT_FALSE(winsim::WindowMaximized(frame));

  EXPECT_FALSE(SetWindowTextA(nullptr, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(ShowWindow(nullptr, SW_SHOW));
}

TEST(MessageQueue, PeekHonoursRemovalAndFilters) {
  Session s;
  HWND a = winsim::NewWindow("a"), b = winsim::NewWindow("b");
  ASSERT_TRUE(PostMessageA(a, WM_USER + 1, 1, 0));
  ASSERT_TRUE(PostMessageA(b, WM_USER + 2, 2, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0));
  MSG msg;

  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  EXPECT_EQ(winsim::QueuedMessageCount(), 3u);

  ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));  // by window
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(msg.hwnd, b);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));  // by range
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 3, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, QuitComesAfterPostedMessagesWithItsExitCode) {
  Session s;
  HWND w = winsim::NewWindow("w");
  PostQuitMessage(25);
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  // The quit is seen whatever the range asked for, but only once the queue is empty.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 25u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&msg, w, 0, 0, PM_REMOVE));  // it belongs to no window
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, PumpLoopDispatchesTranslatesAndStopsAtQuit) {
  Session s;
  HWND w = winsim::NewWindow("dialog");
  std::string seen;
  winsim::SetWindowHandler(w, [&](const MSG &m) -> LRESULT {
    seen += m.message == WM_CHAR ? "char:" + std::string(1, static_cast<char>(m.wParam)) + " "
                                 : std::to_string(m.message) + " ";
    if (m.message == WM_CLOSE) PostQuitMessage(0);
    return 0;
  });
  PostMessageA(w, WM_KEYDOWN, 'N', 0);
  PostMessageA(w, WM_CLOSE, 0, 0);
  PostMessageA(w, WM_USER, 0, 0);

  // The loop the setup runs after each dialog.
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EXPECT_TRUE(quit);
  EXPECT_EQ(seen, "256 char:n 16 1024 ");
  EXPECT_EQ(winsim::QueuedMessageCount(), 0u);
}

TEST(MessageQueue, ANewProcessStartsEmpty) {
  {
    Session s;
    PostMessageA(nullptr, WM_USER, 0, 0);
    PostQuitMessage(1);
  }
  Session s;
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
