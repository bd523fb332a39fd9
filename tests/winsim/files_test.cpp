// Files of the simulated machine, checked as Windows NT behaviour: directory queries and their
// size rules, temporary files, attributes, directories, deletion, copies and moves (read-only
// and loaded files included), moves kept for the next restart, and searches with wildcards.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/handles.h"

using testing_support::TestImage;

namespace {

const char kTwoDrives[] =
    "[system]\n"
    "windows = C:\\WINNT35\n"
    "system = C:\\WINNT35\\system32\n"
    "temp = C:\\TEMP\n"
    "[drives]\n"
    "C = drive_c\n"
    "D = drive_d\n";

// Expects a call to fail with a last-error value.
#define EXPECT_FAILS_WITH(call, error)                    \
  do {                                                    \
    SetLastError(0);                                      \
    EXPECT_FALSE(call);                                   \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)); \
  } while (0)

class Files : public ::testing::Test {
 protected:
  Files() : image_(kTwoDrives) {}
  void SetUp() override {
    std::filesystem::create_directories(image_.HostPath("drive_d"));
    image_.WriteFile("drive_c/Dist/Setup.INF", "inf");
    image_.Open();
  }
  std::string Host(const std::string &relative) { return image_.HostPath(relative); }
  void Put(const std::string &relative, const std::string &content = "x") {
    image_.WriteFile(relative, content);
  }
  void MakeReadOnly(const std::string &relative) { ::chmod(Host(relative).c_str(), 0444); }
  time_t ModifiedAt(const std::string &relative) {
    struct stat st;
    return ::stat(Host(relative).c_str(), &st) == 0 ? st.st_mtime : 0;
  }
  void SetModified(const std::string &relative, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, Host(relative).c_str(), times, 0);
  }
  std::string Loaded(const std::string &windowsPath) {
    std::string host;
    winsim::ResolvePath(windowsPath, &host, nullptr);
    winsim::SetFileLoaded(host, true);
    return host;
  }
  std::vector<std::string> Find(const char *pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return {"error " + std::to_string(GetLastError())};
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
  }

  TestImage image_;
};

TEST_F(Files, DirectoryQueriesFollowTheSizeRule) {
  char buffer[64];
  SetLastError(1234);
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 10u);
  EXPECT_STREQ(buffer, "C:\\WINNT35");
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 19u);
  EXPECT_STREQ(buffer, "C:\\WINNT35\\system32");
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 8u);
  EXPECT_STREQ(buffer, "C:\\TEMP\\");
  EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), 3u);
  EXPECT_STREQ(buffer, "C:\\");
  EXPECT_EQ(GetLastError(), 1234u);

  // Too small by one: the size needed with its terminator, nothing written.
  std::strcpy(buffer, "untouched");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u);
  EXPECT_EQ(GetSystemDirectoryA(buffer, 19), 20u);
  EXPECT_EQ(GetTempPathA(8, buffer), 9u);
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 4u);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(GetSystemDirectoryA(buffer, 20), 19u);
}

