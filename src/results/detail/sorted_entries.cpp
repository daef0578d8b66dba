// List1's blocks, its pending batch and duplicate removal by sorting.
#include "results/detail/sorted_entries.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "results/entry_order.h"

namespace mailsift::detail {
namespace {

// Inserting k entries one by one shifts about k * kCapacity / 2 entries;
// merging everything moves all of them once. The cheaper one is taken.
constexpr std::size_t kInsertShare = 64;
// A pending batch keeps its room for the next one up to this many entries.
constexpr std::size_t kKeptBatchRoom = std::size_t{1} << 16;
// How far ahead a read by index fetches a text.
constexpr std::size_t kReadAhead = 8;

// The order of entries: the keys where they differ, else the texts.
struct ByOrder {
  const TextArena* texts;
  bool operator()(const Entry& left, const Entry& right) const noexcept {
    if (left.key != right.key) return left.key < right.key;
    if (left.key2 != right.key2) return left.key2 < right.key2;
    return compareEntries(texts->text(left.text), texts->text(right.text)) < 0;
  }
};

bool sameText(const TextArena& texts, const Entry& left, const Entry& right) noexcept {
  return left.key == right.key && left.key2 == right.key2 && texts.text(left.text) == texts.text(right.text);
}

// The sort of a batch. Entries order by their first words, the first eight
// folded bytes, wherever those differ, so the batch is sorted by first words
// alone: radix passes over their bytes for large ranges (American flag sort:
// count the buckets, swap each entry into its bucket, go on with each
// bucket), a comparison for small ones. That leaves runs of equal first
// words, texts that agree in their first eight folded bytes ("info@",
// "user1234"). Comparing those text by text would read the texts at random
// again and again; instead each entry of a run gets its next eight folded
// bytes (the second word, then words from the text) as its key for the
// time being, and the run is sorted the same way, a word deeper. Only tiny
// runs, texts that agree in full when folded and texts that agree in a
// long prefix are sorted by compareEntries.

// Below this many entries a comparison of keys is quicker than a radix pass.
constexpr std::ptrdiff_t kRadixFrom = 256;
// Runs of equal keys shorter than this, or whose texts agree in this many
// folded words, are sorted by compareEntries.
constexpr std::ptrdiff_t kDeeperFrom = 8;
constexpr std::size_t kDeepestWord = 8;
// From this many entries on, a second thread sorts half of the buckets.
constexpr std::ptrdiff_t kTwoThreadsFrom = std::ptrdiff_t{1} << 17;

using BucketSizes = std::ptrdiff_t[256];

// Moves the entries of [first, last) into buckets by the key byte at
// `shift`, in place, and gives the bucket sizes. Returns false, moving
// nothing, when all entries share that byte.
bool distribute(Entry* first, Entry* last, int shift, BucketSizes& sizes) noexcept {
  const auto digit = [shift](const Entry& entry) { return static_cast<std::size_t>((entry.key >> shift) & 0xFF); };
  std::fill(std::begin(sizes), std::end(sizes), 0);
  for (const Entry* entry = first; entry != last; ++entry) ++sizes[digit(*entry)];
  if (sizes[digit(*first)] == last - first) return false;
  std::ptrdiff_t next[256];
  std::ptrdiff_t ends[256];
  std::ptrdiff_t end = 0;
  for (std::size_t d = 0; d < 256; ++d) {
    next[d] = end;
    ends[d] = end += sizes[d];
  }
  for (std::size_t d = 0; d < 256; ++d) {
    while (next[d] < ends[d]) {
      Entry moving = first[next[d]];
      for (std::size_t home = digit(moving); home != d; home = digit(moving)) std::swap(moving, first[next[home]++]);
      first[next[d]++] = moving;
    }
  }
  return true;
}

class BatchSorter {
 public:
  explicit BatchSorter(const TextArena& texts) noexcept : m_texts(texts) {}

  void sort(Entry* first, Entry* last) const noexcept {
    if (last - first < kTwoThreadsFrom) {
      sortByKeys(first, last, 56, 0);
      return;
    }
    // A large batch: once the first pass has made the buckets, a second
    // thread sorts about half of them; they share nothing, and the texts
    // are only read.
    BucketSizes sizes;
    int shift = 56;
    while (!distribute(first, last, shift, sizes)) {
      shift -= 8;
      if (shift < 0) {
        sortRun(first, last, 0);
        return;
      }
    }
    std::size_t middle = 0;
    for (std::ptrdiff_t below = 0; middle < 256 && 2 * (below + sizes[middle]) <= last - first; ++middle) {
      below += sizes[middle];
    }
    std::thread helper;
    try {
      helper = std::thread([&] { sortBuckets(first, sizes, middle, 256, shift, 0); });
    } catch (const std::system_error&) {
      sortBuckets(first, sizes, 0, 256, shift, 0);  // no thread to be had: all here
      return;
    }
    sortBuckets(first, sizes, 0, middle, shift, 0);
    helper.join();
  }

