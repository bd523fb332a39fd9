// The token functions of advapi32, checked as Windows NT documents them: opening the thread and
// process tokens, the group list with its size rule, privilege names and AdjustTokenPrivileges,
// SIDs, and the access rights of a token handle.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/handles.h"
#include "winsim/security.h"

using testing_support::TestImage;

namespace {

std::string Machine(const std::string &token) {
  return "[system]\nversion = 3.50.807\n[drives]\nC = drive_c\n" + token;
}

class Token : public ::testing::Test {
 protected:
  void OpenImage(const std::string &token = "") {
    image_ = std::make_unique<TestImage>(Machine(token));
    image_->Open();
  }
  HANDLE ProcessToken(DWORD access = TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
    return token;
  }
  // The group list read as a program must: size first, then the list.
  std::vector<BYTE> Groups(HANDLE token) {
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    DWORD got = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &got));
    EXPECT_EQ(got, needed);
    return buffer;
  }
  // The attributes of the Administrators group in the token, or -1 when it is not listed.
  long long AdminAttributes(HANDLE token) {
    std::vector<BYTE> buffer = Groups(token);
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    auto *groups = reinterpret_cast<PTOKEN_GROUPS>(buffer.data());
    long long found = -1;
    for (DWORD i = 0; i < groups->GroupCount && found < 0; ++i)
      if (EqualSid(groups->Groups[i].Sid, admins)) found = groups->Groups[i].Attributes;
    EXPECT_EQ(FreeSid(admins), nullptr);
    return found;
  }
  // Held privileges by LUID with their attributes.
  std::vector<std::pair<DWORD, DWORD>> Privileges(HANDLE token) {
    DWORD needed = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer.data(), needed, &needed));
    auto *privileges = reinterpret_cast<PTOKEN_PRIVILEGES>(buffer.data());
    std::vector<std::pair<DWORD, DWORD>> out;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
      out.emplace_back(privileges->Privileges[i].Luid.LowPart,
                       privileges->Privileges[i].Attributes);
    return out;
  }
  BOOL Enable(HANDLE token, const char *name, bool enable = true) {
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    EXPECT_TRUE(LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    return AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr);
  }

  std::unique_ptr<TestImage> image_;
};

TEST_F(Token, ThreadTokenIsAbsentPresentOrFailsWithTheImagesError) {
  HANDLE token = nullptr;
  OpenImage();
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

  OpenImage("[token]\nthread_token = present\n");
  ASSERT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token));
  EXPECT_EQ(AdminAttributes(token) & SE_GROUP_ENABLED, SE_GROUP_ENABLED);
  EXPECT_TRUE(CloseHandle(token));

  OpenImage("[token]\nthread_token = 1346\n");
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  EXPECT_EQ(GetLastError(), 1346u);
  // The process token opens whatever the thread says.
  HANDLE process = ProcessToken();
  EXPECT_TRUE(CloseHandle(process));
  EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  OpenImage("[faults]\nOpenProcessToken = 5\n");
  EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  EXPECT_EQ(GetLastError(), 5u);
}

TEST_F(Token, GroupListFollowsTheSizeRuleAndKeepsItsSidsInTheCallersBuffer) {
  OpenImage();
  HANDLE token = ProcessToken();
  DWORD needed = 0, again = 0;
  ASSERT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buffer(needed + 64, 0xCC);
  // One byte short fails the same way and writes nothing.
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.data(), needed - 1, &again));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(buffer[0], 0xCC);

  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &again));
  EXPECT_EQ(buffer[needed], 0xCC);
  auto *groups = reinterpret_cast<PTOKEN_GROUPS>(buffer.data());
  ASSERT_GE(groups->GroupCount, 4u);  // Everyone, Administrators, Users and more
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    BYTE *sid = static_cast<BYTE *>(groups->Groups[i].Sid);
    EXPECT_GE(sid, buffer.data() + offsetof(TOKEN_GROUPS, Groups));
    EXPECT_LE(sid + 8 + 4 * sid[1], buffer.data() + needed);
  }
  // Everyone is there and enabled.
  SID_IDENTIFIER_AUTHORITY world = {{0, 0, 0, 0, 0, 1}};
  PSID everyone;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone));
  bool found = false;
  for (DWORD i = 0; i < groups->GroupCount; ++i)
    if (EqualSid(groups->Groups[i].Sid, everyone))
      found = (groups->Groups[i].Attributes & SE_GROUP_ENABLED) != 0;
  EXPECT_TRUE(found);
  FreeSid(everyone);
  CloseHandle(token);
}

