// The security functions of advapi32: the access token of the process (and of the thread, when
// the image says the thread has one), its groups and privileges, SIDs and privilege names, with
// Windows NT 3.5's documented behaviour: the access rights of a token handle, the size rule of
// GetTokenInformation, and AdjustTokenPrivileges answering ERROR_NOT_ALL_ASSIGNED for a privilege
// the token does not hold.
//
// The token is the machine's: its Administrators group and held privileges come from [token] of
// machine.ini. Which held privileges are enabled is state of the running process, kept in
// M().privilegesEnabled as upper-cased names; every token handle sees the same state.
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "winsim/handles.h"
#include "winsim/machine.h"
#include "winsim/security.h"

namespace {

const DWORD kErrorInvalidSid = 1337;          // ERROR_INVALID_SID
const DWORD kGroupLogonId = 0xC0000000u;      // SE_GROUP_LOGON_ID
const DWORD kTokenAllAccess = 0x000F00FFu;    // TOKEN_ALL_ACCESS of NT 3.5
const DWORD kMaxSubAuthorities = 15;          // SID_MAX_SUB_AUTHORITIES
const DWORD kMaxAllocatedSubAuthorities = 8;  // what AllocateAndInitializeSid takes
const char kTokenKind[] = "token";

struct Token {
  DWORD access = 0;
};

// NT's locally unique identifiers of the standard privileges (the SE_*_PRIVILEGE values).
struct PrivilegeName {
  const char *name;
  DWORD luid;
};
const PrivilegeName kPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},
    {"SeAssignPrimaryTokenPrivilege", 3},
    {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},
    {"SeMachineAccountPrivilege", 6},
    {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},
    {"SeTakeOwnershipPrivilege", 9},
    {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},
    {"SeSystemtimePrivilege", 12},
    {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14},
    {"SeCreatePagefilePrivilege", 15},
    {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},
    {"SeRestorePrivilege", 18},
    {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},
    {"SeAuditPrivilege", 21},
    {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},
    {"SeRemoteShutdownPrivilege", 24},
};

const PrivilegeName *PrivilegeByName(const std::string &name) {
  for (const PrivilegeName &p : kPrivileges)
    if (winsim::EqualNoCase(p.name, name)) return &p;
  return nullptr;
}

// The privileges the token holds, in the order machine.ini gives them; names that are no
// privilege of NT are not part of the token.
std::vector<const PrivilegeName *> HeldPrivileges() {
  std::vector<const PrivilegeName *> held;
  for (const std::string &name : winsim::M().privilegesHeld) {
    const PrivilegeName *p = PrivilegeByName(name);
    bool twice = false;
    for (const PrivilegeName *h : held) twice = twice || h == p;
    if (p && !twice) held.push_back(p);
  }
  return held;
}

// A SID in its binary form: revision, count, 6-byte authority, 32-bit sub-authorities.
std::vector<BYTE> MakeSid(const BYTE (&authority)[6], std::vector<DWORD> subs) {
  std::vector<BYTE> sid(8 + 4 * subs.size());
  sid[0] = 1;
  sid[1] = static_cast<BYTE>(subs.size());
  std::memcpy(&sid[2], authority, 6);
  for (size_t i = 0; i < subs.size(); ++i) std::memcpy(&sid[8 + 4 * i], &subs[i], 4);
  return sid;
}

struct Group {
  std::vector<BYTE> sid;
  DWORD attributes;
};

