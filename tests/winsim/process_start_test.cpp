// CreateProcessA and InitiateSystemShutdownA as Windows NT behaves: where a program is looked
// for, what the caller gets back, and when a restart is granted and how the machine keeps it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/handles.h"

using testing_support::ReadHostFile;
using testing_support::TestImage;

namespace {

std::string MachineIni() {
  return "[system]\nversion = 3.50.807\nwindows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\n"
         "temp = C:\\TEMP\n\n[drives]\nC = drive_c\n\n"
         "[environment]\nPATH = C:\\WINNT35\\system32; C:\\TOOLS\\ ;;C:\\MISSING\n";
}

class ProcessStart : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.WriteFile("drive_c/WINNT35/system32/printman.exe", "MZ");
    image_.WriteFile("drive_c/WINNT35/write.exe", "MZ");
    image_.WriteFile("drive_c/TOOLS/Grep.Exe", "MZ");
    image_.WriteFile("drive_c/TOOLS/edit.com", "MZ");
    image_.WriteFile("drive_c/DIST/setupaid.exe", "MZ");
    image_.WriteFile("drive_c/Program Files/App Dir/app.exe", "MZ");
    image_.WriteFile("drive_c/Program.exe", "MZ");
    image_.WriteFile("drive_c/WORK/local.exe", "MZ");
    // A directory that carries a program's name is no program.
    image_.WriteFile("drive_c/WINNT35/system32/notes.exe/readme.txt", "");
    image_.Open(image_.HostPath("drive_c/DIST"), image_.HostPath("transcript"));
  }

  // Starts the command line; answers whether it started and closes what it got.
  bool Start(const std::string &commandLine, DWORD *error = nullptr) {
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    SetLastError(0);
    BOOL ok =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (error) *error = GetLastError();
    if (ok) {
      EXPECT_NE(pi.hProcess, nullptr);
      EXPECT_NE(pi.hThread, nullptr);
      EXPECT_NE(pi.hProcess, pi.hThread);
      EXPECT_NE(pi.dwProcessId, 0u);
      EXPECT_TRUE(CloseHandle(pi.hThread));
      EXPECT_TRUE(CloseHandle(pi.hProcess));
    } else {
      EXPECT_EQ(pi.hProcess, nullptr);
    }
    return ok != FALSE;
  }

  std::string Transcript() const { return ReadHostFile(image_.HostPath("transcript")); }

  TestImage image_{MachineIni()};
};

TEST_F(ProcessStart, FindsProgramsByTheSearchOrderWithExeAppended) {
  EXPECT_TRUE(Start("printman"));            // system directory
  EXPECT_TRUE(Start("WRITE relnt50.wri"));   // Windows directory, any case, with arguments
  EXPECT_TRUE(Start("grep -i x"));           // a PATH entry with blanks and a backslash
  EXPECT_TRUE(Start("setupaid"));            // the directory setup was started in
  EXPECT_TRUE(Start("edit.com"));            // an extension given is kept
  EXPECT_TRUE(Start("C:\\WINNT35\\write"));  // a path is not searched, but gets ".exe"
  EXPECT_EQ(Transcript(),
            "start \"printman\"\nstart \"WRITE relnt50.wri\"\nstart \"grep -i x\"\n"
            "start \"setupaid\"\nstart \"edit.com\"\nstart \"C:\\\\WINNT35\\\\write\"\n");
}

TEST_F(ProcessStart, CurrentDirectoryIsSearchedAndTheStartDirectoryStaysFirst) {
  DWORD error = 0;
  EXPECT_FALSE(Start("local", &error));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\WORK"));
  EXPECT_TRUE(Start("local"));
  EXPECT_TRUE(Start("setupaid")) << "the application's directory does not move with the current";
}

