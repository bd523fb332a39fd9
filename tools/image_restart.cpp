// Applying a restart to a machine image: the moves kept for the restart, the restart flag and
// the services, as tools/image_restart.h describes.
#include "tools/image_restart.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>

#include "tools/image_open.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace image_tool {
namespace {

const char kSessionManager[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
const unsigned kRegMultiSz = 7;

// "\??\C:\x" -> "C:\x"; the object-manager prefix NT writes before a DOS path.
std::string WithoutObjectPrefix(const std::string &name) {
  if (name.compare(0, 4, "\\??\\") == 0) return name.substr(4);
  return name;
}

bool IsDosPath(const std::string &p) {
  return p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
         p[2] == '\\';
}

std::string Describe(const PendingRename &op) {
  if (op.to.empty()) return "delete " + op.from;
  return "rename " + op.from + " to " + op.to + (op.replace ? " (may replace)" : "");
}

// A name of an operation on the image: its canonical Windows path and host path.
struct Place {
  std::string full, host;
  bool exists = false;
  struct stat st = {};
};

bool Locate(const std::string &name, Place *place, std::string *why) {
  uint32_t error = 0;
  if (!IsDosPath(name) || !winsim::FullWindowsPath(name, &place->full, &error) ||
      !winsim::ResolvePath(place->full, &place->host, &error)) {
    *why = name + " is not a path on a drive of this machine";
    return false;
  }
  place->exists = ::lstat(place->host.c_str(), &place->st) == 0;
  return true;
}

// How a path is reported: by the names the drive holds, once it exists.
std::string Shown(const Place &place) {
  std::string stored;
  return place.exists && winsim::WindowsPathOf(place.host, &stored) ? stored : place.full;
}

bool ReadOnly(const struct stat &st) {
  return (st.st_mode & S_IWUSR) == 0;
}

std::string ParentHost(const std::string &host) {
  return host.substr(0, host.rfind('/'));
}

bool IsDirectory(const std::string &host) {
  struct stat st;
  return ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Carries out one operation; answers what was done, or false with why it was skipped.
bool Perform(const PendingRename &op, std::string *done, std::string *why) {
  Place src;
  if (!Locate(op.from, &src, why)) return false;
  if (!src.exists) {
    *why = src.full + " does not exist";
    return false;
  }
  std::string from = Shown(src);
  bool srcIsDir = S_ISDIR(src.st.st_mode);
  if (src.full.size() == 3) {
    *why = from + " is the root of a drive";
    return false;
  }

  if (op.to.empty()) {
    if (srcIsDir) {
      if (::rmdir(src.host.c_str()) != 0) {
        *why = from + (errno == ENOTEMPTY || errno == EEXIST
                           ? " is a directory that is not empty"
                           : ": " + std::string(std::strerror(errno)));
        return false;
      }
      winsim::HostEntryRemoved(src.host);
    } else {
      if (ReadOnly(src.st)) {
        *why = from + " is read-only";
        return false;
      }
      if (winsim::UnlinkHost(src.host) != 0) {
        *why = from + ": " + std::strerror(errno);
        return false;
      }
    }
    *done = "deleted " + from;
    return true;
  }

  Place dst;
  if (!Locate(op.to, &dst, why)) return false;
  if (std::toupper(static_cast<unsigned char>(src.full[0])) !=
      std::toupper(static_cast<unsigned char>(dst.full[0]))) {
    // The session manager renames within a volume; it does not copy.
    *why = dst.full + " is on another drive than " + src.full;
    return false;
  }
  if (dst.full.size() == 3) {
    *why = dst.full + " is the root of a drive";
    return false;
  }
  if (!IsDirectory(ParentHost(dst.host))) {
    *why = "the directory of " + dst.full + " does not exist";
    return false;
  }
  bool sameFile = dst.exists && dst.st.st_dev == src.st.st_dev && dst.st.st_ino == src.st.st_ino;
  bool replacing = dst.exists && !sameFile;
  if (replacing) {
    if (!op.replace) {
      *why = Shown(dst) + " exists and may not be replaced";
      return false;
    }
    if (srcIsDir || S_ISDIR(dst.st.st_mode)) {
      *why = dst.full + " exists and a directory neither replaces nor is replaced";
      return false;
    }
    if (ReadOnly(dst.st)) {
      *why = dst.full + " is read-only";
      return false;
    }
  }
  // A new name takes the case given; a replaced file keeps its stored name, as MoveFileEx does.
  std::string target =
      replacing ? dst.host : ParentHost(dst.host) + "/" + dst.full.substr(dst.full.rfind('\\') + 1);
  if (srcIsDir && (target + "/").compare(0, src.host.size() + 1, src.host + "/") == 0) {
    *why = dst.full + " lies inside " + from;
    return false;
  }
  if (winsim::RenameHost(src.host, target) != 0) {
    *why = from + ": " + std::strerror(errno);
    return false;
  }
  std::string to;
  if (!winsim::WindowsPathOf(target, &to)) to = dst.full;
  *done = "renamed " + from + " to " + to + (replacing ? ", replacing the file there" : "");
  return true;
}

winsim::ServiceConfig *FindService(const std::string &name) {
  for (winsim::ServiceConfig &svc : winsim::M().services)
    if (winsim::EqualNoCase(svc.name, name)) return &svc;
  return nullptr;
}

// The exact name of the machine.ini section that holds a service.
std::string SectionOf(const winsim::ServiceConfig &svc) {
  for (const winsim::IniFile::Section &section : winsim::M().ini.Sections()) {
    size_t sp = section.name.find(' ');
    if (sp == std::string::npos || !winsim::EqualNoCase(section.name.substr(0, sp), "service"))
      continue;
    std::string rest = section.name.substr(sp + 1);
    while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    if (winsim::EqualNoCase(rest, svc.name)) return section.name;
  }
  return "service " + svc.name;
}

// How each service comes out of the boot: "running", or why it stays stopped ("" when it was
// never meant to start).
struct BootPlan {
  std::map<std::string, bool> wanted;      // upper-cased name -> the boot starts it
  std::map<std::string, std::string> why;  // upper-cased name -> reason it did not start
  std::map<std::string, int> result;       // 0 not yet, 1 running, 2 stopped, 3 in progress
};

void Want(BootPlan &plan, const winsim::ServiceConfig &svc) {
  bool &wanted = plan.wanted[winsim::Upper(svc.name)];
  if (wanted) return;
  wanted = true;
  for (const std::string &dep : svc.depends)
    if (const winsim::ServiceConfig *d = FindService(dep)) Want(plan, *d);
}

// Starts a wanted service after its dependencies; answers whether it runs.
bool Start(BootPlan &plan, const winsim::ServiceConfig &svc) {
  std::string key = winsim::Upper(svc.name);
  int &state = plan.result[key];
  if (state == 1) return true;
  if (state == 2) return false;
  if (state == 3) {  // a service that depends on itself through others never starts
    plan.why[key] = "its dependencies form a loop";
    return false;
  }
  state = 3;
  bool ok = true;
  for (const std::string &dep : svc.depends) {
    const winsim::ServiceConfig *d = FindService(dep);
    if (d && !Start(plan, *d)) {
      if (plan.why[key].empty())
        plan.why[key] = "it depends on " + d->name + ", which did not start";
      ok = false;
    }
  }
  if (ok && svc.startError) {
    plan.why[key] = "its start fails with error " + std::to_string(svc.startError);
    ok = false;
  }
  plan.result[key] = ok ? 1 : 2;
  return ok;
}

// Services as the boot leaves them; changed states are written to machine.ini.
bool BootServices(std::vector<std::string> *log) {
  BootPlan plan;
  for (const winsim::ServiceConfig &svc : winsim::M().services)
    if (winsim::EqualNoCase(svc.name, "Spooler") || svc.state != "stopped") Want(plan, svc);
  bool saved = true;
  for (winsim::ServiceConfig &svc : winsim::M().services) {
    std::string key = winsim::Upper(svc.name);
    bool runs = plan.wanted[key] && Start(plan, svc);
    std::string now = runs ? "running" : "stopped";
    std::string line = "service " + svc.name + ": " + svc.state;
    line += svc.state == now ? " before and after" : " before, " + now + " after";
    if (!plan.why[key].empty()) line += " (" + plan.why[key] + ")";
    log->push_back(line);
    if (svc.state != now) {
      svc.state = now;
      saved = winsim::SetMachineValue(SectionOf(svc), "state", now) && saved;
    }
  }
  return saved;
}

}  // namespace

std::vector<PendingRename> ParsePendingRenames(const std::string &data, std::string *note) {
  // The list holds empty strings (a deletion's target), so it is split at every NUL rather
  // than ended at the first empty string as other REG_MULTI_SZ lists are. It is read as NT
  // reads it: pairs of names until a pair that starts with an empty name.
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t nul = data.find('\0', pos);
    if (nul == std::string::npos) nul = data.size();
    names.push_back(data.substr(pos, nul - pos));
    pos = nul + 1;
  }
  std::vector<PendingRename> ops;
  note->clear();
  size_t i = 0;
  for (; i < names.size() && !names[i].empty(); i += 2) {
    if (i + 1 >= names.size()) {
      *note = "the last name, " + names[i] + ", has no target and was not read";
      return ops;
    }
    PendingRename op;
    op.from = WithoutObjectPrefix(names[i]);
    std::string to = names[i + 1];
    if (!to.empty() && to[0] == '!') {
      op.replace = true;
      to.erase(0, 1);
    }
    op.to = WithoutObjectPrefix(to);
    ops.push_back(op);
  }
  size_t unread = 0;
  for (; i < names.size(); ++i) unread += names[i].empty() ? 0 : 1;
  if (unread)
    *note = "the list ends at an empty name; " + std::to_string(unread) +
            " name(s) after it were not read";
  return ops;
}

std::vector<PendingRename> PendingRenamesOfOpenMachine(bool *present, std::string *note) {
  uint32_t type = 0;
  std::string data;
  note->clear();
  *present = winsim::GetRegistryValue(*winsim::M().registry, kSessionManager, kPendingRenames,
                                      &type, &data);
  if (!*present || type != kRegMultiSz) return {};
  return ParsePendingRenames(data, note);
}

RestartOutcome ApplyRestart(const std::string &imageDir, std::vector<std::string> *log,
                            std::string *error) {
  winsim::OpenOptions options = ImageOpenOptions(imageDir);
  winsim::ImageError imageError;
  bool opened = winsim::OpenMachine(options, &imageError);
  if (opened) {
    // A current directory outside every drive is seen as A:, which would hide a drive A: that
    // the image maps: then open it again from inside that drive.
    const winsim::IniFile::Section *drives = winsim::M().ini.FindSection("drives");
    for (size_t i = 0; drives && i < drives->entries.size(); ++i) {
      const winsim::IniFile::Entry &e = drives->entries[i];
      if (!winsim::EqualNoCase(e.key, "A")) continue;
      options.hostCwd = !e.value.empty() && e.value[0] == '/' ? e.value : imageDir + "/" + e.value;
      opened = winsim::OpenMachine(options, &imageError);
      break;
    }
  }
  if (!opened) {
    *error = imageError.Text();
    return RestartOutcome::BadImage;
  }
  winsim::Machine &m = winsim::M();

  // A machine does not restart under a running setup: hold the setup's lock while working.
  int lockFd = ::open((m.dir + "/setup.lock").c_str(), O_RDWR | O_CLOEXEC);
  if (lockFd >= 0 && ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    ::close(lockFd);
    winsim::CloseMachine();
    *error = imageDir + ": a setup is running on this machine (setup.lock is held)";
    return RestartOutcome::Failed;
  }
  auto finish = [&](RestartOutcome outcome) {
    if (lockFd >= 0) ::close(lockFd);
    winsim::CloseMachine();
    return outcome;
  };

  log->push_back(std::string("restart requested before: ") + (m.restart ? "yes" : "no"));

  bool present = false;
  std::string note;
  uint32_t type = 0;
  std::string data;
  present = winsim::GetRegistryValue(*m.registry, kSessionManager, kPendingRenames, &type, &data);
  if (!present) {
    log->push_back("no file operations were pending");
  } else {
    std::vector<PendingRename> ops;
    if (type == kRegMultiSz)
      ops = ParsePendingRenames(data, &note);
    else
      log->push_back(std::string(kPendingRenames) + " is not REG_MULTI_SZ (type " +
                     std::to_string(type) + "); nothing in it was done");
    for (const PendingRename &op : ops) {
      std::string done, why;
      if (Perform(op, &done, &why))
        log->push_back(done);
      else
        log->push_back("skipped " + Describe(op) + ": " + why);
    }
    if (!note.empty()) log->push_back("in " + std::string(kPendingRenames) + ": " + note);
    winsim::RegKey *key = winsim::FindRegistryKey(*m.registry, kSessionManager);
    if (key && winsim::DeleteValue(*key, kPendingRenames)) winsim::TouchKey(*key);
    if (!winsim::SaveRegistry()) {
      *error = m.dir + "/system.reg: cannot be written";
      return finish(RestartOutcome::Failed);
    }
    log->push_back(std::string("removed ") + kPendingRenames);
  }

  const std::string *restart = m.ini.Find("system", "restart");
  if (m.restart || (restart && !winsim::EqualNoCase(*restart, "no"))) {
    m.restart = false;
    if (!winsim::SetMachineValue("system", "restart", "no")) {
      *error = m.dir + "/machine.ini: cannot be written";
      return finish(RestartOutcome::Failed);
    }
    log->push_back("restart done: restart = no");
  }

  if (!BootServices(log)) {
    *error = m.dir + "/machine.ini: cannot be written";
    return finish(RestartOutcome::Failed);
  }
  return finish(RestartOutcome::Done);
}

}  // namespace image_tool
