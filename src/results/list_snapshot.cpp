// Packing a list into a snapshot.
#include "results/list_snapshot.h"

namespace mailsift {

ListSnapshot::ListSnapshot(const ResultLists& lists, ListId list) {
  const std::size_t count = lists.count(list);
  m_ends.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    m_texts.append(lists.at(list, i));
    m_ends.push_back(m_texts.size());
  }
}

std::string_view ListSnapshot::at(std::size_t index) const noexcept {
  const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
  return std::string_view(m_texts).substr(begin, m_ends[index] - begin);
}

}  // namespace mailsift
