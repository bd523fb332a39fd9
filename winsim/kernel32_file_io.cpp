// Files opened by handle: CreateFileA, ReadFile, WriteFile, the file pointer, size and dates,
// with the results and last-error values of Windows NT 3.5.
//
// A handle holds a host file descriptor. As elsewhere in the image, a file's read-only attribute
// is its write permission, and a file that a running service has loaded cannot be opened for
// writing. Sharing between handles of this one process is not modelled: the programs that run
// here open a file, use it and close it again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "winsim/handles.h"
#include "winsim/host_files.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

const char kFileKind[] = "file";

struct OpenFile {
  int fd = -1;
  bool read = false, write = false;
  bool harness = false;   // a file of the harness: never failed by [faults]
  bool regular = false;   // a regular host file, which reads short only at its end
  bool archived = false;  // known to carry the archive attribute
  std::string host;
  ~OpenFile() {
    if (fd > 2) ::close(fd);
  }
};

std::shared_ptr<OpenFile> FileOf(HANDLE handle) {
  return std::static_pointer_cast<OpenFile>(KernelObject(handle, kFileKind));
}

// The injected fault of a call on an open file, unless the file is the harness's.
DWORD FileFault(const char *function, const std::shared_ptr<OpenFile> &file) {
  return file && file->harness ? 0 : Fault(function);
}

struct timespec TimespecOf(const FILETIME &ft) {
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL);
  ts.tv_nsec = static_cast<long>(ticks % 10000000ULL) * 100;
  return ts;
}

// A file that is written or cut gets the archive attribute, as on NT.
void SetArchived(OpenFile *file) {
  if (file->archived || file->fd <= 2) return;
  struct stat st;
  if (::fstat(file->fd, &st) == 0 && (st.st_mode & kNotArchived))
    ::fchmod(file->fd, st.st_mode & 07777 & ~kNotArchived);
  file->archived = true;
}

HANDLE StdHandle(int fd) {
  static HANDLE handles[3] = {};
  if (!handles[fd] || !FileOf(handles[fd])) {
    auto file = std::make_shared<OpenFile>();
    file->fd = fd;
    file->read = fd == 0;
    file->write = fd != 0;
    file->harness = true;
    handles[fd] = NewKernelHandle(kFileKind, file);
  }
  return handles[fd];
}

}  // namespace

bool IsHarnessHandle(HANDLE handle) {
  std::shared_ptr<OpenFile> file = FileOf(handle);
  return file && file->harness;
}

}  // namespace winsim

