// Opening the machine image, reading machine.ini into the machine's facts, durable saving,
// injected faults, the clock and the transcript.
#include "winsim/machine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "setupkit/transcript_text.h"
#include "winsim/registry_log.h"
#include "winsim/registry_store.h"
#include "winsim/services.h"

namespace winsim {
namespace {

std::unique_ptr<Machine> g_machine;
std::vector<OpenHook> &Hooks() {
  static std::vector<OpenHook> hooks;
  return hooks;
}
std::chrono::steady_clock::time_point g_realStart = std::chrono::steady_clock::now();

bool IsDirectory(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string JoinHost(const std::string &dir, const std::string &name) {
  if (!name.empty() && name[0] == '/') return name;
  return dir + "/" + name;
}

bool ParseUnsigned64(const std::string &text, uint64_t *out) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *out = v;
  return true;
}

bool ParseUnsigned(const std::string &text, uint32_t *out) {
  uint64_t v = 0;
  if (!ParseUnsigned64(text, &v) || v > 0xFFFFFFFFull) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

// Milliseconds since 1970 on the host's wall clock.
uint64_t HostTimeMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

bool ParseYesNo(const std::string &text, bool *out) {
  std::string t = Upper(text);
  if (t == "YES") return *out = true, true;
  if (t == "NO") return *out = false, true;
  return false;
}

std::vector<std::string> Words(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream ss(text);
  std::string w;
  while (ss >> w) words.push_back(w);
  return words;
}

bool IsWindowsAbsolute(const std::string &p) {
  return p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
         p[2] == '\\';
}

// Reads machine.ini into the machine; every known key is checked, unknown ones are kept.
bool ReadMachineIni(Machine &m, const std::string &file, ImageError *error) {
  auto fail = [&](int line, const std::string &message) {
    error->file = file;
    error->line = line;
    error->message = message;
    return false;
  };
  std::string text;
  if (!ReadHostFile(JoinHost(m.dir, "machine.ini"), &text))
    return fail(0, "cannot be read: " + std::string(std::strerror(errno)));
  // A file with carriage returns alone would read as one long line: a file written wrongly,
  // told here rather than by a misleading failure later.
  int line = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
      return fail(line, "a line ends with a carriage return alone; lines end with a line feed");
    if (text[i] == '\n') ++line;
  }
  line = 0;
  std::string message;
  if (!m.ini.Parse(text, true, &line, &message)) return fail(line, message);
  // Without a single section the machine would run on defaults that nobody chose, and fail
  // later for want of a service or a drive.
  if (m.ini.Sections().empty())
    return fail(1, "holds no section: a machine is described by [system], [drives] and the rest");

  bool drivesGiven = false;
  for (const IniFile::Section &section : m.ini.Sections()) {
    std::string name = Upper(section.name);
    if (name == "SYSTEM") {
      for (const IniFile::Entry &e : section.entries) {
        std::string key = Upper(e.key);
        if (key == "VERSION") {
          uint32_t parts[3];
          std::vector<std::string> p;
          std::string cur;
          for (char c : e.value + ".") {
            if (c == '.')
              p.push_back(cur), cur.clear();
            else
              cur += c;
          }
          if (p.size() != 3 || !ParseUnsigned(p[0], &parts[0]) || !ParseUnsigned(p[1], &parts[1]) ||
              !ParseUnsigned(p[2], &parts[2]) || parts[0] > 255 || parts[1] > 255 ||
              parts[2] > 0x7FFF)
            return fail(e.line,
                        "version must be major.minor.build (major and minor up to 255, "
                        "build up to 32767): '" +
                            e.value + "'");
          m.major = parts[0], m.minor = parts[1], m.build = parts[2];
        } else if (key == "PLATFORM") {
          std::string v = Upper(e.value);
          if (v == "NT")
            m.windows95 = false;
          else if (v == "WINDOWS")
            m.windows95 = true;
          else
            return fail(e.line, "platform must be nt or windows: '" + e.value + "'");
        } else if (key == "PROCESSOR") {
          m.processor = e.value;
        } else if (key == "WINDOWS" || key == "SYSTEM" || key == "TEMP") {
          if (!IsWindowsAbsolute(e.value))
            return fail(e.line, e.key + " must be a full Windows path such as C:\\WINNT35: '" +
                                    e.value + "'");
          std::string v = e.value;
          while (v.size() > 3 && v.back() == '\\') v.pop_back();
          (key == "WINDOWS" ? m.windowsDir : key == "SYSTEM" ? m.systemDir : m.tempDir) = v;
        } else if (key == "CODEPAGE") {
          uint32_t cp;
          if (!ParseUnsigned(e.value, &cp) || cp == 0)
            return fail(e.line, "codepage must be a number such as 1252 or 932: '" + e.value + "'");
          m.codepage = cp;
        } else if (key == "RESTART") {
          if (!ParseYesNo(e.value, &m.restart))
            return fail(e.line, "restart must be yes or no: '" + e.value + "'");
        } else if (key == "CLOCK" || key == "CLOCK_SAVED") {
          if (!ParseUnsigned64(e.value, key == "CLOCK" ? &m.savedClockMs : &m.savedHostTimeMs))
            return fail(e.line, e.key + " must be a number of milliseconds: '" + e.value + "'");
        }
      }
    } else if (name == "DRIVES") {
      drivesGiven = true;
      for (const IniFile::Entry &e : section.entries) {
        if (e.key.size() != 1 || !std::isalpha(static_cast<unsigned char>(e.key[0])))
          return fail(e.line, "a drive is one letter: '" + e.key + "'");
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(e.key[0])));
        if (m.drives.count(letter))
          return fail(e.line, std::string("drive ") + letter + " is given twice");
        std::string host = JoinHost(m.dir, e.value);
        while (host.size() > 1 && host.back() == '/') host.pop_back();
        if (e.value.empty() || !IsDirectory(host))
          return fail(e.line, std::string("drive ") + letter + ": directory '" + e.value +
                                  "' does not exist");
        char resolved[4096];
        m.drives[letter] = realpath(host.c_str(), resolved) ? resolved : host;
      }
    } else if (name == "ENVIRONMENT") {
      for (const IniFile::Entry &e : section.entries) m.environment.emplace_back(e.key, e.value);
    } else if (name == "TOKEN") {
      for (const IniFile::Entry &e : section.entries) {
        std::string key = Upper(e.key), v = Upper(e.value);
        if (key == "ADMINISTRATORS") {
          if (v == "ENABLED")
            m.administrators = AdminGroup::Enabled;
          else if (v == "DISABLED")
            m.administrators = AdminGroup::Disabled;
          else if (v == "DENY-ONLY")
            m.administrators = AdminGroup::DenyOnly;
          else if (v == "ABSENT")
            m.administrators = AdminGroup::Absent;
          else
            return fail(e.line, "administrators must be enabled, disabled, deny-only or absent: '" +
                                    e.value + "'");
        } else if (key == "THREAD_TOKEN") {
          uint32_t err;
          if (v != "NONE" && v != "PRESENT" && !ParseUnsigned(e.value, &err))
            return fail(e.line,
                        "thread_token must be none, present or an error number: '" + e.value + "'");
          m.threadToken = v == "NONE" ? "none" : v == "PRESENT" ? "present" : e.value;
        } else if (key == "PRIVILEGES") {
          m.privilegesHeld = Words(e.value);
        }
      }
    } else if (name.rfind("SERVICE ", 0) == 0 || name == "SERVICE") {
      ServiceConfig svc;
      size_t sp = section.name.find(' ');
      svc.name = sp == std::string::npos ? "" : section.name.substr(sp + 1);
      while (!svc.name.empty() && svc.name[0] == ' ') svc.name.erase(0, 1);
      if (svc.name.empty()) return fail(section.line, "service section without a name");
      for (const ServiceConfig &other : m.services)
        if (EqualNoCase(other.name, svc.name))
          return fail(section.line, "service '" + svc.name + "' is given twice");
      for (const IniFile::Entry &e : section.entries) {
        std::string key = Upper(e.key);
        bool ok = true;
        if (key == "STATE") {
          std::string v = Upper(e.value);
          ok = v == "STOPPED" || v == "START-PENDING" || v == "RUNNING" || v == "STOP-PENDING" ||
               v == "PAUSED";
          if (!ok)
            return fail(e.line,
                        "state must be stopped, start-pending, running, stop-pending or "
                        "paused: '" +
                            e.value + "'");
          std::string lower = e.value;
          for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
          svc.state = lower;
        } else if (key == "DEPENDS") {
          svc.depends = Words(e.value);
        } else if (key == "STOP_MS") {
          ok = ParseUnsigned(e.value, &svc.stopMs);
        } else if (key == "WAIT_HINT_MS") {
          ok = ParseUnsigned(e.value, &svc.waitHintMs);
        } else if (key == "HANG") {
          ok = ParseYesNo(e.value, &svc.hang);
        } else if (key == "STOP_ERROR") {
          ok = ParseUnsigned(e.value, &svc.stopError);
        } else if (key == "START_ERROR") {
          ok = ParseUnsigned(e.value, &svc.startError);
        } else if (key == "STOP_BEGAN") {
          ok = ParseUnsigned64(e.value, &svc.stopBeganMs);
          svc.stopBeganKnown = ok;
        }
        if (!ok) return fail(e.line, e.key + " has a value that is not valid: '" + e.value + "'");
      }
      m.services.push_back(svc);
    } else if (name == "DENY") {
      for (const IniFile::Entry &e : section.entries) {
        std::string key = Upper(e.key);
        if (key == "KEY")
          m.denyKeys.push_back(e.value);
        else if (key == "PRINTER")
          m.denyPrinters.push_back(e.value);
        else
          return fail(e.line, "[deny] takes key = or printer =, not '" + e.key + "'");
      }
    } else if (name == "FAULTS") {
      for (const IniFile::Entry &e : section.entries) {
        FaultRule rule;
        std::string fn = e.key;
        size_t hash = fn.find('#');
        if (hash != std::string::npos) {
          uint32_t n;
          if (!ParseUnsigned(fn.substr(hash + 1), &n) || n == 0)
            return fail(e.line, "a call number after # counts from 1: '" + e.key + "'");
          rule.call = static_cast<int>(n);
          fn = fn.substr(0, hash);
        }
        if (fn.empty()) return fail(e.line, "a fault names a function");
        rule.function = Upper(fn);
        rule.kill = Upper(e.value) == "KILL";
        if (!rule.kill && (!ParseUnsigned(e.value, &rule.error) || rule.error == 0))
          return fail(
              e.line,
              "a fault's value is the nonzero error number the call fails with, or kill: '" +
                  e.value + "'");
        m.faults.push_back(rule);
      }
    }
  }
  for (const ServiceConfig &svc : m.services)
    for (const std::string &dep : svc.depends) {
      bool found = false;
      for (const ServiceConfig &other : m.services) found = found || EqualNoCase(other.name, dep);
      if (!found) {
        for (const IniFile::Section &s : m.ini.Sections())
          if (EqualNoCase(s.name, "service " + svc.name))
            return fail(s.line, "service '" + svc.name + "' depends on '" + dep +
                                    "', which has no [service " + dep + "] section");
      }
    }
  if (!drivesGiven) {
    std::string host = JoinHost(m.dir, "drive_c");
    if (!IsDirectory(host)) return fail(0, "no [drives] section and no drive_c directory");
    char resolved[4096];
    m.drives['C'] = realpath(host.c_str(), resolved) ? resolved : host;
  }
  for (const std::string *dir : {&m.windowsDir, &m.systemDir, &m.tempDir}) {
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>((*dir)[0])));
    if (!m.drives.count(letter))
      return fail(0, "directory " + *dir + " lies on drive " + letter + ":, which is not mapped");
  }
  return true;
}

}  // namespace

