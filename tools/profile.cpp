// Reading a machine profile and making a fresh machine image from it.
#include "tools/profile.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/image_open.h"
#include "tools/pe_module.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace fs = std::filesystem;

namespace image_tool {
namespace {

using winsim::Trim;

std::string Unquote(const std::string &s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

bool StartsWithNoCase(const std::string &text, const std::string &prefix) {
  return text.size() >= prefix.size() && winsim::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// "HKLM\..." -> "HKEY_LOCAL_MACHINE\..."; other roots are left for the store to judge.
std::string ExpandRoot(const std::string &path) {
  static const char *const kAbbrev[][2] = {{"HKLM", "HKEY_LOCAL_MACHINE"},
                                           {"HKCU", "HKEY_CURRENT_USER"},
                                           {"HKCR", "HKEY_CLASSES_ROOT"},
                                           {"HKU", "HKEY_USERS"}};
  size_t slash = path.find('\\');
  std::string root = path.substr(0, slash);
  for (const auto &a : kAbbrev)
    if (winsim::EqualNoCase(root, a[0]))
      return a[1] + (slash == std::string::npos ? "" : path.substr(slash));
  return path;
}

bool ParseNumber(const std::string &text, uint32_t *out) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  int base = 10;
  size_t pos = 0;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) base = 16, pos = 2;
  uint64_t v = 0;
  for (; pos < t.size(); ++pos) {
    int d;
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[pos])));
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else
      return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

// A registry value as the profile writes it; false with a reason when it is not valid.
bool ParseRegValue(const std::string &name, const std::string &text, RegValue *value,
                   std::string *why) {
  value->name = name == "@" ? "" : Unquote(name);
  if (StartsWithNoCase(text, "dword:")) {
    uint32_t n;
    if (!ParseNumber(text.substr(6), &n)) {
      *why = "dword: takes a number, decimal or 0x hexadecimal: '" + text + "'";
      return false;
    }
    value->type = 4;  // REG_DWORD, little-endian
    for (int i = 0; i < 4; ++i) value->data += static_cast<char>((n >> (8 * i)) & 0xFF);
  } else if (StartsWithNoCase(text, "expand:")) {
    value->type = 2;
    value->data = Unquote(text.substr(7)) + std::string(1, '\0');
  } else if (StartsWithNoCase(text, "multi:")) {
    value->type = 7;
    std::string rest = text.substr(6);
    size_t pos = 0;
    while (!rest.empty()) {
      size_t bar = rest.find('|', pos);
      value->data += rest.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos);
      value->data += '\0';
      if (bar == std::string::npos) break;
      pos = bar + 1;
    }
    value->data += '\0';
  } else if (StartsWithNoCase(text, "hex:")) {
    value->type = 3;
    std::string rest = text.substr(4);
    std::stringstream ss(rest);
    std::string byte;
    while (std::getline(ss, byte, ',')) {
      byte = Trim(byte);
      uint32_t b;
      if (byte.empty() || byte.size() > 2 || !ParseNumber("0x" + byte, &b)) {
        *why = "hex: takes bytes such as 01,ff: '" + text + "'";
        return false;
      }
      value->data += static_cast<char>(b);
    }
  } else {
    value->type = 1;
    std::string t = StartsWithNoCase(text, "sz:") ? text.substr(3) : text;
    value->data = Unquote(t) + std::string(1, '\0');
  }
  return true;
}

// Placeholder binary: looks like an executable to anyone who peeks, differs from file to file.
std::string PlaceholderBinary(const std::string &path, size_t size) {
  std::string name = path.substr(path.find_last_of('\\') + 1);
  std::string data = "MZ";
  std::string note = "placeholder for " + name;
  uint32_t seed = 2166136261u;
  for (char c : name) seed = (seed ^ static_cast<unsigned char>(std::tolower(c))) * 16777619u;
  while (data.size() < 64) data += '\0';
  data += note;
  while (data.size() < size) {
    seed = seed * 1103515245u + 12345u;
    data += static_cast<char>((seed >> 16) & 0xFF);
  }
  data.resize(size);
  return data;
}

bool WriteFileBytes(const std::string &path, const std::string &content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out);
}

}  // namespace

