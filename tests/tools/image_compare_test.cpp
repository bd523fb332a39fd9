// Comparing machine images: what counts as a difference and what does not, the difference as
// data, and the compare command's report and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "test_image.h"
#include "tools/image_compare.h"

using image_tool::Change;
using image_tool::Comparison;
using image_tool::Difference;
using image_tool::Subject;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::TestImage;

namespace fs = std::filesystem;

namespace {

const std::string kTool = std::string(NORVALE_BIN_DIR) + "/winsim-image";
const auto kDate = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);

const char kMachine[] =
    "[system]\n"
    "version = 3.50.807\n"
    "windows = C:\\WINNT35\n"
    "system = C:\\WINNT35\\system32\n"
    "temp = C:\\TEMP\n"
    "[drives]\n"
    "C = drive_c\n"
    "[service Spooler]\n"
    "state = running\n";

const char kRegistry[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Local Port]\r\n"
    "\"Driver\"=\"localmon.dll\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
    "\"Gone\"=dword:00000001\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old\\Sub]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n"
    "\"Same\"=\"text\"\r\n"
    "\"Changes\"=\"1\"\r\n"
    "\"Removed\"=hex:01,02\r\n\r\n";

void PutFile(const TestImage &image, const std::string &relative, const std::string &content,
             bool readOnly = false) {
  image.WriteFile(relative, content);
  fs::last_write_time(image.HostPath(relative), kDate);
  if (readOnly) ::chmod(image.HostPath(relative).c_str(), 0444);
}

// The same machine in image A and image B.
void Fill(const TestImage &image) {
  PutFile(image, "drive_c/WINNT35/win.ini", "[windows]\r\n");
  PutFile(image, "drive_c/WINNT35/system32/localmon.dll", "MZ local");
  PutFile(image, "drive_c/WINNT35/system32/same.dll", "MZ same");
  PutFile(image, "drive_c/WINNT35/system32/newer.dll", "MZ newer");
  PutFile(image, "drive_c/WINNT35/system32/grows.dll", "MZ 1");
  PutFile(image, "drive_c/WINNT35/system32/edited.dll", "MZ aaaa");
  PutFile(image, "drive_c/WINNT35/system32/locked.dll", "MZ locked");
  PutFile(image, "drive_c/WINNT35/system32/gone.dll", "MZ gone");
  image.WriteFile("progman.ini",
                  "; Program Manager groups and items. Item = title, command line, icon file.\r\n"
                  "\r\n[Main]\r\nShow = 1\r\n"
                  "Item = \"Print Manager\", \"printman.exe\", \"printman.exe\"\r\n"
                  "Item = \"Help\", \"winhelp.exe\", \"\"\r\n");
}

class CompareImages : public ::testing::Test {
 protected:
  Comparison Compare(const TestImage &a, const TestImage &b) {
    Comparison c;
    std::string error;
    EXPECT_TRUE(image_tool::CompareImages(a.Dir(), b.Dir(), &c, &error)) << error;
    return c;
  }
};

TEST_F(CompareImages, SpellingAndScratchFilesAreNoDifference) {
  TestImage a(kMachine, kRegistry);
  // Same facts spelt otherwise: defaults written out, other case, other blanks, other order.
  TestImage b(std::string(kMachine) + "[System]\nRESTART = no\nplatform = nt\n",
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\software\\kept]\r\n"
              "\"changes\"=\"1\"\r\n"
              "\"SAME\"=\"text\"\r\n"
              "\"Removed\"=hex:01,02\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\OLD\\Sub]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
              "\"Gone\"=dword:00000001\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
              "Local Port]\r\n"
              "\"Driver\"=\"localmon.dll\"\r\n\r\n");
  Fill(a);
  Fill(b);
  // What the stand-ins keep while they work is not part of the machine.
  b.WriteFile("setup.lock", "");
  b.WriteFile("drive_c/WINNT35/.winsim-copy-Ab12Cd", "half a copy");
  b.WriteFile("drive_c/WINNT35/win.ini.new", "being saved");
  b.WriteFile("drive_c/TEMP/.setupkit-probe-x1y2z3", "");

  Comparison c = Compare(a, b);
  EXPECT_TRUE(c.Equal()) << image_tool::FormatComparison(c);

  RunResult run = RunProgram({kTool, "compare", a.Dir(), b.Dir()}, {});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("The images are equal."), std::string::npos) << run.out;

  // A ".new" file with nothing beside it is a file of the machine like any other.
  b.WriteFile("drive_c/readme.new", "notes");
  EXPECT_NE(Compare(a, b).Find(Subject::File, "C:\\readme.new"), nullptr);
}

