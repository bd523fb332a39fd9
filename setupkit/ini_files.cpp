// .ini files of the machine (WIN.INI, SYSTEM.INI and any other), read and written through the
// profile calls, by their rules: a file named without a directory lies in the Windows
// directory; section and key names compare without regard to case; the first section and the
// first key of a name are the ones that count. A change keeps every other line of the file.
//
// SYSTEM.INI may hold a key several times in a section ("device=" lines), which the profile
// calls cannot add: such a line is put in by editing the file's lines, after the section's last
// entry.
#include <windows.h>

#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

// Repeated removals end here even in a file the profile calls cannot change.
const int kMaxRepeats = 4096;

bool HasControl(const std::string &text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32 && c != '\t') return true;
  return false;
}

bool Blank(char c) {
  return c == ' ' || c == '\t';
}

// A name that reads back as itself: not empty, no control character, no blanks around it (the
// reader drops them), nothing that would end the name early or make the line something else.
bool GoodName(LPCSTR name, bool section) {
  if (!name || !*name) return false;
  std::string n = name;
  if (HasControl(n) || Blank(n.front()) || Blank(n.back())) return false;
  if (section) return n.find(']') == std::string::npos;
  return n.find('=') == std::string::npos && n[0] != '[' && n[0] != ';';
}

bool GoodValue(LPCSTR value) {
  return value && !HasControl(value);
}

// The file's full path: a bare name is the one in the Windows directory.
std::string IniPath(const std::string &name) {
  if (name.find_first_of("\\/:") != std::string::npos) return name;
  char dir[MAX_PATH];
  UINT n = GetWindowsDirectoryA(dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return name;
  return std::string(dir) + "\\" + name;
}

// Adds "key=value" after the last entry of the first section of that name, unless a line of
// the key already has that value.
bool AddRepeatedKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue) {
  std::string path = IniPath(szFile), text;
  DWORD error = 0;
  if (!ReadMachineFile(path, &text, &error)) return false;
  std::string nl = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos
                       ? "\r\n"
                       : "\n";
  int state = 0;  // 0: before the section, 1: in it, 2: past it
  size_t insertAt = std::string::npos;
  for (size_t pos = 0; pos < text.size() && state < 2;) {
    size_t end = text.find('\n', pos);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    std::string line = TrimLine(text.substr(pos, (end == std::string::npos ? next : end) - pos));
    if (!line.empty() && line[0] == '[') {
      size_t close = line.find(']');
      std::string name = close == std::string::npos ? "" : TrimLine(line.substr(1, close - 1));
      if (state == 1)
        state = 2;
      else if (close != std::string::npos && EqualNoCase(name, szSect))
        state = 1, insertAt = next;
    } else if (state == 1 && !line.empty() && line[0] != ';') {
      size_t eq = line.find('=');
      if (eq != std::string::npos && eq > 0) {
        insertAt = next;
        if (EqualNoCase(TrimLine(line.substr(0, eq)), szKey) &&
            EqualNoCase(TrimLine(line.substr(eq + 1)), szValue))
          return true;
      }
    }
    pos = next;
  }
  if (insertAt == std::string::npos) return false;
  std::string head = text.substr(0, insertAt);
  if (!head.empty() && head.back() != '\n') head += nl;
  std::string changed = head + szKey + "=" + szValue + nl + text.substr(insertAt);
  return WriteMachineFile(path, changed, false, &error);
}

BOOL CreateKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo,
                    bool repeatable) {
  if (!szFile || !*szFile) return FALSE;
  if (!GoodName(szSect, true) || !GoodName(szKey, false) || !GoodValue(szValue)) return FALSE;
  bool there = ListedNoCase(ProfileNames(szFile, szSect), szKey);
  if (there && !(cmo & cmoOverwrite)) {
    if (!repeatable) return TRUE;  // the key keeps the value it has
    return AddRepeatedKey(szFile, szSect, szKey, szValue) ? TRUE : FALSE;
  }
  return WritePrivateProfileStringA(szSect, szKey, szValue, szFile);
}

}  // namespace
}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FCreateIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue,
                               int cmo) {
  return CreateKeyValue(szFile, szSect, szKey, szValue, cmo, false);
}

BOOL WINAPI FCreateSysIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue,
                                  int cmo) {
  return CreateKeyValue(szFile, szSect, szKey, szValue, cmo, true);
}

BOOL WINAPI FRemoveIniKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, int cmo) {
  (void)cmo;
  if (!szFile || !*szFile || !szSect || !*szSect || !szKey || !*szKey) return FALSE;
  // Every line of the key goes, also the repeated ones of a SYSTEM.INI section; a key that is
  // not there leaves the file untouched.
  for (int i = 0; i < kMaxRepeats; ++i) {
    if (!ListedNoCase(ProfileNames(szFile, szSect), szKey)) return TRUE;
    if (!WritePrivateProfileStringA(szSect, szKey, nullptr, szFile)) return FALSE;
  }
  return FALSE;
}

BOOL WINAPI FRemoveIniSection(LPCSTR szFile, LPCSTR szSect, int cmo) {
  (void)cmo;
  if (!szFile || !*szFile || !szSect || !*szSect) return FALSE;
  for (int i = 0; i < kMaxRepeats; ++i) {
    if (!ListedNoCase(ProfileNames(szFile, nullptr), szSect)) return TRUE;
    if (!WritePrivateProfileStringA(szSect, nullptr, nullptr, szFile)) return FALSE;
  }
  return FALSE;
}

}  // extern "C"
