// The fast scanner against the plain oracle on many seeded random texts, and
// every candidate-search kernel against the plain definition of a candidate,
// under both rule sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <random>
#include <stdexcept>
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

// Extended rules add their brackets, "+", their forms whole (with runs of
// forms that share blanks), one-letter labels and names of the current
// top-level domain list, some of them also file name extensions.
const std::vector<std::string> kExtendedPieces = [] {
  std::vector<std::string> pieces = kPieces;
  for (const char* piece :
       {"<",         ">",       "{",        "}",     "+",     "+",     " (at) ",    " [at] ",    " <AT> ",
        " {at} ",    " -at- ",  "-at-",     "<at>",  "{At}",  " dot ", " DOT ",     " (dot) ",   " [dot] ",
        " <dot> ",   " {dot} ", " -dot- ",  "-dot-", "<dot>", "{dot}", " (punkt) ", " [punkt] ", " at dot at ",
        " dot dot ", "zip",     "graphics", "app",   "d.",    ".e.",   "x+y",       "."}) {
    pieces.emplace_back(piece);
  }
  return pieces;
}();

constexpr std::array<ScanRules, 2> kBothRules = {ScanRules::Specified, ScanRules::Extended};

std::string randomText(std::mt19937_64& random, std::size_t pieces, ScanRules rules = ScanRules::Specified) {
  const std::vector<std::string>& from = rules == ScanRules::Extended ? kExtendedPieces : kPieces;
  std::uniform_int_distribution<std::size_t> pick(0, from.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) text += from[pick(random)];
  return text;
}

const char* nameOf(ScanRules rules) { return rules == ScanRules::Extended ? "extended" : "specified"; }

TEST(Differential, ScannerAgreesWithTheOracleOnRandomTexts) {
  for (const ScanRules rules : kBothRules) {
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<std::size_t> length(0, 120);
    for (int round = 0; round < 20000; ++round) {
      const std::string text = randomText(random, length(random), rules);
      const auto expected = test::referenceExtract(text, rules);
      const auto actual = test::fastExtract(text, rules);
      ASSERT_EQ(actual, expected) << nameOf(rules) << " round " << round << ", text: " << testing::PrintToString(text);
    }
  }
}

TEST(Differential, ScannerAgreesWithTheOracleOnLongTexts) {
  // Long texts cross the search chunks and the vector blocks at many places.
  for (const ScanRules rules : kBothRules) {
    std::mt19937_64 random(7);
    for (int round = 0; round < 20; ++round) {
      const std::string text = randomText(random, 5000 + static_cast<std::size_t>(round) * 397, rules);
      ASSERT_EQ(test::fastExtract(text, rules), test::referenceExtract(text, rules))
          << nameOf(rules) << " round " << round;
    }
  }
}

TEST(Differential, RunsOfFormsThatShareBlanksAlternate) {
  // Runs of thousands of forms, each sharing a blank with the next: hits
  // inside a run, a right walk through one, a left walk back through one
  // (which asks along it from its end), and a run of mixed forms.
  const auto run = [](const std::string& unit) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += unit;
    return text;
  };
  for (const std::string& text : {"xx" + run(" at") + " yy.de", "ab@cd" + run(" dot") + " de",
                                  "xx" + run(" dot") + " at yy.de", "xx" + run(" at dot") + " (dot) yy.de"}) {
    const auto expected = test::referenceExtract(text, ScanRules::Extended);
    EXPECT_FALSE(expected.empty()) << text.substr(0, 20);
    ASSERT_EQ(test::fastExtract(text, ScanRules::Extended), expected) << text.substr(0, 20);
  }
}

TEST(Differential, EachExtendedRuleChangesSomeRandomText) {
  // The random texts would catch a scanner that left out any one rule: an
  // oracle without it disagrees with the scanner on some of them.
  using Switch = bool test::ReferenceRules::*;
  for (const Switch rule : {&test::ReferenceRules::plusInLocalPart, &test::ReferenceRules::fullStopEndsSentence,
                            &test::ReferenceRules::moreForms, &test::ReferenceRules::currentTlds,
                            &test::ReferenceRules::shortLowerLabels}) {
    test::ReferenceRules without = test::referenceRulesOf(ScanRules::Extended);
    without.*rule = false;
    std::mt19937_64 random(20261207);
    std::uniform_int_distribution<std::size_t> length(0, 120);
    int differing = 0;
    for (int round = 0; round < 2000; ++round) {
      const std::string text = randomText(random, length(random), ScanRules::Extended);
      differing += test::referenceExtract(text, without) != test::fastExtract(text, ScanRules::Extended);
    }
    EXPECT_GT(differing, 10);
  }
}

