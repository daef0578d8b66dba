// Lines of JSON for scripts: one object per entry with where it was read,
// and the summary of a scan. The objects, their keys and the order of the
// keys are fixed; scripts depend on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/piece_scan.h"
#include "cli/output.h"
#include "scanner/extract_addresses.h"

namespace mailsift::cli {

// Appends `text` as the inside of a JSON string: '"', '\\' and every
// control character (0x00 to 0x1F, 0x7F) escaped, \n, \r, \t, \b and \f by
// their short forms; each byte that is not part of valid UTF-8 (overlong
// forms, surrogates and code points past U+10FFFF included) becomes U+FFFD.
// Returns false when any byte did, so that the caller can keep the raw
// bytes another way.
bool appendJsonText(std::string& out, std::string_view text);

// Appends `bytes` in base64 (RFC 4648, with padding).
void appendBase64(std::string& out, std::string_view bytes);

// The source of entries as its fields, ready to be put into entry objects:
// "source":"...", and when the source is not valid UTF-8 also
// "source_bytes":"<base64 of the raw bytes>", so nothing of it is lost.
std::string jsonSourceFields(std::string_view source);

// Appends one entry object and its record end (a line feed, or a NUL with
// --null; neither can occur inside an object):
// {"type":"entry","entry":E,"list":"found"|"unknown",SOURCE,"offset":N,"decoded":V}
// where SOURCE is what jsonSourceFields gave, and "decoded" is left out for
// an entry read from the bytes as stored (an empty view).
void appendEntryObject(std::string& out, TargetList target, std::string_view entry, std::string_view sourceFields,
                       const EntryOrigin& origin, char recordEnd = '\n');

// The figures of a scan's summary object.
struct ScanSummaryFigures {
  std::size_t found = 0;
  std::size_t unknown = 0;
  std::size_t duplicate = 0;          // as in the counters line; 0 when no file was scanned
  std::size_t duplicatesRemoved = 0;  // from List1 over the whole scan
  std::size_t unreadableFiles = 0;    // in folders
  std::size_t unlistedFolders = 0;
  std::size_t failedSources = 0;  // files and pages that could not be read
  double seconds = 0;             // wall time of the scan
};

// Appends the summary object and its record end:
// {"type":"summary","found":N,"unknown":M,"duplicate":K,"duplicates_removed":T,
//  "unreadable_files":U,"unlisted_folders":F,"failed_sources":S,"seconds":1.234}
void appendSummaryObject(std::string& out, const ScanSummaryFigures& figures, char recordEnd = '\n');

// Prints an entry object for every entry, with the source set last. Stops
// the scan as soon as the output is gone (a closed pipe).
class JsonLinePrinter final : public EntrySink {
 public:
  JsonLinePrinter(OutputBuffer& out, char recordEnd) noexcept : m_out(out), m_recordEnd(recordEnd) {}
  void setSource(std::string_view source) { m_sourceFields = jsonSourceFields(source); }
  const std::string& sourceFields() const noexcept { return m_sourceFields; }

  SinkReply addEntry(TargetList target, std::string_view entry) override {
    return addEntryFrom(target, entry, EntryOrigin{});
  }
  bool wantsOrigins() const noexcept override { return true; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override;

 private:
  OutputBuffer& m_out;
  char m_recordEnd;
  std::string m_sourceFields;
  std::string m_line;  // reused, so an entry allocates nothing
};

// One piece's entry objects, written on the thread that scans the piece.
// `sourceFields` must outlive the collector.
class JsonPieceLines final : public PieceCollector {
 public:
  JsonPieceLines(const std::string& sourceFields, char recordEnd) noexcept
      : m_sourceFields(sourceFields), m_recordEnd(recordEnd) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    return addEntryFrom(target, entry, EntryOrigin{});
  }
  bool wantsOrigins() const noexcept override { return true; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    appendEntryObject(text, target, entry, m_sourceFields, origin, m_recordEnd);
    return SinkReply::Continue;
  }
  void clear() noexcept override { text.clear(); }
  std::string text;

 private:
  const std::string& m_sourceFields;
  char m_recordEnd;
};

}  // namespace mailsift::cli
