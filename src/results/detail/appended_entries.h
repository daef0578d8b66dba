// The storage of List2: entries in the order they were added, with the
// bookkeeping that lets duplicate removal look only at what is new.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "results/detail/entry_blocks.h"
#include "results/detail/text_arena.h"
#include "results/detail/text_table.h"

namespace mailsift::detail {

// Design: after a duplicate removal every entry is distinct, and the
// TextTable m_checkedTexts holds exactly the texts of the entries checked
// so far, which form the front of the list. Later entries are only ever
// appended, so the next removal walks the unchecked tail alone, keeping an
// entry when its text is not yet in the table, and rewrites the tail only
// when it drops something. Removing a checked entry takes its text out of
// the table, since no other checked entry has it.
//
// The entries themselves sit in EntryBlocks with their texts in a
// TextArena, which snapshots share; see SortedEntries for how the texts'
// room is kept small.
//
// Not thread-safe. What freeze() hands out is immutable and thread-safe.
class AppendedEntries {
 public:
  AppendedEntries() noexcept;

  void add(std::string_view entry);
  void clear() noexcept;
  std::size_t count() const noexcept { return m_entries.size(); }
  // `index` < count(). Valid until the next call of a non-const member.
  std::string_view at(std::size_t index) const { return m_texts.text(m_entries.at(index).text); }
  // `indices`: ascending, without repeats, each < count().
  void removeAt(std::span<const std::size_t> indices);
  // Leaves the first entry of each text; returns how many entries it removed.
  std::size_t removeDuplicates();
  // The entries as they are now, sharing blocks and texts.
  std::shared_ptr<const FrozenEntries> freeze() const;

 private:
  void compactTexts() noexcept;

  EntryBlocks m_entries;
  TextArena m_texts;
  std::size_t m_checkedCount = 0;  // m_entries[0, m_checkedCount) are distinct
  TextTable m_checkedTexts;        // their texts
  // Where the unchecked entries' texts begin; m_batchIntact: every text
  // stored since then belongs to an unchecked entry, and none was frozen.
  TextArena::Mark m_batchMark;
  mutable bool m_batchIntact = true;
};

}  // namespace mailsift::detail
