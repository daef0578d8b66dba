// Character references: what decodes, to what, taking how many bytes, and
// what must not decode.
#include "decode/character_references.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace mailsift {
namespace {

TEST(CharacterReferences, DecodesKnownAndRejectsTheRest) {
  struct Case {
    std::string_view text;
    char32_t character;  // 0: no reference
    std::size_t length;
  };
  const Case cases[] = {
      {"&#64;", U'@', 5},
      {"&#x40;rest", U'@', 6},
      {"&#X4a;", U'J', 6},
      {"&#0064;", U'@', 7},
      {"&commat;", U'@', 8},
      {"&period;", U'.', 8},
      {"&amp;amp;", U'&', 5},
      {"&lowbar;", U'_', 8},
      {"&hyphen;", U'\u2010', 8},
      {"&nbsp;", U'\u00A0', 6},
      {"&auml;", U'\u00E4', 6},
      {"&Auml;", U'\u00C4', 6},
      {"&szlig;", U'\u00DF', 7},
      {"&yuml;", U'\u00FF', 6},
      {"&UnderBar;", U'_', 10},
      {"&#x10FFFF;", U'\U0010FFFF', 10},
      {"&#0;", 0, 0},
      {"&#xD800;", 0, 0},
      {"&#xDFFF;", 0, 0},
      {"&#x110000;", 0, 0},
      {"&#99999999999;", 0, 0},
      {"&#64", 0, 0},
      {"&#;", 0, 0},
      {"&#x;", 0, 0},
      {"&commat", 0, 0},
      {"&Commat;", 0, 0},
      {"&unknown;", 0, 0},
      {"&;", 0, 0},
      {"&", 0, 0},
      {"#64;", 0, 0},
      {"&#6 4;", 0, 0},
      {"&amp ;", 0, 0},
  };
  for (const Case& c : cases) {
    const auto decoded = decodeCharacterReference(c.text);
    EXPECT_EQ(decoded.has_value(), c.character != 0) << c.text;
    if (decoded) {
      EXPECT_EQ(decoded->character, c.character) << c.text;
      EXPECT_EQ(decoded->length, c.length) << c.text;
    }
  }
}

TEST(CharacterReferences, EveryNumericFormOfACharacterAgrees) {
  for (char32_t c = 1; c < 0x3000; c += 7) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const std::string decimal = "&#" + std::to_string(c) + ";";
    char hex[16];
    std::snprintf(hex, sizeof hex, "&#x%X;", static_cast<unsigned>(c));
    ASSERT_EQ(decodeCharacterReference(decimal)->character, c);
    ASSERT_EQ(decodeCharacterReference(hex)->character, c);
  }
}

}  // namespace
}  // namespace mailsift
