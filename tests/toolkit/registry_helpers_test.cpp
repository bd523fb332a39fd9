// The registry database helpers on a small machine: what they leave in the registry, what the
// readers answer for missing keys, and how an unexpected failure ends the setup (in a child
// process, judged by its transcript and by the registry it saved).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "setup/setup_state.h"
#include "system_session.h"
#include "toolkit/registry_helpers.h"
#include "winsim/registry_store.h"

using ::testing::ExitedWithCode;
using testing_support::kOverflow;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

const char kClasses[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
const char kTest[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Test";

// What the error handler shows for a registry operation, before the error dialog.
Lines RegistryFailure(const std::string &operation) {
  return {"msgbox \"Setup\" \"A registry database operation failed: " + operation + ".\"",
          "error \"Error code = 1024\"", "dialog 2300 CONTINUE", "exit 0"};
}

class RegistryHelpers : public ::testing::Test {
 protected:
  void Open(const std::string &machineExtra = "", const std::string &registry = "") {
    session_ = std::make_unique<SystemSession>(machineExtra);
    if (!registry.empty())
      session_->Image().WriteFile("system.reg",
                                  std::string(testing_support::kMinimalRegistry) + registry);
    session_->OpenWithFrame("2300 CONTINUE\n");
    ASSERT_TRUE(LoadRegistryLibrary());
  }
  void TearDown() override { FreeRegistryLibrary(); }
  Lines Transcript() { return session_->Transcript(); }

  // The keys below `path` in the registry as a child saved it, or in this process.
  bool SavedKeyExists(const std::string &path) {
    auto store = session_->Image().Registry();
    return store && winsim::FindRegistryKey(*store, path) != nullptr;
  }
  bool KeyExists(const std::string &path) {
    return winsim::FindRegistryKey(*winsim::M().registry, path) != nullptr;
  }

  std::unique_ptr<SystemSession> session_;
};

const char kTree[] =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Top\\A\\A1]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Top\\A\\A2]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Top\\B\\B1]\r\n\"v\"=\"x\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Topmost]\r\n\r\n";

TEST_F(RegistryHelpers, DefaultValuesBelowClassesRoot) {
  Open();
  CreateRegKey(".zel");
  EXPECT_TRUE(KeyExists(std::string(kClasses) + ".zel"));
  // The value writers create a missing key on the way.
  CreateRegKeyValue("Norvale.Port\\shell\\open", "zelpsmon.exe %1");
  SetRegKeyValue(".zel", "Norvale.Port");
  EXPECT_EQ(RegKeyExists("norvale.port\\SHELL"), 1);
  EXPECT_EQ(RegKeyExists("Norvale.Port\\shell\\print"), 0);

  char value[32] = "junk";
  EXPECT_STREQ(GetRegKeyValue(".ZEL", value, sizeof value), "Norvale.Port");
  EXPECT_STREQ(GetRegKeyValue("Norvale.Port\\shell\\open", value, 16), "zelpsmon.exe %1");
  // A key without a default value reads as the empty text, and so does a missing key.
  std::strcpy(value, "junk");
  EXPECT_STREQ(GetRegKeyValue("Norvale.Port\\shell", value, sizeof value), "");
  std::strcpy(value, "junk");
  EXPECT_STREQ(GetRegKeyValue("No.Such.Key", value, sizeof value), "");
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(RegistryHelpers, DefaultValueLongerThanTheBufferOverflows) {
  Open();
  SetRegKeyValue(".zel", "Norvale.Port");
  char value[12];
  EXPECT_EXIT(GetRegKeyValue(".zel", value, sizeof value), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
}

TEST_F(RegistryHelpers, FailedReadIsReportedUnderTheWritersName) {
  Open("[faults]\nRegQueryValueA = 5\n");
  SetRegKeyValue(".zel", "Norvale.Port");
  char value[32];
  EXPECT_EXIT(GetRegKeyValue(".zel", value, sizeof value), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), RegistryFailure("SetRegKeyValue"));
}

TEST_F(RegistryHelpers, NamedValuesBelowAGivenRoot) {
  Open("", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\r\n");
  const DWORD dwLevel = 3;
  CreateRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Level", REG_DWORD,
                      reinterpret_cast<const BYTE *>(&dwLevel), sizeof dwLevel);
  SetRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Name", REG_SZ,
                   reinterpret_cast<const BYTE *>("zel"), 4);

  DWORD dwType = 0, dwRead = 0;
  EXPECT_EQ(GetRegKeyValueEx(HKEY_LOCAL_MACHINE, "software\\test", "LEVEL", &dwType,
                             reinterpret_cast<BYTE *>(&dwRead), sizeof dwRead),
            0);
  EXPECT_EQ(dwType, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(dwRead, 3u);
  char name[4];
  EXPECT_EQ(GetRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Name", &dwType,
                             reinterpret_cast<BYTE *>(name), sizeof name),
            0);
  EXPECT_STREQ(name, "zel");

  // A missing key: ERROR_BADKEY, and the buffer and the type slot keep what they held.
  dwType = 77;
  char buffer[8] = "keep";
  EXPECT_EQ(GetRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", "Name", &dwType,
                             reinterpret_cast<BYTE *>(buffer), sizeof buffer),
            ERROR_BADKEY);
  EXPECT_EQ(dwType, 77u);
  EXPECT_STREQ(buffer, "keep");

  CreateRegKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\New\\Deeper");
  EXPECT_EQ(RegKeyExistsEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\New\\Deeper"), 1);
  EXPECT_EQ(RegKeyExistsEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Old"), 0);
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(RegistryHelpers, NamedValueLongerThanTheBufferOverflows) {
  Open("", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\"Name\"=\"zelpsmon\"\r\n\r\n");
  char name[8];
  EXPECT_EXIT(GetRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Name", nullptr,
                               reinterpret_cast<BYTE *>(name), sizeof name),
              ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
}

TEST_F(RegistryHelpers, ValueWritersDoNotCreateAMissingKey) {
  Open();
  const DWORD dwLevel = 3;
  EXPECT_EXIT(CreateRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", "Level", REG_DWORD,
                                  reinterpret_cast<const BYTE *>(&dwLevel), sizeof dwLevel),
              ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), RegistryFailure("CreateRegKeyValueEx:open"));
  EXPECT_FALSE(SavedKeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Missing"));

  session_->ClearTranscript();
  EXPECT_EXIT(SetRegKeyValueEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", "Level", REG_DWORD,
                               reinterpret_cast<const BYTE *>(&dwLevel), sizeof dwLevel),
              ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), RegistryFailure("SetRegKeyValueEx:open"));
}

