// Comparing two machine images: machine.ini facts, registry, drives, Program Manager record.
#include "tools/image_compare.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "tools/image_open.h"
#include "winsim/ini_file.h"
#include "winsim/machine.h"
#include "winsim/registry_store.h"

namespace fs = std::filesystem;

namespace image_tool {
namespace {

// ---- What one image holds --------------------------------------------------------------------

struct Fact {
  std::string id;    // what identifies it within its section (upper-cased)
  std::string name;  // as shown
  std::string value;
};

struct FactSection {
  std::string id;       // upper-cased, blanks after the first word collapsed
  std::string display;  // "[system]"
  std::vector<Fact> facts;
};

struct ProgItem {
  std::string title, command, icon;
};

struct ProgGroup {
  std::string name;
  std::vector<std::pair<std::string, std::string>> settings;  // "File", "Show"
  std::vector<ProgItem> items;
};

struct Snapshot {
  std::string dir;
  std::deque<FactSection> sections;  // a deque: sections stay put while more are added
  std::unique_ptr<winsim::RegistryStore, winsim::RegistryStoreDeleter> registry;
  std::map<char, std::string> drives;  // letter -> host directory
  std::vector<ProgGroup> groups;
};

std::string Join(const std::vector<std::string> &words, const std::string &sep) {
  std::string out;
  for (const std::string &w : words) out += (out.empty() ? "" : sep) + w;
  return out;
}

std::string SectionId(const std::string &name) {
  std::istringstream ss(winsim::Upper(name));
  std::string word, id;
  while (ss >> word) id += (id.empty() ? "" : " ") + word;
  return id;
}

FactSection &SectionFor(Snapshot &s, const std::string &display) {
  std::string id = SectionId(display);
  for (FactSection &sec : s.sections)
    if (sec.id == id) return sec;
  s.sections.push_back(FactSection{id, "[" + display + "]", {}});
  return s.sections.back();
}

void AddFact(FactSection &sec, const std::string &name, const std::string &value,
             const std::string &id = "") {
  std::string key = id.empty() ? winsim::Upper(name) : id;
  for (const Fact &f : sec.facts)
    if (f.id == key) return;  // the first of a repeated key counts, as the loader reads it
  sec.facts.push_back(Fact{key, name, value});
}

bool Known(const std::string &key, std::initializer_list<const char *> keys) {
  for (const char *k : keys)
    if (winsim::EqualNoCase(key, k)) return true;
  return false;
}

// Keys of a section that the machine does not interpret are compared by their text.
void AddOtherKeys(FactSection &sec, const winsim::IniFile::Section &section,
                  std::initializer_list<const char *> known) {
  for (const winsim::IniFile::Entry &e : section.entries)
    if (!Known(e.key, known)) AddFact(sec, e.key, e.value);
}

std::string HostOfDrive(const std::string &imageDir, const std::string &written) {
  std::string host = !written.empty() && written[0] == '/' ? written : imageDir + "/" + written;
  char resolved[PATH_MAX];
  return realpath(host.c_str(), resolved) ? resolved : host;
}

// The facts of the open machine, known keys by their effective values.
void ReadFacts(Snapshot &s) {
  const winsim::Machine &m = winsim::M();
  static const char *const kAdmin[] = {"enabled", "disabled", "deny-only", "absent"};

  FactSection &system = SectionFor(s, "system");
  AddFact(system, "version",
          std::to_string(m.major) + "." + std::to_string(m.minor) + "." + std::to_string(m.build));
  AddFact(system, "platform", m.windows95 ? "windows" : "nt");
  AddFact(system, "processor", m.processor);
  AddFact(system, "windows", m.windowsDir);
  AddFact(system, "system", m.systemDir);
  AddFact(system, "temp", m.tempDir);
  AddFact(system, "codepage", std::to_string(m.codepage));
  AddFact(system, "restart", m.restart ? "yes" : "no");
  FactSection &drives = SectionFor(s, "drives");
  FactSection &environment = SectionFor(s, "environment");
  FactSection &token = SectionFor(s, "token");
  AddFact(token, "administrators", kAdmin[static_cast<int>(m.administrators)]);
  AddFact(token, "thread_token", m.threadToken);
  AddFact(token, "privileges", Join(m.privilegesHeld, " "));
  SectionFor(s, "deny");
  SectionFor(s, "faults");

  for (const winsim::ServiceConfig &svc : m.services) {
    FactSection &sec = SectionFor(s, "service " + svc.name);
    AddFact(sec, "state", svc.state);
    AddFact(sec, "depends", Join(svc.depends, " "));
    AddFact(sec, "stop_ms", std::to_string(svc.stopMs));
    AddFact(sec, "wait_hint_ms", std::to_string(svc.waitHintMs));
    AddFact(sec, "hang", svc.hang ? "yes" : "no");
    AddFact(sec, "stop_error", std::to_string(svc.stopError));
    AddFact(sec, "start_error", std::to_string(svc.startError));
  }

  bool drivesGiven = false;
  for (const winsim::IniFile::Section &section : m.ini.Sections()) {
    std::string id = SectionId(section.name);
    if (id == "SYSTEM") {
      AddOtherKeys(system, section,
                   {"version", "platform", "processor", "windows", "system", "temp", "codepage",
                    "restart", "clock", "clock_saved"});
    } else if (id == "DRIVES") {
      drivesGiven = true;
      for (const winsim::IniFile::Entry &e : section.entries) {
        AddFact(drives, e.key, e.value);
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(e.key[0])));
        s.drives[letter] = HostOfDrive(s.dir, e.value);
      }
    } else if (id == "ENVIRONMENT") {
      for (const winsim::IniFile::Entry &e : section.entries) AddFact(environment, e.key, e.value);
    } else if (id == "TOKEN") {
      AddOtherKeys(token, section, {"administrators", "thread_token", "privileges"});
    } else if (id == "DENY") {
      // A list: each entry is there or not.
      FactSection &deny = SectionFor(s, "deny");
      for (const winsim::IniFile::Entry &e : section.entries)
        AddFact(deny, e.key, e.value, winsim::Upper(e.key) + "=" + winsim::Upper(e.value));
    } else if (id == "FAULTS") {
      FactSection &faults = SectionFor(s, "faults");
      for (const winsim::IniFile::Entry &e : section.entries) AddFact(faults, e.key, e.value);
    } else if (id.compare(0, 8, "SERVICE ") == 0) {
      AddOtherKeys(SectionFor(s, section.name), section,
                   {"state", "depends", "stop_ms", "wait_hint_ms", "hang", "stop_error",
                    "start_error", "stop_began"});
    } else {
      FactSection &other = SectionFor(s, section.name);
      for (const winsim::IniFile::Entry &e : section.entries) AddFact(other, e.key, e.value);
    }
  }
  if (!drivesGiven) {
    AddFact(drives, "C", "drive_c");
    s.drives['C'] = HostOfDrive(s.dir, "drive_c");
  }
}

