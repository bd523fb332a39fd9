// The resource script reader: the RC syntax that dialog libraries are written in (preprocessor
// #include, #define and conditionals; DIALOG/DIALOGEX with their controls, BITMAP, STRINGTABLE,
// VERSIONINFO), turned into the resources that FindResourceA, DialogBoxParamA and LoadBitmapA
// find. Names of <windows.h> that scripts use are known without reading a header.
#include "winsim/resources.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace winsim {
namespace {

// The <windows.h> names a resource script may use, with their values.
const std::pair<const char *, long> kWindowsNames[] = {
    {"WS_OVERLAPPED", 0},
    {"WS_POPUP", 0x80000000L},
    {"WS_CHILD", 0x40000000L},
    {"WS_VISIBLE", 0x10000000L},
    {"WS_DISABLED", 0x08000000L},
    {"WS_CAPTION", 0x00C00000L},
    {"WS_BORDER", 0x00800000L},
    {"WS_DLGFRAME", 0x00400000L},
    {"WS_VSCROLL", 0x00200000L},
    {"WS_HSCROLL", 0x00100000L},
    {"WS_SYSMENU", 0x00080000L},
    {"WS_THICKFRAME", 0x00040000L},
    {"WS_GROUP", 0x00020000L},
    {"WS_TABSTOP", 0x00010000L},
    {"WS_EX_DLGMODALFRAME", 0x1},
    {"WS_EX_CLIENTEDGE", 0x200},
    {"DS_ABSALIGN", 0x1},
    {"DS_SYSMODAL", 0x2},
    {"DS_3DLOOK", 0x4},
    {"DS_SETFONT", 0x40},
    {"DS_MODALFRAME", 0x80},
    {"DS_SETFOREGROUND", 0x200},
    {"DS_CENTER", 0x800},
    {"BS_PUSHBUTTON", 0},
    {"BS_DEFPUSHBUTTON", 1},
    {"BS_CHECKBOX", 2},
    {"BS_AUTOCHECKBOX", 3},
    {"BS_RADIOBUTTON", 4},
    {"BS_GROUPBOX", 7},
    {"BS_AUTORADIOBUTTON", 9},
    {"BS_MULTILINE", 0x2000},
    {"SS_LEFT", 0},
    {"SS_CENTER", 1},
    {"SS_RIGHT", 2},
    {"SS_ICON", 3},
    {"SS_BITMAP", 0xE},
    {"SS_NOPREFIX", 0x80},
    {"ES_LEFT", 0},
    {"ES_AUTOHSCROLL", 0x80},
    {"ES_READONLY", 0x800},
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDABORT", 3},
    {"IDRETRY", 4},
    {"IDIGNORE", 5},
    {"IDYES", 6},
    {"IDNO", 7},
    {"IDHELP", 9},
    {"VS_VERSION_INFO", 1},
};

const char *const kMemoryFlags[] = {"DISCARDABLE", "MOVEABLE",   "FIXED",  "PURE",     "IMPURE",
                                    "PRELOAD",     "LOADONCALL", "SHARED", "NONSHARED"};

const uint32_t kChild = 0x40000000u, kVisible = 0x10000000u, kGroup = 0x00020000u,
               kTabStop = 0x00010000u, kBorder = 0x00800000u, kCaption = 0x00C00000u,
               kPopup = 0x80000000u, kSysMenu = 0x00080000u;

struct Token {
  enum Kind { kName, kNumber, kString, kPunct, kEnd } kind = kEnd;
  std::string text;  // name, string content, punctuation
  long value = 0;
  std::string file;
  int line = 0;
};

struct Failure {
  std::string message;
};

class Reader {
 public:
  explicit Reader(const ScriptFileReader &readFile) : readFile_(readFile) {
    for (const auto &n : kWindowsNames) defines_[n.first] = std::to_string(n.second);
  }

