// VerInstallFileA of the simulated machine, checked as documented: what installs, what is
// refused and with which result bits, what a refusal leaves behind (the temporary copy and its
// name), the forced second call, and the file versions it compares.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/szdd.h"
#include "winsim/version.h"

using testing_support::TestImage;

namespace {

uint32_t Ms(uint32_t a, uint32_t b) {
  return a << 16 | b;
}

// A DLL of version a.b.0.0.
std::string Dll(uint32_t a, uint32_t b, uint32_t type = 2) {
  return winsim::VersionedBinary("module " + std::to_string(a) + "." + std::to_string(b), 300,
                                 Ms(a, b), 0, type);
}

class VerInstall : public ::testing::Test {
 protected:
  VerInstall() : image_("[drives]\nC = drive_c\nD = drive_d\n") {}
  void SetUp() override {
    std::filesystem::create_directories(image_.HostPath("drive_d"));
    std::filesystem::create_directories(image_.HostPath("drive_c/DEST"));
    image_.Open();
  }
  void PutSource(const std::string &content) { image_.WriteFile("drive_d/I386/m.dll", content); }
  void PutDest(const std::string &content) { image_.WriteFile("drive_c/DEST/m.dll", content); }
  std::string Dest() { return image_.ReadFile("drive_c/DEST/m.dll"); }
  // The names in C:\DEST, sorted.
  std::vector<std::string> DestNames() {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(image_.HostPath("drive_c/DEST")))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  DWORD Install(DWORD flags = 0, const char *curDir = "") {
    tmpLen_ = tmpSize_;
    return VerInstallFileA(flags, "m.dll", "m.dll", "D:\\I386", "C:\\DEST", curDir, tmp_, &tmpLen_);
  }

