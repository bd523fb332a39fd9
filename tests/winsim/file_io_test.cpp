// Files opened by handle, checked as Windows NT behaviour: what each creation disposition does
// to a missing and an existing file, reading and writing through the file pointer, sizes and
// dates, and the harness's files, which the program reaches by Windows paths and which
// injected faults leave alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "test_image.h"

using testing_support::TestImage;

namespace {

class FileIo : public ::testing::Test {
 protected:
  FileIo() : image_("[drives]\nC = drive_c\n[faults]\nCreateFileA#100 = 5\n") {}
  void SetUp() override {
    image_.WriteFile("drive_c/old.txt", "old text");
    image_.Open();
  }
  HANDLE Open(const char *path, DWORD access, DWORD disposition) {
    return CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  std::string Content(const char *name) { return image_.ReadFile(std::string("drive_c/") + name); }
  TestImage image_;
};

TEST_F(FileIo, EachDispositionOnAMissingAndAnExistingFile) {
  struct Case {
    DWORD disposition;
    const char *file;
    DWORD error;  // 0: opens; the last error then is what the call leaves
    const char *content;
  } cases[] = {
      {CREATE_NEW, "C:\\new1", 0, ""},
      {CREATE_NEW, "C:\\old.txt", ERROR_FILE_EXISTS, "old text"},
      {CREATE_ALWAYS, "C:\\new2", 0, ""},
      {CREATE_ALWAYS, "C:\\old.txt", ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, "C:\\missing", ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, "C:\\nodir\\missing", ERROR_PATH_NOT_FOUND, nullptr},
      {OPEN_ALWAYS, "C:\\new3", 0, ""},
      {OPEN_ALWAYS, "C:\\old.txt", ERROR_ALREADY_EXISTS, "old text"},
      {CREATE_ALWAYS, "C:\\nodir\\new", ERROR_PATH_NOT_FOUND, nullptr},
      {CREATE_NEW, "C:\\old.txt\\new", ERROR_PATH_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, "C:\\missing", ERROR_FILE_NOT_FOUND, nullptr},
      {0, "C:\\new4", ERROR_INVALID_PARAMETER, nullptr},
  };
  for (const Case &c : cases) {
    image_.WriteFile("drive_c/old.txt", "old text");
    SetLastError(0xdead);
    HANDLE h = Open(c.file, GENERIC_READ | GENERIC_WRITE, c.disposition);
    bool opens = c.error == 0 || c.error == ERROR_ALREADY_EXISTS;
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, opens) << c.disposition << " " << c.file;
    if (!opens || c.disposition == CREATE_ALWAYS || c.disposition == OPEN_ALWAYS) {
      EXPECT_EQ(GetLastError(), c.error) << c.disposition << " " << c.file;
    }
    if (opens) {
      EXPECT_TRUE(CloseHandle(h));
    }
    if (c.content) {
      EXPECT_EQ(Content(c.file + 3), c.content) << c.disposition << " " << c.file;
    }
  }
}

TEST_F(FileIo, ReadOnlyFilesAndDirectoriesRefuseWriting) {
  ASSERT_TRUE(SetFileAttributesA("C:\\old.txt", FILE_ATTRIBUTE_READONLY));
  SetLastError(0);
  EXPECT_EQ(Open("C:\\old.txt", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE h = Open("C:\\old.txt", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  ASSERT_TRUE(CreateDirectoryA("C:\\dir", nullptr));
  EXPECT_EQ(Open("C:\\dir", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileIo, ReadWriteSeekSizeAndDate) {
  HANDLE h = Open("C:\\data", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "abcdef", 6, &n, nullptr));
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "cdef");
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // at the end: success, nothing read
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointer(h, -7, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 4u);
  ASSERT_TRUE(SetEndOfFile(h));
  DWORD high = 1;
  EXPECT_EQ(GetFileSize(h, &high), 4u);
  EXPECT_EQ(high, 0u);

  FILETIME when = {0xD53E8000u, 0x01A8E79Fu}, got = {};  // 1 January 1995
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &when));
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &got));
  EXPECT_EQ(got.dwHighDateTime, when.dwHighDateTime);
  EXPECT_EQ(got.dwLowDateTime, when.dwLowDateTime);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(ReadFile(h, buf, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Content("data"), "abcd");
}

// The harness's files come as Windows paths, through the drive that holds them or as
// \\?\unix paths, and the machine's faults do not reach them.
TEST(FileIoHarness, TheHarnessFilesAreReachedByWindowsPathsAndNeverFailed) {
  TestImage image(
      "[drives]\nC = drive_c\n[faults]\nCreateFileA = 5\nWriteFile = 5\n"
      "GetEnvironmentVariableA = 5\n");
  std::string outside = testing_support::MakeTempDir("harness-");
  image.Open("", outside + "/transcript", "", image.HostPath("drive_c/record"));
  char path[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableA("WINSIM_RECORD", path, sizeof path), 0u);
  EXPECT_STREQ(path, "C:\\record");
  ASSERT_GT(GetEnvironmentVariableA("WINSIM_TRANSCRIPT", path, sizeof path), 0u);
  std::string expected = "\\\\?\\unix" + outside + "/transcript";
  for (char &c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(std::string(path), expected);
  HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "event\n", 6, &n, nullptr));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(testing_support::ReadHostFile(outside + "/transcript"), "event\n");
  EXPECT_EQ(CreateFileA("C:\\other", GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 5u);
  testing_support::RemoveTree(outside);
}

}  // namespace