bool ParseProfile(const std::string &text, const std::string &fileName, Profile *profile,
                  std::string *error) {
  enum class Kind { None, Machine, Registry, File, Directory };
  Kind kind = Kind::None;
  std::string sectionName;
  int lineNo = 0;
  auto fail = [&](const std::string &message) {
    *error = fileName + ":" + std::to_string(lineNo) + ": " + message;
    return false;
  };
  std::string profileDir = fs::path(fileName).parent_path().string();
  std::string fileContent;  // how the current file's content is given: "", "text", "size", "copy"

  std::istringstream in(text);
  std::string raw;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string t = Trim(raw);

    if (!t.empty() && t[0] == '[') {
      size_t close = t.find(']');
      if (close == std::string::npos || Trim(t.substr(close + 1)).size() > 0)
        return fail("a section header is '[name]': '" + t + "'");
      sectionName = Trim(t.substr(1, close - 1));
      std::string word = sectionName.substr(0, sectionName.find(' '));
      std::string rest =
          Trim(word.size() < sectionName.size() ? sectionName.substr(word.size()) : "");
      if (sectionName.empty()) return fail("empty section name");
      if (winsim::EqualNoCase(word, "registry")) {
        if (rest.empty()) return fail("[registry] names a key: [registry HKLM\\SOFTWARE]");
        kind = Kind::Registry;
        RegKey key;
        key.path = ExpandRoot(rest);
        profile->keys.push_back(key);
      } else if (winsim::EqualNoCase(word, "file")) {
        if (rest.size() < 3 || rest[1] != ':' || rest[2] != '\\')
          return fail("[file] names a full Windows path: [file C:\\WINNT35\\win.ini]");
        kind = Kind::File;
        ProfileFile file;
        file.path = rest;
        file.line = lineNo;
        profile->files.push_back(file);
        fileContent.clear();
      } else if (winsim::EqualNoCase(word, "directory")) {
        if (rest.size() < 3 || rest[1] != ':' || rest[2] != '\\')
          return fail("[directory] names a full Windows path: [directory C:\\TEMP]");
        kind = Kind::Directory;
        profile->directories.emplace_back(rest, lineNo);
      } else {
        kind = Kind::Machine;
        profile->machineIni += (profile->machineIni.empty() ? "" : "\r\n") + t + "\r\n";
      }
      continue;
    }

    if (kind == Kind::Machine) {
      // machine.ini keeps its own comments; the image loader checks the keys.
      if (!t.empty()) profile->machineIni += t + "\r\n";
      std::string upperSection = winsim::Upper(sectionName);
      size_t eq = t.find('=');
      if (t.empty() || t[0] == ';' || eq == std::string::npos) continue;
      std::string key = Trim(t.substr(0, eq)), value = Trim(t.substr(eq + 1));
      if (upperSection == "DRIVES" && key.size() == 1) {
        profile->drives.emplace_back(
            static_cast<char>(std::toupper(static_cast<unsigned char>(key[0]))), value);
      } else if (upperSection == "SYSTEM") {
        std::string k = winsim::Upper(key);
        if (k == "WINDOWS") profile->windowsDir = value;
        if (k == "SYSTEM") profile->systemDir = value;
        if (k == "TEMP") profile->tempDir = value;
      }
      continue;
    }

    if (t.empty() || t[0] == ';') continue;
    switch (kind) {
      case Kind::None:
        return fail("text before the first [section]");
      case Kind::Directory:
        return fail("a [directory] section takes no lines");
      case Kind::Registry: {
        size_t eq = t.find('=');
        if (eq == std::string::npos || Trim(t.substr(0, eq)).empty())
          return fail("a registry value is '<name> = <value>' ('@' for the default value)");
        RegValue value;
        std::string why;
        if (!ParseRegValue(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)), &value, &why))
          return fail(why);
        profile->keys.back().values.push_back(value);
        break;
      }
      case Kind::File: {
        ProfileFile &file = profile->files.back();
        if (t[0] == '|') {
          std::string line = raw.substr(raw.find('|') + 1);
          if (!line.empty() && line[0] == ' ') line.erase(0, 1);
          if (!fileContent.empty() && fileContent != "text")
            return fail("a file has either text lines, size =, copy = or module =");
          file.content += line + "\r\n";
          fileContent = "text";
          break;
        }
        size_t eq = t.find('=');
        std::string key = winsim::Upper(Trim(t.substr(0, eq == std::string::npos ? 0 : eq)));
        std::string value = eq == std::string::npos ? "" : Trim(t.substr(eq + 1));
        if (!fileContent.empty())
          return fail("a file has either text lines, size =, copy = or module =");
        if (key == "SIZE") {
          uint32_t size;
          if (!ParseNumber(value, &size) || size > (16u << 20))
            return fail("size = takes a number of bytes up to 16 MB: '" + value + "'");
          file.content = PlaceholderBinary(file.path, size);
        } else if (key == "COPY") {
          std::string from = fs::path(value).is_absolute() || profileDir.empty()
                                 ? value
                                 : profileDir + "/" + value;
          if (value.empty() || !winsim::ReadHostFile(from, &file.content))
            return fail("copy = names a file that cannot be read: '" + value + "'");
        } else if (key == "MODULE") {
          std::istringstream words(value);
          std::string machineName, name;
          std::vector<std::string> exports;
          uint16_t machine = 0;
          words >> machineName;
          while (words >> name) exports.push_back(name);
          if (!MachineOfName(machineName, &machine))
            return fail("module = takes a machine (i386, alpha, mips, amd64) and export names: '" +
                        value + "'");
          file.content =
              PeModule(machine, file.path.substr(file.path.find_last_of('\\') + 1), exports);
        } else {
          return fail("a file line is 'size = N', 'copy = path', 'module = ...' or '| text'");
        }
        fileContent = key;
        break;
      }
      case Kind::Machine:
        break;
    }
  }
  return true;
}

