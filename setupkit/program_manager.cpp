// Program Manager groups and items, made as on Windows NT: DDE execute strings sent to the
// "PROGMAN" service on its "PROGMAN" topic.
//
// - An item text is the title, optionally a comma and the file that holds the icon; the last
//   comma divides them, since an icon file's name holds none.
// - An item goes into its group, which is made first when it is not there (CreateGroup of an
//   existing group only makes it the active one).
// - With cmoOverwrite an item of the same title is replaced in its place; otherwise another is
//   added, as Program Manager allows.
// - A parameter that holds a comma, a parenthesis, a bracket or a quote, or blanks at its ends,
//   is sent in double quotes, a quote inside doubled, so that Program Manager reads it whole.
#include <windows.h>
#include <ddeml.h>

#include <string>
#include <vector>

#include "setupkit/install_services.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

const char kProgMan[] = "PROGMAN";
const DWORD kTimeoutMs = 30000;

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;  // a client only: no transaction is served here
}

bool HasControl(const std::string &text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 32) return true;
  return false;
}

// A group name Program Manager can show as a window title.
bool GoodGroupName(LPCSTR name) {
  if (!name || !*name) return false;
  std::string n = name;
  return n.size() <= 64 && !HasControl(n) && n.front() != ' ' && n.back() != ' ' &&
         n.find_first_of("[]") == std::string::npos;
}

std::string Param(const std::string &text) {
  bool plain = !text.empty() && text.find_first_of(",()[]\"") == std::string::npos &&
               text.front() != ' ' && text.back() != ' ';
  if (plain) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Command(const char *name, const std::vector<std::string> &params) {
  std::string text = std::string("[") + name + "(";
  for (size_t i = 0; i < params.size(); ++i) text += (i ? "," : "") + Param(params[i]);
  return text + ")]";
}

struct Step {
  std::string command;
  bool required;
};

// Sends the commands in one conversation; false when it cannot be held or a required command
// is not carried out.
bool SendToProgMan(const std::vector<Step> &steps) {
  DWORD instance = 0;
  if (DdeInitializeA(&instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
    return false;
  bool ok = false;
  HSZ name = DdeCreateStringHandleA(instance, kProgMan, CP_WINANSI);
  HCONV conv = name ? DdeConnect(instance, name, name, nullptr) : nullptr;
  if (conv) {
    ok = true;
    for (const Step &step : steps) {
      std::string text = step.command;
      DWORD result = 0;
      HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(&text[0]),
                                           static_cast<DWORD>(text.size() + 1), conv, nullptr,
                                           CF_TEXT, XTYP_EXECUTE, kTimeoutMs, &result);
      if (done) DdeFreeDataHandle(done);
      if (!done && step.required) {
        ok = false;
        break;
      }
    }
    DdeDisconnect(conv);
  }
  if (name) DdeFreeStringHandle(instance, name);
  DdeUninitialize(instance);
  return ok;
}

BOOL CreateGroup(LPCSTR szGroup, LPCSTR szPath) {
  if (!GoodGroupName(szGroup) || (szPath && HasControl(szPath))) return FALSE;
  std::vector<std::string> params = {szGroup};
  if (szPath && *szPath) params.push_back(szPath);
  return SendToProgMan({{Command("CreateGroup", params), true}}) ? TRUE : FALSE;
}

BOOL ShowGroup(LPCSTR szGroup, LPCSTR szCommand) {
  if (!GoodGroupName(szGroup) || !szCommand || HasControl(szCommand)) return FALSE;
  return SendToProgMan({{Command("ShowGroup", {szGroup, szCommand}), true}}) ? TRUE : FALSE;
}

BOOL CreateItem(LPCSTR szGroup, LPCSTR szItem, LPCSTR szCmd, int cmo) {
  if (!GoodGroupName(szGroup) || !szItem || !*szItem || !szCmd || !*szCmd || HasControl(szItem) ||
      HasControl(szCmd))
    return FALSE;
  std::string text = szItem;
  size_t comma = text.rfind(',');
  std::string title = comma == std::string::npos ? text : text.substr(0, comma);
  std::string icon = comma == std::string::npos ? "" : text.substr(comma + 1);
  if (title.empty()) return FALSE;

  std::vector<Step> steps = {{Command("CreateGroup", {szGroup}), true}};
  // No item of that title to replace is no failure: the item is added.
  if (cmo & cmoOverwrite) steps.push_back({Command("ReplaceItem", {title}), false});
  std::vector<std::string> params = {szCmd, title};
  if (!icon.empty()) params.push_back(icon);
  steps.push_back({Command("AddItem", params), true});
  return SendToProgMan(steps) ? TRUE : FALSE;
}

}  // namespace
}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FCreateProgManGroup(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  (void)cmo;
  return CreateGroup(szGroup, szPath);
}

BOOL WINAPI FCreateProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, int cmo) {
  (void)cmo;
  return CreateGroup(szGroup, szPath);
}

BOOL WINAPI FShowProgManGroup(LPCSTR szGroup, LPCSTR szCommand, int cmo) {
  (void)cmo;
  return ShowGroup(szGroup, szCommand);
}

BOOL WINAPI FShowProgManGroupEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szCommand, int cmo) {
  (void)szPath;
  (void)cmo;
  return ShowGroup(szGroup, szCommand);
}

BOOL WINAPI FCreateProgManItem(LPCSTR szGroup, LPCSTR szItem, LPCSTR szCmd, int cmo) {
  return CreateItem(szGroup, szItem, szCmd, cmo);
}

BOOL WINAPI FCreateProgManItemEx(LPCSTR szGroup, LPCSTR szPath, LPCSTR szItem, LPCSTR szCmd,
                                 int cmo) {
  (void)szPath;
  return CreateItem(szGroup, szItem, szCmd, cmo);
}

}  // extern "C"
