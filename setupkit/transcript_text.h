// The transcript's quoting of texts: in double quotes, with backslash, quote and line break
// escaped. Shared by the two writers of the one transcript: the toolkit and winsim.
#ifndef SETUPKIT_TRANSCRIPT_TEXT_H
#define SETUPKIT_TRANSCRIPT_TEXT_H

#include <string>

namespace setupkit {

inline std::string QuoteText(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

}  // namespace setupkit

#endif
