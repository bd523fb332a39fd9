// The dialogs shown in the terminal and answered there, by a person typing on standard input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "test_image.h"

using testing_support::TestImage;

namespace {

const std::string kHelper = std::string(NORVALE_BIN_DIR) + "/helper_dialogs";

struct TerminalRun {
  int status = -1;
  std::string out;
  std::string transcript;
  std::string recording;  // what WINSIM_RECORD received
};

// Runs the dialogs with `typed` as everything the person types; the recording file holds
// `earlierRecording` before the run.
TerminalRun Type(const std::string &typed, const std::vector<std::string> &steps,
                 const std::string &earlierRecording = "") {
  TestImage image;
  std::string outPath = image.HostPath("out.txt");
  std::string transcript = image.HostPath("transcript.txt");
  std::string recording = image.HostPath("recording.txt");
  if (!earlierRecording.empty()) image.WriteFile("recording.txt", earlierRecording);
  int in[2];
  if (pipe(in) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    close(in[0]);
    close(in[1]);
    if (!freopen(outPath.c_str(), "w", stdout)) _exit(127);
    setenv("WINSIM_MACHINE", image.Dir().c_str(), 1);
    setenv("WINSIM_TRANSCRIPT", transcript.c_str(), 1);
    setenv("WINSIM_RECORD", recording.c_str(), 1);
    unsetenv("WINSIM_ANSWERS");
    std::vector<char *> argv = {const_cast<char *>(kHelper.c_str())};
    for (const std::string &s : steps) argv.push_back(const_cast<char *>(s.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  ssize_t written = write(in[1], typed.data(), typed.size());
  (void)written;
  close(in[1]);
  TerminalRun run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = testing_support::ReadHostFile(outPath);
  run.transcript = testing_support::ReadHostFile(transcript);
  run.recording = testing_support::ReadHostFile(recording);
  return run;
}

bool Shows(const TerminalRun &run, const std::string &text) {
  return run.out.find(text) != std::string::npos;
}

TEST(Terminal, ThePersonAnswersTitlesTextsChoicesRadioButtonsAndThePath) {
  TerminalRun run = Type(
      "c\n"             // welcome: Continue
      "2\n"             // option dialog: the second radio button ...
      "q\n"             // ... a key no button has ...
      "C\n"             // ... then Continue
      "\n"              // distribution path: Enter keeps it
      "c\n"             // Continue
      "E:\\NT\\I386\n"  // a new path
      "b\n",            // Back
      {"100", "800", "EditTextIn=D:\\I386", "1100", "1100"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Shows(run, "| Welcome"));
  EXPECT_TRUE(Shows(run, "Norvale Network Port"));
  EXPECT_TRUE(Shows(run, "[C] Continue   [X] Exit Setup   [H] Help"));
  EXPECT_TRUE(Shows(run, "(*) 1. Workstation"));
  EXPECT_TRUE(Shows(run, "(*) 2. Print server"));  // drawn again with the new choice
  EXPECT_TRUE(Shows(run, "Please type one of: a number, C, X, H"));
  EXPECT_TRUE(Shows(run, "Path: D:\\I386"));
  EXPECT_TRUE(Shows(run, "=> 100 CONTINUE\n"));
  EXPECT_TRUE(Shows(run, "=> 800 CONTINUE ButtonChecked=2\n"));
  EXPECT_TRUE(Shows(run, "=> 1100 CONTINUE EditTextOut=[D:\\I386]\n"));
  EXPECT_TRUE(Shows(run, "=> 1100 BACK EditTextOut=[E:\\NT\\I386]\n"));
  EXPECT_EQ(run.transcript,
            "dialog 100 CONTINUE\ndialog 800 CONTINUE\ndialog 1100 CONTINUE\n"
            "dialog 1100 BACK\nexit 0\n");
}

TEST(Terminal, HelpErrorTextAndTheWaitLine) {
  TerminalRun run = Type("h\n\nx\no\n", {"200", "ErrorText=Install -- AddMonitor failed, error = 5",
                                         "2300", "5100", "pop"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Shows(run, "| Setup Help"));
  EXPECT_TRUE(Shows(run, "Install -- AddMonitor failed, error = 5"));
  EXPECT_TRUE(Shows(run, "Please wait: Stopping the print spooler"));
  EXPECT_EQ(run.transcript,
            "dialog 900 CONTINUE\ndialog 200 EXIT\n"
            "error \"Install -- AddMonitor failed, error = 5\"\ndialog 2300 CONTINUE\n"
            "dialog 5100\nexit 0\n");
}

TEST(Terminal, TheEndOfInputIsThePersonLeaving) {
  // Exit where the dialog has it, else the refusing button, else its only button; never a loop.
  TerminalRun run = Type("", {"100", "200", "1200", "1500", "2400", "1100", "900"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.transcript,
            "dialog 100 EXIT\ndialog 200 EXIT\ndialog 1200 CANCEL\ndialog 1500 CANCEL\n"
            "dialog 2400 CONTINUE\ndialog 1100 EXIT\ndialog 900 CONTINUE\nexit 0\n");
  EXPECT_TRUE(Shows(run, "(input has ended: the dialog is closed)"));
}

TEST(Terminal, ARecordedRunReplaysUnattendedToTheSameTranscript) {
  const std::vector<std::string> steps = {"100",  "800", "EditTextIn=D:\\I386", "1100", "200",
                                          "5100", "pop"};
  // Help and back (Enter closes it), the second option, a new path and Back, then Exit Setup.
  // What an earlier run recorded in the file is replaced.
  TerminalRun typed = Type("h\n\nc\n2\nc\nE:\\X\nb\nx\n", steps, "100 EXIT\n");
  ASSERT_EQ(typed.status, 0);
  EXPECT_EQ(typed.recording,
            "900 CONTINUE\n100 CONTINUE\n800 CONTINUE button=2\n1100 BACK text=E:\\X\n"
            "200 EXIT\n");

  TestImage image;
  image.WriteFile("answers.txt", typed.recording);
  std::vector<std::string> argv = {kHelper};
  argv.insert(argv.end(), steps.begin(), steps.end());
  testing_support::RunResult replayed = testing_support::RunProgram(
      argv, {"WINSIM_MACHINE=" + image.Dir(), "WINSIM_ANSWERS=" + image.HostPath("answers.txt"),
             "WINSIM_TRANSCRIPT=" + image.HostPath("transcript.txt")});
  EXPECT_EQ(replayed.status, 0) << replayed.err;
  EXPECT_EQ(image.ReadFile("transcript.txt"), typed.transcript);
  EXPECT_NE(replayed.out.find("=> 1100 BACK EditTextOut=[E:\\X]"), std::string::npos);
  EXPECT_NE(replayed.out.find("=> 800 CONTINUE ButtonChecked=2"), std::string::npos);
}

}  // namespace