// The groups of an interactive logon on an NT 3.5 workstation: the domain's "None" group,
// Everyone, Administrators as the image says, Users, INTERACTIVE and the logon session.
std::vector<Group> TokenGroupList() {
  const BYTE world[6] = {0, 0, 0, 0, 0, 1};
  const BYTE nt[6] = {0, 0, 0, 0, 0, 5};
  const DWORD usual = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  std::vector<Group> groups;
  groups.push_back({MakeSid(nt, {21, 1004336348u, 1177238915u, 682003330u, 513}), usual});
  groups.push_back({MakeSid(world, {0}), usual});
  std::vector<BYTE> admins = MakeSid(nt, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
  switch (winsim::M().administrators) {
    case winsim::AdminGroup::Enabled:
      groups.push_back({admins, usual | SE_GROUP_OWNER});
      break;
    case winsim::AdminGroup::Disabled:  // optional, enabled by default, switched off since
      groups.push_back({admins, SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_OWNER});
      break;
    case winsim::AdminGroup::DenyOnly:
      groups.push_back({admins, SE_GROUP_USE_FOR_DENY_ONLY});
      break;
    case winsim::AdminGroup::Absent:
      break;
  }
  groups.push_back({MakeSid(nt, {SECURITY_BUILTIN_DOMAIN_RID, 545}), usual});
  groups.push_back({MakeSid(nt, {4}), usual});
  groups.push_back({MakeSid(nt, {5, 0, 0x6037}), usual | kGroupLogonId});
  return groups;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

DWORD MapTokenAccess(DWORD access) {
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= kTokenAllAccess;
  if (access & GENERIC_READ) access |= STANDARD_RIGHTS_READ | TOKEN_QUERY;
  if (access & GENERIC_WRITE)
    access |= STANDARD_RIGHTS_WRITE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS |
              TOKEN_ADJUST_DEFAULT;
  if (access & GENERIC_EXECUTE) access |= STANDARD_RIGHTS_EXECUTE;
  return access & kTokenAllAccess;
}

BOOL NewToken(DWORD access, PHANDLE result) {
  auto token = std::make_shared<Token>();
  token->access = MapTokenAccess(access);
  *result = winsim::NewKernelHandle(kTokenKind, token);
  return TRUE;
}

// The token behind a handle that carries `rights`, or null with the last error set.
Token *TokenFor(HANDLE handle, DWORD rights) {
  std::shared_ptr<void> object = winsim::KernelObject(handle, kTokenKind);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  Token *token = static_cast<Token *>(object.get());  // the table keeps it alive
  if ((token->access & rights) != rights) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return token;
}

// TOKEN_GROUPS as it lies in a caller's buffer at `base`: the array, then the SIDs it points to.
std::vector<BYTE> GroupsImage(BYTE *base) {
  std::vector<Group> groups = TokenGroupList();
  size_t arrayEnd = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
  size_t size = arrayEnd;
  for (const Group &g : groups) size += g.sid.size();
  std::vector<BYTE> image(size);
  DWORD count = static_cast<DWORD>(groups.size());
  std::memcpy(image.data(), &count, sizeof count);
  size_t sidAt = arrayEnd;
  for (size_t i = 0; i < groups.size(); ++i) {
    SID_AND_ATTRIBUTES entry;
    entry.Sid = base ? base + sidAt : nullptr;
    entry.Attributes = groups[i].attributes;
    std::memcpy(&image[offsetof(TOKEN_GROUPS, Groups) + i * sizeof entry], &entry, sizeof entry);
    std::memcpy(&image[sidAt], groups[i].sid.data(), groups[i].sid.size());
    sidAt += groups[i].sid.size();
  }
  return image;
}

std::vector<BYTE> PrivilegesImage() {
  std::vector<const PrivilegeName *> held = HeldPrivileges();
  std::vector<BYTE> image(offsetof(TOKEN_PRIVILEGES, Privileges) +
                          held.size() * sizeof(LUID_AND_ATTRIBUTES));
  DWORD count = static_cast<DWORD>(held.size());
  std::memcpy(image.data(), &count, sizeof count);
  for (size_t i = 0; i < held.size(); ++i) {
    LUID_AND_ATTRIBUTES entry;
    entry.Luid.LowPart = held[i]->luid;
    entry.Luid.HighPart = 0;
    entry.Attributes = winsim::PrivilegeEnabled(held[i]->name) ? SE_PRIVILEGE_ENABLED : 0;
    std::memcpy(&image[offsetof(TOKEN_PRIVILEGES, Privileges) + i * sizeof entry], &entry,
                sizeof entry);
  }
  return image;
}

std::set<void *> &LiveSids() {
  static std::set<void *> sids;
  return sids;
}

// A SID's header, or false when the bytes are no valid SID.
bool ReadSidHeader(PSID sid, BYTE *count) {
  if (!sid) return false;
  BYTE header[2];
  std::memcpy(header, sid, sizeof header);
  if (header[0] != 1 || header[1] > kMaxSubAuthorities) return false;
  *count = header[1];
  return true;
}

}  // namespace

namespace winsim {

bool PrivilegeEnabled(const std::string &name) {
  return M().privilegesEnabled.count(Upper(name)) != 0;
}

size_t LiveSidCount() {
  return LiveSids().size();
}

}  // namespace winsim

extern "C" {

BOOL WINAPI OpenThreadToken(HANDLE ThreadHandle, DWORD DesiredAccess, BOOL OpenAsSelf,
                            PHANDLE TokenHandle) {
  if (DWORD fault = winsim::Fault("OpenThreadToken")) return Fail(fault);
  (void)OpenAsSelf;  // the setup account is the only account of the simulated process
  if (!TokenHandle) return Fail(ERROR_INVALID_PARAMETER);
  if (ThreadHandle != GetCurrentThread()) return Fail(ERROR_INVALID_HANDLE);
  const std::string &thread = winsim::M().threadToken;
  if (thread == "none") return Fail(ERROR_NO_TOKEN);  // not impersonating
  if (thread != "present") return Fail(static_cast<DWORD>(std::strtoul(thread.c_str(), 0, 10)));
  return NewToken(DesiredAccess, TokenHandle);
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
  if (DWORD fault = winsim::Fault("OpenProcessToken")) return Fail(fault);
  if (!TokenHandle) return Fail(ERROR_INVALID_PARAMETER);
  if (ProcessHandle != GetCurrentProcess()) return Fail(ERROR_INVALID_HANDLE);
  return NewToken(DesiredAccess, TokenHandle);
}

BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength,
                                PDWORD ReturnLength) {
  if (DWORD fault = winsim::Fault("GetTokenInformation")) return Fail(fault);
  if (!TokenFor(TokenHandle, TOKEN_QUERY)) return FALSE;
  if (!ReturnLength) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<BYTE> image;
  if (TokenInformationClass == TokenGroups)
    image = GroupsImage(static_cast<BYTE *>(TokenInformation));
  else if (TokenInformationClass == TokenPrivileges)
    image = PrivilegesImage();
  else
    return Fail(ERROR_INVALID_PARAMETER);
  // The size needed is answered whether or not it fits.
  *ReturnLength = static_cast<DWORD>(image.size());
  if (TokenInformationLength < image.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!TokenInformation) return Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(TokenInformation, image.data(), image.size());
  return TRUE;
}

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID *pSid) {
  if (DWORD fault = winsim::Fault("AllocateAndInitializeSid")) return Fail(fault);
  if (!pIdentifierAuthority || !pSid) return Fail(ERROR_INVALID_PARAMETER);
  if (nSubAuthorityCount > kMaxAllocatedSubAuthorities) return Fail(kErrorInvalidSid);
  const DWORD all[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                        nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  std::vector<BYTE> sid =
      MakeSid(pIdentifierAuthority->Value, std::vector<DWORD>(all, all + nSubAuthorityCount));
  void *block = std::malloc(sid.size());
  if (!block) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(block, sid.data(), sid.size());
  LiveSids().insert(block);
  *pSid = block;
  return TRUE;
}

BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  BYTE count1, count2;
  if (!ReadSidHeader(pSid1, &count1) || !ReadSidHeader(pSid2, &count2))
    return Fail(kErrorInvalidSid);
  // As on NT, a valid comparison clears the last-error value, so that FALSE means "not equal".
  SetLastError(ERROR_SUCCESS);
  if (count1 != count2) return FALSE;
  return std::memcmp(pSid1, pSid2, 8 + 4 * static_cast<size_t>(count1)) == 0;
}

