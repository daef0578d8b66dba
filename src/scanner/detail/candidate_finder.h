// The vectorised search for the places where an address can begin: every
// "@", and every whole spelled-out "@" ("(at)", "[at]" or " at ", the
// letters in either case). Extended rules also take "<at>", "{at}" and
// "-at-"; the scanner itself tells which of them stand between blanks.
// Internal to the scanner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "scanner/scan_rules.h"

namespace mailsift::detail {

// The widest span one search call covers.
inline constexpr std::size_t kCandidateChunk = 4096;

// Writes, in increasing order, the offsets p - begin of every candidate
// position p in [begin, end) of `text` (which has `size` bytes) to `out`, and
// returns how many it wrote. Requires begin < end <= size,
// end - begin <= kCandidateChunk, and room for kCandidateChunk offsets at
// `out` (slots past the count may be written too). Never reads outside
// [0, size).
using CandidateFinder = std::size_t (*)(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                                        std::uint16_t* out) noexcept;

struct NamedCandidateFinder {
  std::string_view name;
  CandidateFinder find;
};

// The fastest finder of `rules` this processor runs; chosen once.
CandidateFinder bestCandidateFinder(ScanRules rules = ScanRules::Specified) noexcept;

// Every finder of `rules` this processor can run, the plain scalar one
// first; for tests.
std::span<const NamedCandidateFinder> availableCandidateFinders(ScanRules rules = ScanRules::Specified) noexcept;

}  // namespace mailsift::detail
