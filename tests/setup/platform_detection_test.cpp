// Platform detection on machines of every kind the setup meets: the version words of Windows NT
// 3.1, 3.5, 3.51, 4.0 and Windows 95, the processor texts, and the administrator check over
// tokens of every shape, without a handle or SID left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/platform_detection.h"
#include "setup/setup_state.h"
#include "system_session.h"
#include "winsim/handles.h"
#include "winsim/security.h"
#include "wizard_session.h"

using ::testing::ExitedWithCode;
using testing_support::SystemSession;
using wizard_testing::DialogLines;
using wizard_testing::Lines;
using wizard_testing::Processor;
using wizard_testing::Token;
using wizard_testing::Version;

namespace {

TEST(OperatingSystem, VersionWordsOfEverySystem) {
  const struct {
    const char *version;
    const char *platform;
    int chicago, daytona, nt31;
    const char *answers;  // the newer-build warning, where it comes up
  } cases[] = {
      {"3.10.528", "nt", 0, 0, 1, ""},                 // Windows NT 3.1
      {"3.50.806", "nt", 0, 0, 0, ""},                 // a beta of 3.5: unsupported
      {"3.50.807", "nt", 0, 1, 0, ""},                 // Windows NT 3.5
      {"3.50.808", "nt", 0, 1, 0, "2100 CONTINUE\n"},  // a later build: warned
      {"3.51.1057", "nt", 0, 1, 0, "2100 CANCEL\n"},   // Windows NT 3.51
      {"4.0.1381", "nt", 0, 0, 0, ""},                 // Windows NT 4.0: unsupported
      {"4.0.950", "windows", 1, 0, 0, ""},             // Windows 95
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.version);
    SystemSession session(Version(c.version, c.platform));
    session.OpenWithFrame(c.answers);
    EXPECT_EQ(isChicago(), c.chicago);
    EXPECT_EQ(isDaytona(), c.daytona);
    EXPECT_EQ(isNT31(), c.nt31);
    EXPECT_EQ(session.Transcript(), DialogLines(c.answers));
  }
}

TEST(OperatingSystem, LeavingAtTheNewerBuildWarningEndsTheSetup) {
  SystemSession session(Version("3.50.808"));
  session.OpenWithFrame("2100 EXIT\n");
  EXPECT_EXIT(isDaytona(), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), Lines({"dialog 2100 EXIT", "exit 0"}));
}

// ---- processor -----------------------------------------------------------------------------

TEST(Processor, FamilyFollowsTheLowerCasedArchitecture) {
  const struct {
    const char *text;
    int x86, alpha, mips;
  } cases[] = {
      {"ALPHA", 0, 1, 0},
      {"Alpha", 0, 1, 0},
      {"MIPS", 0, 0, 1},
      {"x86", 1, 0, 0},
      {"PPC", 1, 0, 0},
      {"", 1, 0, 0},                   // undefined
      {"alpha-axp-64bit-x", 1, 0, 0},  // longer than the 16-byte buffer
      {"mipsmipsmipsmip", 1, 0, 0},    // 15 characters: fits, matches nothing
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    SystemSession session(Processor(c.text));
    session.OpenWithFrame("");
    fChicago = 0;
    fX86 = fAlpha = fMips = 7;
    setProcessorFlags();
    EXPECT_EQ(fX86, c.x86);
    EXPECT_EQ(fAlpha, c.alpha);
    EXPECT_EQ(fMips, c.mips);
  }
}

TEST(Processor, WindowsNinetyFiveIsX86WhateverTheEnvironmentSays) {
  SystemSession session(Version("4.0.950", "windows") + Processor("MIPS") +
                        "[faults]\nExpandEnvironmentStringsA = 8\n");
  session.OpenWithFrame("");
  fChicago = 1;
  setProcessorFlags();
  EXPECT_EQ(fX86, 1);
  EXPECT_EQ(fMips, 0);
  EXPECT_EQ(fAlpha, 0);
}

TEST(Processor, FailedExpansionIsFatal) {
  SystemSession session("[faults]\nExpandEnvironmentStringsA = 8\n");
  session.OpenWithFrame("2300 CONTINUE\n");
  fChicago = 0;
  EXPECT_EXIT(setProcessorFlags(), ExitedWithCode(0), "");
  EXPECT_EQ(session.Transcript(), Lines({"error \"Couldn't expand env string, error = 8\"",
                                         "dialog 2300 CONTINUE", "exit 0"}));
}

// ---- administrator -------------------------------------------------------------------------

TEST(Administrator, OnlyAnEnabledAdministratorsGroupCounts) {
  const struct {
    const char *token;
    int admin;
  } cases[] = {
      {"administrators = enabled", 1},
      {"administrators = deny-only", 0},
      {"administrators = disabled", 0},
      {"administrators = absent", 0},
      {"administrators = enabled\nthread_token = present", 1},  // the thread's token is asked
      {"administrators = absent\nthread_token = present", 0},
      {"administrators = enabled\nthread_token = 5", 0},  // fails otherwise than "no token"
      {"administrators = enabled\n[faults]\nOpenProcessToken = 5", 0},
      {"administrators = enabled\n[faults]\nGetTokenInformation#1 = 87", 0},
      {"administrators = enabled\n[faults]\nGetTokenInformation#2 = 5", 0},
      {"administrators = enabled\n[faults]\nLocalAlloc = 8", 0},
      {"administrators = enabled\n[faults]\nAllocateAndInitializeSid = 8", 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.token);
    SystemSession session(Token(c.token));
    session.Open("");
    size_t handles = winsim::OpenKernelHandleCount();
    size_t sids = winsim::LiveSidCount();
    EXPECT_EQ(isAdministrator(), c.admin);
    EXPECT_EQ(winsim::OpenKernelHandleCount(), handles) << "the token is closed";
    EXPECT_EQ(winsim::LiveSidCount(), sids) << "the group's identifier is freed";
  }
}

}  // namespace
