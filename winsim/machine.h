// The simulated Windows NT machine: what the machine image holds once it is loaded, and the
// services that every area of the stand-in shares (durable saving, injected faults, the clock,
// the transcript). This is the stand-in's own interface; the system sees only <windows.h>.
#ifndef WINSIM_MACHINE_H
#define WINSIM_MACHINE_H

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "winsim/ini_file.h"

namespace winsim {

struct RegistryStore;  // winsim/registry_store.h
struct RegistryStoreDeleter {
  void operator()(RegistryStore *store) const;
};

// A fault of the image: which file, which line (0 when none applies), what is wrong.
struct ImageError {
  std::string file;
  int line = 0;
  std::string message;
  std::string Text() const;  // "<file>:<line>: <message>" or "<file>: <message>"
};

enum class AdminGroup { Enabled, Disabled, DenyOnly, Absent };

struct ServiceConfig {
  std::string name;               // as written in the section header
  std::string state = "running";  // stopped, start-pending, running, stop-pending, paused
  std::vector<std::string> depends;
  uint32_t stopMs = 0;
  uint32_t waitHintMs = 0;
  bool hang = false;
  uint32_t stopError = 0;
  uint32_t startError = 0;
  bool stopBeganKnown = false;  // stop_began: the machine clock when a pending stop was asked for
  uint64_t stopBeganMs = 0;
};

struct FaultRule {
  std::string function;  // compared without regard to case
  int call = 0;          // 0: every call; n: only the n-th call
  uint32_t error = 0;
  bool kill = false;  // "kill": the process dies there by SIGKILL, as a power cut would end it
};

// The registry's two files, system.reg and its log (winsim/registry_log.h).
struct RegistryFiles {
  int logFd = -1;            // the log, open for appending once this process has logged a change
  bool logBroken = false;    // a failed append could not be undone: no further change is logged
  uint64_t baseHash = 0;     // of system.reg as last read or written
  uint64_t baseBytes = 0;    // its size
  uint64_t logBytes = 0;     // of the log's whole records, its first line included; 0: no log
  bool logLeft = false;      // loading found a log, current or obsolete, that a process left
  uint64_t foldRetryAt = 0;  // after a failed fold: the log size at which to try again
  // For the statistics file: changes logged, bytes written to system.reg and its log.
  uint64_t changes = 0;
  uint64_t bytesWritten = 0;
};

struct Machine {
  Machine() = default;
  ~Machine();  // folds the registry's log: every end of the machine but a kill
  Machine(const Machine &) = delete;
  Machine &operator=(const Machine &) = delete;

  std::string dir;  // host directory of the image, absolute
  IniFile ini;      // machine.ini as parsed; rewritten in place when the machine changes

  // [system]
  uint32_t major = 3, minor = 50, build = 807;
  bool windows95 = false;         // platform = windows
  std::string processor = "x86";  // empty: PROCESSOR_ARCHITECTURE undefined
  std::string windowsDir = "C:\\WINNT35";
  std::string systemDir = "C:\\WINNT35\\system32";
  std::string tempDir = "C:\\TEMP";
  unsigned codepage = 1252;
  bool restart = false;
  uint64_t savedClockMs = 0;     // clock: the machine's clock when machine.ini was last saved
  uint64_t savedHostTimeMs = 0;  // clock_saved: the host's time then, ms since 1970 (0: unknown)

  // [drives]: upper-case letter -> absolute host directory
  std::map<char, std::string> drives;
  // [environment], in file order; names compare without regard to case
  std::vector<std::pair<std::string, std::string>> environment;

  // [token]
  AdminGroup administrators = AdminGroup::Enabled;
  std::string threadToken = "none";  // none, present, or an error number
  std::vector<std::string> privilegesHeld = {"SeShutdownPrivilege", "SeBackupPrivilege",
                                             "SeRestorePrivilege"};
  std::set<std::string> privilegesEnabled;  // run-time state, upper-cased names

  std::vector<ServiceConfig> services;  // [service <name>] in file order
  std::vector<std::string> denyKeys;    // full key paths as written
  std::vector<std::string> denyPrinters;
  std::vector<FaultRule> faults;
  std::map<std::string, int> callCounts;  // upper-cased function -> calls so far

  std::unique_ptr<RegistryStore, RegistryStoreDeleter> registry;
  RegistryFiles registryFiles;

