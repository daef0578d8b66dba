// Runs scans off the thread of a user interface. The scan fills the result
// lists on a worker thread; the interface reads frozen snapshots of them,
// published at most ten times a second, and polls progress, so it never
// waits for the scan and never sorts or removes duplicates itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/scan_job.h"
#include "results/list_snapshot.h"
#include "results/result_lists.h"

namespace mailsift {

// The lists as last published.
struct PublishedLists {
  std::shared_ptr<const ListSnapshot> list1 = std::make_shared<ListSnapshot>();
  std::shared_ptr<const ListSnapshot> list2 = std::make_shared<ListSnapshot>();
  std::uint64_t version = 0;  // grows with every publication
};

// A copy of the latest progress of a running scan.
struct ProgressReport {
  bool running = false;
  SourceKind kind = SourceKind::File;
  std::string target;  // the file, folder or URL being scanned
  std::size_t filesDone = 0;
  std::size_t filesListed = 0;
  bool listingDone = false;
  std::uint64_t bytesDone = 0;
  std::string currentPath;  // the file just scanned, in a folder
};

class ScanController {
 public:
  ScanController() = default;
  // Stops a running scan and waits for its thread.
  ~ScanController();
  ScanController(const ScanController&) = delete;
  ScanController& operator=(const ScanController&) = delete;

  // The lists themselves, for changes between scans (clear, move, export).
  // Only while no scan runs, and only from the interface thread; call
  // publish() after a change so that the snapshots follow.
  ResultLists& lists() noexcept { return m_lists; }

  // Starts scanning `sources` into the lists on a worker thread; the lists
  // are not cleared. `options.onProgress`, `stop` and `afterFile` are set by
  // the controller. Returns false when a scan is running already.
  bool start(std::vector<ScanSource> sources, ScanOptions options = {});

  // Asks the running scan to stop soon; what was found stays. Thread-safe.
  void cancel() noexcept;

  // True from start() until the worker has finished. Thread-safe.
  bool isRunning() const noexcept { return m_running.load(); }

  // The report of the last scan, once, after it has finished (isRunning()
  // false). Joins the finished worker thread. Interface thread only.
  std::optional<ScanReport> takeReport();

  // Thread-safe copies of the latest progress and the published lists.
  ProgressReport progress() const;
  PublishedLists published() const;

  // Publishes the lists as they are now. Interface thread, no scan running.
  void publish();

 private:
  void publishFrom(const ResultLists& lists);

  ResultLists m_lists;
  std::thread m_worker;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_stop{false};

  mutable std::mutex m_mutex;  // guards the members below
  ProgressReport m_progress;
  PublishedLists m_published;
  std::optional<ScanReport> m_report;
  std::chrono::steady_clock::time_point m_lastPublish;
};

}  // namespace mailsift
