// List2's entries and its incremental duplicate removal.
#include "results/detail/appended_entries.h"

#include <cassert>
#include <new>
#include <utility>
#include <vector>

namespace mailsift::detail {

AppendedEntries::AppendedEntries() noexcept : m_batchMark(m_texts.mark()) {}

void AppendedEntries::add(std::string_view entry) {
  const TextRef text = m_texts.append(entry);
  try {
    m_entries.append({0, 0, text});
  } catch (...) {
    m_texts.release(text);
    throw;
  }
}

void AppendedEntries::clear() noexcept {
  m_entries.clear();
  m_texts.clear();
  m_checkedCount = 0;
  // Moving a fresh table in gives the memory back.
  m_checkedTexts = TextTable();
  m_batchMark = m_texts.mark();
  m_batchIntact = true;
}

std::shared_ptr<const FrozenEntries> AppendedEntries::freeze() const {
  if (m_checkedCount != m_entries.size()) m_batchIntact = false;
  return m_entries.freeze(m_texts);
}

void AppendedEntries::removeAt(std::span<const std::size_t> indices) {
  std::size_t removedChecked = 0;
  try {
    m_entries.eraseAt(indices, [&](std::size_t index, const Entry& entry) {
      if (index < m_checkedCount) {
        // The table holds each checked text once, for this entry alone.
        m_checkedTexts.release(m_checkedTexts.find(m_texts.text(entry.text)));
        ++removedChecked;
      }
      m_texts.release(entry.text);
    });
  } catch (...) {
    m_checkedCount -= removedChecked;
    throw;
  }
  m_checkedCount -= removedChecked;
  m_checkedTexts.compact();
  compactTexts();
}

std::size_t AppendedEntries::removeDuplicates() {
  // Entries before m_checkedCount are distinct and precede every unchecked
  // one, so an unchecked entry survives exactly when its text is new.
  const std::size_t before = m_entries.size();
  if (m_checkedCount == before) return 0;
  std::vector<Entry> kept;
  kept.reserve(before - m_checkedCount);
  std::vector<TextRef> dropped;
  try {
    for (std::size_t i = m_checkedCount; i < before; ++i) {
      const Entry entry = m_entries.at(i);
      const std::string_view text = m_texts.text(entry.text);
      const std::size_t known = m_checkedTexts.size();
      m_checkedTexts.intern(text);
      if (m_checkedTexts.size() == known) {
        dropped.push_back(entry.text);
      } else {
        kept.push_back(entry);  // room reserved above
      }
    }
    if (!dropped.empty()) m_entries.replaceTail(m_checkedCount, kept);
  } catch (...) {
    // The table forgets the texts this call added; the entries are as they were.
    for (const Entry& entry : kept) m_checkedTexts.release(m_checkedTexts.find(m_texts.text(entry.text)));
    throw;
  }
  for (const TextRef text : dropped) m_texts.release(text);
  // When the whole batch went and nothing else was stored since it began,
  // the arena forgets its texts.
  if (kept.empty() && m_batchIntact) m_texts.dropAfter(m_batchMark);
  m_checkedCount += kept.size();
  compactTexts();
  m_batchMark = m_texts.mark();
  m_batchIntact = true;
  return dropped.size();
}

void AppendedEntries::compactTexts() noexcept {
  if (!m_texts.isWasteful()) return;
  try {
    TextArena fresh;
    std::vector<TextRef> texts;
    texts.reserve(m_entries.size());
    for (std::size_t b = 0; b < m_entries.blockCount(); ++b) {
      for (const Entry& entry : m_entries.block(b)) texts.push_back(fresh.take(m_texts, entry.text));
    }
    m_entries.rewriteTexts(texts);
    m_texts = std::move(fresh);
  } catch (const std::bad_alloc&) {
    return;  // the arena works on as it is
  }
  // The unchecked entries' texts are now spread through the fresh arena.
  m_batchIntact = m_checkedCount == m_entries.size();
  m_batchMark = m_texts.mark();
}

}  // namespace mailsift::detail
