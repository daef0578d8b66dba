// Compact storage of one text's entries.
#include "app/file_entries.h"

namespace mailsift {

SinkReply FileEntries::addEntry(TargetList target, std::string_view entry) {
  m_texts.append(entry);
  m_ends.push_back(m_texts.size());
  m_targets.push_back(target);
  return SinkReply::Continue;
}

void FileEntries::clear() noexcept {
  m_texts.clear();
  m_ends.clear();
  m_targets.clear();
}

std::string_view FileEntries::text(std::size_t index) const noexcept {
  const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
  return std::string_view(m_texts).substr(begin, m_ends[index] - begin);
}

}  // namespace mailsift
