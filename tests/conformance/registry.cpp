// The registry: opening and creating keys, classes, the size rules of values and names, the
// order of enumeration, deletion, stale handles, saving and restoring. Registry functions answer
// their error; they leave the thread's last-error value alone.
#include <cstring>
#include <string>

#include "tests/conformance/conformance.h"

using conformance::Check;

namespace {

const char kBasePath[] = "Software\\NorvaleConformance\\registry";
const char kFill = 'x';

// Deletes a key and everything below it; quiet when it is missing.
void DeleteTree(HKEY parent, const char *name) {
  HKEY key;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char child[256];
  while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS) {
    DeleteTree(key, child);
    HKEY left;
    if (RegOpenKeyExA(key, child, 0, KEY_READ, &left) == ERROR_SUCCESS) {
      RegCloseKey(left);  // it could not be deleted: give up rather than loop
      break;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, name);
}

HKEY Create(HKEY parent, const char *name, const char *cls = nullptr, DWORD options = 0) {
  HKEY key = nullptr;
  RegCreateKeyExA(parent, name, 0, const_cast<char *>(cls), options, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

LONG SetBytes(HKEY key, const char *name, DWORD type, const char *data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data), size);
}

// What a call left in a handle variable that held `before`.
std::string HandleLeft(HKEY after, HKEY before, HKEY passed) {
  if (after == nullptr) return "null";
  if (after == passed) return "the key passed";
  if (after == before) return "unchanged";
  return "a new handle";
}

std::string Name(const char *call, const char *what) {
  return std::string(call) + "." + what;
}

bool EnablePrivilege(const char *name, bool enable) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  TOKEN_PRIVILEGES tp;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  BOOL ok = LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid) &&
            AdjustTokenPrivileges(token, FALSE, &tp, sizeof tp, nullptr, nullptr) &&
            GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok != FALSE;
}

