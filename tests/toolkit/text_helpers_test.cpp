// The text and path helpers, on single-byte texts and on the double-byte texts of code page 932,
// whose second bytes may have the value of a backslash or of a letter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "setup/setup_state.h"
#include "system_session.h"
#include "toolkit/text_helpers.h"

using ::testing::ExitedWithCode;
using testing_support::kError1024;
using testing_support::kOverflow;
using testing_support::SystemSession;

namespace {

using Lines = std::vector<std::string>;

// Double-byte characters of code page 932: the second byte of the first is a backslash, that
// of the second the letter A.
const char kTableKanji[] = "\x95\x5C";
const char kKatakanaA[] = "\x83\x41";

class TextHelpers : public ::testing::Test {
 protected:
  void Open(const std::string &extra = "") {
    session_ = std::make_unique<SystemSession>(extra);
    session_->OpenWithFrame("2300 CONTINUE\n");
    std::strcpy(szSrcDir, "C:\\DIST\\");
  }
  void OpenCodePage932() { Open("[system]\ncodepage = 932\n"); }
  Lines Transcript() { return session_->Transcript(); }
  std::string Dir(LPSTR (*helper)(LPSTR, int), int cchMax = 255) {
    char buffer[256];
    return helper(buffer, cchMax);
  }

  std::unique_ptr<SystemSession> session_;
};

TEST_F(TextHelpers, DirectoryWithoutDriveTakesTheSourceDrive) {
  Open();
  winsim::M().windowsDir = "\\WINNT35";
  std::strcpy(szSrcDir, "D:\\DIST\\");
  EXPECT_EQ(Dir(WindowsDirPath), "D:\\WINNT35\\");
  EXPECT_EQ(Dir(SystemDirPath), "C:\\WINNT35\\system32\\");  // a drive of its own: as it comes
  EXPECT_EQ(Dir(WindowsDirPath, 11), "D:\\WINNT35\\");       // exactly fits
  EXPECT_EQ(AskSystemDirElsewhere(), 1);

  winsim::M().windowsDir = "C:\\WINNT35";
  EXPECT_EQ(Dir(WindowsDirPath), "C:\\WINNT35\\");  // its own drive: as it comes
  winsim::M().windowsDir = "C:\\";
  EXPECT_EQ(Dir(WindowsDirPath), "C:\\");
  EXPECT_EQ(AskSystemDirElsewhere(), 0);
  winsim::M().windowsDir = "c:\\winnt35";
  EXPECT_EQ(AskSystemDirElsewhere(), 0);  // compared without case
}

TEST_F(TextHelpers, DirectoryLongerThanTheCallerAllowsOverflows) {
  Open();
  winsim::M().windowsDir = "\\WINNT35";
  std::strcpy(szSrcDir, "D:\\DIST\\");
  EXPECT_EXIT(Dir(WindowsDirPath, 10), ExitedWithCode(0), "");  // no room for the backslash
  EXPECT_EQ(Transcript(), kOverflow);
  session_->ClearTranscript();
  winsim::M().windowsDir = std::string("C:\\") + std::string(253, 'w');  // 256 characters
  EXPECT_EXIT(Dir(WindowsDirPath), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
}

TEST_F(TextHelpers, FinalBackslashIsNotTheSecondByteOfACharacter) {
  OpenCodePage932();
  winsim::M().windowsDir = std::string("C:\\") + kTableKanji;  // ends in the byte 0x5C
  EXPECT_EQ(Dir(WindowsDirPath), std::string("C:\\") + kTableKanji + "\\");
}

TEST_F(TextHelpers, ListFields) {
  Open();
  char buffer[256];
  EXPECT_STREQ(NthListField("a, b ,c", 2, buffer, 255), "b ");
  EXPECT_STREQ(NthListField("a, b ,c", 4, buffer, 255), "");
  EXPECT_STREQ(NthListField("a, b ,c", 1, buffer, 255), "a");
  EXPECT_STREQ(NthListField(" \t1.2.3", 1, buffer, 5), "1.2.3");  // exactly fits
  EXPECT_STREQ(NthListField("a,,c", 2, buffer, 255), "");

  EXPECT_EXIT(NthListField("a, 123456", 2, buffer, 5), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
  session_->ClearTranscript();
  EXPECT_EXIT(NthListField("a, b", 0, buffer, 255), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kError1024);
}

TEST_F(TextHelpers, ListFieldsOfDoubleByteTexts) {
  OpenCodePage932();
  char buffer[256];
  std::string list = std::string(kTableKanji) + "," + kKatakanaA + kTableKanji + " ,x";
  EXPECT_EQ(std::string(NthListField(list.c_str(), 2, buffer, 255)),
            std::string(kKatakanaA) + kTableKanji + " ");
  EXPECT_EQ(std::string(NthListField(list.c_str(), 3, buffer, 255)), "x");
  // Lengths count bytes: two double-byte characters do not fit three.
  EXPECT_EXIT(NthListField(list.c_str(), 2, buffer, 3), ExitedWithCode(0), "");
  EXPECT_EQ(Transcript(), kOverflow);
}

TEST_F(TextHelpers, TextPositions) {
  Open();
  EXPECT_EQ(FindTextPosition(1, "abcabc", "ca"), 3);
  EXPECT_EQ(FindTextPosition(4, "abcabc", "ca"), 0);
  EXPECT_EQ(FindTextPosition(4, "abcabc", "bc"), 5);
  EXPECT_EQ(FindTextPosition(0, "abcabc", "a"), 0);
  EXPECT_EQ(FindTextPosition(-3, "abcabc", "a"), 1);
  EXPECT_EQ(FindTextPosition(9, "abc", "a"), 0);
  EXPECT_EQ(FindTextPosition(1, "abc", "abcd"), 0);  // never read past the text
}

TEST_F(TextHelpers, TextPositionsCountDoubleByteCharactersOnce) {
  OpenCodePage932();
  std::string text = std::string(kKatakanaA) + "xA" + kTableKanji + "ab";
  EXPECT_EQ(FindTextPosition(1, text.c_str(), "A"), 3);  // not the second byte of character 1
  EXPECT_EQ(FindTextPosition(1, text.c_str(), "ab"), 5);
  EXPECT_EQ(FindTextPosition(2, text.c_str(), kKatakanaA), 0);

  EXPECT_EQ(FindCharInText(text.c_str(), 'A'), text.c_str() + 3);
  std::string path = std::string("C:") + kTableKanji + "\\x";
  EXPECT_EQ(FindCharInText(path.c_str(), '\\'), path.c_str() + 4);
  EXPECT_EQ(FindCharInText("abc", 'z'), nullptr);
}

TEST_F(TextHelpers, JoinsAreCutAtTheirBuffers) {
  Open();
  EXPECT_STREQ(JoinThree("Help", ",", "winhlp32.exe"), "Help,winhlp32.exe");
  EXPECT_STREQ(JoinFour("a", NULL, "c", "d"), "acd");
  std::string piece(300, 'p');
  std::string three = JoinThree(piece.c_str(), piece.c_str(), piece.c_str());
  EXPECT_EQ(three, std::string(767, 'p'));
  std::string four = JoinFour(piece.c_str(), piece.c_str(), piece.c_str(), "tail");
  EXPECT_EQ(four, std::string(900, 'p') + "tail");
  four = JoinFour(piece.c_str(), piece.c_str(), piece.c_str(), piece.c_str());
  EXPECT_EQ(four, std::string(1023, 'p'));
}

TEST_F(TextHelpers, JoinCutKeepsDoubleByteCharactersWhole) {
  OpenCodePage932();
  std::string head(766, 'p');
  std::string joined = JoinThree(head.c_str(), kTableKanji, "");
  EXPECT_EQ(joined, head);  // the character would need bytes 767 and 768
}

}  // namespace
