// A frozen view of one result list, for showing it while the real lists are
// being changed on another thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "results/detail/entry_blocks.h"
#include "results/result_lists.h"

namespace mailsift {

// The entries of one list at one moment. It shares the list's storage
// instead of copying it: the list copies a piece of its storage before it
// changes one that a snapshot shows, so taking a snapshot costs a pointer
// per 128 entries, and nothing when the list has not changed since the
// last one. Immutable once made; any number of threads may read it,
// also while the list it came from is being changed.
class ListSnapshot {
 public:
  ListSnapshot() = default;
  // The entries of `list`, in list order. Same thread rules as ResultLists
  // for `lists`.
  ListSnapshot(const ResultLists& lists, ListId list);

  std::size_t size() const noexcept { return m_entries ? m_entries->size() : 0; }
  bool empty() const noexcept { return size() == 0; }
  // The entry at `index` (< size()), valid while the snapshot lives.
  std::string_view at(std::size_t index) const noexcept { return m_entries->at(index); }

 private:
  std::shared_ptr<const detail::FrozenEntries> m_entries;
};

}  // namespace mailsift
