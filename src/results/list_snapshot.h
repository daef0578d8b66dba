// A frozen copy of one result list, for showing it while the real lists are
// being changed on another thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "results/result_lists.h"

namespace mailsift {

// The entries of one list at one moment, packed into one block of text.
// Immutable once made; any number of threads may read it.
class ListSnapshot {
 public:
  ListSnapshot() = default;
  // Copies every entry of `list`, in list order. Same thread rules as
  // ResultLists for `lists`.
  ListSnapshot(const ResultLists& lists, ListId list);

  std::size_t size() const noexcept { return m_ends.size(); }
  bool empty() const noexcept { return m_ends.empty(); }
  // The entry at `index` (< size()).
  std::string_view at(std::size_t index) const noexcept;

 private:
  std::string m_texts;
  std::vector<std::size_t> m_ends;
};

}  // namespace mailsift
