// The registry functions of advapi32 over the machine's registry store, with Windows NT 3.5's
// documented behaviour: predefined roots, access rights of a handle, the [deny] keys of the
// machine, the buffer-size rules, and every change on disk before the call returns. Registry
// functions answer their error and never touch the last-error value.
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "winsim/machine.h"
#include "winsim/registry_log.h"
#include "winsim/registry_store.h"

namespace {

using winsim::RegHandle;
using winsim::RegistryStore;
using winsim::RegKey;
using winsim::RegValue;

// Handle values are never reused, so that a stale handle fails instead of naming another key.
uintptr_t g_nextHandle = 0x1000;

RegistryStore &Store() {
  return *winsim::M().registry;
}

std::shared_ptr<RegKey> ClassesRoot(RegistryStore &store) {
  std::shared_ptr<RegKey> key = store.roots[winsim::kHiveLocalMachine];
  for (const char *name : {"SOFTWARE", "Classes"}) {
    std::shared_ptr<RegKey> sub = winsim::SubkeyRef(*key, name);
    key = sub ? sub : winsim::AddSubkey(*key, name);
  }
  return key;
}

struct Target {
  std::shared_ptr<RegKey> key;
  uint32_t access = 0;
  bool predefined = false;
};

// The key behind a handle; predefined roots carry every right.
LONG Resolve(HKEY hKey, Target *target) {
  RegistryStore &store = Store();
  target->predefined = true;
  target->access = KEY_ALL_ACCESS;
  if (hKey == HKEY_LOCAL_MACHINE) {
    target->key = store.roots[winsim::kHiveLocalMachine];
  } else if (hKey == HKEY_USERS) {
    target->key = store.roots[winsim::kHiveUsers];
  } else if (hKey == HKEY_CURRENT_USER) {
    target->key = store.roots[winsim::kHiveCurrentUser];
  } else if (hKey == HKEY_CLASSES_ROOT) {
    target->key = ClassesRoot(store);
  } else {
    auto it = store.handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == store.handles.end()) return ERROR_INVALID_HANDLE;
    target->predefined = false;
    target->key = it->second.key;
    target->access = it->second.access;
  }
  return target->key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG ResolveWith(HKEY hKey, uint32_t right, Target *target) {
  LONG rc = Resolve(hKey, target);
  if (rc == ERROR_SUCCESS && (target->access & right) != right) rc = ERROR_ACCESS_DENIED;
  return rc;
}

uint32_t MapAccess(REGSAM sam) {
  uint32_t access = sam;
  if (access & GENERIC_READ) access |= KEY_READ;
  if (access & GENERIC_WRITE) access |= KEY_WRITE;
  if (access & GENERIC_EXECUTE) access |= KEY_EXECUTE;
  if (access & (GENERIC_ALL | MAXIMUM_ALLOWED)) access |= KEY_ALL_ACCESS;
  return access;
}

HKEY NewHandle(const std::shared_ptr<RegKey> &key, uint32_t access) {
  uintptr_t value = g_nextHandle;
  g_nextHandle += 4;
  Store().handles[value] = RegHandle{key, access};
  return reinterpret_cast<HKEY>(value);
}

// Whether the machine's [deny] list names this key (the exact key, compared without regard to
// case). Its children stay reachable, as traversal is not checked on NT.
bool Denied(const std::string &fullPath) {
  const std::vector<std::string> &deny = winsim::M().denyKeys;
  if (deny.empty()) return false;
  winsim::RegHive hive, denyHive;
  std::vector<std::string> parts, denyParts;
  if (!winsim::SplitRegistryPath(fullPath, &hive, &parts)) return false;
  for (std::string entry : deny) {
    while (!entry.empty() && (entry.back() == '\\' || entry.back() == ' ')) entry.pop_back();
    if (!winsim::SplitRegistryPath(entry, &denyHive, &denyParts)) continue;
    if (denyHive != hive || denyParts.size() != parts.size()) continue;
    bool same = true;
    for (size_t i = 0; same && i < parts.size(); ++i)
      same = winsim::EqualNoCase(parts[i], denyParts[i]);
    if (same) return true;
  }
  return false;
}

// The components of a subkey path. NT refuses a path that starts with a backslash and passes
// over empty components (a trailing backslash).
LONG SplitSubkey(LPCSTR subKey, std::vector<std::string> *parts) {
  parts->clear();
  if (!subKey || !*subKey) return ERROR_SUCCESS;
  if (subKey[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string cur;
  for (const char *p = subKey;; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (!cur.empty()) parts->push_back(cur);
      cur.clear();
      if (!*p) break;
    } else {
      cur += *p;
    }
  }
  return ERROR_SUCCESS;
}

// Names that a line of the REGEDIT4 file could not carry.
bool HasLineBreak(const std::string &name) {
  return name.find_first_of("\r\n") != std::string::npos;
}

// One call's change: the record that the registry's log gets for it, and the work undone when
// the record cannot be written, so that memory never holds a change that is not on disk.
struct Change {
  std::vector<std::function<void()>> undo;
  std::string record;  // empty: nothing that outlives the machine changed

  LONG Commit() {
    if (record.empty() || winsim::AppendRegistryLog(record)) return ERROR_SUCCESS;
    Rollback();
    return ERROR_CANTWRITE;
  }
  void Rollback() {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) (*it)();
    undo.clear();
  }
};

void Reinsert(RegKey &parent, const std::shared_ptr<RegKey> &key) {
  auto it = std::lower_bound(
      parent.subkeys.begin(), parent.subkeys.end(), key->upper,
      [](const std::shared_ptr<RegKey> &k, const std::string &u) { return k->upper < u; });
  parent.subkeys.insert(it, key);
}

void SetDeleted(RegKey &key, bool deleted) {
  key.deleted = deleted;
  for (auto &sub : key.subkeys) SetDeleted(*sub, deleted);
}

// The existing key below `base`, which the machine lets the setup account open.
LONG FindPath(const Target &base, LPCSTR subKey, std::shared_ptr<RegKey> *result) {
  std::vector<std::string> parts;
  LONG rc = SplitSubkey(subKey, &parts);
  if (rc != ERROR_SUCCESS) return rc;
  std::shared_ptr<RegKey> key = base.key;
  for (const std::string &part : parts) {
    std::shared_ptr<RegKey> sub = winsim::SubkeyRef(*key, part);
    if (!sub) return ERROR_FILE_NOT_FOUND;
    key = sub;
  }
  if (Denied(winsim::RegistryKeyPath(*key))) return ERROR_ACCESS_DENIED;
  *result = key;
  return ERROR_SUCCESS;
}

LONG OpenPath(const Target &base, LPCSTR subKey, uint32_t access, PHKEY result) {
  std::shared_ptr<RegKey> key;
  LONG rc = FindPath(base, subKey, &key);
  if (rc == ERROR_SUCCESS) *result = NewHandle(key, access);
  return rc;
}

// Opens or creates the key and the keys above it that are missing. No right is needed on the
// parent handle: NT checks the keys themselves.
LONG CreatePath(const Target &base, LPCSTR subKey, DWORD options, const std::string &className,
                Change *change, std::shared_ptr<RegKey> *result, DWORD *disposition) {
  std::vector<std::string> parts;
  LONG rc = SplitSubkey(subKey, &parts);
  if (rc != ERROR_SUCCESS) return rc;
  if (HasLineBreak(className)) return ERROR_INVALID_PARAMETER;
  bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
  std::shared_ptr<RegKey> key = base.key;
  bool created = false;
  for (const std::string &part : parts) {
    std::shared_ptr<RegKey> sub = winsim::SubkeyRef(*key, part);
    if (!sub) {
      if (HasLineBreak(part))
        rc = ERROR_INVALID_PARAMETER;
      else if (Denied(winsim::RegistryKeyPath(*key) + "\\" + part))
        rc = ERROR_ACCESS_DENIED;
      else if (key->isVolatile && !isVolatile)
        rc = ERROR_CHILD_MUST_BE_VOLATILE;
      if (rc != ERROR_SUCCESS) {
        change->Rollback();
        return rc;
      }
      sub = winsim::AddSubkey(*key, part);
      sub->isVolatile = isVolatile;
      change->undo.push_back([sub] { winsim::RemoveSubkey(*sub); });
      created = true;
    }
    key = sub;
  }
  if (!created && Denied(winsim::RegistryKeyPath(*key))) return ERROR_ACCESS_DENIED;
  // The class is the created key's own; an existing key keeps the one it has.
  if (created) key->className = className;
  if (created) change->record = winsim::KeyCreatedRecord(*key);
  *result = key;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

// Sets the value; a value that holds this type and data already is left as it is, unwritten.
// The value's record stands for the key too, which a value set creates when it is missing.
void SetValueUndoable(RegKey &key, const std::string &name, DWORD type, const std::string &data,
                      Change *change) {
  if (RegValue *old = winsim::FindValue(key, name)) {
    if (old->type == type && old->data == data) {
      winsim::TouchKey(key);
      return;
    }
    RegValue saved = *old;
    change->undo.push_back([old, saved] {
      old->type = saved.type;
      old->data = saved.data;
      old->changed = saved.changed;
    });
  } else {
    RegKey *k = &key;
    change->undo.push_back([k] { k->values.pop_back(); });
  }
  winsim::SetValue(key, name, type, data);
  change->record = winsim::ValueSetRecord(key, *winsim::FindValue(key, name));
}

// Copies a name into a caller's buffer of `capacity` characters, terminator included.
bool PutName(const std::string &name, LPSTR buffer, DWORD capacity) {
  if (name.size() >= capacity) return false;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return true;
}

void PutFileTime(uint64_t time, PFILETIME ft) {
  if (!ft) return;
  ft->dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
  ft->dwHighDateTime = static_cast<DWORD>(time >> 32);
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Hands a value's data to a caller's buffer of `capacity` bytes. String data that was stored
// without its terminator gets one when the buffer has room for it, which the size leaves out.
LONG PutData(const RegValue &v, LPBYTE data, DWORD capacity, LPDWORD cbData) {
  DWORD size = static_cast<DWORD>(v.data.size());
  if (data) {
    if (size > capacity) {
      *cbData = size;
      return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(data, v.data.data(), size);
    if (IsStringType(v.type) && size > 0 && v.data.back() != '\0' && capacity > size)
      data[size] = 0;
  }
  if (cbData) *cbData = size;
  return ERROR_SUCCESS;
}

// What RegQueryValueExA does once the key is known. The size is read before the type is
// written, as a caller may pass one variable for both.
LONG QueryValue(const RegKey &key, LPCSTR valueName, LPDWORD type, LPBYTE data, LPDWORD cbData) {
  const RegValue *v = winsim::FindValue(key, valueName ? valueName : "");
  if (!v) {
    if (cbData && !data) *cbData = 0;  // a size query of a missing value answers 0
    return ERROR_FILE_NOT_FOUND;
  }
  DWORD capacity = cbData ? *cbData : 0;
  if (type) *type = v->type;
  return PutData(*v, data, capacity, cbData);
}

// The bytes NT keeps for a value: string data in UTF-16, one unit per character.
DWORD StoredSize(const RegValue &v) {
  if (!IsStringType(v.type)) return static_cast<DWORD>(v.data.size());
  DWORD units = 0;
  for (size_t i = 0; i < v.data.size(); ++i, ++units)
    if (IsDBCSLeadByte(static_cast<BYTE>(v.data[i])) && i + 1 < v.data.size()) ++i;
  return units * 2;
}

// Copies a class into a caller's buffer of *cch characters and sets *cch: what fits, cut and
// terminated, with ERROR_MORE_DATA when it does not; a buffer of no characters is left alone.
LONG PutClass(const std::string &className, LPSTR buffer, LPDWORD cch) {
  DWORD length = static_cast<DWORD>(className.size());
  if (!buffer || *cch == 0) {
    *cch = length;
    return ERROR_SUCCESS;
  }
  if (length < *cch) {
    std::memcpy(buffer, className.c_str(), length + 1);
    *cch = length;
    return ERROR_SUCCESS;
  }
  DWORD fits = *cch - 1;
  std::memcpy(buffer, className.data(), fits);
  buffer[fits] = '\0';
  *cch = fits;
  return ERROR_MORE_DATA;
}

bool HostFileExists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool HostDirExists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PrivilegeEnabled(const char *name) {
  return winsim::M().privilegesEnabled.count(winsim::Upper(name)) != 0;
}

bool IsBelow(const RegKey &key, const RegKey &ancestor) {
  for (const RegKey *k = key.parent; k; k = k->parent)
    if (k == &ancestor) return true;
  return false;
}

// Creates the key below `base` (or finds it), saves the change, then hands out a handle to it.
LONG CreateAndOpen(const Target &base, LPCSTR lpSubKey, DWORD dwOptions, LPCSTR lpClass,
                   uint32_t access, PHKEY phkResult, LPDWORD lpdwDisposition) {
  Change change;
  std::shared_ptr<RegKey> key;
  DWORD disposition = 0;
  LONG rc =
      CreatePath(base, lpSubKey, dwOptions, lpClass ? lpClass : "", &change, &key, &disposition);
  if (rc == ERROR_SUCCESS) rc = change.Commit();
  if (rc != ERROR_SUCCESS) return rc;
  *phkResult = NewHandle(key, access);
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegOpenKeyExA"))) return fault;
  (void)ulOptions;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;  // a handle that is no key leaves *phkResult alone
  // Without a subkey a predefined key comes back as itself; any other key gets a new handle.
  if ((!lpSubKey || !*lpSubKey) && base.predefined) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  rc = OpenPath(base, lpSubKey, MapAccess(samDesired), phkResult);
  if (rc != ERROR_SUCCESS) *phkResult = nullptr;
  return rc;
}

LONG WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegOpenKeyA"))) return fault;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  // Without a subkey the handle passed in comes back, unexamined: RegOpenKeyA(NULL, NULL, ...)
  // answers NULL.
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;
  rc = OpenPath(base, lpSubKey, KEY_ALL_ACCESS, phkResult);
  if (rc != ERROR_SUCCESS) *phkResult = nullptr;
  return rc;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegCreateKeyExA"))) return fault;
  (void)Reserved, (void)lpSecurityAttributes;
  if (!phkResult || (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE)))
    return ERROR_INVALID_PARAMETER;
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;
  return CreateAndOpen(base, lpSubKey, dwOptions, lpClass, MapAccess(samDesired), phkResult,
                       lpdwDisposition);
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegCreateKeyA"))) return fault;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  return CreateAndOpen(base, lpSubKey, 0, nullptr, KEY_ALL_ACCESS, phkResult, nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegCloseKey"))) return fault;
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_USERS || hKey == HKEY_CURRENT_USER ||
      hKey == HKEY_CLASSES_ROOT)
    return ERROR_SUCCESS;
  return Store().handles.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS
                                                                  : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegDeleteKeyA"))) return fault;
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::string> parts;
  if ((rc = SplitSubkey(lpSubKey, &parts)) != ERROR_SUCCESS) return rc;
  std::shared_ptr<RegKey> key = base.key;
  for (const std::string &part : parts) {
    std::shared_ptr<RegKey> sub = winsim::SubkeyRef(*key, part);
    if (!sub) return ERROR_FILE_NOT_FOUND;
    key = sub;
  }
  // A hive, the key behind a predefined handle, a [deny] key and a key with subkeys stay.
  if (!key->parent || (parts.empty() && base.predefined)) return ERROR_ACCESS_DENIED;
  if (Denied(winsim::RegistryKeyPath(*key)) || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
  RegKey *parent = key->parent;
  Change change;
  change.record = winsim::KeyDeletedRecord(*key);
  winsim::RemoveSubkey(*key);
  change.undo.push_back([parent, key] {
    key->deleted = false;
    Reinsert(*parent, key);
  });
  return change.Commit();
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegDeleteValueA"))) return fault;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_SET_VALUE, &t);
  if (rc != ERROR_SUCCESS) return rc;
  std::string name = lpValueName ? lpValueName : "";
  std::vector<std::shared_ptr<RegValue>> &values = t.key->values;
  for (size_t i = 0; i < values.size(); ++i) {
    if (!winsim::EqualNoCase(values[i]->name, name)) continue;
    std::shared_ptr<RegValue> value = values[i];
    winsim::DeleteValue(*t.key, name);
    Change change;
    change.record = winsim::ValueDeletedRecord(*t.key, name);
    RegKey *key = t.key.get();
    change.undo.push_back([key, value, i] {
      value->dead = false;
      key->values.insert(key->values.begin() + static_cast<long>(i), value);
    });
    return change.Commit();
  }
  return ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE *lpData, DWORD cbData) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegSetValueExA"))) return fault;
  (void)Reserved;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_SET_VALUE, &t);
  if (rc != ERROR_SUCCESS) return rc;
  std::string name = lpValueName ? lpValueName : "";
  if ((!lpData && cbData) || HasLineBreak(name)) return ERROR_INVALID_PARAMETER;
  Change change;
  std::string data;
  if (lpData) data.assign(reinterpret_cast<const char *>(lpData), cbData);
  // A string whose count leaves out its terminator, where the terminator follows, is stored
  // with it, as NT does.
  if (IsStringType(dwType) && cbData > 0 && lpData[cbData - 1] != 0 && lpData[cbData] == 0)
    data += '\0';
  SetValueUndoable(*t.key, name, dwType, data, &change);
  return change.Commit();
}

