// The end of the scan of one file.
#include "results/scan_summary.h"

namespace mailsift {

ScanSummary closeFileScan(ResultLists& lists) {
  const std::size_t countBefore = lists.count(ListId::List1);
  lists.removeDuplicates(ListId::List1);
  lists.removeDuplicates(ListId::List2);
  ScanSummary summary;
  summary.found = lists.count(ListId::List1);
  summary.unknown = lists.count(ListId::List2);
  summary.removedFromList1 = countBefore - summary.found;
  return summary;
}

}  // namespace mailsift