// ---- Program Manager record ------------------------------------------------------------------

void ReadProgramManager(Snapshot &s) {
  std::string text;
  if (!winsim::ReadHostFile(s.dir + "/progman.ini", &text)) return;  // no group made yet
  winsim::IniFile ini;
  if (!ini.Parse(text, false, nullptr, nullptr)) return;
  for (const winsim::IniFile::Section &section : ini.Sections()) {
    ProgGroup group;
    group.name = section.name;
    for (const winsim::IniFile::Entry &e : section.entries) {
      if (winsim::EqualNoCase(e.key, "Item")) {
        std::vector<std::string> f = winsim::SplitQuotedFields(e.value);
        f.resize(3);
        group.items.push_back(ProgItem{f[0], f[1], f[2]});
      } else {
        std::string value = e.value;
        if (winsim::EqualNoCase(e.key, "File")) value = winsim::SplitQuotedFields(e.value)[0];
        group.settings.emplace_back(e.key, value);
      }
    }
    s.groups.push_back(group);
  }
}

bool Load(const std::string &imageDir, const char *which, Snapshot *s, std::string *error) {
  winsim::ImageError imageError;
  if (!winsim::OpenMachine(ImageOpenOptions(imageDir), &imageError)) {
    *error = std::string("image ") + which + ": " + imageError.Text();
    return false;
  }
  s->dir = winsim::M().dir;
  ReadFacts(*s);
  s->registry = std::move(winsim::M().registry);
  winsim::CloseMachine();
  ReadProgramManager(*s);
  return true;
}

