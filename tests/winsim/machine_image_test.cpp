#include <gtest/gtest.h>

#include "test_image.h"

using testing_support::TestImage;

TEST(MachineImage, OpensDefaultImage) {
  TestImage image;
  image.Open();
  EXPECT_EQ(winsim::M().currentDir, "C:\\");
}
