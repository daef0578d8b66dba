// The two result lists: List1 holds recognised addresses in a fixed sorted
// order, List2 unrecognised candidates in the order they were added.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "results/detail/appended_entries.h"
#include "results/detail/sorted_entries.h"

namespace mailsift {

enum class ListId : unsigned char {
  List1,  // recognised addresses, sorted by compareEntries (results/entry_order.h)
  List2,  // unrecognised candidates, in insertion order
};

// The other list: List2 for List1 and List1 for List2.
constexpr ListId otherList(ListId list) noexcept { return list == ListId::List1 ? ListId::List2 : ListId::List1; }

// Both result lists. An entry is a text (lower-case UTF-8 as the scanner
// delivers it, though any bytes are kept as given) addressed by a 0-based
// index; a list may hold the same text more than once until its duplicates
// are removed. A list holds as many entries as memory allows.
//
// Adding and duplicate removal are cheap at any size: List1 places its new
// entries in bulk at the next duplicate removal or read by index, whichever
// comes first. Every read sees List1 in its sorted order; reading by
// consecutive indices costs no search. A ListSnapshot shares the lists'
// storage rather than copying it.
//
// Not thread-safe. Even the const members may reorganise List1's storage,
// so every call, reads included, must come from one thread at a time.
// Snapshots taken from the lists may be read on any thread meanwhile.
// Members that allocate throw std::bad_alloc when memory runs out.
class ResultLists {
 public:
  // Adds a copy of `entry` to `list`: at its sorted position in List1, at
  // the end of List2.
  void add(ListId list, std::string_view entry);

  // Removes every entry of `list`, or of both lists, and frees their memory.
  void clear(ListId list) noexcept;
  void clear() noexcept;

  std::size_t count(ListId list) const noexcept;

  // The entry at `index` of `list`; `index` must be less than count(list).
  // The view stays valid until the next call of any member.
  std::string_view at(ListId list, std::size_t index) const;

  // Removes the entries of `list` at `indices`, which may come in any order
  // and repeat; indices at or past the end are ignored. The other entries
  // keep their order. Returns how many entries were removed.
  std::size_t removeSelected(ListId list, std::span<const std::size_t> indices);

  // Moves the entries of `from` at `indices` (read as for removeSelected)
  // into the other list, taking them from the highest index down: into List2
  // they are appended in that order, so in reverse of their order in `from`;
  // into List1 they take their sorted places. Duplicates are not removed.
  // Returns how many entries were moved.
  std::size_t moveSelected(ListId from, std::span<const std::size_t> indices);

  // Removes the duplicates of `list`: of the entries with one text, only the
  // one with the lowest index stays, and the survivors keep their order. Two
  // entries are duplicates only when their texts are equal in full. An
  // empty list is left alone. Returns how many entries were removed.
  //
  // The work is in proportion to the entries added or moved into `list`
  // since its last duplicate removal (with a logarithmic factor for List1),
  // not to the length of the list, so it can run after every file of a
  // large folder scan.
  std::size_t removeDuplicates(ListId list);

 private:
  friend class ListSnapshot;
  std::shared_ptr<const detail::FrozenEntries> freeze(ListId list) const;

  detail::SortedEntries m_list1;
  detail::AppendedEntries m_list2;
};

}  // namespace mailsift
