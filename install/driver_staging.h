/*
 * PostScript driver staging. Every printer driver the setup registers is the system's PostScript
 * driver "pscript.dll" with its configuration module "pscrptui.dll", paired with one PPD file.
 * The registration names them by bare file names, which the spooler looks for in the root of
 * its printer-driver directory (szDriverDir), so both modules are put there first: from the
 * version subdirectory of an installed PostScript driver (Windows NT 3.5), or else from the
 * Windows NT distribution, whose path the user confirms.
 */
#ifndef INSTALL_DRIVER_STAGING_H
#define INSTALL_DRIVER_STAGING_H

#include <windows.h>

#define PS_DRIVER_FILE "pscript.dll"
#define PS_CONFIG_FILE "pscrptui.dll"
#define PS_HELP_FILE "pscript.hlp"

/* Below HKEY_LOCAL_MACHINE: where Windows NT setup left the path of its distribution files. */
#define NT_SETUP_KEY "SYSTEM\\Setup"
#define NT_DIST_PATH_VALUE "WinntPath"
#define CB_NT_DIST_PATH 520

/*
 * Puts both modules into the driver directory root and writes the driver version into
 * *pdwVersion: 1, or on Windows NT 3.5 (fDaytona) the number of the version subdirectory the
 * modules were found in. Answers a status code; on failure the last-error value tells why.
 */
int setupForPPDInstall(LPDWORD pdwVersion);

/* Installs both modules (and on Windows NT 3.1 the help file) from the distribution path into
 * the driver directory, asking for the path until both succeed in one pass. The user may end
 * the setup from its dialogs instead. A missing or unreadable path value is fatal. */
void CopyPSDriverFiles(void);

/* Installs one file from lpSrcDir into lpDestDir under its own name, refusing to replace a newer
 * file. 1 on success; else 0 with the last-error value set. */
int installDriverFile(LPCSTR lpFileName, LPCSTR lpSrcDir, LPCSTR lpDestDir);

#endif
