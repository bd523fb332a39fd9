// The registry as a tree in memory and its REGEDIT4 file: reading, writing back, and the tree
// operations that the Win32 surface and the accessors share.
#include "winsim/registry_store.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace winsim {

namespace {

const char *const kHiveNames[kHiveCount] = {"HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                            "HKEY_CURRENT_USER"};

// 1995-01-01 00:00 UTC as a FILETIME: the time of every key read from the file, and the
// origin of the machine's clock for keys written later.
const uint64_t kFileTimeBase = 124333920000000000ull;

const uint32_t kRegSz = 1, kRegBinary = 3, kRegDword = 4;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string TrimRight(const std::string &s) {
  size_t end = s.size();
  while (end > 0 && IsBlank(s[end - 1])) --end;
  return s.substr(0, end);
}

size_t SkipBlanks(const std::string &s, size_t pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  return pos;
}

bool StartsWithNoCase(const std::string &s, size_t pos, const char *prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (pos + i >= s.size()) return false;
    if (std::toupper(static_cast<unsigned char>(s[pos + i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

std::string Escape(const std::string &text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// A REG_SZ that a quoted text can carry: one terminator at the end, no line breaks.
bool IsPlainString(const std::string &data) {
  if (data.empty() || data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == '\0' || data[i] == '\r' || data[i] == '\n') return false;
  return true;
}

std::string FormatValueLine(const RegValue &v, const std::string &eol) {
  std::string out = v.name.empty() ? "@=" : "\"" + Escape(v.name) + "\"=";
  char buf[32];
  if (v.type == kRegSz && IsPlainString(v.data)) {
    return out + "\"" + Escape(v.data.substr(0, v.data.size() - 1)) + "\"" + eol;
  }
  if (v.type == kRegDword && v.data.size() == 4) {
    uint32_t d = static_cast<uint8_t>(v.data[0]) | static_cast<uint8_t>(v.data[1]) << 8 |
                 static_cast<uint8_t>(v.data[2]) << 16 |
                 static_cast<uint32_t>(static_cast<uint8_t>(v.data[3])) << 24;
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    return out + buf + eol;
  }
  if (v.type == kRegBinary) {
    out += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    out += buf;
  }
  // Lines of about 80 characters, continued with "\" and two blanks, as regedit writes them.
  size_t lineLen = out.size();
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<uint8_t>(v.data[i]));
    out += buf;
    if (i + 1 == v.data.size()) break;
    out += ',';
    lineLen += 3;
    if (lineLen >= 77) {
      out += "\\" + eol + "  ";
      lineLen = 2;
    }
  }
  return out + eol;
}

bool EndsWithNewline(const std::string &s) {
  return !s.empty() && s.back() == '\n';
}

bool EndsWithBlankLine(const std::string &s) {
  size_t n = s.size();
  if (n >= 2 && s[n - 1] == '\n' && s[n - 2] == '\n') return true;
  return n >= 3 && s[n - 1] == '\n' && s[n - 2] == '\r' && s[n - 3] == '\n';
}

void EnsureNewline(std::string &out, const std::string &eol) {
  if (!out.empty() && !EndsWithNewline(out)) out += eol;
}

bool HasSavedSubkeys(const RegKey &key) {
  for (const auto &sub : key.subkeys)
    if (!sub->isVolatile) return true;
  return false;
}

const char kClassComment[] = ";class=";

std::string FormatNewSection(const RegKey &key, const std::string &eol) {
  std::string out = "[" + RegistryKeyPath(key) + "]" + eol;
  if (!key.className.empty()) out += kClassComment + ("\"" + Escape(key.className) + "\"") + eol;
  for (const auto &v : key.values) out += FormatValueLine(*v, eol);
  return out + eol;
}

// ---- Reading ---------------------------------------------------------------------------------

class Reader {
 public:
  Reader(const std::string &text, const std::string &fileName, ImageError *error)
      : text_(text), fileName_(fileName), error_(error) {}

  std::unique_ptr<RegistryStore, RegistryStoreDeleter> Run();

 private:
  bool NextLine(std::string *raw, std::string *content);
  bool Fail(int line, const std::string &message);
  bool ReadKeyLine(const std::string &raw, const std::string &content);
  bool ReadValueLine(std::string raw, const std::string &content);
  bool ReadQuoted(const std::string &s, size_t *pos, std::string *out, const char *what);
  bool ReadHexList(std::string rest, std::string *raw, std::string *data);
  void ReadClassComment(const std::string &content, RegKey &key);

  const std::string &text_;
  std::string fileName_;
  ImageError *error_;
  size_t pos_ = 0;
  int line_ = 0;
  std::unique_ptr<RegistryStore, RegistryStoreDeleter> store_;
};

bool Reader::Fail(int line, const std::string &message) {
  if (error_) {
    error_->file = fileName_;
    error_->line = line;
    error_->message = message;
  }
  return false;
}

bool Reader::NextLine(std::string *raw, std::string *content) {
  if (pos_ >= text_.size()) return false;
  size_t nl = text_.find('\n', pos_);
  size_t end = nl == std::string::npos ? text_.size() : nl + 1;
  *raw = text_.substr(pos_, end - pos_);
  pos_ = end;
  ++line_;
  size_t len = raw->size();
  if (len > 0 && (*raw)[len - 1] == '\n') --len;
  if (len > 0 && (*raw)[len - 1] == '\r') --len;
  *content = raw->substr(0, len);
  return true;
}

std::unique_ptr<RegistryStore, RegistryStoreDeleter> Reader::Run() {
  store_.reset(new RegistryStore);
  for (int h = 0; h < kHiveCount; ++h) {
    store_->roots[h] = std::make_shared<RegKey>();
    store_->roots[h]->name = store_->roots[h]->upper = kHiveNames[h];
    store_->roots[h]->lastWrite = kFileTimeBase;
  }
  std::string raw, content;
  if (!NextLine(&raw, &content) || TrimRight(content) != "REGEDIT4") {
    Fail(1, "the first line must be REGEDIT4");
    return nullptr;
  }
  bool lf = !raw.empty() && raw.back() == '\n' && (raw.size() < 2 || raw[raw.size() - 2] != '\r');
  store_->eol = lf ? "\n" : "\r\n";
  store_->preamble = raw;
  while (NextLine(&raw, &content)) {
    size_t first = SkipBlanks(content, 0);
    char c = first < content.size() ? content[first] : ';';  // a blank line is kept as a comment
    bool ok = true;
    if (c == ';') {
      if (store_->sections.empty()) {
        store_->preamble += raw;
      } else {
        RegSection &section = store_->sections.back();
        if (section.items.empty()) ReadClassComment(content.substr(first), *section.key);
        section.items.push_back({raw, nullptr});
      }
    } else if (c == '[') {
      ok = ReadKeyLine(raw, content.substr(first));
    } else if (c == '"' || c == '@') {
      ok = ReadValueLine(raw, content.substr(first));
    } else {
      ok = Fail(line_,
                "a line must be a [key], a value, a ; comment or blank, not '" + content + "'");
    }
    if (!ok) return nullptr;
  }
  return std::move(store_);
}

bool Reader::ReadKeyLine(const std::string &raw, const std::string &content) {
  std::string t = TrimRight(content);
  if (t.size() < 2 || t.back() != ']') return Fail(line_, "the key line does not end in ]");
  std::string path = t.substr(1, t.size() - 2);
  if (!path.empty() && path[0] == '-')
    return Fail(line_, "a key deletion ([-key]) has no place in the registry file");
  // Windows key names cannot hold a NUL: the key would be unreachable by any call.
  if (path.find('\0') != std::string::npos)
    return Fail(line_, "the key path holds a NUL character");
  RegHive hive;
  std::vector<std::string> parts;
  if (!SplitRegistryPath(path, &hive, &parts)) {
    size_t slash = path.find('\\');
    std::string root = path.substr(0, slash);
    RegHive h;
    std::vector<std::string> p;
    if (!SplitRegistryPath(root, &h, &p))
      return Fail(line_, "'" + root +
                             "' is not a hive: HKEY_LOCAL_MACHINE, HKEY_USERS, "
                             "HKEY_CURRENT_USER or HKEY_CLASSES_ROOT");
    return Fail(line_, "the key path '" + path + "' has an empty key name");
  }
  std::shared_ptr<RegKey> key = store_->roots[hive];
  for (const std::string &part : parts) {
    std::shared_ptr<RegKey> sub = SubkeyRef(*key, part);
    if (!sub) {
      sub = AddSubkey(*key, part);
      sub->lastWrite = key->lastWrite = kFileTimeBase;
    }
    key = sub;
  }
  int index = static_cast<int>(store_->sections.size());
  if (key->firstSection < 0) key->firstSection = index;
  key->lastSection = index;
  store_->sections.push_back({raw, key, {}});
  return true;
}

// The comment line that carries a key's class; any other comment, or one that does not read as
// a class, stays an ordinary comment.
void Reader::ReadClassComment(const std::string &content, RegKey &key) {
  const size_t prefix = sizeof kClassComment - 1;
  if (!key.className.empty() || content.compare(0, prefix, kClassComment) != 0) return;
  size_t pos = prefix;
  if (pos >= content.size() || content[pos] != '"') return;
  std::string text;
  ImageError *keep = error_;
  error_ = nullptr;  // a comment that does not read is no fault of the file
  bool ok = ReadQuoted(content, &pos, &text, "class");
  error_ = keep;
  if (ok && SkipBlanks(content, pos) == content.size()) key.className = text;
}

bool Reader::ReadQuoted(const std::string &s, size_t *pos, std::string *out, const char *what) {
  size_t i = *pos + 1;  // past the opening quote
  out->clear();
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) break;
      char n = s[i + 1];
      if (n != '\\' && n != '"')
        return Fail(line_, std::string("the ") + what + " holds the escape \\" + n +
                               "; only \\\\ and \\\" are known");
      *out += n;
      i += 2;
      continue;
    }
    *out += c;
    ++i;
  }
  return Fail(line_, std::string("the ") + what + " has no closing \"");
}

// Reads a comma-separated list of hex bytes; a line that ends in "\" continues on the next.
bool Reader::ReadHexList(std::string rest, std::string *raw, std::string *data) {
  for (;;) {
    std::string t = TrimRight(rest);
    bool continued = !t.empty() && t.back() == '\\';
    if (continued) t.pop_back();
    size_t p = SkipBlanks(t, 0);
    while (p < t.size()) {
      size_t comma = t.find(',', p);
      std::string token =
          TrimRight(t.substr(p, comma == std::string::npos ? std::string::npos : comma - p));
      if (token.empty() || token.size() > 2 || HexDigit(token[0]) < 0 ||
          (token.size() == 2 && HexDigit(token[1]) < 0))
        return Fail(line_, "'" + token + "' is not a hex byte");
      int v = HexDigit(token[0]);
      if (token.size() == 2) v = v * 16 + HexDigit(token[1]);
      *data += static_cast<char>(v);
      if (comma == std::string::npos) break;
      p = SkipBlanks(t, comma + 1);
      if (p >= t.size() && !continued) return Fail(line_, "the hex list ends with a comma");
    }
    if (!continued) return true;
    std::string content;
    std::string more;
    if (!NextLine(&more, &content))
      return Fail(line_, "the hex list continues past the end of the file");
    *raw += more;
    rest = content;
  }
}

bool Reader::ReadValueLine(std::string raw, const std::string &content) {
  if (store_->sections.empty()) return Fail(line_, "a value comes before the first [key] line");
  std::string name;
  size_t pos = 0;
  if (content[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(content, &pos, &name, "value name")) {
    return false;
  }
  pos = SkipBlanks(content, pos);
  if (pos >= content.size() || content[pos] != '=')
    return Fail(line_, "the value name is not followed by =");
  pos = SkipBlanks(content, pos + 1);

  uint32_t type = 0;
  std::string data;
  if (pos < content.size() && content[pos] == '"') {
    if (!ReadQuoted(content, &pos, &data, "text")) return false;
    if (SkipBlanks(content, pos) != content.size())
      return Fail(line_, "text follows the closing \" of the value");
    type = kRegSz;
    data += '\0';
  } else if (StartsWithNoCase(content, pos, "dword:")) {
    std::string digits = TrimRight(content.substr(pos + 6));
    bool ok = !digits.empty() && digits.size() <= 8;
    uint32_t v = 0;
    for (char c : digits) {
      ok = ok && HexDigit(c) >= 0;
      if (ok) v = v * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    if (!ok) return Fail(line_, "dword: takes 1 to 8 hex digits, not '" + digits + "'");
    type = kRegDword;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
  } else if (StartsWithNoCase(content, pos, "hex")) {
    size_t p = pos + 3;
    if (p < content.size() && content[p] == '(') {
      size_t close = content.find(')', p);
      std::string digits = close == std::string::npos ? "" : content.substr(p + 1, close - p - 1);
      bool ok = !digits.empty() && digits.size() <= 8;
      uint32_t v = 0;
      for (char c : digits) {
        ok = ok && HexDigit(c) >= 0;
        if (ok) v = v * 16 + static_cast<uint32_t>(HexDigit(c));
      }
      if (!ok) return Fail(line_, "hex(N): takes a type of 1 to 8 hex digits");
      type = v;
      p = close + 1;
    } else {
      type = kRegBinary;
    }
    if (p >= content.size() || content[p] != ':') return Fail(line_, "hex is not followed by :");
    if (!ReadHexList(content.substr(p + 1), &raw, &data)) return false;
  } else if (pos < content.size() && content[pos] == '-') {
    return Fail(line_, "a value deletion (=-) has no place in the registry file");
  } else {
    return Fail(line_, "the value's data must be \"text\", dword:, hex: or hex(N):");
  }

  RegSection &section = store_->sections.back();
  RegKey &key = *section.key;
  if (FindValue(key, name))
    return Fail(line_,
                (name.empty() ? std::string("the default value") : "value \"" + name + "\"") +
                    " is given twice for [" + RegistryKeyPath(key) + "]");
  auto value = std::make_shared<RegValue>();
  value->name = name;
  value->type = type;
  value->data = std::move(data);
  value->placed = true;
  key.values.push_back(value);
  section.items.push_back({raw, value});
  return true;
}

void MarkDeleted(RegKey &key) {
  key.deleted = true;
  for (auto &sub : key.subkeys) MarkDeleted(*sub);
}

RegKey *WalkPath(const RegistryStore &store, const std::string &fullPath) {
  RegHive hive;
  std::vector<std::string> parts;
  if (!SplitRegistryPath(fullPath, &hive, &parts)) return nullptr;
  RegKey *key = store.roots[hive].get();
  for (const std::string &part : parts) {
    key = FindSubkey(*key, part);
    if (!key) return nullptr;
  }
  return key;
}

}  // namespace

void RegistryStoreDeleter::operator()(RegistryStore *store) const {
  delete store;
}

std::unique_ptr<RegistryStore, RegistryStoreDeleter> ParseRegistry(const std::string &text,
                                                                   const std::string &fileName,
                                                                   ImageError *error) {
  return Reader(text, fileName, error).Run();
}

// ---- Writing ---------------------------------------------------------------------------------

std::string FormatRegistry(const RegistryStore &store) {
  // New sections go after the section of the key that precedes them in tree order, so that a
  // key created below an existing one is written next to it.
  std::vector<std::vector<const RegKey *>> after(store.sections.size());
  std::vector<const RegKey *> front;
  int anchor = -1;
  std::function<void(const RegKey &)> visit = [&](const RegKey &key) {
    if (key.isVolatile) return;
    if (key.lastSection >= 0) {
      anchor = key.lastSection;
    } else if (key.parent ? (!key.values.empty() || !key.className.empty() || !HasSavedSubkeys(key))
                          : !key.values.empty()) {
      (anchor < 0 ? front : after[static_cast<size_t>(anchor)]).push_back(&key);
    }
    for (const auto &sub : key.subkeys) visit(*sub);
  };
  for (const auto &root : store.roots) visit(*root);

  std::string out = store.preamble;
  auto emitNew = [&](const std::vector<const RegKey *> &keys) {
    for (const RegKey *key : keys) {
      EnsureNewline(out, store.eol);
      if (!EndsWithBlankLine(out)) out += store.eol;
      out += FormatNewSection(*key, store.eol);
    }
  };
  emitNew(front);
  for (size_t i = 0; i < store.sections.size(); ++i) {
    const RegSection &s = store.sections[i];
    const RegKey &key = *s.key;
    if (!key.deleted && !key.isVolatile) {
      out += s.keyLine;
      bool first = key.firstSection == static_cast<int>(i);
      size_t lastValue = 0;  // new values go after the last value line, or after the key line
      for (size_t j = 0; j < s.items.size(); ++j)
        if (s.items[j].value) lastValue = j + 1;
      for (size_t j = 0; j <= s.items.size(); ++j) {
        if (first && j == lastValue) {
          for (const auto &v : key.values)
            if (!v->placed) {
              EnsureNewline(out, store.eol);
              out += FormatValueLine(*v, store.eol);
            }
        }
        if (j == s.items.size()) break;
        const RegSectionItem &item = s.items[j];
        if (item.value && item.value->dead) continue;
        if (item.value && item.value->changed) {
          EnsureNewline(out, store.eol);
          out += FormatValueLine(*item.value, store.eol);
        } else {
          out += item.raw;
        }
      }
    }
    emitNew(after[i]);
  }
  return out;
}

std::string FormatRegistryTree(const RegKey &key, const std::string &eol) {
  std::string out = "REGEDIT4" + eol + eol;
  std::function<void(const RegKey &)> visit = [&](const RegKey &k) {
    if (k.isVolatile) return;
    out += FormatNewSection(k, eol);
    for (const auto &sub : k.subkeys) visit(*sub);
  };
  visit(key);
  return out;
}

std::shared_ptr<RegKey> ParseSavedKey(const std::string &text, const std::string &fileName,
                                      std::unique_ptr<RegistryStore, RegistryStoreDeleter> *saved) {
  *saved = ParseRegistry(text, fileName, nullptr);
  if (!*saved || (*saved)->sections.empty()) return nullptr;
  std::shared_ptr<RegKey> root = (*saved)->sections[0].key;
  for (const RegSection &s : (*saved)->sections)
    for (const RegKey *k = s.key.get(); k != root.get(); k = k->parent)
      if (!k) return nullptr;
  return root;
}

namespace {

// Makes the values and keys below `key`, read from a saved file, new to this store: written in
// canonical form, timed now.
void Adopt(RegKey &key) {
  TouchKey(key);
  for (auto &v : key.values) v->placed = v->changed = false;
  for (auto &sub : key.subkeys) {
    sub->parent = &key;
    sub->firstSection = sub->lastSection = -1;
    Adopt(*sub);
  }
}

}  // namespace

void ReplaceKeyContents(RegKey &key, const RegKey &savedRoot) {
  for (auto &sub : key.subkeys) MarkDeleted(*sub);
  for (auto &v : key.values) v->dead = true;
  key.subkeys = savedRoot.subkeys;
  key.values = savedRoot.values;
  Adopt(key);
}

std::vector<std::string> SplitAt(const std::string &text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// ---- Tree operations -------------------------------------------------------------------------

std::string RegistryKeyPath(const RegKey &key) {
  if (!key.parent) return key.name;
  return RegistryKeyPath(*key.parent) + "\\" + key.name;
}

bool SplitRegistryPath(const std::string &fullPath, RegHive *hive,
                       std::vector<std::string> *components) {
  components->clear();
  std::vector<std::string> parts = SplitAt(fullPath, '\\');
  for (const std::string &p : parts)
    if (p.empty()) return false;
  std::string root = Upper(parts[0]);
  bool classes = root == "HKEY_CLASSES_ROOT";
  if (classes) {
    *hive = kHiveLocalMachine;
    components->push_back("SOFTWARE");
    components->push_back("Classes");
  } else {
    int h = 0;
    while (h < kHiveCount && root != kHiveNames[h]) ++h;
    if (h == kHiveCount) return false;
    *hive = static_cast<RegHive>(h);
  }
  components->insert(components->end(), parts.begin() + 1, parts.end());
  return true;
}

RegKey *FindSubkey(const RegKey &parent, const std::string &name) {
  return SubkeyRef(parent, name).get();
}

std::shared_ptr<RegKey> SubkeyRef(const RegKey &parent, const std::string &name) {
  std::string upper = Upper(name);
  auto it = std::lower_bound(
      parent.subkeys.begin(), parent.subkeys.end(), upper,
      [](const std::shared_ptr<RegKey> &k, const std::string &u) { return k->upper < u; });
  if (it != parent.subkeys.end() && (*it)->upper == upper) return *it;
  return nullptr;
}

std::shared_ptr<RegKey> AddSubkey(RegKey &parent, const std::string &name) {
  auto key = std::make_shared<RegKey>();
  key->name = name;
  key->upper = Upper(name);
  key->parent = &parent;
  auto it = std::lower_bound(
      parent.subkeys.begin(), parent.subkeys.end(), key->upper,
      [](const std::shared_ptr<RegKey> &k, const std::string &u) { return k->upper < u; });
  parent.subkeys.insert(it, key);
  TouchKey(*key);
  TouchKey(parent);
  return key;
}

void RemoveSubkey(RegKey &key) {
  // Marked first: the parent may hold the key's last reference, and then the key goes with it.
  MarkDeleted(key);
  RegKey *parent = key.parent;
  if (parent) {
    auto &subs = parent->subkeys;
    subs.erase(std::remove_if(subs.begin(), subs.end(),
                              [&](const std::shared_ptr<RegKey> &k) { return k.get() == &key; }),
               subs.end());
    TouchKey(*parent);
  }
}

RegValue *FindValue(const RegKey &key, const std::string &name) {
  std::string upper = Upper(name);
  for (const auto &v : key.values)
    if (v->name.size() == name.size() && Upper(v->name) == upper) return v.get();
  return nullptr;
}

void SetValue(RegKey &key, const std::string &name, uint32_t type, const std::string &data) {
  TouchKey(key);
  if (RegValue *v = FindValue(key, name)) {
    if (v->type == type && v->data == data) return;
    v->type = type;
    v->data = data;
    v->changed = true;
    return;
  }
  auto v = std::make_shared<RegValue>();
  v->name = name;
  v->type = type;
  v->data = data;
  key.values.push_back(v);
}

bool DeleteValue(RegKey &key, const std::string &name) {
  std::string upper = Upper(name);
  for (size_t i = 0; i < key.values.size(); ++i) {
    if (Upper(key.values[i]->name) == upper) {
      key.values[i]->dead = true;
      key.values.erase(key.values.begin() + static_cast<long>(i));
      TouchKey(key);
      return true;
    }
  }
  return false;
}

void TouchKey(RegKey &key) {
  key.lastWrite = kFileTimeBase + NowMs() * 10000ull;
}

// ---- Accessors by full path ------------------------------------------------------------------

RegKey *FindRegistryKey(const RegistryStore &store, const std::string &fullPath) {
  return WalkPath(store, fullPath);
}

RegKey *CreateRegistryKey(RegistryStore &store, const std::string &fullPath) {
  RegHive hive;
  std::vector<std::string> parts;
  if (!SplitRegistryPath(fullPath, &hive, &parts)) return nullptr;
  RegKey *key = store.roots[hive].get();
  for (const std::string &part : parts) {
    RegKey *sub = FindSubkey(*key, part);
    key = sub ? sub : AddSubkey(*key, part).get();
  }
  return key;
}

bool GetRegistryValue(const RegistryStore &store, const std::string &fullPath,
                      const std::string &name, uint32_t *type, std::string *data) {
  RegKey *key = WalkPath(store, fullPath);
  RegValue *v = key ? FindValue(*key, name) : nullptr;
  if (!v) return false;
  if (type) *type = v->type;
  if (data) *data = v->data;
  return true;
}

bool DeleteRegistryTree(RegistryStore &store, const std::string &fullPath) {
  RegKey *key = WalkPath(store, fullPath);
  if (!key || !key->parent) return false;
  RemoveSubkey(*key);
  return true;
}

}  // namespace winsim
