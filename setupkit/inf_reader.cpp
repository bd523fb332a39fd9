// The setup-file reader: setup.inf as INI-style sections of lines, each line a key with fields
// or a bare line of fields.
//
//   [PPD Files]
//   "Norvale PS 600" = z600.ppd, "a field, with a comma"   ; a comment
//   i386\zelpsmon.dll, rename=zelpsmon.dll
//
// Rules, for the writers of setup.inf:
// - Section names and keys compare without regard to case. A section named twice continues the
//   first one.
// - The first unquoted "=" before any unquoted "," ends the key; fields are numbered from 1
//   after it. A line without such "=" has no key; its fields are numbered from 1 as well.
// - Blanks around keys and fields are dropped. Double quotes keep blanks, commas, ";" and "=";
//   "" inside quotes stands for one quote. ";" outside quotes starts a comment.
// - A key that appears twice in a section: the first line is the one found by look-up, and the
//   key list names the key once, at its first place, so that a list walk never meets a line it
//   cannot read.
// - Field 0 of a keyed line is its key.
// - A file that holds a NUL or another control byte (tab aside), an unterminated quote, a broken
//   section header, an empty key or an entry before the first section is refused as a whole:
//   such a file is damaged, and guessing at it would install the wrong things. A Ctrl-Z ends
//   the text, as in DOS files.
#include <windows.h>

#include <cstdio>
#include <set>

#include "setupkit/install_services.h"
#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

// Larger than any setup file; refused rather than read into memory.
const size_t kMaxInfBytes = 16u * 1024 * 1024;
const char kTooLarge[] = "larger than the 16 MB that a setup file may hold";

InfFile g_inf;
bool g_infOpen = false;
std::string g_infError;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string Trim(const std::string &text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

std::string LineError(int line, const std::string &what) {
  return "line " + std::to_string(line) + ": " + what;
}

// Splits one entry line into its key (when it has one) and its fields.
bool ParseEntry(const std::string &text, int lineNo, InfLine *out, std::string *error) {
  std::vector<std::string> fields;
  std::string current;
  size_t keep = 0;       // length of `current` without unquoted trailing blanks
  bool started = false;  // something other than leading blanks seen in this field
  bool commaSeen = false;
  bool keySeen = false;
  std::string key;

  auto finish = [&]() {
    current.resize(keep);
    std::string done = current;
    current.clear();
    keep = 0;
    started = false;
    return done;
  };

  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    char c = text[i];
    if (c == '"') {
      ++i;
      for (;;) {
        if (i >= n) {
          *error = LineError(lineNo, "a quoted text is not closed");
          return false;
        }
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            current += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        current += text[i++];
      }
      started = true;
      keep = current.size();
    } else if (c == ';') {
      break;
    } else if (c == ',') {
      fields.push_back(finish());
      commaSeen = true;
      ++i;
    } else if (c == '=' && !keySeen && !commaSeen) {
      key = finish();
      keySeen = true;
      if (key.empty()) {
        *error = LineError(lineNo, "the key before \"=\" is empty");
        return false;
      }
      ++i;
    } else if (IsBlank(c)) {
      if (started) current += c;
      ++i;
    } else {
      current += c;
      started = true;
      keep = current.size();
      ++i;
    }
  }
  fields.push_back(finish());

  out->line = lineNo;
  out->hasKey = keySeen;
  out->key = key;
  out->fields = fields;
  return true;
}

const InfSection *FindOpenSection(LPCSTR name) {
  if (!g_infOpen || !name) return nullptr;
  return g_inf.Find(name);
}

// The whole setup file; false with the reason.
bool ReadSetupFile(const std::string &path, std::string *content, std::string *error) {
  MachineFile file;
  DWORD e = 0;
  if (!LocateMachineFile(path, &file, &e) || !file.exists || file.isDir) {
    *error = "no such file";
    return false;
  }
  if (file.size > kMaxInfBytes) {
    *error = kTooLarge;
    return false;
  }
  if (!ReadMachineFile(file.full, content, &e)) {
    *error = "cannot be read (" + ErrorText(e) + ")";
    return false;
  }
  if (content->size() > kMaxInfBytes) {
    *error = kTooLarge;
    return false;
  }
  return true;
}

}  // namespace

const InfLine *InfSection::Find(const std::string &key) const {
  auto it = keys.find(Upper(key));
  return it == keys.end() ? nullptr : &lines[it->second];
}

const InfSection *InfFile::Find(const std::string &name) const {
  auto it = index.find(Upper(name));
  return it == index.end() ? nullptr : &sections[it->second];
}

