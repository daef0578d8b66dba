// Runs a scan of several sources into the result lists.
#include "app/scan_job.h"

#include <filesystem>

#include "app/display_text.h"
#include "app/named_procedures.h"
#include "app/piece_scan.h"
#include "app/scan_file.h"
#include "platform/path_text.h"
#include "sources/folder_walk.h"
#include "sources/stream_scan.h"
#include "sources/url_scan.h"

namespace mailsift {
namespace {

constexpr std::size_t kEntriesBetweenStopChecks = 4096;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

// Notes the origin of every entry on its way into the lists.
class NotingSink final : public EntrySink {
 public:
  NotingSink(ListsSink& lists, EntryOrigins& origins, std::string_view source) noexcept
      : m_lists(lists), m_origins(origins), m_source(source) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    return addEntryFrom(target, entry, EntryOrigin{});
  }
  bool wantsOrigins() const noexcept override { return true; }
  SinkReply addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) override {
    m_origins.note(listOf(target), entry, m_source, origin);
    return m_lists.addEntry(target, entry);
  }

 private:
  ListsSink& m_lists;
  EntryOrigins& m_origins;
  std::string_view m_source;
};

class Job {
 public:
  Job(ResultLists& lists, const ScanOptions& options) : m_lists(lists), m_options(options) {}

  ScanReport run(std::span<const ScanSource> sources) {
    for (const ScanSource& source : sources) {
      if (stopRequested()) {
        m_report.stopped = true;
        break;
      }
      SourceOutcome& outcome = m_report.sources.emplace_back();
      outcome.source = source;
      switch (source.kind) {
        case SourceKind::File:
          scanFile(outcome);
          break;
        case SourceKind::Folder:
          scanFolder(outcome);
          break;
        case SourceKind::Url:
          scanUrl(outcome);
          break;
        case SourceKind::StandardInput:
          scanStandardInput(outcome);
          break;
      }
    }
    return std::move(m_report);
  }

 private:
  bool stopRequested() const { return m_options.stop != nullptr && m_options.stop->load(); }

  // For a file scanned straight into the lists through `sink`.
  void closeFile(ListsSink& sink) {
    m_report.last = sink.closeFile();
    m_report.removedFromList1 += m_report.last.removedFromList1;
    noteFileClosed();
  }

  void noteFileClosed() {
    m_report.anyFileScanned = true;
    if (m_options.afterFile) m_options.afterFile(m_lists);
  }

  void report(const ScanSource& source, std::uint64_t bytes) {
    if (!m_options.onProgress) return;
    ScanProgress progress;
    progress.source = &source;
    progress.bytesDone = bytes;
    m_options.onProgress(progress);
  }

  // Reads and scans one input through the job's buffer into `sink`: a
  // large regular file of plain text in pieces on the job's threads,
  // anything else with its decoded views. `origin` names the source in
  // the entries' origins.
  std::optional<platform::Failure> scanInto(platform::InputFile& input, ListsSink& sink, SourceOutcome& outcome,
                                            std::string_view origin) {
    const ScanSource& source = outcome.source;
    PieceScanOptions pieces;
    pieces.jobs = m_options.jobs;
    pieces.rules = m_options.rules;
    pieces.stop = m_options.stop;
    pieces.origins = m_options.origins != nullptr;
    if (worthScanningInPieces(input, pieces) && !needsDecoding(input, m_buffer, m_options.decode)) {
      std::uint64_t done = 0;
      return scanInPieces(input, pieces,
                          [&](const FileEntries& piece) {
                            // A piece may hold a third of a million entries:
                            // a stop is not kept waiting for all of them.
                            for (std::size_t i = 0; i < piece.size(); ++i) {
                              if (i % kEntriesBetweenStopChecks == 0 && stopRequested()) return SinkReply::Stop;
                              if (m_options.origins != nullptr) {
                                m_options.origins->note(listOf(piece.target(i)), piece.text(i), origin,
                                                        piece.origin(i));
                              }
                              sink.addEntry(piece.target(i), piece.text(i));
                            }
                            done = std::min(done + pieces.pieceBytes, input.size());
                            report(source, done);
                            return stopRequested() ? SinkReply::Stop : SinkReply::Continue;
                          })
          .failure;
    }
    std::optional<NotingSink> noting;
    if (m_options.origins != nullptr) noting.emplace(sink, *m_options.origins, origin);
    StoppableSink stoppable(noting ? static_cast<EntrySink&>(*noting) : sink, m_options.stop);
    ContentScanResult scanned = scanContent(
        input, stoppable, m_buffer, m_options.decode, [&](std::uint64_t bytes) { report(source, bytes); },
        m_options.rules);
    keepNotes(outcome, scanned.notes);
    return std::move(scanned.failure);
  }

