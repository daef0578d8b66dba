// Scanning while reading: a file read through small buffers, whole or cut
// into pieces at random places, gives exactly the entries of the whole text,
// under either rule set.
#include "sources/stream_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace mailsift {
namespace {

using Entries = std::vector<std::pair<TargetList, std::string>>;

// Text with entries, spelled-out forms and long runs without a boundary.
std::string randomText(std::mt19937_64& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {"ab",
                                                   "x",
                                                   "@",
                                                   ".",
                                                   "de",
                                                   "com",
                                                   " ",
                                                   " at ",
                                                   "(at)",
                                                   "[dot]",
                                                   "\n",
                                                   ",",
                                                   "zz",
                                                   "AT",
                                                   "(punkt)",
                                                   "-",
                                                   "_",
                                                   "\xFC",
                                                   "mail@example.org",
                                                   " <at> ",
                                                   "{dot}",
                                                   " dot ",
                                                   " -at- ",
                                                   "+",
                                                   "<",
                                                   "}",
                                                   std::string(300, 'q'),
                                                   std::string(1, '\0')};
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) text += kPieces[pick(random)];
  return text;
}

Entries wholeScan(std::string_view text, ScanRules rules) {
  Entries entries;
  extractAddresses(
      text, [&](TargetList target, std::string_view entry) { entries.emplace_back(target, entry); }, rules);
  return entries;
}

TEST(StreamScan, PiecesAndSmallBuffersGiveTheEntriesOfTheWholeText) {
  const test::TempFolder folder;
  std::mt19937_64 random(2026);
  for (int round = 0; round < 300; ++round) {
    const ScanRules rules = round % 2 == 0 ? ScanRules::Specified : ScanRules::Extended;
    const std::string text = randomText(random, 60);
    const std::string path = folder.write("f" + std::to_string(round % 5), text);
    const Entries expected = wholeScan(text, rules);
    platform::InputFile input;
    ASSERT_FALSE(platform::InputFile::open(path, input).has_value());
    ReadBuffer buffer(std::uniform_int_distribution<std::size_t>(3, 64)(random));

    Entries streamed;
    CallbackSink sink([&](TargetList target, std::string_view entry) { streamed.emplace_back(target, entry); });
    const StreamScanResult whole = scanInput(input, sink, buffer, {}, rules);
    ASSERT_EQ(streamed, expected) << "round " << round;
    EXPECT_EQ(whole.bytes, text.size());

    // The same file in pieces cut at random nominal places.
    std::vector<std::uint64_t> cuts = {0};
    std::uniform_int_distribution<std::uint64_t> step(1, 80);
    while (cuts.back() < text.size()) cuts.push_back(cuts.back() + step(random));
    Entries pieced;
    CallbackSink piecedSink([&](TargetList target, std::string_view entry) { pieced.emplace_back(target, entry); });
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
      bytes += scanFilePiece(input, cuts[i], cuts[i + 1], piecedSink, buffer, rules).bytes;
    }
    ASSERT_EQ(pieced, expected) << "round " << round << ", " << cuts.size() - 1 << " pieces";
    EXPECT_EQ(bytes, text.size()) << "every byte belongs to exactly one piece";
  }
}

}  // namespace
}  // namespace mailsift
