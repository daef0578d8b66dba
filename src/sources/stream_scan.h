// Scanning an input as it is read: through one fixed buffer that stays in
// the cache, so memory does not grow with the input, and entries come while
// the input is still being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/input_file.h"
#include "scanner/extract_addresses.h"

namespace mailsift {

// A reusable read buffer of a fixed size. 256 KiB read fastest from the page
// cache on the machines measured, and stay in the second-level cache while
// the scanner reads them again.
class ReadBuffer {
 public:
  static constexpr std::size_t kBytes = std::size_t{256} << 10;

  // A buffer of `bytes` (> 0); the default suits every input, smaller ones
  // let tests cross many block ends.
  explicit ReadBuffer(std::size_t bytes = kBytes)
      : m_bytes(std::make_unique_for_overwrite<char[]>(bytes)), m_size(bytes) {}
  char* data() noexcept { return m_bytes.get(); }
  std::size_t size() const noexcept { return m_size; }

 private:
  std::unique_ptr<char[]> m_bytes;
  std::size_t m_size;
};

struct StreamScanResult {
  std::uint64_t bytes = 0;                   // bytes read and scanned
  std::optional<platform::Failure> failure;  // a read failed; what came before was scanned
  bool stopped = false;                      // the sink asked to stop
};

// Reads `input` from its current position to its end (for a regular file,
// its size when it was opened) through `buffer` and hands every entry of
// `rules` to `sink` in text order: exactly the entries of scanning the whole
// input at once. `onProgress`, when set, is called after each piece with the
// bytes read so far. Memory beyond the buffer is the longest run of bytes
// without a place where an entry could end (see AddressStream).
StreamScanResult scanInput(platform::InputFile& input, EntrySink& sink, ReadBuffer& buffer,
                           const std::function<void(std::uint64_t)>& onProgress = {},
                           ScanRules rules = ScanRules::Specified);

// Scans one piece of a regular file so that the pieces [0, s1), [s1, s2),
// ... [sn, size) of any cut positions together give exactly the entries of
// `rules` of the whole file: the piece for the nominal range [begin, end)
// starts after the first boundary byte of `rules` at or after `begin` (at 0
// for begin 0) and ends after the first one at or after `end` (or at the
// end of the file). Origins count from the start of the file. Thread-safe
// for distinct buffers and sinks.
StreamScanResult scanFilePiece(const platform::InputFile& input, std::uint64_t begin, std::uint64_t end,
                               EntrySink& sink, ReadBuffer& buffer, ScanRules rules = ScanRules::Specified);

}  // namespace mailsift