TEST(Differential, ASinkThatStopsGetsExactlyThePrefixOfTheFullScan) {
  for (const ScanRules rules : kBothRules) {
    std::mt19937_64 random(99);
    for (int round = 0; round < 2000; ++round) {
      const std::string text = randomText(random, 200, rules);
      const auto full = test::fastExtract(text, rules);
      if (full.empty()) continue;
      const std::size_t keep = std::uniform_int_distribution<std::size_t>(1, full.size())(random);
      std::vector<test::Entry> got;
      const SinkReply reply = extractAddresses(
          text,
          [&](TargetList target, std::string_view entry) {
            got.push_back({target, std::string(entry)});
            return got.size() == keep ? SinkReply::Stop : SinkReply::Continue;
          },
          rules);
      ASSERT_EQ(got, std::vector<test::Entry>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(keep)))
          << nameOf(rules) << " round " << round;
      EXPECT_EQ(reply, SinkReply::Stop);
    }
  }
}

// The entries of `text` fed to a stream in pieces that end at `cuts`.
std::vector<test::Entry> streamExtract(std::string_view text, const std::vector<std::size_t>& cuts,
                                       ScanRules rules = ScanRules::Specified) {
  std::vector<test::Entry> got;
  CallbackSink sink([&](TargetList target, std::string_view entry) { got.push_back({target, std::string(entry)}); });
  AddressStream stream(sink, rules);
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
  for (const ScanRules rules : kBothRules) {
    std::mt19937_64 random(314);
    // Short texts: every single cut, and every pair of cuts.
    for (int round = 0; round < 300; ++round) {
      const std::string text = randomText(random, 12, rules);
      const auto expected = test::referenceExtract(text, rules);
      for (std::size_t a = 0; a <= text.size(); ++a) {
        ASSERT_EQ(streamExtract(text, {a}, rules), expected)
            << nameOf(rules) << " cut " << a << ", text: " << testing::PrintToString(text);
        for (std::size_t b = a; b <= text.size(); b += 3) ASSERT_EQ(streamExtract(text, {a, b}, rules), expected);
      }
    }
    // Longer texts in random pieces, some of them a single byte.
    for (int round = 0; round < 2000; ++round) {
      const std::string text = randomText(random, 150, rules);
      std::vector<std::size_t> cuts;
      std::uniform_int_distribution<std::size_t> step(0, round % 2 == 0 ? 4 : 64);
      for (std::size_t at = step(random); at < text.size(); at += step(random)) cuts.push_back(at);
      ASSERT_EQ(streamExtract(text, cuts, rules), test::referenceExtract(text, rules))
          << nameOf(rules) << " round " << round;
    }
  }
}

// Entries with their origins' offsets, of a whole text or of a stream fed
// in pieces that end at `cuts`, whose origins count from `firstOffset`.
using Placed = std::vector<std::pair<std::string, std::uint64_t>>;

class PlacingSink final : public EntrySink {
 public:
  SinkReply addEntry(TargetList, std::string_view) override { throw std::logic_error("origins were asked for"); }
  bool wantsOrigins() const noexcept override { return true; }
  SinkReply addEntryFrom(TargetList, std::string_view entry, const EntryOrigin& origin) override {
    placed.emplace_back(std::string(entry), origin.offset);
    return SinkReply::Continue;
  }
  Placed placed;
};

Placed placedInStream(std::string_view text, const std::vector<std::size_t>& cuts, ScanRules rules,
                      std::uint64_t firstOffset) {
  PlacingSink sink;
  AddressStream stream(sink, rules, firstOffset);
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    stream.feed(text.substr(from, cut - from));
    from = cut;
  }
  stream.feed(text.substr(from));
  stream.finish();
  return sink.placed;
}