LONG WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegSetValueA"))) return fault;
  (void)cbData;  // the length is the text's, terminator included
  if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
  Target base;
  LONG rc = Resolve(hKey, &base);
  if (rc != ERROR_SUCCESS) return rc;
  Change change;
  std::shared_ptr<RegKey> key = base.key;
  if (lpSubKey && *lpSubKey) {
    rc = CreatePath(base, lpSubKey, 0, "", &change, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
  } else if (!(base.access & KEY_SET_VALUE)) {
    return ERROR_ACCESS_DENIED;
  }
  SetValueUndoable(*key, "", REG_SZ, std::string(lpData, std::strlen(lpData) + 1), &change);
  return change.Commit();
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegQueryValueExA"))) return fault;
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_QUERY_VALUE, &t);
  if (rc != ERROR_SUCCESS) return rc;
  return QueryValue(*t.key, lpValueName, lpType, lpData, lpcbData);
}

LONG WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegQueryValueA"))) return fault;
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = Resolve(hKey, &t);
  if (rc != ERROR_SUCCESS) return rc;
  std::shared_ptr<RegKey> key = t.key;
  if (lpSubKey && *lpSubKey) {
    if ((rc = FindPath(t, lpSubKey, &key)) != ERROR_SUCCESS) return rc;
  } else if (!(t.access & KEY_QUERY_VALUE)) {
    return ERROR_ACCESS_DENIED;
  }
  DWORD capacity = lpcbData && *lpcbData > 0 ? static_cast<DWORD>(*lpcbData) : 0;
  rc = QueryValue(*key, "", nullptr, reinterpret_cast<LPBYTE>(lpData), &capacity);
  if (rc == ERROR_FILE_NOT_FOUND) {
    // A key without a default value answers an empty text.
    if (lpData && capacity < 1)
      rc = ERROR_MORE_DATA;
    else if (lpData)
      lpData[0] = '\0', rc = ERROR_SUCCESS;
    else
      rc = ERROR_SUCCESS;
    capacity = 1;
  }
  if (lpcbData) *lpcbData = static_cast<LONG>(capacity);
  return rc;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegEnumKeyExA"))) return fault;
  if (lpReserved || !lpName || !lpcchName || (lpClass && !lpcchClass))
    return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_ENUMERATE_SUB_KEYS, &t);
  if (rc != ERROR_SUCCESS) return rc;
  if (dwIndex >= t.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const RegKey &sub = *t.key->subkeys[dwIndex];
  if (!PutName(sub.name, lpName, *lpcchName)) return ERROR_MORE_DATA;
  *lpcchName = static_cast<DWORD>(sub.name.size());
  if (lpClass) {
    if (!PutName(sub.className, lpClass, *lpcchClass)) return ERROR_MORE_DATA;
    *lpcchClass = static_cast<DWORD>(sub.className.size());
  }
  PutFileTime(sub.lastWrite, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegEnumKeyA"))) return fault;
  if (!lpName) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_ENUMERATE_SUB_KEYS, &t);
  if (rc != ERROR_SUCCESS) return rc;
  if (dwIndex >= t.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  return PutName(t.key->subkeys[dwIndex]->name, lpName, cchName) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                          LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegEnumValueA"))) return fault;
  if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
    return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_QUERY_VALUE, &t);
  if (rc != ERROR_SUCCESS) return rc;
  if (dwIndex >= t.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const RegValue &v = *t.key->values[dwIndex];
  DWORD size = static_cast<DWORD>(v.data.size());
  DWORD capacity = lpcbData ? *lpcbData : 0;  // read before the type may overwrite it
  // Data that does not fit answers its size; a name that does not fit leaves the name, its count
  // and the data alone and answers the data's size.
  if (lpType) *lpType = v.type;
  if (lpData && size > capacity) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (!PutName(v.name, lpValueName, *lpcchValueName)) {
    if (lpcbData) *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  *lpcchValueName = static_cast<DWORD>(v.name.size());
  return PutData(v, lpData, capacity, lpcbData);
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                             LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                             LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                             LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegQueryInfoKeyA"))) return fault;
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = ResolveWith(hKey, KEY_QUERY_VALUE, &t);
  if (rc != ERROR_SUCCESS) return rc;
  const RegKey &key = *t.key;
  if (lpcchClass && (rc = PutClass(key.className, lpClass, lpcchClass)) != ERROR_SUCCESS) return rc;
  DWORD maxSub = 0, maxClass = 0, maxName = 0, maxData = 0;
  for (const auto &sub : key.subkeys) {
    maxSub = std::max(maxSub, static_cast<DWORD>(sub->name.size()));
    maxClass = std::max(maxClass, static_cast<DWORD>(sub->className.size()));
  }
  for (const auto &v : key.values) {
    maxName = std::max(maxName, static_cast<DWORD>(v->name.size()));
    maxData = std::max(maxData, StoredSize(*v));
  }
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = maxClass;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 20;  // an empty self-relative descriptor
  PutFileTime(key.lastWrite, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

LONG WINAPI RegFlushKey(HKEY hKey) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegFlushKey"))) return fault;
  Target t;
  // Every change is on disk already when the call that made it returns.
  return Resolve(hKey, &t);
}

LONG WINAPI RegSaveKeyA(HKEY hKey, LPCSTR lpFile, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegSaveKeyA"))) return fault;
  (void)lpSecurityAttributes;
  if (!lpFile) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = Resolve(hKey, &t);
  if (rc != ERROR_SUCCESS) return rc;
  if (!PrivilegeEnabled("SeBackupPrivilege")) return ERROR_PRIVILEGE_NOT_HELD;
  std::string host;
  uint32_t error = 0;
  if (!winsim::ResolvePath(lpFile, &host, &error)) return static_cast<LONG>(error);
  if (HostFileExists(host)) return ERROR_ALREADY_EXISTS;
  size_t slash = host.rfind('/');
  if (slash != std::string::npos && !HostDirExists(host.substr(0, slash ? slash : 1)))
    return ERROR_PATH_NOT_FOUND;
  if (!winsim::WriteFileAtomically(host, winsim::FormatRegistryTree(*t.key, "\r\n")))
    return ERROR_CANTWRITE;
  return ERROR_SUCCESS;
}

LONG WINAPI RegRestoreKeyA(HKEY hKey, LPCSTR lpFile, DWORD dwFlags) {
  if (LONG fault = static_cast<LONG>(winsim::Fault("RegRestoreKeyA"))) return fault;
  if (!lpFile || dwFlags != 0) return ERROR_INVALID_PARAMETER;
  Target t;
  LONG rc = Resolve(hKey, &t);
  if (rc != ERROR_SUCCESS) return rc;
  if (!PrivilegeEnabled("SeRestorePrivilege")) return ERROR_PRIVILEGE_NOT_HELD;
  std::string host;
  uint32_t error = 0;
  if (!winsim::ResolvePath(lpFile, &host, &error)) return static_cast<LONG>(error);
  std::string text;
  if (!winsim::ReadHostFile(host, &text) || HostDirExists(host)) return ERROR_FILE_NOT_FOUND;

  // The file is what RegSaveKeyA writes.
  std::unique_ptr<RegistryStore, winsim::RegistryStoreDeleter> saved;
  std::shared_ptr<RegKey> savedRoot = winsim::ParseSavedKey(text, host, &saved);
  if (!savedRoot) return ERROR_REGISTRY_CORRUPT;

  // NT refuses while a key below this one is open.
  RegKey &key = *t.key;
  for (const auto &entry : Store().handles) {
    const RegKey &open = *entry.second.key;
    if (!open.deleted && IsBelow(open, key)) return ERROR_ACCESS_DENIED;
  }

  std::vector<std::shared_ptr<RegKey>> oldSubkeys = key.subkeys;
  std::vector<std::shared_ptr<RegValue>> oldValues = key.values;
  winsim::ReplaceKeyContents(key, *savedRoot);
  Change change;
  change.record = winsim::KeyRestoredRecord(key, text);
  change.undo.push_back([&key, oldSubkeys, oldValues] {
    key.subkeys = oldSubkeys;
    key.values = oldValues;
    for (auto &sub : oldSubkeys) SetDeleted(*sub, false);
    for (auto &v : oldValues) v->dead = false;
  });
  return change.Commit();
}

}  // extern "C"
