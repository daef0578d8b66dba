// The storage of List2: entries in the order they were added, with the
// bookkeeping that lets duplicate removal look only at what is new.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "results/detail/text_set.h"

namespace mailsift::detail {

// Design: after a duplicate removal every entry is distinct, and the hash
// set m_checkedTexts holds exactly the texts of the entries checked so far,
// which form the front of the list. Later entries are only ever appended,
// so the next removal walks the unchecked tail alone, keeping an entry when
// its text is not yet in the set. Removing a checked entry takes its text
// out of the set, since no other checked entry has it.
//
// Not thread-safe.
class AppendedEntries {
 public:
  void add(std::string_view entry) { m_entries.emplace_back(entry); }
  void clear() noexcept;
  std::size_t count() const noexcept { return m_entries.size(); }
  // `index` < count(). Valid until the next call of a non-const member.
  std::string_view at(std::size_t index) const { return m_entries[index]; }
  // `indices`: ascending, without repeats, each < count().
  void removeAt(std::span<const std::size_t> indices);
  // Leaves the first entry of each text; returns how many entries it removed.
  std::size_t removeDuplicates();

 private:
  std::vector<std::string> m_entries;
  std::size_t m_checkedCount = 0;  // m_entries[0, m_checkedCount) are distinct
  TextSet m_checkedTexts;          // their texts
  std::size_t m_textsRoom = 0;     // texts m_checkedTexts was last reserved for
};

}  // namespace mailsift::detail
