/*
 * Monitor registry repair: brings whatever an earlier release registered under another display
 * name (the monitor's ports and settings) below the one monitor key of this release, editing
 * the spooler's Monitors key directly while the spooler is stopped. Also the registry tree
 * operations it rests on, the backup and restore privilege switch, and a save and restore of a
 * key tree through a temporary file. Results are status codes (install/status_code.h).
 */
#ifndef INSTALL_MONITOR_REPAIR_H
#define INSTALL_MONITOR_REPAIR_H

#include <windows.h>

#define MONITOR_NAME "Norvale Network Port"

/* Makes sure the monitor key lpMonitorName below HKEY_LOCAL_MACHINE\lpMonitorsPath exists and
   merges every other monitor key that names the monitor DLL into it, deleting each one merged
   completely. 34 only when the Monitors key or the target key cannot be used; the last-error
   value then names the cause. Leaves all privileges of the process token disabled. */
int FixReg(LPCSTR lpMonitorsPath, LPCSTR lpMonitorName);

/* Copies every value of hSource that hTarget does not have yet; the target's own stay. */
int copyRegValues(HKEY hSource, HKEY hTarget);

/* Copies the tree below hSource into hTarget, subkeys first, without overwriting anything. */
int copyRegTree(HKEY hSource, HKEY hTarget);

/* Deletes the subkey lpName of hParent with everything below it; 34 when the key stays. */
int deleteRegTree(HKEY hParent, LPCSTR lpName);

/* Mode 0 disables every privilege of the process token; any other mode enables the backup and
   the restore privilege. */
int setBackupRestorePrivileges(int nMode);

/* Saves the subkey lpName of hParent to a new file in the temporary directory, whose name is
   left in lpFileName (at least MAX_PATH characters). Needs the backup privilege enabled. */
int saveRegKeyToFile(HKEY hParent, LPCSTR lpName, LPSTR lpFileName);

/* Loads a file saved so into the subkey lpName of hParent (created when missing), replacing
   what it held. Needs the restore privilege enabled. */
int restoreRegKeyFromFile(HKEY hParent, LPCSTR lpName, LPCSTR lpFileName);

#endif