namespace {

bool BuildImage(const Profile &profile, const std::string &imageDir, std::string *error);

}  // namespace

bool CreateImage(const Profile &profile, const std::string &imageDir, std::string *error) {
  std::error_code ec;
  bool existed = fs::exists(imageDir, ec);
  if (existed && !fs::is_empty(imageDir, ec)) {
    *error = imageDir + ": exists and is not empty; a fresh image needs a new directory";
    return false;
  }
  if (BuildImage(profile, imageDir, error)) return true;
  // A half-made image would only be mistaken for a machine: take back what was made.
  if (!existed) {
    fs::remove_all(imageDir, ec);
  } else {
    for (const fs::directory_entry &entry : fs::directory_iterator(imageDir, ec))
      fs::remove_all(entry.path(), ec);
  }
  return false;
}

namespace {

bool BuildImage(const Profile &profile, const std::string &imageDir, std::string *error) {
  std::error_code ec;
  fs::create_directories(imageDir, ec);
  if (ec) {
    *error = imageDir + ": cannot be created: " + ec.message();
    return false;
  }
  std::string dir = fs::canonical(imageDir).string();

  // Drives first: the image loader insists that they exist.
  std::vector<std::pair<char, std::string>> drives = profile.drives;
  if (drives.empty()) drives.emplace_back('C', "drive_c");
  for (const auto &[letter, host] : drives) {
    std::string path = fs::path(host).is_absolute() ? host : dir + "/" + host;
    fs::create_directories(path, ec);
    if (ec) {
      *error = std::string("drive ") + letter + ": " + path + ": " + ec.message();
      return false;
    }
  }
  if (!WriteFileBytes(dir + "/machine.ini", profile.machineIni) ||
      !WriteFileBytes(dir + "/system.reg", "REGEDIT4\r\n\r\n")) {
    *error = dir + ": cannot write the image files";
    return false;
  }

  winsim::ImageError imageError;
  if (!winsim::OpenMachine(ImageOpenOptions(dir), &imageError)) {
    *error = imageError.Text();
    return false;
  }

  // The registry, through the store, so that system.reg is written the way the machine writes it.
  winsim::RegistryStore &store = *winsim::M().registry;
  for (const RegKey &key : profile.keys) {
    winsim::RegKey *k = winsim::CreateRegistryKey(store, key.path);
    if (!k) {
      *error = "registry key '" + key.path + "' is not a valid path";
      winsim::CloseMachine();
      return false;
    }
    for (const RegValue &value : key.values)
      winsim::SetValue(*k, value.name, value.type, value.data);
  }
  if (!winsim::SaveRegistry()) {
    *error = dir + "/system.reg: cannot be written";
    winsim::CloseMachine();
    return false;
  }

  auto hostPathOf = [&](const std::string &windowsPath, std::string *host) {
    uint32_t err = 0;
    if (!winsim::ResolvePath(windowsPath, host, &err)) {
      *error =
          windowsPath + ": not a path on a drive of the image (error " + std::to_string(err) + ")";
      return false;
    }
    return true;
  };
  std::vector<std::string> dirs = {profile.windowsDir, profile.systemDir, profile.tempDir};
  for (const auto &d : profile.directories) dirs.push_back(d.first);
  for (const std::string &d : dirs) {
    std::string host;
    if (!hostPathOf(d, &host)) return winsim::CloseMachine(), false;
    fs::create_directories(host, ec);
    if (ec) {
      *error = d + ": " + ec.message();
      winsim::CloseMachine();
      return false;
    }
    winsim::HostEntryCreated(host);
  }
  for (const ProfileFile &file : profile.files) {
    std::string parent = file.path.substr(0, file.path.find_last_of('\\'));
    if (parent.size() == 2) parent += '\\';
    std::string hostParent, host;
    if (!hostPathOf(parent, &hostParent)) return winsim::CloseMachine(), false;
    fs::create_directories(hostParent, ec);
    if (!ec) winsim::HostEntryCreated(hostParent);
    // Resolve again now that the directories exist, so that the name's case is matched.
    if (!hostPathOf(file.path, &host)) return winsim::CloseMachine(), false;
    if (ec || !WriteFileBytes(host, file.content)) {
      *error = file.path + ": cannot be written";
      winsim::CloseMachine();
      return false;
    }
    winsim::HostEntryCreated(host);
  }
  winsim::CloseMachine();
  return true;
}

}  // namespace

}  // namespace image_tool
