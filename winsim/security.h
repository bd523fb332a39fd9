// The access token of the simulated process, as other areas of the stand-in see it. The token's
// groups and held privileges come from [token] of machine.ini; which held privileges are enabled
// is run-time state of the process (M().privilegesEnabled, upper-cased names), changed only by
// AdjustTokenPrivileges and empty whenever a machine is opened.
#ifndef WINSIM_SECURITY_H
#define WINSIM_SECURITY_H

#include <cstddef>
#include <string>

namespace winsim {

// Whether the privilege (a name such as "SeShutdownPrivilege", any letter case) is enabled in
// the process token now. A call that needs a privilege (RegSaveKeyA, InitiateSystemShutdownA)
// asks here and fails with ERROR_PRIVILEGE_NOT_HELD otherwise.
bool PrivilegeEnabled(const std::string &name);

// SIDs from AllocateAndInitializeSid that were not yet freed (for tests).
size_t LiveSidCount();

}  // namespace winsim

#endif
