// The folder scan pipeline. One thread walks the tree and appends the files
// it meets to a window of slots; worker threads claim slots in order, read
// and scan their files; the calling thread takes finished slots from the
// front of the window, so files are handed over strictly in walk order. The
// window is bounded, so memory stays small however large the tree is.
#include "app/folder_scan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/piece_scan.h"
#include "platform/input_file.h"
#include "sources/stream_scan.h"

namespace mailsift {
namespace {

constexpr std::size_t kWindow = 4096;  // files listed but not yet handed over
constexpr auto kStopPoll = std::chrono::milliseconds(50);
constexpr std::size_t kClaimAtOnce = 32;  // most files a worker claims per visit to the window
constexpr std::size_t kPassAtOnce = 32;   // files the walk gathers before it passes them on

struct Slot {
  std::string path;
  platform::EntryKind kind;
  bool done = false;
  bool inPieces = false;  // left for the calling thread to scan in pieces
  std::optional<platform::Failure> failure;
  std::vector<platform::Failure> notes;
  std::uint64_t bytes = 0;
  FileEntries entries;
};

class Pipeline {
 public:
  Pipeline(const std::string& folder, const FolderScanOptions& options) : m_folder(folder), m_options(options) {}

  FolderScanSummary run(const std::function<void(const ScannedFile&)>& onFile,
                        const std::function<void(const FolderScanProgress&)>& onProgress) {
    m_jobs = m_options.jobs;
    if (m_jobs == 0) m_jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    threads.emplace_back([this] { walk(); });
    for (unsigned i = 0; i < m_jobs; ++i) threads.emplace_back([this] { work(); });

    FolderScanSummary summary;
    std::exception_ptr failure;
    try {
      consume(onFile, onProgress, summary);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      const std::lock_guard lock(m_mutex);
      m_abort = true;
    }
    m_walkStop = true;
    m_spaceFree.notify_all();
    m_workReady.notify_all();
    for (std::thread& thread : threads) thread.join();
    if (failure == nullptr) failure = m_threadFailure;
    if (failure != nullptr) std::rethrow_exception(failure);
    summary.walk = m_walkSummary;
    return summary;
  }

 private:
  bool stopRequested() const { return m_options.stop != nullptr && m_options.stop->load(std::memory_order_relaxed); }

  // Takes every finished file from the front of the window at once, then
  // hands them over without holding the lock.
  void consume(const std::function<void(const ScannedFile&)>& onFile,
               const std::function<void(const FolderScanProgress&)>& onProgress, FolderScanSummary& summary) {
    FolderScanProgress progress;
    std::vector<Slot> finished;
    for (;;) {
      finished.clear();
      {
        std::unique_lock lock(m_mutex);
        while (!(!m_window.empty() && m_window.front().done) && !(m_walkDone && m_window.empty())) {
          if (stopRequested() || m_abort) break;
          m_frontDone.wait_for(lock, kStopPoll);
        }
        if (stopRequested()) {
          summary.stopped = true;
          return;
        }
        if (m_window.empty() || !m_window.front().done) return;  // all handed over, or a thread failed
        const bool wasFull = m_window.size() >= kWindow;
        while (!m_window.empty() && m_window.front().done) {
          finished.push_back(std::move(m_window.front()));
          m_window.pop_front();
          ++m_base;
        }
        progress.filesListed = m_listed;
        progress.listingDone = m_walkDone;
        if (wasFull) m_spaceFree.notify_one();
      }
      for (Slot& slot : finished) {
        if (stopRequested()) {
          summary.stopped = true;
          return;
        }
        if (slot.inPieces) scanInPieces(slot, onFile, onProgress, progress, summary);
        ++summary.filesScanned;
        if (slot.failure) ++summary.unreadableFiles;
        summary.bytes += slot.bytes;
        onFile(ScannedFile{slot.path, slot.failure, slot.bytes, slot.entries, false, &slot.notes});
        if (onProgress) {
          progress.filesDone = summary.filesScanned;
          progress.bytesDone = summary.bytes;
          progress.currentPath = &slot.path;
          onProgress(progress);
        }
      }
    }
  }

