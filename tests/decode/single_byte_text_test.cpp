// UTF-8 and UTF-16 text as Windows-1252: recognising the encoding, and the
// same bytes whatever pieces the text arrives in.
#include "decode/single_byte_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace mailsift {
namespace {

constexpr char kReplacement = '\x1A';

std::string whole(TextEncoding encoding, std::string_view text) {
  SingleByteTranscoder transcoder(encoding, kReplacement);
  std::string out;
  transcoder.transcode(text, out);
  transcoder.finish(out);
  return out;
}

std::string utf16(std::u16string_view text, bool little) {
  std::string bytes;
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(SingleByteText, RecognisesTheEncodingFromTheFirstBytes) {
  const struct {
    std::string head;
    TextEncoding expected;
  } cases[] = {
      {"plain ascii a@b.de", TextEncoding::Windows1252},
      {"m\xFCller@b\xFCro.de in Windows-1252", TextEncoding::Windows1252},
      {"m\xC3\xBCller@b\xC3\xBCro.de in UTF-8", TextEncoding::Utf8},
      {"\xEF\xBB\xBF"
       "ascii after a mark",
       TextEncoding::Utf8},
      {"\xFF\xFE" + utf16(u"a@b.de", true), TextEncoding::Utf16LE},
      {"\xFE\xFF" + utf16(u"a@b.de", false), TextEncoding::Utf16BE},
      {utf16(u"mail me at a@b.de please", true), TextEncoding::Utf16LE},
      {utf16(u"mail me at a@b.de please", false), TextEncoding::Utf16BE},
      {std::string("\x00\x01\x00\x00\x02\x00\x00\x00\x07\x00\x00\x00", 12), TextEncoding::Windows1252},
      // Mostly Windows-1252 with one pair that happens to be valid UTF-8.
      {"\xE4\xF6\xFC \xC3\xA4 \xE4\xF6\xFC\xDF", TextEncoding::Windows1252},
  };
  for (const auto& c : cases) EXPECT_EQ(recogniseEncoding(c.head), c.expected) << c.head;
}

TEST(SingleByteText, GivesEachCharacterItsWindows1252Byte) {
  EXPECT_EQ(whole(TextEncoding::Utf8, "m\xC3\xBCller@b\xC3\xBCro.de"), "m\xFCller@b\xFCro.de");
  EXPECT_EQ(whole(TextEncoding::Utf8, "\xEF\xBB\xBF\xE2\x82\xAC \xE2\x80\x94 \xC5\x82 \xF0\x9F\x98\x80"),
            "\x80 \x97 \x1A \x1A");
  // Bytes that form no sequence stand for themselves, one by one.
  EXPECT_EQ(whole(TextEncoding::Utf8, "\xFC\xC3(\xE0\x80\xAF\xED\xA0\x80 \xC3"),
            "\xFC\xC3(\xE0\x80\xAF\xED\xA0\x80 \xC3");
  EXPECT_EQ(whole(TextEncoding::Utf16LE, "\xFF\xFE" + utf16(u"\u00FC\u20AC\u0142\xD83D\xDE00!\xDC00", true)),
            "\xFC\x80\x1A\x1A!\x1A");
  EXPECT_EQ(whole(TextEncoding::Utf16BE, utf16(u"a@b.de", false) + "x"), "a@b.de\x1A");
}

// Any text, cut anywhere, gives what the whole text gives.
TEST(SingleByteText, PiecesGiveWhatTheWholeTextGives) {
  std::mt19937 random(7);
  const std::vector<std::string> atoms{"a",
                                       "@",
                                       ".",
                                       "\xC3\xBC",
                                       "\xE2\x82\xAC",
                                       "\xF0\x9F\x98\x80",
                                       "\xC3",
                                       "\x80",
                                       "\xED\xA0\x80",
                                       "\xEF\xBB\xBF",
                                       "\xFE\xFF",
                                       std::string(1, '\0')};
  for (const TextEncoding encoding : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
    for (int round = 0; round < 300; ++round) {
      std::string text;
      const std::size_t count = random() % 40;
      for (std::size_t i = 0; i < count; ++i) text += atoms[random() % atoms.size()];
      SingleByteTranscoder transcoder(encoding, kReplacement);
      std::string out;
      for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::min<std::size_t>(text.size() - at, random() % 5);
        transcoder.transcode(std::string_view(text).substr(at, length), out);
        at += length;
      }
      transcoder.finish(out);
      ASSERT_EQ(out, whole(encoding, text)) << static_cast<int>(encoding) << " round " << round;
    }
  }
}

}  // namespace
}  // namespace mailsift