// ---- Differences -------------------------------------------------------------------------------

void Add(Comparison *c, Subject subject, Change change, const std::string &where,
         const std::string &name, const std::string &before, const std::string &after,
         const std::string &detail = "") {
  c->differences.push_back(Difference{subject, change, where, name, before, after, detail});
}

// A whole section in one line; a service's behaviour only where it is not the default.
std::string Summary(const FactSection &sec) {
  static const char *const kServiceDefaults[][2] = {{"DEPENDS", ""},       {"STOP_MS", "0"},
                                                    {"WAIT_HINT_MS", "0"}, {"HANG", "no"},
                                                    {"STOP_ERROR", "0"},   {"START_ERROR", "0"}};
  bool service = sec.id.compare(0, 8, "SERVICE ") == 0;
  std::vector<std::string> parts;
  for (const Fact &f : sec.facts) {
    bool isDefault = false;
    for (const auto &d : kServiceDefaults)
      isDefault = isDefault || (service && f.id == d[0] && f.value == d[1]);
    if (!isDefault) parts.push_back(f.name + " = " + f.value);
  }
  return Join(parts, ", ");
}

void CompareFacts(const Snapshot &a, const Snapshot &b, Comparison *c) {
  auto find = [](const Snapshot &s, const std::string &id) -> const FactSection * {
    for (const FactSection &sec : s.sections)
      if (sec.id == id) return &sec;
    return nullptr;
  };
  for (const FactSection &sa : a.sections) {
    const FactSection *sb = find(b, sa.id);
    if (!sb) {
      Add(c, Subject::Section, Change::Removed, sa.display, "", Summary(sa), "");
      continue;
    }
    for (const Fact &fa : sa.facts) {
      const Fact *fb = nullptr;
      for (const Fact &f : sb->facts)
        if (f.id == fa.id) fb = &f;
      if (!fb)
        Add(c, Subject::Fact, Change::Removed, sb->display, fa.name, fa.value, "");
      else if (fb->value != fa.value)
        Add(c, Subject::Fact, Change::Changed, sb->display, fb->name, fa.value, fb->value);
    }
    for (const Fact &fb : sb->facts) {
      bool inA = false;
      for (const Fact &f : sa.facts) inA = inA || f.id == fb.id;
      if (!inA) Add(c, Subject::Fact, Change::Added, sb->display, fb.name, "", fb.value);
    }
  }
  for (const FactSection &sb : b.sections)
    if (!find(a, sb.id)) Add(c, Subject::Section, Change::Added, sb.display, "", "", Summary(sb));
}

// -- Registry

const winsim::RegValue *LiveValue(const winsim::RegKey &key, const std::string &upperName) {
  for (const auto &v : key.values)
    if (!v->dead && winsim::Upper(v->name) == upperName) return v.get();
  return nullptr;
}

void WholeKey(const winsim::RegKey &key, Change change, Comparison *c) {
  std::string path = winsim::RegistryKeyPath(key);
  bool added = change == Change::Added;
  Add(c, Subject::Key, change, path, "", "", "");
  for (const auto &v : key.values) {
    if (v->dead) continue;
    std::string data = RegeditData(v->type, v->data);
    Add(c, Subject::Value, change, path, v->name, added ? "" : data, added ? data : "");
  }
  for (const auto &sub : key.subkeys)
    if (!sub->deleted) WholeKey(*sub, change, c);
}

