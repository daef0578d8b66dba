// The decoded views of a file, end to end: which view each content gets,
// the entries beside the stored text, nesting and the limits.
#include "sources/content_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "archive_writer.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::Layout;
using test::StoredMember;
using test::TempFolder;
using Entries = std::vector<std::string>;

struct Scanned {
  Entries entries;  // "found x" or "unknown x"
  ContentScanResult result;
};

Scanned scanFile(const std::string& path, const DecodeOptions& options = {}, std::size_t bufferBytes = 4096) {
  Scanned scanned;
  platform::InputFile input;
  EXPECT_FALSE(platform::InputFile::open(path, input));
  ReadBuffer buffer(bufferBytes);
  CallbackSink sink([&](TargetList target, std::string_view entry) {
    scanned.entries.push_back((target == TargetList::List1 ? "found " : "unknown ") + std::string(entry));
  });
  scanned.result = scanContent(input, sink, buffer, options);
  return scanned;
}

const Layout& layout(std::string_view label) {
  for (const Layout& each : test::allLayouts()) {
    if (each.label == label) return each;
  }
  throw std::invalid_argument(std::string(label));
}

std::string utf16le(std::string_view ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) bytes += std::string{c, '\0'};
  return bytes;
}

struct ViewCase {
  std::string name;
  std::string content;
  Entries expected;
};

// One file of every kind of content, with what its decoded views give.
std::vector<ViewCase> viewCases() {
  const std::string text = "write to jo@example.com or ann(at)example.org\n";
  const std::string docx = writeContainer(
      layout("zip"),
      {{"word/document.xml", "<w:p><w:r><w:t>to ed@exa</w:t></w:r><w:r><w:t>mple.com</w:t></w:r></w:p>"}});
  return {
      {"plain.txt", text, {"found jo@example.com", "found ann@example.org"}},
      {"text.gz", writeContainer(layout("gzip"), {{"", text}}), {"found jo@example.com", "found ann@example.org"}},
      {"nested.tar.gz",
       writeContainer(layout("tar.gz"), {{"a.docx", docx}, {"b.txt", text}}),
       {"found ed@example.com", "found jo@example.com", "found ann@example.org"}},
      {"utf8.txt", "\xE2\x80\x9Cjo@b\xC3\xBCro.de\xE2\x80\x9D", {"found jo@b\xC3\xBCro.de"}},
      {"utf16.txt", utf16le("mail ann@example.net now"), {"found ann@example.net"}},
      // Beside the stored text: only what it did not give, after its entries.
      {"page.html",
       "<a>jo&#64;example.com</a> ann@example.org jo&#x40;example.com ann&#64;example.org",
       {"found ann@example.org", "found jo@example.com"}},
      {"mail.eml",
       "From: a@example.com\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
       "Content-Transfer-Encoding: base64\n\nd3JpdGUgdG8gc2VjcmV0QGhpZGRlbi5vcmc=\n",
       {"found a@example.com", "found secret@hidden.org"}},
  };
}

TEST(ContentScan, EachContentGetsItsView) {
  TempFolder folder;
  const std::vector<ViewCase> cases = viewCases();
  for (const auto& c : cases) {
    const std::string path = folder.write(c.name, c.content);
    for (const std::size_t buffer : {std::size_t{4096}, ReadBuffer::kBytes}) {
      const Scanned scanned = scanFile(path, {}, buffer);
      EXPECT_EQ(scanned.entries, c.expected) << c.name << ", buffer " << buffer;
      EXPECT_FALSE(scanned.result.failure) << c.name;
      EXPECT_TRUE(scanned.result.notes.empty()) << c.name;
    }
  }
}

TEST(ContentScan, WithoutDecodingEveryFileIsReadAsStored) {
  TempFolder folder;
  std::vector<ViewCase> cases = viewCases();
  for (const Layout& each : test::allLayouts()) {
    cases.push_back({std::string(each.label), writeContainer(each, {{"a.txt", "jo@b\xC3\xBCro.de"}}), {}});
  }
  DecodeOptions none;
  none.mode = DecodeMode::None;
  for (const ViewCase& c : cases) {
    Entries raw;
    extractAddresses(c.content, [&](TargetList target, std::string_view entry) {
      raw.push_back((target == TargetList::List1 ? "found " : "unknown ") + std::string(entry));
    });
    const std::string path = folder.write("f", c.content);
    EXPECT_EQ(scanFile(path, none).entries, raw) << c.name;
    // Each file but the plain one is read otherwise when decoded.
    if (c.name != "plain.txt") {
      EXPECT_NE(scanFile(path).entries, raw) << c.name;
    }
  }
}

TEST(ContentScan, LimitsEndTheDecodingWithANoteAndKeepWhatCameBefore) {
  TempFolder folder;
  DecodeOptions tight;
  tight.limits.bytes = 1 << 20;
  tight.limits.ratio = 1;
  // A bomb: 64 MiB of zeros after an address, a few kilobytes stored.
  const std::string bomb = writeContainer(layout("gzip"), {{"", "jo@example.com " + std::string(64 << 20, '\0')}});
  Scanned scanned = scanFile(folder.write("bomb.gz", bomb), tight);
  EXPECT_EQ(scanned.entries, Entries{"found jo@example.com"});
  ASSERT_EQ(scanned.result.notes.size(), 1u);
  EXPECT_EQ(scanned.result.notes[0].kind, platform::FailureKind::LimitReached);

  // Zips inside zips, deeper than allowed: the innermost is never opened.
  std::string nested = writeContainer(layout("zip"), {{"deep.txt", "ann@example.org"}});
  for (int level = 0; level < 5; ++level) nested = writeContainer(layout("zip"), {{"n.zip", nested}});
  scanned = scanFile(folder.write("nested.zip", nested));
  EXPECT_TRUE(scanned.entries.empty());
  ASSERT_EQ(scanned.result.notes.size(), 1u);
  EXPECT_EQ(scanned.result.notes[0].kind, platform::FailureKind::LimitReached);
}

TEST(ContentScan, ADamagedContainerGivesANoteAndWhatCameBefore) {
  TempFolder folder;
  std::string cut =
      writeContainer(layout("ustar"), {{"a.txt", "jo@example.com"}, {"b.txt", test::randomBytes(4096, 3)}});
  cut.resize(cut.size() / 2);
  // A gzip stream whose length check is wrong fails only after its last byte.
  std::string badLength = writeContainer(layout("gzip"), {{"", "jo@example.com"}});
  badLength.back() ^= 1;
  for (const auto& [name, stored] : {std::pair{"cut.tar", cut}, std::pair{"length.gz", badLength}}) {
    const Scanned scanned = scanFile(folder.write(name, stored));
    EXPECT_EQ(scanned.entries, Entries{"found jo@example.com"}) << name;
    EXPECT_FALSE(scanned.result.failure) << name;
    ASSERT_EQ(scanned.result.notes.size(), 1u) << name;
    EXPECT_EQ(scanned.result.notes[0].kind, platform::FailureKind::Damaged) << name;
  }
}

}  // namespace
}  // namespace mailsift
