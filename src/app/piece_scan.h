// One large regular file scanned on several threads: cut into pieces at
// boundary bytes, each piece read and scanned on its own, the entries handed
// back in text order, exactly as one thread would find them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/file_entries.h"
#include "platform/input_file.h"
#include "scanner/scan_rules.h"

namespace mailsift {

struct PieceScanOptions {
  unsigned jobs = 0;                                  // threads; 0 means one per core
  std::uint64_t pieceBytes = std::uint64_t{8} << 20;  // nominal length of a piece
  ScanRules rules = ScanRules::Specified;             // the rules of the scan, which also cut the pieces
  bool origins = false;  // the FileEntries of each piece keep where each entry was read (offsets in the file)
  // When it turns true, the threads end their pieces within a few entries
  // and nothing more is delivered; the result says stopped.
  const std::atomic<bool>* stop = nullptr;
};

struct PieceScanResult {
  std::uint64_t bytes = 0;                   // bytes scanned
  std::optional<platform::Failure> failure;  // a read failed; later pieces were not delivered
  bool stopped = false;                      // `deliver` asked to stop
};

// A sink in front of `entries` that refuses every entry (SinkReply::Stop)
// once `stop` is true, so that a scanner ends its text at once instead of
// finishing megabytes that nobody wants. `stop` may be null (never stops);
// both must outlive the sink.
class StoppableSink final : public EntrySink {
 public:
  StoppableSink(EntrySink& entries, const std::atomic<bool>* stop) noexcept : m_entries(entries), m_stop(stop) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) return SinkReply::Stop;
    return m_entries.addEntry(target, entry);
  }
  bool wantsOrigins() const noexcept override { return m_entries.wantsOrigins(); }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) return SinkReply::Stop;
    return m_entries.addEntryFrom(target, entry, origin);
  }

 private:
  EntrySink& m_entries;
  const std::atomic<bool>* m_stop;
};

// True when scanning `input` in pieces can help: a regular file of at least
// two pieces, and more than one thread.
bool worthScanningInPieces(const platform::InputFile& input, const PieceScanOptions& options);

// What one piece's entries are gathered in, on a worker thread. Whatever
// the caller needs of them per entry (a copy, a printed line) is done there,
// in parallel; the delivery in text order then costs little.
class PieceCollector : public EntrySink {
 public:
  virtual ~PieceCollector() = default;
  // Empties the collector for the next piece.
  virtual void clear() noexcept = 0;
};

// Scans the regular file `input` in pieces on options.jobs threads, each
// piece into a collector made by `makeCollector`, and calls `deliver` on the
// calling thread with each piece's collector, in text order. At most a few
// pieces per thread are held at once, so memory does not grow with the
// file. When `deliver` returns SinkReply::Stop or options.stop turns true,
// no further piece is delivered and the threads end soon. Exceptions from `deliver` or from the
// threads (std::bad_alloc) are passed on after every thread has ended.
PieceScanResult scanInPieces(const platform::InputFile& input, const PieceScanOptions& options,
                             const std::function<std::unique_ptr<PieceCollector>()>& makeCollector,
                             const std::function<SinkReply(PieceCollector&)>& deliver);

// The same with each piece's entries gathered as FileEntries.
PieceScanResult scanInPieces(const platform::InputFile& input, const PieceScanOptions& options,
                             const std::function<SinkReply(const FileEntries&)>& deliver);

}  // namespace mailsift
