// The step that closes the scan of every file: adding the file's entries to
// the result lists, then removing duplicates.
#pragma once

#include "app/file_entries.h"
#include "results/result_lists.h"
#include "results/scan_summary.h"

namespace mailsift {

// The list an entry of the scanner belongs to.
constexpr ListId listOf(TargetList target) noexcept {
  return target == TargetList::List1 ? ListId::List1 : ListId::List2;
}

// Adds `entries` to their lists in text order, then closes the scan of that
// file (see closeFileScan). Never clears the lists. Same thread rules as
// ResultLists.
ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists);

}  // namespace mailsift
