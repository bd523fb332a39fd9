// Windows paths on the machine image: drive letters mapped to host directories, look-up without
// regard to case, "." and ".." folded without ever leaving a drive's root.
#include <dirent.h>
#include <direct.h>
#include <windows.h>

#include <fcntl.h>
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
  switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
      return true;
    default:
      return c < 32;
  }
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// Upper-cases as Upper() does, into a buffer that keeps its storage from call to call.
void UpperInto(const char *text, size_t n, std::string *out) {
  out->assign(text, n);
  for (char &c : *out) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
      c = static_cast<char>(u - 32);
  }
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

Listing *ListingOf(const std::string &dir) {
  auto it = g_listings.find(dir);
  if (it != g_listings.end()) return &it->second;
  DIR *d = opendir(dir.c_str());
  if (!d) return nullptr;
  Listing listing;
  while (dirent *e = readdir(d)) listing[Upper(e->d_name)].push_back(e->d_name);
  closedir(d);
  return &g_listings.emplace(dir, std::move(listing)).first->second;
}

// The name of an existing entry of the listing that equals name[0, n) without regard to case;
// the exact spelling when the directory holds it.
const std::string *FindEntry(const Listing *listing, const char *name, size_t n) {
  if (!listing) return nullptr;
  static std::string key;
  UpperInto(name, n, &key);
  auto it = listing->find(key);
  if (it == listing->end()) return nullptr;
  for (const std::string &entry : it->second)
    if (entry.size() == n && entry.compare(0, n, name, n) == 0) return &entry;
  return &it->second.front();
}

// The directories resolved last, by their full Windows paths as asked, each found whole on the
// host. A copy of many files asks for the same few directories over and over; their host paths
// stay right until a listing above them changes (a directory created, removed or renamed
// there), which drops them.
struct ResolvedDirectory {
  std::string windows, driveRoot, host;
  Listing *listing = nullptr;  // the host directory's own, once read
  int fd = -1;  // the host directory opened as a path, once asked for: names open below it

  void Forget() {
    if (fd >= 0) ::close(fd);
    *this = ResolvedDirectory();
  }
};
ResolvedDirectory g_resolved[4];
size_t g_nextResolved = 0;

// Drops what was resolved through the listing of host directory `dir`, which has changed.
void ForgetResolvedBelow(const std::string &dir) {
  for (ResolvedDirectory &r : g_resolved) {
    if (r.windows.empty()) continue;
    if (r.host.size() > dir.size() && r.host.compare(0, dir.size(), dir) == 0 &&
        (dir.back() == '/' || r.host[dir.size()] == '/'))
      r.Forget();
  }
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

// Whether the path begins \\?\unix\ (either separator, any case).
bool IsHostPath(const std::string &path) {
  const size_t n = sizeof kHostPrefix - 1;
  if (path.size() <= n) return false;
  for (size_t i = 0; i < n; ++i) {
    char want = kHostPrefix[i], c = path[i];
    if (want == '\\' ? !IsSeparator(c) : std::toupper(static_cast<unsigned char>(c)) != want)
      return false;
  }
  return true;
}

// Appends the names of text[0, n) to `out` (a drive's "X:" and the names so far, each after a
// backslash), folding "." and "..": ".." at the root stays there.
bool AppendNames(const char *text, size_t n, std::string *out, uint32_t *error) {
  for (size_t pos = 0; pos < n;) {
    size_t end = pos;
    while (end < n && !IsSeparator(text[end])) ++end;
    const char *part = text + pos;
    size_t length = end - pos;
    pos = end + 1;
    if (length == 0 || (length == 1 && part[0] == '.')) continue;
    if (length == 2 && part[0] == '.' && part[1] == '.') {
      if (out->size() > 2) out->resize(out->rfind('\\'));
      continue;
    }
    // Windows drops trailing dots and blanks of a name.
    while (length && (part[length - 1] == '.' || part[length - 1] == ' ')) --length;
    if (!length) continue;
    for (size_t i = 0; i < length; ++i)
      if (BadNameChar(static_cast<unsigned char>(part[i])))
        return *error = ERROR_INVALID_NAME, false;
    out->push_back('\\');
    out->append(part, length);
  }
  return true;
}

}  // namespace