void CompareKeys(const winsim::RegKey &a, const winsim::RegKey &b, Comparison *c) {
  std::string path = winsim::RegistryKeyPath(b);
  for (const auto &va : a.values) {
    if (va->dead) continue;
    const winsim::RegValue *vb = LiveValue(b, winsim::Upper(va->name));
    std::string before = RegeditData(va->type, va->data);
    if (!vb)
      Add(c, Subject::Value, Change::Removed, path, va->name, before, "");
    else if (vb->type != va->type || vb->data != va->data)
      Add(c, Subject::Value, Change::Changed, path, vb->name, before,
          RegeditData(vb->type, vb->data));
  }
  for (const auto &vb : b.values)
    if (!vb->dead && !LiveValue(a, winsim::Upper(vb->name)))
      Add(c, Subject::Value, Change::Added, path, vb->name, "", RegeditData(vb->type, vb->data));

  // Subkeys are kept sorted by their upper-cased names: walk both lists together.
  std::vector<const winsim::RegKey *> sa, sb;
  for (const auto &k : a.subkeys)
    if (!k->deleted) sa.push_back(k.get());
  for (const auto &k : b.subkeys)
    if (!k->deleted) sb.push_back(k.get());
  size_t i = 0, j = 0;
  while (i < sa.size() || j < sb.size()) {
    if (j == sb.size() || (i < sa.size() && sa[i]->upper < sb[j]->upper)) {
      WholeKey(*sa[i++], Change::Removed, c);
    } else if (i == sa.size() || sb[j]->upper < sa[i]->upper) {
      WholeKey(*sb[j++], Change::Added, c);
    } else {
      CompareKeys(*sa[i++], *sb[j++], c);
    }
  }
}

void CompareRegistry(const Snapshot &a, const Snapshot &b, Comparison *c) {
  for (int hive = 0; hive < winsim::kHiveCount; ++hive) {
    const winsim::RegKey *ra = a.registry->roots[hive].get();
    const winsim::RegKey *rb = b.registry->roots[hive].get();
    if (ra && rb)
      CompareKeys(*ra, *rb, c);
    else if (ra)
      WholeKey(*ra, Change::Removed, c);
    else if (rb)
      WholeKey(*rb, Change::Added, c);
  }
}

// -- Files

struct Entry {
  std::string path;  // Windows path as stored
  std::string host;
  bool isDir = false;
  uintmax_t size = 0;
  time_t mtime = 0;
  bool readOnly = false;
};

bool StartsWith(const std::string &s, const char *prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// What the stand-ins leave while they work: a copy in progress, a probe of a directory, a file
// being saved (written beside its target as "<name>.new" and renamed over it), the setup's lock.
bool IsScratch(const fs::path &host, const std::string &imageDir) {
  std::string name = host.filename().string();
  if (StartsWith(name, ".winsim-copy-") || StartsWith(name, ".setupkit-probe-")) return true;
  std::error_code ec;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0 &&
      fs::exists(host.parent_path() / name.substr(0, name.size() - 4), ec))
    return true;
  // A drive mapped onto the image directory itself holds the image's own files.
  if (host.parent_path().string() == imageDir)
    for (const char *own : {"machine.ini", "system.reg", "system.log", "progman.ini", "setup.lock"})
      if (name == own) return true;
  return false;
}

// Upper-cased, with the separator sorting before every other character, so that a directory's
// entries follow it directly.
std::string SortKey(const std::string &windowsPath) {
  std::string key = winsim::Upper(windowsPath);
  std::replace(key.begin(), key.end(), '\\', '\x01');
  return key;
}

std::map<std::string, Entry> DriveEntries(const std::string &root, char letter,
                                          const std::string &imageDir) {
  std::map<std::string, Entry> entries;
  std::error_code ec;
  auto it = fs::recursive_directory_iterator(root, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (IsScratch(it->path(), imageDir)) {
      if (it->is_directory(ec)) it.disable_recursion_pending();
      continue;
    }
    struct stat st;
    if (::lstat(it->path().c_str(), &st) != 0) continue;
    Entry e;
    e.host = it->path().string();
    std::string rel = fs::relative(it->path(), root, ec).string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    e.path = std::string(1, letter) + ":\\" + rel;
    e.isDir = S_ISDIR(st.st_mode);
    e.size = e.isDir ? 0 : static_cast<uintmax_t>(st.st_size);
    e.mtime = st.st_mtime;
    e.readOnly = (st.st_mode & S_IWUSR) == 0;
    entries[SortKey(e.path)] = e;
  }
  return entries;
}