  // Files are passed to the window in small batches, so the walk takes the
  // lock and wakes a worker once per batch rather than once per file. A
  // batch goes at once when a worker is idle, so none waits for a batch
  // to fill.
  // Scans a large file on every job, handing over each piece but the last
  // as it comes; leaves the bytes and the failure in `slot` for the last
  // call. Other workers go on with the files after it meanwhile.
  void scanInPieces(Slot& slot, const std::function<void(const ScannedFile&)>& onFile,
                    const std::function<void(const FolderScanProgress&)>& onProgress, FolderScanProgress& progress,
                    FolderScanSummary& summary) const {
    platform::InputFile input;
    slot.failure = platform::InputFile::open(readPathOf(slot), input, platform::InputFile::Check::TrustListing);
    if (slot.failure) return;
    const std::optional<platform::Failure> none;
    const PieceScanOptions pieces{m_jobs, m_options.pieceBytes};
    const PieceScanResult scanned = mailsift::scanInPieces(input, pieces, [&](const FileEntries& piece) {
      slot.bytes = std::min(slot.bytes + pieces.pieceBytes, input.size());
      onFile(ScannedFile{slot.path, none, slot.bytes, piece, true});
      if (onProgress) {
        progress.filesDone = summary.filesScanned;
        progress.bytesDone = summary.bytes + slot.bytes;
        progress.currentPath = &slot.path;
        onProgress(progress);
      }
      return stopRequested() ? SinkReply::Stop : SinkReply::Continue;
    });
    slot.bytes = scanned.bytes;
    slot.failure = scanned.failure;
  }

  void walk() {
    WalkSummary walked;
    std::vector<std::pair<std::string, platform::EntryKind>> batch;
    const auto passOn = [this, &batch] {
      std::unique_lock lock(m_mutex);
      for (auto& [path, kind] : batch) {
        m_spaceFree.wait(lock, [this] { return m_window.size() < kWindow || m_abort; });
        if (m_abort) {
          m_walkStop = true;
          break;
        }
        Slot& slot = m_window.emplace_back();
        slot.path = std::move(path);
        slot.kind = kind;
        ++m_listed;
      }
      batch.clear();
      lock.unlock();
      m_workReady.notify_all();
    };
    try {
      walked = walkFolderTree(
          m_folder,
          [&](const WalkEntry& entry) {
            if (entry.kind == platform::EntryKind::Folder) return;
            batch.emplace_back(entry.path, entry.kind);
            if (batch.size() >= kPassAtOnce || m_idleWorkers.load(std::memory_order_relaxed) > 0) passOn();
          },
          &m_walkStop);
      if (!batch.empty()) passOn();
    } catch (...) {
      const std::lock_guard lock(m_mutex);
      m_threadFailure = std::current_exception();
      m_abort = true;
    }
    {
      const std::lock_guard lock(m_mutex);
      m_walkSummary = walked;
      m_walkDone = true;
    }
    m_workReady.notify_all();
    m_frontDone.notify_one();
  }

