// Scanning what a file holds: as it is stored and, where its content calls
// for it, as decoded views (a compressed stream or archive, a PDF, the
// encoded parts of a mail, UTF-8 or UTF-16 text, escapes). Every view is
// read as it streams, through fixed buffers.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/failure.h"
#include "platform/input_file.h"
#include "scanner/extract_addresses.h"
#include "sources/stream_scan.h"

namespace mailsift {

enum class DecodeMode : unsigned char {
  None,  // every input is read as Windows-1252 bytes, exactly as stored
  Auto,  // decoded views where the content calls for them
};

// Bounds on decoding one file, so that a hostile file (a compression bomb,
// archives nested without end) costs little. Each bound reached ends that
// part of the decoding with a note; the rest of the file is still read.
struct DecodeLimits {
  unsigned depth = 4;  // containers inside containers (a .tar.gz counts once)
  // Decoded bytes per file: this many, or `ratio` times the stored size of
  // the file, whichever is more.
  std::uint64_t bytes = std::uint64_t{1} << 30;
  std::uint64_t ratio = 100;
  std::chrono::milliseconds time{60'000};  // decoding one file
};

struct DecodeOptions {
  DecodeMode mode = DecodeMode::Auto;
  DecodeLimits limits;
};

struct ContentScanResult {
  std::uint64_t bytes = 0;                   // stored bytes read
  std::optional<platform::Failure> failure;  // reading the input failed; what came before was scanned
  // What decoding could not do while the input itself was read: a damaged
  // member or document, a limit reached. Named by the file and the path of
  // the member inside it ("a.zip//b.docx//word/document.xml").
  std::vector<platform::Failure> notes;
  bool stopped = false;  // the sink asked to stop
};

// Reads `input` from its current position to its end and hands every entry
// to `sink`. With DecodeMode::None this is scanInput. With Auto, the first
// bytes choose the views:
//   - a compressed stream or archive: each member is scanned in turn (and
//     decoded again where it calls for it), never the compressed bytes;
//   - a PDF: the text of its pages;
//   - office XML and other markup members: their text, markup and
//     character references undone;
//   - UTF-8 or UTF-16 text: its characters, as the scanner's Windows-1252;
//   - a mail or mailbox: the message as stored, and beside it the decoded
//     encoded words and base64 or quoted-printable parts;
//   - text with escapes (character references, "%40", troff's "\-"): as
//     stored, and beside it with the escapes undone.
// The entries of a view beside the stored text come after the others, and
// only those the stored text did not give. `buffer` serves the input
// itself (one of at least 4 KiB, so that the first bytes fit in it); nested
// views use buffers of their own. `onProgress` gets the stored bytes read
// so far. Every view is scanned with `rules`.
ContentScanResult scanContent(platform::InputFile& input, EntrySink& sink, ReadBuffer& buffer,
                              const DecodeOptions& options, const std::function<void(std::uint64_t)>& onProgress = {},
                              ScanRules rules = ScanRules::Specified);

// True when the first bytes of a text show content that only scanContent
// reads right. False for DecodeMode::None.
bool needsDecoding(std::string_view head, const DecodeOptions& options) noexcept;

// The same for the regular file `input`, whose first bytes are read into
// `buffer` without moving its position: false means it may be scanned in
// pieces as plain text. A failed read gives true, so that the failure is
// met and reported by scanContent.
bool needsDecoding(const platform::InputFile& input, ReadBuffer& buffer, const DecodeOptions& options);

}  // namespace mailsift
