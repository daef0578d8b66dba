// The storage of List1: entries kept in the order of compareEntries, built
// so that a million entries go in, are read by index and lose their
// duplicates without any step costing time in proportion to the square of
// the list.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "results/detail/text_table.h"
#include "results/entry_order.h"

namespace mailsift::detail {

// Design: the sorted entries sit in a row of blocks of about kBlockSize
// entries each, so an insertion shifts one block, not the whole list, and
// the entry at an index is found through the running block sizes. New
// entries are appended to a pending batch first; the first read by index
// sorts the batch and brings it in: entry by entry into the blocks when the
// batch is small, by one merge of everything when it is large. Counting
// needs no sorting, and neither does duplicate removal. Each entry carries
// its orderKey, so most comparisons are settled without touching the text.
//
// Texts: each distinct text is stored once, in the TextTable m_texts, with
// the number of entries that have it. An entry names its text by the id
// there (ids keep their meaning when the table grows), and the text goes
// with the last entry that has it. So equal entries hold the same id, and
// an entry is small and cheap to move.
//
// Duplicates: right after a removal every text has one entry. Adding a
// second copy of a text notes the text. The next removal (a) walks the part
// of the pending batch added since the last removal and drops an entry
// while its text has more than one, so that one copy stays; then (b) a
// noted text that still has several has them all in the blocks: (a) has
// dropped its new pending copies, and an older pending entry remains only
// if nothing has been read or removed by index since the last removal, in
// which case the blocks have gained nothing and (a) has seen every new
// copy. In the blocks equal entries are neighbours, so the copies after the
// first are cut out of their run. The pending batch stays unsorted; the
// work follows the entries added since the last removal, plus a lookup per
// noted text.
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
  using TextId = TextTable::Id;
  struct Entry {
    OrderKey key;  // orderKey of the text
    TextId text;   // in m_texts
  };
  using Block = std::vector<Entry>;
  static constexpr std::size_t kBlockSize = 128;

  void restoreOrder() const;
  void insertIntoBlocks() const;
  void mergeAll() const;
  void fillBlocks(std::vector<Entry>&& sorted) const;
  std::vector<Entry> takeAll() const;
  std::size_t blockReaching(const Entry& entry) const;
  std::size_t collapse(TextId text);
  void dropEmptyBlocks();
  void compactIfSparse();

  // Reading restores the order lazily, which reorganises these; the
  // entries a caller can observe never change in a const call.
  mutable std::vector<Block> m_blocks;       // never holds an empty block
  mutable std::vector<Entry> m_pending;      // added, not yet in the blocks
  mutable std::size_t m_checkedPending = 0;  // m_pending[0, this) were there at the last removal
  mutable std::size_t m_sortedCount = 0;     // entries in m_blocks
  mutable std::vector<std::size_t> m_ends;   // running block sizes
  mutable bool m_endsValid = true;
  TextTable m_texts;  // the texts of all entries, pending or placed
  // The texts whose count has reached 2 since the last removal and not
  // dropped below 2 since, each once. removeAt forgets those it brings
  // below 2 (before their ids may be released), and a text that reaches 2
  // again is listed again.
  std::vector<TextId> m_repeated;
};

}  // namespace mailsift::detail
