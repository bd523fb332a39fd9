// DDEML of the simulated machine, client side, with the one server that a setup talks to:
// Program Manager (service and topic "PROGMAN"), which executes the commands of its DDE
// interface and keeps its groups and items in the image, in "progman.ini" beside machine.ini:
//
//   ; Program Manager groups and items. Item = title, command line, icon file.
//   [Norvale Network Printers]
//   Show = 1
//   Item = "Norvale Network Printing Help", "zelpsmon.hlp", "winhlp32.exe"
//
// One section per group in the order the groups were made, then "File" (the group file named
// when it was made, if any), "Show" (the last show command) and one "Item" line per item in the
// order they were made. Texts are quoted, a quote inside doubled.
//
// Commands, as Program Manager takes them: "[CreateGroup(name[,file])]" makes the group or, when
// it is there, makes it the active one; "[ShowGroup(name,cmd)]" shows a group that exists with a
// ShowWindow command 1 to 11 and makes it active; "[AddItem(command[,title[,icon[,...]]])]" adds
// an item to the active group; "[ReplaceItem(title)]" removes the active group's item of that
// title and has the next AddItem take its place; "[DeleteGroup(name)]" removes a group that
// exists with its items. A parameter may stand in double quotes (which
// keep commas and parentheses; "" inside is one quote). A string of several commands stops at
// the first that fails, and the transaction then fails with DMLERR_NOTPROCESSED.
#include <ddeml.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "winsim/ini_file.h"
#include "winsim/machine.h"

namespace winsim {
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

struct Instance {
  UINT lastError = DMLERR_NO_ERROR;
  std::map<HSZ, std::string> strings;
};

struct Conversation {
  DWORD instance = 0;
  std::string active;  // the group AddItem adds to
  int replaceAt = -1;  // where the next AddItem goes after a ReplaceItem
};

std::map<DWORD, Instance> g_instances;
std::map<HCONV, std::unique_ptr<Conversation>> g_conversations;
DWORD g_nextInstance = 1;
uintptr_t g_nextHandle = 1;

std::string RecordPath() {
  return M().dir + "/progman.ini";
}

bool LoadGroups(std::vector<Group> *groups) {
  groups->clear();
  std::string text;
  if (!ReadHostFile(RecordPath(), &text)) return true;  // no group made yet
  IniFile ini;
  if (!ini.Parse(text, false, nullptr, nullptr)) return false;
  for (const IniFile::Section &s : ini.Sections()) {
    Group group;
    group.name = s.name;
    for (const IniFile::Entry &e : s.entries) {
      if (EqualNoCase(e.key, "File")) {
        group.file = SplitQuotedFields(e.value)[0];
      } else if (EqualNoCase(e.key, "Show")) {
        group.show = std::atoi(e.value.c_str());
      } else if (EqualNoCase(e.key, "Item")) {
        std::vector<std::string> f = SplitQuotedFields(e.value);
        f.resize(3);
        group.items.push_back(Item{f[0], f[1], f[2]});
      }
    }
    groups->push_back(group);
  }
  return true;
}

bool SaveGroups(const std::vector<Group> &groups) {
  std::string text = std::string(kHeader) + "\r\n";
  for (const Group &g : groups) {
    text += "\r\n[" + g.name + "]\r\n";
    if (!g.file.empty()) text += "File = " + QuoteField(g.file) + "\r\n";
    if (g.show) text += "Show = " + std::to_string(g.show) + "\r\n";
    for (const Item &i : g.items)
      text += "Item = " + QuoteField(i.title) + ", " + QuoteField(i.command) + ", " +
              QuoteField(i.icon) + "\r\n";
  }
  return WriteFileAtomically(RecordPath(), text);
}

Group *FindGroup(std::vector<Group> &groups, const std::string &name) {
  for (Group &g : groups)
    if (EqualNoCase(g.name, name)) return &g;
  return nullptr;
}

bool HasControl(const std::string &text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32) return true;
  return false;
}

// A name that a group window can carry and the record can hold as a section.
bool GoodGroupName(const std::string &name) {
  return !name.empty() && !HasControl(name) && name.find_first_of("[]") == std::string::npos &&
         name.front() != ' ' && name.back() != ' ';
}

struct Command {
  std::string name;
  std::vector<std::string> params;
};

