// The two rule sets the scanner knows: the fixed one that every scan uses
// unless told otherwise, and an opt-in extended one.
#pragma once

#include <optional>
#include <string_view>

namespace mailsift {

// Which rules decide what an address is.
//   Specified: the local part takes a-z 0-9 - _ ., the spelled-out forms are
//     "(at)", "[at]", " at ", "(dot)", "[dot]", "(punkt)" and "[punkt]", the
//     top-level domain is one of the fixed 277, and the first two labels of
//     a recognised domain have two characters or more.
//   Extended: the same, and besides
//     - the local part also takes "+" (first+tag@example.com);
//     - one full stop right after the domain ends the sentence, not the
//       address;
//     - the forms may also stand between blanks or in other brackets:
//       " (at) ", " [at] ", " <at> ", " {at} ", " -at- ", "<at>", "{at}",
//       " dot ", " (dot) ", " [dot] ", " <dot> ", " {dot} ", " -dot- ",
//       "<dot>", "{dot}", " (punkt) " and " [punkt] ";
//     - the top-level domain may be any of the current list (see
//       top_level_domains.h);
//     - a recognised domain of three labels or more may have one-letter
//       labels below its last two (x@d.umn.edu).
enum class ScanRules : unsigned char { Specified, Extended };

// The rules named `name` ("specified" or "extended", in any letter case),
// or nothing for any other name.
std::optional<ScanRules> scanRulesNamed(std::string_view name) noexcept;

}  // namespace mailsift
