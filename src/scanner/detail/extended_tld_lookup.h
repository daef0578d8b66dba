// The lookup of the current top-level domain list that extended rules use
// besides the fixed one. Internal to the scanner; the public list and
// question live in top_level_domains.h.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace mailsift::detail {

// No name of the list is longer (a DNS label has at most 63 characters), so
// a run of more letters is no entry.
inline constexpr std::size_t kLongestExtendedTld = 63;

// True when `letters` (lower case a-z only) is a name of the current list.
// It does not look at the fixed list (isTldLower): extended rules ask both.
bool isExtendedTldLower(std::string_view letters) noexcept;

// The current list, lower case, in alphabetical order.
std::span<const std::string_view> extendedTldList() noexcept;

// Where the current list comes from.
std::string_view extendedTldSource() noexcept;

}  // namespace mailsift::detail
