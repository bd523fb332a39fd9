/*
 * Whether the package's print monitor is registered with the spooler. A monitor is installed
 * when any subkey of the spooler's Monitors key names the monitor DLL in its "driver" value;
 * the subkey's name (the monitor's display name) does not matter, so a monitor that an earlier
 * release registered under another name is found as well.
 *
 * Also the small services that the monitor repair shares: the DLL name, the "driver" test and
 * the two key-size queries. Results are status codes (install/status_code.h) unless noted.
 */
#ifndef INSTALL_MONITOR_DETECTION_H
#define INSTALL_MONITOR_DETECTION_H

#include <windows.h>

/* Below HKEY_LOCAL_MACHINE. */
#define MONITORS_KEY "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors"
#define MONITOR_DLL_NT "zelpsmon.dll"
#define MONITOR_DLL_W95 "zelpsmw4.dll"
#define MONITOR_DRIVER_VALUE "driver"
/* The "driver" value is read into this many bytes; a longer value never matches. */
#define CB_MONITOR_DRIVER 16

/* Stores a pointer to the constant monitor DLL name of this host in the slot; always 9. */
int getMonitorDllName(LPCSTR *ppszDllName);

/* Number of direct subkeys and length of the longest subkey name (characters, terminator
   excluded). 34 when the query fails; the registry's error is then the last-error value. */
int querySubKeyInfo(HKEY hKey, LPDWORD pcSubKeys, LPDWORD pcchMaxSubKey);

/* Number of values, length of the longest value name (characters, terminator excluded) and size
   of the largest value data in bytes. 34 when the query fails, as above. */
int queryValueInfo(HKEY hKey, LPDWORD pcValues, LPDWORD pcchMaxValueName, LPDWORD pcbMaxValueData);

/* 1 when the open key's "driver" value, lower-cased, is the whole DLL name, else 0. */
int driverNamesMonitor(HKEY hKey, LPCSTR lpDllName);

/* 1 when the subkey of hParent named lpSubKey opens and its "driver" value names the DLL. */
int matchMonitorDriver(HKEY hParent, LPCSTR lpSubKey, LPCSTR lpDllName);

/* 1 when a subkey of the open Monitors key (the caller owns the handle) names the DLL, else 0.
   A Monitors key whose subkeys cannot be counted ends the setup with a fatal report. */
int isZelpsmonInstalled(HKEY hMonitors, LPCSTR lpDllName);

#endif
