// Program Manager: its groups and their items, recorded in the machine image as a text file
// beside machine.ini, "progman.ini", which a person can read and the image tool shows:
//
//   ; Program Manager groups and their items. Item = title, command line, icon file.
//   [Norvale Network Printers]
//   Show = 1
//   Item = "Norvale Network Printing Help", "zelpsmon.hlp", "winhlp32.exe"
//
// One section per group in the order the groups were made, then "File" (the group file named
// when it was made, if any), "Show" (the last show command) and one "Item" line per item in
// the order they were made. Texts are quoted, a quote inside doubled.
//
// - An item text is the title, optionally a comma and the file that holds the icon; the last
//   comma divides them, since an icon file's name holds none.
// - An item made in a group that does not exist makes the group (the Startup group of a real
//   machine is always there).
// - With cmoOverwrite an item of the same title is replaced; otherwise another is added, as
//   Program Manager allows.
#include <windows.h>

#include <unistd.h>

#include <cstdlib>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"

namespace setupkit {
namespace {

const char kHeader[] = "; Program Manager groups and items. Item = title, command line, icon file.";

struct Item {
  std::string title, command, icon;
};

struct Group {
  std::string name;
  std::string file;
  int show = 0;  // 0: never shown
  std::vector<Item> items;
};

bool Load(std::vector<Group> *groups) {
  groups->clear();
  std::string text;
  std::string host = ProgManRecordPath();
  if (::access(host.c_str(), F_OK) != 0) return true;  // no group made yet
  if (!ReadMachineFile(host, &text)) return false;
  winsim::IniFile ini;
  if (!ini.Parse(text, false, nullptr, nullptr)) return false;
  for (const winsim::IniFile::Section &s : ini.Sections()) {
    Group group;
    group.name = s.name;
    for (const winsim::IniFile::Entry &e : s.entries) {
      if (winsim::EqualNoCase(e.key, "File")) {
        group.file = winsim::SplitQuotedFields(e.value)[0];
      } else if (winsim::EqualNoCase(e.key, "Show")) {
        group.show = std::atoi(e.value.c_str());
      } else if (winsim::EqualNoCase(e.key, "Item")) {
        std::vector<std::string> f = winsim::SplitQuotedFields(e.value);
        f.resize(3);
        group.items.push_back(Item{f[0], f[1], f[2]});
      }
    }
    groups->push_back(group);
  }
  return true;
}

bool Save(const std::vector<Group> &groups) {
  std::string text = std::string(kHeader) + "\r\n";
  for (const Group &g : groups) {
    text += "\r\n[" + g.name + "]\r\n";
    if (!g.file.empty()) text += "File = " + winsim::QuoteField(g.file) + "\r\n";
    if (g.show) text += "Show = " + std::to_string(g.show) + "\r\n";
    for (const Item &i : g.items)
      text += "Item = " + winsim::QuoteField(i.title) + ", " + winsim::QuoteField(i.command) +
              ", " + winsim::QuoteField(i.icon) + "\r\n";
  }
  return winsim::WriteFileAtomically(ProgManRecordPath(), text);
}

bool HasControl(const std::string &text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32) return true;
  return false;
}

// A group name Program Manager can show as a window title and the record can hold.
bool GoodGroupName(LPCSTR name) {
  if (!name || !*name) return false;
  std::string n = name;
  return n.size() <= 64 && !HasControl(n) && n.front() != ' ' && n.back() != ' ' &&
         n.find_first_of("[]") == std::string::npos;
}

Group *FindGroup(std::vector<Group> &groups, const std::string &name) {
  for (Group &g : groups)
    if (winsim::EqualNoCase(g.name, name)) return &g;
  return nullptr;
}

BOOL CreateGroup(LPCSTR szGroup, LPCSTR szPath) {
  std::vector<Group> groups;
  if (!GoodGroupName(szGroup) || (szPath && HasControl(szPath)) || !Load(&groups)) return FALSE;
  if (Group *existing = FindGroup(groups, szGroup)) {
    if (szPath && *szPath && existing->file.empty()) existing->file = szPath;
    return Save(groups) ? TRUE : FALSE;
  }
  Group group;
  group.name = szGroup;
  group.file = szPath ? szPath : "";
  groups.push_back(group);
  return Save(groups) ? TRUE : FALSE;
}

BOOL ShowGroup(LPCSTR szGroup, LPCSTR szCommand) {
  std::vector<Group> groups;
  if (!GoodGroupName(szGroup) || !szCommand || !Load(&groups)) return FALSE;
  // The show commands of ShowWindow, 1 to 11, written in decimal.
  std::string command = szCommand;
  if (command.empty() || command.size() > 2 ||
      command.find_first_not_of("0123456789") != std::string::npos)
    return FALSE;
  int show = std::atoi(command.c_str());
  if (show < 1 || show > 11) return FALSE;
  Group *group = FindGroup(groups, szGroup);
  if (!group) return FALSE;
  group->show = show;
  return Save(groups) ? TRUE : FALSE;
}

BOOL CreateItem(LPCSTR szGroup, LPCSTR szItem, LPCSTR szCmd, int cmo) {
  std::vector<Group> groups;
  if (!GoodGroupName(szGroup) || !szItem || !*szItem || !szCmd || HasControl(szItem) ||
      HasControl(szCmd) || !Load(&groups))
    return FALSE;
  Item item;
  std::string text = szItem;
  size_t comma = text.rfind(',');
  item.title = comma == std::string::npos ? text : text.substr(0, comma);
  item.icon = comma == std::string::npos ? "" : text.substr(comma + 1);
  item.command = szCmd;
  if (item.title.empty()) return FALSE;

  Group *group = FindGroup(groups, szGroup);
  if (!group) {
    groups.push_back(Group());
    group = &groups.back();
    group->name = szGroup;
  }
  if (cmo & cmoOverwrite) {
    for (Item &existing : group->items)
      if (winsim::EqualNoCase(existing.title, item.title)) {
        existing = item;
        return Save(groups) ? TRUE : FALSE;
      }
  }
  group->items.push_back(item);
  return Save(groups) ? TRUE : FALSE;
}

}  // namespace

