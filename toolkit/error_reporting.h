/*
 * The setup's two ways of reporting an error. Both are fatal: they show the error dialog, tear
 * the toolkit down through EndSetup and end the process with exit code 0. Neither returns.
 */
#ifndef TOOLKIT_ERROR_REPORTING_H
#define TOOLKIT_ERROR_REPORTING_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SETUP_ERR_CALL_FAILED 1024 /* a toolkit call or an argument check failed, or overflow */
#define SETUP_ERR_USER_QUIT 1025   /* a quit was requested while the setup was waiting */

/* Set on the first entry into each reporter and never cleared. */
extern BOOL fInApiError;
extern BOOL fInSetupError;

/* Shows "Error code = <code>" (or the plain exit notice for 0) and ends the setup. */
void ReportApiError(int nCode);
/* Shows the formatted message (at most 1023 characters; a longer one is cut) and ends the
 * setup. */
void ReportSetupError(LPCSTR szFormat, ...);

#ifdef __cplusplus
}
#endif

#endif
