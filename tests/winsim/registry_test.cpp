// The registry functions of advapi32, checked as Windows NT documents them: what a conformance
// test of the real API would check, on small machine images.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "test_image.h"
#include "winsim/registry_store.h"

using testing_support::TestImage;

namespace {

const char kRegistry[] =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale]\r\n"
    "\"Driver\"=\"zelpsmon.dll\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Ports\\LPT1]\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret\\Inner]\r\n"
    "\r\n";

class Registry : public ::testing::Test {
 protected:
  void OpenImage(const std::string &ini = "") {
    image_ = std::make_unique<TestImage>(testing_support::kDefaultMachine + ini, kRegistry);
    image_->Open();
  }
  void SetUp() override { OpenImage(); }

  // The registry as it is on disk now.
  std::unique_ptr<winsim::RegistryStore, winsim::RegistryStoreDeleter> OnDisk() {
    return image_->Registry();
  }
  bool KeyOnDisk(const std::string &path) {
    auto store = OnDisk();
    return store && winsim::FindRegistryKey(*store, path) != nullptr;
  }
  HKEY Open(HKEY root, const char *path, REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, path, 0, sam, &key), ERROR_SUCCESS) << path;
    return key;
  }
  HKEY Create(HKEY root, const char *path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(root, path, &key), ERROR_SUCCESS) << path;
    return key;
  }
  LONG SetSz(HKEY key, const char *name, const char *text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
  }
  LONG SetDword(HKEY key, const char *name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
  }

  std::unique_ptr<TestImage> image_;
};

// ---- Opening and creating ----------------------------------------------------------------

TEST_F(Registry, OpeningFindsKeysWithoutRegardToCase) {
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Missing\\Deeper", &key),
            ERROR_FILE_NOT_FOUND);
  key = Open(HKEY_LOCAL_MACHINE, "software\\NORVALE\\ports\\lpt1\\");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, nullptr),
            ERROR_INVALID_PARAMETER);
  // Without a subkey RegOpenKeyA and RegCreateKeyA answer the handle passed in.
  HKEY norvale = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
  EXPECT_EQ(RegOpenKeyA(norvale, nullptr, &key), ERROR_SUCCESS);
  EXPECT_EQ(key, norvale);
  EXPECT_EQ(RegCreateKeyA(norvale, "", &key), ERROR_SUCCESS);
  EXPECT_EQ(key, norvale);
  // RegOpenKeyExA with an empty subkey opens a new handle to the same key.
  EXPECT_EQ(RegOpenKeyExA(norvale, "", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(key, norvale);
  RegCloseKey(key);
  RegCloseKey(norvale);
}

TEST_F(Registry, CreatingReportsItsDispositionAndKeepsTheGivenCase) {
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\New Key\\Level2", 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\norvale\\NEW KEY", 0, nullptr, 0,
                            KEY_READ, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  char name[32];
  ASSERT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Level2");
  RegCloseKey(key);
  EXPECT_TRUE(KeyOnDisk("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\New Key\\Level2"));
  HKEY norvale = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
  ASSERT_EQ(RegEnumKeyA(norvale, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "New Key");
  RegCloseKey(norvale);
}

TEST_F(Registry, ClassesRootIsSoftwareClassesOfTheLocalMachine) {
  HKEY key = Create(HKEY_CLASSES_ROOT, ".zps");
  RegCloseKey(key);
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".zps", REG_SZ, "zpsfile", 0), ERROR_SUCCESS);
  key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.ZPS");
  char text[16];
  LONG size = sizeof text;
  EXPECT_EQ(RegQueryValueA(key, nullptr, text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "zpsfile");
  RegCloseKey(key);
  auto disk = OnDisk();
  std::string data;
  ASSERT_TRUE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.zps", "",
                                       nullptr, &data));
  EXPECT_EQ(data, std::string("zpsfile", 8));
}