  static void keepNotes(SourceOutcome& outcome, const std::vector<platform::Failure>& notes) {
    constexpr std::size_t kMostNotes = 500;
    for (const platform::Failure& note : notes) {
      if (outcome.notes.size() >= kMostNotes) return;
      outcome.notes.push_back(note);
    }
  }

  void scanFile(SourceOutcome& outcome) {
    report(outcome.source, 0);
    ListsSink lists(m_lists);
    platform::InputFile input;
    outcome.failure = platform::InputFile::open(outcome.source.target, input);
    if (!outcome.failure) outcome.failure = scanInto(input, lists, outcome, outcome.source.target);
    closeFile(lists);
  }

  void scanStandardInput(SourceOutcome& outcome) {
    report(outcome.source, 0);
    ListsSink lists(m_lists);
    // Read at most once: a regular file given as standard input is read in
    // pieces at offsets that do not move its position, so a second read
    // would find it all again, while a pipe would give nothing.
    if (!m_standardInputRead) {
      m_standardInputRead = true;
      platform::InputFile input = platform::InputFile::standardInput();
      outcome.failure = scanInto(input, lists, outcome, outcome.source.target);
    }
    closeFile(lists);
  }

  void scanFolder(SourceOutcome& outcome) {
    FolderScanOptions folderOptions;
    folderOptions.jobs = m_options.jobs;
    folderOptions.stop = m_options.stop;
    folderOptions.trimPaths = true;
    folderOptions.decode = m_options.decode;
    folderOptions.rules = m_options.rules;
    folderOptions.origins = m_options.origins != nullptr;
    std::function<void(const FolderScanProgress&)> onProgress;
    if (m_options.onProgress) {
      onProgress = [&](const FolderScanProgress& folder) {
        ScanProgress progress;
        progress.source = &outcome.source;
        progress.filesDone = folder.filesDone;
        progress.filesListed = folder.filesListed;
        progress.listingDone = folder.listingDone;
        progress.bytesDone = folder.bytesDone;
        progress.currentPath = folder.currentPath;
        m_options.onProgress(progress);
      };
    }
    ListsSink lists(m_lists);
    const auto addFile = [&](const ScannedFile& file) {
      for (std::size_t i = 0; i < file.entries.size(); ++i) {
        if (m_options.origins != nullptr) {
          m_options.origins->note(listOf(file.entries.target(i)), file.entries.text(i), file.path,
                                  file.entries.origin(i));
        }
        lists.addEntry(file.entries.target(i), file.entries.text(i));
      }
      if (file.notes != nullptr) keepNotes(outcome, *file.notes);
      if (!file.morePieces) closeFile(lists);
    };
    const FolderScanSummary summary =
        scanFolderInWalkOrder(AddBackslash(outcome.source.target), folderOptions, addFile, onProgress);
    outcome.filesScanned = summary.filesScanned;
    outcome.unreadableFiles = summary.unreadableFiles;
    outcome.unlistedFolders = summary.walk.unlistedFolders;
    outcome.filesReadBefore = summary.filesReadBefore;
    if (summary.stopped) m_report.stopped = true;
  }

  void scanUrl(SourceOutcome& outcome) {
    platform::HttpOptions http = m_options.http;
    http.cancel = m_options.stop;
    if (m_options.onProgress) {
      http.onProgress = [&](std::uint64_t received, std::optional<std::uint64_t>) { report(outcome.source, received); };
    }
    ListsSink lists(m_lists);
    const std::string origin = m_options.origins != nullptr ? hidePasswords(outcome.source.target) : std::string();
    const UrlScanSource page = fetchUrlForScan(
        outcome.source.target, [&](platform::InputFile& input) { return scanInto(input, lists, outcome, origin); },
        http);
    outcome.failure = page.failure;
    closeFile(lists);
  }

  ResultLists& m_lists;
  const ScanOptions& m_options;
  ScanReport m_report;
  ReadBuffer m_buffer;
  bool m_standardInputRead = false;
};

}  // namespace

ScanSource classifySource(const std::string& argument) {
  if (argument == "-") return {SourceKind::StandardInput, argument};
  if (startsWithNoCase(argument, "http://") || startsWithNoCase(argument, "https://")) {
    return {SourceKind::Url, argument};
  }
  std::error_code ignored;
  if (std::filesystem::is_directory(platform::filesystemPath(argument), ignored)) return {SourceKind::Folder, argument};
  return {SourceKind::File, argument};
}

ScanReport runScan(std::span<const ScanSource> sources, ResultLists& lists, const ScanOptions& options) {
  return Job(lists, options).run(sources);
}

}  // namespace mailsift