std::string ProgManRecordPath() {
  return winsim::M().dir + "/progman.ini";
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FCreateProgManGroup(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  (void)cmo;
  if (winsim::Fault("FCreateProgManGroup")) return FALSE;
  return CreateGroup(szGroup, szPath);
}

BOOL WINAPI FCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  (void)cmo;
  if (winsim::Fault("FCreateProgManGroupEx")) return FALSE;
  return CreateGroup(szGroup, szPath);
}

BOOL WINAPI FShowProgManGroup(LPCSTR szGroup, LPCSTR szCommand, int cmo) {
  (void)cmo;
  if (winsim::Fault("FShowProgManGroup")) return FALSE;
  return ShowGroup(szGroup, szCommand);
}

BOOL WINAPI FShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szCommand, int cmo) {
  (void)szPath;
  (void)cmo;
  if (winsim::Fault("FShowProgManGroupEx")) return FALSE;
  return ShowGroup(szGroup, szCommand);
}

BOOL WINAPI FCreateProgManItem(LPCSTR szGroup, LPCSTR szItem, LPCSTR szCmd, int cmo) {
  if (winsim::Fault("FCreateProgManItem")) return FALSE;
  return CreateItem(szGroup, szItem, szCmd, cmo);
}

BOOL WINAPI FCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szItem, LPCSTR szCmd,
                                 int cmo) {
  (void)szPath;
  if (winsim::Fault("FCreateProgManItemEx")) return FALSE;
  return CreateItem(szGroup, szItem, szCmd, cmo);
}

}  // extern "C"
