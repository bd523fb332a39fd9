/*
 * Platform detection: the operating-system generation from the version word, the processor
 * family from the environment, and administrator rights from the access token.
 */
#include <windows.h>

#include "setup/platform_detection.h"
#include "setup/setup_state.h"
#include "setup/wizard_dialogs.h"
#include "toolkit/error_reporting.h"

/* The expansion of %PROCESSOR_ARCHITECTURE%: 15 characters and the terminator. */
#define CB_PROCESSOR 16

/* The first build of Windows NT 3.5 the package knows; later ones get a warning. */
#define DAYTONA_BUILD 807

#define VERSION_NOT_NT(dw) (((dw)&0x80000000UL) != 0)
#define VERSION_MAJOR(dw) ((int)((dw)&0xFF))
#define VERSION_MINOR(dw) ((int)(((dw) >> 8) & 0xFF))
#define VERSION_BUILD(dw) ((int)(((dw) >> 16) & 0xFFF))

/* The first decimal digit of the minor version: 10 gives 1, 50 and 51 give 5, 0 gives 0. */
static int FirstMinorDigit(DWORD dwVersion) {
  int nMinor = VERSION_MINOR(dwVersion);

  while (nMinor >= 10) nMinor /= 10;
  return nMinor;
}

int isChicago(void) {
  return VERSION_NOT_NT(GetVersion()) ? 1 : 0;
}

int isDaytona(void) {
  DWORD dwVersion = GetVersion();
  int nBuild;

  if (VERSION_NOT_NT(dwVersion)) return 0;
  if (VERSION_MAJOR(dwVersion) < 3) return 0;
  if (FirstMinorDigit(dwVersion) < 5) return 0;
  nBuild = VERSION_BUILD(dwVersion);
  if (nBuild < DAYTONA_BUILD) return 0;
  if (nBuild > DAYTONA_BUILD) NewerBuildWarning(); /* may end the setup there */
  return 1;
}

int isNT31(void) {
  DWORD dwVersion = GetVersion();

  if (VERSION_NOT_NT(dwVersion)) return 0;
  if (VERSION_MAJOR(dwVersion) != 3) return 0;
  return FirstMinorDigit(dwVersion) == 1 ? 1 : 0;
}

void setProcessorFlags(void) {
  char szProcessor[CB_PROCESSOR];
  DWORD cch;

  fX86 = 1;
  fAlpha = 0;
  fMips = 0;
  if (fChicago) return;

  cch = ExpandEnvironmentStringsA("%PROCESSOR_ARCHITECTURE%", szProcessor, sizeof(szProcessor));
  if (cch == 0) ReportSetupError("Couldn't expand env string, error = %d", GetLastError());
  /* A text that did not fit names no processor we build for; what the buffer holds then need
   * not even be terminated, so it is not looked at. */
  if (cch > sizeof(szProcessor)) return;

  CharLowerA(szProcessor);
  if (lstrcmpA(szProcessor, "alpha") == 0) {
    fX86 = 0;
    fAlpha = 1;
  } else if (lstrcmpA(szProcessor, "mips") == 0) {
    fX86 = 0;
    fMips = 1;
  }
}

int isAdministrator(void) {
  HANDLE hToken;
  DWORD cbGroups;
  PTOKEN_GROUPS pGroups;
  SID_IDENTIFIER_AUTHORITY siaNt = SECURITY_NT_AUTHORITY;
  PSID psidAdmins;
  DWORD i;
  int fAdmin;

  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &hToken)) {
    if (GetLastError() != ERROR_NO_TOKEN) return 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return 0;
  }

  /* The first call only asks how much room the group list needs. */
  cbGroups = 0;
  if (GetTokenInformation(hToken, TokenGroups, NULL, 0, &cbGroups) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    CloseHandle(hToken);
    return 0;
  }

  pGroups = (PTOKEN_GROUPS)LocalAlloc(LPTR, cbGroups);
  if (pGroups == NULL) {
    CloseHandle(hToken);
    return 0;
  }
  if (!GetTokenInformation(hToken, TokenGroups, pGroups, cbGroups, &cbGroups)) {
    LocalFree(pGroups);
    CloseHandle(hToken);
    return 0;
  }

  if (!AllocateAndInitializeSid(&siaNt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                0, 0, 0, 0, 0, &psidAdmins)) {
    LocalFree(pGroups);
    CloseHandle(hToken);
    return 0;
  }

  /* Only an enabled entry counts: a deny-only or disabled Administrators group grants nothing. */
  fAdmin = 0;
  for (i = 0; i < pGroups->GroupCount; i++) {
    if (EqualSid(pGroups->Groups[i].Sid, psidAdmins)) {
      fAdmin = (pGroups->Groups[i].Attributes & SE_GROUP_ENABLED) ? 1 : 0;
      break;
    }
  }

  FreeSid(psidAdmins);
  LocalFree(pGroups);
  CloseHandle(hToken);
  return fAdmin;
}
