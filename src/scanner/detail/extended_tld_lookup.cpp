// The current top-level domain list, made from the public suffix list at
// build time, in an open-addressing table built by the compiler: a name's
// hash picks a slot, and the slots from there on are tried until an empty
// one. With the table at most half full, a lookup reads one or two slots.
#include "scanner/detail/extended_tld_lookup.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "extended_tld_list.h"

namespace mailsift::detail {
namespace {

constexpr std::size_t kSlots = 4096;
static_assert(kExtendedTldList.size() * 2 <= kSlots, "the table must stay at most half full");

constexpr std::uint32_t hashOf(std::string_view letters) noexcept {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : letters) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

constexpr std::size_t kLongestListed = [] {
  std::size_t longest = 0;
  for (const std::string_view name : kExtendedTldList) longest = std::max(longest, name.size());
  return longest;
}();
static_assert(kLongestListed <= kLongestExtendedTld);

// Slot i holds 1 + the index of its name in the list, or 0 when empty.
constexpr std::array<std::uint16_t, kSlots> kSlotOf = [] {
  std::array<std::uint16_t, kSlots> slots{};
  for (std::size_t i = 0; i < kExtendedTldList.size(); ++i) {
    std::size_t slot = hashOf(kExtendedTldList[i]) % kSlots;
    while (slots[slot] != 0) slot = (slot + 1) % kSlots;
    slots[slot] = static_cast<std::uint16_t>(i + 1);
  }
  return slots;
}();

}  // namespace

bool isExtendedTldLower(std::string_view letters) noexcept {
  if (letters.size() < 2 || letters.size() > kLongestListed) return false;
  for (std::size_t slot = hashOf(letters) % kSlots;; slot = (slot + 1) % kSlots) {
    const std::uint16_t entry = kSlotOf[slot];
    if (entry == 0) return false;
    if (kExtendedTldList[entry - 1] == letters) return true;
  }
}

std::span<const std::string_view> extendedTldList() noexcept { return kExtendedTldList; }

std::string_view extendedTldSource() noexcept { return kExtendedTldSource; }

}  // namespace mailsift::detail
