// Profile strings: .ini files of the simulated machine read and written by NT's rules.
//
// - A file named without a directory lies in the Windows directory; WIN.INI is the profile.
// - Section and key names compare without regard to case; the first section and the first key
//   of a name are the ones read, changed or removed.
// - Only a line whose first non-blank character is ';' is a comment; blanks around names and
//   values are dropped; a value in double quotes is read without them.
// - A null key lists the section's keys, a null section lists the sections: each name ended by
//   a NUL, the list by another. What does not fit is cut, and the answer is the size less two.
//   A missing section gives the default, listed or not.
// - A value that does not fit is cut to the size less one, which is the answer.
// - Writing keeps every other line, comment and blank as it was; a null value removes the key,
//   a null key the section. A change that changes nothing leaves the file untouched (also one
//   that does not exist).
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "winsim/ini_file.h"
#include "winsim/machine.h"

namespace winsim {
namespace {

struct Profile {
  std::string host;
  bool exists = false;
  IniFile ini;
};

// Finds and reads the file; false with a Win32 error when the name cannot name a file.
bool LoadProfile(LPCSTR name, Profile *profile, DWORD *error) {
  std::string path = name && *name ? name : "win.ini";
  if (path.find_first_of("\\/:") == std::string::npos) path = M().windowsDir + "\\" + path;
  uint32_t e = 0;
  if (!ResolvePath(path, &profile->host, &e)) return *error = e, false;
  std::string text;
  profile->exists = ReadHostFile(profile->host, &text) && !text.empty();
  if (!profile->exists) text.clear();
  profile->ini.Parse(text, false, nullptr, nullptr);
  return true;
}

DWORD SaveProfile(const Profile &profile) {
  struct stat st;
  if (::stat(profile.host.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) return ERROR_ACCESS_DENIED;
    if (IsFileLoaded(profile.host)) return ERROR_SHARING_VIOLATION;
  }
  std::string parent = profile.host.substr(0, profile.host.rfind('/'));
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
  return WriteFileAtomically(profile.host, profile.ini.Text()) ? 0 : ERROR_ACCESS_DENIED;
}

// A list of names, each ended by a NUL and the list by another, cut to the buffer.
DWORD CopyList(const std::vector<std::string> &names, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  if (size == 1) return buffer[0] = '\0', 0;
  std::string all;
  for (const std::string &n : names) all += n + '\0';
  if (all.size() + 1 <= size) {
    std::memcpy(buffer, all.data(), all.size());
    buffer[all.size()] = '\0';
    if (all.empty()) buffer[1 < size ? 1 : 0] = '\0';
    return static_cast<DWORD>(all.size());
  }
  std::memcpy(buffer, all.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

DWORD CopyValue(std::string value, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  if (value.size() >= size) value.resize(size - 1);
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return static_cast<DWORD>(value.size());
}

std::string Unquoted(const std::string &value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace
}  // namespace winsim

using winsim::Fault;

extern "C" {

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (DWORD e = Fault("GetPrivateProfileStringA")) {
    SetLastError(e);
    return winsim::CopyValue("", lpReturnedString, nSize);
  }
  winsim::Profile profile;
  DWORD error = 0;
  if (!winsim::LoadProfile(lpFileName, &profile, &error)) {
    SetLastError(error);
    return winsim::CopyValue("", lpReturnedString, nSize);
  }
  if (!lpAppName) {
    std::vector<std::string> names;
    for (const winsim::IniFile::Section &s : profile.ini.Sections()) names.push_back(s.name);
    return winsim::CopyList(names, lpReturnedString, nSize);
  }
  const winsim::IniFile::Section *section = profile.ini.FindSection(lpAppName);
  if (!lpKeyName && section) {
    std::vector<std::string> keys;
    for (const winsim::IniFile::Entry &e : section->entries) keys.push_back(e.key);
    return winsim::CopyList(keys, lpReturnedString, nSize);
  }
  // A missing section, listed or read, gives the default as a missing key does.
  const std::string *value = lpKeyName ? profile.ini.Find(lpAppName, lpKeyName) : nullptr;
  if (value) return winsim::CopyValue(winsim::Unquoted(*value), lpReturnedString, nSize);
  if (!profile.exists) SetLastError(ERROR_FILE_NOT_FOUND);
  // The default is taken without its trailing blanks.
  std::string fallback = lpDefault ? lpDefault : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  return winsim::CopyValue(fallback, lpReturnedString, nSize);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
  if (DWORD e = Fault("WritePrivateProfileStringA")) return SetLastError(e), FALSE;
  // All null: flush the cache, which the image does not keep.
  if (!lpAppName && !lpKeyName && !lpString) return TRUE;
  if (!lpAppName) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  winsim::Profile profile;
  DWORD error = 0;
  if (!winsim::LoadProfile(lpFileName, &profile, &error)) return SetLastError(error), FALSE;
  bool changed;
  if (!lpKeyName) {
    changed = profile.ini.RemoveSection(lpAppName);
  } else if (!lpString) {
    changed = profile.ini.Remove(lpAppName, lpKeyName);
  } else {
    const std::string *current = profile.ini.Find(lpAppName, lpKeyName);
    changed = !current || *current != lpString;
    if (changed) profile.ini.Set(lpAppName, lpKeyName, lpString);
  }
  if (!changed) return TRUE;
  if (DWORD e = winsim::SaveProfile(profile)) return SetLastError(e), FALSE;
  return TRUE;
}

DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize) {
  return GetPrivateProfileStringA(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize,
                                  "win.ini");
}

BOOL WINAPI WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString) {
  return WritePrivateProfileStringA(lpAppName, lpKeyName, lpString, "win.ini");
}

}  // extern "C"
