// Machine profiles: a short, hand-written description of a machine from which the image tool
// makes a fresh machine image.
//
// A profile is a text file of sections. Blank lines and lines whose first non-blank character
// is ';' are ignored (inside machine.ini sections they are kept).
//
//   [system] [drives] [environment] [token] [service <name>] [deny] [faults]
//       Copied into machine.ini as written (see DESIGN.md for their keys).
//
//   [registry <key path>]
//       One registry key; the root may be abbreviated (HKLM, HKCU, HKCR, HKU). Keys above it
//       are created too. Each line is one value, "<name> = <value>", "@" naming the default value:
//         text            REG_SZ (surrounding double quotes keep leading or trailing blanks)
//         sz:text         REG_SZ, for a text that would otherwise look like a prefix below
//         dword:N         REG_DWORD, N decimal or 0x hexadecimal
//         expand:text     REG_EXPAND_SZ
//         multi:a|b|c     REG_MULTI_SZ, the strings separated by '|'
//         hex:01,02,ff    REG_BINARY
//
//   [file <Windows path>]
//       One file on a drive of the image, directories created as needed. Its content:
//         size = N        a placeholder binary of N bytes (an "MZ" header, then a pattern),
//                         which no loader maps
//         copy = path     the bytes of a file, relative to the profile
//         module = <machine> <export>...
//                         a DLL that the loader would map (tools/pe_module.h): the machine is
//                         i386, alpha, mips or amd64, then the names of the functions it exports
//         | text          one line of a text file (CR LF line ends); repeat for more lines
//       A file section with no content line makes an empty file.
//
//   [directory <Windows path>]
//       An empty directory.
//
// The Windows, system and temporary directories named in [system] are always created.
#ifndef TOOLS_PROFILE_H
#define TOOLS_PROFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace image_tool {

struct RegValue {
  std::string name;  // empty: the default value
  uint32_t type = 1;
  std::string data;  // the bytes; texts with their terminators
};

struct RegKey {
  std::string path;  // full root name, e.g. HKEY_LOCAL_MACHINE\SYSTEM\Setup
  std::vector<RegValue> values;
};

struct ProfileFile {
  std::string path;  // Windows path
  std::string content;
  int line = 0;
};

struct Profile {
  std::string machineIni;                            // the machine.ini sections, as written
  std::vector<std::pair<char, std::string>> drives;  // letter, host directory as written
  std::string windowsDir = "C:\\WINNT35";
  std::string systemDir = "C:\\WINNT35\\system32";
  std::string tempDir = "C:\\TEMP";
  std::vector<RegKey> keys;
  std::vector<ProfileFile> files;
  std::vector<std::pair<std::string, int>> directories;  // Windows path, line
};

// Parses a profile; on a fault answers false with "<file>:<line>: <what is wrong>".
bool ParseProfile(const std::string &text, const std::string &fileName, Profile *profile,
                  std::string *error);

// Makes a fresh image in imageDir (which must not exist or be empty).
bool CreateImage(const Profile &profile, const std::string &imageDir, std::string *error);

// Prints a readable summary of an image.
bool ShowImage(const std::string &imageDir, std::string *out, std::string *error);

}  // namespace image_tool

#endif
