// The text table: its hash, its chunks of bytes and its probing index.
#include "results/detail/text_table.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace mailsift::detail {
namespace {

constexpr std::size_t kMinChunkSize = std::size_t{4} << 10;
constexpr std::size_t kMaxChunkSize = std::size_t{1} << 20;
// A text longer than this gets a chunk of its own, so that it never leaves
// much of a shared chunk unused.
constexpr std::size_t kOwnChunkLength = kMaxChunkSize / 16;
constexpr std::size_t kMinSlots = 16;
constexpr std::size_t kMaxIds = TextTable::kNone;  // ids 0 to kNone - 1

constexpr std::uint64_t kMultiplier = 0x9E37'79B9'7F4A'7C15u;

// The final mix of MurmurHash3: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t value) noexcept {
  value ^= value >> 33;
  value *= 0xFF51'AFD7'ED55'8CCDu;
  value ^= value >> 33;
  value *= 0xC4CE'B9FE'1A85'EC53u;
  value ^= value >> 33;
  return value;
}

std::uint32_t tagOf(std::uint64_t hash) noexcept { return static_cast<std::uint32_t>(hash >> 32); }

bool sameBytes(const char* left, const char* right, std::size_t length) noexcept {
  return length == 0 || std::memcmp(left, right, length) == 0;
}

}  // namespace

std::uint64_t hashText(std::string_view text) noexcept {
  // Eight bytes at a time: each word is folded in by a multiplication (which
  // carries low bits upwards) and a shift (which brings high bits down).
  const char* bytes = text.data();
  std::size_t left = text.size();
  std::uint64_t hash = static_cast<std::uint64_t>(left) * kMultiplier;
  while (left >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, 8);
    hash = (hash ^ word) * kMultiplier;
    hash ^= hash >> 29;
    bytes += 8;
    left -= 8;
  }
  if (left != 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, left);
    hash = (hash ^ word) * kMultiplier;
  }
  return mix(hash);
}

std::size_t TextTable::slotFor(std::string_view text, std::uint64_t hash) const noexcept {
  // The slot that holds `text`, or else the free slot where it would go;
  // there is always a free slot.
  const std::size_t mask = m_slots.size() - 1;
  const std::uint32_t tag = tagOf(hash);
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const Slot slot = m_slots[i];
    if (slot.idPlusOne == 0) return i;
    if (slot.tag != tag) continue;
    const Record& record = m_records[slot.idPlusOne - 1];
    if (record.length == text.size() && sameBytes(record.bytes, text.data(), text.size())) return i;
  }
}

TextTable::Id TextTable::find(std::string_view text) const noexcept {
  if (m_slots.empty()) return kNone;
  const Slot slot = m_slots[slotFor(text, m_hash(text))];
  return slot.idPlusOne == 0 ? kNone : slot.idPlusOne - 1;
}

std::string_view TextTable::text(Id id) const noexcept {
  const Record& record = m_records[id];
  return {record.bytes, record.length};
}

TextTable::Id TextTable::intern(std::string_view text) {
  const std::uint64_t hash = m_hash(text);
  if (!m_slots.empty()) {
    const Slot slot = m_slots[slotFor(text, hash)];
    if (slot.idPlusOne != 0) return slot.idPlusOne - 1;
  }

  // A new text. Everything that may throw comes first: room in the index,
  // a record, the bytes; a failure after the bytes are stored only leaves
  // them unused in their chunk.
  growIfFull();
  if (m_freeIds.empty()) {
    if (m_records.size() >= kMaxIds) throw std::length_error("mailsift: too many distinct texts");
    if (m_records.size() == m_records.capacity()) m_records.reserve(std::max<std::size_t>(16, 2 * m_records.size()));
    // So that release() never allocates.
    if (m_freeIds.capacity() < m_records.capacity()) m_freeIds.reserve(m_records.capacity());
  }
  const char* bytes = store(text);

  Id id = 0;
  if (m_freeIds.empty()) {
    id = static_cast<Id>(m_records.size());
    m_records.emplace_back();
  } else {
    id = m_freeIds.back();
    m_freeIds.pop_back();
  }
  m_records[id] = Record{bytes, text.size(), 0, hash};
  m_slots[slotFor(text, hash)] = Slot{id + 1, tagOf(hash)};
  ++m_size;
  m_liveBytes += text.size();
  return id;
}

