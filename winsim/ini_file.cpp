#include "winsim/ini_file.h"

#include <cctype>

#include "winsim/machine.h"

namespace winsim {

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

namespace {

enum class LineKind { Blank, Comment, Section, Entry, Other };

LineKind Classify(const std::string &raw, std::string *name, std::string *value) {
  std::string t = Trim(raw);
  if (t.empty()) return LineKind::Blank;
  if (t[0] == ';') return LineKind::Comment;
  if (t[0] == '[') {
    size_t close = t.find(']');
    if (close == std::string::npos) return LineKind::Other;
    *name = Trim(t.substr(1, close - 1));
    return LineKind::Section;
  }
  size_t eq = t.find('=');
  if (eq == std::string::npos || eq == 0) return LineKind::Other;
  *name = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  if (name->empty()) return LineKind::Other;
  return LineKind::Entry;
}

}  // namespace

bool IniFile::Parse(const std::string &text, bool strict, int *errorLine,
                    std::string *errorMessage) {
  lines_.clear();
  newline_ = text.find("\r\n") != std::string::npos || text.find('\n') == std::string::npos ? "\r\n"
                                                                                            : "\n";
  finalNewline_ = text.empty() || text.back() == '\n';
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(line);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  if (strict) {
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
      std::string name, value;
      LineKind kind = Classify(lines_[i], &name, &value);
      const char *fault = nullptr;
      if (kind == LineKind::Other) {
        std::string t = Trim(lines_[i]);
        fault = t[0] == '[' ? "section header without closing ']'" : "expected 'key = value'";
      } else if (kind == LineKind::Section && name.empty()) {
        fault = "empty section name";
      } else if (kind == LineKind::Entry && !inSection) {
        fault = "entry before the first [section]";
      }
      if (kind == LineKind::Section) inSection = true;
      if (fault) {
        if (errorLine) *errorLine = static_cast<int>(i + 1);
        if (errorMessage) *errorMessage = fault;
        return false;
      }
    }
  }
  Rebuild();
  return true;
}

void IniFile::Rebuild() {
  sections_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string name, value;
    switch (Classify(lines_[i], &name, &value)) {
      case LineKind::Section: {
        Section s;
        s.name = name;
        s.line = static_cast<int>(i + 1);
        sections_.push_back(s);
        break;
      }
      case LineKind::Entry:
        if (!sections_.empty()) sections_.back().entries.push_back({name, value, int(i + 1)});
        break;
      default:
        break;
    }
  }
}

const IniFile::Section *IniFile::FindSection(const std::string &name) const {
  for (const Section &s : sections_)
    if (EqualNoCase(s.name, name)) return &s;
  return nullptr;
}

const std::string *IniFile::Find(const std::string &section, const std::string &key) const {
  // Windows reads the first section of that name and the first key of that name in it.
  const Section *s = FindSection(section);
  if (!s) return nullptr;
  for (const Entry &e : s->entries)
    if (EqualNoCase(e.key, key)) return &e.value;
  return nullptr;
}

void IniFile::Set(const std::string &section, const std::string &key, const std::string &value) {
  const Section *s = FindSection(section);
  if (!s) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back("");
    lines_.push_back("[" + section + "]");
    lines_.push_back(key + "=" + value);
    Rebuild();
    return;
  }
  for (const Entry &e : s->entries) {
    if (EqualNoCase(e.key, key)) {
      // Keep the spacing style of the line: "key = value" stays so.
      std::string &raw = lines_[e.line - 1];
      size_t eq = raw.find('=');
      size_t valueStart = eq + 1;
      while (valueStart < raw.size() && (raw[valueStart] == ' ' || raw[valueStart] == '\t'))
        ++valueStart;
      raw = raw.substr(0, valueStart) + value;
      Rebuild();
      return;
    }
  }
  // New key: after the section's last entry (or its header).
  int after = s->entries.empty() ? s->line : s->entries.back().line;
  std::string style = " = ";
  if (!s->entries.empty()) {
    const std::string &raw = lines_[s->entries.back().line - 1];
    size_t eq = raw.find('=');
    if (eq != std::string::npos && eq > 0 && raw[eq - 1] != ' ') style = "=";
  }
  lines_.insert(lines_.begin() + after, key + style + value);
  Rebuild();
}

bool IniFile::Remove(const std::string &section, const std::string &key) {
  const Section *s = FindSection(section);
  if (!s) return false;
  for (const Entry &e : s->entries) {
    if (EqualNoCase(e.key, key)) {
      lines_.erase(lines_.begin() + (e.line - 1));
      Rebuild();
      return true;
    }
  }
  return false;
}

bool IniFile::RemoveSection(const std::string &section) {
  const Section *s = FindSection(section);
  if (!s) return false;
  size_t begin = s->line - 1, end = begin + 1;
  std::string name, value;
  while (end < lines_.size() && Classify(lines_[end], &name, &value) != LineKind::Section) ++end;
  lines_.erase(lines_.begin() + begin, lines_.begin() + end);
  Rebuild();
  return true;
}

std::string IniFile::Text() const {
  std::string out;
  for (size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i];
    if (i + 1 < lines_.size() || finalNewline_) out += newline_;
  }
  return out;
}

std::string QuoteField(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::vector<std::string> SplitQuotedFields(const std::string &text) {
  std::vector<std::string> fields;
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        current += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(current);
      current.clear();
    } else if (c != ' ' && c != '\t') {
      current += c;
    }
  }
  fields.push_back(current);
  return fields;
}

}  // namespace winsim
