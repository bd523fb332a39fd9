// The resource script reader: what it makes of a script, and the faults it names with their
// file and line.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "winsim/resources.h"

namespace {

bool Read(const std::map<std::string, std::string> &files, winsim::ModuleResources *out,
          std::string *error) {
  return winsim::ReadResourceScript(
      "main.rc",
      [&](const std::string &name, std::string *content) {
        auto it = files.find(name);
        if (it == files.end()) return false;
        *content = it->second;
        return true;
      },
      out, error);
}

TEST(ResourceScript, ReadsDialogsThroughIncludesDefinesAndConditions) {
  winsim::ModuleResources r;
  std::string error;
  ASSERT_TRUE(Read({{"main.rc",
                     "#include <windows.h>\n"
                     "#include \"ids.h\"\n"
                     "/* a comment\n over lines */\n"
                     "#ifndef IDC_STATIC\n#define IDC_STATIC (-1)\n#endif\n"
                     "DLG_ONE DIALOGEX DISCARDABLE 1, 2, 30, 40\n"
                     "STYLE WS_POPUP | WS_CAPTION\n"
                     "CAPTION \"T\\\\x \"\"q\"\"\"  // trailing comment\n"
                     "FONT 8, \"MS Shell Dlg\", 0, 0, 1\n"
                     "{\n"
                     "  CTEXT \"c\", IDC_STATIC, 1, 2, 3, 4\n"
                     "  PUSHBUTTON \"p\", IDOK, 5, 6, 7, 8, NOT WS_TABSTOP | WS_DISABLED\n"
                     "  CONTROL \"\", 9, \"msctls_progress32\", WS_BORDER, 1, 1, 1, 1\n"
                     "}\n"
                     "STRINGTABLE BEGIN 5, \"five\" 6 \"six\" END\n"
                     "1 VERSIONINFO FILEVERSION 1,0,0,0 BEGIN BLOCK \"x\" BEGIN VALUE \"a\", \"b\" "
                     "END END\n"},
                    {"ids.h", "#define DLG_ONE 100 // the dialog\n"}},
                   &r, &error))
      << error;
  ASSERT_EQ(r.dialogs.count(100), 1u);
  const winsim::DialogTemplate &d = r.dialogs.at(100);
  EXPECT_EQ(d.caption, "T\\x \"q\"");
  EXPECT_EQ(d.cx, 30);
  ASSERT_EQ(d.controls.size(), 3u);
  EXPECT_EQ(d.controls[0].windowClass, "STATIC");
  EXPECT_EQ(d.controls[0].id, -1);
  EXPECT_EQ(d.controls[0].style, 0x50020001u);  // child, visible, group, centred
  EXPECT_EQ(d.controls[1].style, 0x58000000u);  // the tab stop taken away, disabled added
  EXPECT_EQ(d.controls[2].windowClass, "msctls_progress32");
  EXPECT_EQ(r.strings.at(6), "six");
  EXPECT_TRUE(r.hasVersion);
}

TEST(ResourceScript, FaultsNameTheirFileAndLine) {
  const std::pair<std::string, const char *> cases[] = {
      {"#include \"missing.h\"\n", "missing.h: cannot be read"},
      {"1 DIALOG 0, 0, 1, 1\nBEGIN\n  LTEXT \"x\", NOSUCH, 1, 1, 1, 1\nEND\n",
       "main.rc:3: unknown name NOSUCH"},
      {"1 DIALOG 0, 0, 1, 1\nBEGIN\n  SLIDER \"x\", 1, 1, 1, 1, 1\nEND\n",
       "main.rc:3: control SLIDER is not understood"},
      {"1 DIALOG 0, 0, 1, 1\nCAPTION \"open\nBEGIN\nEND\n", "main.rc:2: unended text"},
      {"1 MENU\n", "main.rc:1: resource type MENU is not understood"},
      {"2 BITMAP \"none.bmp\"\n", "bitmap none.bmp cannot be read"},
      {"#ifdef X\n", "#if without #endif"},
      {"#define A A\n1 DIALOG A, 0, 1, 1\n", "A is defined through itself"},
      {"1 DIALOG 0, 0, 1, 1\nBEGIN\nEND\n1 DIALOG 0, 0, 1, 1\nBEGIN\nEND\n",
       "dialog 1 is defined twice"},
  };
  for (const auto &c : cases) {
    winsim::ModuleResources r;
    std::string error;
    EXPECT_FALSE(Read({{"main.rc", c.first}}, &r, &error)) << c.first;
    EXPECT_NE(error.find(c.second), std::string::npos) << c.first << " -> " << error;
  }
}

}  // namespace
