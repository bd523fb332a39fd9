/*
 * What the setup does once the installation is over: the end dialogs, starting the programs the
 * user asked for, and restarting the computer after an upgrade on Windows NT 3.1.
 */
#ifndef SETUP_FINISHING_ACTIONS_H
#define SETUP_FINISHING_ACTIONS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Starts a program, found from the first word of the command line by the platform's search
 * rules, and does not wait for it. Nonzero when it was started. */
BOOL runProgram(LPCSTR szCmdLine);

/* Asks the system to restart. 0 when any step fails, the request included. */
BOOL restartSystem(void);

/* The end of the main sequence: after an upgrade on Windows NT 3.1 the upgrade notice and the
 * restart offer; otherwise the offers of Print Manager and the help file, the finish dialog, and
 * then the programs the user accepted. */
void EndDialogs(void);

#ifdef __cplusplus
}
#endif

#endif
