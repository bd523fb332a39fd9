// The image tool's summary lists the Program Manager groups and items that a setup made.
#include <gtest/gtest.h>
#include <windows.h>
#include <ddeml.h>

#include <string>

#include "test_image.h"

using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TestImage;

HDDEDATA CALLBACK NoServer(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

// Has Program Manager carry out the commands, as a setup does.
void TellProgMan(std::string commands) {
  DWORD instance = 0;
  ASSERT_EQ(DdeInitializeA(&instance, NoServer, APPCMD_CLIENTONLY, 0), DMLERR_NO_ERROR);
  HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
  HCONV conv = DdeConnect(instance, progman, progman, nullptr);
  EXPECT_NE(DdeClientTransaction(reinterpret_cast<LPBYTE>(&commands[0]),
                                 static_cast<DWORD>(commands.size() + 1), conv, nullptr, 0,
                                 XTYP_EXECUTE, 1000, nullptr),
            nullptr);
  DdeDisconnect(conv);
  DdeUninitialize(instance);
}

TEST(ImageShow, ListsProgramManagerGroupsAndItems) {
  const std::string tool = std::string(NORVALE_BIN_DIR) + "/winsim-image";
  TestImage image;
  RunResult show = RunProgram({tool, "show", image.Dir()}, {});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("Program Manager\n  (no groups)\n"), std::string::npos) << show.out;

  image.Open();
  TellProgMan(
      "[CreateGroup(Norvale Network Printers)][ShowGroup(Norvale Network Printers,1)]"
      "[AddItem(zelpsmon.hlp,Norvale Network Printing Help,winhlp32.exe)][CreateGroup(Startup)]");
  show = RunProgram({tool, "show", image.Dir()}, {});
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_NE(show.out.find("Program Manager\n"
                          "  Norvale Network Printers (shown with 1)\n"
                          "    \"Norvale Network Printing Help\", \"zelpsmon.hlp\", "
                          "\"winhlp32.exe\"\n"
                          "  Startup\n"
                          "    (no items)\n"),
            std::string::npos)
      << show.out;
}
