// Drives, full paths, path searches and file times of the simulated machine, with the results
// and last-error values of Windows NT 3.5.
//
// - The drives are those that machine.ini maps. A: and B: are the floppy letters, so they are
//   removable; every other mapped letter is a fixed disk. The machine has no network drives.
// - A drive's sizes are those of the host file system that holds its directory, in clusters of
//   512-byte sectors; the cluster grows until the counts fit in 32 bits, as on a large NTFS
//   volume.
// - SearchPathA without a path looks in the current directory, the system directory, the
//   Windows directory and the directories of PATH, in that order, for a file (not a directory);
//   the extension is added only to a name that has none.
// - The machine keeps no time zone: local file times are the file times.
#include <sys/statvfs.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace winsim {
namespace {

// The drive letter a root path names ("C:\", "c:", or null for the current drive), or 0.
char RootLetter(LPCSTR root) {
  std::string text = root ? root : M().currentDir.substr(0, 3);
  if (text.size() < 2 || text.size() > 3 || text[1] != ':') return 0;
  if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return 0;
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return letter >= 'A' && letter <= 'Z' ? letter : 0;
}

const std::string *DriveHost(char letter) {
  auto it = M().drives.find(letter);
  return it == M().drives.end() ? nullptr : &it->second;
}

// The text and its length when it fits with its terminator, else the size needed.
DWORD CopyPath(const std::string &text, LPSTR buffer, DWORD size, LPSTR *filePart) {
  if (!buffer || size < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (filePart) {
    size_t cut = text.rfind('\\');
    *filePart = cut == std::string::npos || cut + 1 == text.size() ? nullptr : buffer + cut + 1;
  }
  return static_cast<DWORD>(text.size());
}

bool HasPath(const std::string &name) {
  return name.find_first_of("\\/:") != std::string::npos;
}

bool IsFile(const std::string &windowsPath, std::string *full) {
  std::string host;
  uint32_t error = 0;
  struct stat st;
  return FullWindowsPath(windowsPath, full, &error) && ResolvePath(*full, &host, &error) &&
         ::stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string Join(const std::string &dir, const std::string &name) {
  if (dir.empty() || dir.back() == '\\' || dir.back() == '/' || dir.back() == ':')
    return dir + name;
  return dir + "\\" + name;
}

std::vector<std::string> SplitList(const std::string &list) {
  std::vector<std::string> dirs;
  size_t from = 0;
  while (from <= list.size()) {
    size_t semi = list.find(';', from);
    if (semi == std::string::npos) semi = list.size();
    std::string dir = Trim(list.substr(from, semi - from));
    if (!dir.empty()) dirs.push_back(dir);
    from = semi + 1;
  }
  return dirs;
}

bool IsLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace
}  // namespace winsim

using winsim::Fault;
using winsim::M;

extern "C" {

DWORD WINAPI GetLogicalDrives(void) {
  if (DWORD e = Fault("GetLogicalDrives")) return SetLastError(e), 0;
  DWORD mask = 0;
  for (const auto &drive : M().drives)
    if (drive.first >= 'A' && drive.first <= 'Z') mask |= 1u << (drive.first - 'A');
  return mask;
}

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  if (Fault("GetDriveTypeA")) return DRIVE_UNKNOWN;
  char letter = winsim::RootLetter(lpRootPathName);
  if (!letter || !winsim::DriveHost(letter)) return DRIVE_NO_ROOT_DIR;
  return letter == 'A' || letter == 'B' ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                              LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                              LPDWORD lpTotalNumberOfClusters) {
  if (DWORD e = Fault("GetDiskFreeSpaceA")) return SetLastError(e), FALSE;
  char letter = winsim::RootLetter(lpRootPathName);
  if (!letter) return SetLastError(ERROR_INVALID_NAME), FALSE;
  const std::string *host = winsim::DriveHost(letter);
  struct statvfs fs;
  if (!host) return SetLastError(ERROR_PATH_NOT_FOUND), FALSE;
  if (::statvfs(host->c_str(), &fs) != 0) return SetLastError(ERROR_NOT_READY), FALSE;
  const uint64_t sector = 512;
  uint64_t total = static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
  uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  uint64_t sectorsPerCluster = 8;
  while (total / (sector * sectorsPerCluster) > 0xFFFFFFFFull) sectorsPerCluster *= 2;
  uint64_t cluster = sector * sectorsPerCluster;
  if (lpSectorsPerCluster) *lpSectorsPerCluster = static_cast<DWORD>(sectorsPerCluster);
  if (lpBytesPerSector) *lpBytesPerSector = static_cast<DWORD>(sector);
  if (lpNumberOfFreeClusters) *lpNumberOfFreeClusters = static_cast<DWORD>(free / cluster);
  if (lpTotalNumberOfClusters) *lpTotalNumberOfClusters = static_cast<DWORD>(total / cluster);
  return TRUE;
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                              LPSTR *lpFilePart) {
  if (DWORD e = Fault("GetFullPathNameA")) return SetLastError(e), 0;
  if (!lpFileName || !*lpFileName) return SetLastError(ERROR_INVALID_NAME), 0;
  std::string full;
  uint32_t error = 0;
  if (!winsim::FullWindowsPath(lpFileName, &full, &error)) return SetLastError(error), 0;
  // A name that ends in a separator names a directory, and keeps the separator.
  char last = lpFileName[std::strlen(lpFileName) - 1];
  if ((last == '\\' || last == '/') && full.size() > 3) full += '\\';
  return winsim::CopyPath(full, lpBuffer, nBufferLength, lpFilePart);
}

DWORD WINAPI SearchPathA(LPCSTR lpPath, LPCSTR lpFileName, LPCSTR lpExtension, DWORD nBufferLength,
                         LPSTR lpBuffer, LPSTR *lpFilePart) {
  if (DWORD e = Fault("SearchPathA")) return SetLastError(e), 0;
  if (!lpFileName || !*lpFileName) return SetLastError(ERROR_INVALID_PARAMETER), 0;
  std::string name = lpFileName;
  size_t base = name.find_last_of("\\/:");
  if (lpExtension && *lpExtension &&
      name.find('.', base == std::string::npos ? 0 : base + 1) == std::string::npos)
    name += lpExtension;

  std::vector<std::string> dirs;
  if (winsim::HasPath(name)) {
    dirs.push_back("");
  } else if (lpPath) {
    dirs = winsim::SplitList(lpPath);
  } else {
    dirs = {M().currentDir, M().systemDir, M().windowsDir};
    for (const auto &variable : M().environment)
      if (winsim::EqualNoCase(variable.first, "PATH")) {
        for (const std::string &dir : winsim::SplitList(variable.second)) dirs.push_back(dir);
        break;
      }
  }
  for (const std::string &dir : dirs) {
    std::string full;
    if (winsim::IsFile(winsim::Join(dir, name), &full))
      return winsim::CopyPath(full, lpBuffer, nBufferLength, lpFilePart);
  }
  return SetLastError(ERROR_FILE_NOT_FOUND), 0;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (DWORD e = Fault("FileTimeToSystemTime")) return SetLastError(e), FALSE;
  if (!lpFileTime || !lpSystemTime) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  uint64_t ticks =
      static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32 | lpFileTime->dwLowDateTime;
  // Times past the largest signed 64-bit count are refused.
  if (ticks >> 63) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  uint64_t ms = ticks / 10000;
  uint64_t days = ms / 86400000;
  uint64_t inDay = ms % 86400000;
  SYSTEMTIME st;
  st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1 January 1601 was a Monday
  int year = 1601;
  for (;;) {
    uint64_t length = winsim::IsLeapYear(year) ? 366 : 365;
    if (days < length) break;
    days -= length;
    ++year;
  }
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  for (;; ++month) {
    uint64_t length = kMonthDays[month] + (month == 1 && winsim::IsLeapYear(year) ? 1 : 0);
    if (days < length) break;
    days -= length;
  }
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month + 1);
  st.wDay = static_cast<WORD>(days + 1);
  st.wHour = static_cast<WORD>(inDay / 3600000);
  st.wMinute = static_cast<WORD>(inDay / 60000 % 60);
  st.wSecond = static_cast<WORD>(inDay / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(inDay % 1000);
  *lpSystemTime = st;
  return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME *lpFileTime, LPFILETIME lpLocalFileTime) {
  if (DWORD e = Fault("FileTimeToLocalFileTime")) return SetLastError(e), FALSE;
  if (!lpFileTime || !lpLocalFileTime) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  *lpLocalFileTime = *lpFileTime;
  return TRUE;
}

BOOL WINAPI Beep(DWORD dwFreq, DWORD dwDuration) {
  (void)dwFreq;
  (void)dwDuration;
  // The terminal's bell, for the person at it; an unattended run stays quiet.
  if (winsim::Interactive()) {
    std::fputs("\a", stdout);
    std::fflush(stdout);
  }
  return TRUE;
}

}  // extern "C"