  TestImage image_;
  char tmp_[MAX_PATH] = "";
  UINT tmpSize_ = MAX_PATH;
  UINT tmpLen_ = 0;
};

TEST(FileVersion, BlockIsFoundInTheBytesAndVersionsParse) {
  winsim::FixedFileInfo info;
  std::string bytes = winsim::VersionedBinary("pscript", 4096, Ms(3, 50), Ms(807, 1));
  EXPECT_EQ(bytes.size(), 4096u);
  ASSERT_TRUE(winsim::ReadFixedFileInfo(bytes, &info));
  EXPECT_EQ(info.fileVersionMS, Ms(3, 50));
  EXPECT_EQ(info.fileVersionLS, Ms(807, 1));
  EXPECT_FALSE(winsim::ReadFixedFileInfo("MZ no version here", &info));
  // A signature without the structure version that follows it is a chance match.
  EXPECT_FALSE(
      winsim::ReadFixedFileInfo(std::string("\xBD\x04\xEF\xFE", 4) + std::string(60, 'x'), &info));
}

TEST_F(VerInstall, NewFileOrNewerVersionIsInstalledWithNothingLeftBehind) {
  PutSource(Dll(3, 50));
  EXPECT_EQ(Install(), 0u);
  EXPECT_EQ(Dest(), Dll(3, 50));
  for (const std::string &older : {Dll(3, 10), Dll(3, 50), std::string("no version")}) {
    PutDest(older);
    EXPECT_EQ(Install(), 0u);
    EXPECT_EQ(Dest(), Dll(3, 50));
  }
  // Two unversioned files: nothing to compare, the new one goes in.
  PutSource("new text");
  PutDest("old text");
  EXPECT_EQ(Install(), 0u);
  EXPECT_EQ(Dest(), "new text");
  EXPECT_EQ(DestNames(), std::vector<std::string>{"m.dll"});
}

TEST_F(VerInstall, RefusalLeavesTheTemporaryCopyAndNamesIt) {
  struct Case {
    const char *what;
    std::string source, dest;
    DWORD bits;
  } cases[] = {
      {"older", Dll(3, 10), Dll(3, 50), VIF_MISMATCH | VIF_SRCOLD},
      {"unversioned over versioned", "plain", Dll(3, 50), VIF_MISMATCH | VIF_SRCOLD},
      {"another file type", Dll(3, 50, 3), Dll(3, 50), VIF_MISMATCH | VIF_DIFFTYPE},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    PutSource(c.source);
    PutDest(c.dest);
    EXPECT_EQ(Install(), c.bits | VIF_TEMPFILE);
    EXPECT_EQ(Dest(), c.dest) << "the installed file stays";
    ASSERT_EQ(DestNames().size(), 2u);
    EXPECT_EQ(std::string(tmp_), DestNames()[0]) << "only the name, in the destination";
    EXPECT_EQ(tmpLen_, std::string(tmp_).size() + 1);
    EXPECT_EQ(image_.ReadFile("drive_c/DEST/" + std::string(tmp_)), c.source);

    // The documented way on: force the install of that very copy.
    std::string temp = tmp_;
    EXPECT_EQ(Install(VIFF_FORCEINSTALL), 0u);
    EXPECT_EQ(Dest(), c.source);
    EXPECT_EQ(DestNames(), std::vector<std::string>{"m.dll"}) << temp << " was used up";
  }
}

TEST_F(VerInstall, DestinationThatCannotBeReplacedIsReported) {
  PutSource(Dll(3, 50));
  PutDest(Dll(3, 10));
  std::string host = image_.HostPath("drive_c/DEST/m.dll");

  ::chmod(host.c_str(), 0444);
  EXPECT_EQ(Install(), VIF_WRITEPROT | VIF_CANNOTDELETE | VIF_TEMPFILE);
  EXPECT_EQ(Install(VIFF_FORCEINSTALL), VIF_WRITEPROT | VIF_CANNOTDELETE | VIF_TEMPFILE)
      << "forcing overrides versions, not physical errors";
  ::chmod(host.c_str(), 0644);

  winsim::SetFileLoaded(host, true);
  EXPECT_EQ(Install(), VIF_FILEINUSE | VIF_CANNOTDELETE | VIF_TEMPFILE);
  winsim::SetFileLoaded(host, false);
  EXPECT_EQ(Dest(), Dll(3, 10));
}

TEST_F(VerInstall, FailuresBeforeAnyCopyLeaveNothing) {
  EXPECT_EQ(Install(), static_cast<DWORD>(VIF_CANNOTREADSRC)) << "no source";
  EXPECT_EQ(VerInstallFileA(0, "m.dll", "m.dll", "E:\\", "C:\\DEST", "", tmp_, &tmpLen_),
            static_cast<DWORD>(VIF_CANNOTREADSRC))
      << "no such drive";
  PutSource(Dll(3, 50));
  EXPECT_EQ(VerInstallFileA(0, "m.dll", "m.dll", "D:\\I386\\", "C:\\NODIR", "", tmp_, &tmpLen_),
            static_cast<DWORD>(VIF_CANNOTCREATE));
  EXPECT_TRUE(DestNames().empty());

  // A name buffer too small: the copy is removed and the size needed is told.
  PutDest(Dll(3, 60));
  tmpSize_ = 4;
  EXPECT_EQ(Install(), VIF_MISMATCH | VIF_SRCOLD | VIF_BUFFTOOSMALL);
  EXPECT_EQ(tmpLen_, std::string("VER1234.TMP").size() + 1);
  EXPECT_EQ(DestNames(), std::vector<std::string>{"m.dll"});
}

TEST_F(VerInstall, CompressedSourcesAreExpandedAndCorruptOnesRefused) {
  std::string packed = winsim::SzddStored(Dll(3, 50));
  struct Case {
    const char *what, *file;
    std::string bytes;
    DWORD bits;
    std::string installed;
  } cases[] = {
      {"plain", "m.dll", Dll(3, 50), 0, Dll(3, 50)},
      {"compressed under the compressed name", "M.DL_", packed, 0, Dll(3, 50)},
      {"compressed under the plain name", "m.dll", packed, 0, Dll(3, 50)},
      {"cut short", "m.dl_", packed.substr(0, packed.size() - 9), VIF_CANNOTREADSRC, ""},
      {"unknown method", "m.dl_", packed.substr(0, 8) + "B" + packed.substr(9), VIF_CANNOTREADSRC,
       ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(image_.HostPath("drive_d/I386"));
    std::filesystem::remove_all(image_.HostPath("drive_c/DEST"));
    std::filesystem::create_directories(image_.HostPath("drive_c/DEST"));
    image_.WriteFile("drive_d/I386/" + std::string(c.file), c.bytes);
    EXPECT_EQ(Install(), c.bits);
    EXPECT_EQ(DestNames().empty() ? "" : Dest(), c.installed);
  }
  EXPECT_EQ(winsim::CompressedName("PSCRIPT.DLL"), "PSCRIPT.DL_");
  EXPECT_EQ(winsim::CompressedName("D:\\A.B\\readme"), "D:\\A.B\\readme._");
}

}  // namespace

namespace {

TEST(FileVersionInfo, TheRootBlockHoldsTheFixedInformation) {
  TestImage image;
  image.WriteFile("drive_c/APP/m.dll", Dll(3, 10));
  image.WriteFile("drive_c/APP/plain.txt", "no version");
  image.Open();
  DWORD handle = 7;
  DWORD size = GetFileVersionInfoSizeA("C:\\APP\\M.DLL", &handle);
  ASSERT_GT(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(handle, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA("C:\\APP\\m.dll", handle, size, block.data()));
  VS_FIXEDFILEINFO *info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID *>(&info), &length));
  EXPECT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(info->dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
  EXPECT_EQ(info->dwFileVersionMS, Ms(3, 10));
  EXPECT_FALSE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                              reinterpret_cast<LPVOID *>(&info), &length));

  struct Case {
    const char *file;
    DWORD error;
  } cases[] = {{"C:\\APP\\plain.txt", ERROR_RESOURCE_DATA_NOT_FOUND},
               {"C:\\APP\\none.dll", ERROR_FILE_NOT_FOUND}};
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeA(c.file, &handle), 0u) << c.file;
    EXPECT_EQ(GetLastError(), c.error) << c.file;
  }
}

}  // namespace
