// The scan of one file into the result lists, and the step that closes the
// scan of every file: adding a file's entries, then removing duplicates and
// writing the counters and the duplicate notice.
#pragma once

#include <string>
#include <string_view>

#include "app/file_entries.h"
#include "app/ui_texts.h"
#include "results/result_lists.h"
#include "results/scan_summary.h"
#include "sources/scan_text.h"

namespace mailsift {

// The list an entry of the scanner belongs to.
constexpr ListId listOf(TargetList target) noexcept {
  return target == TargetList::List1 ? ListId::List1 : ListId::List2;
}

// Adds `entries` to their lists in text order, then closes the scan of that
// file (finishScan with the interface texts 13, 14 and 18 of `texts`).
// Never clears the lists. Same thread rules as ResultLists.
ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists, const InterfaceTexts& texts);

struct FileScanOutcome {
  ReadError readError = ReadError::None;  // why the file gave the empty text, if it did
  std::string readMessage;                // the system's words for it, "" when read
  ScanSummary summary;                    // what the window shows afterwards
};

// The scan of one file: reads `path` (used exactly as given) whole, scans
// it, and adds its entries and closes the scan as addFileToLists does. A file
// that cannot be read counts as an empty text: nothing is added, but the
// closing steps still run. Throws std::bad_alloc when memory runs out.
FileScanOutcome scanFileIntoLists(const std::string& path, ResultLists& lists, const InterfaceTexts& texts);

}  // namespace mailsift
