// Profile strings, checked as Windows NT behaviour: where a bare file name lies, case-blind names,
// quoted values, the size rules of values and name lists, and writes that keep the file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <string>

#include "test_image.h"

using testing_support::TestImage;

namespace {

const char kIni[] =
    "; settings\r\n[Fonts]\r\nArial = \"arial.ttf\"  "
    "\r\nCourier=cour.fon\r\n\r\n[fonts]\r\nX=dup\r\n"
    "[Empty]\r\n";

class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.WriteFile("drive_c/WINNT35/app.ini", kIni);
    image_.Open();
  }
  std::string Get(LPCSTR section, LPCSTR key, DWORD size = 64, DWORD *length = nullptr) {
    char buffer[64];
    DWORD n = GetPrivateProfileStringA(section, key, "  fallback  ", buffer, size, "app.ini");
    if (length) *length = n;
    return std::string(buffer, n + (key && section ? 0 : 1));
  }
  TestImage image_;
};

TEST_F(Profile, ValuesAndListsFollowTheSizeRules) {
  struct Case {
    LPCSTR section, key;
    DWORD size;
    std::string text;
    DWORD length;
  } cases[] = {
      {"FONTS", "arial", 64, "arial.ttf", 9},  // quotes and blanks dropped
      {"fonts", "COURIER", 5, "cour", 4},      // cut to the size less one
      {"Fonts", "X", 64, "  fallback", 10},    // first section of a name only
      {"None", "key", 64, "  fallback", 10},   // default without trailing blanks
      {"Fonts", nullptr, 64, std::string("Arial\0Courier\0", 15), 14},
      {"Fonts", nullptr, 9, std::string("Arial\0C\0", 8), 7},  // cut, size less two
      {nullptr, nullptr, 64, std::string("Fonts\0fonts\0Empty\0", 19), 18},
      {"Empty", nullptr, 64, std::string("\0", 1), 0},
  };
  for (const Case &c : cases) {
    DWORD length = 0;
    EXPECT_EQ(Get(c.section, c.key, c.size, &length), c.text) << (c.key ? c.key : "(list)");
    EXPECT_EQ(length, c.length) << (c.key ? c.key : "(list)");
  }
}

TEST_F(Profile, WritesKeepTheRestOfTheFile) {
  EXPECT_TRUE(WritePrivateProfileStringA("FONTS", "courier", "new.fon", "app.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("Fonts", "Arial", nullptr, "app.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("Empty", nullptr, nullptr, "app.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("New", "k", "v", "C:\\WINNT35\\app.ini"));
  EXPECT_EQ(
      image_.ReadFile("drive_c/WINNT35/app.ini"),
      "; settings\r\n[Fonts]\r\nCourier=new.fon\r\n\r\n[fonts]\r\nX=dup\r\n\r\n[New]\r\nk=v\r\n");
  // WIN.INI is the profile; removing what is not there makes no file.
  EXPECT_TRUE(WriteProfileStringA("windows", "load", "x.exe"));
  char value[16];
  EXPECT_EQ(GetProfileStringA("WINDOWS", "LOAD", "", value, sizeof value), 5u);
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", nullptr, "C:\\none.ini"));
  EXPECT_FALSE(image_.Exists("drive_c/none.ini"));
}

TEST_F(Profile, WritesThatCannotBeMadeFail) {
  ::chmod(image_.HostPath("drive_c/WINNT35/app.ini").c_str(), 0444);
  struct Case {
    LPCSTR file;
    DWORD error;
  } cases[] = {{"app.ini", ERROR_ACCESS_DENIED}, {"C:\\NO\\DIR\\x.ini", ERROR_PATH_NOT_FOUND}};
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", c.file)) << c.file;
    EXPECT_EQ(GetLastError(), c.error) << c.file;
  }
}

}  // namespace