// "[Name(p1,p2)][Name2]" into its commands; false when the text is not such a string.
bool ParseCommands(const std::string &text, std::vector<Command> *commands) {
  size_t i = 0, n = text.size();
  auto blanks = [&] {
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  };
  for (;;) {
    blanks();
    if (i == n) return !commands->empty();
    if (text[i++] != '[') return false;
    Command command;
    while (i < n && text[i] != '(' && text[i] != ']') command.name += text[i++];
    command.name = Trim(command.name);
    if (command.name.empty() || i == n) return false;
    if (text[i] == '(') {
      ++i;
      for (;;) {
        blanks();
        std::string param;
        if (i < n && text[i] == '"') {
          for (++i;; ++i) {
            if (i == n) return false;
            if (text[i] == '"') {
              if (i + 1 < n && text[i + 1] == '"') {
                param += '"';
                ++i;
                continue;
              }
              ++i;
              break;
            }
            param += text[i];
          }
          blanks();
        } else {
          while (i < n && text[i] != ',' && text[i] != ')') param += text[i++];
          param = Trim(param);
        }
        if (i == n) return false;
        command.params.push_back(param);
        if (text[i++] == ')') break;
      }
      blanks();
    }
    if (i == n || text[i++] != ']') return false;
    commands->push_back(command);
  }
}

bool Execute(Conversation *conv, const Command &command, std::vector<Group> &groups) {
  const std::vector<std::string> &p = command.params;
  if (EqualNoCase(command.name, "CreateGroup")) {
    if (p.empty() || p.size() > 2 || !GoodGroupName(p[0])) return false;
    std::string file = p.size() > 1 ? p[1] : "";
    if (HasControl(file)) return false;
    if (Group *existing = FindGroup(groups, p[0])) {
      if (!file.empty() && existing->file.empty()) existing->file = file;
    } else {
      groups.push_back(Group{p[0], file, 0, {}});
    }
    conv->active = p[0];
    conv->replaceAt = -1;
    return true;
  }
  if (EqualNoCase(command.name, "ShowGroup")) {
    if (p.size() != 2 || p[1].empty() || p[1].size() > 2 ||
        p[1].find_first_not_of("0123456789") != std::string::npos)
      return false;
    int show = std::atoi(p[1].c_str());
    Group *group = FindGroup(groups, p[0]);
    if (!group || show < 1 || show > 11) return false;
    group->show = show;
    conv->active = group->name;
    return true;
  }
  if (EqualNoCase(command.name, "AddItem")) {
    Group *group = FindGroup(groups, conv->active);
    if (!group || p.empty() || p[0].empty()) return false;
    for (const std::string &param : p)
      if (HasControl(param)) return false;
    Item item{p.size() > 1 ? p[1] : "", p[0], p.size() > 2 ? p[2] : ""};
    if (item.title.empty()) return false;
    int at = conv->replaceAt;
    conv->replaceAt = -1;
    if (at >= 0 && static_cast<size_t>(at) <= group->items.size())
      group->items.insert(group->items.begin() + at, item);
    else
      group->items.push_back(item);
    return true;
  }
  if (EqualNoCase(command.name, "DeleteGroup")) {
    if (p.empty() || p.size() > 2) return false;
    for (auto it = groups.begin(); it != groups.end(); ++it)
      if (EqualNoCase(it->name, p[0])) {
        if (EqualNoCase(conv->active, it->name)) conv->active.clear();
        groups.erase(it);
        return true;
      }
    return false;
  }
  if (EqualNoCase(command.name, "ReplaceItem")) {
    Group *group = FindGroup(groups, conv->active);
    if (!group || p.size() != 1) return false;
    for (size_t k = 0; k < group->items.size(); ++k)
      if (EqualNoCase(group->items[k].title, p[0])) {
        group->items.erase(group->items.begin() + static_cast<long>(k));
        conv->replaceAt = static_cast<int>(k);
        return true;
      }
    return false;
  }
  return false;  // a command Program Manager does not know
}

Instance *FindInstance(DWORD id) {
  auto it = g_instances.find(id);
  return it == g_instances.end() ? nullptr : &it->second;
}

const std::string *StringOf(Instance *instance, HSZ hsz) {
  auto it = instance->strings.find(hsz);
  return it == instance->strings.end() ? nullptr : &it->second;
}

void Forget() {
  g_instances.clear();
  g_conversations.clear();
}

const bool g_hooked = (AddOpenHook(&Forget), true);

}  // namespace
}  // namespace winsim

using winsim::Fault;

extern "C" {

UINT WINAPI DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes) {
  (void)afCmd;
  (void)winsim::g_hooked;
  if (UINT e = Fault("DdeInitializeA")) return e;
  if (!pidInst || !pfnCallback || ulRes != 0) return DMLERR_INVALIDPARAMETER;
  if (*pidInst != 0) {
    // Re-initializing an instance changes its filters only.
    return winsim::FindInstance(*pidInst) ? DMLERR_NO_ERROR : DMLERR_INVALIDPARAMETER;
  }
  DWORD id = winsim::g_nextInstance++;
  winsim::g_instances[id] = winsim::Instance();
  *pidInst = id;
  return DMLERR_NO_ERROR;
}

