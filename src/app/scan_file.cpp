// Closing the scan of one file.
#include "app/scan_file.h"

namespace mailsift {

ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists, const InterfaceTexts& texts) {
  for (std::size_t i = 0; i < entries.size(); ++i) lists.add(listOf(entries.target(i)), entries.text(i));
  return finishScan(lists, texts.UiTexts[13], texts.UiTexts[14], texts.UiTexts[18]);
}

}  // namespace mailsift
