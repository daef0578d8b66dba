// The shared blocks: the growing buffer, lookups, insertion with splits,
// copies on write, slices and freezing.
#include "results/detail/entry_blocks.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

namespace mailsift::detail {
namespace {

static_assert(std::is_trivially_copyable_v<Entry>, "entries are moved as bytes");

std::ptrdiff_t signedSize(std::size_t size) noexcept { return static_cast<std::ptrdiff_t>(size); }

// A block with its entries after its header.
struct OwnBlock : EntryBlock {
  Entry room[kCapacity];
};

std::shared_ptr<EntryBlock> makeBlock(std::uint64_t generation) {
  // The entries are written before they are read; filling every block
  // with zeros would cost more than the block's use.
  std::shared_ptr<OwnBlock> block = std::make_shared_for_overwrite<OwnBlock>();
  block->generation = generation;
  block->size = 0;
  block->capacity = EntryBlock::kCapacity;
  block->entries = block->room;
  return block;
}

// An array of entries that outgrows kMaxSmallArray takes kLargeArray at
// once, and from then on whole huge pages (2 MiB), which the system aligns
// so that it can use them: few page faults, and growth by remapping.
constexpr std::size_t kMaxSmallArray = std::size_t{512} << 10;
constexpr std::size_t kLargeArray = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

EntryBuffer::EntryBuffer() noexcept = default;

EntryBuffer::EntryBuffer(EntryBuffer&& other) noexcept
    : m_bytes(std::move(other.m_bytes)),
      m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0)) {}

EntryBuffer& EntryBuffer::operator=(EntryBuffer&& other) noexcept {
  if (this != &other) {
    m_bytes = std::move(other.m_bytes);
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_capacity = std::exchange(other.m_capacity, 0);
  }
  return *this;
}

EntryBuffer::~EntryBuffer() = default;

void EntryBuffer::reserve(std::size_t count) {
  if (count <= m_capacity) return;
  if (count > static_cast<std::size_t>(-1) / 2 / sizeof(Entry)) throw std::bad_alloc();
  std::size_t bytes = count * sizeof(Entry);
  if (bytes > kMaxSmallArray) bytes = (std::max(bytes, kLargeArray) + kHugePage - 1) / kHugePage * kHugePage;
  m_bytes.grow(bytes, m_size * sizeof(Entry));
  m_data = reinterpret_cast<Entry*>(m_bytes.data());
  m_capacity = bytes / sizeof(Entry);
}

void EntryBuffer::reset() noexcept {
  m_bytes = platform::ByteBuffer();
  m_data = nullptr;
  m_size = 0;
  m_capacity = 0;
}

std::shared_ptr<Entry[]> EntryBuffer::share() {
  // The owner is made first: if that fails, the buffer keeps its memory.
  auto owner = std::make_shared<platform::ByteBuffer>(std::move(m_bytes));
  std::shared_ptr<Entry[]> array(owner, m_data);
  m_data = nullptr;
  m_size = 0;
  m_capacity = 0;
  return array;
}

std::string_view FrozenEntries::at(std::size_t index) const noexcept {
  const auto b = static_cast<std::size_t>(std::upper_bound(m_ends.begin(), m_ends.end(), index) - m_ends.begin());
  const std::size_t start = b == 0 ? 0 : m_ends[b - 1];
  return m_texts.text(m_blocks[b]->entries[index - start].text);
}

void EntryBlocks::rebuildEnds() const {
  m_ends.resize(m_blocks.size());
  std::size_t end = 0;
  for (std::size_t b = 0; b < m_blocks.size(); ++b) m_ends[b] = end += m_blocks[b]->size;
  m_endsValid = true;
}

EntryBlocks::Place EntryBlocks::locate(std::size_t index) const {
  if (!m_endsValid) rebuildEnds();
  if (m_hint < m_ends.size()) {
    const std::size_t start = m_hint == 0 ? 0 : m_ends[m_hint - 1];
    if (index >= start && index < m_ends[m_hint]) return {m_hint, index - start};
    if (index == m_ends[m_hint] && m_hint + 1 < m_ends.size()) return {++m_hint, 0};
  }
  const auto b = static_cast<std::size_t>(std::upper_bound(m_ends.begin(), m_ends.end(), index) - m_ends.begin());
  m_hint = b;
  return {b, index - (b == 0 ? 0 : m_ends[b - 1])};
}

std::shared_ptr<EntryBlock> EntryBlocks::newBlock() const { return makeBlock(m_generation); }

std::shared_ptr<EntryBlock> EntryBlocks::copyOf(const EntryBlock& block) const {
  std::shared_ptr<EntryBlock> copy = newBlock();
  std::copy_n(block.entries, block.size, copy->entries);
  copy->size = block.size;
  return copy;
}