TEST_F(RegistryHelpers, DeletingAMissingKeyDoesNothing) {
  Open("", kTree);
  std::string before = session_->Image().RegistryFiles();
  DeleteAllSubKeys("No.Such.Key");
  DeleteAllSubKeysEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Top\\C");
  EXPECT_EQ(session_->Image().RegistryFiles(), before);
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(RegistryHelpers, DeletingATreeTakesTheKeyAndEverythingBelow) {
  Open("", kTree);
  DeleteAllSubKeysEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Top");
  EXPECT_FALSE(KeyExists(std::string(kTest) + "\\Top"));
  EXPECT_TRUE(KeyExists(std::string(kTest) + "\\Topmost"));
  EXPECT_FALSE(SavedKeyExists(std::string(kTest) + "\\Top\\A\\A1"));

  CreateRegKey("Norvale.Port\\shell\\open\\command");
  DeleteAllSubKeys("Norvale.Port");
  EXPECT_EQ(RegKeyExists("Norvale.Port"), 0);
  EXPECT_TRUE(Transcript().empty());
}

TEST_F(RegistryHelpers, TreeIsTakenFromTheLastSubkeyDown) {
  // The third enumeration fails: by then B and B1 are gone, A and its children are not.
  Open("[faults]\nRegEnumKeyA#3 = 5\n", kTree);
  EXPECT_EXIT(DeleteAllSubKeysEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Top"), ExitedWithCode(0), "");
  Lines expected = {
      "msgbox \"Setup\" \"A registry database operation failed: "
      "DeleteAllSubKeys:enum.\""};
  for (const std::string &line : RegistryFailure("DeleteAllSubKeys")) expected.push_back(line);
  EXPECT_EQ(Transcript(), expected);
  EXPECT_FALSE(SavedKeyExists(std::string(kTest) + "\\Top\\B"));
  EXPECT_TRUE(SavedKeyExists(std::string(kTest) + "\\Top\\A\\A1"));
  EXPECT_TRUE(SavedKeyExists(std::string(kTest) + "\\Top\\A\\A2"));
}

TEST_F(RegistryHelpers, TreeThatCannotBeOpenedIsReportedTwice) {
  Open("[deny]\nkey = HKEY_LOCAL_MACHINE\\SOFTWARE\\Test\\Top\\B\\B1\n", kTree);
  EXPECT_EQ(DeleteRegKeyTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Top"), 0);
  EXPECT_EQ(Transcript(), Lines({"msgbox \"Setup\" \"A registry database operation failed: "
                                 "DeleteAllSubKeys:open.\""}));
  session_->ClearTranscript();
  EXPECT_EXIT(DeleteAllSubKeysEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Top"), ExitedWithCode(0), "");
  Lines expected = {
      "msgbox \"Setup\" \"A registry database operation failed: "
      "DeleteAllSubKeys:open.\""};
  for (const std::string &line : RegistryFailure("DeleteAllSubKeys")) expected.push_back(line);
  EXPECT_EQ(Transcript(), expected);
}

TEST_F(RegistryHelpers, WithoutTheRegistryLibraryNothingIsCalled) {
  Open();
  FreeRegistryLibrary();
  EXPECT_EQ(RegKeyExists(""), 0);
  char value[8] = "junk";
  EXPECT_STREQ(GetRegKeyValue(".zel", value, sizeof value), "");
  EXPECT_EXIT(CreateRegKey(".zel"), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), RegistryFailure("CreateRegKey"));
}

TEST(TrimTrailingBlanks, CutsTheBlanksAtTheEndOnly) {
  testing_support::TestImage image;
  image.Open();
  struct {
    const char *text, *expected;
  } cases[] = {
      {"   ", ""},          {"", ""},           {"abc  ", "abc"},
      {"a b  c", "a b  c"}, {"abc\t", "abc\t"}, {"abc \t", "abc \t"},
      {"ab \t  ", "ab \t"}, {" lead", " lead"},
  };
  for (const auto &c : cases) {
    char text[16];
    std::strcpy(text, c.text);
    TrimTrailingBlanks(text);
    EXPECT_STREQ(text, c.expected) << '"' << c.text << '"';
  }
}

TEST(TrimTrailingBlanks, StepsOverDoubleByteCharactersWhole) {
  testing_support::TestImage image(
      "[system]\nwindows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\ncodepage = 932\n"
      "[drives]\nC = drive_c\n");
  image.Open();
  // In code page 932, 0x82 0x20 is one character: its second byte is no blank to cut.
  char text[16] = "ab\x82  ";
  TrimTrailingBlanks(text);
  EXPECT_STREQ(text, "ab\x82 ");
  char wide[16] = "\x81\x40\x81\x40  ";
  TrimTrailingBlanks(wide);
  EXPECT_STREQ(wide, "\x81\x40\x81\x40");
}

}  // namespace