  void Preprocess(const std::string &name, int depth) {
    if (depth > 16) throw Failure{name + ": #include nested too deeply"};
    std::string content;
    if (!readFile_(name, &content)) throw Failure{name + ": cannot be read"};
    std::string text = StripComments(content);
    std::vector<bool> active;  // one entry per open conditional
    size_t pos = 0;
    int line = 0;
    while (pos < text.size() || (pos == text.size() && line == 0)) {
      size_t nl = text.find('\n', pos);
      std::string l = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
      pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
      ++line;
      bool on = true;
      for (bool a : active) on = on && a;
      size_t first = l.find_first_not_of(" \t\r");
      if (first != std::string::npos && l[first] == '#') {
        Directive(l.substr(first + 1), name, line, depth, on, &active);
        continue;
      }
      if (on) Tokenize(l, name, line);
    }
    if (!active.empty()) throw Failure{name + ": #if without #endif"};
  }

  void ParseAll(ModuleResources *out) {
    while (Peek().kind != Token::kEnd) Statement(out);
  }

 private:
  // ---- preprocessing ---------------------------------------------------------------------

  static std::string StripComments(const std::string &in) {
    std::string out;
    bool inString = false;
    for (size_t i = 0; i < in.size(); ++i) {
      char c = in[i];
      if (inString) {
        out += c;
        if (c == '"') inString = false;
        if (c == '\n') inString = false;
        continue;
      }
      if (c == '"') {
        inString = true;
        out += c;
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
        while (i < in.size() && in[i] != '\n') ++i;
        if (i < in.size()) out += '\n';
      } else if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
        i += 2;
        while (i + 1 < in.size() && !(in[i] == '*' && in[i + 1] == '/')) {
          if (in[i] == '\n') out += '\n';  // keeps the line numbers
          ++i;
        }
        ++i;
        out += ' ';
      } else {
        out += c;
      }
    }
    return out;
  }

