// A small machine opened in the test process with an answer file and a transcript, the Setup
// Toolkit's frame initialised on it: for tests that run dialogs through the toolkit.
#ifndef TESTS_SUPPORT_ANSWERED_FRAME_H
#define TESTS_SUPPORT_ANSWERED_FRAME_H

#include <gtest/gtest.h>

#include <string>

#include "setupkit/setupkit.h"
#include "test_image.h"
#include "toolkit/toolkit_services.h"

namespace testing_support {

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
