// The setup-file reader, through FOpenInf on a setup.inf of a machine image.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>

#include <random>

#include "setupkit/setupkit.h"
#include "test_image.h"
#include "toolkit/toolkit_services.h"

using testing_support::TestImage;

namespace {

class InfReader : public ::testing::Test {
 protected:
  void SetUp() override { image_.Open(); }
  void TearDown() override { setupkit::ResetToolkit(); }

  BOOL Open(const std::string &text) {
    image_.WriteFile("drive_c/DIST/setup.inf", text);
    return FOpenInf("C:\\DIST\\SETUP.INF", 1, 0);
  }

  // The field as the setup reads it, with the length the toolkit answers.
  std::string Field(const char *section, const char *key, USHORT n, int *length = nullptr) {
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    int r = CbGetInfSectionKeyField(section, key, n, buf, sizeof buf);
    if (length) *length = r;
    return buf;
  }

  std::vector<std::string> Keys(const char *section, BOOL nulls = TRUE) {
    std::vector<std::string> keys;
    if (!FSetSymbolToListOfInfKeys("Keys", section, nulls)) return {"<failed>"};
    for (USHORT i = 1; i <= UsGetListLength("Keys"); ++i) {
      char buf[64];
      CbGetListItem("Keys", i, buf, sizeof buf);
      keys.push_back(buf);
    }
    return keys;
  }

