// system.reg as REGEDIT4 text: what is read from it, what comes back when it is saved, and how a
// malformed file is refused when the machine is opened.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <sstream>

#include "test_image.h"
#include "winsim/registry_store.h"

using testing_support::TestImage;

namespace {

std::string Value(const std::string &path, const std::string &name, uint32_t *type = nullptr) {
  std::string data;
  uint32_t t = 0;
  EXPECT_TRUE(winsim::GetRegistryValue(*winsim::M().registry, path, name, &t, &data))
      << path << " : " << name;
  if (type) *type = t;
  return data;
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

const char kRich[] =
    "REGEDIT4\r\n"
    "; machine of the test, hand-edited\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale]\r\n"
    "@=\"default text\"\r\n"
    "\"Path\"=\"C:\\\\WINNT35\\\\system32\"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"Count\"=dword:0000ABcd\r\n"
    "\"Blob\"=hex:00,01,  fe,FF,\\\r\n"
    "   10,\\\r\n"
    "  20\r\n"
    "  ; a comment inside the section\r\n"
    "\"Expand\"=hex(2):25,00\r\n"
    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
    "\"None\"=hex(0):\r\n"
    "\"Odd\"=hex(100000):7\r\n"
    "\"Spaced\" = \"x\"\r\n"
    "\r\n"
    "[HKEY_CLASSES_ROOT\\.zps]\n"  // one line with LF only
    "@=\"zpsfile\"\r\n"
    "\r\n"
    "[HKEY_USERS\\.DEFAULT\\Printers]\r\n"
    ";class=\"Printer \\\"store\\\"\"\r\n"  // the key's class, in a comment regedit passes over
    "\r\n"
    "[hkey_local_machine\\software\\NORVALE\\Sub]\r\n"
    "\"a\"=\"1\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale]\r\n"
    "\"Later\"=\"second section of the same key\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Control Panel]";  // no line end at the end of the file

TEST(Regedit4, ReadsEveryValueFormAndComesBackByteForByte) {
  TestImage image("", kRich);
  image.Open();
  const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale";
  uint32_t type;
  EXPECT_EQ(Value(key, "", &type), std::string("default text", 13));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Value(key, "path"), std::string("C:\\WINNT35\\system32", 20));
  EXPECT_EQ(Value(key, "Quote"), std::string("say \"hi\"", 9));
  EXPECT_EQ(Value(key, "Count", &type), Bytes({0xcd, 0xab, 0, 0}));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Value(key, "Blob", &type), Bytes({0, 1, 0xfe, 0xff, 0x10, 0x20}));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(Value(key, "Expand", &type), Bytes({0x25, 0}));
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(Value(key, "Multi", &type), Bytes({'a', 0, 'b', 0, 0}));
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(Value(key, "None", &type), "");
  EXPECT_EQ(type, REG_NONE);
  EXPECT_EQ(Value(key, "Odd", &type), Bytes({7}));
  EXPECT_EQ(type, 0x100000u);
  EXPECT_EQ(Value(key, "Spaced"), std::string("x", 2));
  // Both sections of the key, and a section spelled in other case, name the same keys.
  EXPECT_EQ(Value(key, "Later").substr(0, 6), "second");
  EXPECT_EQ(Value(key + "\\sub", "A"), std::string("1", 2));
  EXPECT_EQ(Value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.zps", ""), std::string("zpsfile", 8));
  EXPECT_NE(winsim::FindRegistryKey(*winsim::M().registry, "HKEY_CURRENT_USER\\control panel"),
            nullptr);
  const winsim::RegKey *printers =
      winsim::FindRegistryKey(*winsim::M().registry, "HKEY_USERS\\.DEFAULT\\Printers");
  ASSERT_NE(printers, nullptr);
  EXPECT_EQ(printers->className, "Printer \"store\"");
  EXPECT_EQ(winsim::FindRegistryKey(*winsim::M().registry, key)->className, "")
      << "a comment further down the section is no class";

  ASSERT_TRUE(winsim::SaveRegistry());
  EXPECT_EQ(image.ReadFile("system.reg"), kRich);
}

TEST(Regedit4, ChangesRewriteOnlyWhatChanged) {
  const std::string before =
      "REGEDIT4\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
      "\"Keep\"=hex:01,\\\n"
      "    02\n"
      "\"Change\"=\"old\"\n"
      "\"Drop\"=dword:00000001\n"
      "; trailing note\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\Gone]\n"
      "\"x\"=\"y\"\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Z]\n"
      "\n";
  TestImage image("", before);
  image.Open();
  HKEY a, b;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS, &a), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(a, "CHANGE", 0, REG_SZ, (const BYTE *)"new", 4), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(a, "Drop"), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(a, "Added", 0, REG_BINARY, (const BYTE *)"\x01\x02", 2), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(a, "Gone"), ERROR_SUCCESS);
  // A key created two levels down is written once, below its neighbour; the key between is
  // implied by it.
  ASSERT_EQ(RegCreateKeyA(a, "New\\Leaf", &b), ERROR_SUCCESS);
  DWORD one = 1;
  ASSERT_EQ(RegSetValueExA(b, "n", 0, REG_DWORD, (const BYTE *)&one, 4), ERROR_SUCCESS);
  RegCloseKey(b);
  RegCloseKey(a);
  winsim::CloseMachine();  // folds the log into system.reg
  EXPECT_EQ(image.ReadFile("system.reg"),
            "REGEDIT4\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
            "\"Keep\"=hex:01,\\\n"
            "    02\n"
            "\"Change\"=\"new\"\n"
            "\"Added\"=hex:01,02\n"
            "; trailing note\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\New\\Leaf]\n"
            "\"n\"=dword:00000001\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Z]\n"
            "\n");
}