std::string ImageError::Text() const {
  if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
  return file + ": " + message;
}

// The harness names its files relative to the working directory it started in, which the
// program may change; they are kept absolute.
static std::string AbsoluteHostPath(const std::string &path) {
  if (path.empty() || path[0] == '/') return path;
  char buf[4096];
  return getcwd(buf, sizeof buf) ? std::string(buf) + "/" + path : path;
}

bool OpenMachine(const OpenOptions &options, ImageError *error) {
  g_machine.reset();
  ImageError scratch;
  if (!error) error = &scratch;
  auto m = std::make_unique<Machine>();
  char resolved[4096];
  if (options.imageDir.empty() || !IsDirectory(options.imageDir) ||
      !realpath(options.imageDir.c_str(), resolved)) {
    error->file = options.imageDir.empty() ? "WINSIM_MACHINE" : options.imageDir;
    error->line = 0;
    error->message = options.imageDir.empty() ? "no machine image given"
                                              : "machine image directory does not exist";
    return false;
  }
  m->dir = resolved;
  if (!ReadMachineIni(*m, m->dir + "/machine.ini", error)) return false;

  m->registry = LoadImageRegistry(m->dir, &m->registryFiles, error);
  if (!m->registry) return false;
  // A log that a killed process left is folded in at once, so that system.reg is whole again.
  if (m->registryFiles.logLeft) FoldRegistryLog(*m);

  m->virtualClock = options.virtualClock;
  // The machine's clock goes on from where the last run left it, by the real time since then:
  // what a service began in one run has had that time to finish by the next.
  uint64_t now = HostTimeMs();
  m->clockBaseMs =
      m->savedClockMs +
      (m->savedHostTimeMs != 0 && now > m->savedHostTimeMs ? now - m->savedHostTimeMs : 0);
  m->clockMs = m->clockBaseMs;
  m->transcriptPath = AbsoluteHostPath(options.transcriptPath);
  m->answersPath = AbsoluteHostPath(options.answersPath);
  m->recordPath = AbsoluteHostPath(options.recordPath);
  if (!options.callsPath.empty()) {
    m->callsFd = ::open(options.callsPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (m->callsFd < 0) {
      error->file = options.callsPath;
      error->line = 0;
      error->message = "the calls file cannot be written: " + std::string(std::strerror(errno));
      return false;
    }
  }
  m->statsPath = AbsoluteHostPath(options.statsPath);
  g_machine = std::move(m);

  // The current directory: inside a drive it is seen by that drive's letter, elsewhere as the
  // root of drive A: (the floppy the setup is started from). An image that maps A: itself keeps
  // it; the directory is then the first letter the image leaves free.
  std::string cwd = options.hostCwd;
  if (cwd.empty()) {
    char buf[4096];
    cwd = getcwd(buf, sizeof buf) ? buf : "/";
  }
  if (realpath(cwd.c_str(), resolved)) cwd = resolved;
  std::string win;
  if (WindowsPathOf(cwd, &win)) {
    g_machine->currentDir = win;
  } else {
    char letter = 'A';
    while (letter < 'Z' && g_machine->drives.count(letter)) ++letter;
    g_machine->drives[letter] = cwd;
    g_machine->currentDir = std::string(1, letter) + ":\\";
  }
  g_realStart = std::chrono::steady_clock::now();
  for (OpenHook hook : Hooks()) hook();
  ServicesOnOpen();
  return true;
}

Machine::~Machine() {
  CloseRegistryFiles(*this);
  if (callsFd >= 0) ::close(callsFd);
}

void CloseMachine() {
  g_machine.reset();
}
bool MachineOpen() {
  return g_machine != nullptr;
}

Machine &M() {
  if (!g_machine) {
    std::fprintf(stderr, "winsim: no machine image is open\n");
    std::abort();
  }
  return *g_machine;
}

void AddOpenHook(OpenHook hook) {
  Hooks().push_back(hook);
}

bool WriteFileAtomically(const std::string &hostPath, const std::string &content) {
  std::string tmp = hostPath + ".new";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const char *p = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::close(fd) != 0 || std::rename(tmp.c_str(), hostPath.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  HostEntryCreated(hostPath);
  return true;
}

bool SaveMachineIni() {
  // The clock goes with every save, so that even a run that is killed leaves it.
  Machine &m = M();
  m.ini.Set("system", "clock", std::to_string(NowMs()));
  m.ini.Set("system", "clock_saved", std::to_string(HostTimeMs()));
  return WriteFileAtomically(m.dir + "/machine.ini", m.ini.Text());
}

bool SaveRegistry() {
  return FoldRegistryLog(M());
}

bool SetMachineValue(const std::string &section, const std::string &key, const std::string &value) {
  M().ini.Set(section, key, value);
  return SaveMachineIni();
}

uint32_t Fault(const char *function) {
  if (!g_machine) return 0;
  Machine &m = *g_machine;
  const bool record = m.callsFd >= 0 && !m.callsPaused;
  if (m.faults.empty() && !record) return 0;
  std::string fn = Upper(function);
  int call = ++m.callCounts[fn];
  if (record) {
    // Written at once, so that a run that dies leaves every call it made.
    std::string line = std::string(function) + " " + std::to_string(call) + "\n";
    ssize_t n = ::write(m.callsFd, line.data(), line.size());
    (void)n;
  }
  for (const FaultRule &rule : m.faults) {
    if (rule.function != fn || (rule.call != 0 && rule.call != call)) continue;
    if (rule.kill) ::raise(SIGKILL);
    return rule.error;
  }
  return 0;
}

ServiceAccount::ServiceAccount(bool callersRights)
    : counts_(M().callCounts), paused_(M().callsPaused) {
  Machine &m = M();
  faults_.swap(m.faults);
  if (callersRights) denyKeys_ = m.denyKeys;
  denyKeys_.swap(m.denyKeys);
  m.callsPaused = true;
}

ServiceAccount::~ServiceAccount() {
  Machine &m = M();
  faults_.swap(m.faults);
  denyKeys_.swap(m.denyKeys);
  m.callCounts = counts_;
  m.callsPaused = paused_;
}

uint64_t NowMs() {
  if (g_machine && g_machine->virtualClock) return g_machine->clockMs;
  return (g_machine ? g_machine->clockBaseMs : 0) +
         static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - g_realStart)
                                   .count());
}

