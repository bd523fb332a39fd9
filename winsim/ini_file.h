// A Windows .ini file kept line by line, so that a value changed by the program is written back
// with every other line, comment and blank exactly as it was.
#ifndef WINSIM_INI_FILE_H
#define WINSIM_INI_FILE_H

#include <string>
#include <vector>

namespace winsim {

class IniFile {
 public:
  struct Entry {
    std::string key;
    std::string value;
    int line = 0;  // 1-based line in the file
  };
  struct Section {
    std::string name;
    int line = 0;
    std::vector<Entry> entries;
  };

  // Parses the text. Only a line whose first non-blank character is ';' is a comment. In strict
  // mode a line that is neither blank, comment, "[section]" nor "key = value", or an entry before
  // the first section, fails with its line number; otherwise such lines are kept and ignored, as
  // Windows does.
  bool Parse(const std::string &text, bool strict, int *errorLine, std::string *errorMessage);

  const std::vector<Section> &Sections() const { return sections_; }
  const Section *FindSection(const std::string &name) const;
  // The value of the key, or nullptr; names compare without regard to case.
  const std::string *Find(const std::string &section, const std::string &key) const;
  // Sets the value (adding the key, and the section, at their end when missing).
  void Set(const std::string &section, const std::string &key, const std::string &value);
  // Removes a key; returns whether it was there.
  bool Remove(const std::string &section, const std::string &key);
  // Removes a whole section.
  bool RemoveSection(const std::string &section);

  std::string Text() const;

 private:
  void Rebuild();
  std::vector<std::string> lines_;  // raw lines, without line ends
  std::string newline_ = "\r\n";
  bool finalNewline_ = true;
  std::vector<Section> sections_;
};

// The text without the blanks and tabs at either end, nor a carriage return at its end: a line
// of an .ini file, or a name or value on it.
std::string Trim(const std::string &s);

// A text in double quotes, a quote inside doubled: one field of a line of quoted fields.
std::string QuoteField(const std::string &text);
// The fields of a line of them separated by commas, as QuoteField writes them; blanks outside
// the quotes are dropped. Always at least one field.
std::vector<std::string> SplitQuotedFields(const std::string &text);

}  // namespace winsim

#endif