TEST_F(Files, TemporaryFileNames) {
  char name[MAX_PATH];
  // A number of the caller's is only formatted.
  EXPECT_EQ(GetTempFileNameA("C:\\TEMP\\", "zpsXYZ", 0x1A2B, name), 0x1A2Bu);
  EXPECT_STREQ(name, "C:\\TEMP\\zps1A2B.TMP");
  EXPECT_FALSE(image_.Exists("drive_c/TEMP/zps1A2B.TMP"));

  // The system's pick skips names that exist in any case and creates the file.
  Put("drive_c/TEMP/zps1.tmp");
  UINT first = GetTempFileNameA("C:\\TEMP", "zps", 0, name);
  EXPECT_EQ(first, 2u);
  EXPECT_STREQ(name, "C:\\TEMP\\zps2.TMP");
  EXPECT_TRUE(image_.Exists("drive_c/TEMP/zps2.TMP"));
  EXPECT_EQ(GetTempFileNameA("C:\\TEMP", "zps", 0, name), 3u);

  EXPECT_FAILS_WITH(GetTempFileNameA("C:\\NOTEMP", "zps", 0, name), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, AttributesAndDirectories) {
  EXPECT_EQ(GetFileAttributesA("c:\\dist\\setup.inf"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\DIST"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_TRUE(SetFileAttributesA("C:\\Dist\\Setup.INF", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\Dist\\Setup.INF"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  struct stat st;
  ASSERT_EQ(::stat(Host("drive_c/Dist/Setup.INF").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_TRUE(SetFileAttributesA("C:\\Dist\\Setup.INF", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\Dist\\Setup.INF"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_FAILS_WITH(GetFileAttributesA("C:\\Dist\\none") != INVALID_FILE_ATTRIBUTES,
                    ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(GetFileAttributesA("C:\\none\\none") != INVALID_FILE_ATTRIBUTES,
                    ERROR_PATH_NOT_FOUND);

  ASSERT_TRUE(CreateDirectoryA("C:\\Win32App", nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(Host("drive_c/Win32App")));  // the case given
  EXPECT_FAILS_WITH(CreateDirectoryA("c:\\WIN32APP", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_FAILS_WITH(CreateDirectoryA("C:\\a\\b", nullptr), ERROR_PATH_NOT_FOUND);

  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Dist"), ERROR_DIR_NOT_EMPTY);
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Dist\\Setup.INF"), ERROR_DIRECTORY);
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\gone"), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\win32app"));
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Win32App"), ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(SetCurrentDirectoryA("\\"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\Win32App"));
}

TEST_F(Files, DeletionRules) {
  Put("drive_c/a.txt");
  Put("drive_c/ro.txt");
  MakeReadOnly("drive_c/ro.txt");
  Put("drive_c/mon.dll");
  std::string loaded = Loaded("C:\\mon.dll");

  EXPECT_TRUE(DeleteFileA("C:\\A.TXT"));
  EXPECT_FALSE(image_.Exists("drive_c/a.txt"));
  EXPECT_FAILS_WITH(DeleteFileA("C:\\a.txt"), ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\nodir\\a.txt"), ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\ro.txt"), ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\Dist"), ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\mon.dll"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(image_.Exists("drive_c/ro.txt") && image_.Exists("drive_c/mon.dll"));
  winsim::SetFileLoaded(loaded, false);  // the service stopped
  EXPECT_TRUE(DeleteFileA("C:\\mon.dll"));
}

TEST_F(Files, CopyRules) {
  Put("drive_c/src.dll", "new");
  SetModified("drive_c/src.dll", 760000000);
  MakeReadOnly("drive_c/src.dll");
  ASSERT_TRUE(CopyFileA("C:\\SRC.DLL", "D:\\Copy.dll", TRUE));
  EXPECT_EQ(image_.ReadFile("drive_d/Copy.dll"), "new");
  EXPECT_EQ(ModifiedAt("drive_d/Copy.dll"), 760000000);  // date and attributes travel along
  EXPECT_EQ(GetFileAttributesA("D:\\Copy.dll"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

  Put("drive_c/old.dll", "old");
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\OLD.DLL", TRUE), ERROR_FILE_EXISTS);
  EXPECT_EQ(image_.ReadFile("drive_c/old.dll"), "old");
  ASSERT_TRUE(CopyFileA("C:\\src.dll", "C:\\OLD.DLL", FALSE));
  EXPECT_EQ(image_.ReadFile("drive_c/old.dll"), "new");  // overwritten under its stored name
  EXPECT_FALSE(image_.Exists("drive_c/OLD.DLL"));

  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "D:\\copy.dll", FALSE), ERROR_ACCESS_DENIED);
  Put("drive_c/mon.dll", "loaded");
  Loaded("C:\\mon.dll");
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\mon.dll", FALSE), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(image_.ReadFile("drive_c/mon.dll"), "loaded");
  EXPECT_TRUE(CopyFileA("C:\\mon.dll", "C:\\mon.bak", FALSE));  // reading a loaded file is fine
  // A file copied onto itself would be truncated: Windows refuses it.
  EXPECT_FAILS_WITH(CopyFileA("C:\\old.dll", "c:\\Old.Dll", FALSE), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(image_.ReadFile("drive_c/old.dll"), "new");

  EXPECT_FAILS_WITH(CopyFileA("C:\\none.dll", "C:\\x.dll", FALSE), ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\nodir\\x.dll", FALSE), ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(CopyFileA("C:\\Dist", "C:\\x", FALSE), ERROR_ACCESS_DENIED);
}

TEST_F(Files, MoveRules) {
  Put("drive_c/a.txt", "a");
  Put("drive_c/b.txt", "b");
  EXPECT_FAILS_WITH(MoveFileA("C:\\a.txt", "C:\\B.TXT"), ERROR_ALREADY_EXISTS);
  EXPECT_FAILS_WITH(MoveFileExA("C:\\none", "C:\\x", 0), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(MoveFileExA("C:\\a.txt", "C:\\B.TXT", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(image_.ReadFile("drive_c/b.txt"), "a");
  EXPECT_FALSE(image_.Exists("drive_c/a.txt"));
  ASSERT_TRUE(MoveFileA("C:\\b.txt", "C:\\Dist\\Renamed.Txt"));  // the new name's case
  ASSERT_TRUE(MoveFileA("C:\\Dist\\Renamed.Txt", "C:\\Dist\\RENAMED.TXT"));
  EXPECT_EQ(Find("C:\\Dist\\renamed.txt"), std::vector<std::string>{"RENAMED.TXT"});

  Put("drive_c/ro.txt");
  MakeReadOnly("drive_c/ro.txt");
  Put("drive_c/c.txt");
  EXPECT_FAILS_WITH(MoveFileExA("C:\\c.txt", "C:\\ro.txt", MOVEFILE_REPLACE_EXISTING),
                    ERROR_ACCESS_DENIED);

  // Across drives only by copying; the copy keeps the date, the source goes.
  SetModified("drive_c/c.txt", 760000000);
  EXPECT_FAILS_WITH(MoveFileExA("C:\\c.txt", "D:\\c.txt", 0), ERROR_NOT_SAME_DEVICE);
  ASSERT_TRUE(MoveFileExA("C:\\c.txt", "D:\\c.txt", MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(image_.Exists("drive_c/c.txt"));
  EXPECT_EQ(ModifiedAt("drive_d/c.txt"), 760000000);
  EXPECT_FAILS_WITH(MoveFileA("C:\\Dist", "D:\\Dist"), ERROR_NOT_SAME_DEVICE);
}

// The monitor DLL's way out of the system directory during an upgrade while the spooler has it
// loaded: the rename works, the mark goes with it, the old name is free.
TEST_F(Files, LoadedFileCanOnlyBeRenamed) {
  Put("drive_c/WINNT35/system32/zelpsmon.dll", "v4");
  Loaded("C:\\WINNT35\\system32\\zelpsmon.dll");
  const char *p = "C:\\WINNT35\\system32\\zelpsmon.dll", *o = "C:\\WINNT35\\system32\\zelpsmon.old";
  EXPECT_FAILS_WITH(DeleteFileA(p), ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileA(o), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(MoveFileExA(p, o, MOVEFILE_REPLACE_EXISTING));
  EXPECT_FAILS_WITH(DeleteFileA(o), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CopyFileA("C:\\Dist\\Setup.INF", p, FALSE));  // the new DLL takes its place
  EXPECT_TRUE(DeleteFileA(p));

  Put("drive_c/new.dll", "v5");
  EXPECT_FAILS_WITH(MoveFileExA("C:\\new.dll", o, MOVEFILE_REPLACE_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(image_.ReadFile("drive_c/WINNT35/system32/zelpsmon.old"), "v4");
  // A directory that holds a loaded file cannot be renamed either.
  EXPECT_FAILS_WITH(MoveFileA("C:\\WINNT35\\system32", "C:\\WINNT35\\sys"), ERROR_ACCESS_DENIED);
}

TEST_F(Files, FindWithWildcards) {
  for (const char *name : {"Pscript.DLL", "pscrptui.dll", "README", "a.b.dll", "x.dllx"})
    Put(std::string("drive_c/Drv/") + name, "12345");
  std::filesystem::create_directories(Host("drive_c/Drv/2"));
  using V = std::vector<std::string>;
  EXPECT_EQ(Find("C:\\Drv\\*"),
            (V{".", "..", "2", "a.b.dll", "Pscript.DLL", "pscrptui.dll", "README", "x.dllx"}));
  EXPECT_EQ(Find("c:\\drv\\*.*"), Find("C:\\Drv\\*"));  // names without a dot too
  EXPECT_EQ(Find("C:\\Drv\\*.dll"), (V{"a.b.dll", "Pscript.DLL", "pscrptui.dll"}));
  EXPECT_EQ(Find("C:\\Drv\\ps?ript.dll"), V{"Pscript.DLL"});
  EXPECT_EQ(Find("C:\\Drv\\README?"), V{"README"});  // '?' may match nothing at the end
  EXPECT_EQ(Find("C:\\Drv\\*."), (V{".", "..", "2", "README"}));
  EXPECT_EQ(Find("C:\\Drv\\*.xyz"), V{"error 2"});
  EXPECT_EQ(Find("C:\\NoDir\\*"), V{"error 3"});
  EXPECT_EQ(Find("C:\\*")[0], "Dist");  // a drive's root has no "." or ".."
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\DRV"));
  EXPECT_EQ(Find("ps*.dll"), Find("C:ps*.DLL"));

  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\Drv\\PSCRIPT.DLL", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  uint64_t written =
      (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written / 10000000 - 11644473600ULL,
            static_cast<uint64_t>(ModifiedAt("drive_c/Drv/Pscript.DLL")));
  EXPECT_TRUE(FindClose(h));
  EXPECT_FAILS_WITH(FindClose(h), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(FindNextFileA(h, &data), ERROR_INVALID_HANDLE);

  // A subdirectory's attribute word is exactly FILE_ATTRIBUTE_DIRECTORY unless it is read-only.
  h = FindFirstFileA("C:\\Drv\\2", &data);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(h);
  ::chmod(Host("drive_c/Drv/2").c_str(), 0555);
  h = FindFirstFileA("C:\\Drv\\2", &data);
  EXPECT_EQ(data.dwFileAttributes,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
  FindClose(h);
}

TEST(FilesFaults, InjectedFaultsFailTheNamedCall) {
  TestImage image(
      "[faults]\n"
      "DeleteFileA = 32\n"
      "CopyFileA#2 = 112\n"
      "GetSystemDirectoryA = 8\n");
  image.WriteFile("drive_c/a.txt", "a");
  image.Open();
  char buffer[MAX_PATH];
  EXPECT_FAILS_WITH(DeleteFileA("C:\\a.txt"), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(image.Exists("drive_c/a.txt"));
  EXPECT_TRUE(CopyFileA("C:\\a.txt", "C:\\b.txt", FALSE));
  EXPECT_FAILS_WITH(CopyFileA("C:\\a.txt", "C:\\c.txt", FALSE), ERROR_DISK_FULL);
  EXPECT_FALSE(image.Exists("drive_c/c.txt"));
  EXPECT_FAILS_WITH(GetSystemDirectoryA(buffer, sizeof buffer), ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace
