// The container reader against containers written by libarchive's writer in
// every layout and by other tools: read back whole, in pieces, nested,
// truncated, corrupted, failing, throwing, encrypted, and as a compression
// bomb.
#include "decode/container_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "support/failures.h"

namespace mailsift {
namespace {

using platform::Failure;
using platform::FailureKind;
using test::allLayouts;
using test::kindOf;
using test::Layout;
using test::messageOf;
using test::randomBytes;
using test::StoredMember;
using test::writeContainer;

// Hands out `bytes` in pieces of at most `piece`, counting what was taken;
// after `failAfter` bytes it fails, or throws when `throws` is set.
class TestSource final : public ByteReader {
 public:
  explicit TestSource(std::string_view bytes, std::size_t piece = SIZE_MAX) : m_bytes(bytes), m_piece(piece) {}
  void failAfter(std::size_t offset, bool throws) {
    m_failAt = offset;
    m_throws = throws;
  }
  std::size_t taken() const noexcept { return m_taken; }

  ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_taken >= m_failAt) {
      if (m_throws) throw std::runtime_error("source gone");
      return {0, Failure{FailureKind::ReadFailed, 5, "disk.img", "Input/output error"}};
    }
    const std::size_t bytes = std::min({capacity, m_piece, m_bytes.size() - m_taken, m_failAt - m_taken});
    std::copy_n(m_bytes.data() + m_taken, bytes, buffer);
    m_taken += bytes;
    return {bytes, std::nullopt};
  }

 private:
  std::string_view m_bytes;
  std::size_t m_piece;
  std::size_t m_taken = 0;
  std::size_t m_failAt = SIZE_MAX;
  bool m_throws = false;
};

struct ReadMember {
  std::string name;
  std::uint64_t size = 0;
  std::string content;
  std::optional<Failure> failure;
};

struct ReadResult {
  std::vector<ReadMember> members;
  std::optional<Failure> failure;
};

ReadResult readEverything(ByteReader& source, ContainerKind kind) {
  ReadResult result;
  result.failure =
      readContainer(source, kind, "test.bin", [&result](const ContainerMember& member, ByteReader& reader) {
        ReadMember got{member.name, member.size, {}, {}};
        bool truncated = false;
        got.failure = readAll(reader, std::uint64_t{64} << 20, got.content, truncated);
        result.members.push_back(std::move(got));
        return MemberReply::Continue;
      });
  return result;
}

ReadResult readEverything(std::string_view bytes, ContainerKind kind, std::size_t piece = SIZE_MAX) {
  TestSource source(bytes, piece);
  return readEverything(source, kind);
}

const Layout& layoutNamed(std::string_view label) {
  const auto& layouts = allLayouts();
  return *std::find_if(layouts.begin(), layouts.end(), [label](const Layout& layout) { return layout.label == label; });
}

std::vector<StoredMember> sampleMembers(const Layout& layout) {
  if (layout.isRaw()) return {{"", "bob@example.org\n" + randomBytes(150000, 7)}};
  return {{"docs/a.txt", "alice@example.org\n"}, {"data/random.bin", randomBytes(200000, 1)}, {"empty.txt", ""}};
}

TEST(ContainerReader, ReadsBackWhatEveryLayoutHolds) {
  for (const Layout& layout : allLayouts()) {
    SCOPED_TRACE(layout.label);
    const std::vector<StoredMember> stored = sampleMembers(layout);
    const std::string bytes = writeContainer(layout, stored);
    EXPECT_EQ(recogniseContainer(std::string_view(bytes).substr(0, 4096)), layout.kind);
    // The source gives odd pieces, so that no header sits whole in one.
    const ReadResult read = readEverything(bytes, layout.kind, 4093);
    ASSERT_EQ(kindOf(read.failure), std::nullopt) << messageOf(read.failure);
    ASSERT_EQ(read.members.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
      EXPECT_EQ(read.members[i].name, stored[i].name);
      EXPECT_EQ(read.members[i].content, stored[i].content);
      EXPECT_TRUE(read.members[i].size == 0 || read.members[i].size == stored[i].content.size());
    }
  }
}

