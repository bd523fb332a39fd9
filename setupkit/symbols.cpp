// The symbol table: named text values through which the setup and the dialogs talk, and lists.
//
// - Names compare exactly, case included: "ButtonChecked" and "Buttonchecked" are two symbols,
//   so a misspelt name shows up as an empty value rather than as the right one by luck.
// - A symbol that was never set reads as the empty text.
// - A list is a symbol too. Read as a plain symbol it gives the list text {"a","b"} (a quote in
//   an item doubled); a plain value read as a list is the list its list text names, no items
//   when empty, else the one item that is the value.
// - A list holds at most 65535 items, the most that its 16-bit count can tell.
#include <windows.h>

#include <climits>
#include <map>

#include "setupkit/setupkit.h"
#include "toolkit/toolkit_services.h"

namespace setupkit {
namespace {

const size_t kMaxListItems = 65535;

struct Symbol {
  bool isList = false;
  std::string value;               // plain symbol
  std::vector<std::string> items;  // list symbol; for a plain one, its items once asked for
  bool itemsRead = false;          // a plain symbol's items are read from its value
};

std::map<std::string, Symbol> g_symbols;

bool ValidName(LPCSTR name) {
  return name && *name;
}

std::string ListText(const std::vector<std::string> &items) {
  std::string out = "{";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += '"';
    for (char c : items[i]) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out + "}";
}

// Reads list text back into items; false when the text is not list text.
bool ParseListText(const std::string &text, std::vector<std::string> *items) {
  if (text.size() < 2 || text.front() != '{' || text.back() != '}') return false;
  std::vector<std::string> out;
  size_t i = 1;
  const size_t end = text.size() - 1;
  if (i == end) {
    *items = out;
    return true;
  }
  for (;;) {
    if (i >= end || text[i] != '"') return false;
    ++i;
    std::string item;
    for (;;) {
      if (i >= end) return false;
      if (text[i] == '"') {
        if (i + 1 < end && text[i + 1] == '"') {
          item += '"';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      item += text[i++];
    }
    out.push_back(item);
    if (i == end) break;
    if (text[i] != ',') return false;
    ++i;
  }
  *items = out;
  return true;
}

// The symbol's items; a plain symbol's value is read as a list once, not at every item.
const std::vector<std::string> &ItemsOf(Symbol &symbol) {
  if (symbol.isList || symbol.itemsRead) return symbol.items;
  symbol.items.clear();
  if (!symbol.value.empty() && !ParseListText(symbol.value, &symbol.items))
    symbol.items = {symbol.value};
  symbol.itemsRead = true;
  return symbol.items;
}

Symbol *Find(LPCSTR name) {
  if (!ValidName(name)) return nullptr;
  auto it = g_symbols.find(name);
  return it == g_symbols.end() ? nullptr : &it->second;
}

// The symbol as a list, made one when it is not.
Symbol &ListSymbol(LPCSTR name) {
  Symbol &symbol = g_symbols[name];
  if (!symbol.isList) {
    ItemsOf(symbol);
    symbol.isList = true;
    symbol.value.clear();
  }
  return symbol;
}

}  // namespace

int CopyText(const std::string &text, char *buffer, int size) {
  if (buffer && size > 0) {
    size_t n =
        text.size() < static_cast<size_t>(size - 1) ? text.size() : static_cast<size_t>(size - 1);
    text.copy(buffer, n);
    buffer[n] = '\0';
  }
  return text.size() > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(text.size());
}

bool SetListSymbol(const std::string &name, const std::vector<std::string> &items) {
  if (name.empty() || items.size() > kMaxListItems) return false;
  Symbol symbol;
  symbol.isList = true;
  symbol.items = items;
  g_symbols[name] = symbol;
  return true;
}

std::string GetSymbol(const std::string &name) {
  const Symbol *symbol = Find(name.c_str());
  if (!symbol) return "";
  return symbol->isList ? ListText(symbol->items) : symbol->value;
}

void SetSymbol(const std::string &name, const std::string &value) {
  if (name.empty()) return;
  Symbol symbol;
  symbol.value = value;
  g_symbols[name] = symbol;
}

void ForgetSymbols() {
  g_symbols.clear();
}

}  // namespace setupkit

using namespace setupkit;

extern "C" {

BOOL WINAPI FSetSymbolValue(LPCSTR szSymbol, LPCSTR szValue) {
  if (!ValidName(szSymbol)) return FALSE;
  Symbol symbol;
  symbol.value = szValue ? szValue : "";
  g_symbols[szSymbol] = symbol;
  return TRUE;
}

int WINAPI CbGetSymbolValue(LPCSTR szSymbol, LPSTR szValue, int cbValue) {
  if (!ValidName(szSymbol)) return CopyText("", szValue, cbValue);
  return CopyText(GetSymbol(szSymbol), szValue, cbValue);
}

BOOL WINAPI FRemoveSymbol(LPCSTR szSymbol) {
  if (!ValidName(szSymbol)) return FALSE;
  g_symbols.erase(szSymbol);  // removing a symbol that is not there leaves what was asked for
  return TRUE;
}

USHORT WINAPI UsGetListLength(LPCSTR szSymbol) {
  Symbol *symbol = Find(szSymbol);
  if (!symbol) return 0;
  return static_cast<USHORT>(ItemsOf(*symbol).size());
}

int WINAPI CbGetListItem(LPCSTR szListSymbol, USHORT nItem, LPSTR szListItem, int cbMax) {
  CopyText("", szListItem, cbMax);
  Symbol *symbol = Find(szListSymbol);
  if (!symbol) return -1;
  const std::vector<std::string> &items = ItemsOf(*symbol);
  // No item 0 and none past the end: -1, never an empty item that would pass for a real one.
  if (nItem < 1 || nItem > items.size()) return -1;
  return CopyText(items[nItem - 1], szListItem, cbMax);
}

BOOL WINAPI FAddListItem(LPCSTR szListSymbol, LPCSTR szListItem) {
  if (!ValidName(szListSymbol)) return FALSE;
  Symbol &symbol = ListSymbol(szListSymbol);
  if (symbol.items.size() >= kMaxListItems) return FALSE;
  symbol.items.push_back(szListItem ? szListItem : "");
  return TRUE;
}

BOOL WINAPI FReplaceListItem(LPCSTR szListSymbol, USHORT nItem, LPCSTR szListItem) {
  Symbol *found = Find(szListSymbol);
  if (!found) return FALSE;
  if (nItem < 1 || nItem > ItemsOf(*found).size()) return FALSE;
  Symbol &symbol = ListSymbol(szListSymbol);
  symbol.items[nItem - 1] = szListItem ? szListItem : "";
  return TRUE;
}

}  // extern "C"
