// Closing the scan of one file.
#include "app/scan_file.h"

#include <algorithm>

#include "app/named_procedures.h"

namespace mailsift {

ScanSummary closeFileScan(ResultLists& lists, std::size_t removedBefore) {
  const std::size_t countBefore = lists.count(ListId::List1);
  DoppelteEntfernen(lists, ListId::List1);
  DoppelteEntfernen(lists, ListId::List2);
  ScanSummary summary;
  summary.found = lists.count(ListId::List1);
  summary.unknown = lists.count(ListId::List2);
  summary.removedFromList1 = removedBefore + (countBefore - summary.found);
  return summary;
}

ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists) {
  for (std::size_t i = 0; i < entries.size(); ++i) lists.add(listOf(entries.target(i)), entries.text(i));
  return closeFileScan(lists);
}

void ListsSink::removeDuplicatesSoFar() {
  const ScanSummary summary = closeFileScan(m_lists);
  m_removedFromList1 += summary.removedFromList1;
  m_sinceRemoval = 0;
  m_nextRemoval = std::max(m_entriesBetweenRemovals, summary.found + summary.unknown);
}

ScanSummary ListsSink::closeFile() {
  const ScanSummary summary = closeFileScan(m_lists, m_removedFromList1);
  m_removedFromList1 = 0;
  m_sinceRemoval = 0;
  return summary;
}

}  // namespace mailsift
