// The two result lists over their storage classes.
#include "results/result_lists.h"

#include <algorithm>
#include <string>
#include <vector>

namespace mailsift {
namespace {

// The indices that name entries, ascending and without repeats.
std::vector<std::size_t> normalised(std::span<const std::size_t> indices, std::size_t count) {
  std::vector<std::size_t> result;
  result.reserve(indices.size());
  for (const std::size_t index : indices) {
    if (index < count) result.push_back(index);
  }
  std::sort(result.begin(), result.end());
  result.erase(std::unique(result.begin(), result.end()), result.end());
  return result;
}

}  // namespace

void ResultLists::add(ListId list, std::string_view entry) {
  if (list == ListId::List1) {
    m_list1.add(entry);
  } else {
    m_list2.add(entry);
  }
}

void ResultLists::clear(ListId list) noexcept {
  if (list == ListId::List1) {
    m_list1.clear();
  } else {
    m_list2.clear();
  }
}

void ResultLists::clear() noexcept {
  m_list1.clear();
  m_list2.clear();
}

std::size_t ResultLists::count(ListId list) const noexcept {
  return list == ListId::List1 ? m_list1.count() : m_list2.count();
}

std::string_view ResultLists::at(ListId list, std::size_t index) const {
  return list == ListId::List1 ? m_list1.at(index) : m_list2.at(index);
}

std::size_t ResultLists::removeSelected(ListId list, std::span<const std::size_t> indices) {
  const std::vector<std::size_t> selected = normalised(indices, count(list));
  if (list == ListId::List1) {
    m_list1.removeAt(selected);
  } else {
    m_list2.removeAt(selected);
  }
  return selected.size();
}

std::size_t ResultLists::moveSelected(ListId from, std::span<const std::size_t> indices) {
  const std::vector<std::size_t> selected = normalised(indices, count(from));
  std::vector<std::string> moving;
  moving.reserve(selected.size());
  for (auto index = selected.rbegin(); index != selected.rend(); ++index) moving.emplace_back(at(from, *index));
  removeSelected(from, selected);
  const ListId to = otherList(from);
  for (const std::string& entry : moving) add(to, entry);
  return moving.size();
}

std::shared_ptr<const detail::FrozenEntries> ResultLists::freeze(ListId list) const {
  return list == ListId::List1 ? m_list1.freeze() : m_list2.freeze();
}

std::size_t ResultLists::removeDuplicates(ListId list) {
  return list == ListId::List1 ? m_list1.removeDuplicates() : m_list2.removeDuplicates();
}

}  // namespace mailsift
