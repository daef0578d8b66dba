// List1's blocks, its pending batch, its table of texts and its incremental
// duplicate removal.
#include "results/detail/sorted_entries.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <utility>

#include "results/entry_order.h"

namespace mailsift::detail {
namespace {

// Inserting k entries one by one shifts about k * kBlockSize / 2 entries;
// merging everything moves all of them once. The cheaper one is taken.
constexpr std::size_t kInsertShare = 64;

std::ptrdiff_t signedSize(std::size_t size) { return static_cast<std::ptrdiff_t>(size); }

// The order of entries, settled by the keys where they differ; equal texts
// share one id. A class, not a function, so that the standard algorithms
// inline it.
struct ByOrder {
  const TextTable* texts;
  template <class Entry>
  bool operator()(const Entry& left, const Entry& right) const noexcept {
    if (left.key != right.key) return left.key < right.key;
    return left.text != right.text && compareEntries(texts->text(left.text), texts->text(right.text)) < 0;
  }
};

}  // namespace

void SortedEntries::add(std::string_view entry) {
  // Everything that may throw comes before the count changes: room in the
  // batch, the text, the note of a second copy.
  if (m_pending.size() == m_pending.capacity()) m_pending.reserve(std::max<std::size_t>(16, 2 * m_pending.size()));
  const TextId text = m_texts.intern(entry);
  std::size_t& copies = m_texts.copies(text);
  if (copies == 1) m_repeated.push_back(text);
  m_pending.push_back({orderKey(entry), text});
  ++copies;
}

void SortedEntries::clear() noexcept {
  // Moving fresh containers in gives the memory back, which clear() and
  // assigning {} would keep.
  m_blocks = std::vector<Block>();
  m_pending = std::vector<Entry>();
  m_checkedPending = 0;
  m_sortedCount = 0;
  m_ends = std::vector<std::size_t>();
  m_endsValid = true;
  m_repeated = std::vector<TextId>();
  m_texts.clear();
}

std::string_view SortedEntries::at(std::size_t index) const {
  assert(index < count());
  restoreOrder();
  if (!m_endsValid) {
    m_ends.resize(m_blocks.size());
    std::size_t end = 0;
    for (std::size_t b = 0; b < m_blocks.size(); ++b) m_ends[b] = end += m_blocks[b].size();
    m_endsValid = true;
  }
  const auto found = std::upper_bound(m_ends.begin(), m_ends.end(), index);
  const auto block = static_cast<std::size_t>(found - m_ends.begin());
  const std::size_t start = block == 0 ? 0 : m_ends[block - 1];
  return m_texts.text(m_blocks[block][index - start].text);
}

void SortedEntries::restoreOrder() const {
  if (m_pending.empty()) return;
  std::sort(m_pending.begin(), m_pending.end(), ByOrder{&m_texts});
  if (m_pending.size() * kInsertShare < m_sortedCount) {
    insertIntoBlocks();
  } else {
    mergeAll();
  }
  m_pending.clear();
  m_checkedPending = 0;
  m_endsValid = false;
}

void SortedEntries::insertIntoBlocks() const {
  for (const Entry& entry : m_pending) {
    const std::size_t b = std::min(blockReaching(entry), m_blocks.size() - 1);
    Block& block = m_blocks[b];
    block.insert(std::upper_bound(block.begin(), block.end(), entry, ByOrder{&m_texts}), entry);
    ++m_sortedCount;
    if (block.size() >= 2 * kBlockSize) {
      // Split in two halves; `block` is not used after the insertion below.
      Block upper(std::make_move_iterator(block.begin() + signedSize(kBlockSize)),
                  std::make_move_iterator(block.end()));
      block.erase(block.begin() + signedSize(kBlockSize), block.end());
      m_blocks.insert(m_blocks.begin() + signedSize(b + 1), std::move(upper));
    }
  }
}

void SortedEntries::mergeAll() const {
  std::vector<Entry> all = takeAll();
  const std::size_t middle = all.size();
  all.reserve(middle + m_pending.size());
  std::move(m_pending.begin(), m_pending.end(), std::back_inserter(all));
  std::inplace_merge(all.begin(), all.begin() + signedSize(middle), all.end(), ByOrder{&m_texts});
  fillBlocks(std::move(all));
}

std::vector<SortedEntries::Entry> SortedEntries::takeAll() const {
  std::vector<Entry> all;
  all.reserve(m_sortedCount);
  for (Block& block : m_blocks) std::move(block.begin(), block.end(), std::back_inserter(all));
  m_blocks.clear();
  m_sortedCount = 0;
  m_endsValid = false;
  return all;
}

void SortedEntries::fillBlocks(std::vector<Entry>&& sorted) const {
  m_blocks.clear();
  m_blocks.reserve(sorted.size() / kBlockSize + 1);
  for (std::size_t start = 0; start < sorted.size(); start += kBlockSize) {
    const auto first = sorted.begin() + signedSize(start);
    const auto last = sorted.begin() + signedSize(std::min(start + kBlockSize, sorted.size()));
    m_blocks.emplace_back(std::make_move_iterator(first), std::make_move_iterator(last));
  }
  m_sortedCount = sorted.size();
  m_endsValid = false;
}

std::size_t SortedEntries::blockReaching(const Entry& entry) const {
  // The first block whose last entry is not before `entry`; every entry of
  // the blocks before it is.
  const auto found = std::partition_point(m_blocks.begin(), m_blocks.end(), [this, &entry](const Block& block) {
    return ByOrder{&m_texts}(block.back(), entry);
  });
  return static_cast<std::size_t>(found - m_blocks.begin());
}

void SortedEntries::removeAt(std::span<const std::size_t> indices) {
  if (indices.empty()) return;
  restoreOrder();
  std::vector<TextId> emptied;  // texts whose last entry goes
  emptied.reserve(indices.size());
  std::size_t next = 0;
  std::size_t start = 0;
  for (Block& block : m_blocks) {
    const std::size_t size = block.size();
    if (next < indices.size() && indices[next] < start + size) {
      std::size_t kept = 0;
      for (std::size_t i = 0; i < size; ++i) {
        if (next < indices.size() && indices[next] == start + i) {
          ++next;
          if (--m_texts.copies(block[i].text) == 0) emptied.push_back(block[i].text);
          continue;
        }
        if (kept != i) block[kept] = block[i];
        ++kept;
      }
      block.erase(block.begin() + signedSize(kept), block.end());
    }
    start += size;
  }
  assert(next == indices.size());
  m_sortedCount -= indices.size();

  // A noted text below 2 copies needs no removal, and its id may be about
  // to be released; if it reaches 2 again, it is noted again.
  std::erase_if(m_repeated, [this](TextId text) { return m_texts.copies(text) < 2; });
  for (const TextId text : emptied) m_texts.release(text);
  m_texts.compact();

  dropEmptyBlocks();
  compactIfSparse();
}

std::size_t SortedEntries::removeDuplicates() {
  // (a) The entries added since the last removal that are still pending:
  // each goes while another entry has its text.
  std::size_t kept = m_checkedPending;
  for (std::size_t i = m_checkedPending; i < m_pending.size(); ++i) {
    std::size_t& copies = m_texts.copies(m_pending[i].text);
    if (copies > 1) {
      --copies;
      continue;
    }
    if (kept != i) m_pending[kept] = m_pending[i];
    ++kept;
  }
  const std::size_t removed = m_pending.size() - kept;
  m_pending.erase(m_pending.begin() + signedSize(kept), m_pending.end());
  m_checkedPending = kept;

  // (b) Texts with copies left have them all in the blocks (see the design
  // note in the header).
  std::size_t fromBlocks = 0;
  for (const TextId text : m_repeated) {
    if (m_texts.copies(text) > 1) fromBlocks += collapse(text);
  }
  m_repeated.clear();
  if (fromBlocks != 0) compactIfSparse();
  return removed + fromBlocks;
}

std::size_t SortedEntries::collapse(TextId text) {
  const Entry probe{orderKey(m_texts.text(text)), text};
  std::size_t b = blockReaching(probe);
  assert(b < m_blocks.size());
  if (b == m_blocks.size()) return 0;
  Block& block = m_blocks[b];
  const auto first = std::lower_bound(block.begin(), block.end(), probe, ByOrder{&m_texts});
  assert(first != block.end() && first->text == text);
  if (first == block.end() || first->text != text) return 0;

  // The copies follow the first one, maybe on into later blocks. A block
  // they fill entirely goes at once: the next lookup needs every block's
  // last entry.
  const auto differs = [text](const Entry& other) { return other.text != text; };
  auto runEnd = std::find_if(first + 1, block.end(), differs);
  bool reachedEnd = runEnd == block.end();
  std::size_t removed = static_cast<std::size_t>(runEnd - (first + 1));
  block.erase(first + 1, runEnd);
  ++b;
  while (reachedEnd && b < m_blocks.size()) {
    Block& later = m_blocks[b];
    runEnd = std::find_if(later.begin(), later.end(), differs);
    reachedEnd = runEnd == later.end();
    removed += static_cast<std::size_t>(runEnd - later.begin());
    later.erase(later.begin(), runEnd);
    if (later.empty()) {
      m_blocks.erase(m_blocks.begin() + signedSize(b));
    } else {
      ++b;
    }
  }
  m_sortedCount -= removed;
  std::size_t& copies = m_texts.copies(text);
  copies -= removed;
  assert(copies == 1);
  m_endsValid = false;
  return removed;
}

void SortedEntries::dropEmptyBlocks() {
  std::erase_if(m_blocks, [](const Block& block) { return block.empty(); });
  m_endsValid = false;
}

void SortedEntries::compactIfSparse() {
  // Removals leave blocks short; when they average under half their size,
  // they are packed again so that lookups stay short.
  if (m_blocks.size() > 2 * (m_sortedCount / kBlockSize) + 1) fillBlocks(takeAll());
}

}  // namespace mailsift::detail
