// Windows paths on the machine image: drive letters mapped to host directories, look-up without
// regard to case, "." and ".." folded without ever leaving a drive's root.
#include <dirent.h>
#include <direct.h>
#include <windows.h>

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "winsim/machine.h"

namespace winsim {
namespace {

bool BadNameChar(unsigned char c) {
  return c < 32 || std::strchr("<>:\"|?*", c) != nullptr;
}

// The entries of a host directory by their upper-cased names, each with the names that match
// it, in the order the directory gave them.
using Listing = std::unordered_map<std::string, std::vector<std::string>>;

// Directories read once per machine, then kept right by the machine's own changes, so that a
// look-up costs the same however many files a directory holds. Never destroyed: the machine's
// end, which may come with the process's, still tells it of the files it writes.
std::unordered_map<std::string, Listing> &g_listings =
    *new std::unordered_map<std::string, Listing>;

[[maybe_unused]] const bool g_hooked = (AddOpenHook(&ForgetHostListings), true);

const Listing *ListingOf(const std::string &dir) {
  auto it = g_listings.find(dir);
  if (it != g_listings.end()) return &it->second;
  DIR *d = opendir(dir.c_str());
  if (!d) return nullptr;
  Listing listing;
  while (dirent *e = readdir(d)) listing[Upper(e->d_name)].push_back(e->d_name);
  closedir(d);
  return &g_listings.emplace(dir, std::move(listing)).first->second;
}

// The name of an existing entry of `dir` that equals `name` without regard to case; the exact
// spelling when the directory holds it.
bool FindEntry(const std::string &dir, const std::string &name, std::string *actual) {
  const Listing *listing = ListingOf(dir);
  if (!listing) return false;
  auto it = listing->find(Upper(name));
  if (it == listing->end()) return false;
  *actual = it->second.front();
  for (const std::string &n : it->second)
    if (n == name) *actual = n;
  return true;
}

}  // namespace

bool HostDirectoryNames(const std::string &dir, const std::string &name,
                        std::vector<std::string> *names) {
  names->clear();
  const Listing *listing = ListingOf(dir);
  if (!listing) return false;
  auto add = [&](const std::vector<std::string> &entries) {
    for (const std::string &n : entries)
      if (n != "." && n != "..") names->push_back(n);
  };
  if (name.empty()) {
    for (const auto &entry : *listing) add(entry.second);
  } else {
    auto it = listing->find(Upper(name));
    if (it != listing->end()) add(it->second);
  }
  return true;
}

namespace {

void SplitHost(const std::string &hostPath, std::string *dir, std::string *name) {
  size_t slash = hostPath.rfind('/');
  *dir = slash == 0 ? "/" : hostPath.substr(0, slash == std::string::npos ? 0 : slash);
  *name = hostPath.substr(slash == std::string::npos ? 0 : slash + 1);
}

const char kHostPrefix[] = "\\\\?\\UNIX\\";  // \\?\unix\<host path>, as Wine names host files

bool IsHostPath(const std::string &path) {
  const size_t n = sizeof kHostPrefix - 1;
  return path.size() > n && Upper(path.substr(0, n)) == kHostPrefix;
}

}  // namespace

bool FullWindowsPath(const std::string &path, std::string *fullPath, uint32_t *error) {
  uint32_t scratch;
  if (!error) error = &scratch;
  if (path.empty()) return *error = ERROR_PATH_NOT_FOUND, false;
  const Machine &m = M();
  std::string p = path;
  for (char &c : p)
    if (c == '/') c = '\\';
  if (IsHostPath(p)) {
    // A host file outside the drives: taken as named, no folding of "." or "..".
    if (p.size() >= MAX_PATH) return *error = ERROR_FILENAME_EXCED_RANGE, false;
    *fullPath = p;
    return true;
  }
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return *error = ERROR_INVALID_NAME, false;

  char drive;
  std::string rest;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\') {
      // Drive-relative: the current directory when it is on that drive, else its root.
      std::string base = (m.currentDir.size() >= 2 && std::toupper(m.currentDir[0]) == drive)
                             ? m.currentDir.substr(2)
                             : "\\";
      rest = base + "\\" + rest;
    }
  } else {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(m.currentDir[0])));
    rest = p[0] == '\\' ? p : m.currentDir.substr(2) + "\\" + p;
  }

  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t next = rest.find('\\', pos);
    if (next == std::string::npos) next = rest.size();
    std::string part = rest.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // at the root, ".." stays at the root
      continue;
    }
    // Windows drops trailing dots and blanks of a name.
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty()) continue;
    for (char c : part)
      if (BadNameChar(static_cast<unsigned char>(c))) return *error = ERROR_INVALID_NAME, false;
    parts.push_back(part);
  }
  std::string out(1, drive);
  out += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  if (out.size() >= MAX_PATH) return *error = ERROR_FILENAME_EXCED_RANGE, false;
  *fullPath = out;
  return true;
}