TEST(ContainerReader, RecognisesOnlyWhatHeadsShow) {
  std::string tar = writeContainer(layoutNamed("v7tar"), {{"a", "x"}});
  std::string badChecksum = tar;
  badChecksum[0] = 'b';
  const std::pair<std::string, std::optional<ContainerKind>> cases[] = {
      {"", std::nullopt},
      {"hello, world", std::nullopt},
      {"PK\x03", std::nullopt},
      {std::string("\x1F\x8B\x08\xE0", 4) + std::string(8, '\0'), std::nullopt},  // reserved flags
      {"BZh9hello!", std::nullopt},
      {std::string(512, 'a'), std::nullopt},
      {tar.substr(0, 511), std::nullopt},
      {badChecksum, std::nullopt},
      {tar, ContainerKind::Tar},
      {std::string("PK\x05\x06", 4) + std::string(18, '\0'), ContainerKind::Zip},
  };
  for (const auto& [head, kind] : cases) EXPECT_EQ(recogniseContainer(head), kind) << head.size();
}

std::string fromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

// A zip as Python's zipfile writes it to a pipe: sizes only in data
// descriptors after the data, one member stored and holding the
// descriptor's signature in its text.
std::string pythonStreamedZip() {
  return fromHex(
      "504b0304140008000000000021000000000000000000000000000a00000073746f7265642e74787473746f7265642061"
      "40622e646520504b0708206166746572504b07088180bf891800000018000000504b0304140008000800000021000000"
      "000000000000000000000c0000006465666c617465642e786d6cb329b72ab1ab70a8d44b49b5d107b16d080a0000504b"
      "07080ceb52d71400000033000000504b01021403140008000000000021008180bf8918000000180000000a0000000000"
      "00000000000080010000000073746f7265642e747874504b01021403140008000800000021000ceb52d7140000003300"
      "00000c00000000000000000000008001500000006465666c617465642e786d6c504b0506000000000200020072000000"
      "9e0000000000");
}

TEST(ContainerReader, ReadsZipWithDataDescriptors) {
  const ReadResult read = readEverything(pythonStreamedZip(), ContainerKind::Zip, 7);
  ASSERT_EQ(kindOf(read.failure), std::nullopt) << messageOf(read.failure);
  ASSERT_EQ(read.members.size(), 2U);
  EXPECT_EQ(read.members[0].content, std::string("stored a@b.de PK\x07\x08 after"));
  EXPECT_EQ(read.members[1].name, "deflated.xml");
  EXPECT_EQ(read.members[1].content, "<w:t>x@y.de</w:t><w:t>x@y.de</w:t><w:t>x@y.de</w:t>");
}

TEST(ContainerReader, HandsOverAnArchiveInsideAsItsBytes) {
  const std::string document = "<w:p><w:r><w:t>user@exa</w:t></w:r><w:r><w:t>mple.com</w:t></w:r></w:p>";
  const std::string zip = writeContainer(layoutNamed("zip"), {{"word/document.xml", document}});
  const std::string outer = writeContainer(layoutNamed("tar.gz"), {{"notes.txt", "x"}, {"inner.docx", zip}});

  const ReadResult read = readEverything(outer, *recogniseContainer(outer));
  ASSERT_EQ(read.members.size(), 2U);
  ASSERT_EQ(read.members[1].content, zip);
  const std::string& inner = read.members[1].content;
  ASSERT_EQ(recogniseContainer(inner), ContainerKind::Zip);

  std::string text;
  MemoryReader innerSource(inner);
  const auto failure = readContainer(innerSource, ContainerKind::Zip, "inner.docx",
                                     [&text](const ContainerMember& member, ByteReader& reader) {
                                       EXPECT_TRUE(isMarkupMember(member.name, {}));
                                       MarkupTextReader markup(reader);
                                       bool truncated = false;
                                       EXPECT_EQ(readAll(markup, 1 << 20, text, truncated), std::nullopt);
                                       return MemberReply::Continue;
                                     });
  EXPECT_EQ(failure, std::nullopt);
  EXPECT_EQ(text, "user@example.com\n");
}

TEST(ContainerReader, TruncatedContainersFailAfterTheIntactMembers) {
  for (const Layout& layout : allLayouts()) {
    const std::vector<StoredMember> stored = sampleMembers(layout);
    const std::string bytes = writeContainer(layout, stored);
    for (std::size_t tenth = 1; tenth <= 9; tenth += 2) {
      SCOPED_TRACE(std::string(layout.label) + " cut at " + std::to_string(tenth) + "/10");
      const ReadResult read = readEverything(std::string_view(bytes).substr(0, bytes.size() * tenth / 10), layout.kind);
      EXPECT_EQ(kindOf(read.failure), FailureKind::Damaged);
      EXPECT_EQ(read.failure ? read.failure->target : "", "test.bin");
      for (std::size_t i = 0; i < read.members.size(); ++i) {
        if (!read.members[i].failure) {
          EXPECT_EQ(read.members[i].content, stored[i].content);
        }
      }
    }
  }
}