TEST(Regedit4, CanonicalTextReadsBackToTheSameValues) {
  TestImage image;
  image.Open();
  HKEY k;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Canon", &k), ERROR_SUCCESS);
  std::string big;
  for (int i = 0; i < 300; ++i) big += static_cast<char>(i * 7);
  struct Case {
    const char *name;
    DWORD type;
    std::string data;
    const char *given =
        nullptr;  // the bytes handed over, when more follow the data (else the data)
  } cases[] = {
      {"plain", REG_SZ, std::string("a \"quoted\" C:\\path\\", 20)},
      {"two lines", REG_SZ, std::string("one\r\ntwo", 9)},
      {"unterminated", REG_SZ, "abc", "abcd"},
      {"empty sz", REG_SZ, ""},
      {"short dword", REG_DWORD, "\x01\x02"},
      {"dword", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})},
      {"big", REG_BINARY, big},
      {"empty", REG_BINARY, ""},
      {"multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
      {"link", REG_LINK, "\x05"},
      {"name with \\ and \"", REG_SZ, std::string("v", 2)},
  };
  for (const Case &c : cases)
    ASSERT_EQ(
        RegSetValueExA(k, c.name, 0, c.type, (const BYTE *)(c.given ? c.given : c.data.data()),
                       static_cast<DWORD>(c.data.size())),
        ERROR_SUCCESS)
        << c.name;
  RegCloseKey(k);

  winsim::CloseMachine();
  std::string text = image.ReadFile("system.reg");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 81u) << line;
  EXPECT_NE(text.find("\"dword\"=dword:12345678\r\n"), std::string::npos);
  winsim::ImageError error;
  auto store = winsim::ParseRegistry(text, "system.reg", &error);
  ASSERT_TRUE(store) << error.Text();
  for (const Case &c : cases) {
    uint32_t type = 0;
    std::string data;
    ASSERT_TRUE(winsim::GetRegistryValue(*store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Canon", c.name,
                                         &type, &data))
        << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
  }
}