using winsim::FileOf;
using winsim::OpenFile;

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)dwShareMode, (void)lpSecurityAttributes, (void)hTemplateFile;
  std::string full, host;
  uint32_t error = 0;
  bool located = lpFileName && winsim::FullWindowsPath(lpFileName, &full, &error) &&
                 winsim::ResolveFullPath(full, &host, &error);
  bool harness = located && winsim::IsHarnessFile(host);
  if (!harness)
    if (DWORD e = winsim::Fault("CreateFileA")) return SetLastError(e), INVALID_HANDLE_VALUE;
  if (!lpFileName) return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
    return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
  if (!located) return SetLastError(error), INVALID_HANDLE_VALUE;

  const bool read = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
  const bool write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  const bool creates =
      dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != TRUNCATE_EXISTING;
  const int access = O_CLOEXEC | (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY);
  const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
  // A file that may be made is made first and looked at only when it is there already: a new
  // file costs the host one call, and a missing directory shows as the host's ENOENT. A file
  // only read is opened first and looked at through its descriptor.
  const char *name;
  const int at = winsim::HostDirectoryAt(host, &name);
  int fd = -1;
  struct stat st;
  bool exists = true, looked = false;
  if (creates) {
    fd = ::openat(at, name, access | O_CREAT | O_EXCL, mode);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR))
      return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (fd < 0 && errno != EEXIST)
      return SetLastError(winsim::ErrorOfErrno(errno)), INVALID_HANDLE_VALUE;
    exists = fd < 0;
  } else if (!write && dwCreationDisposition == OPEN_EXISTING) {
    fd = ::openat(at, name, access);
    if (fd >= 0 && ::fstat(fd, &st) != 0) {
      ::close(fd);
      fd = -1;
    }
    if (fd >= 0) {
      looked = true;
    } else if (errno == ENOENT || errno == ENOTDIR) {
      exists = false, looked = true;
    }
  }
  if (exists && !looked) exists = ::fstatat(at, name, &st, 0) == 0;
  if (fd < 0 && !exists && !creates) {
    std::string parent = host.substr(0, host.rfind('/'));
    struct stat ps;
    bool parentIsDir = ::stat(parent.c_str(), &ps) == 0 && S_ISDIR(ps.st_mode);
    return SetLastError(parentIsDir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND),
           INVALID_HANDLE_VALUE;
  }
  if (exists) {
    if (dwCreationDisposition == CREATE_NEW)
      return SetLastError(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
    if (S_ISDIR(st.st_mode)) {
      if (fd >= 0) ::close(fd);
      return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    }
    bool changes = write || dwCreationDisposition == CREATE_ALWAYS ||
                   dwCreationDisposition == TRUNCATE_EXISTING;
    if (changes && (st.st_mode & S_IWUSR) == 0)
      return SetLastError(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    if (changes && winsim::IsFileLoaded(host))
      return SetLastError(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
  }
  if (dwCreationDisposition == TRUNCATE_EXISTING && !write)
    return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;

  if (fd < 0) {
    int flags = access;
    if (dwCreationDisposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    if (dwCreationDisposition == OPEN_ALWAYS) flags |= O_CREAT;
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING)
      flags |= O_TRUNC | (dwCreationDisposition == CREATE_ALWAYS ? O_CREAT : 0);
    // Truncating needs a descriptor open for writing even when the caller asked for less.
    if ((flags & O_TRUNC) && !write) flags = (flags & ~O_RDONLY) | O_RDWR;
    fd = ::openat(at, name, flags, mode);
    if (fd < 0 && !exists && (errno == ENOENT || errno == ENOTDIR))
      return SetLastError(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
    if (fd < 0) return SetLastError(winsim::ErrorOfErrno(errno)), INVALID_HANDLE_VALUE;
  }
  if (!exists) winsim::HostEntryCreated(host);

  auto file = std::make_shared<OpenFile>();
  file->fd = fd;
  file->read = read;
  file->write = write;
  file->harness = harness;
  file->regular = !exists || S_ISREG(st.st_mode);
  file->host = std::move(host);
  file->archived = !exists;
  if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING)
    winsim::SetArchived(file.get());
  // CREATE_ALWAYS and OPEN_ALWAYS tell whether the file was there.
  if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
    SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return winsim::NewKernelHandle(winsim::kFileKind, file);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("ReadFile", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (lpOverlapped || !lpNumberOfBytesRead) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  *lpNumberOfBytesRead = 0;
  if (!file->read) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (nNumberOfBytesToRead && !lpBuffer) return SetLastError(ERROR_NOACCESS), FALSE;
  DWORD done = 0;
  while (done < nNumberOfBytesToRead) {
    ssize_t n = ::read(file->fd, static_cast<char *>(lpBuffer) + done, nNumberOfBytesToRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
    if (n == 0) break;  // the end of the file: success with what was read
    done += static_cast<DWORD>(n);
    if (file->regular && done < nNumberOfBytesToRead) break;  // the end too, without asking again
  }
  *lpNumberOfBytesRead = done;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("WriteFile", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (lpOverlapped || !lpNumberOfBytesWritten) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  *lpNumberOfBytesWritten = 0;
  if (!file->write) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  if (nNumberOfBytesToWrite && !lpBuffer) return SetLastError(ERROR_NOACCESS), FALSE;
  if (file->fd <= 2) std::fflush(nullptr);  // keep order with what the stand-in prints
  DWORD done = 0;
  while (done < nNumberOfBytesToWrite) {
    ssize_t n =
        ::write(file->fd, static_cast<const char *>(lpBuffer) + done, nNumberOfBytesToWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *lpNumberOfBytesWritten = done;
      return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  *lpNumberOfBytesWritten = done;
  if (done) winsim::SetArchived(file.get());
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("SetFilePointer", file))
    return SetLastError(e), INVALID_SET_FILE_POINTER;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), INVALID_SET_FILE_POINTER;
  int64_t distance =
      lpDistanceToMoveHigh
          ? static_cast<int64_t>((static_cast<uint64_t>(*lpDistanceToMoveHigh) << 32) |
                                 static_cast<DWORD>(lDistanceToMove))
          : lDistanceToMove;
  if (dwMoveMethod > FILE_END)
    return SetLastError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
  off_t base = 0;
  if (dwMoveMethod == FILE_CURRENT) base = ::lseek(file->fd, 0, SEEK_CUR);
  if (dwMoveMethod == FILE_END) base = ::lseek(file->fd, 0, SEEK_END);
  if (base < 0) return SetLastError(ERROR_INVALID_HANDLE), INVALID_SET_FILE_POINTER;
  int64_t target = static_cast<int64_t>(base) + distance;
  if (target < 0) return SetLastError(ERROR_NEGATIVE_SEEK), INVALID_SET_FILE_POINTER;
  // Without a high part only a 32-bit signed offset can be told back.
  if (!lpDistanceToMoveHigh && target > 0x7FFFFFFF)
    return SetLastError(ERROR_INVALID_PARAMETER), INVALID_SET_FILE_POINTER;
  if (::lseek(file->fd, static_cast<off_t>(target), SEEK_SET) < 0)
    return SetLastError(winsim::ErrorOfErrno(errno)), INVALID_SET_FILE_POINTER;
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
  // A low part that reads as INVALID_SET_FILE_POINTER is told apart by a last error of 0.
  if (static_cast<DWORD>(target) == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(target);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("SetEndOfFile", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (!file->write) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  off_t at = ::lseek(file->fd, 0, SEEK_CUR);
  if (at < 0 || ::ftruncate(file->fd, at) != 0)
    return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
  winsim::SetArchived(file.get());
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("GetFileSize", file)) return SetLastError(e), INVALID_FILE_SIZE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), INVALID_FILE_SIZE;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return SetLastError(ERROR_INVALID_HANDLE), INVALID_FILE_SIZE;
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("FlushFileBuffers", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (!file->write) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  // What WriteFile wrote is with the host already, which is the disk of the image: it outlives
  // the process, as the rest of the machine's durability promises. Forcing it onto the host's
  // own disk would guard against the host failing, which the image does not model.
  return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("GetFileTime", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  // The host keeps no creation date; the last write stands in for it.
  if (lpCreationTime) *lpCreationTime = winsim::FileTimeOf(st.st_mtim);
  if (lpLastAccessTime) *lpLastAccessTime = winsim::FileTimeOf(st.st_atim);
  if (lpLastWriteTime) *lpLastWriteTime = winsim::FileTimeOf(st.st_mtim);
  return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME *lpCreationTime,
                        const FILETIME *lpLastAccessTime, const FILETIME *lpLastWriteTime) {
  (void)lpCreationTime;  // not kept by the host
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("SetFileTime", file)) return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (!file->write) return SetLastError(ERROR_ACCESS_DENIED), FALSE;
  struct timespec times[2];
  times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
  if (lpLastAccessTime) times[0] = winsim::TimespecOf(*lpLastAccessTime);
  if (lpLastWriteTime) times[1] = winsim::TimespecOf(*lpLastWriteTime);
  if (::futimens(file->fd, times) != 0) return SetLastError(winsim::ErrorOfErrno(errno)), FALSE;
  return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile,
                                       LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  std::shared_ptr<OpenFile> file = FileOf(hFile);
  if (DWORD e = winsim::FileFault("GetFileInformationByHandle", file))
    return SetLastError(e), FALSE;
  if (!file) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  if (!lpFileInformation) return SetLastError(ERROR_NOACCESS), FALSE;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  BY_HANDLE_FILE_INFORMATION info = {};
  info.dwFileAttributes = winsim::AttributesOf(st);
  // The host keeps no creation date; the last write stands in for it, as in GetFileTime.
  info.ftCreationTime = info.ftLastWriteTime = winsim::FileTimeOf(st.st_mtim);
  info.ftLastAccessTime = winsim::FileTimeOf(st.st_atim);
  info.dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
  const uint64_t size = static_cast<uint64_t>(st.st_size), index = st.st_ino;
  info.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  info.nFileSizeLow = static_cast<DWORD>(size);
  info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info.nFileIndexHigh = static_cast<DWORD>(index >> 32);
  info.nFileIndexLow = static_cast<DWORD>(index);
  *lpFileInformation = info;
  return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  switch (nStdHandle) {
    case STD_INPUT_HANDLE:
      return winsim::StdHandle(0);
    case STD_OUTPUT_HANDLE:
      return winsim::StdHandle(1);
    case STD_ERROR_HANDLE:
      return winsim::StdHandle(2);
    default:
      return SetLastError(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
  }
}

}  // extern "C"
