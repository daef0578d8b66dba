// The text arena: chunk sizes, refs and the bookkeeping of dead bytes.
#include "results/detail/text_arena.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/byte_buffer.h"

namespace mailsift::detail {
namespace {

// Chunks double from kMinChunkSize, so a short list stays small, up to
// kMaxSmallChunk; a list that outgrows those takes chunks of kMaxChunkSize
// at once, which come from the system in huge pages where it offers them
// (see platform::ByteBuffer): a million texts then cost a few dozen page
// faults rather than thousands.
constexpr std::size_t kMinChunkSize = std::size_t{4} << 10;
constexpr std::size_t kMaxSmallChunk = std::size_t{512} << 10;
constexpr std::size_t kMaxChunkSize = std::size_t{4} << 20;
// A text longer than this gets a chunk of its own, so that it never leaves
// much of a shared chunk unused; it is also below the length field's limit.
constexpr std::size_t kLongText = kMaxChunkSize / 128;
constexpr std::size_t kMaxChunks = std::size_t{1} << 24;
// Dead bytes are copied away only when there are this many at least.
constexpr std::size_t kMinWaste = std::size_t{64} << 10;

}  // namespace

char* TextArena::addChunk(std::size_t size) {
  std::vector<TextChunks::Chunk>& chunks = m_chunks.m_chunks;
  if (chunks.size() >= kMaxChunks) throw std::length_error("mailsift: too many texts");
  if (chunks.size() == chunks.capacity()) chunks.reserve(std::max<std::size_t>(16, 2 * chunks.size()));
  auto buffer = std::make_shared<platform::ByteBuffer>(std::max<std::size_t>(size, 1));
  char* start = buffer->data();
  chunks.push_back({std::shared_ptr<char>(std::move(buffer), start), size});  // room reserved above
  return start;
}

TextRef TextArena::append(std::string_view text) {
  const std::size_t length = text.size();
  std::vector<TextChunks::Chunk>& chunks = m_chunks.m_chunks;
  if (length > kLongText) {
    char* bytes = addChunk(length);
    std::memcpy(bytes, text.data(), length);
    return (static_cast<TextRef>(chunks.size() - 1) << TextChunks::kChunkShift) | TextChunks::kOwnChunkLength;
  }
  if (m_current == kNoChunk || m_used + length > chunks[m_current].size) {
    // A chunk always holds the text that starts it.
    const std::size_t next = 2 * m_lastChunkSize > kMaxSmallChunk ? kMaxChunkSize : 2 * m_lastChunkSize;
    const std::size_t size = std::max(std::max(next, kMinChunkSize), length);
    addChunk(size);
    m_current = chunks.size() - 1;
    m_used = 0;
    m_lastChunkSize = size;
  }
  if (length != 0) std::memcpy(chunks[m_current].bytes.get() + m_used, text.data(), length);
  const TextRef ref = (static_cast<TextRef>(m_current) << TextChunks::kChunkShift) |
                      (static_cast<TextRef>(m_used) << TextChunks::kOffsetShift) | length;
  m_used += length;
  m_storedBytes += length;
  m_liveBytes += length;
  return ref;
}

TextRef TextArena::take(const TextArena& from, TextRef ref) {
  if ((ref & TextChunks::kLengthMask) != TextChunks::kOwnChunkLength) return append(from.text(ref));
  std::vector<TextChunks::Chunk>& chunks = m_chunks.m_chunks;
  if (chunks.size() >= kMaxChunks) throw std::length_error("mailsift: too many texts");
  chunks.push_back(from.m_chunks.m_chunks[static_cast<std::size_t>(ref >> TextChunks::kChunkShift)]);
  return (static_cast<TextRef>(chunks.size() - 1) << TextChunks::kChunkShift) | TextChunks::kOwnChunkLength;
}

void TextArena::release(TextRef ref) noexcept {
  const auto length = static_cast<std::size_t>(ref & TextChunks::kLengthMask);
  if (length == TextChunks::kOwnChunkLength) {
    // A snapshot that still shows the text keeps the chunk alive.
    m_chunks.m_chunks[static_cast<std::size_t>(ref >> TextChunks::kChunkShift)].bytes.reset();
    return;
  }
  m_liveBytes -= length;
  m_deadBytes += length;
}

bool TextArena::isWasteful() const noexcept { return m_deadBytes >= kMinWaste && m_deadBytes > m_liveBytes; }

TextArena::Mark TextArena::mark() const noexcept {
  return {m_chunks.m_chunks.size(), m_current, m_used, m_storedBytes};
}

void TextArena::dropAfter(const Mark& mark) noexcept {
  std::vector<TextChunks::Chunk>& chunks = m_chunks.m_chunks;
  chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(mark.chunks), chunks.end());
  m_current = mark.current;
  m_used = mark.used;
  m_deadBytes -= m_storedBytes - mark.stored;
  m_storedBytes = mark.stored;
}

void TextArena::clear() noexcept {
  // A fresh vector gives the memory back, which clear() would keep.
  m_chunks.m_chunks = std::vector<TextChunks::Chunk>();
  m_current = kNoChunk;
  m_used = 0;
  m_lastChunkSize = 0;
  m_storedBytes = 0;
  m_liveBytes = 0;
  m_deadBytes = 0;
}

}  // namespace mailsift::detail
