// The storage of List1: entries kept in the order of compareEntries, built
// so that a million entries go in, lose their duplicates, are read by index
// and frozen for a snapshot without any step costing time in proportion to
// the square of the list, and without copying the list for a snapshot.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/detail/entry_blocks.h"
#include "results/detail/text_arena.h"

namespace mailsift::detail {

// Design: the placed entries sit in EntryBlocks in order. Each carries the
// first sixteen folded bytes of its text (orderKey) in its two words, so
// nearly all comparisons are settled by integers, even among addresses that
// share a prefix such as "info@" or "user1234". New entries go to a pending
// batch in the order they came, their texts to the arena.
//
// Placing the batch sorts it and brings it in: entry by entry into the
// blocks when it is small against the list, by one merge into fresh blocks
// when it is large. Duplicate removal is a placement that drops each new
// entry whose text is in the list already or earlier in the batch: sorted,
// equal texts are neighbours, and the place an entry would take is where
// its equal would be. So duplicates need no hashing, and a scan's first
// file, often its only one, costs one sort and one pass.
//
// Reading by index needs the batch placed too, but may not remove anything:
// a placement for a read notes each text it leaves with more than one
// entry, and the next removal cuts those runs back to one. So right after a
// removal every text has one entry, and the work of a removal follows the
// entries added since the last one and the texts noted, with a logarithmic
// factor for the searches.
//
// Texts: each entry owns its text in the arena, and releases it when it
// goes. When the dead bytes outweigh the live ones, the live texts move to
// a fresh arena. A batch that turns out to hold only duplicates gives its
// room in the arena back at once, which is what most files of a large
// folder scan do.
//
// Not thread-safe, not even for const calls: reading places the batch and
// so changes the storage (never the contents a reader sees). What freeze()
// hands out is immutable and thread-safe.
class SortedEntries {
 public:
  SortedEntries() noexcept;

  void add(std::string_view entry);
  void clear() noexcept;
  std::size_t count() const noexcept { return m_blocks.size() + m_pending.size(); }
  // `index` < count(). Valid until the next call of a non-const member.
  std::string_view at(std::size_t index) const;
  // `indices`: ascending, without repeats, each < count().
  void removeAt(std::span<const std::size_t> indices);
  // Leaves one entry of each text; returns how many entries it removed.
  std::size_t removeDuplicates();
  // The entries in order as they are now, sharing blocks and texts.
  std::shared_ptr<const FrozenEntries> freeze() const;

 private:
  std::size_t placeBatch(bool dropDuplicates) const;
  std::size_t insertBatch(bool dropDuplicates) const;
  std::size_t mergeBatch(bool dropDuplicates) const;
  void notePlacedTwice(const Entry& entry) const;
  std::size_t collapse(const std::string& text);
  void compactTexts() noexcept;

  // Reading places the batch, which reorganises these; the entries a
  // caller can observe never change in a const call.
  mutable EntryBlocks m_blocks;
  mutable EntryBuffer m_pending;  // added, not yet placed
  // Texts that a placement for a read left with several entries, since
  // the last removal; own copies, as their entries may go before then.
  mutable std::vector<std::string> m_repeated;
  mutable TextArena m_texts;
  // Where the pending batch's texts begin; m_batchIntact: every text
  // stored since then belongs to a pending entry, and none was frozen.
  TextArena::Mark m_batchMark;
  mutable bool m_batchIntact = true;
};

}  // namespace mailsift::detail
