// The token functions of advapi32, checked as Windows NT documents them: the thread and process
// tokens, the group list with its size rule, AdjustTokenPrivileges, and the handle's rights.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/handles.h"
#include "winsim/security.h"

using testing_support::TestImage;

namespace {

class Token : public ::testing::Test {
 protected:
  void OpenImage(const std::string &token = "") {
    image_ = std::make_unique<TestImage>("[system]\nversion = 3.50.807\n[drives]\nC = drive_c\n" +
                                         token);
    image_->Open();
  }
  HANDLE ProcessToken(DWORD access = TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES) {
    HANDLE token = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), access, &token));
    return token;
  }
  // The Administrators group's attributes, or -1 when the token does not list it.
  long long AdminAttributes(HANDLE token) {
    DWORD needed = 0, got = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &got));
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
  EXPECT_TRUE(CloseHandle(token));
  OpenImage("[token]\nthread_token = 1346\n");
  EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  EXPECT_EQ(GetLastError(), 1346u);
  EXPECT_TRUE(CloseHandle(ProcessToken()));  // the process token opens whatever the thread says
}

TEST_F(Token, GroupListFollowsTheSizeRuleAndShowsTheAdministratorsGroupAsTheImageSays) {
  OpenImage();
  HANDLE token = ProcessToken();
  DWORD needed = 0, again = 0;
  ASSERT_FALSE(GetTokenInformation(token, TokenGroups, nullptr, 0, &needed));
  std::vector<BYTE> buffer(needed + 1, 0xCC);
  // One byte short fails the same way, answers the size again and writes nothing.
  EXPECT_FALSE(GetTokenInformation(token, TokenGroups, buffer.data(), needed - 1, &again));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(buffer[0], 0xCC);
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(), needed, &again));
  EXPECT_EQ(buffer[needed], 0xCC);
  // The SIDs lie inside the caller's buffer.
  auto *groups = reinterpret_cast<PTOKEN_GROUPS>(buffer.data());
  ASSERT_GE(groups->GroupCount, 4u);
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    BYTE *sid = static_cast<BYTE *>(groups->Groups[i].Sid);
    EXPECT_TRUE(sid > buffer.data() && sid + 8 + 4 * sid[1] <= buffer.data() + needed);
  }
  CloseHandle(token);

  struct Case {
    const char *state;
    long long attributes;  // of the group, -1: not listed
  };
  for (Case c : {Case{"enabled", 0xF}, Case{"disabled", 0xA},
                 Case{"deny-only", SE_GROUP_USE_FOR_DENY_ONLY}, Case{"absent", -1}}) {
    SCOPED_TRACE(c.state);
    OpenImage(std::string("[token]\nadministrators = ") + c.state + "\n");
    token = ProcessToken(TOKEN_QUERY);
    EXPECT_EQ(AdminAttributes(token), c.attributes);
    CloseHandle(token);
  }
  EXPECT_EQ(winsim::LiveSidCount(), 0u);
}

TEST_F(Token, AdjustEnablesHeldPrivilegesAndSaysWhenOneIsNotHeld) {
  OpenImage("[token]\nprivileges = SeShutdownPrivilege SeBackupPrivilege\n");
  HANDLE token = ProcessToken();
  // Success sets the last error to 0 when everything was assigned.
  SetLastError(ERROR_INVALID_HANDLE);
  ASSERT_TRUE(Enable(token, SE_BACKUP_NAME));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(winsim::PrivilegeEnabled("SEBACKUPPRIVILEGE"));
  // Not held: success without effect, and ERROR_NOT_ALL_ASSIGNED; a mixed set assigns the rest.
  ASSERT_TRUE(Enable(token, SE_RESTORE_NAME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_RESTORE_NAME));
  struct {
    DWORD count;
    LUID_AND_ATTRIBUTES entries[2];
  } two = {2, {{{18, 0}, SE_PRIVILEGE_ENABLED}, {{19, 0}, SE_PRIVILEGE_ENABLED}}};
  ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, reinterpret_cast<PTOKEN_PRIVILEGES>(&two), 0,
                                    nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED));
  EXPECT_TRUE(winsim::PrivilegeEnabled(SE_SHUTDOWN_NAME));

  // The previous state holds what changed; too small a buffer changes nothing.
  TOKEN_PRIVILEGES previous;
  DWORD length = 0;
  EXPECT_FALSE(AdjustTokenPrivileges(token, TRUE, nullptr, sizeof previous, &previous, &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_TRUE(winsim::PrivilegeEnabled(SE_BACKUP_NAME));
  std::vector<BYTE> buffer(length);
  ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, length,
                                    reinterpret_cast<PTOKEN_PRIVILEGES>(buffer.data()), &length));
  EXPECT_EQ(reinterpret_cast<PTOKEN_PRIVILEGES>(buffer.data())->PrivilegeCount, 2u);
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());

  LUID luid;
  EXPECT_FALSE(LookupPrivilegeValueA(nullptr, "SeFlyingPrivilege", &luid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
  CloseHandle(token);

  // Without a privileges key the account holds shutdown, backup and restore.
  OpenImage();
  EXPECT_FALSE(winsim::PrivilegeEnabled(SE_BACKUP_NAME));  // nothing enabled in a new process
  token = ProcessToken();
  ASSERT_TRUE(Enable(token, SE_RESTORE_NAME));
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(token);
}

TEST_F(Token, HandleRightsAreCheckedAndCloseHandleClosesIt) {
  OpenImage();
  size_t before = winsim::OpenKernelHandleCount();
  HANDLE adjustOnly = ProcessToken(TOKEN_ADJUST_PRIVILEGES);
  HANDLE queryOnly = ProcessToken(TOKEN_QUERY);
  DWORD needed = 0;
  EXPECT_FALSE(GetTokenInformation(adjustOnly, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(Enable(queryOnly, SE_BACKUP_NAME));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(winsim::M().privilegesEnabled.empty());

  EXPECT_EQ(winsim::OpenKernelHandleCount(), before + 2);
  EXPECT_TRUE(CloseHandle(adjustOnly));
  EXPECT_TRUE(CloseHandle(queryOnly));
  EXPECT_EQ(winsim::OpenKernelHandleCount(), before);
  EXPECT_FALSE(GetTokenInformation(queryOnly, TokenGroups, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
