// The gzip reader: zlib's inflate in gzip mode over the source, one member
// after the other.
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

#include "decode/detail/feed_buffer.h"
#include "decode/detail/gzip_reader.h"

namespace mailsift::detail {

using platform::Failure;
using platform::FailureKind;

struct GzipReader::State {
  ByteReader& source;
  std::string name;
  FeedBuffer input;
  z_stream stream{};
  bool sourceEnded = false;
  bool ended = false;
  std::size_t members = 0;  // finished so far
  std::optional<Failure> failure;

  State(ByteReader& from, std::string named) : source(from), name(std::move(named)) {
    // 15 + 16: a 32 KiB window and a gzip header and trailer, both checked.
    if (inflateInit2(&stream, 15 + 16) != Z_OK) throw std::bad_alloc();
  }
  ~State() { inflateEnd(&stream); }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // Ends the stream: with `why` as a Damaged failure, except after the
  // first member before the next gave a byte, where what follows is taken
  // for padding and ignored.
  void endDamaged(const char* why) {
    ended = true;
    if (members > 0 && stream.total_out == 0) return;
    failure = Failure{FailureKind::Damaged, 0, name, std::string("gzip: ") + (why != nullptr ? why : "damaged data")};
  }

  // More input when zlib has used all it had; false when the stream ended.
  bool refill() {
    if (stream.avail_in > 0 || sourceEnded) return true;
    ReadOutcome got = source.read(input.get(), kFeedSize);
    if (got.failure) {
      ended = true;
      failure = std::move(got.failure);
      return false;
    }
    sourceEnded = got.bytes == 0;
    stream.next_in = reinterpret_cast<Bytef*>(input.get());
    stream.avail_in = static_cast<uInt>(got.bytes);
    return true;
  }

  // One inflate step into the output that is set; false when the stream ended.
  bool step() {
    if (!refill()) return false;
    if (stream.avail_in == 0) {  // the source has ended
      const bool midMember = stream.total_in > 0;
      if (midMember) endDamaged("truncated gzip input");
      ended = true;
      return false;
    }
    const int status = inflate(&stream, Z_NO_FLUSH);
    if (status == Z_STREAM_END) {
      ++members;
      inflateReset(&stream);  // total_in and total_out start again at 0
      return true;
    }
    if (status == Z_OK || status == Z_BUF_ERROR) return true;
    endDamaged(stream.msg);
    return false;
  }
};

GzipReader::GzipReader(ByteReader& source, std::string name)
    : m_state(std::make_unique<State>(source, std::move(name))) {}

GzipReader::~GzipReader() = default;

ReadOutcome GzipReader::read(char* buffer, std::size_t capacity) {
  State& state = *m_state;
  if (state.ended) return {0, state.failure};
  const auto room = static_cast<uInt>(std::min<std::size_t>(capacity, UINT_MAX));
  state.stream.next_out = reinterpret_cast<Bytef*>(buffer);
  state.stream.avail_out = room;
  while (state.stream.avail_out == room && state.step()) {
  }
  const std::size_t produced = room - state.stream.avail_out;
  if (produced > 0) return {produced, std::nullopt};
  return {0, state.failure};
}

const std::optional<Failure>& GzipReader::failure() const noexcept { return m_state->failure; }

}  // namespace mailsift::detail
