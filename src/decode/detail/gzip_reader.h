// gzip decompressed with zlib, which checks every member's CRC-32 and
// length (libarchive's gzip filter reads the trailer but checks neither, so
// a damaged .gz would read as wrong bytes without a word).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "decode/byte_reader.h"
#include "platform/failure.h"

namespace mailsift::detail {

// The decompressed bytes of the gzip stream in `source` (borrowed; it must
// outlive the reader): every member in turn, as gzip(1) reads them; bytes
// after the last member that start no member of their own (tape padding)
// are ignored. Damaged or cut-short data ends the stream with a Damaged
// failure naming `name`; a failure of `source` ends it with that failure.
// Used by one thread at a time.
class GzipReader final : public ByteReader {
 public:
  GzipReader(ByteReader& source, std::string name);
  ~GzipReader() override;
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;
  // The failure the stream ended with so far, or std::nullopt.
  const std::optional<platform::Failure>& failure() const noexcept;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace mailsift::detail
