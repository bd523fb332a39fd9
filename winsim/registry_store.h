// The registry of the machine image: every hive in one REGEDIT4 text file (system.reg), with the
// changes made since it was last written in its log (winsim/registry_log.h).
//
// The tree is kept in memory the way NT keeps it: names compare without regard to case, subkeys
// in NT's enumeration order (sorted without regard to case), values in the order they were
// created. Beside the tree the store keeps the text of the file it was read from, section by
// section, so that saving writes untouched keys, values and comments back exactly as they were
// and only new or changed items in canonical regedit form.
//
// The hives are HKEY_LOCAL_MACHINE, HKEY_USERS and HKEY_CURRENT_USER, each under its own name in
// the file; HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\SOFTWARE\Classes, as on NT 3.5.
//
// A key's class (RegCreateKeyExA's lpClass) has no place in REGEDIT4, so it is kept in a comment
// line right after the key's line, `;class="<text>"` with the escapes of a quoted text: regedit
// and other REGEDIT4 readers pass over it as a comment, this reader gives it to the key.
//
// The Win32 surface (RegOpenKeyExA and the rest, advapi32_registry.cpp) is the road for the
// system and for the other stand-ins; the accessors at the end serve the stand-in's own areas,
// the image tool and tests, which need to look at or seed a registry without handles.
#ifndef WINSIM_REGISTRY_STORE_H
#define WINSIM_REGISTRY_STORE_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "winsim/machine.h"

namespace winsim {

struct RegValue {
  std::string name;  // as given; empty for the key's default value
  uint32_t type = 0;
  std::string data;      // the bytes, exactly as set
  bool dead = false;     // deleted
  bool changed = false;  // written in canonical form instead of its text from the file
  bool placed = false;   // has a line in a section read from the file
};

struct RegKey {
  std::string name;          // as given when it was created
  std::string upper;         // Upper(name), what names are compared by
  std::string className;     // RegCreateKeyExA's lpClass; empty when none was given
  RegKey *parent = nullptr;  // null for a hive root; meaningful only while the key is live
  std::vector<std::shared_ptr<RegKey>> subkeys;   // sorted by `upper`
  std::vector<std::shared_ptr<RegValue>> values;  // in creation order
  bool deleted = false;
  bool isVolatile = false;  // REG_OPTION_VOLATILE: lives until the machine is closed
  uint64_t lastWrite = 0;   // FILETIME, 100 ns since 1601
  int firstSection = -1;    // sections of the file that name this key, -1 when none
  int lastSection = -1;
};

// A "[key]" section of the file as it was read: its key line and the lines after it (value
// lines, comments, blank lines), each with its line end.
struct RegSectionItem {
  std::string raw;
  std::shared_ptr<RegValue> value;  // null for a comment or blank line
};
struct RegSection {
  std::string keyLine;
  std::shared_ptr<RegKey> key;
  std::vector<RegSectionItem> items;
};

// An open registry handle (advapi32_registry.cpp).
struct RegHandle {
  std::shared_ptr<RegKey> key;
  uint32_t access = 0;
};

enum RegHive { kHiveLocalMachine, kHiveUsers, kHiveCurrentUser, kHiveCount };

struct RegistryStore {
  std::shared_ptr<RegKey> roots[kHiveCount];
  std::string preamble;  // "REGEDIT4" and whatever precedes the first section
  std::vector<RegSection> sections;
  std::string eol = "\r\n";  // line end of new text, as the file's first line ends
  // Handles belong to the store, so that closing the machine invalidates them all.
  std::unordered_map<uintptr_t, RegHandle> handles;
};

// Parses REGEDIT4 text; on a fault returns null and names the line and what is wrong.
std::unique_ptr<RegistryStore, RegistryStoreDeleter> ParseRegistry(const std::string &text,
                                                                   const std::string &fileName,
                                                                   ImageError *error);
// The REGEDIT4 text of the store. Text that was loaded and not changed comes back byte for byte.
std::string FormatRegistry(const RegistryStore &store);
// The REGEDIT4 text of one key and everything below it, every key in canonical form, full paths.
std::string FormatRegistryTree(const RegKey &key, const std::string &eol);

// What RegSaveKeyA writes, read back: the saved key is the first key of the text, every other key
// lies below it. Null when the text is not that; `saved` keeps the parsed store alive.
std::shared_ptr<RegKey> ParseSavedKey(const std::string &text, const std::string &fileName,
                                      std::unique_ptr<RegistryStore, RegistryStoreDeleter> *saved);
// Puts the values and subkeys of a saved key in place of the key's own (which are marked
// deleted), as new items of this store.
void ReplaceKeyContents(RegKey &key, const RegKey &savedRoot);

// The value of a hex digit, -1 for any other character.
int HexDigit(char c);
// The pieces of a text between its separators, empty ones included: at least one.
std::vector<std::string> SplitAt(const std::string &text, char separator);

// ---- Tree operations (no access rules, no saving) -------------------------------------------

// The full path of a live key, e.g. "HKEY_LOCAL_MACHINE\SOFTWARE\Classes".
std::string RegistryKeyPath(const RegKey &key);
// Splits "HKEY_...\a\b" into its hive and components. HKEY_CLASSES_ROOT names
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes. Empty components are refused.
bool SplitRegistryPath(const std::string &fullPath, RegHive *hive,
                       std::vector<std::string> *components);
RegKey *FindSubkey(const RegKey &parent, const std::string &name);
std::shared_ptr<RegKey> SubkeyRef(const RegKey &parent, const std::string &name);
// Adds a new subkey in its sorted place; the name must not exist yet.
std::shared_ptr<RegKey> AddSubkey(RegKey &parent, const std::string &name);
// Takes a key out of its parent and marks it, and everything below it, deleted.
void RemoveSubkey(RegKey &key);
RegValue *FindValue(const RegKey &key, const std::string &name);
// Sets a value, keeping its place when it exists (and its file text when nothing changes).
void SetValue(RegKey &key, const std::string &name, uint32_t type, const std::string &data);
bool DeleteValue(RegKey &key, const std::string &name);
void TouchKey(RegKey &key);  // sets the last-write time from the machine's clock

// ---- Accessors by full path, for the stand-in's other areas, the image tool and tests ----------
// They neither check access rules nor save; a caller that changes the machine's registry
// through them calls SaveRegistry() before it reports the change done.
RegKey *FindRegistryKey(const RegistryStore &store, const std::string &fullPath);
// Creates the key and any missing keys above it; null when the path is not valid.
RegKey *CreateRegistryKey(RegistryStore &store, const std::string &fullPath);
bool GetRegistryValue(const RegistryStore &store, const std::string &fullPath,
                      const std::string &name, uint32_t *type, std::string *data);
// Deletes the key with everything below it; false when there is no such key or it is a hive.
bool DeleteRegistryTree(RegistryStore &store, const std::string &fullPath);

}  // namespace winsim

#endif
