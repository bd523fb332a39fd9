// Process-level kernel32 calls, checked as Windows NT behaves: the version word, environment
// expansion, the run-time loading of ADVAPI32.DLL, memory, handles, sleeps and the exit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "test_image.h"
#include "winsim/handles.h"

using testing_support::ReadHostFile;
using testing_support::TestImage;

namespace {

std::string MachineIni(const std::string &systemKeys, const std::string &moreSections = "") {
  return "[system]\n" + systemKeys +
         "windows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\ntemp = C:\\TEMP\n\n"
         "[drives]\nC = drive_c\n" +
         moreSections;
}

struct VersionCase {
  const char *system;
  DWORD word;
};

TEST(GetVersionWord, CarriesMajorMinorBuildAndThePlatformBit) {
  const VersionCase cases[] = {
      {"version = 3.10.511\n", 0x01FF0A03},  // Windows NT 3.1
      {"version = 3.50.806\n", 0x03263203},  // NT 3.5, builds around 807
      {"version = 3.50.807\n", 0x03273203},
      {"version = 3.50.808\n", 0x03283203},
      {"version = 3.51.1057\n", 0x04213303},                    // NT 3.51
      {"version = 4.0.1381\n", 0x05650004},                     // NT 4.0
      {"version = 4.0.950\nplatform = windows\n", 0x83B60004},  // Windows 95
  };
  for (const VersionCase &c : cases) {
    SCOPED_TRACE(c.system);
    TestImage image(MachineIni(c.system));
    image.Open();
    DWORD word = GetVersion();
    EXPECT_EQ(word, c.word);
    // Read back the way the setup reads it.
    bool nt = (word & 0x80000000u) == 0;
    EXPECT_EQ(nt, std::strstr(c.system, "windows") == nullptr);
    EXPECT_EQ(LOBYTE(LOWORD(word)), winsim::M().major);
    EXPECT_EQ(HIBYTE(LOWORD(word)), winsim::M().minor);
    EXPECT_EQ((word >> 16) & 0xFFF, winsim::M().build);
  }
}

TEST(ExpandEnvironmentStrings, ExpandsMachineVariablesWithoutRegardToCase) {
  TestImage image(MachineIni("processor = MIPS\n",
                             "[environment]\nPATH = C:\\WINNT35\\system32;C:\\WINNT35\n"));
  image.Open();
  char buf[64];
  SetLastError(1234);
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", buf, 16), 5u);
  EXPECT_STREQ(buf, "MIPS");
  EXPECT_EQ(GetLastError(), 1234u);  // success leaves the last error alone
  EXPECT_EQ(ExpandEnvironmentStringsA("%processor_architecture%", buf, 16), 5u);
  EXPECT_STREQ(buf, "MIPS");
  EXPECT_EQ(ExpandEnvironmentStringsA("%SystemRoot%\\system32", buf, sizeof buf), 20u);
  EXPECT_STREQ(buf, "C:\\WINNT35\\system32");
  EXPECT_EQ(ExpandEnvironmentStringsA("[%windir%]", buf, sizeof buf), 13u);
  EXPECT_STREQ(buf, "[C:\\WINNT35]");
  EXPECT_EQ(ExpandEnvironmentStringsA("%Path%", buf, sizeof buf), 31u);
  EXPECT_STREQ(buf, "C:\\WINNT35\\system32;C:\\WINNT35");
}

TEST(ExpandEnvironmentStrings, LeavesUndefinedVariablesAsWritten) {
  TestImage image(MachineIni("processor =\n"));
  image.Open();
  char buf[64];
  const char *kept[] = {"%PROCESSOR_ARCHITECTURE%", "%NOSUCH%x", "100%", "%%", "a%b",
                        "%NOSUCH%%windir%"};
  const char *want[] = {"%PROCESSOR_ARCHITECTURE%", "%NOSUCH%x", "100%", "%%", "a%b",
                        "%NOSUCH%C:\\WINNT35"};
  for (size_t i = 0; i < sizeof kept / sizeof *kept; ++i) {
    SCOPED_TRACE(kept[i]);
    EXPECT_EQ(ExpandEnvironmentStringsA(kept[i], buf, sizeof buf), std::strlen(want[i]) + 1);
    EXPECT_STREQ(buf, want[i]);
  }
  // The setup's 16-byte buffer: the size needed comes back, and the buffer an empty text.
  char small[16];
  std::memset(small, 'Z', sizeof small);
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", small, 16), 25u);
  EXPECT_STREQ(small, "");
}

TEST(ExpandEnvironmentStrings, ReportsTheSizeNeededWhenTheBufferIsTooSmall) {
  TestImage image;  // processor x86
  image.Open();
  char buf[8];
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", nullptr, 0), 4u);
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", buf, 4), 4u);  // exact fit
  EXPECT_STREQ(buf, "x86");
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", buf, 3), 4u);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(ExpandEnvironmentStringsA("", buf, sizeof buf), 1u);
  EXPECT_STREQ(buf, "");
}

TEST(ExpandEnvironmentStrings, InjectedFaultFailsWithItsError) {
  TestImage image(MachineIni("", "[faults]\nExpandEnvironmentStringsA = 8\n"));
  image.Open();
  char buf[16] = "";
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", buf, 16), 0u);
  EXPECT_EQ(GetLastError(), 8u);
}

TEST(EnvironmentVariables, SetGetAndDeleteForTheProcessOnly) {
  TestImage image;
  image.Open();
  char buf[32];
  EXPECT_EQ(GetEnvironmentVariableA("NORVALE", buf, sizeof buf), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  ASSERT_TRUE(SetEnvironmentVariableA("Norvale", "on"));
  EXPECT_EQ(GetEnvironmentVariableA("NORVALE", buf, sizeof buf), 2u);
  EXPECT_STREQ(buf, "on");
  EXPECT_EQ(GetEnvironmentVariableA("NORVALE", buf, 2), 3u);  // too small: size with terminator
  EXPECT_EQ(ExpandEnvironmentStringsA("<%norvale%>", buf, sizeof buf), 5u);
  EXPECT_STREQ(buf, "<on>");
  ASSERT_TRUE(SetEnvironmentVariableA("PROCESSOR_ARCHITECTURE", nullptr));
  EXPECT_EQ(ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", buf, sizeof buf), 25u);
  EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // The image is not changed: the next process sees the machine's environment again.
  image.Open();
  EXPECT_EQ(GetEnvironmentVariableA("NORVALE", buf, sizeof buf), 0u);
  EXPECT_EQ(GetEnvironmentVariableA("PROCESSOR_ARCHITECTURE", buf, sizeof buf), 3u);
}

TEST(ProcessCalls, ErrorModeTickCountAndPseudoHandles) {
  TestImage image;
  image.Open();
  EXPECT_EQ(SetErrorMode(SEM_FAILCRITICALERRORS), 0u);
  EXPECT_EQ(SetErrorMode(0), static_cast<UINT>(SEM_FAILCRITICALERRORS));

  SetLastError(0);
  EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
  EXPECT_TRUE(CloseHandle(GetCurrentThread()));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x5555)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(nullptr));

  HANDLE token = winsim::NewKernelHandle("test", nullptr);
  size_t open = winsim::OpenKernelHandleCount();
  EXPECT_TRUE(CloseHandle(token));
  EXPECT_EQ(winsim::OpenKernelHandleCount(), open - 1);
  EXPECT_FALSE(CloseHandle(token));  // closed twice
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(ProcessCalls, SleepRunsOnTheVirtualClockAndIsTranscribed) {
  TestImage image;
  std::string transcript = image.Dir() + "/transcript.txt";
  image.Open("", transcript);
  DWORD before = GetTickCount();
  Sleep(1000);
  Sleep(2000);
  EXPECT_EQ(GetTickCount() - before, 3000u);
  EXPECT_EQ(ReadHostFile(transcript), "sleep 1000\nsleep 2000\n");
}

TEST(ProcessCallsDeathTest, ExitProcessEndsWithItsCodeAndTranscribesIt) {
  TestImage image;
  std::string transcript = image.Dir() + "/transcript.txt";
  image.Open("", transcript);
  EXPECT_EXIT(ExitProcess(7), ::testing::ExitedWithCode(7), "");
  EXPECT_EQ(ReadHostFile(transcript), "exit 7\n");
}

TEST(LocalMemory, ZeroInitIsHonouredAndBadFreesFail) {
  TestImage image;
  image.Open();
  unsigned char *zeroed = static_cast<unsigned char *>(LocalAlloc(LPTR, 64));
  unsigned char *plain = static_cast<unsigned char *>(GlobalAlloc(GMEM_FIXED, 64));
  ASSERT_NE(zeroed, nullptr);
  ASSERT_NE(plain, nullptr);
  bool allZero = true, anyNonZero = false;
  for (int i = 0; i < 64; ++i) allZero = allZero && zeroed[i] == 0, anyNonZero |= plain[i] != 0;
  EXPECT_TRUE(allZero);
  EXPECT_TRUE(anyNonZero);  // nobody may count on zeros without asking
  EXPECT_EQ(LocalFree(zeroed), nullptr);
  EXPECT_EQ(GlobalFree(plain), nullptr);
  EXPECT_EQ(LocalFree(zeroed), zeroed);  // freed twice: the handle comes back
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(RegistryLibrary, LoadsUnderAnySpellingAndIsReferenceCounted) {
  TestImage image;
  image.Open();
  HMODULE a = LoadLibraryA("ADVAPI32.DLL");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(LoadLibraryA("advapi32"), a);
  EXPECT_EQ(GetModuleHandleA("AdvApi32.Dll"), a);
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_EQ(GetModuleHandleA("ADVAPI32"), a);  // still loaded once
  EXPECT_NE(GetProcAddress(a, "RegCloseKey"), nullptr);
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_EQ(GetModuleHandleA("ADVAPI32.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(a, "RegCloseKey"), nullptr);
  EXPECT_FALSE(FreeLibrary(a));

  for (const char *name : {"KERNEL32.DLL", "mscuistf.dll", "ADVAPI32.EXE", "", "C:\\ADVAPI32"}) {
    SCOPED_TRACE(name);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  }
}

TEST(RegistryLibrary, HandsOutTheRegistryEntryPointsByExactName) {
  TestImage image;
  image.Open();
  HMODULE lib = LoadLibraryA("ADVAPI32.DLL");
  ASSERT_NE(lib, nullptr);
  struct {
    const char *name;
    void (*fn)(void);
  } const entries[] = {
      {"RegCloseKey", reinterpret_cast<void (*)(void)>(&RegCloseKey)},
      {"RegCreateKeyA", reinterpret_cast<void (*)(void)>(&RegCreateKeyA)},
      {"RegDeleteKeyA", reinterpret_cast<void (*)(void)>(&RegDeleteKeyA)},
      {"RegOpenKeyA", reinterpret_cast<void (*)(void)>(&RegOpenKeyA)},
      {"RegQueryValueA", reinterpret_cast<void (*)(void)>(&RegQueryValueA)},
      {"RegSetValueA", reinterpret_cast<void (*)(void)>(&RegSetValueA)},
      {"RegCreateKeyExA", reinterpret_cast<void (*)(void)>(&RegCreateKeyExA)},
      {"RegOpenKeyExA", reinterpret_cast<void (*)(void)>(&RegOpenKeyExA)},
      {"RegQueryValueExA", reinterpret_cast<void (*)(void)>(&RegQueryValueExA)},
      {"RegSetValueExA", reinterpret_cast<void (*)(void)>(&RegSetValueExA)},
      {"RegEnumKeyA", reinterpret_cast<void (*)(void)>(&RegEnumKeyA)},
      {"RegQueryInfoKeyA", reinterpret_cast<void (*)(void)>(&RegQueryInfoKeyA)},
      {"RegEnumKeyExA", reinterpret_cast<void (*)(void)>(&RegEnumKeyExA)},
      {"RegEnumValueA", reinterpret_cast<void (*)(void)>(&RegEnumValueA)},
      {"RegDeleteValueA", reinterpret_cast<void (*)(void)>(&RegDeleteValueA)},
  };
  for (const auto &e : entries) {
    SCOPED_TRACE(e.name);
    FARPROC proc = GetProcAddress(lib, e.name);
    ASSERT_NE(proc, nullptr);
    EXPECT_EQ(reinterpret_cast<void (*)(void)>(proc), e.fn);
  }
  // Through the table the calls work like the direct ones.
  typedef LONG(WINAPI * OpenKeyFn)(HKEY, LPCSTR, PHKEY);
  typedef LONG(WINAPI * CloseKeyFn)(HKEY);
  auto open = reinterpret_cast<OpenKeyFn>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(lib, "RegOpenKeyA")));
  auto close = reinterpret_cast<CloseKeyFn>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(lib, "RegCloseKey")));
  HKEY key = nullptr;
  ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "SYSTEM\\Setup", &key), ERROR_SUCCESS);
  EXPECT_EQ(close(key), ERROR_SUCCESS);

  for (const char *name : {"regclosekey", "RegCloseKeyA", "OpenSCManagerA", "RegNoSuchCall"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetProcAddress(lib, name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  }
  FreeLibrary(lib);
}

TEST(RegistryLibrary, InjectedFaultsFailTheNthLoadOrLookUp) {
  TestImage image(MachineIni("", "[faults]\nLoadLibraryA#1 = 126\nGetProcAddress#3 = 127\n"));
  image.Open();
  EXPECT_EQ(LoadLibraryA("ADVAPI32.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE lib = LoadLibraryA("ADVAPI32.DLL");
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(GetProcAddress(lib, "RegCloseKey"), nullptr);
  EXPECT_NE(GetProcAddress(lib, "RegCreateKeyA"), nullptr);
  EXPECT_EQ(GetProcAddress(lib, "RegDeleteKeyA"), nullptr);  // the third look-up
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_NE(GetProcAddress(lib, "RegDeleteKeyA"), nullptr);
  FreeLibrary(lib);
}

}  // namespace