  TestImage image_;
};

TEST_F(InfReader, ReadsQuotedKeysAndFieldsOfTheDistribution) {
  ASSERT_TRUE(
      Open("; Setup information\r\n"
           "[PPD Files]\r\n"
           "\"Norvale PageRelay 12 Level2  8mb\" = PR12L28.PPD\r\n"
           "\"Norvale ZELlaser 7200\"=ZL7200.PPD ; trailing comment\r\n"
           "  plain key  =  a b ,\"c, d\" , \"say \"\"hi\"\"; now\",, last  \r\n"
           "[I386 Monitor]\r\n"
           "i386\\zelpsmon.dll, rename=zelpsmon.dll\r\n"));
  int length = 0;
  EXPECT_EQ(Field("ppd files", "NORVALE PAGERELAY 12 LEVEL2  8MB", 1, &length), "PR12L28.PPD");
  EXPECT_EQ(length, 11);
  EXPECT_EQ(Field("PPD Files", "Norvale ZELlaser 7200", 1), "ZL7200.PPD");
  EXPECT_EQ(Field("PPD Files", "Norvale ZELlaser 7200", 0), "Norvale ZELlaser 7200");
  // Blanks inside a field stay, around it go; quotes keep commas and ';'.
  EXPECT_EQ(Field("PPD Files", "plain key", 1), "a b");
  EXPECT_EQ(Field("PPD Files", "plain key", 2), "c, d");
  EXPECT_EQ(Field("PPD Files", "plain key", 3), "say \"hi\"; now");
  EXPECT_EQ(Field("PPD Files", "plain key", 4, &length), "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Field("PPD Files", "plain key", 5), "last");
  // A field past the end of the line is empty; a key with the blanks of another is missing.
  EXPECT_EQ(Field("PPD Files", "plain key", 6, &length), "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Field("PPD Files", "Norvale PageRelay 12 Level2 8mb", 1, &length), "");
  EXPECT_EQ(length, -1);
  EXPECT_EQ(Keys("PPD Files"), (std::vector<std::string>{"Norvale PageRelay 12 Level2  8mb",
                                                         "Norvale ZELlaser 7200", "plain key"}));

  // A line of fields has no key: an "=" after a comma belongs to the field.
  const setupkit::InfFile *inf = setupkit::OpenedInf();
  ASSERT_NE(inf, nullptr);
  const setupkit::InfLine &file = inf->sections[1].lines[0];
  EXPECT_FALSE(file.hasKey);
  EXPECT_EQ(file.fields, (std::vector<std::string>{"i386\\zelpsmon.dll", "rename=zelpsmon.dll"}));
  EXPECT_EQ(Keys("I386 Monitor", TRUE), (std::vector<std::string>{""}));
  EXPECT_EQ(Keys("I386 Monitor", FALSE), (std::vector<std::string>{}));
}

TEST_F(InfReader, FieldsAreCutToTheBufferAndAnsweredAtFullLength) {
  ASSERT_TRUE(Open("[S]\nk = 0123456789\n"));
  char buf[5];
  EXPECT_EQ(CbGetInfSectionKeyField("S", "k", 1, buf, sizeof buf), 10);
  EXPECT_STREQ(buf, "0123");
  EXPECT_EQ(CbGetInfSectionKeyField("S", "k", 1, buf, 1), 10);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CbGetInfSectionKeyField("S", "k", 1, nullptr, 0), 10);
}

TEST_F(InfReader, DuplicatesAndMissingSections) {
  ASSERT_TRUE(
      Open("[Files]\n"
           "a = first\n"
           "b = other\n"
           "A = second\n"
           "[Empty]\n"
           "; nothing here\n"
           "[files]\n"
           "c = later\n"));
  // The first line of a key is the one found; the key list names it once, at its first place;
  // a section named again continues the first.
  EXPECT_EQ(Field("Files", "a", 1), "first");
  EXPECT_EQ(Field("Files", "c", 1), "later");
  EXPECT_EQ(Keys("Files"), (std::vector<std::string>{"a", "b", "c"}));
  // An empty section is an empty list; a missing one is a failure, not an empty list.
  EXPECT_EQ(Keys("Empty"), (std::vector<std::string>{}));
  EXPECT_FALSE(FSetSymbolToListOfInfKeys("Keys", "No Such Section", TRUE));
  int length = 0;
  EXPECT_EQ(Field("No Such Section", "a", 1, &length), "");
  EXPECT_EQ(length, -1);
  EXPECT_EQ(CbGetInfSectionKeyField(nullptr, "a", 1, nullptr, 0), -1);
  EXPECT_EQ(CbGetInfSectionKeyField("Files", nullptr, 1, nullptr, 0), -1);
}

TEST_F(InfReader, AFileThatCannotBeReadOrParsedIsRefused) {
  image_.WriteFile("drive_c/DIST/good.inf", "[S]\nk = v\n");
  ASSERT_TRUE(FOpenInf("C:\\DIST\\good.inf", 1, 0));
  EXPECT_FALSE(FOpenInf("C:\\DIST\\missing.inf", 1, 0));
  // A failed open leaves nothing to read, not the file opened before.
  EXPECT_EQ(setupkit::OpenedInf(), nullptr);
  EXPECT_EQ(CbGetInfSectionKeyField("S", "k", 1, nullptr, 0), -1);
  EXPECT_FALSE(FOpenInf("C:\\DIST", 1, 0));
  EXPECT_FALSE(FOpenInf("Q:\\setup.inf", 1, 0));
  EXPECT_FALSE(FOpenInf("", 1, 0));
  EXPECT_FALSE(FOpenInf(nullptr, 1, 0));

  struct Case {
    const char *what;
    std::string text;
    const char *error;
  };
  const Case cases[] = {
      {"unterminated quote", "[S]\nk = \"open, field\n", "line 2"},
      {"NUL byte", std::string("[S]\nk = a\0b\n", 12), "control byte 0x00"},
      {"binary", "[S]\n\x01\x02\x7f\xff\n", "line 2"},
      {"header without ]", "[S\nk = v\n", "line 1"},
      {"text after header", "[S] x\n", "line 1"},
      {"empty section name", "[ ]\n", "line 1"},
      {"entry before a section", "k = v\n[S]\n", "line 1"},
      {"empty key", "[S]\n = v\n", "line 2"},
  };
  for (const Case &c : cases) {
    EXPECT_FALSE(Open(c.text)) << c.what;
    EXPECT_NE(setupkit::InfError().find(c.error), std::string::npos)
        << c.what << ": " << setupkit::InfError();
  }
}

TEST(InfReaderFaults, AFileThatDoesNotOpenIsRefusedWithTheReason) {
  TestImage image(std::string(testing_support::kDefaultMachine) + "[faults]\nCreateFileA = 32\n");
  image.WriteFile("drive_c/DIST/setup.inf", "[S]\nk = v\n");
  image.Open();
  EXPECT_FALSE(FOpenInf("C:\\DIST\\setup.inf", 1, 0));
  EXPECT_NE(setupkit::InfError().find("the file is in use"), std::string::npos)
      << setupkit::InfError();
  setupkit::ResetToolkit();
}

TEST(InfReaderTold, TheUserIsToldTheFileTheLineAndTheReason) {
  struct Case {
    std::string text;
    size_t size;  // the file's size, when larger than the text
    const char *shown;  // as the transcript quotes it
  } cases[] = {
      {"[S]\nk = \"open\n", 0, "C:\\\\DIST\\\\setup.inf: line 2: a quoted text is not closed"},
      {"[S]\n", 16u * 1024 * 1024 + 1,
       "C:\\\\DIST\\\\setup.inf: larger than the 16 MB that a setup file may hold"},
  };
  for (const Case &c : cases) {
    TestImage image;
    image.WriteFile("drive_c/DIST/setup.inf", c.text);
    if (c.size) std::filesystem::resize_file(image.HostPath("drive_c/DIST/setup.inf"), c.size);
    image.WriteFile("answers", "");
    image.Open("", image.HostPath("transcript"), image.HostPath("answers"));
    EXPECT_FALSE(FOpenInf("C:\\DIST\\setup.inf", 1, 0));
    EXPECT_EQ(image.ReadFile("transcript"), std::string("msgbox \"Setup\" \"") + c.shown + "\"\n");
    setupkit::ResetToolkit();
  }
}

TEST_F(InfReader, OddButSoundFilesAreRead) {
  // No final newline, a Ctrl-Z after the text, CR-only junk after it, a huge line.
  ASSERT_TRUE(Open("[S]\nk = v"));
  EXPECT_EQ(Field("S", "k", 1), "v");
  const char dos[] = "[S]\r\nk = v\r\n\x1a\x00\x01garbage";
  ASSERT_TRUE(Open(std::string(dos, sizeof dos - 1)));
  EXPECT_EQ(Field("S", "k", 1), "v");
  std::string huge(1 << 20, 'z');
  int length = 0;
  ASSERT_TRUE(Open("[S]\nbig = " + huge + ", after\n"));
  EXPECT_EQ(Field("S", "big", 2), "after");
  Field("S", "big", 1, &length);
  EXPECT_EQ(length, 1 << 20);
  ASSERT_TRUE(Open(""));
  EXPECT_FALSE(FSetSymbolToListOfInfKeys("Keys", "S", TRUE));
}

TEST_F(InfReader, NeverFailsUnsafelyOnRandomInput) {
  // Pieces that the grammar cares about, thrown together at random: whatever comes out, the
  // reader answers (sanitizer builds catch any read outside the input).
  const char *pieces[] = {"[",  "]",  "\"",   "\"\"", "=", ",",    ";",    " ",
                          "\t", "\n", "\r\n", "key",  "S", "\x1a", "\xff", ""};
  std::mt19937 rng(1994);
  for (int round = 0; round < 400; ++round) {
    std::string text = round % 2 ? "[S]\n" : "";
    int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) {
      size_t p = rng() % (sizeof pieces / sizeof pieces[0]);
      text += p == 15 ? std::string(1, '\0') : std::string(pieces[p]);
    }
    setupkit::InfFile inf;
    std::string error;
    if (setupkit::ParseInf(text, &inf, &error)) {
      for (const setupkit::InfSection &s : inf.sections) EXPECT_FALSE(s.name.empty());
    } else {
      EXPECT_EQ(error.compare(0, 5, "line "), 0) << error;
    }
  }
}

}  // namespace