PVOID WINAPI FreeSid(PSID pSid) {
  auto it = LiveSids().find(pSid);
  if (it == LiveSids().end()) return pSid;  // not a SID of ours: failure answers it back
  LiveSids().erase(it);
  std::free(pSid);
  return nullptr;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
  if (DWORD fault = winsim::Fault("LookupPrivilegeValueA")) return Fail(fault);
  if (!lpName || !lpLuid) return Fail(ERROR_INVALID_PARAMETER);
  // Only the local system is reachable.
  if (lpSystemName && *lpSystemName) return Fail(RPC_S_SERVER_UNAVAILABLE);
  const PrivilegeName *p = PrivilegeByName(lpName);
  if (!p) return Fail(ERROR_NO_SUCH_PRIVILEGE);
  lpLuid->LowPart = p->luid;
  lpLuid->HighPart = 0;
  return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
  if (DWORD fault = winsim::Fault("AdjustTokenPrivileges")) return Fail(fault);
  DWORD rights = TOKEN_ADJUST_PRIVILEGES | (PreviousState ? TOKEN_QUERY : 0);
  if (!TokenFor(TokenHandle, rights)) return FALSE;
  if (!DisableAllPrivileges && !NewState) return Fail(ERROR_INVALID_PARAMETER);
  if (PreviousState && !ReturnLength) return Fail(ERROR_INVALID_PARAMETER);

  std::set<std::string> &enabled = winsim::M().privilegesEnabled;
  std::vector<const PrivilegeName *> held = HeldPrivileges();
  // What the call asks of each held privilege; a later entry for the same one wins.
  std::map<const PrivilegeName *, bool> wanted;
  bool notAll = false;
  if (DisableAllPrivileges) {
    for (const PrivilegeName *p : held) wanted[p] = false;
  } else {
    DWORD count;
    std::memcpy(&count, NewState, sizeof count);
    for (DWORD i = 0; i < count; ++i) {
      LUID_AND_ATTRIBUTES entry;
      std::memcpy(&entry,
                  reinterpret_cast<BYTE *>(NewState) + offsetof(TOKEN_PRIVILEGES, Privileges) +
                      i * sizeof entry,
                  sizeof entry);
      const PrivilegeName *found = nullptr;
      for (const PrivilegeName *p : held)
        if (entry.Luid.HighPart == 0 && entry.Luid.LowPart == p->luid) found = p;
      if (found)
        wanted[found] = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
      else
        notAll = true;  // not held: nothing to enable or disable
    }
  }
  // (privilege, enable) for each held privilege whose state changes, in the token's order.
  std::vector<std::pair<const PrivilegeName *, bool>> changes;
  for (const PrivilegeName *p : held) {
    auto it = wanted.find(p);
    if (it != wanted.end() && it->second != (enabled.count(winsim::Upper(p->name)) != 0))
      changes.emplace_back(p, it->second);
  }

  if (PreviousState) {
    // The earlier state of what changes; nothing changes unless it fits.
    DWORD needed = static_cast<DWORD>(offsetof(TOKEN_PRIVILEGES, Privileges) +
                                      changes.size() * sizeof(LUID_AND_ATTRIBUTES));
    *ReturnLength = needed;
    if (BufferLength < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    DWORD count = static_cast<DWORD>(changes.size());
    std::memcpy(PreviousState, &count, sizeof count);
    for (size_t i = 0; i < changes.size(); ++i) {
      LUID_AND_ATTRIBUTES entry;
      entry.Luid.LowPart = changes[i].first->luid;
      entry.Luid.HighPart = 0;
      entry.Attributes = changes[i].second ? 0 : SE_PRIVILEGE_ENABLED;
      std::memcpy(reinterpret_cast<BYTE *>(PreviousState) + offsetof(TOKEN_PRIVILEGES, Privileges) +
                      i * sizeof entry,
                  &entry, sizeof entry);
    }
  }
  for (const auto &c : changes) {
    if (c.second)
      enabled.insert(winsim::Upper(c.first->name));
    else
      enabled.erase(winsim::Upper(c.first->name));
  }
  // Documented: success sets the last error, to ERROR_NOT_ALL_ASSIGNED when some privilege of
  // the new state is not held, else to ERROR_SUCCESS.
  SetLastError(notAll ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
  return TRUE;
}

}  // extern "C"