// Whether the stretch of an entry starts at `offset`: its local part (up to
// a first dot, which a dot form may have given) or a dot form is there, and
// the byte before it could not continue a local part.
bool startsStretch(std::string_view text, std::uint64_t offset, const std::string& entry, ScanRules rules) {
  if (offset >= text.size()) return false;
  const auto at = static_cast<std::size_t>(offset);  // below the size, so it fits
  if (at > 0) {
    const char before = text[at - 1];
    const bool leftClass = std::isalnum(static_cast<unsigned char>(before)) || before == '.' || before == '_' ||
                           before == '-' || (rules == ScanRules::Extended && before == '+');
    if (leftClass) return false;
  }
  std::string rest(text.substr(at, 256));
  for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string local = entry.substr(0, std::max<std::size_t>(1, entry.find_first_of(".@")));
  if (rest.starts_with(local)) return true;
  const std::size_t word = rest.find_first_not_of(" ([<{-");
  return word <= 2 && (rest.compare(word, 3, "dot") == 0 || rest.compare(word, 5, "punkt") == 0);
}

TEST(Differential, OriginsPointAtTheStretchAndDoNotDependOnPieces) {
  for (const ScanRules rules : kBothRules) {
    std::mt19937_64 random(2718);
    for (int round = 0; round < 1000; ++round) {
      const std::string text = randomText(random, 150, rules);
      const Placed whole = placedInStream(text, {}, rules, 0);
      ASSERT_EQ(whole.size(), test::referenceExtract(text, rules).size());
      for (const auto& [entry, offset] : whole) {
        ASSERT_TRUE(startsStretch(text, offset, entry, rules))
            << nameOf(rules) << " " << entry << " at " << offset << " in " << testing::PrintToString(text);
      }
      std::vector<std::size_t> cuts;
      std::uniform_int_distribution<std::size_t> step(0, round % 2 == 0 ? 4 : 64);
      for (std::size_t at = step(random); at < text.size(); at += step(random)) cuts.push_back(at);
      Placed shifted = whole;
      for (auto& [entry, offset] : shifted) offset += 1000;
      ASSERT_EQ(placedInStream(text, cuts, rules, 1000), shifted) << nameOf(rules) << " round " << round;
    }
  }
}

TEST(Differential, ExtendedBoundariesAreASubsetOfTheSpecifiedOnes) {
  int fewer = 0;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    EXPECT_TRUE(!isScanBoundary(byte, ScanRules::Extended) || isScanBoundary(byte)) << b;
    fewer += isScanBoundary(byte) && !isScanBoundary(byte, ScanRules::Extended);
  }
  EXPECT_EQ(fewer, 5);  // "<", ">", "{", "}" and "+"
}

bool isCandidate(const std::string& text, std::size_t p, ScanRules rules) {
  if (text[p] == '@') return true;
  if (p + 3 >= text.size()) return false;
  const std::string form = {text[p], static_cast<char>(text[p + 1] | 0x20), static_cast<char>(text[p + 2] | 0x20),
                            text[p + 3]};
  if (form == " at " || form == "(at)" || form == "[at]") return true;
  return rules == ScanRules::Extended && (form == "<at>" || form == "{at}" || form == "-at-");
}

TEST(Differential, EveryCandidateFinderFindsExactlyTheCandidates) {
  std::mt19937_64 random(42);
  constexpr char kAlphabet[] = "@ ([aAtT)]x\0\xE1\xC1\xF4\xD4\xA0\xA8\xDB{}<>-\x0D\x3B\x7D\x5D\x2D";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<std::size_t> length(1, 300);
  for (int round = 0; round < 6000; ++round) {
    const ScanRules rules = kBothRules[static_cast<std::size_t>(round % 2)];
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
      if (isCandidate(text, p, rules)) expected.push_back(static_cast<std::uint16_t>(p - begin));
    }
    for (const auto& finder : detail::availableCandidateFinders(rules)) {
      std::vector<std::uint16_t> found(detail::kCandidateChunk);
      found.resize(
          finder.find(reinterpret_cast<const unsigned char*>(text.data()), text.size(), begin, end, found.data()));
      ASSERT_EQ(found, expected) << nameOf(rules) << " " << finder.name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace mailsift