bool SameContent(const std::string &hostA, const std::string &hostB) {
  std::ifstream a(hostA, std::ios::binary), b(hostB, std::ios::binary);
  if (!a || !b) return false;
  char bufA[65536], bufB[65536];
  while (true) {
    a.read(bufA, sizeof bufA);
    b.read(bufB, sizeof bufB);
    std::streamsize na = a.gcount(), nb = b.gcount();
    if (na != nb || std::memcmp(bufA, bufB, static_cast<size_t>(na)) != 0) return false;
    if (na == 0) return true;
  }
}

std::string Date(time_t t) {
  struct tm tm;
  char buf[32];
  if (!localtime_r(&t, &tm) || !std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm))
    return "?";
  return buf;
}

std::string FileState(const Entry &e) {
  return std::to_string(e.size) + " bytes, " + Date(e.mtime) + (e.readOnly ? ", read-only" : "");
}

void CompareDrive(const std::map<std::string, Entry> &a, const std::map<std::string, Entry> &b,
                  Comparison *c) {
  auto removed = [&](const Entry &e) {
    Add(c, e.isDir ? Subject::Directory : Subject::File, Change::Removed, e.path, "",
        e.isDir ? "" : FileState(e), "");
  };
  auto added = [&](const Entry &e) {
    Add(c, e.isDir ? Subject::Directory : Subject::File, Change::Added, e.path, "", "",
        e.isDir ? "" : FileState(e));
  };
  auto ia = a.begin();
  auto ib = b.begin();
  while (ia != a.end() || ib != b.end()) {
    if (ib == b.end() || (ia != a.end() && ia->first < ib->first)) {
      removed((ia++)->second);
    } else if (ia == a.end() || ib->first < ia->first) {
      added((ib++)->second);
    } else {
      const Entry &ea = (ia++)->second;
      const Entry &eb = (ib++)->second;
      if (ea.isDir != eb.isDir) {
        removed(ea);
        added(eb);
        continue;
      }
      if (ea.isDir) continue;  // a directory's date changes with its entries
      std::vector<std::string> what;
      if (ea.size != eb.size || !SameContent(ea.host, eb.host)) what.push_back("content");
      if (ea.size != eb.size) what.push_back("size");
      if (ea.mtime != eb.mtime) what.push_back("date");
      if (ea.readOnly != eb.readOnly) what.push_back("read-only");
      if (!what.empty())
        Add(c, Subject::File, Change::Changed, eb.path, "", FileState(ea), FileState(eb),
            Join(what, ", "));
    }
  }
}

void CompareFiles(const Snapshot &a, const Snapshot &b, Comparison *c) {
  std::map<char, bool> letters;
  for (const auto &d : a.drives) letters[d.first] = true;
  for (const auto &d : b.drives) letters[d.first] = true;
  for (const auto &l : letters) {
    char letter = l.first;
    auto da = a.drives.find(letter), db = b.drives.find(letter);
    std::map<std::string, Entry> ea, eb;
    if (da != a.drives.end()) ea = DriveEntries(da->second, letter, a.dir);
    if (db != b.drives.end()) eb = DriveEntries(db->second, letter, b.dir);
    CompareDrive(ea, eb, c);
  }
}

// -- Program Manager

std::string ItemState(const ProgItem &item) {
  return winsim::QuoteField(item.command) + ", " + winsim::QuoteField(item.icon);
}

void WholeGroup(const ProgGroup &g, Change change, Comparison *c) {
  bool added = change == Change::Added;
  Add(c, Subject::Group, change, g.name, "", "", "");
  for (const auto &[key, value] : g.settings)
    Add(c, Subject::GroupSetting, change, g.name, key, added ? "" : value, added ? value : "");
  for (const ProgItem &item : g.items)
    Add(c, Subject::Item, change, g.name, item.title, added ? "" : ItemState(item),
        added ? ItemState(item) : "");
}

