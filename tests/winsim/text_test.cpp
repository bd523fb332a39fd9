// The character-set calls, checked as Windows behaves under code pages 1252 and 932.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "test_image.h"

using testing_support::TestImage;

namespace {

std::string MachineIni(unsigned codepage) {
  return "[system]\ncodepage = " + std::to_string(codepage) +
         "\nwindows = C:\\WINNT35\nsystem = C:\\WINNT35\\system32\ntemp = C:\\TEMP\n\n"
         "[drives]\nC = drive_c\n";
}

// Offsets of the characters CharNextA finds in a text, ending with the terminator's.
std::string Steps(const char *text) {
  std::string out;
  for (const char *p = text;; p = CharNextA(p)) {
    out += std::to_string(p - text) + " ";
    if (!*p) break;
  }
  return out;
}

TEST(DoubleByteText, CharNextStepsOverBothBytesUnderCodePage932) {
  TestImage image(MachineIni(932));
  image.Open();
  // A, hiragana A (82 A0), the kanji 95 5C whose second byte is a backslash, katakana B6.
  EXPECT_EQ(Steps("A\x82\xA0\x95\x5C\xB6"), "0 1 3 5 6 ");
  // Lead bytes at both ends of both ranges.
  EXPECT_EQ(Steps("\x81\x40\x9F\x40\xE0\x40\xFC\x40"), "0 2 4 6 8 ");
  // A lead byte right before the terminator never takes the walk past it.
  EXPECT_EQ(Steps("ab\x82"), "0 1 2 3 ");
  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_TRUE(IsDBCSLeadByte(0xFC));
  EXPECT_FALSE(IsDBCSLeadByte(0x80));
  EXPECT_FALSE(IsDBCSLeadByte(0xA0));
  EXPECT_FALSE(IsDBCSLeadByte(0xDF));
  EXPECT_FALSE(IsDBCSLeadByte(0xFD));

  // Walking back finds the start of the double-byte character, not its backslash.
  const char *path = "D:\\\x95\x5C";
  EXPECT_EQ(CharPrevA(path, path + 5), path + 3);
  EXPECT_EQ(CharPrevA(path, path + 3), path + 2);
  EXPECT_EQ(CharPrevA(path, path), path);
}

TEST(DoubleByteText, CodePage1252StepsByteByByte) {
  TestImage image;
  image.Open();
  EXPECT_EQ(Steps("\x82\xA0\x95\x5C"), "0 1 2 3 4 ");
  EXPECT_FALSE(IsDBCSLeadByte(0x82));
  const char *path = "D:\\\x95\x5C";
  EXPECT_EQ(CharPrevA(path, path + 5), path + 4);
}

TEST(CaseConversion, LatinLettersOfCodePage1252) {
  TestImage image;
  image.Open();
  char text[] = "ALPHA Mips x86 \xC0\xC9\xD6\xDE \xDF\xD7\xF7 \x8A\x9F";
  EXPECT_EQ(CharLowerA(text), text);
  EXPECT_STREQ(text, "alpha mips x86 \xE0\xE9\xF6\xFE \xDF\xD7\xF7 \x9A\xFF");
  CharUpperA(text);
  EXPECT_STREQ(text, "ALPHA MIPS X86 \xC0\xC9\xD6\xDE \xDF\xD7\xF7 \x8A\x9F");

  char buf[] = "abcdef";
  EXPECT_EQ(CharUpperBuffA(buf, 3), 3u);
  EXPECT_STREQ(buf, "ABCdef");
  EXPECT_EQ(CharLowerBuffA(buf, 2), 2u);
  EXPECT_STREQ(buf, "abCdef");

  // A character in the low word instead of a pointer.
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(UINT_PTR{'q'}))),
            UINT_PTR{'Q'});
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(CharLowerA(reinterpret_cast<LPSTR>(UINT_PTR{0xC9}))),
            UINT_PTR{0xE9});
}

TEST(CaseConversion, DoubleByteCharactersAreLeftAloneUnderCodePage932) {
  TestImage image(MachineIni(932));
  image.Open();
  // Katakana A is 83 41: its second byte is an 'A' that must stay. C0 is a single-byte
  // katakana, not a letter with case.
  char text[] = "Ab\x83\x41z\xC0";
  CharLowerA(text);
  EXPECT_STREQ(text, "ab\x83\x41z\xC0");
  CharUpperA(text);
  EXPECT_STREQ(text, "AB\x83\x41Z\xC0");
  char buf[] = "\x83\x61q";
  EXPECT_EQ(CharUpperBuffA(buf, 3), 3u);
  EXPECT_STREQ(buf, "\x83\x61Q");
}

