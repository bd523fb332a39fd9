// The registry's log (winsim/registry_log.h): records of changes, appending, replaying, folding.
#include "winsim/registry_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace winsim {
namespace {

const char kLogHeader[] = "REGLOG 1 ";
// A log smaller than this is never folded early: folding a small registry after every few
// changes would cost more than it saves.
const uint64_t kMinFoldBytes = 64 * 1024;

uint64_t Hash(const std::string &text) {
  uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

std::string HeaderLine(uint64_t hash) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%016llx\n", kLogHeader, static_cast<unsigned long long>(hash));
  return buf;
}

bool NeedsEscape(unsigned char c) {
  return c < 0x21 || c == 0x7F || c == '%' || c == '@';
}

std::string Field(const std::string &text) {
  if (text.empty()) return "@";
  std::string out;
  out.reserve(text.size());
  static const char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (NeedsEscape(u)) {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool Unfield(const std::string &field, std::string *text) {
  text->clear();
  if (field == "@") return true;
  for (size_t i = 0; i < field.size(); ++i) {
    unsigned char u = static_cast<unsigned char>(field[i]);
    if (u == '%') {
      if (i + 2 >= field.size()) return false;
      int hi = HexDigit(field[i + 1]), lo = HexDigit(field[i + 2]);
      if (hi < 0 || lo < 0) return false;
      *text += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (NeedsEscape(u)) {
      return false;
    } else {
      *text += field[i];
    }
  }
  return true;
}

bool IsVolatileKey(const RegKey &key) {
  return key.isVolatile;
}

std::string Record(const char *op, const std::vector<std::string> &fields) {
  std::string out = op;
  for (const std::string &f : fields) {
    out += ' ';
    out += Field(f);
  }
  return out + "\n";
}

std::string LogPath(const std::string &dir) {
  return dir + "/system.log";
}

// Applies one record to the store; false with the reason when it cannot be applied.
bool Apply(RegistryStore &store, const std::string &line, std::string *why) {
  std::vector<std::string> words = SplitAt(line, ' ');
  const std::string &op = words[0];
  std::vector<std::string> f(words.size() - 1);
  for (size_t i = 1; i < words.size(); ++i)
    if (!Unfield(words[i], &f[i - 1]))
      return *why = "field " + std::to_string(i) + " is garbled", false;
  auto count = [&](size_t n) {
    if (f.size() == n) return true;
    *why = op + " takes " + std::to_string(n) + " fields, not " + std::to_string(f.size());
    return false;
  };
  if (op == "+key" && f.size() == 2) {
    RegKey *key = CreateRegistryKey(store, f[0]);
    if (!key) return *why = "'" + f[0] + "' is not a key path", false;
    if (key->className.empty()) key->className = f[1];
    return true;
  }
  if (op == "+key" || op == "=value") {
    if (!count(op == "+key" ? 1 : 4)) return false;
    RegKey *key = CreateRegistryKey(store, f[0]);
    if (!key) return *why = "'" + f[0] + "' is not a key path", false;
    if (op == "+key") return true;
    char *end = nullptr;
    unsigned long type = std::strtoul(f[2].c_str(), &end, 10);
    if (f[2].empty() || *end || type > 0xFFFFFFFFul)
      return *why = "'" + f[2] + "' is not a value type", false;
    SetValue(*key, f[1], static_cast<uint32_t>(type), f[3]);
    return true;
  }
  if (op == "-key" || op == "-value" || op == "restore") {
    if (!count(op == "-key" ? 1 : 2)) return false;
    RegKey *key = FindRegistryKey(store, f[0]);
    if (!key || (op == "-key" && !key->parent))
      return *why = "there is no key " + f[0] + " to change", false;
    if (op == "-key") {
      RemoveSubkey(*key);
    } else if (op == "-value") {
      if (!DeleteValue(*key, f[1])) return *why = "key " + f[0] + " has no such value", false;
    } else {
      std::unique_ptr<RegistryStore, RegistryStoreDeleter> saved;
      std::shared_ptr<RegKey> root = ParseSavedKey(f[1], "", &saved);
      if (!root) return *why = "the restored text is not a saved key", false;
      ReplaceKeyContents(*key, *root);
    }
    return true;
  }
  return *why = "'" + op + "' is not a change", false;
}

// Replays the log's text onto the store. `valid` learns the size of its whole, readable records
// (the first line included), 0 when the log is obsolete.
bool Replay(RegistryStore &store, const std::string &text, uint64_t baseHash,
            const std::string &fileName, uint64_t *valid, ImageError *error) {
  *valid = 0;
  size_t nl = text.find('\n');
  if (nl == std::string::npos || text.compare(0, nl + 1, HeaderLine(baseHash)) != 0)
    return true;  // continues another system.reg, or was cut short before its first record
  size_t pos = nl + 1;
  int lineNo = 1;
  while (pos < text.size()) {
    nl = text.find('\n', pos);
    if (nl == std::string::npos) break;  // torn: its call never returned
    ++lineNo;
    std::string why;
    if (!Apply(store, text.substr(pos, nl - pos), &why)) {
      if (nl + 1 == text.size()) break;  // the last record, torn
      error->file = fileName;
      error->line = lineNo;
      error->message = why;
      return false;
    }
    pos = nl + 1;
  }
  *valid = pos;
  return true;
}

bool WriteAll(int fd, const std::string &text) {
  const char *p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string KeyCreatedRecord(const RegKey &key) {
  if (IsVolatileKey(key)) return "";
  if (key.className.empty()) return Record("+key", {RegistryKeyPath(key)});
  return Record("+key", {RegistryKeyPath(key), key.className});
}

std::string KeyDeletedRecord(const RegKey &key) {
  return IsVolatileKey(key) ? "" : Record("-key", {RegistryKeyPath(key)});
}

std::string ValueSetRecord(const RegKey &key, const RegValue &value) {
  if (IsVolatileKey(key)) return "";
  return Record("=value",
                {RegistryKeyPath(key), value.name, std::to_string(value.type), value.data});
}

std::string ValueDeletedRecord(const RegKey &key, const std::string &name) {
  return IsVolatileKey(key) ? "" : Record("-value", {RegistryKeyPath(key), name});
}

std::string KeyRestoredRecord(const RegKey &key, const std::string &savedText) {
  return IsVolatileKey(key) ? "" : Record("restore", {RegistryKeyPath(key), savedText});
}

bool AppendRegistryLog(const std::string &record) {
  Machine &m = M();
  RegistryFiles &files = m.registryFiles;
  if (files.logBroken) return false;
  std::string text = record;
  if (files.logFd < 0) {
    std::string path = LogPath(m.dir);
    if (files.logBytes > 0) {
      // The log that loading replayed: appended to after its last whole record.
      files.logFd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
      if (files.logFd >= 0 && (::ftruncate(files.logFd, static_cast<off_t>(files.logBytes)) != 0 ||
                               ::lseek(files.logFd, 0, SEEK_END) < 0)) {
        ::close(files.logFd);
        files.logFd = -1;
      }
    } else {
      files.logFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      text = HeaderLine(files.baseHash) + record;
    }
    if (files.logFd < 0) return false;
  }
  if (!WriteAll(files.logFd, text)) {
    // A record written in part is taken back, so that the next one starts a line of its own.
    if (::ftruncate(files.logFd, static_cast<off_t>(files.logBytes)) != 0) files.logBroken = true;
    return false;
  }
  files.logBytes += text.size();
  files.bytesWritten += text.size();
  ++files.changes;
  uint64_t limit = files.baseBytes > kMinFoldBytes ? files.baseBytes : kMinFoldBytes;
  if (files.logBytes > limit && files.logBytes >= files.foldRetryAt && !FoldRegistryLog(m))
    files.foldRetryAt = files.logBytes * 2;
  return true;
}

std::unique_ptr<RegistryStore, RegistryStoreDeleter> LoadImageRegistry(const std::string &dir,
                                                                       RegistryFiles *files,
                                                                       ImageError *error) {
  std::string regPath = dir + "/system.reg";
  std::string regText;
  if (!ReadHostFile(regPath, &regText)) {
    error->file = regPath;
    error->line = 0;
    error->message = "cannot be read: " + std::string(std::strerror(errno));
    return nullptr;
  }
  auto store = ParseRegistry(regText, regPath, error);
  if (!store) return nullptr;
  uint64_t hash = Hash(regText);
  std::string logPath = LogPath(dir), logText;
  uint64_t valid = 0;
  bool logLeft = ReadHostFile(logPath, &logText);
  if (logLeft && !Replay(*store, logText, hash, logPath, &valid, error)) return nullptr;
  if (files) {
    files->logLeft = logLeft;
    files->baseHash = hash;
    files->baseBytes = regText.size();
    files->logBytes = valid;
  }
  return store;
}

bool FoldRegistryLog(Machine &machine) {
  RegistryFiles &files = machine.registryFiles;
  if (!machine.registry) return false;
  std::string text = FormatRegistry(*machine.registry);
  if (!WriteFileAtomically(machine.dir + "/system.reg", text)) return false;
  files.bytesWritten += text.size();
  files.baseHash = Hash(text);
  files.baseBytes = text.size();
  // Should the process end before the log is gone, the log's first line no longer matches
  // system.reg and the next load passes over it.
  if (files.logFd >= 0) ::close(files.logFd);
  files.logFd = -1;
  UnlinkHost(LogPath(machine.dir));
  files.logBytes = 0;
  files.logLeft = false;
  files.logBroken = false;
  files.foldRetryAt = 0;
  return true;
}

void CloseRegistryFiles(Machine &machine) {
  RegistryFiles &files = machine.registryFiles;
  if (files.logBytes > 0) FoldRegistryLog(machine);
  if (files.logFd >= 0) ::close(files.logFd);
  files.logFd = -1;
  if (machine.statsPath.empty()) return;
  if (std::FILE *f = std::fopen(machine.statsPath.c_str(), "a")) {
    std::fprintf(f, "registry-changes %llu\nregistry-bytes %llu\n",
                 static_cast<unsigned long long>(files.changes),
                 static_cast<unsigned long long>(files.bytesWritten));
    std::fclose(f);
  }
}

}  // namespace winsim
