// Files of the simulated machine, checked as Windows NT behaviour: directory queries and their
// size rules, temporary files, attributes, directories, deletion, copies and moves (read-only
// and loaded files included), moves kept for the next restart, and searches with wildcards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_image.h"

using testing_support::TestImage;

namespace {

#define EXPECT_FAILS_WITH(call, error)                    \
  do {                                                    \
    SetLastError(0);                                      \
    EXPECT_FALSE(call);                                   \
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)); \
  } while (0)

const DWORD kNormal = FILE_ATTRIBUTE_NORMAL, kReadOnly = FILE_ATTRIBUTE_READONLY,
            kDirectory = FILE_ATTRIBUTE_DIRECTORY, kArchive = FILE_ATTRIBUTE_ARCHIVE;
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class Files : public ::testing::Test {
 protected:
  Files() : image_("[drives]\nC = drive_c\nD = drive_d\n") {}
  void SetUp() override {
    std::filesystem::create_directories(image_.HostPath("drive_d"));
    Put("Dist/Setup.INF", "inf");
    image_.Open();
  }
  // Files of drive C:, by their host names.
  std::string Host(const std::string &name) { return image_.HostPath("drive_c/" + name); }
  void Put(const std::string &name, const std::string &content = "x", time_t when = 0) {
    image_.WriteFile("drive_c/" + name, content);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    if (when) ::utimensat(AT_FDCWD, Host(name).c_str(), times, 0);
  }
  std::string Read(const std::string &name) { return image_.ReadFile("drive_c/" + name); }
  bool Exists(const std::string &name) { return image_.Exists("drive_c/" + name); }
  time_t Modified(const std::string &hostPath) {
    struct stat st;
    return ::stat(hostPath.c_str(), &st) == 0 ? st.st_mtime : 0;
  }
  void Load(const std::string &windowsPath) {
    std::string host;
    ASSERT_TRUE(winsim::ResolvePath(windowsPath, &host, nullptr));
    winsim::SetFileLoaded(host, true);
  }
  std::vector<std::string> Find(const char *pattern) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return {"error " + std::to_string(GetLastError())};
    std::vector<std::string> names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(h, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return names;
  }

  TestImage image_;
};

TEST_F(Files, DirectoryQueriesFollowTheSizeRule) {
  char buffer[64] = "untouched";
  SetLastError(1234);
  // Too small by one: the size needed with its terminator, nothing written.
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u);
  EXPECT_EQ(GetSystemDirectoryA(buffer, 19), 20u);
  EXPECT_EQ(GetTempPathA(8, buffer), 9u);
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 4u);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(GetWindowsDirectoryA(buffer, 11), 10u);
  EXPECT_STREQ(buffer, "C:\\WINNT35");
  EXPECT_EQ(GetSystemDirectoryA(buffer, 20), 19u);
  EXPECT_STREQ(buffer, "C:\\WINNT35\\system32");
  EXPECT_EQ(GetTempPathA(9, buffer), 8u);
  EXPECT_STREQ(buffer, "C:\\TEMP\\");
  EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(Files, TemporaryFileNames) {
  char name[MAX_PATH];
  EXPECT_EQ(GetTempFileNameA("C:\\TEMP\\", "zpsXYZ", 0x1A2B, name), 0x1A2Bu);
  EXPECT_STREQ(name, "C:\\TEMP\\zps1A2B.TMP");
  EXPECT_FALSE(Exists("TEMP/zps1A2B.TMP"));  // a number of the caller's is only formatted
  // The system's pick skips names that exist in any case and creates the file.
  Put("TEMP/zps1.tmp");
  EXPECT_EQ(GetTempFileNameA("C:\\TEMP", "zps", 0, name), 2u);
  EXPECT_STREQ(name, "C:\\TEMP\\zps2.TMP");
  EXPECT_TRUE(Exists("TEMP/zps2.TMP"));
  EXPECT_EQ(GetTempFileNameA("C:\\TEMP", "zps", 0, name), 3u);
  EXPECT_FAILS_WITH(GetTempFileNameA("C:\\NOTEMP", "zps", 0, name), ERROR_DIRECTORY);
}

