// gzip as every build that decodes it reads it, with libarchive or with
// zlib alone: made here with zlib's deflate, so the expected bytes are known
// whatever reads them back.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "decode/byte_reader.h"
#include "decode/container_reader.h"

namespace mailsift {
namespace {

std::string gzipped(const std::string& text) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

struct Read {
  std::string bytes;
  std::optional<platform::Failure> failure;
};

Read readBack(const std::string& data) {
  MemoryReader source(data);
  Read result;
  result.failure = readContainer(source, ContainerKind::Gzip, "t.gz", [&](const ContainerMember&, ByteReader& member) {
    char buffer[4096];
    for (;;) {
      ReadOutcome got = member.read(buffer, sizeof buffer);
      result.bytes.append(buffer, got.bytes);
      if (got.failure || got.bytes == 0) break;
    }
    return MemberReply::Continue;
  });
  return result;
}

TEST(GzipStream, ReadsEveryMemberAndReportsDamageAfterTheBytesBeforeIt) {
  ASSERT_TRUE(canReadContainer(ContainerKind::Gzip));
  std::string large;
  for (int i = 0; large.size() < (3u << 20); ++i) large += "line " + std::to_string(i * 7919 % 100003) + " a@b.de\n";
  const std::string text = "mail anna@example.org today\n";
  std::string badCrc = gzipped(text);
  badCrc[badCrc.size() - 8] ^= 0x55;
  const std::string whole = gzipped(large);
  struct Case {
    const char* what;
    std::string data;
    std::string bytes;  // all of them, or (cut short) what they begin
    bool damaged;
  } cases[] = {
      {"one member", gzipped(text), text, false},
      {"two members", gzipped(text) + gzipped("second b@c.de\n"), text + "second b@c.de\n", false},
      {"3 MiB", whole, large, false},
      {"empty", gzipped(""), "", false},
      {"wrong checksum", badCrc, text, true},
      {"cut short", whole.substr(0, whole.size() / 2), large, true},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.what);
    const Read read = readBack(each.data);
    ASSERT_EQ(read.failure.has_value(), each.damaged);
    if (!each.damaged) {
      EXPECT_EQ(read.bytes, each.bytes);
      continue;
    }
    EXPECT_EQ(read.failure->kind, platform::FailureKind::Damaged);
    EXPECT_FALSE(read.bytes.empty()) << "the bytes before the damage are kept";
    EXPECT_TRUE(each.bytes.starts_with(read.bytes));
  }
}

}  // namespace
}  // namespace mailsift
