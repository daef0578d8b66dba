// List1's order without building folded copies: the common prefix is
// skipped with one byte comparison, and only the rest is folded.
#include "results/entry_order.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

namespace mailsift {
namespace {

constexpr unsigned char kUmlautLead = 0xC3;

unsigned char byteAt(std::string_view text, std::size_t index) noexcept {
  return static_cast<unsigned char>(text[index]);
}

// The folded byte that starts at `index`; moves `index` past what it read.
unsigned char nextFolded(std::string_view text, std::size_t& index) noexcept {
  const unsigned char byte = byteAt(text, index++);
  if (byte != kUmlautLead || index == text.size()) return byte;
  switch (byteAt(text, index)) {
    case 0xA4:
      ++index;
      return 'a';
    case 0xB6:
      ++index;
      return 'o';
    case 0xBC:
      ++index;
      return 'u';
    default:
      return byte;
  }
}

}  // namespace

std::strong_ordering compareEntries(std::string_view left, std::string_view right) noexcept {
  const std::size_t common = std::min(left.size(), right.size());
  const std::size_t differ = static_cast<std::size_t>(
      std::mismatch(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(common), right.begin()).first -
      left.begin());
  if (differ == left.size() && differ == right.size()) return std::strong_ordering::equal;

  // Equal bytes fold alike, so the folded texts agree up to `differ`, except
  // that a lead byte C3 just before it may pair with the differing byte.
  // C3 never ends a pair, so folding can restart at it in both texts.
  std::size_t i = differ;
  if (differ > 0 && byteAt(left, differ - 1) == kUmlautLead) --i;
  std::size_t j = i;
  while (i < left.size() && j < right.size()) {
    const unsigned char a = nextFolded(left, i);
    const unsigned char b = nextFolded(right, j);
    if (a != b) return a <=> b;
  }
  if (i < left.size()) return std::strong_ordering::greater;
  if (j < right.size()) return std::strong_ordering::less;

  // Folded alike: the bytes decide, and they first differ at `differ`.
  if (differ == left.size()) return std::strong_ordering::less;
  if (differ == right.size()) return std::strong_ordering::greater;
  return byteAt(left, differ) <=> byteAt(right, differ);
}

namespace detail {

namespace {

// The next eight folded bytes from `index` on, big-endian, padded with
// zeros; moves `index` past what it read.
std::uint64_t nextFoldedWord(std::string_view entry, std::size_t& index) noexcept {
  std::uint64_t word = 0;
  for (int taken = 0; taken < 8; ++taken) {
    const std::uint64_t byte = index < entry.size() ? nextFolded(entry, index) : 0;
    word = (word << 8) | byte;
  }
  return word;
}

// The bytes of `value` in reverse order (compilers make this one instruction).
constexpr std::uint64_t byteSwapped(std::uint64_t value) noexcept {
  value = ((value & 0x00FF'00FF'00FF'00FFu) << 8) | ((value >> 8) & 0x00FF'00FF'00FF'00FFu);
  value = ((value & 0x0000'FFFF'0000'FFFFu) << 16) | ((value >> 16) & 0x0000'FFFF'0000'FFFFu);
  return (value << 32) | (value >> 32);
}

// Bytes [start, end) of `entry` (at most eight), big-endian, padded with zeros.
std::uint64_t bytesAt(std::string_view entry, std::size_t start, std::size_t end) noexcept {
  if (start >= end) return 0;
  std::uint64_t value = 0;
  std::memcpy(&value, entry.data() + start, end - start);
  if constexpr (std::endian::native == std::endian::little) value = byteSwapped(value);
  return value;
}

// True when no lead byte C3 comes before `end`: up to there, the bytes are
// their own folded form and sit where they are.
bool foldsToItself(std::string_view entry, std::size_t end) noexcept {
  return end == 0 || std::memchr(entry.data(), kUmlautLead, end) == nullptr;
}

}  // namespace

OrderKey orderKey(std::string_view entry) noexcept {
  const std::size_t end = std::min<std::size_t>(entry.size(), 16);
  if (foldsToItself(entry, end)) return {bytesAt(entry, 0, std::min<std::size_t>(end, 8)), bytesAt(entry, 8, end)};
  std::size_t i = 0;
  const std::uint64_t high = nextFoldedWord(entry, i);
  return {high, nextFoldedWord(entry, i)};
}

std::uint64_t orderWord(std::string_view entry, std::size_t word) noexcept {
  const std::size_t start = 8 * word;
  const std::size_t end = std::min(entry.size(), start + 8);
  if (foldsToItself(entry, end)) return bytesAt(entry, start, end);
  std::size_t i = 0;
  for (std::size_t skipped = 0; skipped < start && i < entry.size(); ++skipped) nextFolded(entry, i);
  return nextFoldedWord(entry, i);
}

}  // namespace detail
}  // namespace mailsift