  static std::string Trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
  }

  void Directive(const std::string &body, const std::string &file, int line, int depth, bool on,
                 std::vector<bool> *active) {
    std::string d = Trim(body);
    size_t sp = d.find_first_of(" \t");
    std::string word = d.substr(0, sp);
    std::string rest = sp == std::string::npos ? "" : Trim(d.substr(sp));
    std::string where = file + ":" + std::to_string(line) + ": ";
    if (word == "ifndef" || word == "ifdef") {
      bool defined = defines_.count(rest) != 0;
      active->push_back(word == "ifdef" ? defined : !defined);
    } else if (word == "if") {
      active->push_back(std::strtol(rest.c_str(), nullptr, 0) != 0);
    } else if (word == "else") {
      if (active->empty()) throw Failure{where + "#else without #if"};
      active->back() = !active->back();
    } else if (word == "endif") {
      if (active->empty()) throw Failure{where + "#endif without #if"};
      active->pop_back();
    } else if (!on) {
      return;
    } else if (word == "define") {
      size_t s = rest.find_first_of(" \t");
      std::string name = rest.substr(0, s);
      if (name.empty() || name.find('(') != std::string::npos)
        throw Failure{where + "only #define NAME value is understood"};
      defines_[name] = s == std::string::npos ? "" : Trim(rest.substr(s));
    } else if (word == "undef") {
      defines_.erase(rest);
    } else if (word == "include") {
      if (rest.size() > 2 && rest.front() == '<' && rest.back() == '>') return;  // system header
      if (rest.size() < 2 || rest.front() != '"' || rest.back() != '"')
        throw Failure{where + "#include takes \"file\" or <file>"};
      Preprocess(rest.substr(1, rest.size() - 2), depth + 1);
    } else if (word != "pragma") {
      throw Failure{where + "unknown directive #" + word};
    }
  }

  void Tokenize(const std::string &l, const std::string &file, int line) {
    size_t i = 0;
    while (i < l.size()) {
      char c = l[i];
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++i;
        continue;
      }
      Token t;
      t.file = file;
      t.line = line;
      if (c == '"') {
        t.kind = Token::kString;
        ++i;
        for (;;) {
          if (i >= l.size()) throw Failure{file + ":" + std::to_string(line) + ": unended text"};
          char ch = l[i++];
          if (ch == '"') {
            if (i < l.size() && l[i] == '"') {  // "" is a quote inside the text
              t.text += '"';
              ++i;
              continue;
            }
            break;
          }
          if (ch == '\\' && i < l.size()) {
            char e = l[i++];
            t.text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'a' ? '\a' : e;
            continue;
          }
          t.text += ch;
        }
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        t.kind = Token::kNumber;
        char *end = nullptr;
        t.value = static_cast<long>(std::strtoul(l.c_str() + i, &end, 0));
        i = static_cast<size_t>(end - l.c_str());
        while (i < l.size() && (l[i] == 'L' || l[i] == 'l' || l[i] == 'U' || l[i] == 'u')) ++i;
      } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        size_t b = i;
        while (i < l.size() && (std::isalnum(static_cast<unsigned char>(l[i])) || l[i] == '_')) ++i;
        std::string name = l.substr(b, i - b);
        auto def = defines_.find(name);
        if (def != defines_.end()) {
          // A defined name stands for its value's tokens.
          if (++expanding_ > 32)
            throw Failure{file + ":" + std::to_string(line) + ": " + name +
                          " is defined through itself"};
          Tokenize(def->second, file, line);
          --expanding_;
          continue;
        }
        t.kind = Token::kName;
        t.text = name;
      } else {
        t.kind = Token::kPunct;
        t.text = std::string(1, c);
        ++i;
      }
      tokens_.push_back(t);
    }
  }

  // ---- parsing ---------------------------------------------------------------------------

  const Token &Peek(size_t ahead = 0) {
    static const Token end;
    return next_ + ahead < tokens_.size() ? tokens_[next_ + ahead] : end;
  }
  Token Take() {
    Token t = Peek();
    if (next_ < tokens_.size()) ++next_;
    return t;
  }
  [[noreturn]] void Fail(const std::string &what) {
    const Token &t = next_ < tokens_.size() ? tokens_[next_] : tokens_.back();
    throw Failure{t.file + ":" + std::to_string(t.line) + ": " + what};
  }
  bool IsName(const char *name, size_t ahead = 0) {
    const Token &t = Peek(ahead);
    return t.kind == Token::kName && t.text == name;
  }
  bool IsPunct(char c) { return Peek().kind == Token::kPunct && Peek().text[0] == c; }
  void Expect(char c) {
    if (!IsPunct(c)) Fail(std::string("'") + c + "' expected");
    Take();
  }
  bool SkipComma() {
    if (!IsPunct(',')) return false;
    Take();
    return true;
  }
  void Begin() {
    if (IsName("BEGIN") || IsPunct('{')) {
      Take();
      return;
    }
    Fail("BEGIN expected");
  }
  bool AtEnd() { return IsName("END") || IsPunct('}'); }
  std::string String() {
    if (Peek().kind != Token::kString) Fail("a text in double quotes expected");
    return Take().text;
  }

  long Primary() {
    const Token &t = Peek();
    if (t.kind == Token::kNumber) return Take().value;
    if (IsPunct('(')) {
      Take();
      long v = Expression();
      Expect(')');
      return v;
    }
    if (IsPunct('-')) {
      Take();
      return -Primary();
    }
    if (IsPunct('~')) {
      Take();
      return ~Primary();
    }
    if (t.kind == Token::kName) Fail("unknown name " + t.text);
    Fail("a number expected");
  }
  long Expression() {
    long v = Primary();
    while (IsPunct('|') || IsPunct('+') || IsPunct('-') || IsPunct('&')) {
      char op = Take().text[0];
      long r = Primary();
      v = op == '|' ? (v | r) : op == '+' ? v + r : op == '-' ? v - r : (v & r);
    }
    return v;
  }
  // A style: terms joined by '|', each adding its bits or, after NOT, taking them away.
  uint32_t Style(uint32_t base) {
    for (;;) {
      bool clear = false;
      if (IsName("NOT")) {
        Take();
        clear = true;
      }
      uint32_t v = static_cast<uint32_t>(Primary());
      base = clear ? (base & ~v) : (base | v);
      if (!IsPunct('|')) return base;
      Take();
    }
  }

  void SkipMemoryFlags() {
    for (bool more = true; more;) {
      more = false;
      for (const char *f : kMemoryFlags)
        if (IsName(f)) {
          Take();
          more = true;
        }
    }
  }

  void SkipBlock() {
    Begin();
    int depth = 1;
    while (depth > 0) {
      if (Peek().kind == Token::kEnd) Fail("END expected");
      if (IsName("BEGIN") || IsPunct('{'))
        ++depth;
      else if (AtEnd())
        --depth;
      Take();
    }
  }

  void Statement(ModuleResources *out) {
    if (IsName("LANGUAGE")) {
      Take();
      Expression();
      Expect(',');
      Expression();
      return;
    }
    if (IsName("STRINGTABLE")) {
      Take();
      SkipMemoryFlags();
      while (!IsName("BEGIN") && !IsPunct('{') && Peek().kind != Token::kEnd) Take();
      Begin();
      while (!AtEnd()) {
        unsigned id = static_cast<unsigned>(Expression());
        SkipComma();
        out->strings[id] = String();
      }
      Take();
      return;
    }
    if (Peek().kind == Token::kName && Peek(1).kind == Token::kName &&
        Peek(1).text == "VERSIONINFO" && Peek().text != "VERSIONINFO")
      Take();  // a named version resource
    unsigned id = 0;
    if (!IsName("VERSIONINFO")) id = static_cast<unsigned>(Expression());
    if (Peek().kind != Token::kName) Fail("a resource type expected");
    std::string type = Take().text;
    if (type == "DIALOG" || type == "DIALOGEX") {
      Dialog(id, type == "DIALOGEX", out);
    } else if (type == "BITMAP") {
      SkipMemoryFlags();
      int line = Peek().line;
      std::string file = String(), content;
      if (!readFile_(file, &content)) Fail("bitmap " + file + " cannot be read");
      if (content.size() < 14 + 40 || content.compare(0, 2, "BM") != 0)
        throw Failure{file + ": not a bitmap file (line " + std::to_string(line) + ")"};
      out->bitmaps[id] = content.substr(14);  // the resource holds the DIB without file header
    } else if (type == "VERSIONINFO") {
      while (!IsName("BEGIN") && !IsPunct('{') && Peek().kind != Token::kEnd) Take();
      SkipBlock();
      out->hasVersion = true;
    } else {
      Fail("resource type " + type + " is not understood");
    }
  }

  void Dialog(unsigned id, bool ex, ModuleResources *out) {
    DialogTemplate d;
    d.id = id;
    SkipMemoryFlags();
    d.x = static_cast<int>(Expression());
    Expect(',');
    d.y = static_cast<int>(Expression());
    Expect(',');
    d.cx = static_cast<int>(Expression());
    Expect(',');
    d.cy = static_cast<int>(Expression());
    if (ex && SkipComma()) Expression();  // help id
    d.style = kPopup | kBorder | kSysMenu;
    bool styled = false;
    while (!IsName("BEGIN") && !IsPunct('{')) {
      if (Peek().kind != Token::kName) Fail("BEGIN expected");
      std::string option = Take().text;
      if (option == "STYLE") {
        d.style = Style(styled ? d.style : 0);
        styled = true;
      } else if (option == "CAPTION") {
        d.caption = String();
        d.style |= kCaption;
      } else if (option == "FONT") {
        Expression();
        Expect(',');
        String();
        while (SkipComma()) Expression();
      } else if (option == "EXSTYLE") {
        Style(0);
      } else if (option == "LANGUAGE") {
        Expression();
        Expect(',');
        Expression();
      } else if (option == "CHARACTERISTICS" || option == "VERSION") {
        Expression();
      } else if (option == "MENU" || option == "CLASS") {
        Take();
      } else {
        Fail("dialog option " + option + " is not understood");
      }
    }
    Take();
    while (!AtEnd()) d.controls.push_back(Control());
    Take();
    if (out->dialogs.count(id)) Fail("dialog " + std::to_string(id) + " is defined twice");
    out->dialogs[id] = d;
  }

  ControlTemplate Control() {
    if (Peek().kind != Token::kName) Fail("a control expected");
    std::string kind = Take().text;
    struct Kind {
      const char *name, *cls;
      uint32_t style;
      bool hasText;
    };
    static const Kind kKinds[] = {
        {"LTEXT", "STATIC", 0x0 | kGroup, true},
        {"CTEXT", "STATIC", 0x1 | kGroup, true},
        {"RTEXT", "STATIC", 0x2 | kGroup, true},
        {"PUSHBUTTON", "BUTTON", 0x0 | kTabStop, true},
        {"DEFPUSHBUTTON", "BUTTON", 0x1 | kTabStop, true},
        {"CHECKBOX", "BUTTON", 0x2 | kTabStop, true},
        {"AUTOCHECKBOX", "BUTTON", 0x3 | kTabStop, true},
        {"RADIOBUTTON", "BUTTON", 0x4, true},
        {"GROUPBOX", "BUTTON", 0x7, true},
        {"AUTORADIOBUTTON", "BUTTON", 0x9, true},
        {"EDITTEXT", "EDIT", kBorder | kTabStop, false},
    };
    ControlTemplate c;
    c.style = kChild | kVisible;
    if (kind == "CONTROL") {
      c.text = String();
      Expect(',');
      c.id = static_cast<int>(Expression());
      Expect(',');
      if (Peek().kind == Token::kString || Peek().kind == Token::kName)
        c.windowClass = Take().text;
      else
        Fail("a window class expected");
      Expect(',');
      c.style = Style(c.style);
      Expect(',');
    } else {
      const Kind *k = nullptr;
      for (const Kind &candidate : kKinds)
        if (kind == candidate.name) k = &candidate;
      if (!k) Fail("control " + kind + " is not understood");
      c.windowClass = k->cls;
      c.style |= k->style;
      if (k->hasText) {
        c.text = String();
        Expect(',');
      }
      c.id = static_cast<int>(Expression());
      Expect(',');
    }
    c.x = static_cast<int>(Expression());
    Expect(',');
    c.y = static_cast<int>(Expression());
    Expect(',');
    c.cx = static_cast<int>(Expression());
    Expect(',');
    c.cy = static_cast<int>(Expression());
    if (kind != "CONTROL" && SkipComma()) c.style = Style(c.style);
    if (SkipComma()) c.exStyle = Style(0);
    return c;
  }

  const ScriptFileReader &readFile_;
  std::map<std::string, std::string> defines_;
  std::vector<Token> tokens_;
  size_t next_ = 0;
  int expanding_ = 0;
};

