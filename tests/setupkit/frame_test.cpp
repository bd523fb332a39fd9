// The toolkit frame: its lock on the machine, its handles, bitmap, wait cursor and install state.
#include <gtest/gtest.h>

#include <windows.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "setupkit/setupkit.h"
#include "test_image.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"
#include "winsim/user32_state.h"

using testing_support::RunProgram;
using testing_support::TestImage;

namespace {

const std::string kLockHelper = std::string(NORVALE_BIN_DIR) + "/helper_frame_lock";

char *CommandLine(const char *text) {
  return const_cast<char *>(text);
}

// Starts the helper that brings a frame up on the image and keeps it; answers its pid once it
// has printed what InitializeFrame answered.
pid_t StartHoldingSetup(const std::string &imageDir, std::string *answer) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(kLockHelper.c_str(), kLockHelper.c_str(), imageDir.c_str(), "hold",
          static_cast<char *>(nullptr));
    _exit(127);
  }
  close(out[1]);
  answer->clear();
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') *answer += c;
  close(out[0]);
  return pid;
}

class Frame : public ::testing::Test {
 protected:
  void SetUp() override { image_.Open(); }
  void TearDown() override { setupkit::ResetToolkit(); }
  TestImage image_;
};

TEST_F(Frame, ASecondSetupOnTheMachineIsToldToEndUntilTheFirstIsGone) {
  std::string answer;
  pid_t first = StartHoldingSetup(image_.Dir(), &answer);
  ASSERT_GT(first, 0);
  ASSERT_EQ(answer, "1");

  // Here, while the other process holds the machine.
  EXPECT_EQ(InitializeFrame(CommandLine("")), -1);
  EXPECT_FALSE(setupkit::FrameUp());
  EXPECT_EQ(HwndFrame(), nullptr);

  // A killed setup leaves no lock behind.
  kill(first, SIGKILL);
  int status = 0;
  waitpid(first, &status, 0);
  ASSERT_EQ(InitializeFrame(CommandLine("")), 1);

  // Now this process holds it, and another is turned away until the frame ends.
  testing_support::RunResult second = RunProgram({kLockHelper, image_.Dir()}, {});
  EXPECT_EQ(second.out, "-1\n") << second.err;
  TerminateFrame();
  second = RunProgram({kLockHelper, image_.Dir()}, {});
  EXPECT_EQ(second.out, "1\n") << second.err;
}

