// The top-level domain lists that make a candidate a recognised address: the
// fixed list of 277, and the current list that extended rules add to it.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "scanner/scan_rules.h"

namespace mailsift {

// The fixed list in alphabetical order; every entry is upper case, A to Z
// only.
extern const std::array<std::string_view, 277> kTopLevelDomains;

// The current list, which extended rules know besides the fixed one: the
// top-level domains of the public suffix list the build was made with
// (those written in a to z), lower case, in alphabetical order, less
// "java", "zip" and "mov", which real text writes as file name extensions
// (see src/scanner/CMakeLists.txt).
std::span<const std::string_view> currentTopLevelDomains() noexcept;

// Where the current list comes from, in words: the version of the package
// that brought it ("publicsuffix 20230209.2326-1") or the date of the file.
std::string_view currentTopLevelDomainsSource() noexcept;

// True when `domain` equals an entry of the fixed list exactly, letter case
// significant: "COM" is an entry, "com" and "" are not. Under extended rules
// an entry of the current list counts too, written in upper case the same
// way ("ZIP" is one, "zip" is not).
bool isTopLevelDomain(std::string_view domain, ScanRules rules = ScanRules::Specified) noexcept;

}  // namespace mailsift