void TextTable::growIfFull() {
  if (10 * (m_size + 1) <= 7 * m_slots.size()) return;
  // Doubling; a released text's record stays out of the index.
  std::vector<Slot> slots(std::max(kMinSlots, 2 * m_slots.size()));
  const std::size_t mask = slots.size() - 1;
  for (const Slot& old : m_slots) {
    if (old.idPlusOne == 0) continue;
    const std::uint64_t hash = m_records[old.idPlusOne - 1].hash;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (slots[i].idPlusOne != 0) i = (i + 1) & mask;
    slots[i] = old;
  }
  m_slots = std::move(slots);
}

const char* TextTable::store(std::string_view text) {
  if (text.empty()) return nullptr;
  if (text.size() > kOwnChunkLength) {
    m_chunks.reserve(m_chunks.size() + 1);
    auto chunk = std::make_unique_for_overwrite<char[]>(text.size());
    std::memcpy(chunk.get(), text.data(), text.size());
    m_chunks.push_back(std::move(chunk));
    return m_chunks.back().get();
  }
  if (m_room < text.size()) {
    // Chunks double in size up to kMaxChunkSize, so a short list stays small;
    // but a chunk always holds the text that starts it.
    const std::size_t size = std::max(std::clamp(2 * m_lastChunkSize, kMinChunkSize, kMaxChunkSize), text.size());
    m_chunks.reserve(m_chunks.size() + 1);
    m_chunks.push_back(std::make_unique_for_overwrite<char[]>(size));
    m_cursor = m_chunks.back().get();
    m_room = size;
    m_lastChunkSize = size;
  }
  char* bytes = m_cursor;
  std::memcpy(bytes, text.data(), text.size());
  m_cursor += text.size();
  m_room -= text.size();
  return bytes;
}

void TextTable::release(Id id) noexcept {
  Record& record = m_records[id];
  const std::size_t mask = m_slots.size() - 1;
  std::size_t hole = static_cast<std::size_t>(record.hash) & mask;
  while (m_slots[hole].idPlusOne != id + 1) hole = (hole + 1) & mask;

  // Backward shift: each later slot of the cluster moves into the hole
  // unless its home lies cyclically in (hole, next], where the move would
  // put it before its home and out of reach of its lookups.
  for (std::size_t next = (hole + 1) & mask; m_slots[next].idPlusOne != 0; next = (next + 1) & mask) {
    const std::size_t home = static_cast<std::size_t>(m_records[m_slots[next].idPlusOne - 1].hash) & mask;
    if (((next - home) & mask) >= ((next - hole) & mask)) {
      m_slots[hole] = m_slots[next];
      hole = next;
    }
  }
  m_slots[hole] = Slot{};

  m_liveBytes -= record.length;
  m_deadBytes += record.length;
  record = Record{};
  --m_size;
  m_freeIds.push_back(id);  // room reserved by intern
}

void TextTable::compact() noexcept {
  if (m_deadBytes <= m_liveBytes || m_deadBytes < kMinChunkSize) return;
  std::vector<std::unique_ptr<char[]>> chunks;
  std::unique_ptr<char[]> chunk;
  try {
    chunks.reserve(1);
    if (m_liveBytes != 0) chunk = std::make_unique_for_overwrite<char[]>(m_liveBytes);
  } catch (const std::bad_alloc&) {
    return;  // the table works on as it is
  }
  char* cursor = chunk.get();
  for (Record& record : m_records) {
    if (record.length == 0) continue;
    std::memcpy(cursor, record.bytes, record.length);
    record.bytes = cursor;
    cursor += record.length;
  }
  if (chunk) chunks.push_back(std::move(chunk));
  m_chunks = std::move(chunks);
  // The next text starts a new chunk.
  m_cursor = nullptr;
  m_room = 0;
  m_deadBytes = 0;
}

void TextTable::clear() noexcept {
  // Moving fresh containers in gives the memory back.
  m_records = std::vector<Record>();
  m_freeIds = std::vector<Id>();
  m_slots = std::vector<Slot>();
  m_size = 0;
  m_chunks = std::vector<std::unique_ptr<char[]>>();
  m_cursor = nullptr;
  m_room = 0;
  m_lastChunkSize = 0;
  m_liveBytes = 0;
  m_deadBytes = 0;
}

}  // namespace mailsift::detail
