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
#include <vector>

#include "platform/input_file.h"
#include "sources/stream_scan.h"

namespace mailsift {
namespace {

constexpr std::size_t kWindow = 4096;  // files listed but not yet handed over
constexpr auto kStopPoll = std::chrono::milliseconds(50);
constexpr std::size_t kClaimAtOnce = 8;  // files a worker claims per visit to the window

struct Slot {
  std::string path;
  platform::EntryKind kind;
  bool done = false;
  std::optional<platform::Failure> failure;
  std::uint64_t bytes = 0;
  FileEntries entries;
};

class Pipeline {
 public:
  Pipeline(const std::string& folder, const FolderScanOptions& options) : m_folder(folder), m_options(options) {}

  FolderScanSummary run(const std::function<void(const ScannedFile&)>& onFile,
                        const std::function<void(const FolderScanProgress&)>& onProgress) {
    unsigned jobs = m_options.jobs;
    if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    threads.emplace_back([this] { walk(); });
    for (unsigned i = 0; i < jobs; ++i) threads.emplace_back([this] { work(); });

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
        ++summary.filesScanned;
        if (slot.failure) ++summary.unreadableFiles;
        summary.bytes += slot.bytes;
        onFile(ScannedFile{slot.path, slot.failure, slot.bytes, slot.entries});
        if (onProgress) {
          progress.filesDone = summary.filesScanned;
          progress.bytesDone = summary.bytes;
          progress.currentPath = &slot.path;
          onProgress(progress);
        }
      }
    }
  }

  void walk() {
    WalkSummary walked;
    try {
      walked = walkFolderTree(
          m_folder,
          [this](const WalkEntry& entry) {
            if (entry.kind == platform::EntryKind::Folder) return;
            std::unique_lock lock(m_mutex);
            m_spaceFree.wait(lock, [this] { return m_window.size() < kWindow || m_abort; });
            if (m_abort) {
              m_walkStop = true;
              return;
            }
            Slot& slot = m_window.emplace_back();
            slot.path = entry.path;
            slot.kind = entry.kind;
            ++m_listed;
            lock.unlock();
            m_workReady.notify_one();
          },
          &m_walkStop);
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

  // Claims a few files at a time, so that the lock is taken less often.
  void work() {
    ReadBuffer buffer;  // one per worker, whatever the size of its files
    std::vector<Slot*> claimed;
    for (;;) {
      claimed.clear();
      {
        std::unique_lock lock(m_mutex);
        m_workReady.wait(lock, [this] { return m_abort || m_nextClaim < m_base + m_window.size() || m_walkDone; });
        if (m_abort) return;
        // A deque keeps references to its elements valid while others are
        // added at the back or taken from the front.
        while (claimed.size() < kClaimAtOnce && m_nextClaim < m_base + m_window.size()) {
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
        bool isFront = false;
        {
          const std::lock_guard lock(m_mutex);
          slot->done = true;
          isFront = !m_window.empty() && &m_window.front() == slot;
        }
        // Only the file at the front lets the caller go on.
        if (isFront) m_frontDone.notify_one();
      }
    }
  }

  void scanSlot(Slot& slot, ReadBuffer& buffer) const {
    std::string trimmed;
    const bool pathChanged =
        m_options.trimPaths && !slot.path.empty() && (slot.path.front() == ' ' || slot.path.back() == ' ');
    if (pathChanged) {
      const std::size_t first = slot.path.find_first_not_of(' ');
      if (first != std::string::npos) trimmed = slot.path.substr(first, slot.path.find_last_not_of(' ') - first + 1);
    }
    // A trimmed path may name another file, whose kind is not known: the
    // read itself refuses anything that is not a regular file.
    const std::string& readPath = pathChanged ? trimmed : slot.path;
    if (!pathChanged && slot.kind != platform::EntryKind::RegularFile) {
      // Never opened: FIFOs and devices could block.
      slot.failure = platform::failureOf(platform::FailureKind::NotRegularFile, slot.path);
      return;
    }
    if (stopRequested()) return;
    platform::InputFile input;
    slot.failure = platform::InputFile::open(readPath, input, platform::InputFile::Check::TrustListing);
    if (slot.failure) return;
    StreamScanResult scanned = scanInput(input, slot.entries, buffer, {}, m_options.rules);
    slot.bytes = scanned.bytes;
    slot.failure = std::move(scanned.failure);
  }

  const std::string& m_folder;
  const FolderScanOptions& m_options;
  std::atomic<bool> m_walkStop{false};

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
