// The gzip reader on Intel's ISA-L (Debian: libisal-dev), whose inflate
// runs about two and a half times as fast as zlib's on the same files (the
// .gz files of a documentation tree: 0.41 s against 1.01 s for 363 MB) and
// checks every member's CRC-32 and length as zlib does. Chosen by the build
// where the library is found; the zlib reader is the same reader without it.
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include "decode/detail/feed_buffer.h"
#include "decode/detail/gzip_reader.h"

namespace mailsift::detail {

using platform::Failure;
using platform::FailureKind;

namespace {

const char* inflateError(int status) {
  switch (status) {
    case ISAL_INVALID_WRAPPER:
      return "not in gzip format";
    case ISAL_UNSUPPORTED_METHOD:
      return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
      return "incorrect data check";
    default:
      return "invalid compressed data";
  }
}

}  // namespace

struct GzipReader::State {
  ByteReader& source;
  std::string name;
  FeedBuffer input;
  inflate_state stream;  // some 70 KiB: the state lives on the heap with its reader
  bool sourceEnded = false;
  bool ended = false;
  std::size_t members = 0;     // finished so far
  std::uint64_t memberIn = 0;  // bytes of the current member used so far
  std::uint64_t memberOut = 0;
  std::optional<Failure> failure;

  State(ByteReader& from, std::string named) : source(from), name(std::move(named)) {
    stream.next_out = nullptr;
    stream.avail_out = 0;
    startMember(nullptr, 0);
  }

  // A fresh inflater for the next member, starting at `next`; the output
  // being filled stays set (initialising clears it).
  void startMember(uint8_t* next, uint32_t available) {
    uint8_t* const out = stream.next_out;
    const uint32_t room = stream.avail_out;
    isal_inflate_init(&stream);
    stream.crc_flag = ISAL_GZIP;  // header, CRC-32 and length checked
    stream.next_in = next;
    stream.avail_in = available;
    stream.next_out = out;
    stream.avail_out = room;
    memberIn = 0;
    memberOut = 0;
  }

  // Ends the stream: with `why` as a Damaged failure, except after the
  // first member before the next gave a byte, where what follows is taken
  // for padding and ignored.
  void endDamaged(const char* why) {
    ended = true;
    if (members > 0 && memberOut == 0) return;
    failure = Failure{FailureKind::Damaged, 0, name, std::string("gzip: ") + why};
  }

  // More input when the inflater has used all it had; false when the
  // source failed.
  bool refill() {
    if (stream.avail_in > 0 || sourceEnded) return true;
    ReadOutcome got = source.read(input.get(), kFeedSize);
    if (got.failure) {
      ended = true;
      failure = std::move(got.failure);
      return false;
    }
    sourceEnded = got.bytes == 0;
    stream.next_in = reinterpret_cast<uint8_t*>(input.get());
    stream.avail_in = static_cast<uint32_t>(got.bytes);
    return true;
  }

  // One inflate step into the output that is set; false when the stream ended.
  bool step() {
    if (!refill()) return false;
    if (stream.avail_in == 0 && stream.block_state != ISAL_BLOCK_FINISH) {
      // The source has ended; the inflater may still hold output.
      const uint32_t room = stream.avail_out;
      const int status = isal_inflate(&stream);
      memberOut += room - stream.avail_out;
      if (status < 0) {
        endDamaged(inflateError(status));
        return false;
      }
      if (stream.block_state == ISAL_BLOCK_FINISH) return true;
      if (room != stream.avail_out) return true;
      if (memberIn > 0) endDamaged("truncated gzip input");
      ended = true;
      return false;
    }
    if (stream.block_state == ISAL_BLOCK_FINISH) {
      ++members;
      startMember(stream.next_in, stream.avail_in);
      return true;
    }
    const uint32_t given = stream.avail_in;
    const uint32_t room = stream.avail_out;
    const int status = isal_inflate(&stream);
    memberIn += given - stream.avail_in;
    memberOut += room - stream.avail_out;
    if (status < 0) {
      endDamaged(inflateError(status));
      return false;
    }
    // An inflater that neither takes input nor gives output would be asked
    // again for ever.
    if (given == stream.avail_in && room == stream.avail_out && stream.block_state != ISAL_BLOCK_FINISH) {
      endDamaged("invalid compressed data");
      return false;
    }
    return true;
  }
};

GzipReader::GzipReader(ByteReader& source, std::string name)
    : m_state(std::make_unique<State>(source, std::move(name))) {}

GzipReader::~GzipReader() = default;

ReadOutcome GzipReader::read(char* buffer, std::size_t capacity) {
  State& state = *m_state;
  if (state.ended) return {0, state.failure};
  const auto room = static_cast<uint32_t>(std::min<std::size_t>(capacity, UINT32_MAX));
  state.stream.next_out = reinterpret_cast<uint8_t*>(buffer);
  state.stream.avail_out = room;
  while (state.stream.avail_out == room && state.step()) {
  }
  const std::size_t produced = room - state.stream.avail_out;
  if (produced > 0) return {produced, std::nullopt};
  return {0, state.failure};
}

const std::optional<Failure>& GzipReader::failure() const noexcept { return m_state->failure; }

}  // namespace mailsift::detail
