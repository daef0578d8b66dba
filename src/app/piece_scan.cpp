// The pieces of one file on several threads. Workers claim piece numbers in
// order and fill the slot of their piece in a ring of slots; the calling
// thread takes the slots back in order. A worker never runs more than the
// ring's length ahead of the delivery, which bounds the memory.
#include "app/piece_scan.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "sources/stream_scan.h"

namespace mailsift {
namespace {

constexpr unsigned kSlotsPerJob = 3;

unsigned jobsFor(const PieceScanOptions& options) {
  return options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
}

struct Slot {
  std::unique_ptr<PieceCollector> entries;
  StreamScanResult result;
  bool done = false;
};

class PieceScan {
 public:
  PieceScan(const platform::InputFile& input, const PieceScanOptions& options)
      : m_input(input),
        m_pieceBytes(std::max<std::uint64_t>(options.pieceBytes, 1)),
        m_pieces((input.size() + m_pieceBytes - 1) / m_pieceBytes),
        m_slots(std::max<std::size_t>(1, std::size_t{jobsFor(options)} * kSlotsPerJob)),
        m_jobs(jobsFor(options)),
        m_rules(options.rules),
        m_stop(options.stop) {}

  PieceScanResult run(const std::function<std::unique_ptr<PieceCollector>()>& makeCollector,
                      const std::function<SinkReply(PieceCollector&)>& deliver) {
    for (Slot& slot : m_slots) slot.entries = makeCollector();
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < m_jobs; ++i) workers.emplace_back([this] { work(); });
    PieceScanResult result;
    std::exception_ptr failure;
    try {
      collect(deliver, result);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      const std::lock_guard lock(m_mutex);
      m_abort = true;
    }
    m_claimable.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (failure == nullptr) failure = m_workerFailure;
    if (failure != nullptr) std::rethrow_exception(failure);
    return result;
  }

 private:
  bool stopRequested() const noexcept { return m_stop != nullptr && m_stop->load(); }

  void collect(const std::function<SinkReply(PieceCollector&)>& deliver, PieceScanResult& result) {
    for (std::uint64_t piece = 0; piece < m_pieces; ++piece) {
      Slot& slot = m_slots[static_cast<std::size_t>(piece % m_slots.size())];
      {
        std::unique_lock lock(m_mutex);
        m_pieceDone.wait(lock, [&] { return slot.done || m_abort; });
        // A piece finished after the stop may have been cut short.
        if (stopRequested()) {
          result.stopped = true;
          return;
        }
        if (!slot.done) return;  // a worker failed
      }
      result.bytes += slot.result.bytes;
      if (slot.result.failure) {
        result.failure = std::move(slot.result.failure);
        return;
      }
      if (deliver(*slot.entries) == SinkReply::Stop) {
        result.stopped = true;
        return;
      }
      slot.entries->clear();
      {
        const std::lock_guard lock(m_mutex);
        slot.done = false;
        ++m_delivered;
      }
      m_claimable.notify_one();
    }
  }

  void work() {
    ReadBuffer buffer;
    for (;;) {
      std::uint64_t piece = 0;
      {
        std::unique_lock lock(m_mutex);
        m_claimable.wait(
            lock, [&] { return m_abort || m_nextPiece >= m_pieces || m_nextPiece < m_delivered + m_slots.size(); });
        if (m_abort || m_nextPiece >= m_pieces) return;
        piece = m_nextPiece++;
      }
      Slot& slot = m_slots[static_cast<std::size_t>(piece % m_slots.size())];
      try {
        const std::uint64_t begin = piece * m_pieceBytes;
        StoppableSink sink(*slot.entries, m_stop);
        slot.result = scanFilePiece(m_input, begin, begin + m_pieceBytes, sink, buffer, m_rules);
      } catch (...) {
        const std::lock_guard lock(m_mutex);
        if (m_workerFailure == nullptr) m_workerFailure = std::current_exception();
        m_abort = true;
        m_pieceDone.notify_all();
        m_claimable.notify_all();
        return;
      }
      bool stopped = false;
      {
        const std::lock_guard lock(m_mutex);
        slot.done = true;
        // The caller may be waiting for another worker's piece; wake it and
        // the other workers, so that all see the stop.
        stopped = stopRequested();
        if (stopped) m_abort = true;
      }
      if (stopped) {
        m_pieceDone.notify_all();
        m_claimable.notify_all();
        return;
      }
      m_pieceDone.notify_one();
    }
  }

  const platform::InputFile& m_input;
  const std::uint64_t m_pieceBytes;
  const std::uint64_t m_pieces;
  std::vector<Slot> m_slots;
  const unsigned m_jobs;
  const ScanRules m_rules;
  const std::atomic<bool>* m_stop;

  std::mutex m_mutex;                   // guards the members below and every slot's `done`
  std::condition_variable m_claimable;  // workers wait for a free slot
  std::condition_variable m_pieceDone;  // the caller waits for the next piece
  std::uint64_t m_nextPiece = 0;
  std::uint64_t m_delivered = 0;
  bool m_abort = false;
  std::exception_ptr m_workerFailure;
};

}  // namespace

bool worthScanningInPieces(const platform::InputFile& input, const PieceScanOptions& options) {
  return input.isRegular() && jobsFor(options) > 1 && input.size() >= 2 * options.pieceBytes;
}

PieceScanResult scanInPieces(const platform::InputFile& input, const PieceScanOptions& options,
                             const std::function<std::unique_ptr<PieceCollector>()>& makeCollector,
                             const std::function<SinkReply(PieceCollector&)>& deliver) {
  return PieceScan(input, options).run(makeCollector, deliver);
}

namespace {

class EntriesCollector final : public PieceCollector {
 public:
  explicit EntriesCollector(bool origins) : entries(origins) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override { return entries.addEntry(target, entry); }
  bool wantsOrigins() const noexcept override { return entries.wantsOrigins(); }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    return entries.addEntryFrom(target, entry, origin);
  }
  void clear() noexcept override { entries.clear(); }
  FileEntries entries;
};

}  // namespace

PieceScanResult scanInPieces(const platform::InputFile& input, const PieceScanOptions& options,
                             const std::function<SinkReply(const FileEntries&)>& deliver) {
  return scanInPieces(
      input, options, [&] { return std::make_unique<EntriesCollector>(options.origins); },
      [&](PieceCollector& collector) { return deliver(static_cast<EntriesCollector&>(collector).entries); });
}

}  // namespace mailsift
