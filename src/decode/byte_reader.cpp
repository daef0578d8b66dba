// The plain readers: memory, an open input, a prefix before a stream.
#include "decode/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace mailsift {

ReadOutcome MemoryReader::read(char* buffer, std::size_t capacity) {
  const std::size_t bytes = std::min(capacity, m_bytes.size());
  if (bytes > 0) std::memcpy(buffer, m_bytes.data(), bytes);
  m_bytes.remove_prefix(bytes);
  return {bytes, std::nullopt};
}

ReadOutcome PrefixedReader::read(char* buffer, std::size_t capacity) {
  if (m_prefix.empty()) return m_rest.read(buffer, capacity);
  const std::size_t bytes = std::min(capacity, m_prefix.size());
  // The prefix may sit in the caller's buffer already, where a look at a
  // stream's first bytes left it.
  std::memmove(buffer, m_prefix.data(), bytes);
  m_prefix.remove_prefix(bytes);
  return {bytes, std::nullopt};
}

std::optional<platform::Failure> readAll(ByteReader& reader, std::uint64_t limit, std::string& into, bool& truncated) {
  into.clear();
  truncated = false;
  constexpr std::size_t kStep = std::size_t{64} << 10;
  for (;;) {
    if (into.size() >= limit) {
      // One byte more tells whether anything was left out.
      char probe = 0;
      const ReadOutcome more = reader.read(&probe, 1);
      if (more.failure) return more.failure;
      truncated = more.bytes > 0;
      return std::nullopt;
    }
    const std::size_t before = into.size();
    const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(kStep, limit - before));
    into.resize(before + step);
    const ReadOutcome got = reader.read(into.data() + before, step);
    into.resize(before + got.bytes);
    if (got.failure) return got.failure;
    if (got.bytes == 0) return std::nullopt;
  }
}

}  // namespace mailsift