TEST(Regedit4, ImagesWithThousandsOfKeysLoadAndSaveQuickly) {
  std::string text = "REGEDIT4\r\n\r\n";
  // Written in reverse order, so that every key lands in front of its siblings.
  for (int i = 3000; i > 0; --i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Big\\Key" + std::to_string(i) + "\\Sub]\r\n";
    text += "\"Value\"=\"" + std::to_string(i) + "\"\r\n\"n\"=dword:00000001\r\n\r\n";
  }
  TestImage image("", text);
  auto start = std::chrono::steady_clock::now();
  image.Open();
  HKEY k;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(
        RegCreateKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Big\\New" + std::to_string(i)).c_str(), &k),
        ERROR_SUCCESS);
    RegCloseKey(k);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 10.0);
  char name[64];
  ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Big", &k), ERROR_SUCCESS);
  ASSERT_EQ(RegEnumKeyA(k, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Key1");
  RegCloseKey(k);
}

struct Malformed {
  const char *text;
  int line;
  const char *says;
};

TEST(Regedit4, MalformedFilesAreRefusedWithTheirLine) {
  const Malformed cases[] = {
      {"", 1, "REGEDIT4"},
      {"Windows Registry Editor Version 5.00\r\n", 1, "REGEDIT4"},
      {"REGEDIT4\r\n\"a\"=\"b\"\r\n", 2, "before the first [key]"},
      {"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", 3, "does not end in ]"},
      {"REGEDIT4\r\n[HKEY_NOWHERE\\X]\r\n", 2, "not a hive"},
      {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\\\X]\r\n", 2, "empty key name"},
      {"REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\X]\r\n", 2, "deletion"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=-\r\n", 3, "deletion"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=\"b\\n\"\r\n", 3, "escape"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=\"open\r\n", 3, "no closing"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=\"b\" junk\r\n", 3, "follows"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\" \"b\"\r\n", 3, "followed by ="},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=dword:123456789\r\n", 3, "dword"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=dword:12g4\r\n", 3, "dword"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex:01,2x\r\n", 3, "'2x' is not a hex byte"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex:01,\\\r\n  02,,03\r\n", 4, "not a hex byte"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex:01,02,\r\n", 3, "ends with a comma"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex:01,\\", 3, "past the end"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex(z):01\r\n", 3, "hex(N)"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=hex;01\r\n", 3, "not followed by :"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=str:01\r\n", 3, "must be"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n\"a\"=\"1\"\r\n\r\n\"A\"=\"2\"\r\n", 5, "given twice"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n@=\"1\"\r\n[HKEY_USERS\\x]\r\n@=\"2\"\r\n", 5,
       "default value is given twice"},
      {"REGEDIT4\r\n[HKEY_USERS\\X]\r\n# not a comment\r\n", 3, "a line must be"},
  };
  for (const Malformed &c : cases) {
    TestImage image("", "placeholder");
    image.WriteFile("system.reg", c.text);
    winsim::ImageError error;
    EXPECT_FALSE(image.TryOpen(&error)) << c.text;
    EXPECT_FALSE(winsim::MachineOpen());
    EXPECT_EQ(error.line, c.line) << c.text << "\n" << error.Text();
    EXPECT_NE(error.message.find(c.says), std::string::npos) << c.text << "\n" << error.Text();
    EXPECT_NE(error.Text().find("system.reg:" + std::to_string(c.line) + ": "), std::string::npos)
        << error.Text();
  }
  TestImage image("", "placeholder");
  image.WriteFile("system.reg", std::string("REGEDIT4\r\n[HKEY_USERS\\A\0B]\r\n", 28));
  winsim::ImageError error;
  EXPECT_FALSE(image.TryOpen(&error));
  EXPECT_NE(error.Text().find("system.reg:2: the key path holds a NUL"), std::string::npos)
      << error.Text();
}

TEST(Regedit4, TheProgramStopsBeforeWinMainOnAMalformedRegistry) {
  TestImage image("", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n");
  auto run = testing_support::RunProgram({std::string(NORVALE_BIN_DIR) + "/setup"},
                                         {"WINSIM_MACHINE=" + image.Dir()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("system.reg:3: the key line does not end in ]"), std::string::npos)
      << run.err;
}

}  // namespace