bool FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void OpenChecks(HKEY base) {
  HKEY sub = Create(base, "Sub");
  RegCloseKey(sub);
  const HKEY marker = base;  // what the handle variable holds before each call
  struct Case {
    const char *what;
    bool ex;  // RegOpenKeyExA, else RegOpenKeyA
    HKEY key;
    const char *subkey;
    LONG rc;
    const char *handle;
  } cases[] = {
      {"missing", true, base, "Missing", ERROR_FILE_NOT_FOUND, "null"},
      {"missing", false, base, "Missing", ERROR_FILE_NOT_FOUND, "null"},
      {"predefined null subkey", true, HKEY_CLASSES_ROOT, nullptr, 0, "the key passed"},
      {"predefined empty subkey", true, HKEY_CLASSES_ROOT, "", 0, "the key passed"},
      {"predefined null subkey", false, HKEY_CURRENT_USER, nullptr, 0, "the key passed"},
      {"predefined empty subkey", false, HKEY_CURRENT_USER, "", 0, "the key passed"},
      {"open key empty subkey", true, base, "", 0, "a new handle"},
      {"open key null subkey", true, base, nullptr, 0, "a new handle"},
      {"null key null subkey", false, nullptr, nullptr, 0, "null"},
      {"null key", false, nullptr, "Sub", ERROR_INVALID_HANDLE, "unchanged"},
      {"null key empty subkey", true, nullptr, "", ERROR_INVALID_HANDLE, "unchanged"},
      {"leading backslash", false, base, "\\Sub", ERROR_BAD_PATHNAME, "null"},
      {"trailing backslashes", true, base, "Sub\\\\", 0, "a new handle"},
  };
  for (const Case &c : cases) {
    const char *call = c.ex ? "RegOpenKeyExA" : "RegOpenKeyA";
    HKEY result = marker;
    LONG rc = c.ex ? RegOpenKeyExA(c.key, c.subkey, 0, KEY_READ, &result)
                   : RegOpenKeyA(c.key, c.subkey, &result);
    // The result, and what the call left in the handle variable.
    Check(Name(call, c.what).c_str(), std::to_string(rc) + " " + HandleLeft(result, marker, c.key),
          std::to_string(c.rc) + " " + c.handle);
    if (rc == ERROR_SUCCESS && result != c.key && result != marker) RegCloseKey(result);
  }
  conformance::ArmLastError();
  HKEY result;
  LONG rc = RegOpenKeyExA(base, "Missing", 0, KEY_READ, &result);
  Check("RegOpenKeyExA.missing.last error", conformance::Outcome(rc), "2 err=untouched");
  Check("RegOpenKeyA.null result", RegOpenKeyA(HKEY_CURRENT_USER, "Software", nullptr),
        ERROR_INVALID_PARAMETER);
  Check("RegCloseKey.null", RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  RegOpenKeyExA(base, "Sub", 0, KEY_READ, &result);
  Check("RegCloseKey.once", RegCloseKey(result), 0);
  Check("RegCloseKey.twice", RegCloseKey(result), ERROR_INVALID_HANDLE);
}

void CreateChecks(HKEY base) {
  DWORD disposition = 0;
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(base, "Made", 0, nullptr, 0, KEY_NOTIFY, nullptr, &key, &disposition);
  Check("RegCreateKeyExA.new", rc, 0);
  Check("RegCreateKeyExA.new.disposition", disposition, REG_CREATED_NEW_KEY);
  // The rights of the parent's handle do not matter.
  HKEY child = nullptr;
  rc = RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr);
  Check("RegCreateKeyExA.below a handle without rights", rc, 0);
  RegCloseKey(child);
  RegCloseKey(key);
  rc = RegCreateKeyExA(base, "Made", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition);
  Check("RegCreateKeyExA.existing.disposition", disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  Check("RegCreateKeyExA.leading backslash",
        RegCreateKeyExA(base, "\\Made", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_BAD_PATHNAME);

  HKEY fleeting = Create(base, "Fleeting", nullptr, REG_OPTION_VOLATILE);
  rc = RegCreateKeyExA(fleeting, "Lasting", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  Check("RegCreateKeyExA.lasting below volatile", rc, ERROR_CHILD_MUST_BE_VOLATILE);
  rc = RegCreateKeyExA(fleeting, "Child", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                       &key, nullptr);
  Check("RegCreateKeyExA.volatile below volatile", rc, 0);
  RegCloseKey(key);
  rc = RegCreateKeyExA(fleeting, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  Check("RegCreateKeyExA.existing volatile opened as lasting", rc, 0);
  RegCloseKey(key);
  RegCloseKey(fleeting);
}

// A key's class: kept by RegCreateKeyExA, answered by RegQueryInfoKeyA and RegEnumKeyExA, cut
// to the caller's buffer.
void ClassChecks(HKEY base) {
  const char cls[] = "subkey class";  // 12 characters
  HKEY key = Create(base, "Classy", cls);
  HKEY sub = Create(key, "subsubkey", "subsubkey class");
  RegCloseKey(sub);
  struct Case {
    const char *what;
    bool buffer;
    DWORD cch;
    LONG rc;
    DWORD cchAfter;
    const char *text;  // the buffer afterwards, as far as its first terminator
  } cases[] = {
      {"no buffer", false, 0, 0, 12, nullptr},
      {"buffer of no characters", true, 0, 0, 12, "xxxxxxxxxxxxxxx"},
      {"buffer of one character", true, 1, ERROR_MORE_DATA, 0, ""},
      {"buffer one too small", true, 12, ERROR_MORE_DATA, 11, "subkey clas"},
      {"buffer that fits", true, 13, 0, 12, "subkey class"},
  };
  for (const Case &c : cases) {
    char buffer[16];
    std::memset(buffer, kFill, sizeof buffer);
    buffer[15] = '\0';
    DWORD cch = c.cch;
    LONG rc = RegQueryInfoKeyA(key, c.buffer ? buffer : nullptr, &cch, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    // The result, the length answered and what the buffer holds.
    Check((std::string("RegQueryInfoKeyA.class.") + c.what).c_str(),
          std::to_string(rc) + " " + std::to_string(cch) + " " + (c.text ? buffer : "-"),
          std::to_string(c.rc) + " " + std::to_string(c.cchAfter) + " " + (c.text ? c.text : "-"));
  }
  char buffer[16];
  std::memset(buffer, kFill, sizeof buffer);
  LONG rc = RegQueryInfoKeyA(key, buffer, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr);
  Check("RegQueryInfoKeyA.class without its length", std::to_string(rc) + " " + buffer[0],
        std::to_string(ERROR_INVALID_PARAMETER) + " " + kFill);

  // The longest value counts the data as NT keeps it: text in UTF-16.
  SetBytes(key, nullptr, REG_SZ, "data", 5);
  DWORD subkeys, maxSub, maxClass, values, maxName, maxData;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSub, &maxClass, &values, &maxName,
                   &maxData, nullptr, nullptr);
  Check("RegQueryInfoKeyA.subkeys", subkeys, 1);
  Check("RegQueryInfoKeyA.longest subkey name", maxSub, 9);
  Check("RegQueryInfoKeyA.longest subkey class", maxClass, 15);
  Check("RegQueryInfoKeyA.longest value data.text", maxData, 10);
  SetBytes(key, "value one", REG_SZ, "first value data", 17);
  SetBytes(key, "bytes", REG_BINARY, "0123456789012345678901234567890123456789", 40);
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, &maxName,
                   &maxData, nullptr, nullptr);
  Check("RegQueryInfoKeyA.values", values, 3);
  Check("RegQueryInfoKeyA.longest value name", maxName, 9);
  Check("RegQueryInfoKeyA.longest value data.binary", maxData, 40);
  Check("RegQueryInfoKeyA.null key",
        RegQueryInfoKeyA(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr),
        ERROR_INVALID_HANDLE);

  char name[32], subClass[32];
  DWORD cchName = sizeof name, cchClass = sizeof subClass;
  rc = RegEnumKeyExA(key, 0, name, &cchName, nullptr, subClass, &cchClass, nullptr);
  Check("RegEnumKeyExA.class", std::to_string(rc) + " " + subClass + " " + std::to_string(cchClass),
        "0 subsubkey class 15");
  RegCloseKey(key);
}

// Strings whose count leaves out the terminator, and the terminator that reading adds.
void TerminatorChecks(HKEY base) {
  HKEY key = Create(base, "Strings");
  const char text[] = "FullString";  // 10 characters
  SetBytes(key, "string", REG_SZ, text, 10);
  DWORD size = 0;
  RegQueryValueExA(key, "string", nullptr, nullptr, nullptr, &size);
  Check("RegSetValueExA.terminator follows the count", size, 11);
  SetBytes(key, "string", REG_SZ, text, 9);
  size = 0;
  RegQueryValueExA(key, "string", nullptr, nullptr, nullptr, &size);
  Check("RegSetValueExA.no terminator follows the count", size, 9);
  SetBytes(key, "empty", REG_SZ, "", 0);
  size = 7;
  RegQueryValueExA(key, "empty", nullptr, nullptr, nullptr, &size);
  Check("RegSetValueExA.count of zero", size, 0);
  Check("RegSetValueExA.null data of no bytes", SetBytes(key, "null", REG_SZ, nullptr, 0), 0);
  RegDeleteValueA(key, "empty");  // the string is the key's only value below
  RegDeleteValueA(key, "null");

  for (DWORD room : {9u, 10u}) {
    for (bool enumerate : {false, true}) {
      char buffer[12];
      std::memset(buffer, kFill, sizeof buffer);
      DWORD cb = room;
      char name[16];
      DWORD cchName = sizeof name;
      LONG rc = enumerate ? RegEnumValueA(key, 0, name, &cchName, nullptr, nullptr,
                                          reinterpret_cast<BYTE *>(buffer), &cb)
                          : RegQueryValueExA(key, "string", nullptr, nullptr,
                                             reinterpret_cast<BYTE *>(buffer), &cb);
      std::string what = std::string(enumerate ? "RegEnumValueA" : "RegQueryValueExA") +
                         ".unterminated into " + std::to_string(room) + " bytes";
      // The result, the size answered and the byte after the data.
      Check(what.c_str(),
            std::to_string(rc) + " " + std::to_string(cb) + " " +
                std::to_string(static_cast<int>(buffer[9])),
            std::string("0 9 ") + std::to_string(room > 9 ? 0 : kFill));
    }
  }
  RegCloseKey(key);
}

void QueryChecks(HKEY base) {
  HKEY key = Create(base, "Query");
  const DWORD four = 0x12345678;
  SetBytes(key, "bin32", REG_BINARY, reinterpret_cast<const char *>(&four), 4);
  SetBytes(key, "text", REG_SZ, "value", 6);
  DWORD type = 0, size = 0xDEADBEEF;
  LONG rc = RegQueryValueExA(key, "missing", nullptr, &type, nullptr, &size);
  Check("RegQueryValueExA.missing", std::to_string(rc) + " " + std::to_string(size), "2 0");
  BYTE buffer[10];
  size = sizeof buffer;
  RegQueryValueExA(key, "missing", nullptr, &type, buffer, &size);
  Check("RegQueryValueExA.missing into a buffer.size", size, 10);
  // The size is read before the type is written: both may be the same variable.
  size = 4;
  rc = RegQueryValueExA(key, "bin32", nullptr, &size, buffer, &size);
  Check("RegQueryValueExA.type and size in one variable", rc, 0);
  std::memset(buffer, kFill, sizeof buffer);
  size = 3;
  rc = RegQueryValueExA(key, "text", nullptr, &type, buffer, &size);
  // The result, the size and type answered, and the buffer left alone.
  Check("RegQueryValueExA.too small",
        std::to_string(rc) + " " + std::to_string(size) + " " + std::to_string(type) + " " +
            static_cast<char>(buffer[0]),
        std::string("234 6 1 ") + kFill);
  Check("RegQueryValueExA.no type no size",
        RegQueryValueExA(key, "text", nullptr, nullptr, nullptr, nullptr), 0);

  // RegSetValueA and RegQueryValueA: the default value of a key, as text.
  Check("RegSetValueA.binary", RegSetValueA(key, nullptr, REG_BINARY, "data", 5),
        ERROR_INVALID_PARAMETER);
  Check("RegSetValueA.subkey", RegSetValueA(key, "Deflt", REG_SZ, "data", 4), 0);
  char text[16];
  LONG cb = sizeof text;
  rc = RegQueryValueA(key, "Deflt", nullptr, &cb);
  Check("RegQueryValueA.no buffer", std::to_string(rc) + " " + std::to_string(cb), "0 5");
  std::memset(text, kFill, sizeof text);
  cb = 1;
  rc = RegQueryValueA(key, "Deflt", text, &cb);
  Check("RegQueryValueA.too small", std::to_string(rc) + " " + std::to_string(cb) + " " + text[0],
        std::string("234 5 ") + kFill);
  Check("RegQueryValueA.no size", RegQueryValueA(key, "Deflt", text, nullptr),
        ERROR_INVALID_PARAMETER);
  cb = sizeof text;
  RegQueryValueA(key, "Deflt", text, &cb);
  Check("RegQueryValueA.text", std::string(text), "data");
  Check("RegQueryValueA.null key", RegQueryValueA(nullptr, "Deflt", text, &cb),
        ERROR_INVALID_HANDLE);
  RegCloseKey(key);
}

void EnumChecks(HKEY base) {
  HKEY key = Create(base, "Enum");
  SetBytes(key, "Test", REG_BINARY, nullptr, 0);
  char value[12], data[12];
  DWORD valCount = sizeof value, dataCount = sizeof data, type = 0;
  std::memset(data, kFill, sizeof data);
  LONG rc = RegEnumValueA(key, 0, value, &valCount, nullptr, &type, reinterpret_cast<BYTE *>(data),
                          &dataCount);
  Check("RegEnumValueA.no bytes",
        std::to_string(rc) + " " + std::to_string(valCount) + " " + std::to_string(dataCount) +
            " " + std::to_string(type) + " " + data[0],
        std::string("0 4 0 3 ") + kFill);

  SetBytes(key, "Test", REG_SZ, "foobar", 7);
  struct Case {
    const char *what;
    DWORD valCount, dataCount;
    LONG rc;
    DWORD valAfter, dataAfter;
    const char *name, *data;  // null: not looked at
  } cases[] = {
      {"name and data too small", 2, 2, ERROR_MORE_DATA, 2, 7, "xxxxxxxxxxx", "xxxxxxxxxxx"},
      {"name too small", 3, 12, ERROR_MORE_DATA, 3, 7, nullptr, nullptr},
      {"no room for the name's terminator", 4, 12, ERROR_MORE_DATA, 4, 7, nullptr, nullptr},
      {"data too small", 12, 2, ERROR_MORE_DATA, 12, 7, "xxxxxxxxxxx", "xxxxxxxxxxx"},
      {"both fit", 12, 12, 0, 4, 7, "Test", "foobar"},
  };
  for (const Case &c : cases) {
    std::memset(value, kFill, sizeof value);
    std::memset(data, kFill, sizeof data);
    value[11] = data[11] = '\0';
    valCount = c.valCount, dataCount = c.dataCount, type = 0;
    rc = RegEnumValueA(key, 0, value, &valCount, nullptr, &type, reinterpret_cast<BYTE *>(data),
                       &dataCount);
    // The result, the counts and type answered, and the name and data buffers.
    Check((std::string("RegEnumValueA.") + c.what).c_str(),
          std::to_string(rc) + " " + std::to_string(valCount) + " " + std::to_string(dataCount) +
              " " + std::to_string(type) + " " + (c.name ? value : "-") + " " +
              (c.data ? data : "-"),
          std::to_string(c.rc) + " " + std::to_string(c.valAfter) + " " +
              std::to_string(c.dataAfter) + " 1 " + (c.name ? c.name : "-") + " " +
              (c.data ? c.data : "-"));
  }
  valCount = sizeof value;
  Check("RegEnumValueA.past the end",
        RegEnumValueA(key, 1, value, &valCount, nullptr, nullptr, nullptr, nullptr),
        ERROR_NO_MORE_ITEMS);

  HKEY sub = Create(key, "Child");
  RegCloseKey(sub);
  char name[8];
  DWORD cch = 5;
  Check("RegEnumKeyExA.no room for the terminator",
        RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  cch = 6;
  rc = RegEnumKeyExA(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr);
  Check("RegEnumKeyExA.fits", std::to_string(rc) + " " + name + " " + std::to_string(cch),
        "0 Child 5");
  cch = sizeof name;
  Check("RegEnumKeyExA.past the end",
        RegEnumKeyExA(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  Check("RegEnumKeyA.no room for the terminator", RegEnumKeyA(key, 0, name, 5), ERROR_MORE_DATA);
  Check("RegEnumKeyA.past the end", RegEnumKeyA(key, 1, name, sizeof name), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

// NT keeps subkeys sorted by name without regard to case, values in the order they were made.
void OrderChecks(HKEY base) {
  HKEY key = Create(base, "Order");
  for (const char *name : {"Zeta", "alpha", "Beta"}) RegCloseKey(Create(key, name));
  const DWORD zero = 0;
  for (const char *name : {"A", "C", "D", "B"})
    SetBytes(key, name, REG_DWORD, reinterpret_cast<const char *>(&zero), 4);
  std::string keys, values;
  char name[16];
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    keys += std::string(i ? "," : "") + name;
  DWORD cch = sizeof name;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr) == 0;
       ++i, cch = sizeof name)
    values += std::string(i ? "," : "") + name;
  Check("RegEnumKeyA.order", keys, "alpha,Beta,Zeta");
  Check("RegEnumValueA.order", values, "A,C,D,B");
  RegCloseKey(key);
}

void DeleteChecks(HKEY base) {
  HKEY key = Create(base, "Doomed");
  RegCloseKey(Create(key, "Child"));
  Check("RegDeleteKeyA.with subkeys", RegDeleteKeyA(base, "Doomed"), ERROR_ACCESS_DENIED);
  Check("RegDeleteKeyA.missing", RegDeleteKeyA(base, "Missing"), ERROR_FILE_NOT_FOUND);
  SetBytes(key, "", REG_SZ, "value", 6);
  Check("RegDeleteValueA.default", RegDeleteValueA(key, ""), 0);
  Check("RegDeleteValueA.again", RegDeleteValueA(key, ""), ERROR_FILE_NOT_FOUND);
  Check("RegDeleteKeyA.child", RegDeleteKeyA(key, "Child"), 0);
  Check("RegDeleteKeyA.itself", RegDeleteKeyA(key, ""), 0);

  // A handle to a deleted key answers ERROR_KEY_DELETED.
  char text[16];
  DWORD cch = sizeof text;
  HKEY other;
  struct Case {
    const char *what;
    LONG rc;
  } cases[] = {
      {"RegEnumValueA", RegEnumValueA(key, 0, text, &cch, nullptr, nullptr, nullptr, nullptr)},
      {"RegEnumKeyA", RegEnumKeyA(key, 0, text, sizeof text)},
      {"RegQueryValueExA", RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr)},
      {"RegSetValueExA", SetBytes(key, "v", REG_SZ, "v", 2)},
      {"RegOpenKeyA", RegOpenKeyA(key, "Child", &other)},
      {"RegCreateKeyA", RegCreateKeyA(key, "Child", &other)},
      {"RegFlushKey", RegFlushKey(key)},
  };
  for (const Case &c : cases)
    Check((std::string(c.what) + ".deleted key").c_str(), c.rc, ERROR_KEY_DELETED);
  RegCloseKey(key);
}

// RegSaveKeyA needs the backup privilege, makes a new file only, and leaves none when it fails;
// RegRestoreKeyA needs the restore privilege and puts the saved values and subkeys in place.
void SaveRestoreChecks(HKEY base) {
  std::string dir = conformance::Scratch();
  std::string saved = dir + "saved", again = dir + "unprivileged";
  HKEY key = Create(base, "Saved");
  SetBytes(key, "kept", REG_SZ, "yes", 4);
  RegCloseKey(Create(key, "Below"));

  EnablePrivilege(SE_BACKUP_NAME, true);
  Check("RegSaveKeyA.new file", RegSaveKeyA(key, saved.c_str(), nullptr), 0);
  Check("RegSaveKeyA.existing file", RegSaveKeyA(key, saved.c_str(), nullptr),
        ERROR_ALREADY_EXISTS);
  EnablePrivilege(SE_BACKUP_NAME, false);
  Check("RegSaveKeyA.without the privilege", RegSaveKeyA(key, again.c_str(), nullptr),
        ERROR_PRIVILEGE_NOT_HELD);
  Check("RegSaveKeyA.without the privilege.file left", FileExists(again), false);
  RegCloseKey(key);

  HKEY target = Create(base, "Restored");
  Check("RegRestoreKeyA.without the privilege", RegRestoreKeyA(target, saved.c_str(), 0),
        ERROR_PRIVILEGE_NOT_HELD);
  EnablePrivilege(SE_RESTORE_NAME, true);
  Check("RegRestoreKeyA.saved file", RegRestoreKeyA(target, saved.c_str(), 0), 0);
  EnablePrivilege(SE_RESTORE_NAME, false);
  char text[8] = "";
  DWORD cb = sizeof text;
  RegQueryValueExA(target, "kept", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &cb);
  Check("RegRestoreKeyA.value restored", std::string(text), "yes");
  HKEY below = nullptr;
  Check("RegRestoreKeyA.subkey restored", RegOpenKeyA(target, "Below", &below), 0);
  if (below) RegCloseKey(below);
  RegCloseKey(target);
  conformance::RemoveTree(dir);
}

}  // namespace

CONFORMANCE_AREA(registry) {
  DeleteTree(HKEY_CURRENT_USER, kBasePath);
  HKEY base = Create(HKEY_CURRENT_USER, kBasePath);
  OpenChecks(base);
  CreateChecks(base);
  ClassChecks(base);
  TerminatorChecks(base);
  QueryChecks(base);
  EnumChecks(base);
  OrderChecks(base);
  DeleteChecks(base);
  SaveRestoreChecks(base);
  RegCloseKey(base);
  DeleteTree(HKEY_CURRENT_USER, kBasePath);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\NorvaleConformance");  // stays while others use it
}