TEST_F(Registry, VolatileKeysAreNeverWritten) {
  HKEY key, child;
  DWORD disposition;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Session", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key, "Pid", 7), ERROR_SUCCESS);
  EXPECT_EQ(
      RegCreateKeyExA(key, "Stays", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
      1021L);  // ERROR_CHILD_MUST_BE_VOLATILE
  RegCloseKey(key);
  EXPECT_FALSE(KeyOnDisk("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Session"));
  key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Session");
  RegCloseKey(key);
}

// ---- Access rights and the machine's [deny] keys ------------------------------------------

TEST_F(Registry, AHandleAllowsOnlyWhatItWasOpenedFor) {
  HKEY read = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", KEY_READ);
  EXPECT_EQ(SetSz(read, "Driver", "other.dll"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(read, "Driver"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueA(read, nullptr, REG_SZ, "x", 1), ERROR_ACCESS_DENIED);
  char data[32];
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(read, "Driver", nullptr, nullptr, (BYTE *)data, &size), ERROR_SUCCESS);
  EXPECT_STREQ(data, "zelpsmon.dll");
  // NT checks the rights of a new key, not of the parent's handle.
  HKEY child;
  EXPECT_EQ(RegCreateKeyA(read, "Child", &child), ERROR_SUCCESS);
  RegCloseKey(child);
  RegCloseKey(read);

  HKEY write = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", KEY_WRITE);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(write, "Driver", nullptr, nullptr, (BYTE *)data, &size),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyA(write, 0, data, sizeof data), ERROR_ACCESS_DENIED);
  DWORD count;
  EXPECT_EQ(RegQueryInfoKeyA(write, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  DWORD nameLen = sizeof data;
  EXPECT_EQ(RegEnumValueA(write, 0, data, &nameLen, nullptr, nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetSz(write, "Driver", "zelpsmon.dll"), ERROR_SUCCESS);
  RegCloseKey(write);

  // Generic rights map onto the key rights.
  HKEY generic = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", GENERIC_READ);
  size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(generic, "Driver", nullptr, nullptr, (BYTE *)data, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(SetDword(generic, "n", 1), ERROR_ACCESS_DENIED);
  RegCloseKey(generic);
}

TEST_F(Registry, DeniedKeysCannotBeOpenedCreatedOrDeletedButStillEnumerate) {
  OpenImage(
      "[deny]\nkey = hkey_local_machine\\software\\SECRET\\\n"
      "key = HKEY_CLASSES_ROOT\\Locked\n");
  HKEY key;
  DWORD disposition;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret", 0, KEY_READ, &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\secret", &key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret", 0, nullptr, 0, KEY_READ,
                            nullptr, &key, &disposition),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret", nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  // Only the exact key: what lies below it opens.
  key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret\\Inner");
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret\\Inner"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Secret"), ERROR_ACCESS_DENIED);
  // A denied key that does not exist yet cannot be made, nor can the keys on the way to it.
  EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Locked\\Below", &key),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyA(HKEY_CLASSES_ROOT, "Locked", &key), ERROR_FILE_NOT_FOUND);

  HKEY software = Open(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_READ);
  char name[32];
  bool listed = false;
  for (DWORD i = 0; RegEnumKeyA(software, i, name, sizeof name) == ERROR_SUCCESS; ++i)
    listed = listed || std::strcmp(name, "Secret") == 0;
  EXPECT_TRUE(listed);
  RegCloseKey(software);
}

// ---- Deleting ------------------------------------------------------------------------------

TEST_F(Registry, DeletingRefusesKeysWithSubkeysAndHives) {
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Ports"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "software\\norvale\\ports\\lpt1"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyOnDisk("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Ports\\LPT1"));
  EXPECT_TRUE(KeyOnDisk("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Ports"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Ports"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyOnDisk("HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Ports"));
}

TEST_F(Registry, AHandleToADeletedKeyAnswersKeyDeleted) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Doomed");
  ASSERT_EQ(SetDword(key, "n", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Doomed"), ERROR_SUCCESS);
  DWORD size = 4, value;
  HKEY sub;
  char name[16];
  EXPECT_EQ(RegQueryValueExA(key, "n", nullptr, nullptr, (BYTE *)&value, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(SetDword(key, "n", 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyA(key, "Child", &sub), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &sub), ERROR_KEY_DELETED);
  // A key of the same name made afterwards is another key.
  HKEY again = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Doomed");
  EXPECT_EQ(RegQueryValueExA(again, "n", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

// ---- Values and their size rules ------------------------------------------------------------

TEST_F(Registry, ValuesOfEveryTypeComeBackWithTheirSizes) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Values");
  const BYTE multi[] = "one\0two\0";  // with the array's own terminator: "one\0two\0\0"
  ASSERT_EQ(SetSz(key, "Text", "hello"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "Number", 0x12345678), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, multi, sizeof multi), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

  DWORD type = 0, size = 0;
  // Without a buffer the size is answered.
  EXPECT_EQ(RegQueryValueExA(key, "text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 6u);
  // A buffer one byte short: ERROR_MORE_DATA and the size needed.
  char text[16] = "untouched";
  size = 5;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, (BYTE *)text, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  size = 6;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, (BYTE *)text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "hello");
  DWORD number = 0;
  size = sizeof number;
  EXPECT_EQ(RegQueryValueExA(key, "NUMBER", nullptr, &type, (BYTE *)&number, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number, 0x12345678u);
  BYTE buffer[16];
  size = sizeof buffer;
  EXPECT_EQ(RegQueryValueExA(key, "Multi", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(size, sizeof multi);
  EXPECT_EQ(std::memcmp(buffer, multi, sizeof multi), 0);
  size = 99;
  EXPECT_EQ(RegQueryValueExA(key, "Empty", nullptr, &type, buffer, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", &reserved, &type, buffer, &size),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, buffer, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteValueA(key, "missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "TEXT"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  // The default value is the one without a name, whether null or empty.
  ASSERT_EQ(SetSz(key, nullptr, "dflt"), ERROR_SUCCESS);
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, (BYTE *)text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "dflt");
  RegCloseKey(key);

  auto disk = OnDisk();
  std::string data;
  uint32_t diskType;
  ASSERT_TRUE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Values",
                                       "Multi", &diskType, &data));
  EXPECT_EQ(data, std::string(reinterpret_cast<const char *>(multi), sizeof multi));
  EXPECT_FALSE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Values",
                                        "Text", nullptr, nullptr));
}

TEST_F(Registry, RegSetValueAndRegQueryValueWorkOnTheDefaultValueOfASubkey) {
  // RegSetValueA makes the subkey and stores the text with its terminator, whatever cbData says.
  ASSERT_EQ(
      RegSetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Help\\File", REG_SZ, "zelpsmon.hlp", 3),
      ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale", REG_DWORD, "x", 2),
            ERROR_INVALID_PARAMETER);
  char text[32];
  LONG size = sizeof text;
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Help\\File", text, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "zelpsmon.hlp");
  EXPECT_EQ(size, 13);
  size = 12;
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Help\\File", text, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 13);
  size = 0;
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Help\\File", nullptr, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 13);
  // A key without a default value answers an empty text.
  std::strcpy(text, "junk");
  size = sizeof text;
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Help", text, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(size, 1);
  EXPECT_EQ(RegQueryValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Nothing", text, &size),
            ERROR_FILE_NOT_FOUND);
}

// ---- Enumeration and key information --------------------------------------------------------

TEST_F(Registry, SubkeysEnumerateSortedWithoutRegardToCase) {
  HKEY parent = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Order");
  for (const char *name : {"beta", "_under", "Alpha", "GAMMA", "alpha2"}) {
    HKEY k = Create(parent, name);
    RegCloseKey(k);
  }
  const char *expected[] = {"Alpha", "alpha2", "beta", "GAMMA", "_under"};
  char name[16];
  for (DWORD i = 0; i < 5; ++i) {
    ASSERT_EQ(RegEnumKeyA(parent, i, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, expected[i]);
  }
  EXPECT_EQ(RegEnumKeyA(parent, 5, name, sizeof name), ERROR_NO_MORE_ITEMS);

  // Capacities count the terminator; the answered length does not.
  EXPECT_EQ(RegEnumKeyA(parent, 0, name, 5), ERROR_MORE_DATA);  // "Alpha" needs 6
  EXPECT_EQ(RegEnumKeyA(parent, 0, name, 6), ERROR_SUCCESS);
  DWORD len = 6;
  FILETIME time = {0, 0};
  EXPECT_EQ(RegEnumKeyExA(parent, 1, name, &len, nullptr, nullptr, nullptr, &time),
            ERROR_MORE_DATA);  // "alpha2" needs 7
  EXPECT_EQ(len, 6u);
  len = 7;
  char cls[4] = "x";
  DWORD clsLen = sizeof cls;
  EXPECT_EQ(RegEnumKeyExA(parent, 1, name, &len, nullptr, cls, &clsLen, &time), ERROR_SUCCESS);
  EXPECT_EQ(len, 6u);
  EXPECT_STREQ(name, "alpha2");
  EXPECT_STREQ(cls, "");
  EXPECT_EQ(clsLen, 0u);
  EXPECT_NE(time.dwHighDateTime, 0u);
  len = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(parent, 9, name, &len, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  RegCloseKey(parent);
}

TEST_F(Registry, ValuesEnumerateInTheOrderTheyWereMade) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Enum");
  ASSERT_EQ(SetSz(key, "zeta", "1"), ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "Alpha", "22"), ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "mid", "333"), ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "ZETA", "4444"), ERROR_SUCCESS);  // keeps its place and its name
  ASSERT_EQ(RegDeleteValueA(key, "Alpha"), ERROR_SUCCESS);
  ASSERT_EQ(SetSz(key, "Alpha", "5"), ERROR_SUCCESS);  // made again: last
  const char *expected[] = {"zeta", "mid", "Alpha"};
  char name[16];
  BYTE data[16];
  DWORD nameLen, size, type;
  for (DWORD i = 0; i < 3; ++i) {
    nameLen = sizeof name, size = sizeof data;
    ASSERT_EQ(RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, expected[i]);
    EXPECT_EQ(nameLen, std::strlen(expected[i]));
  }
  nameLen = sizeof name, size = sizeof data;
  EXPECT_EQ(RegEnumValueA(key, 3, name, &nameLen, nullptr, &type, data, &size),
            ERROR_NO_MORE_ITEMS);

  // The name does not fit: ERROR_MORE_DATA, the name count left as it was.
  nameLen = 4, size = sizeof data;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(nameLen, 4u);
  // The data does not fit: ERROR_MORE_DATA with the size it needs.
  nameLen = sizeof name, size = 2;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // Without a data buffer the size is answered.
  nameLen = sizeof name, size = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameLen, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 5u);
  EXPECT_STREQ(name, "zeta");
  RegCloseKey(key);
}

TEST_F(Registry, QueryInfoKeyAnswersCountsAndLongestNamesWithoutTerminator) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Info");
  for (const char *name : {"a", "abcdefghij", "abc"}) {
    HKEY k = Create(key, name);
    RegCloseKey(k);
  }
  ASSERT_EQ(SetSz(key, "short", "a long piece of data"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "a much longer name", 1), ERROR_SUCCESS);
  char cls[1024];
  DWORD clsLen = sizeof cls, subkeys, maxSub, maxClass, values, maxName, maxData, sd;
  FILETIME time;
  ASSERT_EQ(RegQueryInfoKeyA(key, cls, &clsLen, nullptr, &subkeys, &maxSub, &maxClass, &values,
                             &maxName, &maxData, &sd, &time),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 3u);
  EXPECT_EQ(maxSub, 10u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 18u);
  EXPECT_EQ(maxData, 42u);  // the text as NT keeps it, in UTF-16
  EXPECT_EQ(clsLen, 0u);
  EXPECT_STREQ(cls, "");
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, &reserved, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
  HKEY empty = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Info\\a");
  ASSERT_EQ(RegQueryInfoKeyA(empty, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &values,
                             &maxName, &maxData, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys + maxSub + values + maxName + maxData, 0u);
  RegCloseKey(empty);
}

// ---- Handles, last-error value, injected faults ---------------------------------------------

TEST_F(Registry, InvalidHandlesAreRefusedAndTheLastErrorValueIsLeftAlone) {
  HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x4321));
  SetLastError(4242);
  HKEY key;
  char name[8];
  DWORD size = 0;
  EXPECT_EQ(RegOpenKeyExA(bogus, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(bogus, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegEnumKeyA(bogus, 0, name, sizeof name), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegFlushKey(bogus), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), ERROR_INVALID_HANDLE);
  key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE");
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Nowhere", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), 4242u);
}

TEST_F(Registry, InjectedFaultsAreAnsweredBeforeAnythingElse) {
  OpenImage("[faults]\nRegOpenKeyExA = 5\nRegSetValueExA#2 = 1013\nRegCloseKey#1 = 6\n");
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), 5);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), 5);
  key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Faulty");
  EXPECT_EQ(SetDword(key, "first", 1), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key, "second", 2), 1013);
  EXPECT_EQ(SetDword(key, "third", 3), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), 6);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  auto disk = OnDisk();
  EXPECT_FALSE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Faulty", "second",
                                        nullptr, nullptr));
  EXPECT_TRUE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Faulty", "third",
                                       nullptr, nullptr));
}