TEST_F(Frame, HandlesBitmapAndInstallStateBelongToTheFrame) {
  EXPECT_EQ(HwndFrame(), nullptr);
  EXPECT_EQ(HinstFrame(), nullptr);
  EXPECT_FALSE(FSetBitmap(DIALOG_LIBRARY, FRAME_BITMAP_ID));
  EXPECT_FALSE(FInitializeInstall(nullptr, nullptr));

  ASSERT_EQ(InitializeFrame(CommandLine("/q \"C:\\my dir\"")), 1);
  EXPECT_EQ(setupkit::FrameCommandLine(), "/q \"C:\\my dir\"");
  EXPECT_EQ(InitializeFrame(CommandLine("")), 0);  // one frame per process
  HWND frame = HwndFrame();
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(HinstFrame(), nullptr);

  // The frame is a window of its own class, its backdrop a bitmap control; the help request of
  // a dialog goes to it.
  EXPECT_TRUE(SetWindowTextA(frame, "Norvale Network Printing Setup"));
  ShowWindow(frame, SW_SHOWMAXIMIZED);
  EXPECT_EQ(winsim::QueryWindow(frame).title, "Norvale Network Printing Setup");
  EXPECT_TRUE(winsim::WindowMaximized(frame));
  HWND backdrop = GetWindow(frame, GW_CHILD);
  ASSERT_NE(backdrop, nullptr);
  EXPECT_EQ(SendMessageA(backdrop, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(SendMessageA(frame, WM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(IsWindow(frame)) << "closing the frame does not end the setup";

  EXPECT_TRUE(FSetBitmap(DIALOG_LIBRARY, FRAME_BITMAP_ID));
  EXPECT_NE(SendMessageA(backdrop, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_TRUE(FSetBitmap("MSCUISTF.DLL", FRAME_BITMAP_ID));
  EXPECT_FALSE(FSetBitmap(DIALOG_LIBRARY, 2));
  EXPECT_FALSE(FSetBitmap("mscomstf.dll", FRAME_BITMAP_ID));

  EXPECT_FALSE(FInitializeInstall(HinstFrame(), nullptr));
  EXPECT_FALSE(FInitializeInstall(nullptr, frame));
  EXPECT_TRUE(FInitializeInstall(HinstFrame(), frame));
  EXPECT_TRUE(setupkit::InstallUp());
  TerminateInstall();
  EXPECT_FALSE(setupkit::InstallUp());

  TerminateFrame();
  EXPECT_EQ(HwndFrame(), nullptr);
  EXPECT_FALSE(IsWindow(frame));
  TerminateFrame();  // a second end does no harm
  ASSERT_EQ(InitializeFrame(CommandLine("")), 1) << "a frame again after the end";
}

TEST_F(Frame, OnlyAShownWaitCursorCanBeRestoredAndOnlyOnce) {
  ASSERT_EQ(InitializeFrame(CommandLine("")), 1);
  HCURSOR arrow = winsim::CurrentCursor();
  HCURSOR first = HShowWaitCursor();
  HCURSOR second = HShowWaitCursor();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(setupkit::WaitCursorCount(), 2);
  EXPECT_TRUE(FRestoreCursor(second));
  EXPECT_FALSE(FRestoreCursor(second));
  EXPECT_FALSE(FRestoreCursor(nullptr));
  EXPECT_FALSE(FRestoreCursor(reinterpret_cast<HCURSOR>(0x1234)));
  EXPECT_TRUE(FRestoreCursor(first));
  EXPECT_EQ(setupkit::WaitCursorCount(), 0);
  EXPECT_EQ(winsim::CurrentCursor(), arrow);
}

TEST(FrameFaults, FailedWindowsCallsFailTheFrameCalls) {
  TestImage image(
      "[system]\nversion = 3.50.807\n[drives]\nC = drive_c\n"
      "[faults]\nCreateMutexA#1 = 5\nCreateWindowExA#1 = 8\nRegisterClassA#2 = 8\n"
      "LoadBitmapA = 1814\nLoadLibraryA#2 = 126\nLoadCursorA#4 = 1814\n");
  image.Open();
  EXPECT_EQ(InitializeFrame(CommandLine("")), 0);  // the mutex
  EXPECT_EQ(InitializeFrame(CommandLine("")), 0);  // the window: nothing is left behind
  EXPECT_EQ(InitializeFrame(CommandLine("")), 0);  // the class
  ASSERT_EQ(InitializeFrame(CommandLine("")), 1);
  EXPECT_FALSE(FSetBitmap(DIALOG_LIBRARY, FRAME_BITMAP_ID));
  EXPECT_FALSE(FInitializeInstall(HinstFrame(), HwndFrame()));  // the dialog library
  EXPECT_EQ(HShowWaitCursor(), nullptr);
  EXPECT_EQ(setupkit::WaitCursorCount(), 0);
  setupkit::ResetToolkit();
}

TEST(ValidDir, AcceptsFullDirectoryPathsOnly) {
  TestImage image;
  image.Open();
  for (const char *good :
       {"C:", "C:\\", "C:\\x", "D:\\I386\\", "d:/i386", "E:\\a b\\c.d", "C:\\win32app\\zelpsmon"})
    EXPECT_TRUE(FValidDir(good)) << good;
  std::string longName = "C:\\" + std::string(256, 'n');
  std::string longPath = "C:";
  while (longPath.size() < 260) longPath += "\\abcdefgh";
  for (const std::string &bad :
       {std::string(""), std::string("C"), std::string("I386"), std::string("\\I386"),
        std::string("C:I386"), std::string("\\\\server\\share"), std::string("1:\\x"),
        std::string("C:\\\\x"), std::string("C:\\a\\\\"), std::string("C:\\a*b"),
        std::string("C:\\a:b"), std::string("C:\\a\"b"), std::string("C:\\ "),
        std::string("C:\\a\tb"), std::string(" C:\\x"), longName, longPath})
    EXPECT_FALSE(FValidDir(bad.c_str())) << bad;
  EXPECT_FALSE(FValidDir(nullptr));
}

TEST(ValidDir, StepsOverDoubleByteCharacters) {
  TestImage image("[system]\nversion = 3.50.807\ncodepage = 932\n[drives]\nC = drive_c\n");
  image.Open();
  // 0x95 0x5C is one character of code page 932: its second byte is not a separator.
  EXPECT_TRUE(FValidDir("C:\\\x95\x5C"));
  EXPECT_TRUE(FValidDir("C:\\a\x95\x5C\\b"));
  EXPECT_FALSE(FValidDir("C:\\a\x95"));  // a lead byte without its second byte
  TestImage western;
  western.Open();
  EXPECT_FALSE(FValidDir("C:\\\x95\x5C\x5C"));  // in 1252 that is an empty name
}

}  // namespace

namespace {

TEST(MessageBox, DoMsgBoxShowsAMessageBoxOverTheFrame) {
  TestImage image;
  image.WriteFile("answers.txt", "");
  image.Open("", image.HostPath("transcript.txt"), image.HostPath("answers.txt"));
  ASSERT_EQ(InitializeFrame(CommandLine("")), 1);
  EXPECT_EQ(DoMsgBox("Buffer Overflow", "MS-Setup Error", MB_ICONSTOP), IDOK);
  EXPECT_EQ(image.ReadFile("transcript.txt"), "msgbox \"MS-Setup Error\" \"Buffer Overflow\"\n");
  setupkit::ResetToolkit();
}

}  // namespace
