// The address scanner on any bytes, under both rule sets: the fast scanner
// must give exactly the entries of the plain reference scanner of the tests;
// every candidate-search kernel this processor runs must find exactly the
// candidates, over windows of every alignment; a stream fed the text in
// pieces must give the same entries as one scan and keep exactly the bytes
// after the last boundary byte; a sink that stops must get a prefix. The
// first byte steers the pieces and windows; the rest is the text. Any
// difference traps.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "scanner/address_stream.h"
#include "scanner/detail/candidate_finder.h"
#include "scanner/reference_scanner.h"

namespace mailsift {
namespace {

using test::Entry;

// A candidate by its plain definition: "@", or a whole "(at)", "[at]" or
// " at " (letters in either case), and under extended rules "<at>", "{at}"
// or "-at-" too.
bool isCandidate(std::string_view text, std::size_t p, ScanRules rules) {
  if (text[p] == '@') return true;
  if (p + 3 >= text.size() || (text[p + 1] | 0x20) != 'a' || (text[p + 2] | 0x20) != 't') return false;
  const char open = text[p];
  const char close = text[p + 3];
  if ((open == ' ' && close == ' ') || (open == '(' && close == ')') || (open == '[' && close == ']')) return true;
  return rules == ScanRules::Extended &&
         ((open == '<' && close == '>') || (open == '{' && close == '}') || (open == '-' && close == '-'));
}

void checkKernelsOn(std::string_view text, std::size_t begin, std::size_t end, ScanRules rules) {
  std::vector<std::uint16_t> expected;
  for (std::size_t p = begin; p < end; ++p) {
    if (isCandidate(text, p, rules)) expected.push_back(static_cast<std::uint16_t>(p - begin));
  }
  std::vector<std::uint16_t> found(detail::kCandidateChunk);
  for (const detail::NamedCandidateFinder& finder : detail::availableCandidateFinders(rules)) {
    const std::size_t count =
        finder.find(reinterpret_cast<const unsigned char*>(text.data()), text.size(), begin, end, found.data());
    FUZZ_FAIL_IF(count != expected.size() || !std::equal(expected.begin(), expected.end(), found.begin()));
  }
}

// Windows that start at 0, at a shift the fuzzer picks, and that end at the
// end of the text, so both ends of a window meet every alignment.
void checkKernels(std::string_view text, unsigned char steer, ScanRules rules) {
  if (text.empty()) return;
  const std::size_t shift = std::min<std::size_t>(steer % 67, text.size() - 1);
  for (const std::size_t start : {std::size_t{0}, shift}) {
    for (std::size_t begin = start; begin < text.size(); begin += detail::kCandidateChunk) {
      checkKernelsOn(text, begin, std::min(text.size(), begin + detail::kCandidateChunk), rules);
    }
  }
  const std::size_t tail = std::min<std::size_t>(text.size(), 1 + steer);
  checkKernelsOn(text, text.size() - tail, text.size(), rules);
}

// Feeds `text` to `stream` in pieces of 0 to `longest` bytes, from a small
// generator seeded by `seed`. After each piece the stream must keep exactly
// the bytes since the last boundary byte.
void feedInPieces(AddressStream& stream, std::string_view text, unsigned seed, std::size_t longest, ScanRules rules) {
  std::size_t fed = 0;
  std::size_t openRun = 0;
  while (fed < text.size()) {
    seed = seed * 1103515245u + 12345u;
    const std::string_view piece = text.substr(fed, (seed >> 16) % (longest + 1));
    stream.feed(piece);
    fed += piece.size();
    for (const char c : piece) openRun = isScanBoundary(static_cast<unsigned char>(c), rules) ? 0 : openRun + 1;
    FUZZ_FAIL_IF(stream.pendingBytes() != openRun);
  }
}

void checkStream(std::string_view text, unsigned char steer, ScanRules rules, const std::vector<Entry>& whole) {
  std::vector<Entry> got;
  CallbackSink sink([&](TargetList target, std::string_view entry) { got.emplace_back(target, entry); });
  AddressStream stream(sink, rules);
  // Short pieces cut through every construct; long ones scan most bytes in
  // place. A second text on the same stream starts afresh.
  feedInPieces(stream, text, steer, steer & 1 ? 3 : 97, rules);
  FUZZ_FAIL_IF(stream.finish() != SinkReply::Continue || stream.pendingBytes() != 0 || got != whole);
  got.clear();
  feedInPieces(stream, text, steer + 1u, 1 + steer, rules);
  FUZZ_FAIL_IF(stream.finish() != SinkReply::Continue || got != whole);
}

void checkStop(std::string_view text, unsigned char steer, ScanRules rules, const std::vector<Entry>& whole) {
  if (whole.empty()) return;
  const std::size_t keep = 1 + steer % whole.size();
  std::vector<Entry> got;
  const SinkReply reply = extractAddresses(
      text,
      [&](TargetList target, std::string_view entry) {
        got.emplace_back(target, entry);
        return got.size() == keep ? SinkReply::Stop : SinkReply::Continue;
      },
      rules);
  FUZZ_FAIL_IF(reply != SinkReply::Stop || got.size() != keep || !std::equal(got.begin(), got.end(), whole.begin()));
}

}  // namespace
}  // namespace mailsift

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mailsift;
  if (size == 0) return 0;
  const unsigned char steer = data[0];
  // An exact-size copy, so that AddressSanitizer sees a read past either end.
  const std::unique_ptr<char[]> copy(new char[size - 1]);
  std::copy(data + 1, data + size, copy.get());
  const std::string_view text(copy.get(), size - 1);
  for (const ScanRules rules : {ScanRules::Specified, ScanRules::Extended}) {
    const std::vector<test::Entry> whole = test::fastExtract(text, rules);
    FUZZ_FAIL_IF(whole != test::referenceExtract(text, rules));
    checkKernels(text, steer, rules);
    checkStream(text, steer, rules, whole);
    checkStop(text, steer, rules, whole);
  }
  return 0;
}