void HostEntryCreated(const std::string &hostPath) {
  // Directories made along the way are entries of their parents too: up to the first one a
  // listing knows already.
  std::string path = hostPath;
  while (path.size() > 1) {
    std::string dir, name;
    SplitHost(path, &dir, &name);
    auto it = g_listings.find(dir);
    if (it != g_listings.end()) {
      std::vector<std::string> &names = it->second[Upper(name)];
      for (const std::string &n : names)
        if (n == name) return;
      names.push_back(name);
    }
    path = dir;
  }
}

void HostEntryRemoved(const std::string &hostPath) {
  std::string dir, name;
  SplitHost(hostPath, &dir, &name);
  auto it = g_listings.find(dir);
  if (it != g_listings.end()) {
    auto entry = it->second.find(Upper(name));
    if (entry != it->second.end()) {
      std::vector<std::string> &names = entry->second;
      for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) names.erase(names.begin() + static_cast<long>(i));
      if (names.empty()) it->second.erase(entry);
    }
  }
  // A directory goes with the listings of everything below it.
  if (g_listings.erase(hostPath)) {
    std::string prefix = hostPath + "/";
    for (auto l = g_listings.begin(); l != g_listings.end();)
      l = l->first.compare(0, prefix.size(), prefix) == 0 ? g_listings.erase(l) : std::next(l);
  }
}

void HostEntryRenamed(const std::string &fromHost, const std::string &toHost) {
  HostEntryRemoved(fromHost);
  HostEntryCreated(toHost);
}

void ForgetHostListings() {
  g_listings.clear();
}

int UnlinkHost(const std::string &hostPath) {
  int rc = ::unlink(hostPath.c_str());
  if (rc == 0) HostEntryRemoved(hostPath);
  return rc;
}

int RenameHost(const std::string &fromHost, const std::string &toHost) {
  int rc = std::rename(fromHost.c_str(), toHost.c_str());
  if (rc == 0) HostEntryRenamed(fromHost, toHost);
  return rc;
}

bool ResolvePath(const std::string &windowsPath, std::string *hostPath, uint32_t *error) {
  uint32_t scratch;
  if (!error) error = &scratch;
  std::string full;
  if (!FullWindowsPath(windowsPath, &full, error)) return false;
  if (IsHostPath(full)) {
    std::string host = full.substr(sizeof kHostPrefix - 2);
    for (char &c : host)
      if (c == '\\') c = '/';
    *hostPath = host;
    return true;
  }
  auto it = M().drives.find(full[0]);
  if (it == M().drives.end()) return *error = ERROR_PATH_NOT_FOUND, false;
  std::string host = it->second;
  bool parentExists = true;
  size_t pos = 3;
  while (pos < full.size()) {
    size_t next = full.find('\\', pos);
    if (next == std::string::npos) next = full.size();
    std::string part = full.substr(pos, next - pos);
    pos = next + 1;
    std::string actual;
    if (parentExists && FindEntry(host, part, &actual)) {
      host += "/" + actual;
    } else {
      host += "/" + part;
      parentExists = false;
    }
  }
  *hostPath = host;
  return true;
}

bool WindowsPathOf(const std::string &hostPath, std::string *windowsPath) {
  const Machine &m = M();
  char best = 0;
  size_t bestLen = 0;
  for (const auto &[letter, dir] : m.drives) {
    if (hostPath == dir || (hostPath.compare(0, dir.size(), dir) == 0 &&
                            (dir == "/" || hostPath[dir.size()] == '/'))) {
      if (dir.size() > bestLen || !best) best = letter, bestLen = dir.size();
    }
  }
  if (!best) return false;
  std::string rest = hostPath.substr(bestLen);
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char &c : rest)
    if (c == '/') c = '\\';
  *windowsPath = std::string(1, best) + ":\\" + rest;
  return true;
}

}  // namespace winsim

// The runtime's getcwd as the system calls it: the current directory as a Windows path. As in the
// Windows runtime, a null buffer is allocated (at least maxlen bytes) and the caller frees it.
extern "C" char *_getcwd(char *buffer, int maxlen) {
  if (DWORD e = winsim::Fault("_getcwd")) {
    SetLastError(e);
    errno = e == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return nullptr;
  }
  const std::string &cwd = winsim::M().currentDir;
  size_t needed = cwd.size() + 1;
  if (!buffer) {
    size_t size = maxlen > 0 && static_cast<size_t>(maxlen) > needed ? maxlen : needed;
    buffer = static_cast<char *>(std::malloc(size));
    if (!buffer) {
      errno = ENOMEM;
      return nullptr;
    }
  } else if (maxlen <= 0 || needed > static_cast<size_t>(maxlen)) {
    errno = ERANGE;
    return nullptr;
  }
  std::memcpy(buffer, cwd.c_str(), needed);
  return buffer;
}