 private:
  // Sorts [first, last) by the key bytes from `shift` down, then each run
  // of equal keys by what follows (`depth`: the keys are the texts' folded
  // word `depth`).
  void sortByKeys(Entry* first, Entry* last, int shift, std::size_t depth) const noexcept {
    for (; shift >= 0 && last - first >= kRadixFrom; shift -= 8) {
      BucketSizes sizes;
      if (distribute(first, last, shift, sizes)) {
        sortBuckets(first, sizes, 0, 256, shift, depth);
        return;
      }
    }
    if (shift >= 0) {
      std::sort(first, last, [](const Entry& left, const Entry& right) { return left.key < right.key; });
    }
    for (Entry* run = first; run != last;) {
      Entry* runEnd = run + 1;
      while (runEnd != last && runEnd->key == run->key) ++runEnd;
      if (runEnd - run > 1) sortRun(run, runEnd, depth);
      run = runEnd;
    }
  }

  void sortBuckets(Entry* first, const BucketSizes& sizes, std::size_t from, std::size_t to, int shift,
                   std::size_t depth) const noexcept {
    Entry* bucket = first;
    for (std::size_t d = 0; d < from; ++d) bucket += sizes[d];
    for (std::size_t d = from; d < to; ++d) {
      if (sizes[d] > 1) sortByKeys(bucket, bucket + sizes[d], shift - 8, depth);
      bucket += sizes[d];
    }
  }

  // Sorts a run whose keys are all equal: by the next folded word, or by
  // compareEntries when the run is tiny or its texts are spent.
  void sortRun(Entry* first, Entry* last, std::size_t depth) const noexcept {
    const ByOrder less{&m_texts};
    if (last - first < kDeeperFrom || depth + 1 == kDeepestWord) {
      std::sort(first, last, less);
      return;
    }
    // The word after the first is at hand in each entry; those after it
    // come from the texts.
    const std::uint64_t key = first->key;
    bool spent = true;
    for (Entry* entry = first; entry != last; ++entry) {
      entry->key = depth == 0 ? entry->key2 : orderWord(m_texts.text(entry->text), depth + 1);
      spent = spent && entry->key == 0;
    }
    if (!spent) {
      sortByKeys(first, last, 56, depth + 1);
    } else {
      // The texts agree in full when folded; their bytes decide, and they
      // are most often simply equal.
      for (Entry* entry = first; entry != last; ++entry) entry->key = key;
      const std::string_view text = m_texts.text(first->text);
      if (std::any_of(first + 1, last, [&](const Entry& entry) { return m_texts.text(entry.text) != text; })) {
        std::sort(first, last, less);
      }
    }
    for (Entry* entry = first; entry != last; ++entry) entry->key = key;
  }