bool FullWindowsPath(const std::string &path, std::string *fullPath, uint32_t *error) {
  uint32_t scratch;
  if (!error) error = &scratch;
  if (path.empty()) return *error = ERROR_PATH_NOT_FOUND, false;
  const Machine &m = M();
  if (IsHostPath(path)) {
    // A host file outside the drives: taken as named, no folding of "." or "..".
    if (path.size() >= MAX_PATH) return *error = ERROR_FILENAME_EXCED_RANGE, false;
    *fullPath = path;
    for (char &c : *fullPath)
      if (c == '/') c = '\\';
    return true;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    return *error = ERROR_INVALID_NAME, false;

  std::string out;
  out.reserve(path.size() + m.currentDir.size() + 2);
  const char *rest = path.c_str();
  size_t restLength = path.size();
  bool fromCurrent;  // the names follow the current directory's
  char drive;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    rest += 2, restLength -= 2;
    // Drive-relative: the current directory when it is on that drive, else its root.
    fromCurrent = (restLength == 0 || !IsSeparator(rest[0])) && m.currentDir.size() >= 2 &&
                  std::toupper(static_cast<unsigned char>(m.currentDir[0])) == drive;
  } else {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(m.currentDir[0])));
    fromCurrent = !IsSeparator(path[0]);
  }
  out += drive;
  out += ':';
  if (fromCurrent && m.currentDir.size() > 2 &&
      !AppendNames(m.currentDir.c_str() + 2, m.currentDir.size() - 2, &out, error))
    return false;
  if (!AppendNames(rest, restLength, &out, error)) return false;
  if (out.size() == 2) out += '\\';
  if (out.size() >= MAX_PATH) return *error = ERROR_FILENAME_EXCED_RANGE, false;
  *fullPath = std::move(out);
  return true;
}

void HostEntryCreated(const std::string &hostPath) {
  // In a directory resolved last, whose parent's listing holds it already.
  const size_t slash = hostPath.rfind('/');
  for (ResolvedDirectory &r : g_resolved) {
    if (r.windows.empty() || !r.listing || r.host.size() != slash ||
        hostPath.compare(0, slash, r.host) != 0)
      continue;
    const std::string name = hostPath.substr(slash + 1);
    std::vector<std::string> &names = (*r.listing)[Upper(name)];
    for (const std::string &n : names)
      if (n == name) return;
    names.push_back(name);
    ForgetResolvedBelow(std::string(r.host));
    return;
  }
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
      ForgetResolvedBelow(dir);
    }
    path = dir;
  }
}

void HostEntryRemoved(const std::string &hostPath) {
  std::string dir, name;
  SplitHost(hostPath, &dir, &name);
  ForgetResolvedBelow(dir);
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
  for (ResolvedDirectory &r : g_resolved) r.Forget();
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
  std::string full;
  return FullWindowsPath(windowsPath, &full, error) && ResolveFullPath(full, hostPath, error);
}

bool ResolveFullPath(const std::string &full, std::string *hostPath, uint32_t *error) {
  uint32_t scratch;
  if (!error) error = &scratch;
  if (IsHostPath(full)) {
    std::string host = full.substr(sizeof kHostPrefix - 2);
    for (char &c : host)
      if (c == '\\') c = '/';
    *hostPath = host;
    return true;
  }
  auto it = M().drives.find(full[0]);
  if (it == M().drives.end()) return *error = ERROR_PATH_NOT_FOUND, false;
  const std::string &root = it->second;
  // The directory part first, from what was resolved before when it can be.
  const size_t cut = full.rfind('\\');
  std::string host;
  host.reserve(root.size() + full.size());
  Listing *listing = nullptr;
  bool found = true;  // every name so far is there
  size_t pos = 3;
  if (cut > 2) {
    ResolvedDirectory *known = nullptr;
    for (ResolvedDirectory &r : g_resolved)
      if (r.windows.size() == cut && r.windows.compare(0, cut, full, 0, cut) == 0 &&
          r.driveRoot == root)
        known = &r;
    if (known) {
      host = known->host;
      if (!known->listing) known->listing = ListingOf(host);
      listing = known->listing;
      pos = cut + 1;
    } else {
      host = root;
      listing = ListingOf(host);
      for (; pos < cut;) {
        size_t next = full.find('\\', pos);
        const std::string *actual =
            found ? FindEntry(listing, full.data() + pos, next - pos) : nullptr;
        host += '/';
        if (actual) {
          host += *actual;
          listing = ListingOf(host);
        } else {
          host.append(full, pos, next - pos);
          found = false;
          listing = nullptr;
        }
        pos = next + 1;
      }
      if (found) {
        ResolvedDirectory &r =
            g_resolved[g_nextResolved++ % (sizeof g_resolved / sizeof *g_resolved)];
        r.Forget();
        r.windows.assign(full, 0, cut);
        r.driveRoot = root;
        r.host = host;
        r.listing = listing;
      }
    }
  } else {
    host = root;
    listing = ListingOf(host);
  }
  if (pos < full.size()) {
    const std::string *actual =
        found ? FindEntry(listing, full.data() + pos, full.size() - pos) : nullptr;
    host += '/';
    if (actual)
      host += *actual;
    else
      host.append(full, pos, std::string::npos);
  }
  *hostPath = std::move(host);
  return true;
}

int HostDirectoryAt(const std::string &hostPath, const char **name) {
  *name = hostPath.c_str();
  for (ResolvedDirectory &r : g_resolved) {
    const size_t n = r.host.size();
    if (r.windows.empty() || hostPath.size() <= n + 1 || hostPath[n] != '/' ||
        hostPath.compare(0, n, r.host) != 0 || hostPath.find('/', n + 1) != std::string::npos)
      continue;
    if (r.fd < 0) r.fd = ::open(r.host.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (r.fd < 0) break;
    *name = hostPath.c_str() + n + 1;
    return r.fd;
  }
  return AT_FDCWD;
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