TEST_F(CompareImages, EachKindOfDifferenceIsReported) {
  TestImage a(kMachine, kRegistry);
  TestImage b(
      "[system]\n"
      "version = 3.50.807\n"
      "windows = C:\\WINNT35\n"
      "system = C:\\WINNT35\\system32\n"
      "temp = C:\\TEMP\n"
      "restart = yes\n"
      "[drives]\n"
      "C = drive_c\n"
      "[service Spooler]\n"
      "state = stopped\n"
      "[service LPDSVC]\n"
      "depends = Spooler\n"
      "[deny]\n"
      "key = HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept\n",
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\"
      "Local Port]\r\n"
      "\"Driver\"=\"localmon.dll\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n"
      "\"Same\"=\"text\"\r\n"
      "\"Changes\"=dword:00000001\r\n"
      "\"Added\"=\"say \\\"hi\\\"\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\r\n"
      "@=\"default\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\r\n"
      "\"PendingFileRenameOperations\"=hex(7):5c,3f,3f,5c,43,3a,5c,78,00,00,00\r\n\r\n");
  Fill(a);
  Fill(b);
  PutFile(b, "drive_c/WINNT35/system32/zelpsmon.dll", "MZ new monitor");
  fs::remove(b.HostPath("drive_c/WINNT35/system32/gone.dll"));
  fs::last_write_time(b.HostPath("drive_c/WINNT35/system32/newer.dll"),
                      kDate + std::chrono::hours(1));
  PutFile(b, "drive_c/WINNT35/system32/grows.dll", "MZ 22");
  PutFile(b, "drive_c/WINNT35/system32/edited.dll", "MZ bbbb");
  ::chmod(b.HostPath("drive_c/WINNT35/system32/locked.dll").c_str(), 0444);
  fs::create_directories(b.HostPath("drive_c/win32app/zelpsmon"));
  b.WriteFile("progman.ini",
              "[Main]\r\nShow = 1\r\n"
              "Item = \"Print Manager\", \"printman.exe\", \"printman.exe\"\r\n"
              "Item = \"Help\", \"winhlp32.exe\", \"\"\r\n"
              "Item = \"Notepad\", \"notepad.exe\", \"\"\r\n"
              "\r\n[Norvale Network Printers]\r\nShow = 1\r\n"
              "Item = \"Norvale Network Printing Help\", \"zelpsmon.hlp\", \"winhlp32.exe\"\r\n");

  Comparison c = Compare(a, b);
  struct Expect {
    Subject subject;
    const char *where;
    const char *name;
    Change change;
    const char *before;
    const char *after;
  } expected[] = {
      {Subject::Fact, "[system]", "restart", Change::Changed, "no", "yes"},
      {Subject::Fact, "[service Spooler]", "state", Change::Changed, "running", "stopped"},
      {Subject::Section, "[service LPDSVC]", "", Change::Added, "", nullptr},
      {Subject::Fact, "[deny]", "key", Change::Added, "", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept"},
      {Subject::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Old", "", Change::Removed, "", ""},
      {Subject::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Old\\Sub", "", Change::Removed, "", ""},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Old", "Gone", Change::Removed,
       "dword:00000001", ""},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept", "Changes", Change::Changed, "\"1\"",
       "dword:00000001"},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept", "Removed", Change::Removed,
       "hex:01,02", ""},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept", "Added", Change::Added, "",
       "\"say \\\"hi\\\"\""},
      {Subject::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\New", "", Change::Added, "", ""},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\New", "", Change::Added, "", "\"default\""},
      {Subject::Key, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", "",
       Change::Added, "", ""},
      {Subject::Value, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
       "PendingFileRenameOperations", Change::Added, "", "hex(7):5c,3f,3f,5c,43,3a,5c,78,00,00,00"},
      {Subject::File, "C:\\WINNT35\\system32\\zelpsmon.dll", "", Change::Added, "", nullptr},
      {Subject::File, "C:\\WINNT35\\system32\\gone.dll", "", Change::Removed, nullptr, ""},
      {Subject::Directory, "C:\\win32app", "", Change::Added, "", ""},
      {Subject::Directory, "C:\\win32app\\zelpsmon", "", Change::Added, "", ""},
      {Subject::Group, "Norvale Network Printers", "", Change::Added, "", ""},
      {Subject::GroupSetting, "Norvale Network Printers", "Show", Change::Added, "", "1"},
      {Subject::Item, "Norvale Network Printers", "Norvale Network Printing Help", Change::Added,
       "", "\"zelpsmon.hlp\", \"winhlp32.exe\""},
      {Subject::Item, "Main", "Help", Change::Changed, "\"winhelp.exe\", \"\"",
       "\"winhlp32.exe\", \"\""},
      {Subject::Item, "Main", "Notepad", Change::Added, "", "\"notepad.exe\", \"\""},
  };
  for (const Expect &e : expected) {
    const Difference *d = c.Find(e.subject, e.where, e.name);
    ASSERT_NE(d, nullptr) << e.where << " " << e.name << "\n" << image_tool::FormatComparison(c);
    EXPECT_EQ(d->change, e.change) << e.where << " " << e.name;
    if (e.before) {
      EXPECT_EQ(d->before, e.before) << e.where << " " << e.name;
    }
    if (e.after) {
      EXPECT_EQ(d->after, e.after) << e.where << " " << e.name;
    }
  }
  // Files: what changed about each.
  struct FileChange {
    const char *name;
    const char *detail;
  } files[] = {{"newer.dll", "date"},
               {"grows.dll", "content, size"},
               {"edited.dll", "content"},
               {"locked.dll", "read-only"}};
  for (const FileChange &f : files) {
    const Difference *d = c.Find(Subject::File, std::string("C:\\WINNT35\\system32\\") + f.name);
    ASSERT_NE(d, nullptr) << f.name;
    EXPECT_EQ(d->change, Change::Changed) << f.name;
    EXPECT_EQ(d->detail, f.detail) << f.name;
  }
  EXPECT_EQ(c.Find(Subject::File, "C:\\WINNT35\\system32\\same.dll"), nullptr);
  EXPECT_EQ(c.Find(Subject::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept", "Same"), nullptr);
  EXPECT_EQ(c.Find(Subject::Item, "Main", "Print Manager"), nullptr);
  EXPECT_EQ(c.differences.size(), std::size(expected) + std::size(files))
      << image_tool::FormatComparison(c);

  // The command: a readable report and status 1.
  RunResult run = RunProgram({kTool, "compare", a.Dir(), b.Dir()}, {});
  EXPECT_EQ(run.status, 1) << run.err;
  for (const char *line :
       {"~ [system] restart: no -> yes", "+ [service LPDSVC]  state = running, depends = Spooler\n",
        "- [HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]", "  [HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\n",
        "~ \"Changes\"=dword:00000001\n        (was \"1\")",
        "+ \"PendingFileRenameOperations\"=hex(7):5c,3f,3f,5c,43,3a,5c,78,00,00,00  ; \\??\\C:\\x",
        "+ @=\"default\"", "~ C:\\WINNT35\\system32\\grows.dll  content, size: 4 bytes",
        "+ C:\\win32app\\zelpsmon\\  (directory)", "+ group \"Norvale Network Printers\"",
        "~ item \"Help\": \"winhlp32.exe\", \"\"  (was \"winhelp.exe\", \"\")"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  // Going the other way every addition is a removal.
  Comparison back = Compare(b, a);
  const Difference *d = back.Find(Subject::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\New");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->change, Change::Removed);
  EXPECT_EQ(back.differences.size(), c.differences.size());
}

TEST_F(CompareImages, BadImageIsRefusedWithStatus2) {
  TestImage good;
  TestImage bad("[system]\nversion = three\n");
  RunResult run = RunProgram({kTool, "compare", good.Dir(), bad.Dir()}, {});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("image B: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("machine.ini:2: version must be"), std::string::npos) << run.err;

  run = RunProgram({kTool, "compare", good.Dir() + "/no-such-image", good.Dir()}, {});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("image A: "), std::string::npos) << run.err;

  bad.WriteFile("machine.ini", testing_support::kDefaultMachine);
  bad.WriteFile("system.reg", "REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n");
  run = RunProgram({kTool, "compare", good.Dir(), bad.Dir()}, {});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("system.reg:3"), std::string::npos) << run.err;

  run = RunProgram({kTool, "compare", good.Dir()}, {});
  EXPECT_EQ(run.status, 2) << "usage";
}

TEST(RegeditData, ValuesTakeTheFormRegeditWrites) {
  using image_tool::RegeditData;
  EXPECT_EQ(RegeditData(1, std::string("C:\\a \"b\"\0", 9)), "\"C:\\\\a \\\"b\\\"\"");
  // Texts regedit could not write back exactly are shown by their bytes.
  EXPECT_EQ(RegeditData(1, "ab"), "hex(1):61,62");
  EXPECT_EQ(RegeditData(1, std::string("a\0b\0", 4)), "hex(1):61,00,62,00");
  EXPECT_EQ(RegeditData(1, std::string("a\nb\0", 4)), "hex(1):61,0a,62,00");
  EXPECT_EQ(RegeditData(4, std::string("\x1f\x00\x00\x80", 4)), "dword:8000001f");
  EXPECT_EQ(RegeditData(4, std::string("\x01\x00", 2)), "hex(4):01,00");
  EXPECT_EQ(RegeditData(3, ""), "hex:");
  EXPECT_EQ(RegeditData(2, std::string("%a%\0", 4)), "hex(2):25,61,25,00");
  EXPECT_EQ(RegeditData(11, std::string(1, '\0')), "hex(b):00");
}

}  // namespace
