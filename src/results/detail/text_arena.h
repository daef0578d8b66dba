// The texts of one list's entries, appended to large chunks of bytes that
// the list's snapshots share, so that freezing a list copies no text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace mailsift::detail {

// Where a text lives in its TextArena, in one word: the chunk (bits 40 to
// 63), the offset in the chunk (bits 16 to 39) and the length (bits 0 to
// 15). A text too long for the length field fills a chunk of its own, and
// its length is that chunk's size.
using TextRef = std::uint64_t;

// The chunks of an arena as they were at one moment: every text stored
// until then can be read through them, for as long as they live, whatever
// the arena does later. Copying shares the chunks. Immutable; any number of
// threads may read one.
class TextChunks {
 public:
  // The text of `ref`, which the arena handed out before these chunks were
  // taken. Valid while these chunks (or a copy of them) live.
  std::string_view text(TextRef ref) const noexcept {
    const Chunk& chunk = m_chunks[static_cast<std::size_t>(ref >> kChunkShift)];
    const auto length = static_cast<std::size_t>(ref & kLengthMask);
    if (length == kOwnChunkLength) return {chunk.bytes.get(), chunk.size};
    return {chunk.bytes.get() + ((ref >> kOffsetShift) & kOffsetMask), length};
  }

 private:
  friend class TextArena;
  static constexpr unsigned kOffsetShift = 16;
  static constexpr unsigned kChunkShift = 40;
  static constexpr std::uint64_t kLengthMask = 0xFFFF;
  static constexpr std::uint64_t kOffsetMask = 0xFF'FFFF;
  static constexpr std::size_t kOwnChunkLength = 0xFFFF;  // the length field of a text with its own chunk

  struct Chunk {
    std::shared_ptr<char> bytes;  // null once the arena has no use for it
    std::size_t size = 0;         // bytes the chunk holds
  };
  std::vector<Chunk> m_chunks;
};

// Design: texts are appended back to back to the current chunk; one that
// does not fit starts the next chunk. Chunks double in size from 4 KiB, so
// a short list stays small, and a list that outgrows 512 KiB takes chunks
// of 4 MiB (huge pages where the system offers them). A text longer than
// 32 KiB gets a chunk of exactly its size. Nothing writes over bytes that
// a TextChunks may reach, so one taken at any time stays valid while the
// arena goes on appending to the same chunk: the new bytes are ones no
// earlier reader can reach.
//
// The owner tells the arena which texts it no longer needs (release). A
// released text's bytes stay where they are; the arena only counts them,
// and the owner moves its live texts to a fresh arena (take) when
// isWasteful() says most bytes are dead. A long text's chunk is given up
// at once, and moves to a fresh arena without a copy. Texts stored after a
// mark, none of them frozen since, can be dropped together (dropAfter),
// which lets the owner give back the room of a batch of texts that all
// turned out to be duplicates.
//
// Not thread-safe; the TextChunks it hands out are.
class TextArena {
 public:
  // Where the next text goes; see dropAfter.
  struct Mark {
    std::size_t chunks = 0;   // chunks in use
    std::size_t current = 0;  // the chunk short texts go to
    std::size_t used = 0;     // bytes used in it
    std::size_t stored = 0;   // bytes stored in shared chunks so far, live or dead
  };

  TextArena() = default;
  TextArena(TextArena&&) noexcept = default;
  TextArena& operator=(TextArena&&) noexcept = default;

  // Stores a copy of `text` and returns its ref. Throws std::bad_alloc when
  // memory runs out and std::length_error when the chunks run out (past
  // 2^24 of them); then the arena is unchanged.
  TextRef append(std::string_view text);
  std::string_view text(TextRef ref) const noexcept { return m_chunks.text(ref); }

  // Stores the text of `ref` in `from` here, for moving the live texts to a
  // fresh arena: a text with a chunk of its own takes that chunk along
  // rather than a copy. Throws as append does; then this is unchanged.
  TextRef take(const TextArena& from, TextRef ref);

  // The owner no longer needs the text of `ref` (each text once).
  void release(TextRef ref) noexcept;
  // True when the dead bytes in shared chunks outweigh the live ones there
  // and are worth a copy.
  bool isWasteful() const noexcept;

  Mark mark() const noexcept;
  // Forgets every text stored after `mark`, so that their room is used
  // again. Each of them must have been released, and no TextChunks may have
  // been taken since the mark.
  void dropAfter(const Mark& mark) noexcept;

  // The chunks as they are now, for a snapshot.
  TextChunks chunks() const { return m_chunks; }

  // Forgets every text and frees the memory the arena holds.
  void clear() noexcept;

 private:
  static constexpr std::size_t kNoChunk = static_cast<std::size_t>(-1);

  char* addChunk(std::size_t size);

  TextChunks m_chunks;
  std::size_t m_current = kNoChunk;  // the chunk short texts go to
  std::size_t m_used = 0;            // bytes used in it
  std::size_t m_lastChunkSize = 0;
  std::size_t m_storedBytes = 0;  // in shared chunks, live or dead
  std::size_t m_liveBytes = 0;    // in shared chunks
  std::size_t m_deadBytes = 0;    // released, in shared chunks
};

}  // namespace mailsift::detail
