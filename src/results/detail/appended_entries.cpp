// List2's entries and its incremental duplicate removal.
#include "results/detail/appended_entries.h"

#include <algorithm>
#include <cassert>
#include <utility>

namespace mailsift::detail {

void AppendedEntries::clear() noexcept {
  // Moving fresh containers in gives the memory back, which clear() and
  // assigning {} would keep.
  m_entries = std::vector<std::string>();
  m_checkedCount = 0;
  m_checkedTexts = TextSet();
  m_textsRoom = 0;
}

void AppendedEntries::removeAt(std::span<const std::size_t> indices) {
  if (indices.empty()) return;
  std::size_t next = 0;
  std::size_t kept = 0;
  std::size_t removedChecked = 0;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (next < indices.size() && indices[next] == i) {
      ++next;
      if (i < m_checkedCount) {
        const auto text = m_checkedTexts.find(std::string_view(m_entries[i]));
        assert(text != m_checkedTexts.end());
        m_checkedTexts.erase(text);
        ++removedChecked;
      }
      continue;
    }
    if (kept != i) m_entries[kept] = std::move(m_entries[i]);
    ++kept;
  }
  assert(next == indices.size());
  m_entries.resize(kept);
  m_checkedCount -= removedChecked;
}

std::size_t AppendedEntries::removeDuplicates() {
  // Entries before m_checkedCount are distinct and precede every unchecked
  // one, so an unchecked entry survives exactly when its text is new.
  const std::size_t before = m_entries.size();
  // Room for every text at once, so a large batch is not rehashed step by
  // step; but at least doubled, as reserving exactly the list's size on
  // every call would rebuild the table each time the list grew a little.
  if (before > m_textsRoom) {
    m_textsRoom = std::max(before, 2 * m_textsRoom);
    m_checkedTexts.reserve(m_textsRoom);
  }
  std::size_t kept = m_checkedCount;
  for (std::size_t i = m_checkedCount; i < before; ++i) {
    if (m_checkedTexts.contains(std::string_view(m_entries[i]))) continue;
    m_checkedTexts.insert(m_entries[i]);
    if (kept != i) m_entries[kept] = std::move(m_entries[i]);
    ++kept;
  }
  m_entries.resize(kept);
  m_checkedCount = kept;
  return before - kept;
}

}  // namespace mailsift::detail
