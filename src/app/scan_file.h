// The step that closes the scan of every file: adding the file's entries to
// the result lists, then removing duplicates.
#pragma once

#include <cstddef>
#include <string_view>

#include "app/file_entries.h"
#include "results/result_lists.h"

namespace mailsift {

// The list an entry of the scanner belongs to.
constexpr ListId listOf(TargetList target) noexcept {
  return target == TargetList::List1 ? ListId::List1 : ListId::List2;
}

// The state of the lists after the scan of one file was closed.
struct ScanSummary {
  std::size_t removedFromList1 = 0;  // duplicates just removed from List1 (List2's are not counted)
  std::size_t found = 0;             // entries in List1 afterwards
  std::size_t unknown = 0;           // entries in List2 afterwards

  friend bool operator==(const ScanSummary&, const ScanSummary&) = default;
};

// Closes the scan of one file: notes the count of List1, removes the
// duplicates of List1 and then of List2, and returns how many left List1
// with both counts afterwards; `removedBefore` duplicates of the same file,
// removed from List1 while it was scanned, count toward the first figure.
// The cost follows the entries added since the last call, so it may run
// after every file of a folder scan. Same thread rules as ResultLists.
ScanSummary closeFileScan(ResultLists& lists, std::size_t removedBefore = 0);

// Adds `entries` to their lists in text order, then closes the scan of that
// file. Never clears the lists. Same thread rules as ResultLists.
ScanSummary addFileToLists(const FileEntries& entries, ResultLists& lists);

// A sink that adds every entry to its list at once, for a text scanned on
// the thread that owns the lists. Scanning into it and then closing the
// scan with closeFile() gives the lists and the summary of addFileToLists
// without holding the entries in between. So that a large file's repeated
// entries do not pile up, the duplicates found so far are removed once
// `entriesBetweenRemovals` entries, and at least as many as the lists held
// after the last removal, have come: the lists never grow past about twice
// what they hold without duplicates, and the removals cost no more than one
// at the close. Removing them early changes neither the lists nor the
// counts the file's close reports. Same thread
// rules as ResultLists. When memory runs out, the scan ends with
// std::bad_alloc and the lists keep the entries added before, their
// duplicates not yet removed.
class ListsSink final : public EntrySink {
 public:
  static constexpr std::size_t kEntriesBetweenRemovals = std::size_t{1} << 16;

  explicit ListsSink(ResultLists& lists, std::size_t entriesBetweenRemovals = kEntriesBetweenRemovals) noexcept
      : m_lists(lists), m_entriesBetweenRemovals(entriesBetweenRemovals), m_nextRemoval(entriesBetweenRemovals) {}

  SinkReply addEntry(TargetList target, std::string_view entry) override {
    m_lists.add(listOf(target), entry);
    if (++m_sinceRemoval >= m_nextRemoval) removeDuplicatesSoFar();
    return SinkReply::Continue;
  }

  // Closes the scan of the file added since the last close (see
  // closeFileScan), so the sink can serve the next file.
  ScanSummary closeFile();

 private:
  void removeDuplicatesSoFar();

  ResultLists& m_lists;
  std::size_t m_entriesBetweenRemovals;
  std::size_t m_nextRemoval;  // entries since the last removal that call for the next
  std::size_t m_sinceRemoval = 0;
  std::size_t m_removedFromList1 = 0;  // duplicates of this file removed early
};

}  // namespace mailsift
