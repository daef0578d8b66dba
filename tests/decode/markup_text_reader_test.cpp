// The markup reader: a table of markup and the text it reads as, the same
// text however the source and the caller cut it into pieces, bounded tags,
// and which members count as markup.
#include "decode/markup_text_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "support/failures.h"

namespace mailsift {
namespace {

// Hands out `bytes` in pieces of at most `piece`; then, if `failing`, a failure.
class PieceReader final : public ByteReader {
 public:
  PieceReader(std::string_view bytes, std::size_t piece, bool failing = false)
      : m_bytes(bytes), m_piece(piece), m_failing(failing) {}
  ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_bytes.empty() && m_failing) return {0, platform::Failure{platform::FailureKind::ReadFailed, 5, "x", "gone"}};
    const std::size_t bytes = std::min({capacity, m_piece, m_bytes.size()});
    std::copy_n(m_bytes.data(), bytes, buffer);
    m_bytes.remove_prefix(bytes);
    return {bytes, std::nullopt};
  }

 private:
  std::string_view m_bytes;
  std::size_t m_piece;
  bool m_failing;
};

std::string textOf(std::string_view markup, std::size_t piece = SIZE_MAX, std::size_t capacity = 1 << 16) {
  PieceReader source(markup, piece);
  MarkupTextReader reader(source);
  std::string text;
  std::string buffer(capacity, '\0');
  for (;;) {
    const ReadOutcome got = reader.read(buffer.data(), capacity);
    EXPECT_EQ(got.failure, std::nullopt);
    if (got.bytes == 0) return text;
    text.append(buffer, 0, got.bytes);
  }
}

const std::pair<std::string_view, std::string_view> kCases[] = {
    {"<w:p><w:r><w:t>user@exa</w:t></w:r><w:r><w:t>mple.com</w:t></w:r></w:p>", "user@example.com\n"},
    {"<p>a&#64;b.de &amp; c&commat;d&period;de</p>", "a@b.de & c@d.de\n"},
    {"<p>one</p><p>two<br/>three</p>", "one\ntwo\nthree\n"},
    {"<text:p>a<text:s/>b<text:line-break/>c</text:p>", "a b\nc\n"},
    {"<w:t>Name:</w:t><w:tab/><w:t>x@y.de</w:t>", "Name: x@y.de"},
    {"<si><t>first</t></si><si><t>second</t></si>", "first\nsecond\n"},
    {"<P>x</P><BR>y<TD>z", "x\ny\nz"},
    {"write <a href=\"mailto:x@y.de\">me</a> now", "write me now\nmailto:x@y.de\n"},
    {"<p>see <a href='mailto:x&#64;y.de' class=c>x</a> and <img alt=\"a>b\" src=logo.png>.</p>z",
     "see x and .\nmailto:x@y.de a>b logo.png\nz"},
    {"<Relationship Id=\"r1\" Target=\"mailto:r@s.de\" TargetMode=\"External\"/>", "mailto:r@s.de\n"},
    {"<span data-mail=\"d@e.de\" style=\"color:red\">t</span>", "t\nd@e.de\n"},
    {"a<!-- x@y.de -- -->b", "a\n x@y.de -- \nb"},
    {"<t><![CDATA[a<b>&amp;]]]></t>", "a<b>&amp;]"},
    {"<?xml version=\"1.0\"?><!DOCTYPE html><p>x</p>", "x\n"},
    {"<script>if (a<b) x=\"</p>\";</SCRIPT >after", "if (a<b) x=\"</p>\";\nafter"},
    {"<style>p{}</styles></style>x", "p{}</styles>\nx"},
    {"a < b &unknown; &#0; &#xD800; &&amp; &amp", "a < b &unknown; &#0; &#xD800; && &amp"},
    {"&nbsp;&euro;&#x1F600;", "\xC2\xA0\xE2\x82\xAC\xF0\x9F\x98\x80"},
    {"<don't>word<!>x<", "wordx<"},
    {"unfinished <a href=\"x", "unfinished "},
};

TEST(MarkupTextReader, ReadsMarkupAsText) {
  for (const auto& [markup, text] : kCases) EXPECT_EQ(textOf(markup), text) << markup;
}

TEST(MarkupTextReader, GivesTheSameTextHoweverItIsCut) {
  // Every case in one stream, and again with a piece of it inside the tags.
  std::string all;
  for (const auto& [markup, text] : kCases) all.append(markup).append("<p>");
  const std::string whole = textOf(all);
  for (std::size_t size = 1; size <= 64; ++size) {
    ASSERT_EQ(textOf(all, size), whole) << "source pieces of " << size;
    ASSERT_EQ(textOf(all, SIZE_MAX, size), whole) << "reads of " << size;
  }
}

TEST(MarkupTextReader, KeepsATagOfAnyLengthBounded) {
  const std::string value(1 << 20, 'v');
  const std::string text = textOf("<a title=\"" + value + "\" >after</a>");
  EXPECT_TRUE(text.starts_with("after\nvvv")) << text.substr(0, 20);
  EXPECT_LT(text.size(), std::size_t{16} << 10);
}

TEST(MarkupTextReader, HandsOverTheTextBeforeASourceFailure) {
  PieceReader source("<p>kept</p", 3, true);
  MarkupTextReader reader(source);
  std::string text;
  char buffer[64];
  ReadOutcome got;
  while ((got = reader.read(buffer, sizeof buffer)).bytes > 0) text.append(buffer, got.bytes);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(test::messageOf(got.failure), "gone");
  EXPECT_EQ(test::messageOf(reader.read(buffer, sizeof buffer).failure), "gone");
}

TEST(MarkupTextReader, TellsMarkupMembers) {
  const std::tuple<std::string_view, std::string_view, bool> cases[] = {
      {"word/document.xml", "", true},
      {"word/_rels/document.xml.rels", "", true},
      {"OEBPS/Chapter1.XHTML", "", true},
      {"index.htm", "", true},
      {"content.opf", "", true},
      {"mimetype", "application/epub+zip", false},
      {"readme.txt", "hello", false},
      {"data", "\xEF\xBB\xBF\n  <?xml version=\"1.0\"?>", true},
      {"page", "<!DOCTYPE HTML PUBLIC>", true},
      {"page", "<HTML lang=de>", true},
      {"x.xm", "<p>", false},
  };
  for (const auto& [name, head, markup] : cases) EXPECT_EQ(isMarkupMember(name, head), markup) << name << head;
}

}  // namespace
}  // namespace mailsift
