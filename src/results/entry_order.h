// The order of List1, the same on every system: "ä", "ö" and "ü" sort as
// "a", "o" and "u", and entries that agree that way sort by their bytes.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mailsift {

// Compares two entries in List1's order. Both are read as bytes with the
// UTF-8 pairs C3 A4, C3 B6 and C3 BC ("ä", "ö", "ü") standing for "a", "o"
// and "u"; where those folded forms agree, the entries themselves are
// compared byte by byte (bytes unsigned, a prefix before the longer text).
// This is a strict total order: only equal texts compare equal. Any bytes
// are accepted. Thread-safe; never throws.
std::strong_ordering compareEntries(std::string_view left, std::string_view right) noexcept;

// compareEntries as a "less than" for the standard algorithms.
struct EntryLess {
  bool operator()(std::string_view left, std::string_view right) const noexcept {
    return compareEntries(left, right) < 0;
  }
};

namespace detail {

// A value that orders entries as compareEntries does wherever it can: the
// first sixteen bytes of the folded entry, big-endian, padded with zeros.
// If orderKey(a) < orderKey(b) then compareEntries(a, b) < 0, and equal
// texts have equal keys; only entries with equal keys need compareEntries.
struct OrderKey {
  std::uint64_t high = 0;  // folded bytes 0 to 7
  std::uint64_t low = 0;   // folded bytes 8 to 15
  friend auto operator<=>(const OrderKey&, const OrderKey&) = default;
};

// The OrderKey of `entry`; quick for entries without umlauts in their
// first sixteen bytes. Thread-safe; never throws.
OrderKey orderKey(std::string_view entry) noexcept;

// The folded bytes 8 * word to 8 * word + 7 of `entry`, big-endian, padded
// with zeros: orderKey(entry).high for word 0, orderKey(entry).low for word
// 1. Where the words before agree, entries order as these do; a sort can go
// on word by word through entries that agree so far. Thread-safe; never
// throws.
std::uint64_t orderWord(std::string_view entry, std::size_t word) noexcept;

}  // namespace detail
}  // namespace mailsift