bool ParseInf(const std::string &text, InfFile *inf, std::string *error) {
  InfFile result;
  InfSection *section = nullptr;
  size_t end = text.find('\x1a');
  if (end == std::string::npos) end = text.size();
  if (end > kMaxInfBytes) {
    *error = kTooLarge;
    return false;
  }

  int lineNo = 0;
  size_t pos = 0;
  while (pos < end) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos || nl > end) nl = end;
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    for (char c : line) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 32 && c != '\t') {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", u);
        *error = LineError(lineNo, std::string("holds the control byte ") + hex +
                                       ": this is not the text of a setup file");
        return false;
      }
    }

    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == ';') continue;

    if (trimmed[0] == '[') {
      size_t close = trimmed.find(']');
      if (close == std::string::npos) {
        *error = LineError(lineNo, "a section header lacks its \"]\"");
        return false;
      }
      std::string name = Trim(trimmed.substr(1, close - 1));
      std::string rest = Trim(trimmed.substr(close + 1));
      if (name.empty()) {
        *error = LineError(lineNo, "a section header names no section");
        return false;
      }
      if (!rest.empty() && rest[0] != ';') {
        *error = LineError(lineNo, "text follows the section header");
        return false;
      }
      auto placed = result.index.emplace(Upper(name), result.sections.size());
      if (placed.second) result.sections.push_back(InfSection{name, {}, {}});
      section = &result.sections[placed.first->second];
      continue;
    }

    if (!section) {
      *error = LineError(lineNo, "an entry stands before the first section");
      return false;
    }
    InfLine entry;
    if (!ParseEntry(line, lineNo, &entry, error)) return false;
    if (entry.hasKey) section->keys.emplace(Upper(entry.key), section->lines.size());
    section->lines.push_back(std::move(entry));
  }
  *inf = std::move(result);
  return true;
}

const InfFile *OpenedInf() {
  return g_infOpen ? &g_inf : nullptr;
}
const std::string &InfError() {
  return g_infError;
}

void ForgetInf() {
  g_inf = InfFile();
  g_infOpen = false;
  g_infError.clear();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FOpenInf(LPCSTR szFile, BOOL fCheck, BOOL fCheckSyms) {
  (void)fCheck;  // the syntax and symbol checks are always made
  (void)fCheckSyms;
  g_infOpen = false;
  g_inf = InfFile();
  if (!szFile || !*szFile) {
    g_infError = "no setup file named";
    return FALSE;
  }
  // The caller only learns that the call failed, and says so by an error number: the user is
  // told here which file, which line and why, before that.
  std::string content, why;
  InfFile parsed;
  if (!ReadSetupFile(szFile, &content, &why) || !ParseInf(content, &parsed, &why)) {
    g_infError = std::string(szFile) + ": " + why;
    TellUser(g_infError);
    return FALSE;
  }
  g_inf = std::move(parsed);
  g_infOpen = true;
  g_infError.clear();
  return TRUE;
}

int WINAPI CbGetInfSectionKeyField(LPCSTR szSection, LPCSTR szKey, USHORT iField, LPSTR szBuf,
                                   int cbBuf) {
  CopyText("", szBuf, cbBuf);
  const InfSection *section = FindOpenSection(szSection);
  const InfLine *line = section && szKey ? section->Find(szKey) : nullptr;
  if (!line) return -1;
  if (iField == 0) return CopyText(line->key, szBuf, cbBuf);
  if (iField > line->fields.size()) return 0;
  return CopyText(line->fields[iField - 1], szBuf, cbBuf);
}

BOOL WINAPI FSetSymbolToListOfInfKeys(LPCSTR szSymbol, LPCSTR szSection, BOOL fNulls) {
  if (!szSymbol || !*szSymbol) return FALSE;
  const InfSection *section = FindOpenSection(szSection);
  if (!section) return FALSE;  // a missing section is a fault of setup.inf, not an empty list
  // With fNulls a line without key stands in the list as an empty item, so that positions
  // follow the lines of the section; without it such lines are left out.
  std::vector<std::string> keys;
  std::set<std::string> seen;
  for (const InfLine &line : section->lines) {
    if (!line.hasKey) {
      if (fNulls) keys.push_back("");
      continue;
    }
    if (seen.insert(Upper(line.key)).second) keys.push_back(line.key);
  }
  return SetListSymbol(szSymbol, keys) ? TRUE : FALSE;
}

}  // extern "C"
