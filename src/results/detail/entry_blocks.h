// A list's entries in a row of fixed-size blocks that the list's snapshots
// share: freezing the list copies a pointer per block, and a block is copied
// only when the list changes it while a snapshot still may show it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/byte_buffer.h"
#include "results/detail/text_arena.h"

namespace mailsift::detail {

// One entry: two words its list uses as it likes (List1 keeps the first
// sixteen folded bytes of the text there) and its text in the list's
// TextArena.
struct Entry {
  std::uint64_t key;
  std::uint64_t key2;
  TextRef text;
};

// A growing array of entries. A large one lives in huge pages where the
// system offers them and grows by remapping rather than copying (see
// platform::ByteBuffer), and the array can be handed to blocks
// (EntryBlocks::Builder), so that a batch of a million entries is never
// copied on its way into a list and costs few page faults. Not thread-safe.
class EntryBuffer {
 public:
  EntryBuffer() noexcept;
  EntryBuffer(EntryBuffer&& other) noexcept;
  EntryBuffer& operator=(EntryBuffer&& other) noexcept;
  ~EntryBuffer();

  Entry* begin() noexcept { return m_data; }
  Entry* end() noexcept { return m_data + m_size; }
  const Entry* begin() const noexcept { return m_data; }
  const Entry* end() const noexcept { return m_data + m_size; }
  Entry& operator[](std::size_t index) noexcept { return m_data[index]; }
  const Entry& operator[](std::size_t index) const noexcept { return m_data[index]; }
  std::size_t size() const noexcept { return m_size; }
  bool empty() const noexcept { return m_size == 0; }
  std::size_t capacity() const noexcept { return m_capacity; }

  // Room for `count` entries in all. Throws std::bad_alloc; then unchanged.
  void reserve(std::size_t count);
  // Appends, doubling the room when it is full. Throws std::bad_alloc.
  void push_back(const Entry& entry) {
    if (m_size == m_capacity) reserve(std::max<std::size_t>(16, 2 * m_capacity));
    m_data[m_size++] = entry;
  }
  // Keeps the first `count` (<= size()) entries.
  void shrink(std::size_t count) noexcept { m_size = count; }
  // Forgets the entries and frees the memory.
  void reset() noexcept;

  // The memory as a shared array, for blocks to point into; the buffer is
  // left empty. Throws std::bad_alloc; then unchanged.
  std::shared_ptr<Entry[]> share();

 private:
  platform::ByteBuffer m_bytes;
  Entry* m_data = nullptr;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// A block of a list's entries: either entries of its own, or a slice of an
// array that several blocks share (a sorted batch or a merge), which lives
// while any of its slices does.
struct EntryBlock {
  static constexpr std::size_t kCapacity = 128;
  std::uint64_t generation;  // of the EntryBlocks when the block was made
  std::uint32_t size;
  std::uint32_t capacity;
  Entry* entries;
  std::shared_ptr<Entry[]> array;  // for a slice, the array it is a slice of
};

// The entries of a list at one moment, with the chunks of its texts. Made
// by EntryBlocks::freeze; immutable, so any number of threads may read it
// while the list goes on changing.
class FrozenEntries {
 public:
  std::size_t size() const noexcept { return m_ends.empty() ? 0 : m_ends.back(); }
  // The text of the entry at `index` (< size()), valid while this lives.
  std::string_view at(std::size_t index) const noexcept;

 private:
  friend class EntryBlocks;
  std::vector<std::shared_ptr<const EntryBlock>> m_blocks;
  std::vector<std::size_t> m_ends;  // running block sizes
  TextChunks m_texts;
};

// Design: blocks hold up to kCapacity entries; an insertion shifts one
// block, a full block splits in two halves, an empty one goes. A large
// sorted run of entries (a merge, a first batch) is not copied into blocks:
// its array is cut into slices of kCapacity entries, which work as blocks
// of their own. The last entry of each block is kept in one array as well,
// so that a search for a block reads one compact array instead of a block
// each step. The entry at an index is found through the running block
// sizes, rebuilt lazily after changes, and reading by consecutive indices
// stays in the block found last.
//
// Sharing: every block records the generation it was made in; freeze()
// starts a new generation, so each block that a snapshot may show is one
// of an older generation, and a change to such a block first replaces it
// with a copy. The list never writes to a shared block, and the blocks'
// reference counts are the only state the threads share.
//
// Not thread-safe: even the const members update the lookup caches. The
// FrozenEntries it hands out are thread-safe.
class EntryBlocks {
 public:
  static constexpr std::size_t kCapacity = EntryBlock::kCapacity;

  struct Place {
    std::size_t block;
    std::size_t offset;
  };

  std::size_t size() const noexcept { return m_size; }
  bool empty() const noexcept { return m_size == 0; }
  std::size_t blockCount() const noexcept { return m_blocks.size(); }
  std::span<const Entry> block(std::size_t b) const noexcept { return {m_blocks[b]->entries, m_blocks[b]->size}; }
  // The last entry of every block, in block order.
  std::span<const Entry> lasts() const noexcept { return m_lasts; }

  // Where the entry at `index` (< size()) is.
  Place locate(std::size_t index) const;
  const Entry& at(std::size_t index) const {
    const Place place = locate(index);
    return m_blocks[place.block]->entries[place.offset];
  }