// ---- Durability -----------------------------------------------------------------------------

TEST_F(Registry, AChangeThatCannotBeSavedIsNotMade) {
  HKEY key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
  const std::string before = image_->ReadFile("system.reg");
  // A directory where the log would be makes every save fail, even for root.
  ASSERT_EQ(mkdir(image_->HostPath("system.log").c_str(), 0755), 0);
  EXPECT_EQ(SetSz(key, "Driver", "other.dll"), ERROR_CANTWRITE);
  EXPECT_EQ(SetDword(key, "New", 1), ERROR_CANTWRITE);
  EXPECT_EQ(RegDeleteValueA(key, "Driver"), ERROR_CANTWRITE);
  EXPECT_EQ(RegDeleteKeyA(key, "Ports\\LPT1"), ERROR_CANTWRITE);
  HKEY sub;
  EXPECT_EQ(RegCreateKeyA(key, "A\\B\\C", &sub), ERROR_CANTWRITE);
  EXPECT_EQ(RegSetValueA(key, "D\\E", REG_SZ, "x", 0), ERROR_CANTWRITE);
  EXPECT_EQ(image_->ReadFile("system.reg"), before);

  char data[32];
  DWORD size = sizeof data, count = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Driver", nullptr, nullptr, (BYTE *)data, &size), ERROR_SUCCESS);
  EXPECT_STREQ(data, "zelpsmon.dll");
  EXPECT_EQ(RegQueryValueExA(key, "New", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyA(key, "Ports\\LPT1", &sub), ERROR_SUCCESS);
  RegCloseKey(sub);
  EXPECT_EQ(RegOpenKeyA(key, "A", &sub), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyA(key, "D", &sub), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(count, 1u);

  ASSERT_EQ(rmdir(image_->HostPath("system.log").c_str()), 0);
  EXPECT_EQ(SetDword(key, "New", 1), ERROR_SUCCESS);
  EXPECT_TRUE(winsim::GetRegistryValue(*OnDisk(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale", "New",
                                       nullptr, nullptr));
  RegCloseKey(key);
}

// ---- Saving and restoring a key tree --------------------------------------------------------

class SaveRestore : public Registry {
 protected:
  void Enable(const char *privilege) { winsim::M().privilegesEnabled.insert(privilege); }
  // Fills SOFTWARE\Norvale\Tree with every kind of value two levels deep.
  void Fill() {
    HKEY tree = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Tree");
    HKEY deep = Create(tree, "Level1\\Level2");
    HKEY empty = Create(tree, "Empty");
    const BYTE odd[] = {0, 1, 2, 0xff};
    ASSERT_EQ(SetSz(tree, nullptr, "default"), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(tree, "Expand", 0, REG_EXPAND_SZ, (const BYTE *)"%SystemRoot%", 13),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(tree, "Multi", 0, REG_MULTI_SZ, (const BYTE *)"a\0b\0", 5),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(deep, "Bin", 0, REG_BINARY, odd, sizeof odd), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(deep, "Raw", 0, 0x1234, odd, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(deep, "Line", 0, REG_SZ, (const BYTE *)"a\nb", 4), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(deep, "Dword", 0xdeadbeef), ERROR_SUCCESS);
    RegCloseKey(empty);
    RegCloseKey(deep);
    RegCloseKey(tree);
  }
  // Every key below `path` with its values, in enumeration order.
  std::string Dump(HKEY root, const std::string &path) {
    HKEY key = Open(root, path.c_str(), KEY_READ);
    std::string out;
    char name[64];
    BYTE data[64];
    for (DWORD i = 0;; ++i) {
      DWORD nameLen = sizeof name, size = sizeof data, type;
      if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
        break;
      out += "value " + std::string(name) + " " + std::to_string(type) + " " +
             std::string(reinterpret_cast<char *>(data), size) + "\n";
    }
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
      out += "key " + std::string(name) + "\n" + Dump(key, name);
    RegCloseKey(key);
    return out;
  }
};

TEST_F(SaveRestore, NeedsTheBackupAndRestorePrivilegesEnabled) {
  HKEY key = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale");
  EXPECT_EQ(RegSaveKeyA(key, "C:\\TEMP\\zps1", nullptr), ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_FALSE(image_->Exists("drive_c/TEMP/zps1"));
  Enable("SEBACKUPPRIVILEGE");
  EXPECT_EQ(RegSaveKeyA(key, "C:\\TEMP\\zps1", nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegRestoreKeyA(key, "C:\\TEMP\\zps1", 0), ERROR_PRIVILEGE_NOT_HELD);
  // Saving never overwrites a file.
  EXPECT_EQ(RegSaveKeyA(key, "c:\\temp\\ZPS1", nullptr), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(RegSaveKeyA(key, "C:\\NoSuchDir\\zps2", nullptr), ERROR_PATH_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(SaveRestore, ASavedTreeRestoresExactlyIntoAnotherKey) {
  Enable("SEBACKUPPRIVILEGE");
  Enable("SERESTOREPRIVILEGE");
  Fill();
  const std::string original = Dump(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Tree");
  HKEY tree = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Tree");
  ASSERT_EQ(RegSaveKeyA(tree, "C:\\TEMP\\zps7", nullptr), ERROR_SUCCESS);
  RegCloseKey(tree);

  // The target's own values and subkeys are replaced.
  HKEY copy = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Copy");
  HKEY old = Create(copy, "Old\\Child");
  RegCloseKey(old);
  ASSERT_EQ(SetSz(copy, "Stale", "x"), ERROR_SUCCESS);
  ASSERT_EQ(RegRestoreKeyA(copy, "C:\\TEMP\\zps7", 0), ERROR_SUCCESS);
  EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, "SOFTWARE\\Copy"), original);
  RegCloseKey(copy);
  EXPECT_NE(original.find("value Line 1 a\nb"), std::string::npos);

  // ... and so they are on disk.
  auto disk = OnDisk();
  std::string data;
  uint32_t type;
  ASSERT_TRUE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Copy\\Level1\\Level2",
                                       "Raw", &type, &data));
  EXPECT_EQ(type, 0x1234u);
  EXPECT_EQ(data, std::string("\0\1\2", 3));
  EXPECT_EQ(winsim::FindRegistryKey(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Copy\\Old"), nullptr);
  EXPECT_NE(winsim::FindRegistryKey(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Copy\\Empty"), nullptr);
  EXPECT_FALSE(winsim::GetRegistryValue(*disk, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Copy", "Stale",
                                        nullptr, nullptr));
}

TEST_F(SaveRestore, RestoreRefusesOpenSubkeysAndFilesThatAreNotSavedKeys) {
  Enable("SEBACKUPPRIVILEGE");
  Enable("SERESTOREPRIVILEGE");
  Fill();
  HKEY tree = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Tree");
  ASSERT_EQ(RegSaveKeyA(tree, "C:\\TEMP\\saved", nullptr), ERROR_SUCCESS);
  HKEY inner = Open(tree, "Level1");
  EXPECT_EQ(RegRestoreKeyA(tree, "C:\\TEMP\\saved", 0), ERROR_ACCESS_DENIED);
  RegCloseKey(inner);
  EXPECT_EQ(RegRestoreKeyA(tree, "C:\\TEMP\\saved", 0), ERROR_SUCCESS);

  EXPECT_EQ(RegRestoreKeyA(tree, "C:\\TEMP\\missing", 0), ERROR_FILE_NOT_FOUND);
  image_->WriteFile("drive_c/TEMP/junk", "not a registry file\r\n");
  EXPECT_EQ(RegRestoreKeyA(tree, "C:\\TEMP\\junk", 0), ERROR_REGISTRY_CORRUPT);
  image_->WriteFile("drive_c/TEMP/two",
                    "REGEDIT4\r\n\r\n[HKEY_USERS\\A]\r\n\r\n[HKEY_USERS\\B]\r\n\r\n");
  EXPECT_EQ(RegRestoreKeyA(tree, "C:\\TEMP\\two", 0), ERROR_REGISTRY_CORRUPT);
  // Nothing of the failed restores reached the key.
  EXPECT_EQ(Dump(HKEY_LOCAL_MACHINE, "SOFTWARE\\Norvale\\Tree").find("key A"), std::string::npos);
  RegCloseKey(tree);
}

}  // namespace
