// Process-level calls: the last error, the version word, the environment and its expansion,
// starting programs, named mutexes, time, modules and the pseudo handles.
#include <cstring>
#include <string>

#include "tests/conformance/conformance.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

const char kVar[] = "NorvaleConformanceVar";

}  // namespace

CONFORMANCE_AREA(process) {
  SetLastError(1234);
  Check("SetLastError/GetLastError", GetLastError(), 1234);

  // Windows NT 3.5 build 807: the top bit clear, the major version in the low byte.
  DWORD version = GetVersion();
  Check("GetVersion.major", LOBYTE(LOWORD(version)), 3);
  Check("GetVersion.minor", HIBYTE(LOWORD(version)), 50);
  Check("GetVersion.nt", (version & 0x80000000u) == 0, true);
  Check("GetVersion.build", HIWORD(version) & 0x7FFF, 807);

  Check("GetCurrentProcess", reinterpret_cast<LONG_PTR>(GetCurrentProcess()), -1);
  ArmLastError();
  Check("CloseHandle(null)", Outcome(CloseHandle(nullptr)), "0 err=6");
  UINT first = SetErrorMode(SEM_FAILCRITICALERRORS);
  Check("SetErrorMode.previous", SetErrorMode(first), SEM_FAILCRITICALERRORS);

  // Environment variables: names compare without regard to case; the length comes back without
  // the terminator when it fits, the size needed with it when it does not, and a buffer that is
  // too small is left as it was.
  char buffer[64];
  ArmLastError();
  Check("GetEnvironmentVariableA(missing)", Outcome(GetEnvironmentVariableA(kVar, buffer, 64)),
        "0 err=203");
  ArmLastError();
  Check("SetEnvironmentVariableA", Outcome(SetEnvironmentVariableA(kVar, "value")),
        "1 err=untouched");
  struct GetCase {
    const char *what, *name;
    DWORD size;
    const char *nt, *text;
  } gets[] = {
      {"GetEnvironmentVariableA(fits)", kVar, 64, "5 err=untouched", "value"},
      {"GetEnvironmentVariableA(any case)", "NORVALECONFORMANCEVAR", 64, "5 err=untouched",
       "value"},
      {"GetEnvironmentVariableA(no room for terminator)", kVar, 5, "6 err=untouched", "FOO"},
  };
  for (const GetCase &c : gets) {
    std::strcpy(buffer, "FOO");
    ArmLastError();
    Check(c.what, Outcome(GetEnvironmentVariableA(c.name, buffer, c.size)), c.nt);
    Check((std::string(c.what) + ".text").c_str(), buffer, c.text);
  }

  // Expansion: the count includes the terminator; a reference to a variable that is not set
  // stays as written. A buffer that is too small gets an empty text and the count it needs,
  // which is more than it holds; the last error is left alone.
  struct ExpandCase {
    const char *what, *source;
    DWORD size;
    const char *nt, *text;
  } expands[] = {
      {"ExpandEnvironmentStringsA(fits)", "[%NorvaleConformanceVar%]", 64, "8 err=untouched",
       "[value]"},
      {"ExpandEnvironmentStringsA(not set)", "%NorvaleNoSuchVar%x", 64, "20 err=untouched",
       "%NorvaleNoSuchVar%x"},
      {"ExpandEnvironmentStringsA(null source)", nullptr, 64, "1 err=untouched", ""},
  };
  for (const ExpandCase &c : expands) {
    std::strcpy(buffer, "FOO");
    ArmLastError();
    Check(c.what, Outcome(ExpandEnvironmentStringsA(c.source, buffer, c.size)), c.nt);
    Check((std::string(c.what) + ".text").c_str(), buffer, c.text);
  }
  std::strcpy(buffer, "FOO");
  ArmLastError();
  DWORD needed = ExpandEnvironmentStringsA("[%NorvaleConformanceVar%]", buffer, 4);
  Check("ExpandEnvironmentStringsA(small).last error", Outcome(needed > 4), "1 err=untouched");
  Check("ExpandEnvironmentStringsA(small).count", needed >= 8, true);
  Check("ExpandEnvironmentStringsA(small).text", buffer, "");

  ArmLastError();
  SetEnvironmentVariableA(kVar, nullptr);
  Check("SetEnvironmentVariableA(remove)", Outcome(GetEnvironmentVariableA(kVar, buffer, 64)),
        "0 err=203");

  // CreateProcessA: a program that is not there is looked for before the working directory.
  std::string dir = conformance::Scratch();
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  struct StartCase {
    const char *what;
    std::string application, commandLine, directory;
    const char *nt;
  } starts[] = {
      {"CreateProcessA(missing program)", dir + "nosuch.exe", "", "", "0 err=2"},
      {"CreateProcessA(missing on the command line)", "", "\"" + dir + "nosuch.exe\" /x", "",
       "0 err=2"},
      {"CreateProcessA(missing program and directory)", "", "\"" + dir + "nosuch.exe\"",
       dir + "nosuchdir", "0 err=2"},
  };
  for (const StartCase &c : starts) {
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    std::string line = c.commandLine;
    ArmLastError();
    BOOL ok = CreateProcessA(c.application.empty() ? nullptr : c.application.c_str(),
                             line.empty() ? nullptr : &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                             c.directory.empty() ? nullptr : c.directory.c_str(), &startup, &info);
    Check(c.what, Outcome(ok), c.nt);
    if (ok) {
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
  }
  conformance::RemoveTree(dir);

  // Named mutexes: a new one clears the last error, an existing one is opened with
  // ERROR_ALREADY_EXISTS. A mutex is owned by the thread, whichever handle it goes through, and
  // the initial ownership asked for with an existing name is not granted.
  const char *name = "NorvaleConformanceMutex";
  ArmLastError();
  HANDLE owner = CreateMutexA(nullptr, TRUE, name);
  Check("CreateMutexA(new, owned)", Outcome(owner != nullptr), "1 err=0");
  ArmLastError();
  HANDLE second = CreateMutexA(nullptr, TRUE, name);
  Check("CreateMutexA(existing)", Outcome(second != nullptr), "1 err=183");
  ArmLastError();
  Check("ReleaseMutex(other handle, same thread)", Outcome(ReleaseMutex(second)),
        "1 err=untouched");
  ArmLastError();
  Check("ReleaseMutex(released)", Outcome(ReleaseMutex(owner)), "0 err=288");
  HANDLE unowned = CreateMutexA(nullptr, FALSE, nullptr);
  ArmLastError();
  Check("ReleaseMutex(never owned)", Outcome(ReleaseMutex(unowned)), "0 err=288");
  CloseHandle(unowned);
  ArmLastError();
  Check("ReleaseMutex(null)", Outcome(ReleaseMutex(nullptr)), "0 err=6");
  CloseHandle(second);
  CloseHandle(owner);
  ArmLastError();
  Check("OpenMutexA(gone)", Outcome(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name) != nullptr),
        "0 err=2");

  // Time goes on across a sleep.
  DWORD before = GetTickCount();
  Sleep(200);
  Check("GetTickCount.after Sleep(200)", GetTickCount() - before >= 180, true);

  // Modules: a loaded library is found by name with or without its extension; a missing one
  // fails with ERROR_MOD_NOT_FOUND, a missing procedure with ERROR_PROC_NOT_FOUND.
  ArmLastError();
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  Check("LoadLibraryA(ADVAPI32.DLL)", Outcome(advapi != nullptr), "1 err=untouched");
  ArmLastError();
  Check("LoadLibraryA(missing)", Outcome(LoadLibraryA("norvalenosuch.dll") != nullptr),
        "0 err=126");
  Check("GetModuleHandleA(advapi32)", GetModuleHandleA("advapi32") == advapi, true);
  ArmLastError();
  Check("GetModuleHandleA(missing)", Outcome(GetModuleHandleA("norvalenosuch.dll") != nullptr),
        "0 err=126");
  ArmLastError();
  Check("GetProcAddress(RegOpenKeyExA)",
        Outcome(GetProcAddress(advapi, "RegOpenKeyExA") != nullptr), "1 err=untouched");
  ArmLastError();
  Check("GetProcAddress(wrong case)", Outcome(GetProcAddress(advapi, "regopenkeyexa") != nullptr),
        "0 err=127");
  ArmLastError();
  Check("GetProcAddress(missing)", Outcome(GetProcAddress(advapi, "NorvaleNoSuch") != nullptr),
        "0 err=127");
  ArmLastError();
  Check("FreeLibrary", Outcome(FreeLibrary(advapi)), "1 err=untouched");
}
