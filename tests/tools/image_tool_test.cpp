// The machine-image tool, run as a program: images made from profiles hold what the profile
// says, faulty profiles are refused with their line, and `show` tells what an image holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_image.h"
#include "winsim/machine.h"
#include "winsim/pe_image.h"
#include "winsim/registry_store.h"

using testing_support::MakeTempDir;
using testing_support::ReadHostFile;
using testing_support::RemoveTree;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::WriteHostFile;

namespace {

const std::string kTool = std::string(NORVALE_BIN_DIR) + "/winsim-image";

class ImageTool : public ::testing::Test {
 protected:
  void SetUp() override { work_ = MakeTempDir("image-tool-"); }
  void TearDown() override {
    winsim::CloseMachine();
    RemoveTree(work_);
  }

  RunResult Create(const std::string &profileText, const std::string &image = "image") {
    WriteHostFile(work_ + "/test.profile", profileText);
    return RunProgram({kTool, "create", work_ + "/test.profile", work_ + "/" + image}, {});
  }
  void OpenImage(const std::string &image = "image") {
    winsim::OpenOptions options;
    options.imageDir = work_ + "/" + image;
    options.hostCwd = work_;
    winsim::ImageError error;
    ASSERT_TRUE(winsim::OpenMachine(options, &error)) << error.Text();
  }
  bool Value(const std::string &key, const std::string &name, uint32_t *type, std::string *data) {
    return winsim::GetRegistryValue(*winsim::M().registry, key, name, type, data);
  }

