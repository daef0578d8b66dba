// The scan of one file into the result lists.
#include "app/scan_file.h"

namespace mailsift {

ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists, const InterfaceTexts& texts) {
  for (std::size_t i = 0; i < entries.size(); ++i) lists.add(listOf(entries.target(i)), entries.text(i));
  return finishScan(lists, texts.UiTexts[13], texts.UiTexts[14], texts.UiTexts[18]);
}

FileScanOutcome scanFileIntoLists(const std::string& path, ResultLists& lists, const InterfaceTexts& texts) {
  FileScanOutcome outcome;
  const ReadResult read = readScanText(path);
  outcome.readError = read.error;
  outcome.readMessage = read.message;
  FileEntries entries;
  ExtractAddresses(read.text.view(), entries);
  outcome.summary = addFileToLists(entries, lists, texts);
  return outcome;
}

}  // namespace mailsift
