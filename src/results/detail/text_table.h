// A table of distinct texts, each stored once with the number of its
// copies, without an allocation per text; List1 names its entries' texts
// by their ids here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace mailsift::detail {

// A 64-bit hash of the bytes of `text`, well mixed in all its bits.
// Thread-safe; never throws.
std::uint64_t hashText(std::string_view text) noexcept;

// Design: the bytes of the texts are appended to large chunks (a text too
// long for the current chunk starts a new one; a very long text gets a chunk
// of its own), so a new text costs no allocation of its own. Each text has
// a record {bytes, length, copies, hash} in m_records, and its id is the
// record's index: ids and records stay put while the table grows, so an id
// is a small, stable name for the text.
//
// The index m_slots is open addressing with linear probing over a power of
// two of slots, doubled when it gets 7/10 full. A slot holds the id + 1
// (0 for a free slot) and the upper 32 bits of the hash, so a probe passes
// most slots of other texts without reading their bytes; the home slot
// comes from the lower bits. Growth reinserts the ids from the hashes in
// the records, without hashing any text again.
//
// Releasing a text empties its slot by shifting the later slots of its
// cluster back (so lookups never meet tombstones), and its id goes on a
// free list for the next new text. Its bytes stay in their chunk until
// compact() finds the dead bytes outweigh the live ones and copies the live
// texts into one fresh chunk.
//
// Not thread-safe.
class TextTable {
 public:
  using Id = std::uint32_t;
  using HashFunction = std::uint64_t (*)(std::string_view) noexcept;
  static constexpr Id kNone = 0xFFFF'FFFF;

  // `hash` decides the slots; tests pass a poor one to force collisions.
  explicit TextTable(HashFunction hash = hashText) noexcept : m_hash(hash) {}

  // The id of `text`, which is added with no copies if the table does not
  // hold it. Throws std::bad_alloc when memory runs out and
  // std::length_error past 2^32 - 1 texts; then the table is unchanged.
  Id intern(std::string_view text);
  // The id of `text`, or kNone if the table does not hold it.
  Id find(std::string_view text) const noexcept;
  // The text of a held id; valid until the next intern, release or compact.
  std::string_view text(Id id) const noexcept;
  // The number of copies of a held id, which the owner keeps up to date.
  std::size_t& copies(Id id) noexcept { return m_records[id].copies; }
  std::size_t copies(Id id) const noexcept { return m_records[id].copies; }
  // Forgets the text of a held id; the id may name the next new text.
  void release(Id id) noexcept;
  // Copies the live texts together when most stored bytes belong to
  // released texts. Leaves everything as it is if memory runs out.
  void compact() noexcept;
  // The number of texts held.
  std::size_t size() const noexcept { return m_size; }
  // Forgets every text and frees the memory.
  void clear() noexcept;

 private:
  struct Record {
    const char* bytes = nullptr;
    std::size_t length = 0;
    std::size_t copies = 0;
    std::uint64_t hash = 0;
  };
  struct Slot {
    Id idPlusOne = 0;  // 0: free
    std::uint32_t tag = 0;
  };

  std::size_t slotFor(std::string_view text, std::uint64_t hash) const noexcept;
  void growIfFull();
  const char* store(std::string_view text);

  HashFunction m_hash;
  std::vector<Record> m_records;
  std::vector<Id> m_freeIds;  // records of released texts
  std::vector<Slot> m_slots;  // empty or a power of two long
  std::size_t m_size = 0;
  std::vector<std::unique_ptr<char[]>> m_chunks;
  char* m_cursor = nullptr;  // the free part of the current chunk
  std::size_t m_room = 0;
  std::size_t m_lastChunkSize = 0;
  std::size_t m_liveBytes = 0;
  std::size_t m_deadBytes = 0;
};

}  // namespace mailsift::detail
