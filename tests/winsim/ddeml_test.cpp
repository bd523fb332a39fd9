// DDEML's client side and the Program Manager server behind "PROGMAN": connections, execute
// transactions and their errors, and the groups they leave in the image.
#include <gtest/gtest.h>
#include <windows.h>
#include <ddeml.h>

#include <string>

#include "test_image.h"

using testing_support::TestImage;

namespace {

HDDEDATA CALLBACK NoServer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

class Dde : public ::testing::Test {
 protected:
  void SetUp() override {
    image_.Open();
    ASSERT_EQ(DdeInitializeA(&instance_, NoServer, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR);
    progman_ = DdeCreateStringHandleA(instance_, "PROGMAN", CP_WINANSI);
  }
  void TearDown() override {
    DdeFreeStringHandle(instance_, progman_);
    EXPECT_TRUE(DdeUninitialize(instance_));
  }
  // Executes the command; answers DMLERR_NO_ERROR or the error the transaction failed with.
  UINT Execute(HCONV conv, std::string command) {
    HDDEDATA done = DdeClientTransaction(reinterpret_cast<LPBYTE>(&command[0]),
                                         static_cast<DWORD>(command.size() + 1), conv, nullptr, 0,
                                         XTYP_EXECUTE, 1000, nullptr);
    if (done) return DdeFreeDataHandle(done), DMLERR_NO_ERROR;
    return DdeGetLastError(instance_);
  }
  TestImage image_;
  DWORD instance_ = 0;
  HSZ progman_ = nullptr;
};

TEST_F(Dde, CommandsAreCarriedOutOrRefused) {
  HCONV conv = DdeConnect(instance_, progman_, progman_, nullptr);
  ASSERT_NE(conv, nullptr);
  struct Case {
    const char *command;
    UINT error;
  } cases[] = {
      {"[AddItem(x.exe,X)]", DMLERR_NOTPROCESSED},  // no active group yet
      {"[CreateGroup(Tools)][ShowGroup(Tools,1)]", DMLERR_NO_ERROR},
      {"[AddItem(x.exe,\"A, (b)\",x.ico)]", DMLERR_NO_ERROR},
      {" [AddItem(\"say \"\"hi\"\"\",Say)] ", DMLERR_NO_ERROR},
      {"[AddItem(y.exe,Y)]", DMLERR_NO_ERROR},
      {"[ReplaceItem(a, (B))]", DMLERR_NOTPROCESSED},  // unquoted: a comma ends the name
      {"[ReplaceItem(\"a, (B)\")][AddItem(z.exe,Z)]", DMLERR_NO_ERROR},
      {"[ShowGroup(Tools,12)]", DMLERR_NOTPROCESSED},
      {"[ShowGroup(None,1)]", DMLERR_NOTPROCESSED},
      {"[CreateGroup(Bad[1])]", DMLERR_NOTPROCESSED},
      {"[Reload()]", DMLERR_NOTPROCESSED},
      {"[CreateGroup(Tools", DMLERR_NOTPROCESSED},
  };
  for (const Case &c : cases) EXPECT_EQ(Execute(conv, c.command), c.error) << c.command;
  DdeDisconnect(conv);
  EXPECT_EQ(image_.ReadFile("progman.ini"),
            "; Program Manager groups and items. Item = title, command line, icon file.\r\n"
            "\r\n[Tools]\r\nShow = 1\r\n"
            "Item = \"Z\", \"z.exe\", \"\"\r\n"
            "Item = \"Say\", \"say \"\"hi\"\"\", \"\"\r\n"
            "Item = \"Y\", \"y.exe\", \"\"\r\n");
}

TEST(DdeFaults, AFailedTransactionSetsTheInjectedError) {
  TestImage image(std::string(testing_support::kDefaultMachine) +
                  "[faults]\nDdeClientTransaction = 16393\n");
  image.Open();
  DWORD instance = 0;
  ASSERT_EQ(DdeInitializeA(&instance, NoServer, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR);
  HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
  HCONV conv = DdeConnect(instance, progman, progman, nullptr);
  char command[] = "[CreateGroup(G)]";
  EXPECT_EQ(DdeClientTransaction(reinterpret_cast<LPBYTE>(command), sizeof command, conv, nullptr,
                                 0, XTYP_EXECUTE, 1000, nullptr),
            nullptr);
  EXPECT_EQ(DdeGetLastError(instance), static_cast<UINT>(DMLERR_NOTPROCESSED));
  EXPECT_FALSE(image.Exists("progman.ini"));
  DdeUninitialize(instance);
}

}  // namespace
