// The process token, privileges, SIDs and the restart request of an administrator's setup.
// The shutdown checks ask for a restart with a time-out and call it off at once, so the machine
// goes on running; the shutdown privilege is switched off again at the end.
#include <cstring>
#include <string>

#include "tests/conformance/conformance.h"

using conformance::ArmLastError;
using conformance::Check;
using conformance::Outcome;

namespace {

// The privilege's LUID by name, or a zero LUID.
LUID Luid(const char *name) {
  LUID luid = {0, 0};
  LookupPrivilegeValueA(nullptr, name, &luid);
  return luid;
}

// Switches one privilege on or off: AdjustTokenPrivileges' outcome.
std::string Adjust(HANDLE token, const char *name, bool enable) {
  TOKEN_PRIVILEGES state;
  state.PrivilegeCount = 1;
  state.Privileges[0].Luid = Luid(name);
  state.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  ArmLastError();
  BOOL ok = AdjustTokenPrivileges(token, FALSE, &state, 0, nullptr, nullptr);
  return Outcome(ok);
}

// Whether the token lists the privilege as enabled now.
bool Enabled(HANDLE token, const char *name) {
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::string buffer(size + 16, '\0');
  if (!GetTokenInformation(token, TokenPrivileges, &buffer[0], size, &size)) return false;
  TOKEN_PRIVILEGES head;
  std::memcpy(&head, buffer.data(), sizeof head.PrivilegeCount);
  LUID luid = Luid(name);
  for (DWORD i = 0; i < head.PrivilegeCount; ++i) {
    LUID_AND_ATTRIBUTES entry;
    std::memcpy(&entry, buffer.data() + offsetof(TOKEN_PRIVILEGES, Privileges) + i * sizeof entry,
                sizeof entry);
    if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
      return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  return false;
}

}  // namespace

CONFORMANCE_AREA(security) {
  // The process runs without impersonation: no thread token, the process token instead.
  HANDLE token = nullptr;
  ArmLastError();
  Check("OpenThreadToken(not impersonating)",
        Outcome(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token)), "0 err=1008");
  ArmLastError();
  Check(
      "OpenProcessToken",
      Outcome(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token)),
      "1 err=untouched");
  HANDLE adjustOnly = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &adjustOnly);

  // GetTokenInformation answers the size it needs with ERROR_INSUFFICIENT_BUFFER whenever the
  // buffer is short, and needs TOKEN_QUERY.
  DWORD size = 0, again = 0;
  ArmLastError();
  Check("GetTokenInformation(groups, no buffer)",
        Outcome(GetTokenInformation(token, TokenGroups, nullptr, 0, &size)), "0 err=122");
  std::string groups(size + 16, '\0');
  ArmLastError();
  Check("GetTokenInformation(groups, one byte short)",
        Outcome(GetTokenInformation(token, TokenGroups, &groups[0], size - 1, &again)),
        "0 err=122");
  Check("GetTokenInformation(groups, short).size", again, size);
  ArmLastError();
  Check("GetTokenInformation(groups, exact)",
        Outcome(GetTokenInformation(token, TokenGroups, &groups[0], size, &again)),
        "1 err=untouched");
  ArmLastError();
  Check("GetTokenInformation(privileges, no buffer)",
        Outcome(GetTokenInformation(token, TokenPrivileges, nullptr, 0, &again)), "0 err=122");
  ArmLastError();
  Check("GetTokenInformation(no query right)",
        Outcome(GetTokenInformation(adjustOnly, TokenGroups, &groups[0], size, &again)), "0 err=5");

  // The administrator's token holds the Administrators group, enabled.
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world = {{0, 0, 0, 0, 0, 1}};
  PSID admins = nullptr, everyone = nullptr, admins2 = nullptr, tooLong = nullptr;
  ArmLastError();
  Check("AllocateAndInitializeSid",
        Outcome(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)),
        "1 err=untouched");
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                           0, 0, &admins2);
  AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone);
  ArmLastError();
  Check("AllocateAndInitializeSid(9 sub-authorities)",
        Outcome(AllocateAndInitializeSid(&nt, 9, 1, 2, 3, 4, 5, 6, 7, 8, &tooLong)), "0 err=1337");
  bool adminEnabled = false;
  TOKEN_GROUPS head;
  std::memcpy(&head, groups.data(), sizeof head.GroupCount);
  for (DWORD i = 0; i < head.GroupCount; ++i) {
    SID_AND_ATTRIBUTES entry;
    std::memcpy(&entry, groups.data() + offsetof(TOKEN_GROUPS, Groups) + i * sizeof entry,
                sizeof entry);
    if (EqualSid(entry.Sid, admins)) adminEnabled = (entry.Attributes & SE_GROUP_ENABLED) != 0;
  }
  Check("TokenGroups.Administrators enabled", adminEnabled, true);

  // EqualSid clears the last error, so that FALSE tells "not equal" from a failure.
  ArmLastError();
  Check("EqualSid(equal)", Outcome(EqualSid(admins, admins2)), "1 err=0");
  ArmLastError();
  Check("EqualSid(different)", Outcome(EqualSid(admins, everyone)), "0 err=0");
  Check("FreeSid",
        FreeSid(admins) == nullptr && FreeSid(admins2) == nullptr && FreeSid(everyone) == nullptr,
        true);

  // Privilege names and their LUIDs; names compare without regard to case.
  struct NameCase {
    const char *name;
    const char *nt;
    DWORD luid;
  } names[] = {
      {"SeShutdownPrivilege", "1 err=untouched", 19},
      {"seshutdownprivilege", "1 err=untouched", 0},
      {"SeRestorePrivilege", "1 err=untouched", 18},
      {"SeNorvaleNoSuchPrivilege", "0 err=1313", 0},
  };
  for (const NameCase &c : names) {
    LUID luid = {0, 0};
    ArmLastError();
    std::string outcome = Outcome(LookupPrivilegeValueA(nullptr, c.name, &luid));
    Check((std::string("LookupPrivilegeValueA(") + c.name + ")").c_str(), outcome, c.nt);
    if (c.luid)
      Check((std::string("LookupPrivilegeValueA(") + c.name + ").luid").c_str(),
            luid.LowPart + static_cast<DWORD>(luid.HighPart), c.luid);
  }

  // AdjustTokenPrivileges succeeds and says by the last error whether every privilege asked
  // for was held; a privilege no account holds leaves ERROR_NOT_ALL_ASSIGNED.
  bool shutdownWasOn = Enabled(token, SE_SHUTDOWN_NAME);
  Check("AdjustTokenPrivileges(disable shutdown)", Adjust(token, SE_SHUTDOWN_NAME, false),
        "1 err=0");
  Check("AdjustTokenPrivileges(not held)", Adjust(token, "SeCreateTokenPrivilege", true),
        "1 err=1300");
  HANDLE queryOnly = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly);
  Check("AdjustTokenPrivileges(no adjust right)", Adjust(queryOnly, SE_SHUTDOWN_NAME, true),
        "0 err=5");
  CloseHandle(queryOnly);

  // Without the shutdown privilege enabled no restart can be asked for, nor called off.
  ArmLastError();
  Check("InitiateSystemShutdownA(privilege off)",
        Outcome(InitiateSystemShutdownA(nullptr, nullptr, 60, FALSE, TRUE)), "0 err=1314");

  TOKEN_PRIVILEGES previous;
  std::memset(&previous, 0, sizeof previous);
  DWORD previousSize = 0;
  TOKEN_PRIVILEGES on;
  on.PrivilegeCount = 1;
  on.Privileges[0].Luid = Luid(SE_SHUTDOWN_NAME);
  on.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ArmLastError();
  Check(
      "AdjustTokenPrivileges(enable shutdown)",
      Outcome(AdjustTokenPrivileges(token, FALSE, &on, sizeof previous, &previous, &previousSize)),
      "1 err=0");
  Check("AdjustTokenPrivileges.previous state",
        previous.PrivilegeCount == 1 && previous.Privileges[0].Attributes == 0, true);
  Check("TokenPrivileges.shutdown enabled", Enabled(token, SE_SHUTDOWN_NAME), true);
  ArmLastError();
  Check("AdjustTokenPrivileges(without query right)",
        Outcome(AdjustTokenPrivileges(adjustOnly, FALSE, &on, sizeof previous, &previous,
                                      &previousSize)),
        "0 err=5");

  // A restart with a time-out can be called off while the time runs; once called off, there is
  // nothing left to call off.
  ArmLastError();
  Check("AbortSystemShutdownA(none)", Outcome(AbortSystemShutdownA(nullptr)), "0 err=1116");
  ArmLastError();
  Check("InitiateSystemShutdownA(restart in 60 s)",
        Outcome(InitiateSystemShutdownA(nullptr, nullptr, 60, FALSE, TRUE)), "1 err=untouched");
  ArmLastError();
  Check("AbortSystemShutdownA(pending)", Outcome(AbortSystemShutdownA(nullptr)), "1 err=untouched");
  ArmLastError();
  Check("AbortSystemShutdownA(called off)", Outcome(AbortSystemShutdownA(nullptr)), "0 err=1116");

  if (!shutdownWasOn) Adjust(token, SE_SHUTDOWN_NAME, false);
  CloseHandle(adjustOnly);
  CloseHandle(token);
}