TEST(ContainerReader, CorruptedContainersNeverCrashOrHang) {
  std::mt19937 random(20240607);
  const std::vector<StoredMember> stored = {{"a.txt", "carol@example.org"},
                                            {"word/document.xml", "<w:p><w:t>dave@example.org</w:t></w:p>"},
                                            {"b.bin", randomBytes(20000, 3)}};
  std::vector<std::string> written;
  for (const Layout& layout : allLayouts()) {
    written.push_back(writeContainer(layout, layout.isRaw() ? std::vector{stored[1]} : stored));
  }
  for (std::size_t round = 0; round < 300; ++round) {
    const Layout& layout = allLayouts()[round % allLayouts().size()];
    std::string bytes = written[round % allLayouts().size()];
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
      bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
    }
    // Zip, gzip, bzip2 and xz check their data; libarchive writes zstd and
    // tar without a checksum.
    const bool checked = layout.kind != ContainerKind::Zstd && (layout.isRaw() || layout.kind == ContainerKind::Zip);
    TestSource source(bytes);
    const auto failure =
        readContainer(source, layout.kind, "test.bin", [&](const ContainerMember& member, ByteReader& reader) {
          MarkupTextReader markup(reader);
          ByteReader& drained = isMarkupMember(member.name, {}) ? static_cast<ByteReader&>(markup) : reader;
          std::string content;
          bool truncated = false;
          const auto memberFailure = readAll(drained, 16 << 20, content, truncated);
          const auto original =
              std::find_if(stored.begin(), stored.end(), [&](const StoredMember& m) { return m.name == member.name; });
          if (checked && !memberFailure && !layout.isRaw() && original != stored.end() &&
              original->name != "word/document.xml") {
            EXPECT_EQ(content, original->content) << layout.label << " " << member.name;
          }
          if (checked && !memberFailure && layout.isRaw()) {
            EXPECT_EQ(content, stored[1].content) << layout.label;
          }
          return truncated ? MemberReply::Stop : MemberReply::Continue;
        });
    if (failure) {
      EXPECT_EQ(failure->target, "test.bin") << layout.label;
      EXPECT_FALSE(failure->message.empty()) << layout.label;
    }
  }
}

TEST(ContainerReader, ChecksCompressedStreamsAsTheirToolsDo) {
  const std::string text = "erin@example.org\n";
  const std::string gz = writeContainer(layoutNamed("gzip"), {{"", text}});
  const auto flipped = [&gz](std::size_t fromEnd) {
    std::string bytes = gz;
    bytes[bytes.size() - fromEnd] ^= 0x55;
    return bytes;
  };
  struct Case {
    const char* label;
    ContainerKind kind;
    std::string bytes;
    std::string content;  // checked only without a failure
    std::optional<FailureKind> failure;
  };
  const Case cases[] = {
      {"two members", ContainerKind::Gzip, gz + gz, text + text, std::nullopt},
      {"padding after", ContainerKind::Gzip, gz + std::string(1000, '\0'), text, std::nullopt},
      {"wrong CRC-32", ContainerKind::Gzip, flipped(6), {}, FailureKind::Damaged},
      {"wrong length", ContainerKind::Gzip, flipped(2), {}, FailureKind::Damaged},
      {"second member cut", ContainerKind::Gzip, gz + gz.substr(0, gz.size() - 3), {}, FailureKind::Damaged},
      {"text as gzip", ContainerKind::Gzip, "plain text, not compressed", {}, FailureKind::Damaged},
      {"text as bzip2", ContainerKind::Bzip2, "plain text, not compressed", {}, FailureKind::Damaged},
      {"text as xz", ContainerKind::Xz, "plain text, not compressed", {}, FailureKind::Damaged},
      {"text as zstd", ContainerKind::Zstd, "plain text, not compressed", {}, FailureKind::Damaged},
  };
  for (const Case& c : cases) {
    const ReadResult read = readEverything(c.bytes, c.kind);
    EXPECT_EQ(kindOf(read.failure), c.failure) << c.label << ": " << messageOf(read.failure);
    if (!c.failure) {
      ASSERT_EQ(read.members.size(), 1U) << c.label;
      EXPECT_EQ(read.members[0].content, c.content) << c.label;
    }
  }
}