EntryBlock& EntryBlocks::writable(std::size_t b) {
  std::shared_ptr<EntryBlock>& block = m_blocks[b];
  if (block->generation != m_generation) block = copyOf(*block);  // a snapshot keeps the old one
  return *block;
}

void EntryBlocks::insert(Place place, const Entry& entry) {
  if (m_blocks.empty()) {
    append(entry);
    return;
  }
  // Everything that may throw comes first: the copy of a shared block or
  // of a full short slice, the new half of a full block, room for it in
  // the row.
  std::size_t b = place.block;
  std::size_t offset = place.offset;
  EntryBlock* block = &writable(b);
  if (block->size == block->capacity && block->capacity < kCapacity) {
    m_blocks[b] = copyOf(*block);
    block = m_blocks[b].get();
  }
  if (block->size == kCapacity) {
    std::shared_ptr<EntryBlock> upper = newBlock();
    m_blocks.reserve(m_blocks.size() + 1);
    m_lasts.reserve(m_lasts.size() + 1);
    constexpr std::size_t kHalf = kCapacity / 2;
    std::copy_n(block->entries + kHalf, kCapacity - kHalf, upper->entries);
    upper->size = kCapacity - kHalf;
    block->size = kHalf;
    m_lasts.insert(m_lasts.begin() + signedSize(b + 1), m_lasts[b]);
    m_lasts[b] = block->entries[kHalf - 1];
    m_blocks.insert(m_blocks.begin() + signedSize(b + 1), std::move(upper));
    if (offset > kHalf) {
      ++b;
      offset -= kHalf;
      block = m_blocks[b].get();
    }
  }
  std::copy_backward(block->entries + offset, block->entries + block->size, block->entries + block->size + 1);
  block->entries[offset] = entry;
  ++block->size;
  if (offset + 1 == block->size) m_lasts[b] = entry;
  ++m_size;
  changed();
}

void EntryBlocks::append(const Entry& entry) {
  if (m_blocks.empty() || m_blocks.back()->size == m_blocks.back()->capacity) {
    std::shared_ptr<EntryBlock> block = newBlock();
    m_blocks.reserve(m_blocks.size() + 1);
    m_lasts.reserve(m_lasts.size() + 1);
    if (m_endsValid) m_ends.reserve(m_blocks.size() + 1);
    block->entries[0] = entry;
    block->size = 1;
    m_blocks.push_back(std::move(block));
    m_lasts.push_back(entry);
    ++m_size;
    // Appending keeps the running sizes valid, so a list that only grows
    // at its end never rebuilds them.
    if (m_endsValid) m_ends.push_back(m_size);
  } else {
    EntryBlock& block = writable(m_blocks.size() - 1);
    block.entries[block.size++] = entry;
    m_lasts.back() = entry;
    ++m_size;
    if (m_endsValid) ++m_ends.back();
  }
  m_frozen.reset();
}

void EntryBlocks::eraseWritable(std::size_t b, std::size_t first, std::size_t last) noexcept {
  EntryBlock& block = *m_blocks[b];
  std::copy(block.entries + last, block.entries + block.size, block.entries + first);
  block.size -= static_cast<std::uint32_t>(last - first);
  m_size -= last - first;
  if (block.size == 0) {
    m_blocks.erase(m_blocks.begin() + signedSize(b));
    m_lasts.erase(m_lasts.begin() + signedSize(b));
  } else {
    m_lasts[b] = block.entries[block.size - 1];
  }
  changed();
}

void EntryBlocks::replaceTail(std::size_t from, std::span<const Entry> entries) {
  assert(from <= m_size);
  // The new tail starts with the entries of its first block that stay, or
  // with those of a last block that has room, so that small tails do not
  // leave a row of small blocks behind.
  std::size_t b = m_blocks.size();
  std::size_t offset = 0;
  if (from < m_size) {
    const Place place = locate(from);
    b = place.block;
    offset = place.offset;
  } else if (b != 0 && m_blocks.back()->size < kCapacity) {
    --b;
    offset = m_blocks.back()->size;
  }
  // Whole blocks of room, so that the last block takes the next entries
  // appended rather than leaving a full short block behind.
  Builder tail = builder();
  tail.reserve((offset + entries.size() + kCapacity - 1) / kCapacity * kCapacity);
  for (std::size_t k = 0; k < offset; ++k) tail.add(m_blocks[b]->entries[k]);
  for (const Entry& entry : entries) tail.add(entry);
  Slices slices = slice(std::move(tail));
  m_blocks.reserve(b + slices.blocks.size());
  m_lasts.reserve(b + slices.blocks.size());
  const bool endsValid = m_endsValid;
  if (endsValid) m_ends.reserve(b + slices.blocks.size());

  m_blocks.erase(m_blocks.begin() + signedSize(b), m_blocks.end());
  m_lasts.erase(m_lasts.begin() + signedSize(b), m_lasts.end());
  m_blocks.insert(m_blocks.end(), std::make_move_iterator(slices.blocks.begin()),
                  std::make_move_iterator(slices.blocks.end()));
  m_lasts.insert(m_lasts.end(), slices.lasts.begin(), slices.lasts.end());
  m_size = from + entries.size();
  changed();
  if (endsValid) {
    // Only the running sizes of the new blocks change; a list that grows
    // at its end keeps them, as append does.
    m_ends.resize(b);
    std::size_t end = b == 0 ? 0 : m_ends[b - 1];
    for (std::size_t k = b; k < m_blocks.size(); ++k) m_ends.push_back(end += m_blocks[k]->size);
    m_endsValid = true;
  }
}

