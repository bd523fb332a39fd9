// The terminal as the screen of the simulated machine. Texts of the machine are in its ANSI
// code page and the terminal speaks UTF-8: under code page 1252 texts are converted both ways,
// so that accented letters show as such, boxes stay aligned, and a typed path reaches the
// setup in the code page it works in. Other code pages pass bytes through unchanged.
#include "winsim/console.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "winsim/machine.h"

namespace winsim {
namespace {

const size_t kWidth = 68;
bool g_statusShown = false;
std::string g_status;  // the status line last written, until something else is written

// Unicode of the 1252 bytes 0x80-0x9F (0: not assigned); 0xA0-0xFF are the same code points.
const char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool Converting() {
  return !MachineOpen() || M().codepage == 1252;
}

std::string Utf8(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// One text as the characters the terminal shows, each as the bytes to write. Control
// characters (a text's line breaks are handled before) show as blanks.
std::vector<std::string> Glyphs(const std::string &text) {
  std::vector<std::string> out;
  bool convert = Converting();
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F)
      out.push_back(" ");
    else if (c < 0x80 || !convert)
      out.push_back(std::string(1, ch));
    else if (c >= 0xA0)
      out.push_back(Utf8(c));
    else
      out.push_back(k1252High[c - 0x80] ? Utf8(k1252High[c - 0x80]) : "?");
  }
  return out;
}

std::string Join(const std::vector<std::string> &glyphs, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to && i < glyphs.size(); ++i) out += glyphs[i];
  return out;
}

// Lines of at most `width` characters, broken at blanks where possible.
std::vector<std::string> Wrap(const std::string &text, size_t width) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    size_t nl = text.find('\n', pos);
    std::vector<std::string> g =
        Glyphs(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
    size_t start = 0;
    do {
      size_t end = g.size();
      if (end - start > width) {
        end = start + width;
        size_t blank = end;
        while (blank > start && g[blank] != " ") --blank;
        if (blank > start) end = blank;
      }
      std::string line = Join(g, start, end);
      size_t shown = end - start;
      out.push_back(line + std::string(width - shown, ' '));
      start = end;
      while (start < g.size() && g[start] == " ") ++start;  // the blanks at the break
    } while (start < g.size());
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return out;
}

// A typed line back into the machine's code page: UTF-8 sequences become the 1252 character
// (or '?' when 1252 has none); bytes that are not UTF-8 are taken as they are.
std::string FromTerminal(const std::string &line) {
  if (!Converting()) return line;
  std::string out;
  for (size_t i = 0; i < line.size();) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    size_t len = c >= 0xF0 && c < 0xF8 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
    if (c < 0x80 || len == 1 || i + len > line.size()) {
      out += line[i++];
      continue;
    }
    char32_t cp = c & (0x7F >> len);
    bool valid = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(line[i + k]);
      valid = valid && (t & 0xC0) == 0x80;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!valid) {
      out += line[i++];
      continue;
    }
    char mapped = '?';
    if (cp >= 0xA0 && cp <= 0xFF) mapped = static_cast<char>(cp);
    for (int k = 0; k < 32; ++k)
      if (k1252High[k] && k1252High[k] == cp) mapped = static_cast<char>(0x80 + k);
    out += mapped;
    i += len;
  }
  return out;
}

}  // namespace

void ConsoleBox(const std::string &title, const std::vector<std::string> &lines) {
  ConsoleClearStatus();
  std::string border(kWidth + 2, '-');
  std::printf("\n+%s+\n", border.c_str());
  std::printf("| %s |\n", Wrap(title, kWidth)[0].c_str());  // a title keeps its first line
  std::printf("+%s+\n", border.c_str());
  for (const std::string &text : lines)
    for (const std::string &l : Wrap(text, kWidth)) std::printf("| %s |\n", l.c_str());
  std::printf("+%s+\n", border.c_str());
  std::fflush(stdout);
}

bool ConsoleReadLine(const std::string &prompt, std::string *line) {
  ConsoleClearStatus();
  std::printf("%s", Join(Glyphs(prompt), 0, std::string::npos).c_str());
  std::fflush(stdout);
  std::string raw;
  if (!std::getline(std::cin, raw)) {
    std::printf("\n");
    return false;
  }
  if (!raw.empty() && raw.back() == '\r') raw.pop_back();
  *line = FromTerminal(raw);
  return true;
}

void ConsoleStatus(const std::string &text) {
  if (text == g_status) return;  // already on the screen
  ConsoleClearStatus();
  g_status = text;
  std::printf("%s", Join(Glyphs(text), 0, std::string::npos).c_str());
  std::fflush(stdout);
  g_statusShown = isatty(STDOUT_FILENO);
  if (!g_statusShown) std::printf("\n");
}

void ConsoleClearStatus() {
  g_status.clear();
  if (!g_statusShown) return;
  std::printf("\r\033[K");
  std::fflush(stdout);
  g_statusShown = false;
}

}  // namespace winsim
