// The steps that close the scan of one file: duplicate removal in both
// lists and the texts the window shows afterwards.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "results/counter_texts.h"
#include "results/result_lists.h"

namespace mailsift {

// What the window shows after the scan of one file.
struct ScanSummary {
  std::size_t removedFromList1 = 0;  // duplicates just removed from List1
  CounterTexts counters;             // the two count labels
  std::string label3;                // the duplicate notice, such as "Duplicate\r\n5"
};

// The duplicate notice: `duplicateText` (interface text 18, "Duplicate" /
// "Doppelte"), CR LF, then `removed` in decimal.
std::string duplicateNotice(std::string_view duplicateText, std::size_t removed);

// Closes the scan of one file: notes the count of List1, removes the
// duplicates of List1 and then of List2, and returns the number removed
// from List1 (entries removed from List2 are not counted), the counter
// texts (see Eintrag) and the duplicate notice. The caller passes the
// interface texts 13, 14 and 18. The cost follows the entries added since
// the last call, so it may run after every file of a folder scan. Same
// thread rules as ResultLists.
ScanSummary finishScan(ResultLists& lists, std::string_view foundText, std::string_view unknownText,
                       std::string_view duplicateText);

}  // namespace mailsift
