// The fast scanner against the plain oracle on many seeded random texts, and
// every candidate-search kernel against the plain definition of a candidate.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scanner/address_stream.h"
#include "scanner/detail/candidate_finder.h"
#include "scanner/reference_scanner.h"

namespace mailsift {
namespace {

// Pieces that make the interesting cases likely: letters of both cases,
// digits, the class punctuation, "@", blanks, brackets, the words of the
// spelled-out forms, known and unknown top-level domains, umlauts, bytes of
// the upper half, NUL, and runs longer than the scanner's 16-byte steps.
const std::vector<std::string> kPieces = {
    "a",
    "b",
    "x",
    "Z",
    "Q",
    "0",
    "7",
    ".",
    ".",
    "-",
    "_",
    "@",
    "@",
    " ",
    " ",
    "(",
    ")",
    "[",
    "]",
    "at",
    "AT",
    "At",
    "dot",
    "DOT",
    "punkt",
    "Punkt",
    "com",
    "de",
    "org",
    "museum",
    "test",
    "CH",
    "\xE4",
    "\xF6",
    "\xFC",
    "\xC4",
    "\xD6",
    "\xDC",
    "\xDF",
    "\x80",
    "\x9F",
    "\xFF",
    "\xD7",
    std::string(1, '\0'),
    "\r\n",
    ":",
    "+",
    "(at)",
    "[at]",
    " at ",
    "(dot)",
    "[dot]",
    "(punkt)",
    "[punkt]",
    "ab",
    "example",
    "mail",
    "Long_Local-Part.Name",
    "mail.Server-01.example",
};

std::string randomText(std::mt19937_64& random, std::size_t pieces) {
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) text += kPieces[pick(random)];
  return text;
}

TEST(Differential, ScannerAgreesWithTheOracleOnRandomTexts) {
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<std::size_t> length(0, 120);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(random, length(random));
    const auto expected = test::referenceExtract(text);
    const auto actual = test::fastExtract(text);
    ASSERT_EQ(actual, expected) << "round " << round << ", text: " << testing::PrintToString(text);
  }
}

TEST(Differential, ScannerAgreesWithTheOracleOnLongTexts) {
  // Long texts cross the search chunks and the vector blocks at many places.
  std::mt19937_64 random(7);
  for (int round = 0; round < 20; ++round) {
    const std::string text = randomText(random, 5000 + static_cast<std::size_t>(round) * 397);
    ASSERT_EQ(test::fastExtract(text), test::referenceExtract(text)) << "round " << round;
  }
}

TEST(Differential, ASinkThatStopsGetsExactlyThePrefixOfTheFullScan) {
  std::mt19937_64 random(99);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = randomText(random, 200);
    const auto full = test::fastExtract(text);
    if (full.empty()) continue;
    const std::size_t keep = std::uniform_int_distribution<std::size_t>(1, full.size())(random);
    std::vector<test::Entry> got;
    const SinkReply reply = extractAddresses(text, [&](TargetList target, std::string_view entry) {
      got.push_back({target, std::string(entry)});
      return got.size() == keep ? SinkReply::Stop : SinkReply::Continue;
    });
    ASSERT_EQ(got, std::vector<test::Entry>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)))
        << "round " << round;
    EXPECT_EQ(reply, SinkReply::Stop);
  }
}

// The entries of `text` fed to a stream in pieces that end at `cuts`.
std::vector<test::Entry> streamExtract(std::string_view text, const std::vector<std::size_t>& cuts) {
  std::vector<test::Entry> got;
  CallbackSink sink([&](TargetList target, std::string_view entry) { got.push_back({target, std::string(entry)}); });
  AddressStream stream(sink);
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    stream.feed(text.substr(from, cut - from));
    from = cut;
  }
  stream.feed(text.substr(from));
  stream.finish();
  return got;
}

TEST(Differential, AStreamInPiecesAgreesWithTheOracle) {
  std::mt19937_64 random(314);
  // Short texts: every single cut, and every pair of cuts.
  for (int round = 0; round < 300; ++round) {
    const std::string text = randomText(random, 12);
    const auto expected = test::referenceExtract(text);
    for (std::size_t a = 0; a <= text.size(); ++a) {
      ASSERT_EQ(streamExtract(text, {a}), expected) << "cut " << a << ", text: " << testing::PrintToString(text);
      for (std::size_t b = a; b <= text.size(); b += 3) ASSERT_EQ(streamExtract(text, {a, b}), expected);
    }
  }
  // Longer texts in random pieces, some of them a single byte.
  for (int round = 0; round < 2000; ++round) {
    const std::string text = randomText(random, 150);
    std::vector<std::size_t> cuts;
    std::uniform_int_distribution<std::size_t> step(0, round % 2 == 0 ? 4 : 64);
    for (std::size_t at = step(random); at < text.size(); at += step(random)) cuts.push_back(at);
    ASSERT_EQ(streamExtract(text, cuts), test::referenceExtract(text)) << "round " << round;
  }
}

bool isCandidate(const std::string& text, std::size_t p) {
  if (text[p] == '@') return true;
  if (p + 3 >= text.size()) return false;
  const std::string form = {text[p], static_cast<char>(text[p + 1] | 0x20), static_cast<char>(text[p + 2] | 0x20),
                            text[p + 3]};
  return form == " at " || form == "(at)" || form == "[at]";
}

TEST(Differential, EveryCandidateFinderFindsExactlyTheCandidates) {
  std::mt19937_64 random(42);
  constexpr char kAlphabet[] = "@ ([aAtT)]x\0\xE1\xC1\xF4\xD4\xA0\xA8\xDB{";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<std::size_t> length(1, 300);
  for (int round = 0; round < 3000; ++round) {
    std::string text(length(random), ' ');
    for (char& c : text) c = alphabet[pick(random)];
    // A random window, so that both ends of a window meet every alignment.
    std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
    std::size_t begin = at(random);
    std::size_t end = at(random) + 1;
    if (begin >= end) std::swap(begin, end);
    if (begin == end) ++end;
    std::vector<std::uint16_t> expected;
    for (std::size_t p = begin; p < end; ++p) {
      if (isCandidate(text, p)) expected.push_back(static_cast<std::uint16_t>(p - begin));
    }
    for (const auto& finder : detail::availableCandidateFinders()) {
      std::vector<std::uint16_t> found(detail::kCandidateChunk);
      found.resize(
          finder.find(reinterpret_cast<const unsigned char*>(text.data()), text.size(), begin, end, found.data()));
      ASSERT_EQ(found, expected) << finder.name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace mailsift