TEST(CharacterSets, OemCodePage437AndAnsi1252) {
  TestImage image;
  image.Open();
  // e acute, u diaeresis, sharp s, n tilde, pound, plus ASCII and a box-drawing character that
  // 1252 does not have.
  char text[] = "A:\\DISK1\\\x82\x81\xE1\xA4\x9C \xB3";
  ASSERT_TRUE(OemToCharA(text, text));  // in place
  EXPECT_STREQ(text, "A:\\DISK1\\\xE9\xFC\xDF\xF1\xA3 \xB3");
  char back[sizeof text];
  ASSERT_TRUE(CharToOemA(text, back));
  EXPECT_STREQ(back, "A:\\DISK1\\\x82\x81\xE1\xA4\x9C \xB3");
  EXPECT_FALSE(OemToCharA(nullptr, back));
}

TEST(CharacterSets, OemConversionKeepsTextUnderCodePage932) {
  TestImage image(MachineIni(932));
  image.Open();
  char text[] = "D:\\\x95\x5C\x82\xA0";
  char out[sizeof text];
  ASSERT_TRUE(OemToCharA(text, out));
  EXPECT_STREQ(out, text);
}

TEST(StringCalls, CompareCopyAndLength) {
  TestImage image;
  image.Open();
  EXPECT_EQ(lstrcmpA("alpha", "alpha"), 0);
  EXPECT_LT(lstrcmpA("alpha", "beta"), 0);
  EXPECT_GT(lstrcmpA("alphab", "alpha"), 0);
  EXPECT_NE(lstrcmpA("alpha", "ALPHA"), 0);
  EXPECT_LT(lstrcmpA("\xE9", "z"), 0);  // an accented letter sorts with its base letter
  EXPECT_EQ(lstrcmpiA("Norvale Network Port", "NORVALE network PORT"), 0);
  EXPECT_EQ(lstrcmpiA("\xC9T\xC9", "\xE9t\xE9"), 0);
  EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
  EXPECT_LT(lstrcmpA(nullptr, "a"), 0);
  EXPECT_EQ(lstrcmpA(nullptr, nullptr), 0);

  char buf[16];
  EXPECT_EQ(lstrcpynA(buf, "zelpsmon.dll", 5), buf);
  EXPECT_STREQ(buf, "zelp");
  lstrcpyA(buf, "C:\\");
  lstrcatA(buf, "win32app");
  EXPECT_STREQ(buf, "C:\\win32app");
  EXPECT_EQ(lstrlenA(buf), 11);
  EXPECT_EQ(lstrlenA(nullptr), 0);
  buf[0] = 'x';
  lstrcpynA(buf, "abc", 0);  // nothing written
  EXPECT_EQ(buf[0], 'x');
}

TEST(StringCalls, WsprintfFormsAndTheLimitOf1024Bytes) {
  TestImage image;
  image.Open();
  char buf[1024];
  LONG negative = -5;
  DWORD big = 4000000000u;
  EXPECT_EQ(wsprintfA(buf, "Install -- Couldn't open registry root, Error = %d", 5), 49);
  EXPECT_STREQ(buf, "Install -- Couldn't open registry root, Error = 5");
  wsprintfA(buf, "%d %u %s %c %x %X %lu %ld %i", -12, 7u, "dll", 'Q', 255u, 255u, big, negative, 3);
  EXPECT_STREQ(buf, "-12 7 dll Q ff FF 4000000000 -5 3");
  wsprintfA(buf, "[%5d|%-5d|%05d|%#x|%.3s|%6s|%%]", 42, 42, 42, 26u, "abcdef", "ab");
  EXPECT_STREQ(buf, "[   42|42   |00042|0x1a|abc|    ab|%]");
  const char16_t wide[] = u"wide";
  wsprintfA(buf, "%s %ls", static_cast<const char *>(nullptr), wide);
  EXPECT_STREQ(buf, "(null) wide");

  std::string longText(2000, 'x');
  EXPECT_EQ(wsprintfA(buf, "%s!", longText.c_str()), 1023);
  EXPECT_EQ(buf[1023], '\0');
  EXPECT_EQ(std::strlen(buf), 1023u);
}

}  // namespace
