// The storage of List1: entries kept in the order of compareEntries, built
// so that a million entries go in, are read by index and lose their
// duplicates without any step costing time in proportion to the square of
// the list.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/entry_order.h"

namespace mailsift::detail {

// Design: the sorted entries sit in a row of blocks of about kBlockSize
// entries each, so an insertion shifts one block, not the whole list, and
// the entry at an index is found through the running block sizes. New
// entries are appended to a pending batch first; the first read by index
// sorts the batch and brings it in: entry by entry into the blocks when the
// batch is small, by one merge of everything when it is large. Counting
// needs no sorting. Each entry carries its orderKey, so most comparisons
// are settled without touching the text itself.
//
// Duplicates: in sorted order equal texts are neighbours, and only placing
// a new entry can make two equal entries neighbours (a removal between two
// equal entries leaves equal entries that were neighbours of it already).
// So placing an entry one by one compares it with its one new neighbour
// and notes its text when they are equal; removal then looks up just the
// noted texts and drops the copies after the first. A bulk merge, which
// costs time in proportion to the whole list anyway, instead asks for one
// pass over the whole list. Texts that have left the list in the meantime
// are simply not found.
//
// Not thread-safe, not even for const calls: reading restores the order and
// so changes the storage (never the contents a reader sees).
class SortedEntries {
 public:
  void add(std::string_view entry);
  void clear() noexcept;
  std::size_t count() const noexcept { return m_sortedCount + m_pending.size(); }
  // `index` < count(). Valid until the next call of any member.
  std::string_view at(std::size_t index) const;
  // `indices`: ascending, without repeats, each < count().
  void removeAt(std::span<const std::size_t> indices);
  // Leaves one entry of each text; returns how many entries it removed.
  std::size_t removeDuplicates();

 private:
  struct Entry {
    OrderKey key;  // orderKey(text)
    std::string text;
  };
  using Block = std::vector<Entry>;
  static constexpr std::size_t kBlockSize = 128;

  void restoreOrder() const;
  void insertIntoBlocks() const;
  void mergeAll() const;
  void fillBlocks(std::vector<Entry>&& sorted) const;
  std::vector<Entry> takeAll() const;
  std::size_t blockReaching(const Entry& entry) const;
  void noteIfDuplicate(std::size_t block, std::size_t position) const;
  void collapse(const Entry& entry);
  void collapseAll();
  void dropEmptyBlocks();
  void compactIfSparse();

  // Reading restores the order lazily, which reorganises these; the
  // entries a caller can observe never change in a const call.
  mutable std::vector<Block> m_blocks;   // never holds an empty block
  mutable std::vector<Entry> m_pending;  // added, not yet in the blocks
  mutable std::size_t m_sortedCount = 0; // entries in m_blocks
  mutable std::vector<std::size_t> m_ends;  // running block sizes
  mutable bool m_endsValid = true;
  // Entries placed beside an equal one since the last removal, and whether
  // a bulk merge asks for a pass over everything instead.
  mutable std::vector<Entry> m_duplicated;
  mutable bool m_needsFullPass = false;
};

}  // namespace mailsift::detail