BOOL WINAPI DdeUninitialize(DWORD idInst) {
  if (Fault("DdeUninitialize")) return FALSE;
  if (!winsim::FindInstance(idInst)) return FALSE;
  for (auto it = winsim::g_conversations.begin(); it != winsim::g_conversations.end();)
    it = it->second->instance == idInst ? winsim::g_conversations.erase(it) : std::next(it);
  winsim::g_instances.erase(idInst);
  return TRUE;
}

HSZ WINAPI DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage) {
  winsim::Instance *instance = winsim::FindInstance(idInst);
  if (!instance) return nullptr;
  if (UINT e = Fault("DdeCreateStringHandleA")) {
    instance->lastError = e;
    return nullptr;
  }
  if (!psz || (iCodePage != 0 && iCodePage != CP_WINANSI)) {
    instance->lastError = DMLERR_INVALIDPARAMETER;
    return nullptr;
  }
  if (!*psz) return nullptr;  // the empty string has the null handle
  HSZ hsz = reinterpret_cast<HSZ>(winsim::g_nextHandle++);
  instance->strings[hsz] = psz;
  return hsz;
}

BOOL WINAPI DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
  winsim::Instance *instance = winsim::FindInstance(idInst);
  if (!instance) return FALSE;
  return instance->strings.erase(hsz) ? TRUE : FALSE;
}

HCONV WINAPI DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC) {
  (void)pCC;
  winsim::Instance *instance = winsim::FindInstance(idInst);
  if (!instance) return nullptr;
  if (UINT e = Fault("DdeConnect")) {
    instance->lastError = e;
    return nullptr;
  }
  const std::string *service = winsim::StringOf(instance, hszService);
  const std::string *topic = winsim::StringOf(instance, hszTopic);
  if ((hszService && !service) || (hszTopic && !topic)) {
    instance->lastError = DMLERR_INVALIDPARAMETER;
    return nullptr;
  }
  // A null handle is any service or topic; Program Manager is the one server there is.
  if ((service && !winsim::EqualNoCase(*service, "PROGMAN")) ||
      (topic && !winsim::EqualNoCase(*topic, "PROGMAN"))) {
    instance->lastError = DMLERR_NO_CONV_ESTABLISHED;
    return nullptr;
  }
  HCONV conv = reinterpret_cast<HCONV>(winsim::g_nextHandle++);
  auto state = std::make_unique<winsim::Conversation>();
  state->instance = idInst;
  winsim::g_conversations[conv] = std::move(state);
  return conv;
}

BOOL WINAPI DdeDisconnect(HCONV hConv) {
  if (Fault("DdeDisconnect")) return FALSE;
  return winsim::g_conversations.erase(hConv) ? TRUE : FALSE;
}

HDDEDATA WINAPI DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem,
                                     UINT wFmt, UINT wType, DWORD dwTimeout, LPDWORD pdwResult) {
  (void)hszItem;
  (void)wFmt;
  if (pdwResult) *pdwResult = 0;
  auto it = winsim::g_conversations.find(hConv);
  if (it == winsim::g_conversations.end()) return nullptr;
  winsim::Conversation *conv = it->second.get();
  winsim::Instance *instance = winsim::FindInstance(conv->instance);
  if (UINT e = Fault("DdeClientTransaction")) {
    instance->lastError = e;
    return nullptr;
  }
  // Program Manager serves execute transactions only, and the setup waits for each.
  if (wType != XTYP_EXECUTE || !pData || cbData == 0 || dwTimeout == TIMEOUT_ASYNC) {
    instance->lastError = wType == XTYP_EXECUTE ? DMLERR_INVALIDPARAMETER : DMLERR_NOTPROCESSED;
    return nullptr;
  }
  std::string text(reinterpret_cast<const char *>(pData), cbData);
  text = text.substr(0, text.find('\0'));
  std::vector<winsim::Command> commands;
  std::vector<winsim::Group> groups;
  bool done = winsim::ParseCommands(text, &commands) && winsim::LoadGroups(&groups);
  bool changed = false;
  for (size_t k = 0; done && k < commands.size(); ++k) {
    done = winsim::Execute(conv, commands[k], groups);
    changed = changed || done;
  }
  // What the commands before a failed one did stays done.
  if (changed && !winsim::SaveGroups(groups)) done = false;
  if (!done) {
    instance->lastError = DMLERR_NOTPROCESSED;
    return nullptr;
  }
  if (pdwResult) *pdwResult = DDE_FACK;
  return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(TRUE));
}

BOOL WINAPI DdeFreeDataHandle(HDDEDATA hData) {
  return hData ? TRUE : FALSE;
}

UINT WINAPI DdeGetLastError(DWORD idInst) {
  winsim::Instance *instance = winsim::FindInstance(idInst);
  if (!instance) return DMLERR_DLL_NOT_INITIALIZED;
  UINT e = instance->lastError;
  instance->lastError = DMLERR_NO_ERROR;
  return e;
}

}  // extern "C"
