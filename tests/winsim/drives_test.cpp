// Drives, full paths, path searches and file times, checked as Windows NT behaviour: drive types
// and sizes, the size rules of GetFullPathNameA and SearchPathA, the search order, and the
// calendar of FileTimeToSystemTime.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "test_image.h"

using testing_support::TestImage;

namespace {

class Drives : public ::testing::Test {
 protected:
  Drives()
      : image_(std::string(testing_support::kDefaultMachine) +
               "A = drive_a\nD = drive_d\n[environment]\nPATH = C:\\TOOLS;C:\\BIN\n") {}
  void SetUp() override {
    for (const char *dir : {"drive_a", "drive_d"})
      std::filesystem::create_directories(image_.HostPath(dir));
    for (const char *file : {"TOOLS/zip.exe", "BIN/zip.exe", "BIN/unzip.exe",
                             "WINNT35/system32/unzip.exe", "WINNT35/notes.txt", "DIST/readme"})
      image_.WriteFile(std::string("drive_c/") + file, "x");
    image_.Open(image_.HostPath("drive_c/DIST"));
  }
  TestImage image_;
};

TEST_F(Drives, TypesAndSizesOfTheMappedDrives) {
  EXPECT_EQ(GetLogicalDrives(), (1u << 0) | (1u << 2) | (1u << 3));
  struct Case {
    LPCSTR root;
    UINT type;
  } cases[] = {{"A:\\", DRIVE_REMOVABLE},   {"c:\\", DRIVE_FIXED},
               {"D:", DRIVE_FIXED},         {nullptr, DRIVE_FIXED},
               {"E:\\", DRIVE_NO_ROOT_DIR}, {"C:\\DIST", DRIVE_NO_ROOT_DIR}};
  for (const Case &c : cases)
    EXPECT_EQ(GetDriveTypeA(c.root), c.type) << (c.root ? c.root : "null");

  DWORD perCluster = 0, perSector = 0, free = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &perCluster, &perSector, &free, &total));
  EXPECT_EQ(perSector, 512u);
  EXPECT_GT(total, 0u);
  EXPECT_LE(free, total);
  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceA("E:\\", &perCluster, &perSector, &free, &total));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Drives, FullPathsAndTheirSizeRules) {
  struct Case {
    LPCSTR name;
    const char *full;
    const char *filePart;  // null: none
  } cases[] = {
      {"readme", "C:\\DIST\\readme", "readme"},
      {"..\\BIN\\.\\zip.exe", "C:\\BIN\\zip.exe", "zip.exe"},
      {"D:x", "D:\\x", "x"},
      {"\\A\\B\\", "C:\\A\\B\\", nullptr},
      {"c:/", "C:\\", nullptr},
  };
  for (const Case &c : cases) {
    char buffer[MAX_PATH];
    LPSTR part = buffer;
    DWORD n = GetFullPathNameA(c.name, sizeof buffer, buffer, &part);
    EXPECT_EQ(std::string(buffer, n), c.full) << c.name;
    EXPECT_STREQ(part, c.filePart) << c.name;
  }
  // Too small: the size needed with the terminator, nothing written.
  char small[8] = "keep";
  EXPECT_EQ(GetFullPathNameA("readme", sizeof small, small, nullptr), 15u);
  EXPECT_STREQ(small, "keep");
}

TEST_F(Drives, SearchesFindFilesInTheirOrder) {
  struct Case {
    LPCSTR path, name, extension;
    const char *found;  // null: not found
  } cases[] = {
      {nullptr, "readme", nullptr, "C:\\DIST\\readme"},                // current directory
      {nullptr, "UNZIP", ".exe", "C:\\WINNT35\\system32\\UNZIP.exe"},  // system before PATH
      {nullptr, "notes.txt", ".exe", "C:\\WINNT35\\notes.txt"},        // an extension stays
      {nullptr, "zip.exe", nullptr, "C:\\TOOLS\\zip.exe"},             // PATH in its order
      {"C:\\BIN;C:\\TOOLS", "zip.exe", nullptr, "C:\\BIN\\zip.exe"},   // the path given
      {nullptr, "C:\\BIN\\unzip.exe", nullptr, "C:\\BIN\\unzip.exe"},  // a path is looked at
      {nullptr, "BIN", nullptr, nullptr},                              // a directory is not
      {"C:\\TOOLS", "unzip.exe", nullptr, nullptr},
  };
  for (const Case &c : cases) {
    char buffer[MAX_PATH];
    LPSTR part = nullptr;
    SetLastError(0);
    DWORD n = SearchPathA(c.path, c.name, c.extension, sizeof buffer, buffer, &part);
    if (!c.found) {
      EXPECT_EQ(n, 0u) << c.name;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << c.name;
      continue;
    }
    EXPECT_EQ(std::string(buffer, n), c.found) << c.name;
    EXPECT_STREQ(part, std::strrchr(c.found, '\\') + 1) << c.name;
  }
  char small[4];
  EXPECT_EQ(SearchPathA(nullptr, "readme", nullptr, sizeof small, small, nullptr), 15u);
}

TEST(FileTimes, SystemTimesOfTheGregorianCalendar) {
  struct Case {
    uint64_t ticks;
    SYSTEMTIME expected;  // year, month, day of week, day, hour, minute, second, ms
  } cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {125911584000000000ull, {2000, 1, 6, 1, 0, 0, 0, 0}},
      {125962560000000000ull + 10000ull * (3600000ull * 23 + 61001), {2000, 2, 2, 29, 23, 1, 1, 1}},
      {0x7FFFFFFFFFFFFFFFull, {30828, 9, 4, 14, 2, 48, 5, 477}},
  };
  for (const Case &c : cases) {
    FILETIME ft = {static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st)) << c.ticks;
    EXPECT_EQ(std::memcmp(&st, &c.expected, sizeof st), 0)
        << c.ticks << ": " << st.wYear << "-" << st.wMonth << "-" << st.wDay << " " << st.wDayOfWeek
        << " " << st.wHour << ":" << st.wMinute << ":" << st.wSecond << "." << st.wMilliseconds;
  }
  FILETIME beyond = {0, 0x80000000u};
  SYSTEMTIME st;
  EXPECT_FALSE(FileTimeToSystemTime(&beyond, &st));
}

}  // namespace
