// What the file areas of the stand-in share about the host files behind the image
// (kernel32_files.cpp).
#ifndef WINSIM_HOST_FILES_H
#define WINSIM_HOST_FILES_H

#include <windows.h>

#include <sys/stat.h>

#include <ctime>

namespace winsim {

// The Win32 error that Windows gives where the host failed with this errno.
DWORD ErrorOfErrno(int e);
// A file's archive attribute is kept inverted in the host's sticky bit: a host file without it is
// archived, as every file is that was made, copied or written since the attribute was cleared.
constexpr mode_t kNotArchived = S_ISVTX;
// The Win32 attributes of a host file.
DWORD AttributesOf(const struct stat &st);
// A host time as a FILETIME: 100-nanosecond intervals since 1 January 1601.
FILETIME FileTimeOf(const struct timespec &ts);

}  // namespace winsim

#endif
