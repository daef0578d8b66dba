// Compact storage of one text's entries.
#include "app/file_entries.h"

namespace mailsift {

SinkReply FileEntries::addEntry(TargetList target, std::string_view entry) {
  if (m_keepOrigins) return addEntryFrom(target, entry, EntryOrigin{});
  return append(target, entry);
}

SinkReply FileEntries::append(TargetList target, std::string_view entry) {
  m_texts.append(entry);
  m_ends.push_back(m_texts.size());
  m_targets.push_back(target);
  return SinkReply::Continue;
}

SinkReply FileEntries::addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) {
  if (m_keepOrigins) {
    if (m_views.empty() || m_views.back() != origin.view) m_views.emplace_back(origin.view);
    m_offsets.push_back(origin.offset);
    m_viewOf.push_back(static_cast<std::uint32_t>(m_views.size() - 1));
  }
  return append(target, entry);
}

void FileEntries::clear() noexcept {
  m_texts.clear();
  m_ends.clear();
  m_targets.clear();
  m_offsets.clear();
  m_viewOf.clear();
  m_views.clear();
}

EntryOrigin FileEntries::origin(std::size_t index) const noexcept {
  if (index >= m_offsets.size()) return {};
  return EntryOrigin{m_offsets[index], m_views[m_viewOf[index]]};
}

std::string_view FileEntries::text(std::size_t index) const noexcept {
  const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
  return std::string_view(m_texts).substr(begin, m_ends[index] - begin);
}

}  // namespace mailsift
