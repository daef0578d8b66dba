// The three character classes and the Windows-1252 helpers.
#include "scanner/char_classes.h"

#include <gtest/gtest.h>

#include <string>

namespace mailsift {
namespace {

struct ClassCase {
  std::string character;
  bool left;
  bool right;
  bool tld;
};

TEST(CharClasses, AcceptExactlyTheirMembers) {
  const ClassCase cases[] = {
      {"a", true, true, true},        {"A", true, true, true},          {"z", true, true, true},
      {"Z", true, true, true},        {"0", true, true, false},         {"9", true, true, false},
      {"_", true, false, false},      {".", true, true, false},         {"-", true, true, false},
      {"\xE4", false, true, false},   {"\xC4", false, true, false},     {"\xF6", false, true, false},
      {"\xD6", false, true, false},   {"\xFC", false, true, false},     {"\xDC", false, true, false},
      {"", false, false, false},      {" ", false, false, false},       {"@", false, false, false},
      {":", false, false, false},     {"\xDF", false, false, false},    {"+", false, false, false},
      {"ab", false, false, false},    {std::string(1, '\0'), false, false, false},
      {"\xE9", false, false, false},  {"\xC9", false, false, false},  // é and É are no members
  };
  for (const ClassCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "character 0x" << std::hex
                                    << (c.character.empty() ? -1 : static_cast<unsigned char>(c.character[0])));
    EXPECT_EQ(MailzeichenLinks(c.character), c.left);
    EXPECT_EQ(MailzeichenRechts(c.character), c.right);
    EXPECT_EQ(MailzeichenTLD(c.character), c.tld);
  }
}

TEST(CharClasses, MembershipCountsMatchTheClassSizes) {
  int left = 0, right = 0, tld = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string c(1, static_cast<char>(b));
    // Count only characters that are already lower case: each class member once.
    if (lowerCp1252(static_cast<unsigned char>(b)) != b) continue;
    left += MailzeichenLinks(c);
    right += MailzeichenRechts(c);
    tld += MailzeichenTLD(c);
  }
  EXPECT_EQ(left, 39);   // a-z, 0-9, "-", "_", "."
  EXPECT_EQ(right, 41);  // a-z, 0-9, "-", "ä", "ö", "ü", "."
  EXPECT_EQ(tld, 26);
}

TEST(Cp1252, LowerCaseCoversEveryLetterOfTheCodePage) {
  EXPECT_EQ(lowerCp1252('A'), 'a');
  EXPECT_EQ(lowerCp1252('a'), 'a');
  EXPECT_EQ(lowerCp1252(0xC4), 0xE4);  // Ä
  EXPECT_EQ(lowerCp1252(0xDE), 0xFE);  // Þ
  EXPECT_EQ(lowerCp1252(0x8A), 0x9A);  // Š
  EXPECT_EQ(lowerCp1252(0x9F), 0xFF);  // Ÿ
  EXPECT_EQ(lowerCp1252(0xD7), 0xD7);  // × is no letter
  EXPECT_EQ(lowerCp1252(0xDF), 0xDF);  // ß has no capital here
  EXPECT_EQ(lowerCp1252('@'), '@');
}

TEST(Cp1252, ConvertsToUtf8) {
  EXPECT_EQ(cp1252ToUtf8("abc"), "abc");
  EXPECT_EQ(cp1252ToUtf8("m\xFCller"), "m\xC3\xBCller");
  EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // €
  EXPECT_EQ(cp1252ToUtf8("\x81"), "\xC2\x81");      // undefined: the C1 control
  EXPECT_EQ(cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace mailsift
