// The symbol table and lists.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "setupkit/setupkit.h"
#include "test_image.h"
#include "toolkit/toolkit_services.h"

using testing_support::TestImage;

namespace {

class Symbols : public ::testing::Test {
 protected:
  void SetUp() override { image_.Open(); }
  void TearDown() override { setupkit::ResetToolkit(); }
  TestImage image_;
};

std::string Value(const char *name, int size, int *length) {
  std::vector<char> buf(static_cast<size_t>(size > 0 ? size : 1) + 4, 'x');
  *length = CbGetSymbolValue(name, buf.data(), size);
  return buf.data();
}

TEST_F(Symbols, ValuesAreCutToTheBufferAndAnsweredAtFullLength) {
  int length = 0;
  ASSERT_TRUE(FSetSymbolValue("DLGEVENT", "CONTINUE"));
  EXPECT_EQ(Value("DLGEVENT", 15, &length), "CONTINUE");
  EXPECT_EQ(length, 8);

  // 14 characters fit a 15-byte buffer; 15 do not, and say so by their length.
  ASSERT_TRUE(FSetSymbolValue("DLGEVENT", "ABCDEFGHIJKLMN"));
  EXPECT_EQ(Value("DLGEVENT", 15, &length), "ABCDEFGHIJKLMN");
  EXPECT_EQ(length, 14);
  ASSERT_TRUE(FSetSymbolValue("DLGEVENT", "ABCDEFGHIJKLMNO"));
  EXPECT_EQ(Value("DLGEVENT", 15, &length), "ABCDEFGHIJKLMN");
  EXPECT_EQ(length, 15);
  EXPECT_EQ(Value("DLGEVENT", 1, &length), "");
  EXPECT_EQ(length, 15);
  EXPECT_EQ(CbGetSymbolValue("DLGEVENT", nullptr, 0), 15);

  // Unset, removed, or named with another case: empty.
  EXPECT_EQ(Value("Never", 15, &length), "");
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(FSetSymbolValue("ButtonChecked", "2"));
  EXPECT_EQ(Value("buttonchecked", 15, &length), "");
  ASSERT_TRUE(FRemoveSymbol("ButtonChecked"));
  EXPECT_EQ(Value("ButtonChecked", 15, &length), "");
  EXPECT_TRUE(FRemoveSymbol("ButtonChecked"));

  // A symbol needs a name.
  EXPECT_FALSE(FSetSymbolValue("", "x"));
  EXPECT_FALSE(FSetSymbolValue(nullptr, "x"));
  EXPECT_FALSE(FRemoveSymbol(""));
  EXPECT_EQ(Value("", 15, &length), "");
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(FSetSymbolValue("Empty", nullptr));
  EXPECT_EQ(Value("Empty", 15, &length), "");
}

TEST_F(Symbols, ListsCountFromOneAndRefusePositionsOutside) {
  ASSERT_TRUE(FAddListItem("PPDList", "Norvale ZELlaser 7200"));
  ASSERT_TRUE(FAddListItem("PPDList", "Norvale \"PageRelay\" 12"));
  ASSERT_TRUE(FAddListItem("PPDList", ""));
  EXPECT_EQ(UsGetListLength("PPDList"), 3);

  char buf[64];
  EXPECT_EQ(CbGetListItem("PPDList", 1, buf, sizeof buf), 21);
  EXPECT_STREQ(buf, "Norvale ZELlaser 7200");
  EXPECT_EQ(CbGetListItem("PPDList", 3, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  // Position 0 and count + 1: no item, and not mistaken for an empty one.
  std::strcpy(buf, "stale");
  EXPECT_EQ(CbGetListItem("PPDList", 0, buf, sizeof buf), -1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(CbGetListItem("PPDList", 4, buf, sizeof buf), -1);
  EXPECT_FALSE(FReplaceListItem("PPDList", 0, "x"));
  EXPECT_FALSE(FReplaceListItem("PPDList", 4, "x"));
  EXPECT_EQ(UsGetListLength("PPDList"), 3);

  // An item too long for the buffer is cut and answered at full length.
  char small[8];
  EXPECT_EQ(CbGetListItem("PPDList", 1, small, sizeof small), 21);
  EXPECT_STREQ(small, "Norvale");

  ASSERT_TRUE(FReplaceListItem("PPDList", 3, "third"));
  EXPECT_EQ(CbGetListItem("PPDList", 3, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "third");

  // Read as a plain symbol, a list is its list text, and that text reads back as the list.
  int length = 0;
  std::string text = Value("PPDList", 128, &length);
  EXPECT_EQ(text, "{\"Norvale ZELlaser 7200\",\"Norvale \"\"PageRelay\"\" 12\",\"third\"}");
  ASSERT_TRUE(FSetSymbolValue("Copy", text.c_str()));
  EXPECT_EQ(UsGetListLength("Copy"), 3);
  EXPECT_EQ(CbGetListItem("Copy", 2, buf, sizeof buf), 22);
  EXPECT_STREQ(buf, "Norvale \"PageRelay\" 12");

  // A plain value is a list of one item; an empty one, or none, a list of none.
  ASSERT_TRUE(FSetSymbolValue("Plain", "only"));
  EXPECT_EQ(UsGetListLength("Plain"), 1);
  ASSERT_TRUE(FAddListItem("Plain", "next"));
  EXPECT_EQ(UsGetListLength("Plain"), 2);
  EXPECT_EQ(UsGetListLength("Nothing"), 0);
  EXPECT_EQ(CbGetListItem("Nothing", 1, buf, sizeof buf), -1);
  EXPECT_FALSE(FReplaceListItem("Nothing", 1, "x"));
  EXPECT_FALSE(FAddListItem("", "x"));
}

TEST_F(Symbols, AListHoldsNoMoreItemsThanItsCountCanTell) {
  for (int i = 0; i < 65535; ++i) ASSERT_TRUE(FAddListItem("Big", "i"));
  EXPECT_EQ(UsGetListLength("Big"), 65535);
  EXPECT_FALSE(FAddListItem("Big", "one too many"));
  EXPECT_EQ(UsGetListLength("Big"), 65535);
}

TEST_F(Symbols, TheEndOfTheFrameForgetsThem) {
  ASSERT_GT(InitializeFrame(const_cast<char *>("")), 0);
  ASSERT_TRUE(FSetSymbolValue("EditTextIn", "D:\\I386"));
  TerminateFrame();
  EXPECT_EQ(CbGetSymbolValue("EditTextIn", nullptr, 0), 0);
}

}  // namespace
