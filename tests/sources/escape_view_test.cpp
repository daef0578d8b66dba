// Escapes undone for the view beside the stored text.
#include "sources/escape_view.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace mailsift {
namespace {

std::string undone(std::string_view text, std::size_t pieceBytes) {
  EscapeDecoder decoder('\x1A');
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += pieceBytes) decoder.decode(text.substr(at, pieceBytes), out);
  decoder.finish(out);
  return out;
}

TEST(EscapeView, UndoesEachKindOfEscapeInAnyPieces) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"jo&#64;example.com", "jo@example.com"},
      {"jo&#x40;example&period;com &commat;", "jo@example.com @"},
      {"&lt;jo@example.com&gt; &amp; &unknown; &#0; &#64", "<jo@example.com> & &unknown; &#0; &#64"},
      {"jo%40example%2Ecom 100%25 %2", "jo@example.com 100%25 %2"},
      {"debian\\-l10n\\-french\\(atlists.debian.org", "debian-l10n-french@lists.debian.org"},
      {"a\\&b\\%c \\fBbold\\fR \\", "abc \\fBbold\\fR \\"},
      {"m&uuml;ller&#64;b&#xFC;ro.de &#x20AC; &#x142;", "m\xFCller@b\xFCro.de \x80 \x1A"},
  };
  for (const auto& c : cases) {
    for (std::size_t piece = 1; piece <= c.text.size(); ++piece) {
      ASSERT_EQ(undone(c.text, piece), c.expected) << c.text << " in pieces of " << piece;
    }
  }
}

TEST(EscapeView, LooksForEscapesInTheFirstBytes) {
  EXPECT_TRUE(holdsEscapes("<a href=\"mailto:jo&#64;example.com\">"));
  EXPECT_TRUE(holdsEscapes("jo%40example.com"));
  EXPECT_TRUE(holdsEscapes(".TH FOO 1\nmail debian\\-l10n@lists"));
  EXPECT_FALSE(holdsEscapes("plain text with a@b.de & more, 100% sure"));
}

}  // namespace
}  // namespace mailsift