  // Inserts `entry` before the one at `place`; an offset equal to the
  // block's size appends it to that block, and {0, 0} is the place in an
  // empty row. Unchanged if it throws std::bad_alloc.
  void insert(Place place, const Entry& entry);
  // Appends `entry` after the last one. Unchanged if it throws.
  void append(const Entry& entry);
  // Removes the entries [first, last) of block `b`, and the block if that
  // empties it, calling onErased(entry) for each. Unchanged if it throws.
  template <class OnErased>
  void erase(std::size_t b, std::size_t first, std::size_t last, OnErased&& onErased) {
    if (first == last) return;
    const EntryBlock& block = writable(b);
    for (std::size_t k = first; k < last; ++k) onErased(block.entries[k]);
    eraseWritable(b, first, last);
  }
  // Removes the entries at `indices` (ascending, without repeats, each <
  // size()), calling onErased(index, entry) for each. If it throws, the
  // entries it has reported are gone and the others stay.
  template <class OnErased>
  void eraseAt(std::span<const std::size_t> indices, OnErased&& onErased);
  // Replaces the entries from index `from` (<= size()) on by `entries`.
  // Unchanged if it throws.
  void replaceTail(std::size_t from, std::span<const Entry> entries);
  // Replaces the text of every entry, in order, by `texts[i]`. Unchanged if
  // it throws.
  void rewriteTexts(std::span<const TextRef> texts);

  // Builds a row of blocks from entries given in order: slices of one
  // array, which may be a batch sorted in place.
  class Builder {
   public:
    Builder(std::uint64_t generation, EntryBuffer&& entries) noexcept
        : m_generation(generation), m_entries(std::move(entries)) {}
    // Room for `count` more entries. Throws std::bad_alloc.
    void reserve(std::size_t count) { m_entries.reserve(m_entries.size() + count); }
    // Throws std::bad_alloc.
    void add(const Entry& entry) { m_entries.push_back(entry); }
    // The entries given so far, taken back; the builder is left empty.
    EntryBuffer take() noexcept { return std::move(m_entries); }

   private:
    friend class EntryBlocks;
    std::uint64_t m_generation;
    EntryBuffer m_entries;
  };
  // A builder that starts with `entries`, for a row in place of this one.
  Builder builder(EntryBuffer&& entries = EntryBuffer()) const noexcept {
    return Builder(m_generation, std::move(entries));
  }
  // Takes the row built by `builder` in place of this one. If it throws
  // std::bad_alloc, this row is unchanged and the builder keeps its entries.
  void assign(Builder&& builder);
  // Packs the entries into full blocks again when the blocks average less
  // than half full, so that lookups stay short. Leaves them if memory runs out.
  void packIfSparse() noexcept;

  // The entries as they are now, with the chunks of `texts`; the same
  // object again while nothing changed since the last call.
  std::shared_ptr<const FrozenEntries> freeze(const TextArena& texts) const;

  // Removes every entry and frees the memory.
  void clear() noexcept;

 private:
  struct Slices {
    std::vector<std::shared_ptr<EntryBlock>> blocks;
    std::vector<Entry> lasts;
  };
  static Slices slice(Builder&& builder);

  void rebuildEnds() const;
  EntryBlock& writable(std::size_t b);
  void eraseWritable(std::size_t b, std::size_t first, std::size_t last) noexcept;
  std::shared_ptr<EntryBlock> newBlock() const;
  std::shared_ptr<EntryBlock> copyOf(const EntryBlock& block) const;
  void changed() noexcept {
    m_endsValid = false;
    m_frozen.reset();
  }

  std::vector<std::shared_ptr<EntryBlock>> m_blocks;  // never an empty one
  std::vector<Entry> m_lasts;                         // the last entry of each block
  std::size_t m_size = 0;
  mutable std::uint64_t m_generation = 0;
  mutable std::vector<std::size_t> m_ends;  // running block sizes
  mutable bool m_endsValid = true;
  mutable std::size_t m_hint = 0;                       // the block found last
  mutable std::weak_ptr<const FrozenEntries> m_frozen;  // the last freeze, while nothing changed
};

template <class OnErased>
void EntryBlocks::eraseAt(std::span<const std::size_t> indices, OnErased&& onErased) {
  if (indices.empty()) return;
  // From the highest index down, so that the blocks and running sizes
  // before the one being changed stay as they were: erasing marks the
  // running sizes stale but leaves them alone.
  if (!m_endsValid) rebuildEnds();
  const std::vector<std::size_t>& ends = m_ends;
  std::size_t i = indices.size();
  while (i > 0) {
    const std::size_t last = indices[i - 1];
    std::size_t b = static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), last) - ends.begin());
    const std::size_t start = b == 0 ? 0 : ends[b - 1];
    // The run of selected indices that are consecutive and in this block.
    std::size_t first = last;
    std::size_t j = i - 1;
    while (j > 0 && indices[j - 1] == first - 1 && first - 1 >= start) {
      --first;
      --j;
    }
    std::size_t index = first;
    erase(b, first - start, last - start + 1, [&](const Entry& entry) { onErased(index++, entry); });
    i = j;
  }
}

}  // namespace mailsift::detail