  std::string work_;
};

const char kProfile[] =
    "; a small machine\n"
    "[system]\n"
    "version = 3.50.807\n"
    "windows = C:\\WINNT35\n"
    "system = C:\\WINNT35\\system32\n"
    "temp = C:\\TEMP\n"
    "\n"
    "[drives]\n"
    "C = drive_c\n"
    "D = cdrom\n"
    "\n"
    "[service Spooler]\n"
    "state = running\n"
    "[service LPDSVC]\n"
    "depends = Spooler\n"
    "\n"
    "[registry HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port]\n"
    "Driver = localmon.dll\n"
    "[registry HKLM\\SYSTEM\\Test]\n"
    "@ = default text\n"
    "Padded = \"  two blanks  \"\n"
    "Count = dword:0x10\n"
    "Path = expand:%SystemRoot%\\system32\n"
    "Moves = multi:a|b\n"
    "Bytes = hex:01,ff\n"
    "Looks like a number = sz:dword:1\n"
    "\n"
    "[file C:\\WINNT35\\win.ini]\n"
    "| [windows]\n"
    "| load=\n"
    "[file C:\\WINNT35\\SYSTEM32\\localmon.dll]\n"
    "size = 300\n"
    "[file C:\\WINNT35\\system32\\cfmon.dll]\n"
    "module = mips OpenPort InitializeMonitor\n"
    "[file C:\\winnt35\\system32\\copied.txt]\n"
    "copy = source.txt\n"
    "[file D:\\I386\\empty.dat]\n"
    "[directory C:\\WINNT35\\system32\\spool\\PRINTERS]\n";

TEST_F(ImageTool, ImageHoldsWhatTheProfileSays) {
  WriteHostFile(work_ + "/source.txt", "copied bytes\n");
  RunResult run = Create(kProfile);
  ASSERT_EQ(run.status, 0) << run.err;
  OpenImage();

  ASSERT_EQ(winsim::M().services.size(), 2u);
  EXPECT_EQ(winsim::M().services[1].depends, std::vector<std::string>({"Spooler"}));

  uint32_t type;
  std::string data;
  const std::string test = "HKEY_LOCAL_MACHINE\\SYSTEM\\Test";
  ASSERT_TRUE(Value(test, "", &type, &data));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(data, std::string("default text", 13));
  ASSERT_TRUE(Value(test, "Padded", &type, &data));
  EXPECT_EQ(data, std::string("  two blanks  ", 15));
  ASSERT_TRUE(Value(test, "Count", &type, &data));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(data, std::string("\x10\0\0\0", 4));
  ASSERT_TRUE(Value(test, "Path", &type, &data));
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(data, std::string("%SystemRoot%\\system32", 22));
  ASSERT_TRUE(Value(test, "Moves", &type, &data));
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(data, std::string("a\0b\0\0", 5));
  ASSERT_TRUE(Value(test, "Bytes", &type, &data));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(data, std::string("\x01\xff", 2));
  ASSERT_TRUE(Value(test, "Looks like a number", &type, &data));
  EXPECT_EQ(data, std::string("dword:1", 8));
  ASSERT_TRUE(
      Value("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
            "local port",
            "driver", &type, &data));
  EXPECT_EQ(data, std::string("localmon.dll", 13));

  std::string image = work_ + "/image";
  EXPECT_EQ(ReadHostFile(image + "/drive_c/WINNT35/win.ini"), "[windows]\r\nload=\r\n");
  // SYSTEM32 and system32 name one directory, created with the case first given.
  std::string dll = ReadHostFile(image + "/drive_c/WINNT35/system32/localmon.dll");
  ASSERT_EQ(dll.size(), 300u);
  EXPECT_EQ(dll.substr(0, 2), "MZ");
  winsim::PeImage module;
  ASSERT_TRUE(
      winsim::ReadPeImage(ReadHostFile(image + "/drive_c/WINNT35/system32/cfmon.dll"), &module));
  EXPECT_EQ(module.machine, winsim::kMachineR4000);
  EXPECT_EQ(module.exports, std::vector<std::string>({"InitializeMonitor", "OpenPort"}));
  EXPECT_FALSE(winsim::ReadPeImage(dll, &module)) << "a placeholder is no module";
  EXPECT_EQ(ReadHostFile(image + "/drive_c/WINNT35/system32/copied.txt"), "copied bytes\n");
  EXPECT_TRUE(std::filesystem::is_directory(image + "/drive_c/WINNT35/system32/spool/PRINTERS"));
  EXPECT_TRUE(std::filesystem::is_directory(image + "/drive_c/TEMP"));
  EXPECT_EQ(ReadHostFile(image + "/cdrom/I386/empty.dat"), "");
}

TEST_F(ImageTool, ShowSummarisesTheMachine) {
  WriteHostFile(work_ + "/source.txt", "x");
  ASSERT_EQ(Create(kProfile).status, 0);
  RunResult show = RunProgram({kTool, "show", work_ + "/image"}, {});
  ASSERT_EQ(show.status, 0) << show.err;
  for (const char *expected :
       {"Windows NT 3.50 build 807", "LPDSVC: running, depends on Spooler",
        "Local Port: localmon.dll", "C:\\WINNT35\\system32\\localmon.dll  300 bytes",
        "D:\\I386\\empty.dat  0 bytes"})
    EXPECT_NE(show.out.find(expected), std::string::npos) << expected << "\n" << show.out;
}

TEST_F(ImageTool, FaultyProfilesAreRefusedWithTheirLine) {
  struct Case {
    const char *profile;
    const char *message;
  } cases[] = {
      {"Driver = x\n", "test.profile:1: text before the first [section]"},
      {"[registry HKLM\\X]\nCount = dword:12a\n", "test.profile:2: dword:"},
      {"[registry HKLM\\X]\nno value here\n", "test.profile:2: a registry value"},
      {"[registry HKLM\\X]\nB = hex:1,zz\n", "test.profile:2: hex:"},
      {"[registry]\n", "test.profile:1: [registry] names a key"},
      {"[file C:\\a.txt]\nsize = 4\n| text\n", "test.profile:3: a file has either"},
      {"[file a.txt]\n", "test.profile:1: [file] names a full Windows path"},
      {"[file C:\\a.txt]\ncopy = missing.txt\n", "test.profile:2: copy = names a file"},
      {"[file C:\\a.dll]\nmodule = vax Init\n", "test.profile:2: module = takes a machine"},
      {"[directory C:\\X]\nsize = 1\n", "test.profile:2: a [directory] section takes no lines"},
      {"[system]\nversion = three\n", "machine.ini:2: version must be"},
      {"[system]\n[file Q:\\a.txt]\n", "not a path on a drive of the image"},
      {"; nothing\n", "machine.ini:1: holds no section"},
  };
  int n = 0;
  for (const Case &c : cases) {
    std::string image = "image" + std::to_string(n++);
    RunResult run = Create(c.profile, image);
    EXPECT_EQ(run.status, 1) << c.profile;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.profile << "\n" << run.err;
    EXPECT_FALSE(std::filesystem::exists(work_ + "/" + image)) << "no half-made image is left";
  }
}

TEST_F(ImageTool, ExistingImageIsNeverOverwritten) {
  WriteHostFile(work_ + "/image/machine.ini", "[system]\n");
  RunResult run = Create("[system]\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("exists and is not empty"), std::string::npos) << run.err;
  EXPECT_EQ(ReadHostFile(work_ + "/image/machine.ini"), "[system]\n");
}

TEST_F(ImageTool, DemoProfileMakesAnImageThatOpens) {
  RunResult run = RunProgram(
      {kTool, "create", std::string(NORVALE_SOURCE_DIR) + "/demo/profiles/nt35-x86.profile",
       work_ + "/image"},
      {});
  ASSERT_EQ(run.status, 0) << run.err;
  OpenImage();
  uint32_t type;
  std::string data;
  ASSERT_TRUE(Value("HKEY_LOCAL_MACHINE\\SYSTEM\\Setup", "WinntPath", &type, &data));
  EXPECT_EQ(data, std::string("D:\\I386", 8));
  ASSERT_TRUE(
      Value("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"
            "Sales PageRelay",
            "Printer Driver", &type, &data));
  EXPECT_EQ(data, std::string("Norvale PageRelay 12 v31.2", 27));
}

}  // namespace