TEST_F(ProcessStart, MissingProgramFailsWithFileNotFoundAndIsRecorded) {
  DWORD error = 0;
  const size_t handles = winsim::OpenKernelHandleCount();
  EXPECT_FALSE(Start("winhlp32 zelpsmon.hlp", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Start("notes", &error)) << "a directory is not started";
  EXPECT_FALSE(Start("edit", &error)) << "only .exe is appended";
  EXPECT_FALSE(Start("C:\\DIST\\printman", &error)) << "a path is not searched";
  EXPECT_FALSE(Start("", &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(winsim::OpenKernelHandleCount(), handles);
  EXPECT_EQ(Transcript(),
            "start-failed \"winhlp32 zelpsmon.hlp\"\nstart-failed \"notes\"\n"
            "start-failed \"edit\"\nstart-failed \"C:\\\\DIST\\\\printman\"\nstart-failed \"\"\n");
}

TEST_F(ProcessStart, NamesWithBlanksAreQuotedOrTriedAtEachBlank) {
  EXPECT_TRUE(Start("\"C:\\Program Files\\App Dir\\app\" /x"));
  // Unquoted, the shortest reading that names a program wins: here C:\Program.exe.
  EXPECT_TRUE(Start("C:\\Program Files\\App Dir\\none"));
  EXPECT_FALSE(Start("\"C:\\Program Files\\App Dir\\none\""));
}

TEST_F(ProcessStart, ApplicationNameIsTakenAsItStands) {
  char cmd[] = "printman /s";
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  EXPECT_FALSE(
      CreateProcessA("printman.exe", cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << "not searched";
  EXPECT_FALSE(CreateProcessA("C:\\WINNT35\\system32\\printman", cmd, nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &si, &pi))
      << "no extension added";
  ASSERT_TRUE(CreateProcessA("C:\\WINNT35\\system32\\printman.exe", cmd, nullptr, nullptr, FALSE, 0,
                             nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

// ---- shutdown ------------------------------------------------------------------------------

bool EnableShutdownPrivilege() {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
  TOKEN_PRIVILEGES tp;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool ok = LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  CloseHandle(token);
  return ok;
}

bool RestartKeptInImage(const TestImage &image) {
  return image.ReadFile("machine.ini").find("restart = yes") != std::string::npos;
}

TEST(Shutdown, NeedsTheEnabledShutdownPrivilegeAndKeepsTheRestart) {
  TestImage image(MachineIni());
  image.Open("", image.HostPath("transcript"));
  // Held but not yet enabled.
  EXPECT_FALSE(InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
  EXPECT_FALSE(RestartKeptInImage(image));

  ASSERT_TRUE(EnableShutdownPrivilege());
  char remote[] = "\\\\OTHER";
  EXPECT_FALSE(InitiateSystemShutdownA(remote, nullptr, 0, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_NETPATH));
  EXPECT_EQ(ReadHostFile(image.HostPath("transcript")), "");

  SetLastError(77);
  EXPECT_TRUE(InitiateSystemShutdownA(nullptr, nullptr, 0, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), 77u);
  EXPECT_EQ(ReadHostFile(image.HostPath("transcript")), "shutdown restart\n");
  EXPECT_TRUE(RestartKeptInImage(image));
  winsim::CloseMachine();
  image.Open();
  EXPECT_TRUE(winsim::M().restart) << "the machine knows after it is opened again";
}

TEST(Shutdown, ARestartCanBeCalledOffWhileItsTimeOutRuns) {
  TestImage image(MachineIni());
  image.Open();
  ASSERT_TRUE(EnableShutdownPrivilege());
  EXPECT_TRUE(InitiateSystemShutdownA(nullptr, nullptr, 30, FALSE, TRUE));
  EXPECT_FALSE(InitiateSystemShutdownA(nullptr, nullptr, 30, FALSE, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHUTDOWN_IN_PROGRESS));
  EXPECT_TRUE(AbortSystemShutdownA(nullptr));
  EXPECT_FALSE(RestartKeptInImage(image));
  // Once the time-out has run, or with none, the restart stands.
  EXPECT_TRUE(InitiateSystemShutdownA(nullptr, nullptr, 1, FALSE, TRUE));
  Sleep(1000);
  EXPECT_FALSE(AbortSystemShutdownA(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SHUTDOWN_IN_PROGRESS));
  EXPECT_TRUE(RestartKeptInImage(image));
}

}  // namespace
