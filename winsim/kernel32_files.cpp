// Files of the simulated machine: the Windows, system and temporary directories, the current
// directory, attributes, directories, deletion, copies, moves (also those kept for the next
// restart) and searches, with the results and last-error values of Windows NT 3.5.
//
// The image keeps what a host file system can hold: a file's read-only attribute is its write
// permission (checked here, so that it holds for every host user, root included), its archive
// attribute the absence of the sticky bit (host_files.h), its dates are the host's. A file that a
// running service has loaded cannot be deleted, replaced or overwritten, but it can be renamed, and
// the mark follows it.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "winsim/handles.h"
#include "winsim/host_files.h"
#include "winsim/machine.h"

namespace winsim {

DWORD ErrorOfErrno(int e) {
  switch (e) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

FILETIME FileTimeOf(const struct timespec &ts) {
  // 100-nanosecond intervals since 1 January 1601.
  int64_t seconds = static_cast<int64_t>(ts.tv_sec) + 11644473600LL;
  uint64_t ticks = seconds < 0 ? 0
                               : static_cast<uint64_t>(seconds) * 10000000ULL +
                                     static_cast<uint64_t>(ts.tv_nsec) / 100;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

namespace {

const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
const char kFindKind[] = "find";
const char kCopyPrefix[] = ".winsim-copy-";  // a copy in progress, never listed

// A Windows path as the image sees it.
struct Place {
  std::string full;  // canonical Windows path, "C:\DIR\NAME"
  std::string host;  // the host path it maps to, existing components in their stored case
  bool root = false;
  bool exists = false;
  bool isDir = false;
  bool parentIsDir = false;  // the directory that would hold it exists
  struct stat st = {};
};

// Without `examine` only the names are found: what exists is left unknown.
bool Locate(LPCSTR path, Place *place, DWORD *error, bool examine = true) {
  uint32_t e = 0;
  if (!FullWindowsPath(path ? path : "", &place->full, &e) ||
      !ResolvePath(place->full, &place->host, &e)) {
    *error = e;
    return false;
  }
  place->root = place->full.size() == 3;
  if (!examine) return true;
  place->exists = ::stat(place->host.c_str(), &place->st) == 0;
  place->isDir = place->exists && S_ISDIR(place->st.st_mode);
  if (place->root || place->exists) {
    place->parentIsDir = true;
  } else {
    struct stat parent;
    std::string dir = place->host.substr(0, place->host.rfind('/'));
    place->parentIsDir = ::stat(dir.c_str(), &parent) == 0 && S_ISDIR(parent.st_mode);
  }
  return true;
}

// What Windows answers for a name that does not exist.
DWORD MissingError(const Place &place) {
  return place.parentIsDir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool ReadOnly(const struct stat &st) {
  return (st.st_mode & S_IWUSR) == 0;
}

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A directory that holds a loaded file cannot be renamed, as on NT.
bool HoldsLoadedFile(const std::string &dirHost) {
  std::string prefix = dirHost + "/";
  for (const std::string &file : M().loadedFiles)
    if (file.compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

std::string LastComponent(const std::string &fullPath) {
  return fullPath.substr(fullPath.rfind('\\') + 1);
}

std::string ParentHost(const std::string &host) {
  return host.substr(0, host.rfind('/'));
}

// The process holds its current directory open: it cannot be removed or renamed, nor can a
// directory above it be renamed. Answers 0 when `dirHost` is free of it.
DWORD CurrentDirectoryConflict(const std::string &dirHost) {
  std::string current;
  if (!ResolvePath(M().currentDir, &current, nullptr)) return 0;
  if (current == dirHost) return ERROR_SHARING_VIOLATION;
  if (current.compare(0, dirHost.size() + 1, dirHost + "/") == 0) return ERROR_ACCESS_DENIED;
  return 0;
}

// The answer of the directory queries: the text and its length when it fits, else the size
// needed with its terminator, nothing written.
DWORD CopyOut(const std::string &text, LPSTR buffer, DWORD size) {
  if (!buffer || size < text.size() + 1) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

// ---- Search patterns ------------------------------------------------------------------------
// NT turns a pattern into its file-system form before matching. Trailing dots and blanks are
// dropped; "*.*" is every name; '?' becomes DOS_QM, which may also match nothing before a dot or
// at the end; '*' before a dot (or at the end of a pattern that ended in a dot) becomes DOS_STAR,
// which stops short of the name's last dot; a dot before a wildcard becomes DOS_DOT, which may
// also match the end of the name. A pattern may name the DOS wildcards themselves.
const char kDosStar = '<', kDosQm = '>', kDosDot = '"';

std::string FileSystemPattern(const std::string &given) {
  std::string pattern = given;
  while (!pattern.empty() && (pattern.back() == '.' || pattern.back() == ' ')) pattern.pop_back();
  if (pattern.empty()) pattern = given;  // only dots: the names "." and ".."
  bool endedInDot = !given.empty() && given.back() == '.' && pattern != given;
  if (pattern == "*.*") return "*";
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    char next = i + 1 < pattern.size() ? pattern[i + 1] : (endedInDot ? '.' : '\0');
    if (c == '?')
      out += kDosQm;
    else if (c == '*' && next == '.')
      out += kDosStar;
    else if (c == '.' && (next == '?' || next == '*'))
      out += kDosDot;
    else
      out += c;
  }
  return Upper(out);
}

// The last dot that DOS_STAR may not pass from position `from`: a name's leading dots do not
// start an extension, so a DOS_STAR at the start passes them.
size_t StarLimit(const std::string &n, size_t from) {
  size_t lastDot = n.rfind('.');
  if (lastDot == std::string::npos || lastDot < from) return n.size();
  if (from == 0 && n.find_first_not_of('.') > lastDot) return n.size();
  return lastDot;
}

bool MatchFrom(const std::string &p, size_t pi, const std::string &n, size_t ni) {
  while (pi < p.size()) {
    char c = p[pi];
    if (c == '*') {
      for (size_t k = ni; k <= n.size(); ++k)
        if (MatchFrom(p, pi + 1, n, k)) return true;
      return false;
    }
    if (c == kDosStar) {
      for (size_t k = ni, limit = StarLimit(n, ni); k <= limit; ++k)
        if (MatchFrom(p, pi + 1, n, k)) return true;
      return false;
    }
    if (c == kDosQm) {
      if (ni < n.size() && n[ni] != '.') ++ni;
      ++pi;
      continue;
    }
    if (c == kDosDot) {
      if (ni < n.size()) {
        if (n[ni] != '.') return false;
        ++ni;
      }
      ++pi;
      continue;
    }
    if (ni == n.size() || n[ni] != c) return false;
    ++pi, ++ni;
  }
  return ni == n.size();
}

// The 8.3 name that NT keeps beside a long one, upper case; empty where the name is one already
// (or begins with a dot, which the search does not match by a short name).
std::string ShortName(const std::string &name) {
  if (name.empty() || name[0] == '.') return "";
  size_t dot = name.rfind('.');
  std::string base = name.substr(0, dot),
              ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  auto plain = [](const std::string &part, size_t max) {
    return part.size() <= max && part.find_first_of(" .+,;=[]") == std::string::npos;
  };
  if (!base.empty() && plain(base, 8) && plain(ext, 3)) return "";
  auto clean = [](const std::string &part) {
    std::string out;
    for (char c : part)
      if (c != ' ' && c != '.') out += std::strchr("+,;=[]", c) ? '_' : c;
    return Upper(out);
  };
  std::string shortName = clean(base).substr(0, 6) + "~1";
  std::string shortExt = clean(ext).substr(0, 3);
  return shortExt.empty() ? shortName : shortName + "." + shortExt;
}

// `pattern` in its file-system form (FileSystemPattern). A name matches by its long or its short
// name; "." and ".." match every pattern made of wildcards and dots alone.
bool NameMatches(const std::string &pattern, const std::string &name) {
  if (name == "." || name == "..") return pattern.find_first_not_of("*?.<>\"") == std::string::npos;
  if (MatchFrom(pattern, 0, Upper(name), 0)) return true;
  std::string shortName = ShortName(name);
  return !shortName.empty() && MatchFrom(pattern, 0, shortName, 0);
}

// The reserved device names, found in every directory.
bool IsDeviceName(const std::string &name) {
  std::string base = Upper(name.substr(0, name.find('.')));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

struct Search {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

WIN32_FIND_DATAA FindDataOf(const std::string &name, const struct stat &st) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  data.dwFileAttributes = AttributesOf(st);
  data.ftCreationTime = FileTimeOf(st.st_mtim);  // the host keeps no creation date
  data.ftLastAccessTime = FileTimeOf(st.st_atim);
  data.ftLastWriteTime = FileTimeOf(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  std::snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
  return data;
}

// ---- Moves ------------------------------------------------------------------------------------

// Records a move for the next restart where NT keeps it: pairs of "\??\<full path>" and the new
// name ("" to delete, "!" in front when the new name may be replaced), appended in order.
BOOL ScheduleMove(LPCSTR from, LPCSTR to, bool replace) {
  std::string fullFrom, fullTo;
  uint32_t error = 0;
  if (!FullWindowsPath(from ? from : "", &fullFrom, &error)) return SetLastError(error), FALSE;
  std::string target;
  if (to && *to) {
    if (!FullWindowsPath(to, &fullTo, &error)) return SetLastError(error), FALSE;
    target = std::string(replace ? "!" : "") + "\\??\\" + fullTo;
  }

  // The registry work is the system's on the caller's behalf, not calls of the program: faults
  // of the program's registry calls do not reach it, its rights do.
  ServiceAccount system(true);
  HKEY key;
  DWORD disposition;
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, const_cast<LPSTR>(""),
                            REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key,
                            &disposition);
  if (rc != ERROR_SUCCESS) return SetLastError(static_cast<DWORD>(rc)), FALSE;
  std::string data;
  DWORD type = 0, size = 0;
  rc = RegQueryValueExA(key, kPendingRenames, NULL, &type, NULL, &size);
  if (rc == ERROR_SUCCESS && size > 0) {
    data.resize(size);
    rc = RegQueryValueExA(key, kPendingRenames, NULL, &type, reinterpret_cast<LPBYTE>(&data[0]),
                          &size);
    data.resize(std::min<size_t>(size, data.size()));
  } else if (rc == ERROR_FILE_NOT_FOUND) {
    rc = ERROR_SUCCESS;
  }
  if (rc == ERROR_SUCCESS) {
    // Drop the list's closing NUL so that the new pair follows the last string.
    if (!data.empty() && data.back() == '\0') data.pop_back();
    if (!data.empty() && data.back() != '\0') data += '\0';
    data += "\\??\\" + fullFrom;
    data += '\0';
    data += target;
    data += '\0';
    data += '\0';
    rc = RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ,
                        reinterpret_cast<const BYTE *>(data.data()),
                        static_cast<DWORD>(data.size()));
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return SetLastError(static_cast<DWORD>(rc)), FALSE;
  return TRUE;
}

BOOL MoveOrSchedule(LPCSTR from, LPCSTR to, DWORD flags) {
  const DWORD known =
      MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_DELAY_UNTIL_REBOOT;
  if (flags & ~known) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
    if (flags & MOVEFILE_COPY_ALLOWED) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
    return ScheduleMove(from, to, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
  }
  if (!to) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;

  Place src, dst;
  DWORD error = 0;
  if (!Locate(from, &src, &error) || !Locate(to, &dst, &error)) return SetLastError(error), FALSE;
  if (!src.exists) return SetLastError(MissingError(src)), FALSE;
  if (src.root || dst.root) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (!dst.exists && !dst.parentIsDir) return SetLastError(ERROR_PATH_NOT_FOUND), FALSE;
  bool sameFile = dst.exists && SameFile(src.st, dst.st);  // a change of case only
  if (dst.exists && !sameFile) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return SetLastError(ERROR_ALREADY_EXISTS), FALSE;
    if (src.isDir || dst.isDir || ReadOnly(dst.st) || IsFileLoaded(dst.host))
      return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  }
  if (src.isDir) {
    if (HoldsLoadedFile(src.host)) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
    if (DWORD busy = CurrentDirectoryConflict(src.host)) return SetLastError(busy), FALSE;
  }
  // A new or renamed entry takes the case given; a replaced one keeps its stored name.
  std::string target =
      dst.exists && !sameFile ? dst.host : ParentHost(dst.host) + "/" + LastComponent(dst.full);

  bool otherDrive = src.full[0] != dst.full[0];
  if (!otherDrive && RenameHost(src.host, target) == 0) {
    if (IsFileLoaded(src.host)) {
      SetFileLoaded(src.host, false);
      SetFileLoaded(target, true);
    }
    return TRUE;
  }
  DWORD renameError = otherDrive ? ERROR_NOT_SAME_DEVICE : ErrorOfErrno(errno);
  if (renameError != ERROR_NOT_SAME_DEVICE || !(flags & MOVEFILE_COPY_ALLOWED) || src.isDir)
    return SetLastError(renameError), FALSE;
  error = CopyHostFile(src.host, target);
  if (error) return SetLastError(error), FALSE;
  // As documented for NT: a source that cannot be deleted after the copy stays, and the move
  // still succeeds.
  if (!ReadOnly(src.st) && !IsFileLoaded(src.host)) UnlinkHost(src.host);
  return TRUE;
}

// The source devices where the host cannot clone a file's blocks, so as not to ask for each file.
std::vector<dev_t> g_noClone;

// The bytes of the open host file `in`, whose status is `st`, into the empty file `out`, as the
// host copies best: a clone where the file system shares blocks, else a copy inside the kernel,
// else through a buffer.
DWORD CopyHostData(int in, const struct stat &st, int out) {
  if (std::find(g_noClone.begin(), g_noClone.end(), st.st_dev) == g_noClone.end()) {
    if (::ioctl(out, FICLONE, in) == 0) return 0;
    if (errno != EXDEV) g_noClone.push_back(st.st_dev);
  }
  const off_t size = st.st_size;
  off_t copied = 0;
  bool inKernel = true;
  while (copied < size) {
    ssize_t n = 0;
    if (inKernel) {
      n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(size - copied), 0);
      if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                    errno == EBADF)) {
        inKernel = false;
        continue;
      }
    } else {
      char buffer[65536];
      n = ::read(in, buffer, sizeof buffer);
      for (ssize_t done = 0; n > 0 && done < n;) {
        ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return ErrorOfErrno(errno);
        done += w;
      }
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ErrorOfErrno(errno);
    if (n == 0) break;  // the file became shorter
    copied += n;
  }
  return 0;
}

// The copy of the open source into the new, open target: the bytes, then the source's
// attributes and dates; being written, the copy is archived. Closes both.
DWORD FillCopy(int in, const struct stat &st, int out) {
  DWORD error = CopyHostData(in, st, out);
  ::close(in);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (!error &&
      (::fchmod(out, st.st_mode & 07777 & ~kNotArchived) != 0 || ::futimens(out, times) != 0))
    error = ErrorOfErrno(errno);
  if (::close(out) != 0 && !error) error = ErrorOfErrno(errno);
  return error;
}

// Opens a host file for reading, through the directory resolved last when it is one of them.
int OpenHostSource(const std::string &host, struct stat *st) {
  const char *name;
  const int at = HostDirectoryAt(host, &name);
  int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && ::fstat(fd, st) != 0) {
    int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

// Copies the open source over an existing target: written beside it and renamed over it, so
// that the target is never half written. Closes the source.
uint32_t ReplaceByCopy(int in, const struct stat &st, const std::string &toHost) {
  std::string temp = ParentHost(toHost) + "/" + kCopyPrefix + "XXXXXX";
  int out = ::mkstemp(&temp[0]);
  if (out < 0) {
    int e = errno;
    ::close(in);
    return ErrorOfErrno(e);
  }
  DWORD error = FillCopy(in, st, out);
  if (!error && RenameHost(temp, toHost) != 0) error = ErrorOfErrno(errno);
  if (error) ::unlink(temp.c_str());
  return error;
}

}  // namespace

// A directory is never archived; a file is unless the attribute was cleared.
DWORD AttributesOf(const struct stat &st) {
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode))
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  else if (!(st.st_mode & kNotArchived))
    attributes |= FILE_ATTRIBUTE_ARCHIVE;
  if (ReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

uint32_t CopyHostFile(const std::string &fromHost, const std::string &toHost) {
  struct stat st;
  int in = OpenHostSource(fromHost, &st);
  if (in < 0) return ErrorOfErrno(errno);
  if (S_ISDIR(st.st_mode)) {
    ::close(in);
    return ERROR_ACCESS_DENIED;
  }
  return ReplaceByCopy(in, st, toHost);
}

}  // namespace winsim

using winsim::Fault;
using winsim::M;
using winsim::Place;

extern "C" {

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (DWORD e = Fault("GetWindowsDirectoryA")) return SetLastError(e), 0;
  return winsim::CopyOut(M().windowsDir, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (DWORD e = Fault("GetSystemDirectoryA")) return SetLastError(e), 0;
  return winsim::CopyOut(M().systemDir, lpBuffer, uSize);
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (DWORD e = Fault("GetTempPathA")) return SetLastError(e), 0;
  std::string dir = M().tempDir;
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return winsim::CopyOut(dir, lpBuffer, nBufferLength);
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName) {
  if (DWORD e = Fault("GetTempFileNameA")) return SetLastError(e), 0;
  if (!lpPathName || !lpTempFileName) return SetLastError(ERROR_INVALID_PARAMETER), 0;
  // Room for the name that follows the path, as documented.
  if (std::strlen(lpPathName) > MAX_PATH - 14) return SetLastError(ERROR_BUFFER_OVERFLOW), 0;
  std::string base = lpPathName;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  std::string prefix = lpPrefixString ? std::string(lpPrefixString).substr(0, 3) : "";
  auto nameOf = [&](unsigned unique) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", unique & 0xFFFF);
    return base + prefix + hex + ".TMP";
  };
  auto answer = [&](const std::string &name, UINT unique) -> UINT {
    if (name.size() >= MAX_PATH) return SetLastError(ERROR_FILENAME_EXCED_RANGE), 0;
    std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
    return unique;
  };
  // A number given by the caller is only formatted; nothing is created.
  if (uUnique != 0) return answer(nameOf(uUnique), uUnique);

  Place dir;
  DWORD error = 0;
  if (!winsim::Locate(lpPathName, &dir, &error)) return SetLastError(error), 0;
  // Windows looks at the directory before it tries a name.
  if (!dir.isDir) return SetLastError(ERROR_DIRECTORY), 0;
  // Like NT, start from the clock and take the first number whose file can be created.
  unsigned start = static_cast<unsigned>(winsim::NowMs() & 0xFFFF);
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned unique = (start + i) & 0xFFFF;
    if (unique == 0) continue;
    std::string name = nameOf(unique), host;
    uint32_t e = 0;
    if (name.size() >= MAX_PATH || !winsim::ResolvePath(name, &host, &e))
      return SetLastError(e ? e : ERROR_FILENAME_EXCED_RANGE), 0;
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      ::close(fd);
      winsim::HostEntryCreated(host);
      return answer(name, unique);
    }
    if (errno != EEXIST) return SetLastError(winsim::ErrorOfErrno(errno)), 0;
  }
  return SetLastError(ERROR_FILE_EXISTS), 0;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (DWORD e = Fault("GetCurrentDirectoryA")) return SetLastError(e), 0;
  return winsim::CopyOut(M().currentDir, lpBuffer, nBufferLength);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  if (DWORD e = Fault("SetCurrentDirectoryA")) return SetLastError(e), FALSE;
  Place dir;
  DWORD error = 0;
  if (!winsim::Locate(lpPathName, &dir, &error)) return SetLastError(error), FALSE;
  if (!dir.exists) return SetLastError(winsim::MissingError(dir)), FALSE;
  if (!dir.isDir) return SetLastError(ERROR_DIRECTORY), FALSE;
  M().currentDir = dir.full;
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  if (DWORD e = Fault("GetFileAttributesA")) return SetLastError(e), INVALID_FILE_ATTRIBUTES;
  Place place;
  DWORD error = 0;
  if (!winsim::Locate(lpFileName, &place, &error))
    return SetLastError(error), INVALID_FILE_ATTRIBUTES;
  if (!place.exists) return SetLastError(winsim::MissingError(place)), INVALID_FILE_ATTRIBUTES;
  return winsim::AttributesOf(place.st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  if (DWORD e = Fault("SetFileAttributesA")) return SetLastError(e), FALSE;
  Place place;
  DWORD error = 0;
  if (!winsim::Locate(lpFileName, &place, &error)) return SetLastError(error), FALSE;
  if (!place.exists) return SetLastError(winsim::MissingError(place)), FALSE;
  // The image keeps the read-only attribute only; hidden and system files it cannot represent.
  if (dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
    return SetLastError(ERROR_NOT_SUPPORTED), FALSE;
  mode_t mode = place.st.st_mode & 07777;
  mode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
  if (!place.isDir)
    mode = (dwFileAttributes & FILE_ATTRIBUTE_ARCHIVE) ? (mode & ~winsim::kNotArchived)
                                                       : (mode | winsim::kNotArchived);
  if (::chmod(place.host.c_str(), mode) != 0)
    return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  (void)lpSecurityAttributes;
  if (DWORD e = Fault("CreateDirectoryA")) return SetLastError(e), FALSE;
  Place place;
  DWORD error = 0;
  if (!winsim::Locate(lpPathName, &place, &error)) return SetLastError(error), FALSE;
  if (place.exists) return SetLastError(ERROR_ALREADY_EXISTS), FALSE;
  if (!place.parentIsDir) return SetLastError(ERROR_PATH_NOT_FOUND), FALSE;
  if (::mkdir(place.host.c_str(), 0755) != 0)
    return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
  winsim::HostEntryCreated(place.host);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  if (DWORD e = Fault("RemoveDirectoryA")) return SetLastError(e), FALSE;
  Place place;
  DWORD error = 0;
  if (!winsim::Locate(lpPathName, &place, &error)) return SetLastError(error), FALSE;
  if (!place.exists) return SetLastError(winsim::MissingError(place)), FALSE;
  if (!place.isDir) return SetLastError(ERROR_DIRECTORY), FALSE;
  if (place.root || winsim::ReadOnly(place.st)) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (DWORD busy = winsim::CurrentDirectoryConflict(place.host)) return SetLastError(busy), FALSE;
  if (::rmdir(place.host.c_str()) != 0) {
    int e = errno;
    return SetLastError(e == EEXIST ? ERROR_DIR_NOT_EMPTY : winsim::ErrorOfErrno(e)), FALSE;
  }
  winsim::HostEntryRemoved(place.host);
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  if (DWORD e = Fault("DeleteFileA")) return SetLastError(e), FALSE;
  Place place;
  DWORD error = 0;
  if (!winsim::Locate(lpFileName, &place, &error)) return SetLastError(error), FALSE;
  if (!place.exists) return SetLastError(winsim::MissingError(place)), FALSE;
  if (place.isDir || winsim::ReadOnly(place.st) || winsim::IsFileLoaded(place.host))
    return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (winsim::UnlinkHost(place.host) != 0) return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
  return TRUE;
}

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  if (DWORD e = Fault("CopyFileA")) return SetLastError(e), FALSE;
  Place src, dst;
  DWORD error = 0;
  if (!winsim::Locate(lpExistingFileName, &src, &error, false) ||
      !winsim::Locate(lpNewFileName, &dst, &error, false))
    return SetLastError(error), FALSE;
  // The source is opened first; only one that does not open is looked at, to say why.
  struct stat st;
  int in = winsim::OpenHostSource(src.host, &st);
  if (in < 0) {
    if (errno != ENOENT && errno != ENOTDIR)
      return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
    winsim::Locate(lpExistingFileName, &src, &error);
    return SetLastError(src.exists ? ERROR_ACCESS_DENIED : winsim::MissingError(src)), FALSE;
  }
  if (S_ISDIR(st.st_mode)) return ::close(in), SetLastError(ERROR_ACCESS_DENIED), FALSE;
  // A new target is made in place, in one call to the host, and removed again if the copy
  // fails; an existing one is replaced whole.
  const char *name;
  const int at = winsim::HostDirectoryAt(dst.host, &name);
  int out = ::openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out >= 0) {
    winsim::HostEntryCreated(dst.host);
    error = winsim::FillCopy(in, st, out);
    if (error) winsim::UnlinkHost(dst.host);
    return error ? (SetLastError(error), FALSE) : TRUE;
  }
  if (errno != EEXIST) {
    const int e = errno;
    ::close(in);
    return SetLastError(e == ENOENT || e == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                    : winsim::ErrorOfErrno(e)),
           FALSE;
  }
  struct stat there;
  if (::fstatat(at, name, &there, 0) != 0)
    error = winsim::ErrorOfErrno(errno);
  else if (bFailIfExists)
    error = ERROR_FILE_EXISTS;
  // The source is open for reading while the target is opened for writing.
  else if (winsim::SameFile(st, there))
    error = ERROR_SHARING_VIOLATION;
  else if (S_ISDIR(there.st_mode) || winsim::ReadOnly(there))
    error = ERROR_ACCESS_DENIED;
  else if (winsim::IsFileLoaded(dst.host))
    error = ERROR_SHARING_VIOLATION;
  if (error) return ::close(in), SetLastError(error), FALSE;
  error = winsim::ReplaceByCopy(in, st, dst.host);
  return error ? (SetLastError(error), FALSE) : TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  if (DWORD e = Fault("MoveFileA")) return SetLastError(e), FALSE;
  // MoveFile moves a file to another drive by copying it.
  return winsim::MoveOrSchedule(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (DWORD e = Fault("MoveFileExA")) return SetLastError(e), FALSE;
  return winsim::MoveOrSchedule(lpExistingFileName, lpNewFileName, dwFlags);
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (DWORD e = Fault("FindFirstFileA")) return SetLastError(e), INVALID_HANDLE_VALUE;
  if (!lpFileName || !lpFindFileData)
    return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
  std::string text = lpFileName;
  std::replace(text.begin(), text.end(), '/', '\\');
  size_t cut = text.rfind('\\');
  if (cut == std::string::npos && text.size() >= 2 && text[1] == ':') cut = 1;
  std::string dirPart = cut == std::string::npos ? "." : text.substr(0, cut + 1);
  std::string name = cut == std::string::npos ? text : text.substr(cut + 1);
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || c == ':' || c == '|')
      return SetLastError(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
  }

  Place dir;
  DWORD error = 0;
  if (!winsim::Locate(dirPart.c_str(), &dir, &error, false))
    return SetLastError(error), INVALID_HANDLE_VALUE;
  // A name without wildcards (nor the trailing dot or blank that the pattern drops)
  // can match only the entries of that name.
  bool plain = name.find_first_of("*?<>\"") == std::string::npos && !name.empty() &&
               name.back() != '.' && name.back() != ' ';
  std::vector<std::string> listed;
  if (!winsim::HostDirectoryNames(dir.host, plain ? name : "", &listed))
    return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;  // no such directory
  if (name.empty()) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;

  auto search = std::make_shared<winsim::Search>();
  const bool device = plain && winsim::IsDeviceName(name);
  if (device) {
    // A device answers as an empty archived file of the name asked for.
    WIN32_FIND_DATAA data;
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    std::snprintf(data.cFileName, sizeof data.cFileName, "%s", name.c_str());
    search->entries.push_back(data);
  }
  std::vector<std::string> names;
  if (!dir.root) names = {".", ".."};  // a drive's root has neither
  // A stable order, as NTFS gives: by the upper-cased name.
  std::vector<std::pair<std::string, std::string>> stored;
  for (const std::string &n : listed)
    if (n.compare(0, sizeof winsim::kCopyPrefix - 1, winsim::kCopyPrefix) != 0)
      stored.emplace_back(winsim::Upper(n), n);
  std::sort(stored.begin(), stored.end());
  for (auto &entry : stored) names.push_back(std::move(entry.second));

  if (device) names.clear();  // no file can have a device's name
  std::string pattern = winsim::FileSystemPattern(name);
  for (const std::string &n : names) {
    if (!winsim::NameMatches(pattern, n)) continue;
    std::string host = n == "."    ? dir.host
                       : n == ".." ? winsim::ParentHost(dir.host)
                                   : dir.host + "/" + n;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) continue;
    search->entries.push_back(winsim::FindDataOf(n, st));
  }
  if (search->entries.empty()) return SetLastError(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
  *lpFindFileData = search->entries[0];
  search->next = 1;
  return winsim::NewKernelHandle(winsim::kFindKind, search);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  if (DWORD e = Fault("FindNextFileA")) return SetLastError(e), FALSE;
  auto search =
      std::static_pointer_cast<winsim::Search>(winsim::KernelObject(hFindFile, winsim::kFindKind));
  if (!search) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (search->next >= search->entries.size()) return SetLastError(ERROR_NO_MORE_FILES), FALSE;
  if (!lpFindFileData) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  *lpFindFileData = search->entries[search->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (DWORD e = Fault("FindClose")) return SetLastError(e), FALSE;
  if (!winsim::KernelObject(hFindFile, winsim::kFindKind))
    return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  winsim::CloseKernelHandle(hFindFile);
  return TRUE;
}

}  // extern "C"