uint32_t Le(const std::string &b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

}  // namespace

bool ReadResourceScript(const std::string &name, const ScriptFileReader &readFile,
                        ModuleResources *resources, std::string *error) {
  try {
    Reader reader(readFile);
    reader.Preprocess(name, 0);
    ModuleResources out;
    reader.ParseAll(&out);
    *resources = out;
    return true;
  } catch (const Failure &f) {
    *error = f.message;
    return false;
  }
}

bool DecodeDib(const std::string &dib, std::vector<std::vector<bool>> *rows) {
  if (dib.size() < 40) return false;
  uint32_t header = Le(dib, 0, 4);
  int32_t width = static_cast<int32_t>(Le(dib, 4, 4));
  int32_t height = static_cast<int32_t>(Le(dib, 8, 4));
  uint32_t bits = Le(dib, 14, 2), compression = Le(dib, 16, 4), used = Le(dib, 32, 4);
  if (header < 40 || width <= 0 || height == 0 || width > 4096 || compression != 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  bool topDown = height < 0;
  uint32_t h = static_cast<uint32_t>(topDown ? -static_cast<int64_t>(height) : height);
  if (h > 4096) return false;
  size_t colours = bits <= 8 ? (used ? used : (1u << bits)) : 0;
  size_t palette = header, pixels = header + colours * 4;
  size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  if (colours > 256 || dib.size() < pixels + stride * h) return false;
  auto dark = [](uint32_t b, uint32_t g, uint32_t r) { return r * 30 + g * 59 + b * 11 < 12800; };
  rows->assign(h, std::vector<bool>(static_cast<size_t>(width)));
  for (uint32_t y = 0; y < h; ++y) {
    size_t row = pixels + stride * (topDown ? y : h - 1 - y);
    for (int32_t x = 0; x < width; ++x) {
      bool d;
      if (bits >= 24) {
        size_t at = row + static_cast<size_t>(x) * (bits / 8);
        d = dark(Le(dib, at, 1), Le(dib, at + 1, 1), Le(dib, at + 2, 1));
      } else {
        size_t bit = static_cast<size_t>(x) * bits;
        uint32_t byte = Le(dib, row + bit / 8, 1);
        uint32_t index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= colours) return false;
        size_t at = palette + index * 4;
        d = dark(Le(dib, at, 1), Le(dib, at + 1, 1), Le(dib, at + 2, 1));
      }
      (*rows)[y][static_cast<size_t>(x)] = d;
    }
  }
  return true;
}

}  // namespace winsim