TEST_F(Token, AdministratorsGroupIsEnabledDisabledDenyOnlyOrAbsent) {
  struct Case {
    const char *state;
    bool listed, enabled, denyOnly;
  };
  for (Case c : {Case{"enabled", true, true, false}, Case{"disabled", true, false, false},
                 Case{"deny-only", true, false, true}, Case{"absent", false, false, false}}) {
    SCOPED_TRACE(c.state);
    OpenImage(std::string("[token]\nadministrators = ") + c.state + "\n");
    HANDLE token = ProcessToken(TOKEN_QUERY);
    long long attributes = AdminAttributes(token);
    EXPECT_EQ(attributes >= 0, c.listed);
    if (attributes >= 0) {
      EXPECT_EQ((attributes & SE_GROUP_ENABLED) != 0, c.enabled);
      EXPECT_EQ((attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0, c.denyOnly);
    }
    CloseHandle(token);
  }
  EXPECT_EQ(winsim::LiveSidCount(), 0u);
}

TEST_F(Token, HandleRightsAreCheckedAndCloseHandleClosesIt) {
  OpenImage();
  size_t before = winsim::OpenKernelHandleCount();
  HANDLE adjustOnly = ProcessToken(TOKEN_ADJUST_PRIVILEGES);
  DWORD needed = 0;
  EXPECT_FALSE(GetTokenInformation(adjustOnly, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(Enable(adjustOnly, SE_SHUTDOWN_NAME));

  HANDLE queryOnly = ProcessToken(TOKEN_QUERY);
  EXPECT_FALSE(Enable(queryOnly, SE_BACKUP_NAME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_BACKUP_NAME));
  // Asking for the previous state needs the query right as well.
  TOKEN_PRIVILEGES previous;
  DWORD length;
  EXPECT_FALSE(
      AdjustTokenPrivileges(adjustOnly, TRUE, nullptr, sizeof previous, &previous, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  EXPECT_EQ(winsim::OpenKernelHandleCount(), before + 2);
  EXPECT_TRUE(CloseHandle(adjustOnly));
  EXPECT_TRUE(CloseHandle(queryOnly));
  EXPECT_EQ(winsim::OpenKernelHandleCount(), before);
  EXPECT_FALSE(GetTokenInformation(queryOnly, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(queryOnly));
}

TEST_F(Token, PrivilegeNamesHaveNtsIdentifiers) {
  OpenImage();
  LUID luid = {0, 0};
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
  EXPECT_EQ(luid.LowPart, 19u);
  EXPECT_EQ(luid.HighPart, 0);
  ASSERT_TRUE(LookupPrivilegeValueA("", "sebackupprivilege", &luid));  // any letter case
  EXPECT_EQ(luid.LowPart, 17u);
  ASSERT_TRUE(LookupPrivilegeValueA(nullptr, SE_RESTORE_NAME, &luid));
  EXPECT_EQ(luid.LowPart, 18u);
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeFlyingPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
}

TEST_F(Token, AdjustEnablesHeldPrivilegesAndSaysWhenOneIsNotHeld) {
  OpenImage("[token]\nprivileges = SeShutdownPrivilege SeBackupPrivilege\n");
  HANDLE token = ProcessToken();
  EXPECT_EQ(Privileges(token),
            (std::vector<std::pair<DWORD, DWORD>>{{19, 0}, {17, 0}}));  // held, not yet enabled

  // Success sets the last error to 0 when everything was assigned.
  SetLastError(ERROR_INVALID_HANDLE);
  ASSERT_TRUE(Enable(token, SE_BACKUP_NAME));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(winsim::PrivilegeEnabled("SEBACKUPPRIVILEGE"));
  EXPECT_EQ(Privileges(token),
            (std::vector<std::pair<DWORD, DWORD>>{{19, 0}, {17, SE_PRIVILEGE_ENABLED}}));

  // Not held: the call succeeds, changes nothing and says ERROR_NOT_ALL_ASSIGNED.
  ASSERT_TRUE(Enable(token, SE_RESTORE_NAME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_RESTORE_NAME));

  // A mixed set assigns what it can.
  struct {
    DWORD count;
    LUID_AND_ATTRIBUTES entries[2];
  } two = {2, {{{18, 0}, SE_PRIVILEGE_ENABLED}, {{19, 0}, SE_PRIVILEGE_ENABLED}}};
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, reinterpret_cast<PTOKEN_PRIVILEGES>(&two), 0,
                                    nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_TRUE(winsim::PrivilegeEnabled(SE_SHUTDOWN_NAME));

  // The previous state lists what changed; too small a buffer changes nothing.
  TOKEN_PRIVILEGES previous;
  DWORD length = 0;
  EXPECT_FALSE(AdjustTokenPrivileges(token, TRUE, nullptr, sizeof previous, &previous, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(length, offsetof(TOKEN_PRIVILEGES, Privileges) + 2 * sizeof(LUID_AND_ATTRIBUTES));
  EXPECT_TRUE(winsim::PrivilegeEnabled(SE_BACKUP_NAME));
  std::vector<BYTE> buffer(length);
  auto *prev = reinterpret_cast<PTOKEN_PRIVILEGES>(buffer.data());
  ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, length, prev, &length));
  ASSERT_EQ(prev->PrivilegeCount, 2u);
  EXPECT_EQ(prev->Privileges[0].Attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());
  EXPECT_EQ(Privileges(token), (std::vector<std::pair<DWORD, DWORD>>{{19, 0}, {17, 0}}));

  ASSERT_TRUE(Enable(token, SE_SHUTDOWN_NAME));
  ASSERT_TRUE(Enable(token, SE_SHUTDOWN_NAME, false));
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_SHUTDOWN_NAME));
  CloseHandle(token);
}

TEST_F(Token, PrivilegesHeldByDefaultAndEnabledStateStartsOverWithEachMachine) {
  OpenImage();  // no [token] section: the three privileges of the setup account
  HANDLE token = ProcessToken();
  EXPECT_EQ(Privileges(token), (std::vector<std::pair<DWORD, DWORD>>{{19, 0}, {17, 0}, {18, 0}}));
  ASSERT_TRUE(Enable(token, SE_RESTORE_NAME));
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(token);

  OpenImage("[token]\nprivileges =\n");
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_RESTORE_NAME));
  token = ProcessToken();
  EXPECT_TRUE(Privileges(token).empty());
  ASSERT_TRUE(Enable(token, SE_SHUTDOWN_NAME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  CloseHandle(token);
}

TEST_F(Token, SidsCompareWhollyAndAreFreedOnce) {
  OpenImage();
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY world = {{0, 0, 0, 0, 0, 1}};
  PSID admins, users, adminsAgain, short32, other;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins));
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 545, 0, 0, 0, 0, 0, 0, &users));
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, 32, 544, 9, 9, 9, 9, 9, 9, &adminsAgain));
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 1, 32, 544, 0, 0, 0, 0, 0, 0, &short32));
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 2, 32, 544, 0, 0, 0, 0, 0, 0, &other));
  EXPECT_TRUE(EqualSid(admins, adminsAgain));  // sub-authorities beyond the count do not count
  SetLastError(ERROR_INVALID_HANDLE);
  EXPECT_FALSE(EqualSid(admins, users));
  EXPECT_EQ(GetLastError(), 0u);  // not equal is no error
  EXPECT_FALSE(EqualSid(admins, short32));
  EXPECT_FALSE(EqualSid(admins, other));
  PSID tooLong;
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &tooLong));
  EXPECT_EQ(winsim::LiveSidCount(), 5u);
  for (PSID sid : {admins, users, adminsAgain, short32, other}) EXPECT_EQ(FreeSid(sid), nullptr);
  EXPECT_EQ(winsim::LiveSidCount(), 0u);
  int notOurs = 0;
  EXPECT_EQ(FreeSid(&notOurs), &notOurs);  // failure answers the pointer back
}

}  // namespace
