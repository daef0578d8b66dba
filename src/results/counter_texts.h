// The counters under the two lists and the move between the lists, which
// ends by refreshing them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "results/result_lists.h"

namespace mailsift {

// The texts of the two count labels.
struct CounterTexts {
  std::string label1;  // under List1, such as "Found:12"
  std::string label2;  // under List2, such as "Unknown:3"
};

// The counter texts for the lists as they are now: `foundText` directly
// followed by the count of List1 in decimal, and `unknownText` directly
// followed by the count of List2 (no space, no leading zeros). The caller
// passes the interface texts 13 ("Found:" / "Gefunden:") and 14 ("Unknown:"
// / "Unerkannt:"). Reads `lists` only; see ResultLists for threads.
CounterTexts Eintrag(const ResultLists& lists, std::string_view foundText, std::string_view unknownText);

// A click on one of the two arrow buttons. `index` 0 ("<") moves the
// selected entries of List2 into List1, `index` 1 (">") those of List1 into
// List2 (see ResultLists::moveSelected for the order); any other index moves
// nothing. `selectedInList1` and `selectedInList2` are the selected indices
// of each list; only the source list's are used. Duplicates are not
// removed. Returns the counter texts afterwards, as Eintrag, also when
// nothing moved.
CounterTexts Command2_Click(ResultLists& lists, int index, std::span<const std::size_t> selectedInList1,
                            std::span<const std::size_t> selectedInList2, std::string_view foundText,
                            std::string_view unknownText);

}  // namespace mailsift
