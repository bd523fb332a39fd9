/* File version information: declared with the rest of the API in <windows.h>, as the SDK's
 * <windows.h> includes this header. */
#ifndef WINSIM_WINVER_H
#define WINSIM_WINVER_H

#include <windows.h>

#endif