  const TextArena& m_texts;
};

}  // namespace

SortedEntries::SortedEntries() noexcept : m_batchMark(m_texts.mark()) {}

void SortedEntries::add(std::string_view entry) {
  // Room first, so that a failure after the text is stored cannot happen.
  if (m_pending.size() == m_pending.capacity()) m_pending.reserve(std::max<std::size_t>(16, 2 * m_pending.size()));
  const TextRef text = m_texts.append(entry);
  const OrderKey key = orderKey(entry);
  m_pending.push_back({key.high, key.low, text});  // room reserved above
}

void SortedEntries::clear() noexcept {
  m_blocks.clear();
  // Moving fresh containers in gives the memory back, which clear() and
  // assigning {} would keep.
  m_pending.reset();
  m_repeated = std::vector<std::string>();
  m_texts.clear();
  m_batchMark = m_texts.mark();
  m_batchIntact = true;
}

std::string_view SortedEntries::at(std::size_t index) const {
  assert(index < count());
  placeBatch(false);
  const EntryBlocks::Place place = m_blocks.locate(index);
  const std::span<const Entry> block = m_blocks.block(place.block);
  // The texts lie in the order they were added, not in list order, so a
  // read through the list jumps about the arena. Readers go through the
  // list by consecutive indices (printing, export, a view): asking for a
  // text a few entries ahead lets its fetch overlap with the work on this one.
#if defined(__GNUC__)
  if (place.offset + kReadAhead < block.size()) {
    __builtin_prefetch(m_texts.text(block[place.offset + kReadAhead].text).data());
  }
#endif
  return m_texts.text(block[place.offset].text);
}

std::shared_ptr<const FrozenEntries> SortedEntries::freeze() const {
  placeBatch(false);
  return m_blocks.freeze(m_texts);
}

std::size_t SortedEntries::placeBatch(bool dropDuplicates) const {
  if (m_pending.empty()) return 0;
  if (!dropDuplicates) m_batchIntact = false;  // the texts now belong to placed entries
  BatchSorter(m_texts).sort(m_pending.begin(), m_pending.end());

  // Equal texts in the batch are neighbours now.
  std::size_t removed = 0;
  if (dropDuplicates) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
      if (kept != 0 && sameText(m_texts, m_pending[kept - 1], m_pending[i])) {
        m_texts.release(m_pending[i].text);
        continue;
      }
      m_pending[kept++] = m_pending[i];
    }
    removed = m_pending.size() - kept;
    m_pending.shrink(kept);
  } else {
    for (std::size_t i = 1; i < m_pending.size(); ++i) {
      if (sameText(m_texts, m_pending[i - 1], m_pending[i])) notePlacedTwice(m_pending[i]);
    }
  }

  if (m_pending.size() * kInsertShare < m_blocks.size()) {
    removed += insertBatch(dropDuplicates);
  } else {
    removed += mergeBatch(dropDuplicates);
  }
  // A small batch's room is kept for the next one.
  if (m_pending.capacity() > kKeptBatchRoom) {
    m_pending.reset();
  } else {
    m_pending.shrink(0);
  }
  return removed;
}

std::size_t SortedEntries::insertBatch(bool dropDuplicates) const {
  const ByOrder less{&m_texts};
  std::size_t removed = 0;
  std::size_t done = 0;
  try {
    for (; done < m_pending.size(); ++done) {
      const Entry& entry = m_pending[done];
      // The first block whose last entry is not before `entry`; every
      // entry of the blocks before it is.
      const std::span<const Entry> lasts = m_blocks.lasts();
      const auto b = static_cast<std::size_t>(
          std::partition_point(lasts.begin(), lasts.end(), [&](const Entry& last) { return less(last, entry); }) -
          lasts.begin());
      if (b == lasts.size()) {
        m_blocks.append(entry);
        continue;
      }
      const std::span<const Entry> block = m_blocks.block(b);
      const auto offset =
          static_cast<std::size_t>(std::lower_bound(block.begin(), block.end(), entry, less) - block.begin());
      // The block's last entry is not before `entry`, so offset < its size.
      if (sameText(m_texts, block[offset], entry)) {
        if (dropDuplicates) {
          m_texts.release(entry.text);
          ++removed;
          continue;
        }
        notePlacedTwice(entry);
      }
      m_blocks.insert({b, offset}, entry);
    }
  } catch (...) {
    // The entries placed or dropped so far leave the batch; the rest stay.
    std::copy(m_pending.begin() + done, m_pending.end(), m_pending.begin());
    m_pending.shrink(m_pending.size() - done);
    throw;
  }
  return removed;
}

std::size_t SortedEntries::mergeBatch(bool dropDuplicates) const {
  const ByOrder less{&m_texts};
  std::size_t removed = 0;
  if (dropDuplicates && !m_blocks.empty()) {
    // First the batch entries whose text is placed already go; nothing in
    // this pass allocates, so the merge below finds a consistent state if
    // it fails.
    std::size_t kept = 0;
    std::size_t b = 0;
    std::size_t k = 0;
    for (const Entry& entry : m_pending) {
      while (b < m_blocks.blockCount()) {
        const std::span<const Entry> block = m_blocks.block(b);
        if (!less(block[k], entry)) break;
        if (++k == block.size()) {
          ++b;
          k = 0;
        }
      }
      if (b < m_blocks.blockCount() && sameText(m_texts, m_blocks.block(b)[k], entry)) {
        m_texts.release(entry.text);
        continue;
      }
      m_pending[kept++] = entry;
    }
    removed = m_pending.size() - kept;
    m_pending.shrink(kept);
  }

  if (m_blocks.empty()) {
    // The sorted batch becomes the blocks as it is.
    EntryBlocks::Builder batch = m_blocks.builder(std::move(m_pending));
    try {
      m_blocks.assign(std::move(batch));
    } catch (...) {
      m_pending = batch.take();
      throw;
    }
    return removed;
  }
  EntryBlocks::Builder merged = m_blocks.builder();
  merged.reserve(m_blocks.size() + m_pending.size());
  const Entry* next = m_pending.begin();
  for (std::size_t b = 0; b < m_blocks.blockCount(); ++b) {
    for (const Entry& placed : m_blocks.block(b)) {
      for (; next != m_pending.end() && less(*next, placed); ++next) merged.add(*next);
      if (!dropDuplicates && next != m_pending.end() && sameText(m_texts, *next, placed)) notePlacedTwice(placed);
      merged.add(placed);
    }
  }
  for (; next != m_pending.end(); ++next) merged.add(*next);
  m_blocks.assign(std::move(merged));
  return removed;
}

