// The fixed list of the 277 top-level domains that make a candidate a
// recognised address.
#pragma once

#include <array>
#include <string_view>

namespace mailsift {

// The list in alphabetical order; every entry is upper case, A to Z only.
extern const std::array<std::string_view, 277> kTopLevelDomains;

// True when `domain` equals an entry exactly, letter case significant: "COM"
// is an entry, "com" and "" are not.
bool isTopLevelDomain(std::string_view domain) noexcept;

}  // namespace mailsift
