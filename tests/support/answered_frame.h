// A small machine opened in the test process with an answer file and a transcript, the Setup
// Toolkit's frame initialised on it: for tests that run dialogs through the toolkit.
#ifndef TESTS_SUPPORT_ANSWERED_FRAME_H
#define TESTS_SUPPORT_ANSWERED_FRAME_H

#include <gtest/gtest.h>

#include <string>

#include "setupkit/setupkit.h"
#include "test_image.h"
#include "toolkit/dialog_library.h"
#include "toolkit/toolkit_services.h"

namespace testing_support {

// The procedure the setup runs each dialog of the library with, or null.
inline const char *ProcedureOf(unsigned id) {
  static const struct {
    unsigned id;
    const char *procedure;
  } kDialogs[] = {
      {DLG_WELCOME, PROC_WELCOME},
      {DLG_QUIT, PROC_QUIT},
      {DLG_NEWER_BUILD, PROC_QUIT},
      {DLG_NOT_ADMINISTRATOR, PROC_INFO},
      {DLG_UNSUPPORTED, PROC_INFO},
      {DLG_OPTION, PROC_RADIO},
      {DLG_HELP, PROC_HELP},
      {DLG_PRINTMAN_OFFER, PROC_INFO},
      {DLG_HELP_OFFER, PROC_INFO},
      {DLG_FINISH, PROC_INFO},
      {DLG_UPGRADE_NOTICE, PROC_INFO},
      {DLG_RESTART_OFFER, PROC_INFO},
      {DLG_RESTART_FAILED, PROC_INFO},
      {DLG_SPOOLER_RESTARTED, PROC_INFO},
      {DLG_DRIVER_FILES_MISSING, PROC_INFO},
      {DLG_DISTRIBUTION_PATH, PROC_EDIT},
      {DLG_PATH_PROBLEM, PROC_INFO0},
      {DLG_ERROR, PROC_ERROR},
      {DLG_EXIT_NOTICE, PROC_INFO0},
      {DLG_WAIT_PROGMAN, PROC_MODELESS},
      {DLG_WAIT_DRIVERS, PROC_MODELESS},
      {DLG_WAIT_STOP_SPOOLER, PROC_MODELESS},
      {DLG_WAIT_START_SPOOLER, PROC_MODELESS},
  };
  for (const auto &d : kDialogs)
    if (d.id == id) return d.procedure;
  return nullptr;
}

// Runs dialog `id` as the setup does: with its procedure, and the help where the setup offers it.
inline BOOL RunLibraryDialog(unsigned id) {
  const char *procedure = ProcedureOf(id);
  bool help = id == DLG_WELCOME || id == DLG_QUIT || id == DLG_OPTION;
  return procedure && FDoDialogExt(HwndFrame(), DIALOG_LIBRARY, id, procedure, DIALOG_LIBRARY,
                                   help ? DLG_HELP : 0, help ? PROC_HELP : nullptr);
}

class AnsweredFrameTest : public ::testing::Test {
 protected:
  // Opens the machine with these answers and initialises the frame.
  void Start(const std::string &answers) {
    image_.WriteFile("answers.txt", answers);
    image_.Open("", image_.HostPath("transcript.txt"), image_.HostPath("answers.txt"));
    char commandLine[] = "";
    ASSERT_EQ(InitializeFrame(commandLine), 1);
  }
  void TearDown() override { setupkit::ResetToolkit(); }

  TestImage image_;
};

}  // namespace testing_support

#endif
