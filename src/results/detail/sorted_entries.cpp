// List1's blocks, its pending batch and its incremental duplicate removal.
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
// Looking up one noted text costs a few dozen comparisons; a pass over the
// whole list costs one per entry. Past this share the pass is cheaper.
constexpr std::size_t kCollapseShare = 16;

std::ptrdiff_t signedSize(std::size_t size) { return static_cast<std::ptrdiff_t>(size); }

// The order of entries, settled by the keys where they differ. A class, not
// a function, so that the standard algorithms inline it.
struct ByOrder {
  template <class Entry>
  bool operator()(const Entry& left, const Entry& right) const noexcept {
    if (left.key != right.key) return left.key < right.key;
    return compareEntries(left.text, right.text) < 0;
  }
};

template <class Entry>
bool same(const Entry& left, const Entry& right) noexcept {
  return left.key == right.key && left.text == right.text;
}

}  // namespace

void SortedEntries::add(std::string_view entry) { m_pending.push_back({orderKey(entry), std::string(entry)}); }

void SortedEntries::clear() noexcept {
  // Fresh containers give the memory back, which clear() would keep.
  m_blocks = {};
  m_pending = {};
  m_sortedCount = 0;
  m_ends = {};
  m_endsValid = true;
  m_duplicated = {};
  m_needsFullPass = false;
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
  return m_blocks[block][index - start].text;
}

void SortedEntries::restoreOrder() const {
  if (m_pending.empty()) return;
  std::sort(m_pending.begin(), m_pending.end(), ByOrder{});
  if (m_pending.size() * kInsertShare < m_sortedCount) {
    insertIntoBlocks();
  } else {
    mergeAll();
  }
  m_pending.clear();
  m_endsValid = false;
}

void SortedEntries::insertIntoBlocks() const {
  for (Entry& entry : m_pending) {
    const std::size_t b = std::min(blockReaching(entry), m_blocks.size() - 1);
    Block& block = m_blocks[b];
    const auto inserted = block.insert(std::upper_bound(block.begin(), block.end(), entry, ByOrder{}),
                                       std::move(entry));
    const auto placed = static_cast<std::size_t>(inserted - block.begin());
    ++m_sortedCount;
    noteIfDuplicate(b, placed);
    if (block.size() >= 2 * kBlockSize) {
      // Split in two halves; `block` is not used after the insertion below.
      Block upper(std::make_move_iterator(block.begin() + signedSize(kBlockSize)),
                  std::make_move_iterator(block.end()));
      block.erase(block.begin() + signedSize(kBlockSize), block.end());
      m_blocks.insert(m_blocks.begin() + signedSize(b + 1), std::move(upper));
    }
  }
}

void SortedEntries::noteIfDuplicate(std::size_t block, std::size_t position) const {
  // An entry goes after the equal entries of its block, and when equal
  // entries run on into the next block its block ends with one of them; so
  // if any entry equals it, the one just before it does.
  const Entry& entry = m_blocks[block][position];
  const Entry* before = nullptr;
  if (position > 0) {
    before = &m_blocks[block][position - 1];
  } else if (block > 0) {
    before = &m_blocks[block - 1].back();
  }
  if (before == nullptr || !same(*before, entry)) return;
  // The batch is sorted, so repeated texts arrive together.
  if (m_duplicated.empty() || !same(m_duplicated.back(), entry)) m_duplicated.push_back(entry);
}

void SortedEntries::mergeAll() const {
  std::vector<Entry> all = takeAll();
  const std::size_t middle = all.size();
  all.reserve(middle + m_pending.size());
  std::move(m_pending.begin(), m_pending.end(), std::back_inserter(all));
  std::inplace_merge(all.begin(), all.begin() + signedSize(middle), all.end(), ByOrder{});
  fillBlocks(std::move(all));
  m_needsFullPass = true;
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
  const auto found = std::partition_point(m_blocks.begin(), m_blocks.end(),
                                          [&entry](const Block& block) { return ByOrder{}(block.back(), entry); });
  return static_cast<std::size_t>(found - m_blocks.begin());
}

void SortedEntries::removeAt(std::span<const std::size_t> indices) {
  if (indices.empty()) return;
  restoreOrder();
  std::size_t next = 0;
  std::size_t start = 0;
  for (Block& block : m_blocks) {
    const std::size_t size = block.size();
    if (next < indices.size() && indices[next] < start + size) {
      std::size_t kept = 0;
      for (std::size_t i = 0; i < size; ++i) {
        if (next < indices.size() && indices[next] == start + i) {
          ++next;
          continue;
        }
        if (kept != i) block[kept] = std::move(block[i]);
        ++kept;
      }
      block.erase(block.begin() + signedSize(kept), block.end());
    }
    start += size;
  }
  assert(next == indices.size());
  m_sortedCount -= indices.size();
  dropEmptyBlocks();
  compactIfSparse();
}

std::size_t SortedEntries::removeDuplicates() {
  const std::size_t before = count();
  if (before != 0) {
    restoreOrder();
    if (m_needsFullPass || m_duplicated.size() * kCollapseShare >= m_sortedCount) {
      collapseAll();
    } else {
      for (const Entry& entry : m_duplicated) collapse(entry);
    }
    dropEmptyBlocks();
    compactIfSparse();
  }
  m_duplicated.clear();
  m_needsFullPass = false;
  return before - count();
}

void SortedEntries::collapse(const Entry& entry) {
  std::size_t b = blockReaching(entry);
  if (b == m_blocks.size()) return;
  const auto differs = [&entry](const Entry& other) { return !same(other, entry); };
  Block& block = m_blocks[b];
  const auto first = std::lower_bound(block.begin(), block.end(), entry, ByOrder{});
  if (first == block.end() || !same(*first, entry)) return;

  // The copies follow the first one, maybe on into later blocks. A block
  // they fill entirely goes at once: the next lookup needs every block's
  // last entry.
  auto runEnd = std::find_if(first + 1, block.end(), differs);
  bool reachedEnd = runEnd == block.end();
  m_sortedCount -= static_cast<std::size_t>(runEnd - (first + 1));
  block.erase(first + 1, runEnd);
  ++b;
  while (reachedEnd && b < m_blocks.size()) {
    Block& later = m_blocks[b];
    runEnd = std::find_if(later.begin(), later.end(), differs);
    reachedEnd = runEnd == later.end();
    m_sortedCount -= static_cast<std::size_t>(runEnd - later.begin());
    later.erase(later.begin(), runEnd);
    if (later.empty()) {
      m_blocks.erase(m_blocks.begin() + signedSize(b));
    } else {
      ++b;
    }
  }
  m_endsValid = false;
}

void SortedEntries::collapseAll() {
  const Entry* previous = nullptr;  // the last entry kept; blocks do not move here
  for (Block& block : m_blocks) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
      if (previous != nullptr && same(block[i], *previous)) continue;
      if (kept != i) block[kept] = std::move(block[i]);
      previous = &block[kept++];
    }
    m_sortedCount -= block.size() - kept;
    block.erase(block.begin() + signedSize(kept), block.end());
  }
  m_endsValid = false;
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
