// The image tool's summary lists the Program Manager groups and items that a setup made.
#include <gtest/gtest.h>

#include <string>

#include "test_image.h"

using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TestImage;

TEST(ImageShow, ListsProgramManagerGroupsAndItems) {
  const std::string tool = std::string(NORVALE_BIN_DIR) + "/winsim-image";
  TestImage image;
  RunResult show = RunProgram({tool, "show", image.Dir()}, {});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("Program Manager\n  (no groups)\n"), std::string::npos) << show.out;

  image.WriteFile("progman.ini",
                  "; Program Manager groups and items. Item = title, command line, icon file.\r\n"
                  "\r\n[Norvale Network Printers]\r\nShow = 1\r\n"
                  "Item = \"Norvale Network Printing Help\", \"zelpsmon.hlp\", \"winhlp32.exe\"\r\n"
                  "\r\n[Startup]\r\n");
  show = RunProgram({tool, "show", image.Dir()}, {});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("Program Manager\n"
                          "  Norvale Network Printers (shown with 1)\n"
                          "    \"Norvale Network Printing Help\", \"zelpsmon.hlp\", "
                          "\"winhlp32.exe\"\n"
                          "  Startup\n"
                          "    (no items)\n"),
            std::string::npos)
      << show.out;
}
