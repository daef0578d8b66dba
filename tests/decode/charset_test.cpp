// The charset converter: each charset's bytes against their UTF-8, and the
// same text given in pieces of every size.
#include "decode/charset.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace mailsift {
namespace {

TEST(Utf8Converter, ConvertsEachCharsetToUtf8) {
  struct Case {
    const char* charset;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {"utf-8",
       "M\xC3\xBCller@b\xC3\xBC"
       "cher.de",
       "Müller@bücher.de"},
      {"UTF8",
       "\xEF\xBB\xBF"
       "abc",
       "abc"},                                                    // byte-order mark dropped
      {"utf-8", "M\xFCller", "Müller"},                           // Latin-1 labelled UTF-8
      {"utf-8", "a\xE2\x82", "a\xC3\xA2\xE2\x80\x9A"},            // cut at the end: â‚
      {"utf-8", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // a surrogate is no UTF-8
      {"utf-8", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},          // four bytes
      {"\"US-ASCII\"", "caf\xC3\xA9", "café"},
      {"ISO-8859-1", "\xE9\x80", "é€"},
      {"iso_8859-15", "\xA4\xBD\xE9", "€œé"},
      {"windows-1252", "\x93x\x94\x81", "“x”\xC2\x81"},
      {"x-unknown", "\x9F", "Ÿ"},
      {"utf-16",
       std::string("\xFF\xFE"
                   "a\0@\0",
                   6),
       "a@"},
      {"utf-16", std::string("\0a\0@", 4), "a@"},                            // big-endian without a mark
      {"UTF-16BE", std::string("\xD8\x3D\xDE\x00", 4), "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"utf-16le", "=\xD8", "\xEF\xBF\xBD"},                                 // a first half alone at the end
      {"utf-16le",
       std::string("\x00\xDC"
                   "a\0",
                   4),
       "\xEF\xBF\xBD"
       "a"},
      {"utf-16be", std::string("\0a\0", 3), "a\xEF\xBF\xBD"},  // an odd byte at the end
  };
  for (const Case& c : cases) EXPECT_EQ(toUtf8(c.charset, c.bytes), c.utf8) << c.charset << " " << c.bytes;
}

TEST(Utf8Converter, GivesTheSameTextForAnyPiecesAndAlwaysValidUtf8) {
  std::mt19937 random(7);
  // Bytes that make every kind of sequence, whole, cut and broken.
  static constexpr char kAlphabet[] = "a@.\x00\x80\xA4\xBF\xC3\xBC\xE2\x82\xAC\xED\xA0\xF0\x9F\xD8\x3D\xDC\xFE\xFF";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  for (const char* charset : {"utf-8", "utf-16", "utf-16le", "windows-1252", "iso-8859-15"}) {
    for (int round = 0; round < 200; ++round) {
      std::string bytes(random() % 40, '\0');
      for (char& byte : bytes) byte = alphabet[random() % alphabet.size()];
      const std::string whole = toUtf8(charset, bytes);
      Utf8Converter converter{std::string_view(charset)};
      std::string pieces;
      for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t size = std::min<std::size_t>(random() % 5, bytes.size() - at);
        converter.toUtf8(std::string_view(bytes).substr(at, size), pieces);
        at += size;
      }
      converter.finish(pieces);
      EXPECT_EQ(pieces, whole) << charset;
      // Valid UTF-8 (not starting with a byte-order mark) passes unchanged.
      if (!whole.starts_with("\xEF\xBB\xBF")) {
        EXPECT_EQ(toUtf8("utf-8", whole), whole) << charset;
      }
    }
  }
}

}  // namespace
}  // namespace mailsift