  // Process-level state of the simulated host.
  std::string currentDir;             // Windows path of the current directory, e.g. "C:\DIST"
  std::set<std::string> loadedFiles;  // host paths of files a running service has loaded
  bool virtualClock = false;
  uint64_t clockBaseMs = 0;    // the machine's clock when the run opened it
  uint64_t clockMs = 0;        // the machine's clock in milliseconds, virtual clock
  std::string transcriptPath;  // empty: no transcript
  std::string answersPath;     // empty: interactive
  std::string recordPath;      // empty: an interactive run records nothing
  int callsFd = -1;            // WINSIM_CALLS: every call that [faults] could fail goes here
  bool callsPaused = false;    // a service's own calls are not the setup's
  std::string statsPath;       // empty: no statistics of the run
};

// How a machine is opened: what the process environment would otherwise say.
struct OpenOptions {
  std::string imageDir;
  std::string hostCwd;  // empty: the process's working directory
  bool virtualClock = true;
  std::string transcriptPath;
  std::string answersPath;
  std::string recordPath;
  std::string callsPath;  // empty: calls are not recorded
  std::string statsPath;  // a file to which closing the machine appends counts of its work
};

// Opens the image; on failure returns false and describes the fault, leaving no machine open.
bool OpenMachine(const OpenOptions &options, ImageError *error);
// Closes the open machine (tests open many in one process): its registry's log is folded.
void CloseMachine();
bool MachineOpen();
Machine &M();  // the open machine; aborts when none is open

// The whole content of a host file; false when it cannot be opened. A directory opens, and reads
// as empty: a caller that wants a file tests for one first.
bool ReadHostFile(const std::string &hostPath, std::string *content);

// Durable saving: the new content is written to a new file and renamed over the old one.
bool WriteFileAtomically(const std::string &hostPath, const std::string &content);
bool SaveMachineIni();  // writes M().ini back
// Writes M().registry to system.reg in full (its log folded in). The registry calls log each
// change instead (winsim/registry_log.h); this serves those who change the store directly.
bool SaveRegistry();
// Updates [section] key = value in machine.ini and saves it.
bool SetMachineValue(const std::string &section, const std::string &key, const std::string &value);

// Injected faults: counts a call of `function` and answers the error it must fail with, or 0.
// The caller decides whether the error becomes the last-error value or the return value.
uint32_t Fault(const char *function);

// While alive, the calls made are a service's own, under its own account: the setup account's
// [deny] keys and injected faults do not reach them, the call counts of numbered faults stay as
// they were (a fault's "n-th call" is the setup's n-th), and they are not recorded.
// With callersRights the work is the system's on the caller's behalf: the [deny] keys hold.
class ServiceAccount {
 public:
  explicit ServiceAccount(bool callersRights = false);
  ~ServiceAccount();
  ServiceAccount(const ServiceAccount &) = delete;
  ServiceAccount &operator=(const ServiceAccount &) = delete;

 private:
  std::vector<FaultRule> faults_;
  std::vector<std::string> denyKeys_;
  std::map<std::string, int> counts_;
  bool paused_;
};

// The machine's clock in milliseconds, real or virtual. It is kept in the image and goes on,
// between runs, by the real time that has passed.
uint64_t NowMs();
void AdvanceClock(uint32_t ms);  // Sleep's work: really waits on the real clock

// The transcript: one event per line, appended and flushed at once.
void Transcript(const std::string &line);
std::string Quote(const std::string &text);  // "...", with \\ \" \n escaped

// Whether a person answers in the terminal (no answer file).
bool Interactive();

// The files of the harness that runs the machine (answer file, transcript, recording): their
// host paths are given absolute. Calls on them are never failed by [faults], which describe the
// machine, not the harness.
bool IsHarnessFile(const std::string &hostPath);
// The Windows path by which the program reaches a host file: through its drive when it lies in
// one, else as "\\?\unix\<host path>", as Wine names host files outside its drives.
std::string WindowsPathOfHostFile(const std::string &hostPath);

// Upper-case for comparisons without regard to case (ASCII and the Latin-1 letters of 1252).
std::string Upper(const std::string &text);
bool EqualNoCase(const std::string &a, const std::string &b);

// Windows paths on the image. Resolve maps a Windows path (absolute, drive-relative or relative
// to the current directory) to the host path, matching each existing component without regard
// to case; components that do not exist keep the case given. ".." never leaves a drive's root.
// Returns false with a Win32 error (ERROR_INVALID_DRIVE, ERROR_INVALID_NAME, ...) when the path
// cannot name anything on the image.
bool ResolvePath(const std::string &windowsPath, std::string *hostPath, uint32_t *error);
// The same for a path that FullWindowsPath has made full already.
bool ResolveFullPath(const std::string &fullPath, std::string *hostPath, uint32_t *error);
// For the *at() calls of a host path that ResolvePath gave: an open descriptor of its directory
// and the name in it when that directory was resolved last (it stays valid until a listing above
// it changes), else AT_FDCWD and the whole path. Saves the host walking the whole path again.
int HostDirectoryAt(const std::string &hostPath, const char **name);
// ResolvePath reads each host directory once and keeps its listing. Whatever creates, removes or
// renames a host file or directory while a machine is open tells it here; changes made behind
// the machine's back (by another program) are seen after ForgetHostListings().
void HostEntryCreated(const std::string &hostPath);  // and directories made above it
void HostEntryRemoved(const std::string &hostPath);
void HostEntryRenamed(const std::string &fromHost, const std::string &toHost);
void ForgetHostListings();
// The names of a host directory's entries from its listing, "." and ".." left out; with a name,
// only those that equal it without regard to case. False when the directory cannot be read.
bool HostDirectoryNames(const std::string &dir, const std::string &name,
                        std::vector<std::string> *names);
// unlink and rename of host paths that tell the listings; they answer as ::unlink and ::rename.
int UnlinkHost(const std::string &hostPath);
int RenameHost(const std::string &fromHost, const std::string &toHost);
// Full Windows path of a path, in canonical form (drive letter upper-case, no "." or "..").
bool FullWindowsPath(const std::string &windowsPath, std::string *fullPath, uint32_t *error);
// The Windows path that names a host path, when it lies inside a drive.
bool WindowsPathOf(const std::string &hostPath, std::string *windowsPath);

// Files that a running service has loaded cannot be deleted or overwritten, only renamed.
void SetFileLoaded(const std::string &hostPath, bool loaded);
bool IsFileLoaded(const std::string &hostPath);

// Copies a host file as CopyFileA does, keeping its date and read-only state; the copy appears
// whole or not at all. No checks of read-only or loaded targets. Answers 0 or a Win32 error.
uint32_t CopyHostFile(const std::string &fromHost, const std::string &toHost);

// Whether a service is running now (its state by the clock). The service control manager
// keeps the state; other areas (the spooler) ask here.
bool ServiceIsRunning(const std::string &name);

// Hooks run after a machine is opened (later areas derive run-time state from the image).
using OpenHook = void (*)();
void AddOpenHook(OpenHook hook);

}  // namespace winsim

#endif
