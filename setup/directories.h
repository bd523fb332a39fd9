/*
 * The directories the setup works with (system, printer driver, destination), read in the main
 * sequence after the platform is known; and on Windows NT 3.5 the start of a stopped spooler,
 * without which the printer-driver directory cannot be asked for.
 */
#ifndef SETUP_DIRECTORIES_H
#define SETUP_DIRECTORIES_H

#ifdef __cplusplus
extern "C" {
#endif

void readSystemDirectory(void);   /* szSysDir; a directory too long for it is fatal */
void startStoppedSpooler(void);   /* only on Windows NT 3.5, behind wait dialog 5300 */
void readDriverDirectory(void);   /* szDriverDir; a failed query is fatal */
void buildInstallDirectory(void); /* szInstallDir: the system drive's root, "win32app\zelpsmon" */

#ifdef __cplusplus
}
#endif

#endif