void EntryBlocks::rewriteTexts(std::span<const TextRef> texts) {
  assert(texts.size() == m_size);
  // Copies of the shared blocks first, so that a failure changes nothing.
  std::vector<std::shared_ptr<EntryBlock>> blocks;
  blocks.reserve(m_blocks.size());
  for (const std::shared_ptr<EntryBlock>& block : m_blocks) {
    blocks.push_back(block->generation == m_generation ? block : copyOf(*block));
  }
  std::size_t i = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    EntryBlock& block = *blocks[b];
    for (std::size_t k = 0; k < block.size; ++k) block.entries[k].text = texts[i++];
    m_lasts[b] = block.entries[block.size - 1];
  }
  m_blocks = std::move(blocks);
  changed();
}

EntryBlocks::Slices EntryBlocks::slice(Builder&& builder) {
  Slices slices;
  EntryBuffer& entries = builder.m_entries;
  const std::size_t size = entries.size();
  if (size == 0) return slices;
  const std::size_t count = (size + kCapacity - 1) / kCapacity;
  slices.blocks.reserve(count);
  slices.lasts.reserve(count);
  for (std::size_t start = 0; start < size; start += kCapacity) {
    slices.lasts.push_back(entries[std::min(start + kCapacity, size) - 1]);
  }
  // The headers before the array is shared, so that a failure leaves the
  // entries with the builder.
  for (std::size_t k = 0; k < count; ++k) slices.blocks.push_back(std::make_shared<EntryBlock>());
  const std::size_t room = entries.capacity();
  std::shared_ptr<Entry[]> array = entries.share();
  for (std::size_t k = 0; k < count; ++k) {
    EntryBlock& block = *slices.blocks[k];
    const std::size_t start = k * kCapacity;
    block.generation = builder.m_generation;
    block.size = static_cast<std::uint32_t>(std::min(kCapacity, size - start));
    // The last slice may grow into the array's room behind it.
    block.capacity = static_cast<std::uint32_t>(std::min(kCapacity, room - start));
    block.entries = array.get() + start;
    block.array = array;
  }
  return slices;
}

void EntryBlocks::assign(Builder&& builder) {
  Slices slices = slice(std::move(builder));
  m_blocks = std::move(slices.blocks);
  m_lasts = std::move(slices.lasts);
  m_size = 0;
  for (const std::shared_ptr<EntryBlock>& block : m_blocks) m_size += block->size;
  changed();
}

void EntryBlocks::packIfSparse() noexcept {
  if (m_blocks.size() <= 2 * (m_size / kCapacity) + 1) return;
  try {
    Builder packed = builder();
    packed.reserve(m_size);
    for (const std::shared_ptr<EntryBlock>& block : m_blocks) {
      for (std::size_t k = 0; k < block->size; ++k) packed.add(block->entries[k]);
    }
    assign(std::move(packed));
  } catch (const std::bad_alloc&) {
    // The blocks work on as they are.
  }
}

std::shared_ptr<const FrozenEntries> EntryBlocks::freeze(const TextArena& texts) const {
  if (std::shared_ptr<const FrozenEntries> frozen = m_frozen.lock()) return frozen;
  if (!m_endsValid) rebuildEnds();
  auto frozen = std::make_shared<FrozenEntries>();
  frozen->m_blocks.assign(m_blocks.begin(), m_blocks.end());
  frozen->m_ends = m_ends;
  frozen->m_texts = texts.chunks();
  // Every block the snapshot holds is now of an older generation.
  ++m_generation;
  m_frozen = frozen;
  return frozen;
}

void EntryBlocks::clear() noexcept {
  // Fresh vectors give the memory back, which clear() would keep.
  m_blocks = std::vector<std::shared_ptr<EntryBlock>>();
  m_lasts = std::vector<Entry>();
  m_size = 0;
  m_ends = std::vector<std::size_t>();
  m_endsValid = true;
  m_hint = 0;
  m_frozen.reset();
}

}  // namespace mailsift::detail
