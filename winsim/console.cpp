#include "winsim/console.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace winsim {
namespace {

const size_t kWidth = 68;
bool g_statusShown = false;

std::vector<std::string> Wrap(const std::string &text, size_t width) {
  std::vector<std::string> out;
  std::string line;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string para = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
    line.clear();
    size_t p = 0;
    while (p < para.size()) {
      size_t sp = para.find(' ', p);
      std::string word = para.substr(p, sp == std::string::npos ? std::string::npos : sp - p);
      p = sp == std::string::npos ? para.size() : sp + 1;
      while (word.size() > width) {
        if (!line.empty()) out.push_back(line), line.clear();
        out.push_back(word.substr(0, width));
        word = word.substr(width);
      }
      if (!line.empty() && line.size() + 1 + word.size() > width) out.push_back(line), line.clear();
      line += (line.empty() ? "" : " ") + word;
    }
    out.push_back(line);
  }
  return out;
}

}  // namespace

void ConsoleBox(const std::string &title, const std::vector<std::string> &lines) {
  ConsoleClearStatus();
  std::string border(kWidth + 2, '-');
  std::printf("\n+%s+\n", border.c_str());
  std::string t = title.substr(0, kWidth);
  std::printf("| %-*s |\n", static_cast<int>(kWidth), t.c_str());
  std::printf("+%s+\n", border.c_str());
  for (const std::string &text : lines)
    for (const std::string &l : Wrap(text, kWidth))
      std::printf("| %-*s |\n", static_cast<int>(kWidth), l.c_str());
  std::printf("+%s+\n", border.c_str());
  std::fflush(stdout);
}

bool ConsoleReadLine(const std::string &prompt, std::string *line) {
  ConsoleClearStatus();
  std::printf("%s", prompt.c_str());
  std::fflush(stdout);
  if (!std::getline(std::cin, *line)) {
    std::printf("\n");
    return false;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

void ConsoleStatus(const std::string &text) {
  ConsoleClearStatus();
  std::printf("%s", text.c_str());
  std::fflush(stdout);
  g_statusShown = isatty(STDOUT_FILENO);
  if (!g_statusShown) std::printf("\n");
}

void ConsoleClearStatus() {
  if (!g_statusShown) return;
  std::printf("\r\033[K");
  std::fflush(stdout);
  g_statusShown = false;
}

}  // namespace winsim
