// A stream of bytes read in pieces: a file, a decompressor over another
// stream, an archive member, a decoded mail part. Decoders are readers over
// readers, so no stage holds a whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/input_file.h"

namespace mailsift {

// What one read gave: the bytes placed in the buffer (0 at the end), or the
// failure that ended the stream.
using ReadOutcome = platform::ReadOutcome;

// One stream of bytes. Used by one thread at a time. After a failure or the
// end, further reads give the same answer again.
class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Reads up to `capacity` (> 0) bytes into `buffer`. Returns fewer only at
  // the end or when the source delivers in smaller pieces; 0 at the end.
  [[nodiscard]] virtual ReadOutcome read(char* buffer, std::size_t capacity) = 0;
};

// The bytes of a string, owned elsewhere; they must outlive the reader.
class MemoryReader final : public ByteReader {
 public:
  explicit MemoryReader(std::string_view bytes) noexcept : m_bytes(bytes) {}
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  std::string_view m_bytes;
};

// An open input (file or standard input) from its current position on; the
// input is borrowed and must outlive the reader.
class InputReader final : public ByteReader {
 public:
  explicit InputReader(platform::InputFile& input) noexcept : m_input(input) {}
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override { return m_input.read(buffer, capacity); }

 private:
  platform::InputFile& m_input;
};

// Bytes already read from the front of a stream (to recognise its kind),
// followed by the rest of that stream: the whole stream again.
class PrefixedReader final : public ByteReader {
 public:
  // `prefix` is borrowed and must outlive the reader, as must `rest`.
  PrefixedReader(std::string_view prefix, ByteReader& rest) noexcept : m_prefix(prefix), m_rest(rest) {}
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  std::string_view m_prefix;
  ByteReader& m_rest;
};

// Reads `reader` to its end, or until `limit` bytes, into `into` (cleared
// first). Returns the failure of a read, or std::nullopt; `truncated` is set
// when the stream held more than `limit` bytes.
[[nodiscard]] std::optional<platform::Failure> readAll(ByteReader& reader, std::uint64_t limit, std::string& into,
                                                       bool& truncated);

}  // namespace mailsift