void AdvanceClock(uint32_t ms) {
  if (g_machine && g_machine->virtualClock)
    g_machine->clockMs += ms;
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  // Services move on while the program waits.
  ServicesProgress();
}

void Transcript(const std::string &line) {
  if (!g_machine || g_machine->transcriptPath.empty()) return;
  // Opened per event so that a killed setup leaves every line it wrote.
  int fd = ::open(g_machine->transcriptPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  std::string text = line + "\n";
  ssize_t n = ::write(fd, text.data(), text.size());
  (void)n;
  ::close(fd);
}

std::string Quote(const std::string &text) {
  return setupkit::QuoteText(text);
}

bool IsHarnessFile(const std::string &hostPath) {
  if (!g_machine || hostPath.empty()) return false;
  return hostPath == g_machine->transcriptPath || hostPath == g_machine->answersPath ||
         hostPath == g_machine->recordPath;
}

std::string WindowsPathOfHostFile(const std::string &hostPath) {
  std::string windowsPath;
  if (WindowsPathOf(hostPath, &windowsPath)) return windowsPath;
  windowsPath = "\\\\?\\unix";
  for (char c : hostPath) windowsPath += c == '/' ? '\\' : c;
  return windowsPath;
}

bool Interactive() {
  return !g_machine || g_machine->answersPath.empty();
}

std::string Upper(const std::string &text) {
  std::string out = text;
  for (char &c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z')
      c = static_cast<char>(u - 32);
    else if (u >= 0xE0 && u <= 0xFE && u != 0xF7)
      c = static_cast<char>(u - 32);
  }
  return out;
}

bool EqualNoCase(const std::string &a, const std::string &b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

void SetFileLoaded(const std::string &hostPath, bool loaded) {
  if (loaded)
    M().loadedFiles.insert(hostPath);
  else
    M().loadedFiles.erase(hostPath);
}

bool IsFileLoaded(const std::string &hostPath) {
  return M().loadedFiles.count(hostPath) != 0;
}

bool ReadHostFile(const std::string &hostPath, std::string *content) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *content = ss.str();
  return true;
}

}  // namespace winsim