void SortedEntries::notePlacedTwice(const Entry& entry) const { m_repeated.emplace_back(m_texts.text(entry.text)); }

std::size_t SortedEntries::removeDuplicates() {
  // (a) The runs that placements for reads left.
  std::size_t removed = 0;
  for (const std::string& text : m_repeated) removed += collapse(text);
  m_repeated.clear();

  // (b) The batch. When all of it goes and nothing else was stored since
  // it began, the arena forgets its texts.
  const std::size_t batch = m_pending.size();
  const std::size_t dropped = placeBatch(true);
  removed += dropped;
  if (batch != 0 && dropped == batch && m_batchIntact) m_texts.dropAfter(m_batchMark);

  compactTexts();
  m_batchMark = m_texts.mark();
  m_batchIntact = true;
  return removed;
}

std::size_t SortedEntries::collapse(const std::string& text) {
  // Named copies: a lambda may not capture structured bindings in every
  // compiler the checks run.
  const auto keys = orderKey(text);
  const std::uint64_t key = keys.high;
  const std::uint64_t key2 = keys.low;
  const auto before = [&](const Entry& entry) {
    if (entry.key != key) return entry.key < key;
    if (entry.key2 != key2) return entry.key2 < key2;
    return compareEntries(m_texts.text(entry.text), text) < 0;
  };
  const auto isCopy = [&](const Entry& entry) {
    return entry.key == key && entry.key2 == key2 && m_texts.text(entry.text) == text;
  };
  const std::span<const Entry> lasts = m_blocks.lasts();
  std::size_t b = static_cast<std::size_t>(std::partition_point(lasts.begin(), lasts.end(), before) - lasts.begin());
  if (b == lasts.size()) return 0;
  std::span<const Entry> block = m_blocks.block(b);
  std::size_t first =
      static_cast<std::size_t>(std::partition_point(block.begin(), block.end(), before) - block.begin());
  // Its entries may all have gone since the placement noted it.
  if (!isCopy(block[first])) return 0;

  // The copies follow the first one, maybe on into later blocks.
  std::size_t removed = 0;
  ++first;
  const auto release = [this](const Entry& entry) { m_texts.release(entry.text); };
  while (b < m_blocks.blockCount()) {
    block = m_blocks.block(b);
    std::size_t end = first;
    while (end < block.size() && isCopy(block[end])) ++end;
    const bool reachedEnd = end == block.size();
    const bool emptied = first == 0 && reachedEnd;
    m_blocks.erase(b, first, end, release);
    removed += end - first;
    if (!reachedEnd) break;
    if (!emptied) ++b;  // an emptied block is gone, and the next one took its index
    first = 0;
  }
  if (removed != 0) m_blocks.packIfSparse();
  return removed;
}

void SortedEntries::removeAt(std::span<const std::size_t> indices) {
  if (indices.empty()) return;
  placeBatch(false);
  m_blocks.eraseAt(indices, [this](std::size_t, const Entry& entry) { m_texts.release(entry.text); });
  m_blocks.packIfSparse();
  compactTexts();
}

void SortedEntries::compactTexts() noexcept {
  if (!m_texts.isWasteful()) return;
  assert(m_pending.empty());
  try {
    TextArena fresh;
    std::vector<TextRef> texts;
    texts.reserve(m_blocks.size());
    for (std::size_t b = 0; b < m_blocks.blockCount(); ++b) {
      for (const Entry& entry : m_blocks.block(b)) texts.push_back(fresh.take(m_texts, entry.text));
    }
    m_blocks.rewriteTexts(texts);
    m_texts = std::move(fresh);
  } catch (const std::bad_alloc&) {
    return;  // the arena works on as it is
  }
  m_batchMark = m_texts.mark();
}

}  // namespace mailsift::detail
