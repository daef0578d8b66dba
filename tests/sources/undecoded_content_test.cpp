// Content whose decoder the build lacks (Windows builds have neither
// libarchive nor poppler): read as stored, with a note, instead of not at
// all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/container_reader.h"
#include "decode/pdf_text.h"
#include "sources/content_scan.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

// A gzip stream whose one deflate block is stored, so the text shows in its
// bytes as it is.
std::string storedGzip(const std::string& text) {
  std::string bytes("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10);
  const auto length = static_cast<unsigned>(text.size());
  bytes += '\x01';  // the last block, stored
  for (const unsigned value : {length, ~length & 0xFFFFu}) {
    bytes += static_cast<char>(value & 0xFFu);
    bytes += static_cast<char>((value >> 8) & 0xFFu);
  }
  return bytes + text + std::string(8, '\0');  // checksum and length: not looked at here
}

TEST(UndecodedContent, IsReadAsStoredWithANote) {
  const bool pdf = canReadPdf();
  const bool gzip = canReadContainer(ContainerKind::Gzip);
  if (pdf && gzip) GTEST_SKIP() << "this build decodes gzip and PDF";
  struct Case {
    bool decodable;
    std::string content;
    std::string kind;
  };
  const std::string text = "write to jo@example.com\n";
  const Case cases[] = {{gzip, storedGzip(text), "gzip"}, {pdf, "%PDF-1.4\n" + text, "PDF"}};
  test::TempFolder folder;
  for (const Case& each : cases) {
    if (each.decodable) continue;
    SCOPED_TRACE(each.kind);
    const std::string path = folder.write("input", each.content);
    platform::InputFile input;
    ASSERT_FALSE(platform::InputFile::open(path, input));
    ReadBuffer buffer(4096);
    std::vector<std::string> entries;
    CallbackSink sink([&](TargetList, std::string_view entry) { entries.emplace_back(entry); });
    const ContentScanResult result = scanContent(input, sink, buffer, DecodeOptions{});
    EXPECT_EQ(entries, std::vector<std::string>{"jo@example.com"});
    EXPECT_FALSE(result.failure);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0].message, "read as stored: this build cannot decode " + each.kind);
    EXPECT_EQ(result.notes[0].target, path);
  }
}

}  // namespace
}  // namespace mailsift
