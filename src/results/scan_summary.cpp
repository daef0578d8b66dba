// The end of the scan of one file.
#include "results/scan_summary.h"

namespace mailsift {

std::string duplicateNotice(std::string_view duplicateText, std::size_t removed) {
  std::string notice(duplicateText);
  notice += "\r\n";
  notice += std::to_string(removed);
  return notice;
}

ScanSummary finishScan(ResultLists& lists, std::string_view foundText, std::string_view unknownText,
                       std::string_view duplicateText) {
  const std::size_t countBefore = lists.count(ListId::List1);
  lists.DoppelteEntfernen(ListId::List1);
  lists.DoppelteEntfernen(ListId::List2);
  ScanSummary summary;
  summary.removedFromList1 = countBefore - lists.count(ListId::List1);
  summary.counters = Eintrag(lists, foundText, unknownText);
  summary.label3 = duplicateNotice(duplicateText, summary.removedFromList1);
  return summary;
}

}  // namespace mailsift
