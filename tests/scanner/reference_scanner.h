// A plain, slow transcription of the address scanner, used as the oracle
// that the fast scanner is compared with. It lower-cases and rewrites the
// text, replaces each spelled-out form in turn, and walks every position.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scanner/extract_addresses.h"

namespace mailsift::test {

using Entry = std::pair<TargetList, std::string>;

// The entries of `text` (Windows-1252), in text order, as UTF-8.
std::vector<Entry> referenceExtract(std::string_view text);

// The same through the real scanner, collected into a vector.
std::vector<Entry> fastExtract(std::string_view text);

}  // namespace mailsift::test