TEST(ContainerReader, StopsAPartlyReadBombAtOnce) {
  // 1 GiB of zeros as 1024 gzip members of 1 MiB each: about 1 MB.
  const std::string piece = writeContainer(layoutNamed("gzip"), {{"", std::string(1 << 20, '\0')}});
  std::string bomb;
  for (int i = 0; i < 1024; ++i) bomb += piece;
  TestSource source(bomb);
  std::string head;
  const auto failure =
      readContainer(source, ContainerKind::Gzip, "bomb.gz", [&head](const ContainerMember&, ByteReader& reader) {
        bool truncated = false;
        EXPECT_EQ(readAll(reader, 4 << 20, head, truncated), std::nullopt);
        EXPECT_TRUE(truncated);
        return MemberReply::Stop;
      });
  EXPECT_EQ(failure, std::nullopt);
  EXPECT_EQ(head.size(), std::size_t{4} << 20);
  EXPECT_EQ(std::count(head.begin(), head.end(), '\0'), std::ptrdiff_t{4} << 20);
  // Four of the 1024 parts and a buffer's read-ahead, not the whole. The
  // zeros are no empty tar either.
  EXPECT_LT(source.taken(), bomb.size() / 8);
}

TEST(ContainerReader, ASourceFailureOrThrowComesOutAsItself) {
  for (const Layout& layout : allLayouts()) {
    SCOPED_TRACE(layout.label);
    const std::string bytes = writeContainer(layout, sampleMembers(layout));
    TestSource failing(bytes);
    failing.failAfter(bytes.size() / 2, false);
    const ReadResult read = readEverything(failing, layout.kind);
    EXPECT_EQ(kindOf(read.failure), FailureKind::ReadFailed);
    EXPECT_EQ(messageOf(read.failure), "Input/output error");
    TestSource throwing(bytes);
    throwing.failAfter(bytes.size() / 2, true);
    EXPECT_THROW((void)readEverything(throwing, layout.kind), std::runtime_error);
  }
}

TEST(ContainerReader, PassesOverEncryptedMembers) {
  // Info-ZIP's "zip -P secret mixed.zip a.txt" and then "zip mixed.zip b.txt":
  // the encrypted member's sizes are in its local header.
  const ReadResult mixed = readEverything(
      fromHex("504b03040a00090000000000215878481bf81a0000000e00000005000000612e7478741bac7a69e858bdf7a1d58c9bf9"
              "792ce40d4d09f6f77b063b923f504b070878481bf81a0000000e000000504b03040a00000000000000215839057f670d"
              "0000000d00000005000000622e747874706c61696e206340642e64650a504b01021e030a00090000000000215878481b"
              "f81a0000000e000000050000000000000001000000a48100000000612e747874504b01021e030a000000000000002158"
              "39057f670d0000000d000000050000000000000001000000a4814d000000622e747874504b0506000000000200020066"
              "0000007d0000000000"),
      ContainerKind::Zip);
  ASSERT_EQ(mixed.members.size(), 1U);
  EXPECT_EQ(mixed.members[0].content, "plain c@d.de\n");
  EXPECT_EQ(kindOf(mixed.failure), FailureKind::Encrypted);
  EXPECT_EQ(messageOf(mixed.failure), "1 encrypted member passed over: a.txt");

  // libarchive's writer gives the sizes only after the data, so nothing
  // after the first encrypted member can be reached.
  const std::string bytes = writeContainer(layoutNamed("zip"), {{"one.txt", "x"}, {"two.txt", "y"}}, "secret");
  const ReadResult described = readEverything(bytes, ContainerKind::Zip);
  EXPECT_TRUE(described.members.empty());
  EXPECT_EQ(kindOf(described.failure), FailureKind::Encrypted);
  EXPECT_TRUE(messageOf(described.failure).starts_with("1 encrypted member passed over: one.txt; "))
      << messageOf(described.failure);
}

TEST(ContainerReader, AnEmptyCompressedFileIsOneEmptyMember) {
  for (const char* label : {"gzip", "bzip2", "xz", "zstd"}) {
    const ReadResult read = readEverything(writeContainer(layoutNamed(label), {{"", ""}}), layoutNamed(label).kind);
    EXPECT_EQ(read.failure, std::nullopt) << label << ": " << messageOf(read.failure);
    ASSERT_EQ(read.members.size(), 1U) << label;
    EXPECT_EQ(read.members[0].content, "");
  }
}

}  // namespace
}  // namespace mailsift
