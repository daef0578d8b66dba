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

// What extended rules add, one switch each, so a test can leave one out.
struct ReferenceRules {
  bool plusInLocalPart = false;       // the local part takes "+"
  bool fullStopEndsSentence = false;  // one "." that ends the right part is no part of it
  bool moreForms = false;             // the forms between blanks and in "<>" and "{}", taken left to right
  bool currentTlds = false;           // the current top-level domain list counts too
  bool shortLowerLabels = false;      // one-letter labels below the last two
};

ReferenceRules referenceRulesOf(ScanRules rules);

// The entries of `text` (Windows-1252), in text order, as UTF-8.
std::vector<Entry> referenceExtract(std::string_view text, const ReferenceRules& rules);
inline std::vector<Entry> referenceExtract(std::string_view text, ScanRules rules = ScanRules::Specified) {
  return referenceExtract(text, referenceRulesOf(rules));
}

// The same through the real scanner, collected into a vector.
std::vector<Entry> fastExtract(std::string_view text, ScanRules rules = ScanRules::Specified);

}  // namespace mailsift::test
