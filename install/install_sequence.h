/*
 * The install sequence: the one routine that changes the machine. It finds out whether the
 * package's print monitor is already installed (an upgrade) or not, stages the PostScript
 * driver modules, replaces the monitor DLL (stopping the spooler first on Windows NT 3.5),
 * copies the package's files, registers or repairs the monitor, registers one printer driver
 * per line of the setup file's "PPD Files" section, moves printers off old driver names and
 * makes the Program Manager group.
 */
#ifndef INSTALL_INSTALL_SEQUENCE_H
#define INSTALL_INSTALL_SEQUENCE_H

#include <windows.h>

/* The setup file's section of printer drivers: key = driver name, field 1 = PPD file. */
#define PPD_SECTION "PPD Files"
/* Driver names and PPD file names have at most CB_PPD_NAME - 1 characters. */
#define CB_PPD_NAME 64

#define PROGMAN_GROUP "Norvale Network Printers"
#define PROGMAN_STARTUP_GROUP "Startup"

/* Needs the setup state filled in and the copy list built; sets fUpgrade. Failures end the
 * setup; on Windows 95 it tells the user and changes nothing. */
void Install(void);

#endif
