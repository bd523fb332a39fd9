// Named mutexes, shared between the processes that use one machine image. A named mutex exists
// while some process holds a handle to it, and so does the operating-system lock behind it: each
// handle holds a shared flock on a file of the image named after the mutex, and the mutex is new
// only when an exclusive lock can be taken, that is when no process holds a handle. The system
// drops a dead process's locks, so a killed setup leaves no mutex behind.
#include <windows.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "winsim/handles.h"
#include "winsim/machine.h"

namespace {

const char kKind[] = "mutex";

// How often the process's one thread has taken each named mutex and not released it. A mutex
// is owned by a thread, not by a handle: every handle of the process to one name shares this.
std::map<std::string, std::weak_ptr<int>> g_owned;

// A new machine is a new process: the mutexes of the last one are closed, as its end closes them.
void CloseMutexes() {
  winsim::CloseKernelHandlesOf(kKind);
  g_owned.clear();
}
[[maybe_unused]] const bool g_hooked = (winsim::AddOpenHook(&CloseMutexes), true);

struct Mutex {
  int fd = -1;
  std::shared_ptr<int> owned = std::make_shared<int>(0);  // shared by the handles of a name
  ~Mutex() {
    if (fd >= 0) ::close(fd);  // drops the lock
  }
};

// Object names are case-sensitive; the file name spells out any byte that is not a letter or
// digit.
std::string LockPath(const std::string &name) {
  std::string file = "mutex.";
  for (unsigned char c : name) {
    if (std::isalnum(c)) {
      file += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      file += hex;
    }
  }
  return winsim::M().dir + "/" + file + ".lock";
}

// Opens the mutex's lock file with a shared lock. *created: no process held it before.
std::shared_ptr<Mutex> Attach(const std::string &name, bool mayCreate, bool *created) {
  auto mutex = std::make_shared<Mutex>();
  std::string path = LockPath(name);
  mutex->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (mutex->fd < 0) return nullptr;
  winsim::HostEntryCreated(path);
  *created = ::flock(mutex->fd, LOCK_EX | LOCK_NB) == 0;
  if (*created && !mayCreate) return nullptr;            // closing the file lets the lock go
  if (::flock(mutex->fd, LOCK_SH) != 0) return nullptr;  // turns an exclusive lock shared
  std::weak_ptr<int> &owned = g_owned[name];
  if (std::shared_ptr<int> shared = owned.lock())
    mutex->owned = shared;
  else
    owned = mutex->owned;
  return mutex;
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCSTR lpName) {
  (void)lpMutexAttributes;
  if (DWORD err = winsim::Fault("CreateMutexA")) {
    SetLastError(err);
    return nullptr;
  }
  bool created = true;
  std::shared_ptr<Mutex> mutex =
      lpName && *lpName ? Attach(lpName, true, &created) : std::make_shared<Mutex>();
  if (!mutex) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  // Only the process that makes the mutex can own it from the start.
  if (created && bInitialOwner) *mutex->owned = 1;
  HANDLE handle = winsim::NewKernelHandle(kKind, mutex);
  SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName) {
  (void)dwDesiredAccess;
  (void)bInheritHandle;
  if (DWORD err = winsim::Fault("OpenMutexA")) {
    SetLastError(err);
    return nullptr;
  }
  if (!lpName || !*lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool created = false;
  std::shared_ptr<Mutex> mutex = Attach(lpName, false, &created);
  if (!mutex) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return winsim::NewKernelHandle(kKind, mutex);
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  auto mutex = std::static_pointer_cast<Mutex>(winsim::KernelObject(hMutex, kKind));
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (*mutex->owned == 0) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  --*mutex->owned;
  return TRUE;
}

}  // extern "C"
