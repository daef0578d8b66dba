// The three character classes and the Windows-1252 lower case behind them.
#include "scanner/char_classes.h"

#include <gtest/gtest.h>

#include "scanner/detail/char_table.h"

namespace mailsift {
namespace {

TEST(CharClasses, MembershipCountsMatchTheClassSizes) {
  int left = 0, leftExtended = 0, right = 0, tld = 0;
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    // Count only characters that are already lower case: each class member once.
    if (detail::kLowerOf[c] != c) continue;
    left += isLocalPartCharacter(c);
    leftExtended += isLocalPartCharacter(c, ScanRules::Extended);
    EXPECT_TRUE(!isLocalPartCharacter(c) || isLocalPartCharacter(c, ScanRules::Extended)) << b;
    right += isDomainCharacter(c);
    tld += isTldCharacter(c);
  }
  EXPECT_EQ(left, 39);          // a-z, 0-9, "-", "_", "."
  EXPECT_EQ(leftExtended, 40);  // and "+"
  EXPECT_TRUE(isLocalPartCharacter('+', ScanRules::Extended));
  EXPECT_EQ(right, 41);  // a-z, 0-9, "-", "ä", "ö", "ü", "."
  EXPECT_EQ(tld, 26);
}

TEST(Cp1252, LowerCaseCoversEveryLetterOfTheCodePage) {
  EXPECT_EQ(detail::kLowerOf['A'], 'a');
  EXPECT_EQ(detail::kLowerOf['a'], 'a');
  EXPECT_EQ(detail::kLowerOf[0xC4], 0xE4);  // Ä
  EXPECT_EQ(detail::kLowerOf[0xDE], 0xFE);  // Þ
  EXPECT_EQ(detail::kLowerOf[0x8A], 0x9A);  // Š
  EXPECT_EQ(detail::kLowerOf[0x9F], 0xFF);  // Ÿ
  EXPECT_EQ(detail::kLowerOf[0xD7], 0xD7);  // × is no letter
  EXPECT_EQ(detail::kLowerOf[0xDF], 0xDF);  // ß has no capital here
  EXPECT_EQ(detail::kLowerOf['@'], '@');
}

}  // namespace
}  // namespace mailsift
