// The first origins of a scan's entries.
#include "app/entry_origins.h"

namespace mailsift {

std::uint32_t EntryOrigins::indexOf(std::vector<std::string>& names, std::string_view name) {
  // Entries come in runs of one source and one view: the last name is
  // nearly always the one.
  if (names.empty() || names.back() != name) names.emplace_back(name);
  return static_cast<std::uint32_t>(names.size() - 1);
}

void EntryOrigins::note(ListId list, std::string_view entry, std::string_view source, const EntryOrigin& origin) {
  Map& first = m_first[list == ListId::List1 ? 0 : 1];
  if (first.find(entry) != first.end()) return;
  first.emplace(std::string(entry), Kept{indexOf(m_sources, source), indexOf(m_views, origin.view), origin.offset});
}

bool EntryOrigins::find(ListId list, std::string_view entry, Origin& origin) const {
  const Map& first = m_first[list == ListId::List1 ? 0 : 1];
  const auto found = first.find(entry);
  if (found == first.end()) return false;
  origin = Origin{m_sources[found->second.source], found->second.offset, m_views[found->second.view]};
  return true;
}

}  // namespace mailsift
