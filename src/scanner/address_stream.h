// The address scanner over a text that arrives in pieces: a file read
// through a fixed buffer, a pipe, a download. The entries are exactly those
// of scanning the whole text at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scanner/extract_addresses.h"

namespace mailsift {

// True when a text may be cut right after `byte` without changing its
// entries under `rules`: the byte is outside both address classes and is no
// part of a spelled-out form (not a blank, a bracket or "@"). Line ends,
// NUL, ",", ";" and quotes are such bytes, and "<", ">", "{", "}" and "+"
// are too under the specified rules only.
bool isScanBoundary(unsigned char byte, ScanRules rules = ScanRules::Specified) noexcept;

// Feeds pieces of one text to the scanner. Each piece is scanned in place up
// to its last boundary byte; only the open rest (the run of bytes after it,
// a few hundred bytes in real text) is copied and kept for the next piece,
// so memory follows the longest run without a boundary, not the text.
// Not thread-safe; one stream per text.
class AddressStream {
 public:
  // `sink` receives the entries of `rules`, in text order; it must outlive
  // the stream. Origins count the bytes fed since the text began, from
  // `firstOffset` for a text that is the end of a longer one.
  explicit AddressStream(EntrySink& sink, ScanRules rules = ScanRules::Specified,
                         std::uint64_t firstOffset = 0) noexcept
      : m_sink(sink), m_rules(rules), m_fed(firstOffset) {}

  // Scans what `piece` completes. Returns SinkReply::Stop once the sink has
  // asked to stop; later calls then do nothing and return Stop again.
  SinkReply feed(std::string_view piece);

  // Ends the text: scans what is still kept. The stream may then take a new
  // text, whose origins count from 0. Returns Stop when the sink has asked
  // to stop, at any time.
  SinkReply finish();

  // Bytes kept from earlier pieces, waiting for a boundary or the end.
  std::size_t pendingBytes() const noexcept { return m_pending.size(); }

 private:
  SinkReply scan(std::string_view text, std::uint64_t offset);

  EntrySink& m_sink;
  ScanRules m_rules;
  std::uint64_t m_fed;    // bytes of the text fed so far; m_pending ends there
  std::string m_pending;  // the open run after the last boundary so far
  SinkReply m_reply = SinkReply::Continue;
};

}  // namespace mailsift
