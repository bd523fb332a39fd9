// The difference between two machine images, as data and as readable text.
//
// Compared are what the machine holds, not how the files spell it:
// - machine.ini by its facts: known keys by their effective values (a key left out and a key
//   given its default are equal), other keys by their text; names without regard to case;
// - the registry by keys and values, names without regard to case, values by type and bytes;
// - the files of every drive by content, size, date (to the second) and read-only state, and
//   the directories by their presence; paths without regard to case;
// - the Program Manager record (progman.ini) by groups, their settings and their items.
// Lock and temporary files that the stand-ins keep (setup.lock, a copy or save in progress)
// are not part of the machine and are left out.
#ifndef TOOLS_IMAGE_COMPARE_H
#define TOOLS_IMAGE_COMPARE_H

#include <string>
#include <vector>

namespace image_tool {

enum class Change { Added, Removed, Changed };

enum class Subject {
  Section,       // a whole machine.ini section: where = "[service LPDSVC]"
  Fact,          // one machine.ini fact: where = "[system]", name = "restart"
  Key,           // a registry key: where = its full path
  Value,         // a registry value: where = its key's path, name = its name ("" for the default)
  Directory,     // where = Windows path
  File,          // where = Windows path
  Group,         // a Program Manager group: where = its name
  GroupSetting,  // where = group, name = "File" or "Show"
  Item,          // a Program Manager item: where = group, name = its title
};

struct Difference {
  Subject subject;
  Change change;
  std::string where;
  std::string name;
  // Readable states; empty on the side where the thing does not exist. Registry values are in
  // regedit form ("text", dword:0000001f, hex(7):...); files "<size> bytes, <date>".
  std::string before;
  std::string after;
  std::string detail;  // for a changed file: what changed ("content, size, date")
};

struct Comparison {
  std::vector<Difference> differences;  // machine.ini, registry, files, Program Manager
  bool Equal() const { return differences.empty(); }
  // The difference about one thing, or null. Names compare without regard to case.
  const Difference *Find(Subject subject, const std::string &where,
                         const std::string &name = "") const;
};

// Compares image A with image B (what changed going from A to B). Each image is opened as a
// machine to read it, so a machine this process has open is closed. On a bad image answers
// false with the image's fault in *error.
bool CompareImages(const std::string &imageA, const std::string &imageB, Comparison *result,
                   std::string *error);

// The readable report of a comparison ("The images are equal." when there is no difference).
std::string FormatComparison(const Comparison &comparison);

// A registry value in regedit form, without its name: "text", dword:00000010, hex(7):61,00,...
std::string RegeditData(unsigned type, const std::string &data);

}  // namespace image_tool

#endif
