// The dialog stack behind FDoDialogExt and FKillNDialogs, answered from an answer file.
#include <gtest/gtest.h>

#include <windows.h>

#include "setupkit/setupkit.h"
#include "answered_frame.h"
#include "test_image.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

using testing_support::TestImage;

namespace {

class DialogStack : public testing_support::AnsweredFrameTest {
 protected:
  BOOL Run(UINT id, const char *proc, UINT help = 0) {
    return FDoDialogExt(HwndFrame(), DIALOG_LIBRARY, id, proc, DIALOG_LIBRARY, help,
                        help ? PROC_HELP : nullptr);
  }
  std::string Event() {
    char buf[32];
    CbGetSymbolValue(SYM_DLGEVENT, buf, sizeof buf);
    return buf;
  }
};

using Ids = std::vector<unsigned>;

TEST_F(DialogStack, RunReRunAndRemove) {
  Start("100 CONTINUE\n100 EXIT\n200 CANCEL\n");
  ASSERT_TRUE(Run(DLG_WELCOME, PROC_WELCOME, DLG_HELP));
  EXPECT_EQ(Event(), "CONTINUE");
  EXPECT_EQ(setupkit::DialogStack(), Ids{100});
  // The same dialog again is the dialog already up.
  ASSERT_TRUE(Run(DLG_WELCOME, PROC_WELCOME, DLG_HELP));
  EXPECT_EQ(Event(), "EXIT");
  EXPECT_EQ(setupkit::DialogStack(), Ids{100});
  ASSERT_TRUE(Run(DLG_QUIT, PROC_QUIT, DLG_HELP));
  EXPECT_EQ(setupkit::DialogStack(), (Ids{100, 200}));
  // A modeless dialog takes no answer and stays up.
  ASSERT_TRUE(Run(DLG_WAIT_START_SPOOLER, PROC_MODELESS));
  EXPECT_EQ(Event(), "");
  EXPECT_EQ(setupkit::DialogStack(), (Ids{100, 200, 5300}));

  // Asking to remove more than are up removes nothing.
  EXPECT_FALSE(FKillNDialogs(4));
  EXPECT_FALSE(FKillNDialogs(-2));
  EXPECT_EQ(setupkit::DialogStack().size(), 3u);
  EXPECT_TRUE(FKillNDialogs(0));
  EXPECT_TRUE(FKillNDialogs(1));
  EXPECT_EQ(setupkit::DialogStack(), (Ids{100, 200}));
  EXPECT_TRUE(FKillNDialogs(2));
  EXPECT_TRUE(setupkit::DialogStack().empty());
  EXPECT_FALSE(FKillNDialogs(1));
  EXPECT_TRUE(FKillNDialogs(-1));  // all of none

  ASSERT_TRUE(Run(DLG_WAIT_DRIVERS, PROC_MODELESS));
  ASSERT_TRUE(Run(DLG_WAIT_PROGMAN, PROC_MODELESS));
  EXPECT_TRUE(FKillNDialogs(-1));
  EXPECT_TRUE(setupkit::DialogStack().empty());

  EXPECT_EQ(image_.ReadFile("transcript.txt"),
            "dialog 100 CONTINUE\n"
            "dialog 100 EXIT\n"
            "dialog 200 CANCEL\n"
            "dialog 5300\n"
            "dialog 1800\n"
            "dialog 1700\n");
}

TEST_F(DialogStack, ADialogRunAgainWhileUpBelowAnotherComesToTheTopOnce) {
  Start("100 CONTINUE\n200 CANCEL\n100 CONTINUE\n");
  ASSERT_TRUE(Run(DLG_WELCOME, PROC_WELCOME, DLG_HELP));
  ASSERT_TRUE(Run(DLG_QUIT, PROC_QUIT, DLG_HELP));
  ASSERT_TRUE(Run(DLG_WELCOME, PROC_WELCOME, DLG_HELP));
  EXPECT_EQ(setupkit::DialogStack(), (Ids{200, 100}));
  EXPECT_TRUE(FKillNDialogs(1));
  EXPECT_EQ(setupkit::DialogStack(), Ids{200});
}

TEST_F(DialogStack, WhatTheLibraryDoesNotHoldDoesNotComeUp) {
  Start("1200 CONTINUE\n");
  // Unknown library, procedure, dialog; a dialog without the controls of its procedure; a help
  // dialog that is not there; a parent other than the frame.
  EXPECT_FALSE(FDoDialogExt(HwndFrame(), "mscuistg.dll", DLG_PRINTMAN_OFFER, PROC_INFO, nullptr, 0,
                            nullptr));
  EXPECT_FALSE(Run(DLG_PRINTMAN_OFFER, "FNoSuchDlgProc"));
  EXPECT_FALSE(Run(DLG_PRINTMAN_OFFER, "finfodlgproc"));
  EXPECT_FALSE(Run(1234, PROC_INFO));
  EXPECT_FALSE(Run(DLG_PRINTMAN_OFFER, PROC_RADIO));
  EXPECT_FALSE(Run(DLG_PRINTMAN_OFFER, PROC_EDIT));
  EXPECT_FALSE(Run(DLG_PRINTMAN_OFFER, PROC_ERROR));
  EXPECT_FALSE(Run(DLG_WELCOME, PROC_WELCOME, 901));
  EXPECT_FALSE(FDoDialogExt(HwndFrame(), DIALOG_LIBRARY, DLG_WELCOME, PROC_WELCOME, DIALOG_LIBRARY,
                            DLG_HELP, "FNoSuchDlgProc"));
  EXPECT_FALSE(
      FDoDialogExt(nullptr, DIALOG_LIBRARY, DLG_PRINTMAN_OFFER, PROC_INFO, nullptr, 0, nullptr));
  EXPECT_FALSE(
      FDoDialogExt(HwndFrame(), nullptr, DLG_PRINTMAN_OFFER, PROC_INFO, nullptr, 0, nullptr));
  EXPECT_TRUE(setupkit::DialogStack().empty());

  // None of them used an answer.
  ASSERT_TRUE(Run(DLG_PRINTMAN_OFFER, PROC_INFO));
  EXPECT_EQ(Event(), "CONTINUE");

  // Without a frame no dialog comes up.
  HWND frame = HwndFrame();
  TerminateFrame();
  EXPECT_FALSE(
      FDoDialogExt(frame, DIALOG_LIBRARY, DLG_PRINTMAN_OFFER, PROC_INFO, nullptr, 0, nullptr));
}

TEST(DialogStackFaults, FailedWindowCallsFailRunAndRemoval) {
  TestImage image(
      "[system]\nversion = 3.50.807\n[drives]\nC = drive_c\n"
      "[faults]\nDialogBoxParamA#1 = 8\nDestroyWindow#1 = 1400\n");
  image.WriteFile("answers.txt", "700 CONTINUE\n");
  image.Open("", "", image.HostPath("answers.txt"));
  char commandLine[] = "";
  ASSERT_EQ(InitializeFrame(commandLine), 1);
  ASSERT_TRUE(FDoDialogExt(HwndFrame(), DIALOG_LIBRARY, DLG_WAIT_DRIVERS, PROC_MODELESS, nullptr, 0,
                           nullptr));
  EXPECT_FALSE(
      FDoDialogExt(HwndFrame(), DIALOG_LIBRARY, DLG_FINISH, PROC_INFO, nullptr, 0, nullptr));
  EXPECT_FALSE(FKillNDialogs(1));
  EXPECT_EQ(setupkit::DialogStack(), Ids{1800});
  EXPECT_TRUE(FKillNDialogs(1));
  setupkit::ResetToolkit();
}

}  // namespace