  // Claims a few files at a time and marks them done together, so that the
  // lock is taken and the caller woken less often.
  void work() {
    ReadBuffer buffer;  // one per worker, whatever the size of its files
    std::vector<Slot*> claimed;
    for (;;) {
      claimed.clear();
      {
        std::unique_lock lock(m_mutex);
        const auto hasWork = [this] { return m_abort || m_nextClaim < m_base + m_window.size() || m_walkDone; };
        if (!hasWork()) {
          m_idleWorkers.fetch_add(1, std::memory_order_relaxed);
          m_workReady.wait(lock, hasWork);
          m_idleWorkers.fetch_sub(1, std::memory_order_relaxed);
        }
        if (m_abort) return;
        // A deque keeps references to its elements valid while others are
        // added at the back or taken from the front.
        // Up to half of its share of what is waiting, so that the other
        // workers are not left idle behind one long claim.
        const std::size_t waiting = m_base + m_window.size() - m_nextClaim;
        const std::size_t claim = std::clamp<std::size_t>(waiting / (std::size_t{2} * m_jobs), 1, kClaimAtOnce);
        while (claimed.size() < claim && m_nextClaim < m_base + m_window.size()) {
          claimed.push_back(&m_window[m_nextClaim - m_base]);
          ++m_nextClaim;
        }
        if (claimed.empty()) return;  // the walk is over and every file is claimed
      }
      for (Slot* slot : claimed) {
        try {
          scanSlot(*slot, buffer);
        } catch (...) {
          const std::lock_guard lock(m_mutex);
          if (m_threadFailure == nullptr) m_threadFailure = std::current_exception();
          m_abort = true;
        }
      }
      bool isFront = false;
      {
        const std::lock_guard lock(m_mutex);
        for (Slot* slot : claimed) slot->done = true;
        isFront = !m_window.empty() && &m_window.front() == claimed.front();
      }
      // Only the file at the front lets the caller go on.
      if (isFront) m_frontDone.notify_one();
    }
  }

  // The path a file is read under: as listed, or trimmed of blanks.
  std::string readPathOf(const Slot& slot) const {
    if (!m_options.trimPaths) return slot.path;
    const std::size_t first = slot.path.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return slot.path.substr(first, slot.path.find_last_not_of(' ') - first + 1);
  }

  void scanSlot(Slot& slot, ReadBuffer& buffer) const {
    const std::string readPath = readPathOf(slot);
    // A trimmed path may name another file, whose kind is not known: the
    // read itself refuses anything that is not a regular file.
    if (readPath == slot.path && slot.kind != platform::EntryKind::RegularFile) {
      // Never opened: FIFOs and devices could block.
      slot.failure = platform::failureOf(platform::FailureKind::NotRegularFile, slot.path);
      return;
    }
    if (stopRequested()) return;
    platform::InputFile input;
    slot.failure = platform::InputFile::open(readPath, input, platform::InputFile::Check::TrustListing);
    if (slot.failure) return;
    // A large file of plain text waits for its turn and is then scanned on
    // every job; it is opened again then, so no descriptor is held while it
    // waits. With one job too: its entries are then handed over piece by
    // piece instead of all at once.
    if (input.isRegular() && input.size() >= 2 * m_options.pieceBytes &&
        !needsDecoding(input, buffer, m_options.decode)) {
      slot.inPieces = true;
      return;
    }
    ContentScanResult scanned = scanContent(input, slot.entries, buffer, m_options.decode, {}, m_options.rules);
    slot.bytes = scanned.bytes;
    slot.failure = std::move(scanned.failure);
    slot.notes = std::move(scanned.notes);
  }

  const std::string& m_folder;
  const FolderScanOptions& m_options;
  std::atomic<bool> m_walkStop{false};
  std::atomic<unsigned> m_idleWorkers{0};  // workers waiting for files
  unsigned m_jobs = 1;

  std::mutex m_mutex;                   // guards everything below
  std::condition_variable m_spaceFree;  // the walk waits for room in the window
  std::condition_variable m_workReady;  // workers wait for files to claim
  std::condition_variable m_frontDone;  // the caller waits for the front file
  std::deque<Slot> m_window;            // files m_base, m_base + 1, ... in walk order
  std::size_t m_base = 0;
  std::size_t m_nextClaim = 0;
  std::size_t m_listed = 0;
  bool m_walkDone = false;
  bool m_abort = false;
  WalkSummary m_walkSummary;
  std::exception_ptr m_threadFailure;
};

}  // namespace

FolderScanSummary scanFolderInWalkOrder(const std::string& folder, const FolderScanOptions& options,
                                        const std::function<void(const ScannedFile&)>& onFile,
                                        const std::function<void(const FolderScanProgress&)>& onProgress) {
  return Pipeline(folder, options).run(onFile, onProgress);
}

}  // namespace mailsift