TEST_F(Files, AttributesAndDirectories) {
  EXPECT_EQ(GetFileAttributesA("C:\\DIST"), kDirectory);
  ASSERT_TRUE(SetFileAttributesA("c:\\dist\\setup.inf", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA("C:\\Dist\\Setup.INF"), kReadOnly);
  struct stat st;
  ASSERT_EQ(::stat(Host("Dist/Setup.INF").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);  // kept as the host file's write permission
  ASSERT_TRUE(SetFileAttributesA("C:\\Dist\\Setup.INF", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesA("C:\\Dist\\Setup.INF"), kNormal);
  EXPECT_FAILS_WITH(GetFileAttributesA("C:\\Dist\\none") != INVALID_FILE_ATTRIBUTES,
                    ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(GetFileAttributesA("C:\\none\\none") != INVALID_FILE_ATTRIBUTES,
                    ERROR_PATH_NOT_FOUND);

  ASSERT_TRUE(CreateDirectoryA("C:\\Win32App", nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(Host("Win32App")));  // the case given
  EXPECT_FAILS_WITH(CreateDirectoryA("c:\\WIN32APP", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_FAILS_WITH(CreateDirectoryA("C:\\a\\b", nullptr), ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Dist"), ERROR_DIR_NOT_EMPTY);
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Dist\\Setup.INF"), ERROR_DIRECTORY);
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\gone"), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\win32app"));
  EXPECT_FAILS_WITH(RemoveDirectoryA("C:\\Win32App"), ERROR_SHARING_VIOLATION);
  EXPECT_FAILS_WITH(MoveFileA("C:\\Win32App", "C:\\Other"), ERROR_SHARING_VIOLATION);
  ASSERT_TRUE(SetCurrentDirectoryA("\\"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\Win32App"));
}

TEST_F(Files, DeleteRefusesReadOnlyLoadedFilesAndDirectories) {
  Put("a.txt");
  Put("ro.txt");
  ::chmod(Host("ro.txt").c_str(), 0444);
  Put("mon.dll");
  Load("C:\\mon.dll");
  EXPECT_TRUE(DeleteFileA("C:\\A.TXT"));
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_FAILS_WITH(DeleteFileA("C:\\a.txt"), ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\nodir\\a.txt"), ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\ro.txt"), ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\Dist"), ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(DeleteFileA("C:\\mon.dll"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Exists("ro.txt") && Exists("mon.dll"));
  winsim::SetFileLoaded(winsim::M().drives['C'] + "/mon.dll", false);  // the service stopped
  EXPECT_TRUE(DeleteFileA("C:\\mon.dll"));
}

TEST_F(Files, CopyKeepsDateAndAttributesAndRefusesWhatWindowsRefuses) {
  Put("src.dll", "new", 760000000);
  ::chmod(Host("src.dll").c_str(), 0444);
  ASSERT_TRUE(CopyFileA("C:\\SRC.DLL", "D:\\Copy.dll", TRUE));
  EXPECT_EQ(image_.ReadFile("drive_d/Copy.dll"), "new");
  EXPECT_EQ(Modified(image_.HostPath("drive_d/Copy.dll")), 760000000);
  EXPECT_EQ(GetFileAttributesA("D:\\Copy.dll"), kReadOnly | kArchive);
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "D:\\copy.dll", FALSE), ERROR_ACCESS_DENIED);

  Put("old.dll", "old");
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\OLD.DLL", TRUE), ERROR_FILE_EXISTS);
  EXPECT_EQ(Read("old.dll"), "old");
  ASSERT_TRUE(CopyFileA("C:\\src.dll", "C:\\OLD.DLL", FALSE));
  EXPECT_EQ(Read("old.dll"), "new");  // overwritten under its stored name
  EXPECT_FALSE(Exists("OLD.DLL"));
  // A file copied onto itself would be truncated: Windows refuses it.
  EXPECT_FAILS_WITH(CopyFileA("C:\\old.dll", "c:\\Old.Dll", FALSE), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Read("old.dll"), "new");

  Put("mon.dll", "loaded");
  Load("C:\\mon.dll");
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\mon.dll", FALSE), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Read("mon.dll"), "loaded");
  EXPECT_TRUE(CopyFileA("C:\\mon.dll", "C:\\mon.bak", FALSE));  // reading a loaded file is fine
  EXPECT_FAILS_WITH(CopyFileA("C:\\none.dll", "C:\\x.dll", FALSE), ERROR_FILE_NOT_FOUND);
  EXPECT_FAILS_WITH(CopyFileA("C:\\src.dll", "C:\\nodir\\x.dll", FALSE), ERROR_PATH_NOT_FOUND);
  EXPECT_FAILS_WITH(CopyFileA("C:\\Dist", "C:\\x", FALSE), ERROR_ACCESS_DENIED);
}

TEST_F(Files, MoveRenamesReplacesOnRequestAndCrossesDrivesOnlyByCopying) {
  Put("a.txt", "a");
  Put("b.txt", "b");
  EXPECT_FAILS_WITH(MoveFileA("C:\\a.txt", "C:\\B.TXT"), ERROR_ALREADY_EXISTS);
  EXPECT_FAILS_WITH(MoveFileExA("C:\\none", "C:\\x", 0), ERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(MoveFileExA("C:\\a.txt", "C:\\B.TXT", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Read("b.txt"), "a");
  EXPECT_FALSE(Exists("a.txt"));
  ASSERT_TRUE(MoveFileA("C:\\b.txt", "C:\\Dist\\Renamed.Txt"));
  ASSERT_TRUE(MoveFileA("C:\\Dist\\Renamed.Txt", "C:\\Dist\\RENAMED.TXT"));  // case only
  EXPECT_EQ(Find("C:\\Dist\\renamed.txt"), std::vector<std::string>{"RENAMED.TXT"});

  Put("ro.txt");
  ::chmod(Host("ro.txt").c_str(), 0444);
  Put("c.txt", "c", 760000000);
  EXPECT_FAILS_WITH(MoveFileExA("C:\\c.txt", "C:\\ro.txt", MOVEFILE_REPLACE_EXISTING),
                    ERROR_ACCESS_DENIED);
  EXPECT_FAILS_WITH(MoveFileExA("C:\\c.txt", "D:\\c.txt", 0), ERROR_NOT_SAME_DEVICE);
  ASSERT_TRUE(MoveFileExA("C:\\c.txt", "D:\\c.txt", MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(Exists("c.txt"));
  EXPECT_EQ(Modified(image_.HostPath("drive_d/c.txt")), 760000000);
  EXPECT_FAILS_WITH(MoveFileA("C:\\Dist", "D:\\Dist"), ERROR_NOT_SAME_DEVICE);
}

// The monitor DLL's way out of the system directory in an upgrade while the spooler has it
// loaded: it cannot be deleted, the rename works and takes the mark along, the old name is free.
TEST_F(Files, LoadedFileCanOnlyBeRenamed) {
  const char *p = "C:\\WINNT35\\system32\\zelpsmon.dll", *o = "C:\\WINNT35\\system32\\zelpsmon.old";
  Put("WINNT35/system32/zelpsmon.dll", "v4");
  Load(p);
  EXPECT_FAILS_WITH(DeleteFileA(p), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(MoveFileExA(p, o, MOVEFILE_REPLACE_EXISTING));
  EXPECT_FAILS_WITH(DeleteFileA(o), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CopyFileA("C:\\Dist\\Setup.INF", p, FALSE));
  EXPECT_TRUE(DeleteFileA(p));
  Put("new.dll", "v5");
  EXPECT_FAILS_WITH(MoveFileExA("C:\\new.dll", o, MOVEFILE_REPLACE_EXISTING), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Read("WINNT35/system32/zelpsmon.old"), "v4");
  // Nor can the directory that holds it be renamed.
  EXPECT_FAILS_WITH(MoveFileA("C:\\WINNT35\\system32", "C:\\WINNT35\\sys"), ERROR_ACCESS_DENIED);
}

TEST_F(Files, FindWithWindowsWildcards) {
  for (const char *name : {"Pscript.DLL", "pscrptui.dll", "README", "a.b.dll", "x.dllx"})
    Put(std::string("Drv/") + name, "12345", 760000000);
  std::filesystem::create_directories(Host("Drv/2"));
  using V = std::vector<std::string>;
  EXPECT_EQ(Find("C:\\Drv\\*"),
            (V{".", "..", "2", "a.b.dll", "Pscript.DLL", "pscrptui.dll", "README", "x.dllx"}));
  EXPECT_EQ(Find("c:\\drv\\*.*"), Find("C:\\Drv\\*"));  // names without a dot too
  // x.dllx by its short name X~1.DLL
  EXPECT_EQ(Find("C:\\Drv\\*.dll"), (V{"a.b.dll", "Pscript.DLL", "pscrptui.dll", "x.dllx"}));
  EXPECT_EQ(Find("C:\\Drv\\ps?ript.dll"), V{"Pscript.DLL"});
  EXPECT_EQ(Find("C:\\Drv\\README?"), V{"README"});  // '?' may match nothing at the end
  EXPECT_EQ(Find("C:\\Drv\\*."), (V{".", "..", "2", "README"}));
  EXPECT_EQ(Find("C:\\Drv\\*.xyz"), V{"error 2"});
  EXPECT_EQ(Find("C:\\NoDir\\*"), V{"error 3"});
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\DRV"));
  EXPECT_EQ(Find("ps*.dll"), Find("C:ps*.DLL"));

  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("C:\\Drv\\PSCRIPT.DLL", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, kArchive);
  uint64_t written =
      (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written, (760000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_TRUE(FindClose(h));
  EXPECT_FAILS_WITH(FindClose(h), ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(FindNextFileA(h, &data), ERROR_INVALID_HANDLE);

  // A subdirectory's attribute word is exactly FILE_ATTRIBUTE_DIRECTORY unless it is read-only.
  FindClose(FindFirstFileA("C:\\Drv\\2", &data));
  EXPECT_EQ(data.dwFileAttributes, kDirectory);
  ::chmod(Host("Drv/2").c_str(), 0555);
  FindClose(FindFirstFileA("C:\\Drv\\2", &data));
  EXPECT_EQ(data.dwFileAttributes, kDirectory | kReadOnly);
}

TEST(FilesFaults, InjectedFaultsFailTheNamedCall) {
  TestImage image("[faults]\nDeleteFileA = 32\nCopyFileA#2 = 112\nGetSystemDirectoryA = 8\n");
  image.WriteFile("drive_c/a.txt", "a");
  image.Open();
  char buffer[MAX_PATH];
  EXPECT_FAILS_WITH(DeleteFileA("C:\\a.txt"), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(image.Exists("drive_c/a.txt"));
  EXPECT_TRUE(CopyFileA("C:\\a.txt", "C:\\b.txt", FALSE));
  EXPECT_FAILS_WITH(CopyFileA("C:\\a.txt", "C:\\c.txt", FALSE), ERROR_DISK_FULL);
  EXPECT_FAILS_WITH(GetSystemDirectoryA(buffer, sizeof buffer), ERROR_NOT_ENOUGH_MEMORY);
}

std::string PendingRenames() {
  HKEY key;
  char data[512];
  DWORD type = 0, size = sizeof data;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return "no key";
  LONG rc = RegQueryValueExA(key, "PendingFileRenameOperations", NULL, &type,
                             reinterpret_cast<LPBYTE>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ) return "no REG_MULTI_SZ value";
  return std::string(data, size);
}

// Moves for the next restart go where NT keeps them, after those already recorded.
TEST(PendingRenames, RecordedInSessionManagerInOrder) {
  std::string reg = testing_support::kMinimalRegistry;
  reg +=
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
      "\"PendingFileRenameOperations\"=hex(7):5c,3f,3f,5c,43,3a,5c,78,00,00,00\r\n\r\n";
  TestImage image("", reg);
  image.WriteFile("drive_c/TEMP/new.dll", "v5");
  image.Open();
  ASSERT_TRUE(
      MoveFileExA("C:\\WINNT35\\system32\\zelpsmon.old", NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileExA("c:\\temp\\new.dll", "C:\\WINNT35\\system32\\zelpsmon.dll",
                          MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(image.Exists("drive_c/TEMP/new.dll"));  // nothing moves before the restart
  EXPECT_FAILS_WITH(
      MoveFileExA("C:\\a", "C:\\b", MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED),
      ERROR_INVALID_PARAMETER);
  const char expected[] =
      "\\??\\C:\\x\0\0"
      "\\??\\C:\\WINNT35\\system32\\zelpsmon.old\0\0"
      "\\??\\C:\\temp\\new.dll\0!\\??\\C:\\WINNT35\\system32\\zelpsmon.dll\0";
  EXPECT_EQ(PendingRenames(), std::string(expected, sizeof expected));
  winsim::CloseMachine();  // on disk at once: the machine opened afresh still has them
  image.Open();
  EXPECT_EQ(PendingRenames(), std::string(expected, sizeof expected));
}

TEST(PendingRenames, FailWhenTheKeyIsDenied) {
  TestImage image(std::string("[deny]\nkey = HKEY_LOCAL_MACHINE\\") + kSessionManager + "\n");
  image.Open();
  EXPECT_FAILS_WITH(MoveFileExA("C:\\x.old", NULL, MOVEFILE_DELAY_UNTIL_REBOOT),
                    ERROR_ACCESS_DENIED);
  EXPECT_EQ(PendingRenames(), "no key");
}

}  // namespace
