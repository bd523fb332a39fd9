/*
 * The status code of the installation engine. Every engine routine returns one of two values;
 * callers judge a code only by its low three bits, never by comparing with the two values, so
 * that a routine may one day return a richer code without breaking its callers.
 */
#ifndef INSTALL_STATUS_CODE_H
#define INSTALL_STATUS_CODE_H

#define STATUS_CODE_SUCCESS 9
#define STATUS_CODE_FAILURE 34

/* Success when the low three bits are 1 or 3 (setting bit 1 maps both to 3, and nothing else
   to 3). The code is evaluated once, so a call may stand in its place. */
#define STATUS_CODE_SUCCEEDED(code) (((((code)&7) | 2) == 3))

#endif
