// Reading and scanning in one pass through a fixed buffer.
#include "sources/stream_scan.h"

#include <algorithm>
#include <string_view>

#include "scanner/address_stream.h"

namespace mailsift {
namespace {

// The index of the first boundary byte of `rules` in `block` at or after
// `from`, or block.size().
std::size_t firstBoundary(std::string_view block, std::size_t from, ScanRules rules) noexcept {
  for (std::size_t i = from; i < block.size(); ++i) {
    if (isScanBoundary(static_cast<unsigned char>(block[i]), rules)) return i;
  }
  return block.size();
}

// Reads at most what the file held when it was opened, so a file that
// grows meanwhile gives the same pieces to every thread.
platform::ReadOutcome readBlock(const platform::InputFile& input, std::uint64_t at, ReadBuffer& buffer) {
  const std::uint64_t left = input.size() - std::min(at, input.size());
  return input.readAt(at, buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size())));
}

}  // namespace

StreamScanResult scanInput(platform::InputFile& input, EntrySink& sink, ReadBuffer& buffer,
                           const std::function<void(std::uint64_t)>& onProgress, ScanRules rules) {
  StreamScanResult result;
  AddressStream stream(sink, rules);
  for (;;) {
    platform::ReadOutcome got = input.read(buffer.data(), buffer.size());
    if (got.failure) {
      result.failure = std::move(got.failure);
      break;
    }
    if (got.bytes == 0) break;
    result.bytes += got.bytes;
    if (stream.feed(std::string_view(buffer.data(), got.bytes)) == SinkReply::Stop) break;
    if (onProgress) onProgress(result.bytes);
    // A regular file ends at its size when it was opened, as a whole read
    // would: this spares the read that finds the end, one per file of a
    // folder, and a file that grows meanwhile gives the same bytes.
    if (input.isRegular() && result.bytes >= input.size()) break;
  }
  result.stopped = stream.finish() == SinkReply::Stop;
  return result;
}

StreamScanResult scanFilePiece(const platform::InputFile& input, std::uint64_t begin, std::uint64_t end,
                               EntrySink& sink, ReadBuffer& buffer, ScanRules rules) {
  StreamScanResult result;
  std::uint64_t at = begin;

  // Prologue: the piece starts after the first boundary at or after `begin`.
  // When that boundary lies at or after `end`, the next piece starts there
  // too and this one is empty.
  if (begin > 0) {
    for (;;) {
      platform::ReadOutcome got = readBlock(input, at, buffer);
      if (got.failure) {
        result.failure = std::move(got.failure);
        return result;
      }
      if (got.bytes == 0) return result;  // no boundary: the piece before runs to the end
      const std::size_t boundary = firstBoundary(std::string_view(buffer.data(), got.bytes), 0, rules);
      if (boundary < got.bytes) {
        if (at + boundary >= end) return result;
        at += boundary + 1;
        break;
      }
      at += got.bytes;
    }
  }

  // Main loop: whole blocks up to `end`; the block that reaches `end` is
  // scanned up to the first boundary at or after it, which ends the piece.
  AddressStream stream(sink, rules, at);  // origins count from the file's start
  for (;;) {
    platform::ReadOutcome got = readBlock(input, at, buffer);
    if (got.failure) {
      result.failure = std::move(got.failure);
      break;
    }
    if (got.bytes == 0) break;
    std::string_view block(buffer.data(), got.bytes);
    bool last = false;
    if (at + got.bytes > end) {
      const std::size_t inside = at < end ? static_cast<std::size_t>(end - at) : 0;
      const std::size_t boundary = firstBoundary(block, inside, rules);
      if (boundary < block.size()) {
        block = block.substr(0, boundary + 1);
        last = true;
      }
    }
    at += block.size();
    result.bytes += block.size();
    if (stream.feed(block) == SinkReply::Stop || last) break;
  }
  result.stopped = stream.finish() == SinkReply::Stop;
  return result;
}

}  // namespace mailsift
