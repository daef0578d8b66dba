// The folder scan pipeline. One thread walks the tree and appends the files
// it meets to a window of slots; worker threads claim slots in order, read
// and scan their files; the calling thread takes finished slots from the
// front of the window, so files are handed over strictly in walk order. The
// window is bounded, so memory stays small however large the tree is. Files
// are opened through their open folders, which the window keeps open until
// the files have been read, so the window also bounds how many folders it
// holds open.
#include "app/folder_scan.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "app/detail/first_readers.h"
#include "app/piece_scan.h"
#include "platform/input_file.h"
#include "sources/stream_scan.h"

namespace mailsift {
namespace {

constexpr std::size_t kWindow = 4096;  // files listed but not yet handed over
constexpr auto kStopPoll = std::chrono::milliseconds(50);
constexpr std::size_t kClaimAtOnce = 32;  // most files a worker claims per visit to the window
constexpr std::size_t kPassAtOnce = 32;   // files the walk gathers before it passes them on
// Most runs of files of one folder in the window: it holds their folders
// open, beside the few dozen the walk holds, and the process may open no
// more than 1024 files and folders on many systems.
constexpr std::size_t kMostFolderRuns = 128;

using platform::EntryKind;
using platform::FailureKind;
using platform::InputFile;

constexpr std::size_t kNone = detail::FirstReaders::kNone;

// A file as the walk meets it.
struct Listed {
  std::string path;
  std::shared_ptr<const platform::FolderHandle> folder;
  std::size_t nameStart;
  EntryKind kind;
};

struct Slot {
  std::string path;
  std::shared_ptr<const platform::FolderHandle> folder;  // holds the file; dropped once the file is read
  std::size_t nameStart = 0;                             // where the file's name begins in `path`
  std::size_t index = 0;                                 // place in walk order
  EntryKind kind = EntryKind::OtherFile;
  bool startsRun = false;  // the first of a run of files of one folder in the window
  bool done = false;
  bool inPieces = false;    // left for the calling thread to scan in pieces
  bool readBefore = false;  // the file was read under an earlier name: nothing to hand over
  // A file further on in walk order that was opened as the same file before
  // this one, and so read in vain.
  std::size_t readsInVain = kNone;
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
        const bool walkMayWait = m_window.size() >= kWindow || m_folderRuns >= kMostFolderRuns;
        while (!m_window.empty() && m_window.front().done) {
          if (m_window.front().startsRun) --m_folderRuns;
          finished.push_back(std::move(m_window.front()));
          m_window.pop_front();
          ++m_base;
        }
        progress.filesListed = m_listed;
        progress.listingDone = m_walkDone;
        if (walkMayWait) m_spaceFree.notify_one();
      }
      for (Slot& slot : finished) {
        if (stopRequested()) {
          summary.stopped = true;
          return;
        }
        if (settleReadBefore(slot)) ++summary.filesReadBefore;
        if (slot.inPieces) scanInPieces(slot, onFile, onProgress, progress, summary);
        ++summary.filesScanned;
        if (slot.failure) ++summary.unreadableFiles;
        summary.bytes += slot.bytes;
        onFile(ScannedFile{slot.path, slot.failure, slot.bytes, slot.entries, false, &slot.notes, slot.readBefore});
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
    InputFile input;
    slot.failure = openFile(slot, input);
    slot.folder.reset();
    if (slot.failure) return;
    const std::optional<platform::Failure> none;
    PieceScanOptions pieces{m_jobs, m_options.pieceBytes, m_options.rules};
    pieces.stop = m_options.stop;
    pieces.origins = m_options.origins;
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
    std::vector<Listed> batch;
    std::shared_ptr<const platform::FolderHandle> lastFolder;  // kept, so its address is not another's
    const auto passOn = [this, &batch, &lastFolder] {
      std::unique_lock lock(m_mutex);
      for (Listed& listed : batch) {
        const bool startsRun = listed.folder != lastFolder;
        m_spaceFree.wait(lock, [&] {
          return (m_window.size() < kWindow && (!startsRun || m_folderRuns < kMostFolderRuns)) || m_abort;
        });
        if (m_abort) {
          m_walkStop = true;
          break;
        }
        if (startsRun) {
          lastFolder = listed.folder;
          ++m_folderRuns;
        }
        Slot& slot = m_window.emplace_back();
        if (m_options.origins) slot.entries = FileEntries(true);
        slot.path = std::move(listed.path);
        slot.folder = std::move(listed.folder);
        slot.nameStart = listed.nameStart;
        slot.kind = listed.kind;
        slot.startsRun = startsRun;
        slot.index = m_listed++;
      }
      batch.clear();
      lock.unlock();
      m_workReady.notify_all();
    };
    try {
      walked = walkFolderTree(
          m_folder,
          [&](const WalkEntry& entry) {
            if (entry.kind == EntryKind::Folder) return;
            batch.push_back({entry.path, entry.folder, entry.nameStart, entry.kind});
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
          if (!slot->inPieces) slot->folder.reset();
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

  // Opens the file of `slot` as the scan reads it: under its listed name,
  // or with trimPaths under its path trimmed of blanks, which may name
  // another entry or none.
  std::optional<platform::Failure> openFile(const Slot& slot, InputFile& input) const {
    const std::string& path = slot.path;
    if (!m_options.trimPaths || (path.front() != ' ' && path.back() != ' ')) {
      // Never opened: FIFOs and devices could block.
      if (slot.kind != EntryKind::RegularFile) return platform::failureOf(FailureKind::NotRegularFile, path);
      return InputFile::openIn(*slot.folder, path, slot.nameStart, input, InputFile::Check::TrustListing);
    }
    const std::size_t first = path.find_first_not_of(' ');
    const std::string trimmed =
        first == std::string::npos ? std::string() : path.substr(first, path.find_last_not_of(' ') - first + 1);
    // Of another entry nothing is known: it is looked at before it is opened.
    if (first == 0) {
      // Cut at its end only, so still in the same folder, unless the name
      // was all blanks and the folder itself is left.
      if (trimmed.size() <= slot.nameStart) return platform::failureOf(FailureKind::IsFolder, trimmed);
      return InputFile::openIn(*slot.folder, trimmed, slot.nameStart, input, InputFile::Check::LookFirst);
    }
    // The start folder's own path lost its leading blanks: another folder.
    return InputFile::open(trimmed, input, InputFile::Check::LookFirst);
  }

  // Settles, in walk order, whether the file of `slot` was read before
  // under an earlier name; if so, drops what was read in vain.
  bool settleReadBefore(Slot& slot) {
    if (!m_readInVain.empty() && m_readInVain.erase(slot.index) > 0) slot.readBefore = true;
    if (slot.readsInVain != kNone) m_readInVain.insert(slot.readsInVain);
    if (!slot.readBefore) return false;
    slot.inPieces = false;
    slot.failure.reset();
    slot.bytes = 0;
    slot.entries.clear();
    slot.notes.clear();
    return true;
  }

  // Notes that `slot` reads the file `identity`; false when a file earlier
  // in walk order reads it too, as a second name of a file is passed over.
  bool isFirstReader(Slot& slot, const platform::FileIdentity& identity) {
    std::size_t before = kNone;
    {
      const std::lock_guard lock(m_readersMutex);
      before = m_firstReaders.note(identity, slot.index);
    }
    if (before < slot.index) return false;
    slot.readsInVain = before;
    return true;
  }

  void scanSlot(Slot& slot, ReadBuffer& buffer) {
    if (stopRequested()) return;
    InputFile input;
    slot.failure = openFile(slot, input);
    if (slot.failure) return;
    if (!isFirstReader(slot, input.identity())) {
      slot.readBefore = true;
      return;
    }
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
  std::size_t m_folderRuns = 0;  // slots in the window that start a run
  WalkSummary m_walkSummary;
  std::exception_ptr m_threadFailure;

  std::mutex m_readersMutex;  // guards m_firstReaders
  detail::FirstReaders m_firstReaders;
  // Files the calling thread has yet to hand over that were read although an
  // earlier name of theirs was read too: they are handed over as read before.
  std::unordered_set<std::size_t> m_readInVain;
};

}  // namespace

FolderScanSummary scanFolderInWalkOrder(const std::string& folder, const FolderScanOptions& options,
                                        const std::function<void(const ScannedFile&)>& onFile,
                                        const std::function<void(const FolderScanProgress&)>& onProgress) {
  return Pipeline(folder, options).run(onFile, onProgress);
}

}  // namespace mailsift
