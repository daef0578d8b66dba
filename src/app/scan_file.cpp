// Closing the scan of one file.
#include "app/scan_file.h"

namespace mailsift {

ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists) {
  for (std::size_t i = 0; i < entries.size(); ++i) lists.add(listOf(entries.target(i)), entries.text(i));
  return closeFileScan(lists);
}

}  // namespace mailsift
