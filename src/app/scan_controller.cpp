// The scan controller: one worker thread per scan, snapshots for readers.
#include "app/scan_controller.h"

#include <exception>

namespace mailsift {
namespace {
constexpr auto kPublishEvery = std::chrono::milliseconds(100);
}  // namespace

ScanController::~ScanController() {
  cancel();
  if (m_worker.joinable()) m_worker.join();
}

bool ScanController::start(std::vector<ScanSource> sources, ScanOptions options) {
  if (m_running.load()) return false;
  if (m_worker.joinable()) m_worker.join();  // a finished scan whose report was not taken
  m_stop = false;
  m_running = true;
  {
    const std::lock_guard lock(m_mutex);
    m_report.reset();
    m_progress = ProgressReport{};
    m_progress.running = true;
    m_lastPublish = std::chrono::steady_clock::now();
  }
  options.stop = &m_stop;
  options.onProgress = [this](const ScanProgress& progress) {
    const std::lock_guard lock(m_mutex);
    if (progress.source != nullptr) {
      m_progress.kind = progress.source->kind;
      m_progress.target = progress.source->target;
    }
    m_progress.filesDone = progress.filesDone;
    m_progress.filesListed = progress.filesListed;
    m_progress.listingDone = progress.listingDone;
    m_progress.bytesDone = progress.bytesDone;
    if (progress.currentPath != nullptr) m_progress.currentPath = *progress.currentPath;
  };
  // A snapshot shares the lists' storage, so publishing costs a pointer per
  // block of a changed list; still it waits at least as long again as the
  // last publication took, so that it never starves the scan.
  options.afterFile = [this](const ResultLists& lists) {
    const auto now = std::chrono::steady_clock::now();
    {
      const std::lock_guard lock(m_mutex);
      if (now - m_lastPublish < kPublishEvery) return;
    }
    publishFrom(lists);
    const auto took = std::chrono::steady_clock::now() - now;
    const std::lock_guard lock(m_mutex);
    m_lastPublish = std::chrono::steady_clock::now() + took;
  };
  m_worker = std::thread([this, sources = std::move(sources), options = std::move(options)] {
    ScanReport report;
    try {
      report = runScan(sources, m_lists, options);
    } catch (const std::exception&) {
      // Out of memory: keep what the lists hold and end the scan as stopped.
      report.stopped = true;
    }
    publishFrom(m_lists);
    {
      const std::lock_guard lock(m_mutex);
      m_report = std::move(report);
      m_progress.running = false;
    }
    m_running = false;
  });
  return true;
}

void ScanController::cancel() noexcept { m_stop = true; }

std::optional<ScanReport> ScanController::takeReport() {
  if (m_running.load()) return std::nullopt;
  if (m_worker.joinable()) m_worker.join();
  const std::lock_guard lock(m_mutex);
  std::optional<ScanReport> report = std::move(m_report);
  m_report.reset();
  return report;
}

ProgressReport ScanController::progress() const {
  const std::lock_guard lock(m_mutex);
  return m_progress;
}

PublishedLists ScanController::published() const {
  const std::lock_guard lock(m_mutex);
  return m_published;
}

void ScanController::publish() { publishFrom(m_lists); }

void ScanController::publishFrom(const ResultLists& lists) {
  auto list1 = std::make_shared<const ListSnapshot>(lists, ListId::List1);
  auto list2 = std::make_shared<const ListSnapshot>(lists, ListId::List2);
  const std::lock_guard lock(m_mutex);
  m_published.list1 = std::move(list1);
  m_published.list2 = std::move(list2);
  ++m_published.version;
}

}  // namespace mailsift
