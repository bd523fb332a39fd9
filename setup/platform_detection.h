/*
 * What the setup must know about the machine before it changes anything: the operating system,
 * the processor family, and whether the user is an administrator.
 */
#ifndef SETUP_PLATFORM_DETECTION_H
#define SETUP_PLATFORM_DETECTION_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Each test reads the version word afresh and answers 1 or 0. */
int isChicago(void);       /* Windows 95 */
int isDaytona(void);       /* Windows NT 3.5; a build above 807 is warned about first */
int isNT31(void);          /* Windows NT 3.1 */
int isAdministrator(void); /* the caller's token has the Administrators group enabled */

/* Sets exactly one of fX86, fAlpha, fMips: x86 on Windows 95, else from
 * %PROCESSOR_ARCHITECTURE%. A failed expansion ends the setup. Needs fChicago set. */
void setProcessorFlags(void);

#ifdef __cplusplus
}
#endif

#endif
