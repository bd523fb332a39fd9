// Windows paths on the image: drive mapping, look-up without regard to case, ".." at a drive's
// root, relative and drive-relative paths, and the working directory as the system sees it.
#include <direct.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "test_image.h"

using testing_support::TestImage;

namespace {

std::string Full(const std::string &path) {
  std::string full;
  uint32_t error = 0;
  if (!winsim::FullWindowsPath(path, &full, &error)) return "error " + std::to_string(error);
  return full;
}

TEST(Paths, MapsDrivesAndFindsStoredNamesWithoutRegardToCase) {
  TestImage image;
  image.WriteFile("drive_c/Dist/Setup.INF", "x");
  image.Open();
  std::string driveC = std::filesystem::canonical(image.HostPath("drive_c")).string(), host;
  ASSERT_TRUE(winsim::ResolvePath("c:\\dist\\SETUP.inf", &host, nullptr));
  EXPECT_EQ(host, driveC + "/Dist/Setup.INF");
  ASSERT_TRUE(winsim::ResolvePath("C:\\DIST\\New\\File.Txt", &host, nullptr));
  EXPECT_EQ(host, driveC + "/Dist/New/File.Txt");  // missing names keep the case given
  std::string windows;
  ASSERT_TRUE(winsim::WindowsPathOf(driveC + "/Dist/Setup.INF", &windows));
  EXPECT_EQ(windows, "C:\\Dist\\Setup.INF");
  EXPECT_FALSE(winsim::WindowsPathOf("/", &windows));

  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA("Q:\\x"), INVALID_FILE_ATTRIBUTES);  // no such drive
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// Directories are read once; every change the machine makes keeps what it read right.
TEST(Paths, LookUpsFollowTheMachinesOwnChanges) {
  TestImage image;
  image.WriteFile("drive_c/Dist/Setup.INF", "x");
  image.Open();
  std::string driveC = std::filesystem::canonical(image.HostPath("drive_c")).string();
  auto stored = [&](const char *path) {
    std::string host;
    EXPECT_TRUE(winsim::ResolvePath(path, &host, nullptr));
    return host.substr(driveC.size() + 1);
  };
  struct Step {
    const char *what;
    std::function<bool()> change;
    const char *lookUp, *found;  // a name, and how the look-up spells it ("" when not there)
  } steps[] = {
      {"a file created",
       [] {
         HANDLE file =
             CreateFileA("C:\\dist\\New.Txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
         return file != INVALID_HANDLE_VALUE && CloseHandle(file);
       },
       "c:\\DIST\\new.txt", "Dist/New.Txt"},
      {"a file moved", [] { return MoveFileA("C:\\Dist\\new.txt", "c:\\dist\\Moved.Txt"); },
       "C:\\DIST\\MOVED.TXT", "Dist/Moved.Txt"},
      {"the name it left", [] { return true; }, "C:\\dist\\NEW.TXT", ""},
      {"a file copied", [] { return CopyFileA("C:\\dist\\moved.txt", "C:\\dist\\Copy.Txt", TRUE); },
       "c:\\dist\\copy.txt", "Dist/Copy.Txt"},
      {"a file deleted", [] { return DeleteFileA("C:\\dist\\copy.txt"); }, "C:\\dist\\copy.txt",
       ""},
      {"a directory made", [] { return CreateDirectoryA("C:\\Dist\\Sub", nullptr); },
       "c:\\dist\\SUB", "Dist/Sub"},
      {"a file in it, opened",
       [] {
         HANDLE file = CopyFileA("C:\\dist\\setup.inf", "C:\\dist\\sub\\In.Inf", TRUE)
                           ? CreateFileA("C:\\DIST\\SUB\\IN.INF", GENERIC_READ, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
         return file != INVALID_HANDLE_VALUE && CloseHandle(file);
       },
       "C:\\DIST\\SUB\\IN.INF", "Dist/Sub/In.Inf"},
      {"the directory moved", [] { return MoveFileA("C:\\dist\\sub", "C:\\dist\\Other"); },
       "c:\\dist\\other\\in.inf", "Dist/Other/In.Inf"},
      {"its old name", [] { return true; }, "C:\\DIST\\SUB\\IN.INF", ""},
      {"a file made under its old name",
       [] {
         HANDLE file = CreateFileA("C:\\DIST\\SUB\\New.Txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   0, nullptr);
         return file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND;
       },
       "C:\\dist\\other\\new.txt", ""},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.what);
    ASSERT_TRUE(step.change());
    EXPECT_EQ(GetFileAttributesA(step.lookUp) != INVALID_FILE_ATTRIBUTES, step.found[0] != '\0');
    if (step.found[0]) {
      EXPECT_EQ(stored(step.lookUp), step.found);
    }
  }
}

TEST(Paths, DotDotNeverLeavesTheDriveAndNamesAreCanonical) {
  TestImage image;
  image.Open();
  EXPECT_EQ(Full("C:\\WINNT35\\..\\..\\..\\TEMP"), "C:\\TEMP");
  EXPECT_EQ(Full("\\..\\.."), "C:\\");
  // machine.ini and system.reg lie just above drive_c on the host.
  EXPECT_EQ(GetFileAttributesA("C:\\..\\machine.ini"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileA("..\\..\\system.reg"));
  EXPECT_FALSE(CopyFileA("C:\\WINNT35\\..\\..\\machine.ini", "C:\\stolen.ini", FALSE));
  EXPECT_TRUE(image.Exists("system.reg"));
  EXPECT_FALSE(image.Exists("drive_c/stolen.ini"));

  EXPECT_EQ(Full("c:/winnt35/./system32/"), "C:\\winnt35\\system32");
  EXPECT_EQ(Full("C:\\name.. \\x"), "C:\\name\\x");  // trailing dots and blanks go
  EXPECT_EQ(Full("C:\\a<b"), "error 123");
  EXPECT_EQ(Full("\\\\server\\share\\x"), "error 123");
  EXPECT_EQ(Full(""), "error 3");
  EXPECT_EQ(Full("C:\\" + std::string(257, 'a')), "error 206");  // 260 with its terminator
  EXPECT_EQ(Full("C:\\" + std::string(256, 'a')).size(), 259u);
}

TEST(Paths, RelativeAndDriveRelativePathsFollowTheCurrentDirectory) {
  TestImage image("[drives]\nC = drive_c\nD = drive_d\n");
  image.WriteFile("drive_c/DIST/Setup.inf", "x");
  std::filesystem::create_directories(image.HostPath("drive_d"));
  image.Open(image.HostPath("drive_c/DIST"));
  EXPECT_EQ(Full("setup.inf"), "C:\\DIST\\setup.inf");
  EXPECT_EQ(Full("..\\x"), "C:\\x");
  EXPECT_EQ(Full("\\x"), "C:\\x");
  EXPECT_EQ(Full("c:x"), "C:\\DIST\\x");  // the current directory of that drive
  EXPECT_EQ(Full("D:x"), "D:\\x");        // another drive: its root

  SetLastError(77);
  ASSERT_TRUE(SetCurrentDirectoryA("d:\\"));
  EXPECT_EQ(GetLastError(), 77u);  // success leaves the last error alone
  EXPECT_EQ(Full("x"), "D:\\x");
  struct {
    const char *path;
    DWORD error;
  } failures[] = {{"C:\\missing", ERROR_FILE_NOT_FOUND},
                  {"C:\\missing\\deeper", ERROR_PATH_NOT_FOUND},
                  {"C:\\Dist\\Setup.inf", ERROR_DIRECTORY}};
  for (const auto &f : failures) {
    EXPECT_FALSE(SetCurrentDirectoryA(f.path)) << f.path;
    EXPECT_EQ(GetLastError(), f.error) << f.path;
  }
  EXPECT_EQ(winsim::M().currentDir, "D:\\");
}

TEST(Paths, WorkingDirectoryInsideADriveKeepsItsLetterAndGetcwdChecksTheBuffer) {
  TestImage image;
  std::filesystem::create_directories(image.HostPath("drive_c/Disk1"));
  image.Open(image.HostPath("drive_c/Disk1"));
  char buffer[16] = "untouched";
  errno = 0;
  EXPECT_EQ(_getcwd(buffer, 8), nullptr);  // "C:\Disk1" needs 9 bytes
  EXPECT_EQ(errno, ERANGE);
  EXPECT_STREQ(buffer, "untouched");
  ASSERT_EQ(_getcwd(buffer, 9), buffer);
  EXPECT_STREQ(buffer, "C:\\Disk1");
  char *allocated = _getcwd(nullptr, 0);  // the runtime allocates the buffer
  ASSERT_NE(allocated, nullptr);
  EXPECT_STREQ(allocated, "C:\\Disk1");
  std::free(allocated);
}

TEST(Paths, WorkingDirectoryOutsideTheDrivesIsTheRootOfA) {
  TestImage image;
  std::string outside = testing_support::MakeTempDir("winsim-dist-");
  testing_support::WriteHostFile(outside + "/SETUP.INF", "[x]\n");
  image.Open(outside);
  char buffer[256];
  ASSERT_EQ(_getcwd(buffer, 255), buffer);
  EXPECT_STREQ(buffer, "A:\\");
  EXPECT_EQ(GetFileAttributesA("setup.inf"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA("A:\\*", &data);  // a root: no "." or ".."
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "SETUP.INF");
  FindClose(h);
  winsim::CloseMachine();
  testing_support::RemoveTree(outside);
}

}  // namespace