void CompareGroups(const ProgGroup &a, const ProgGroup &b, Comparison *c) {
  for (const auto &[key, value] : a.settings) {
    const std::string *other = nullptr;
    for (const auto &s : b.settings)
      if (winsim::EqualNoCase(s.first, key)) other = &s.second;
    if (!other)
      Add(c, Subject::GroupSetting, Change::Removed, b.name, key, value, "");
    else if (*other != value)
      Add(c, Subject::GroupSetting, Change::Changed, b.name, key, value, *other);
  }
  for (const auto &[key, value] : b.settings) {
    bool inA = false;
    for (const auto &s : a.settings) inA = inA || winsim::EqualNoCase(s.first, key);
    if (!inA) Add(c, Subject::GroupSetting, Change::Added, b.name, key, "", value);
  }
  // Items pair by title, the n-th of a title with the n-th (a group may hold one title twice).
  std::vector<bool> used(b.items.size(), false);
  for (const ProgItem &ia : a.items) {
    const ProgItem *match = nullptr;
    for (size_t j = 0; j < b.items.size() && !match; ++j)
      if (!used[j] && winsim::EqualNoCase(b.items[j].title, ia.title)) {
        used[j] = true;
        match = &b.items[j];
      }
    if (!match)
      Add(c, Subject::Item, Change::Removed, b.name, ia.title, ItemState(ia), "");
    else if (ItemState(*match) != ItemState(ia))
      Add(c, Subject::Item, Change::Changed, b.name, match->title, ItemState(ia),
          ItemState(*match));
  }
  for (size_t j = 0; j < b.items.size(); ++j)
    if (!used[j])
      Add(c, Subject::Item, Change::Added, b.name, b.items[j].title, "", ItemState(b.items[j]));
}

void CompareProgramManager(const Snapshot &a, const Snapshot &b, Comparison *c) {
  auto find = [](const Snapshot &s, const std::string &name) -> const ProgGroup * {
    for (const ProgGroup &g : s.groups)
      if (winsim::EqualNoCase(g.name, name)) return &g;
    return nullptr;
  };
  for (const ProgGroup &ga : a.groups) {
    const ProgGroup *gb = find(b, ga.name);
    if (gb)
      CompareGroups(ga, *gb, c);
    else
      WholeGroup(ga, Change::Removed, c);
  }
  for (const ProgGroup &gb : b.groups)
    if (!find(a, gb.name)) WholeGroup(gb, Change::Added, c);
}

// ---- Text --------------------------------------------------------------------------------------

char Mark(Change change) {
  return change == Change::Added ? '+' : change == Change::Removed ? '-' : '~';
}

std::string RegName(const std::string &name) {
  if (name.empty()) return "@";
  std::string out = "\"";
  for (char ch : name) out += ch == '"' || ch == '\\' ? std::string("\\") + ch : std::string(1, ch);
  return out + "\"";
}

// Texts and lists in hex(2)/hex(7) form, decoded for the reader.
std::string Readable(const std::string &data) {
  bool list = StartsWith(data, "hex(7):");
  if (!list && !StartsWith(data, "hex(2):")) return "";
  std::string bytes;
  std::istringstream ss(data.substr(7));
  std::string hex;
  while (std::getline(ss, hex, ','))
    if (!hex.empty()) bytes += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
  if (!list) return "  ; " + bytes.substr(0, bytes.find('\0'));
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  std::replace(bytes.begin(), bytes.end(), '\0', '|');
  return "  ; " + bytes;
}

std::string ValueLine(const Difference &d) {
  std::string name = RegName(d.name);
  if (d.change == Change::Added) return name + "=" + d.after + Readable(d.after);
  if (d.change == Change::Removed) return name + "=" + d.before + Readable(d.before);
  return name + "=" + d.after + Readable(d.after) + "\n        (was " + d.before +
         Readable(d.before) + ")";
}

}  // namespace

const Difference *Comparison::Find(Subject subject, const std::string &where,
                                   const std::string &name) const {
  for (const Difference &d : differences)
    if (d.subject == subject && winsim::EqualNoCase(d.where, where) &&
        winsim::EqualNoCase(d.name, name))
      return &d;
  return nullptr;
}

