// .ini files of the machine (WIN.INI, SYSTEM.INI and any other), read and written by the Windows
// rules: a file named without a directory lies in the Windows directory; section and key names
// compare without regard to case; the first section and the first key of a name are the ones
// that count; only a line whose first non-blank character is ';' is a comment. A change keeps
// every other line, comment and blank of the file as it was, and reaches the disk whole (a new
// file renamed over the old one).
#include <windows.h>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"

namespace setupkit {
namespace {

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

// The file: a bare name is the one in the Windows directory.
bool IniFileOf(LPCSTR szFile, MachineFile *file) {
  if (!szFile || !*szFile) return false;
  std::string name = szFile;
  if (name.find_first_of("\\/:") == std::string::npos) name = winsim::M().windowsDir + "\\" + name;
  uint32_t error = 0;
  return LocateMachineFile(name, file, &error) && !file->isDir;
}

bool Load(const MachineFile &file, winsim::IniFile *ini) {
  std::string text;
  if (file.exists && !ReadMachineFile(file.host, &text)) return false;
  return ini->Parse(text, false, nullptr, nullptr);
}

bool Save(const MachineFile &file, const winsim::IniFile &ini) {
  if (file.readOnly || file.loaded) return false;
  return winsim::WriteFileAtomically(file.host, ini.Text());
}

// The text with `line` put after its line number `after` (0: at the top).
std::string InsertLine(const std::string &text, int after, const std::string &line) {
  std::string nl = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos
                       ? "\r\n"
                       : "\n";
  size_t pos = 0;
  for (int i = 0; i < after && pos < text.size(); ++i) {
    size_t end = text.find('\n', pos);
    pos = end == std::string::npos ? text.size() : end + 1;
  }
  std::string head = text.substr(0, pos);
  if (!head.empty() && head.back() != '\n') head += nl;
  return head + line + nl + text.substr(pos);
}

BOOL CreateKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue, int cmo,
                    bool repeatable) {
  if (!GoodName(szSect, true) || !GoodName(szKey, false) || !GoodValue(szValue)) return FALSE;
  MachineFile file;
  winsim::IniFile ini;
  if (!IniFileOf(szFile, &file) || !Load(file, &ini)) return FALSE;

  const winsim::IniFile::Section *section = ini.FindSection(szSect);
  const std::string *current = ini.Find(szSect, szKey);
  if (current && !(cmo & cmoOverwrite)) {
    if (!repeatable) return TRUE;  // the key keeps the value it has
    for (const winsim::IniFile::Entry &e : section->entries)
      if (winsim::EqualNoCase(e.key, szKey) && winsim::EqualNoCase(e.value, szValue)) return TRUE;
    int after = section->entries.back().line;
    winsim::IniFile grown;
    grown.Parse(InsertLine(ini.Text(), after, std::string(szKey) + "=" + szValue), false, nullptr,
                nullptr);
    return Save(file, grown) ? TRUE : FALSE;
  }
  ini.Set(szSect, szKey, szValue);
  return Save(file, ini) ? TRUE : FALSE;
}

}  // namespace
}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FCreateIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue,
                               int cmo) {
  if (winsim::Fault("FCreateIniKeyValue")) return FALSE;
  return CreateKeyValue(szFile, szSect, szKey, szValue, cmo, false);
}

BOOL WINAPI FCreateSysIniKeyValue(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, LPCSTR szValue,
                                  int cmo) {
  if (winsim::Fault("FCreateSysIniKeyValue")) return FALSE;
  return CreateKeyValue(szFile, szSect, szKey, szValue, cmo, true);
}

BOOL WINAPI FRemoveIniKey(LPCSTR szFile, LPCSTR szSect, LPCSTR szKey, int cmo) {
  (void)cmo;
  if (winsim::Fault("FRemoveIniKey")) return FALSE;
  if (!szSect || !*szSect || !szKey || !*szKey) return FALSE;
  MachineFile file;
  winsim::IniFile ini;
  if (!IniFileOf(szFile, &file) || !Load(file, &ini)) return FALSE;
  // Every line of the key goes, also the repeated ones of a SYSTEM.INI section.
  bool removed = false;
  while (ini.Remove(szSect, szKey)) removed = true;
  if (!removed) return TRUE;  // nothing to remove: the file stays untouched
  return Save(file, ini) ? TRUE : FALSE;
}

BOOL WINAPI FRemoveIniSection(LPCSTR szFile, LPCSTR szSect, int cmo) {
  (void)cmo;
  if (winsim::Fault("FRemoveIniSection")) return FALSE;
  if (!szSect || !*szSect) return FALSE;
  MachineFile file;
  winsim::IniFile ini;
  if (!IniFileOf(szFile, &file) || !Load(file, &ini)) return FALSE;
  bool removed = false;
  while (ini.RemoveSection(szSect)) removed = true;
  if (!removed) return TRUE;
  return Save(file, ini) ? TRUE : FALSE;
}

}  // extern "C"
