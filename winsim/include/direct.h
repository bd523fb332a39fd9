/* The C runtime's directory calls, as the Windows runtime declares them. */
#ifndef WINSIM_DIRECT_H
#define WINSIM_DIRECT_H

#ifdef __cplusplus
extern "C" {
#endif

/* The current directory as a Windows path (drive letter, backslashes). */
char *_getcwd(char *buffer, int maxlen);

#ifdef __cplusplus
}
#endif

#endif