std::string RegeditData(unsigned type, const std::string &data) {
  auto hex = [&](const std::string &prefix) {
    std::string out = prefix;
    char buf[4];
    for (size_t i = 0; i < data.size(); ++i) {
      std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
      out += (i ? "," : "") + std::string(buf);
    }
    return out;
  };
  if (type == 1) {
    // A text that regedit can write back exactly: one terminator, nothing unprintable.
    bool plain = !data.empty() && data.back() == '\0';
    for (size_t i = 0; plain && i + 1 < data.size(); ++i) {
      unsigned char ch = static_cast<unsigned char>(data[i]);
      plain = ch >= 0x20 || ch == '\t';
    }
    if (plain) {
      std::string out = "\"";
      for (size_t i = 0; i + 1 < data.size(); ++i)
        out += data[i] == '"' || data[i] == '\\' ? std::string("\\") + data[i]
                                                 : std::string(1, data[i]);
      return out + "\"";
    }
  }
  if (type == 4 && data.size() == 4) {
    uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", n);
    return buf;
  }
  if (type == 3) return hex("hex:");
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
  return hex(prefix);
}

bool CompareImages(const std::string &imageA, const std::string &imageB, Comparison *result,
                   std::string *error) {
  Snapshot a, b;
  if (!Load(imageA, "A", &a, error) || !Load(imageB, "B", &b, error)) return false;
  result->differences.clear();
  CompareFacts(a, b, result);
  CompareRegistry(a, b, result);
  CompareFiles(a, b, result);
  CompareProgramManager(a, b, result);
  return true;
}

std::string FormatComparison(const Comparison &comparison) {
  if (comparison.Equal()) return "The images are equal.\n";
  std::ostringstream out;
  const char *area = "";
  std::string heading;  // the key or group the last value or item line belongs to
  for (const Difference &d : comparison.differences) {
    const char *now = "";
    switch (d.subject) {
      case Subject::Section:
      case Subject::Fact:
        now = "machine.ini";
        break;
      case Subject::Key:
      case Subject::Value:
        now = "Registry";
        break;
      case Subject::Directory:
      case Subject::File:
        now = "Files";
        break;
      case Subject::Group:
      case Subject::GroupSetting:
      case Subject::Item:
        now = "Program Manager";
        break;
    }
    if (std::strcmp(now, area) != 0) {
      out << now << "\n";
      area = now;
      heading.clear();
    }
    char mark = Mark(d.change);
    switch (d.subject) {
      case Subject::Section:
        out << "  " << mark << " " << d.where << "  " << (d.before.empty() ? d.after : d.before)
            << "\n";
        break;
      case Subject::Fact:
        if (d.change == Change::Changed)
          out << "  " << mark << " " << d.where << " " << d.name << ": " << d.before << " -> "
              << d.after << "\n";
        else
          out << "  " << mark << " " << d.where << " " << d.name << " = "
              << (d.before.empty() ? d.after : d.before) << "\n";
        break;
      case Subject::Key:
        out << "  " << mark << " [" << d.where << "]\n";
        heading = d.where;
        break;
      case Subject::Value:
        if (!winsim::EqualNoCase(heading, d.where)) out << "  [" << d.where << "]\n";
        heading = d.where;
        out << "      " << mark << " " << ValueLine(d) << "\n";
        break;
      case Subject::Directory:
        out << "  " << mark << " " << d.where << "\\  (directory)\n";
        break;
      case Subject::File:
        if (d.change == Change::Changed)
          out << "  " << mark << " " << d.where << "  " << d.detail << ": " << d.before << " -> "
              << d.after << "\n";
        else
          out << "  " << mark << " " << d.where << "  " << (d.before.empty() ? d.after : d.before)
              << "\n";
        break;
      case Subject::Group:
        out << "  " << mark << " group " << winsim::QuoteField(d.where) << "\n";
        heading = d.where;
        break;
      case Subject::GroupSetting:
      case Subject::Item: {
        if (!winsim::EqualNoCase(heading, d.where))
          out << "  group " << winsim::QuoteField(d.where) << "\n";
        heading = d.where;
        std::string label =
            d.subject == Subject::Item ? "item " + winsim::QuoteField(d.name) : d.name;
        if (d.change == Change::Changed)
          out << "      " << mark << " " << label << ": " << d.after << "  (was " << d.before
              << ")\n";
        else
          out << "      " << mark << " " << label << ": " << (d.before.empty() ? d.after : d.before)
              << "\n";
        break;
      }
    }
  }
  out << comparison.differences.size()
      << (comparison.differences.size() == 1 ? " difference.\n" : " differences.\n");
  return out.str();
}

}  // namespace image_tool
