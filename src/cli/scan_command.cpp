// `mailsift scan`: files, folder trees and web pages into the two result
// lists, exactly as the window's scans fill them, then the lists or the
// export.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "app/scan_job.h"
#include "cli/commands.h"
#include "cli/json_lines.h"
#include "cli/option_parser.h"
#include "cli/option_values.h"
#include "cli/output.h"
#include "platform/terminal.h"
#include "results/csv_export.h"

namespace mailsift::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: mailsift scan [OPTIONS] PATH...\n"
    "\n"
    "Scans each PATH into the same two lists, in the order given: a file is\n"
    "scanned whole, a folder with every file below it (hidden ones too, links\n"
    "followed), an http:// or https:// address by downloading that one page,\n"
    "and \"-\" standard input, as one file (read once: a second \"-\" is empty).\n"
    "After every file, duplicates are removed from both lists. Then the lists\n"
    "are printed, one entry per line (UTF-8, LF), or List1 is exported.\n"
    "\n"
    "  List1  recognised addresses, sorted\n"
    "  List2  candidates whose top-level domain is unknown, in the order found\n"
    "\n"
    "Options:\n"
    "  --list=found|unknown|both  print List1 (the default), List2, or both\n"
    "                             (List1, a blank line, List2)\n"
    "  -o, --export=FILE          write List1 to FILE instead of printing\n"
    "  --delimiter=TEXT           the delimiter of the export, as typed in the\n"
    "                             window: \"br\" is a line break (CR LF), \"tb\" a\n"
    "                             tab; letters are lower-cased (default \";br\")\n"
    "  --rules=RULES              specified (the default) or extended: \"+\" in the\n"
    "                             local part, forms between blanks or in other\n"
    "                             brackets (\" [at] \", \" <at> \", \" dot \"...), the\n"
    "                             current top-level domains, one-letter labels\n"
    "                             below the last two, and a full stop after an\n"
    "                             address left out (see 'mailsift extract --help')\n"
    "  -j, --jobs=N               threads that read and scan folder files\n"
    "                             (default: one per core; results never change)\n"
    "  --decode=auto|none         decode compressed files, archives, office\n"
    "                             files, PDF, mail, UTF-8 and UTF-16 text and\n"
    "                             escapes where the content calls for it (auto,\n"
    "                             the default), or read every file as stored\n"
    "  --encoding=cp1252          read input bytes as Windows-1252 (also named\n"
    "                             windows-1252) where they are not decoded (the\n"
    "                             default)\n"
    "  --max-download-time=SECONDS\n"
    "                             give up a page that takes longer than this to\n"
    "                             download (default 300; 0: no limit)\n"
    "  --max-download-size=BYTES  give up a page larger than this, counted after\n"
    "                             any compression is undone; K, M, G mean KiB,\n"
    "                             MiB, GiB (default 1G; 0: no limit)\n"
    "  --format=lines|jsonl       print the lists as lines (the default), or as\n"
    "                             one JSON object per entry, as 'mailsift extract\n"
    "                             --help' shows, with the source (a folder's file\n"
    "                             as walked, a page's URL without its password)\n"
    "                             and offset where the entry was first read; a\n"
    "                             summary object ends the output, also after\n"
    "                             --export, which then prints nothing else\n"
    "  -0, --null                 end each entry with a NUL instead of a line\n"
    "                             feed, for xargs -0 (with --list=both the lists\n"
    "                             are parted by a lone NUL)\n"
    "  -q, --quiet                nothing on standard error but errors: no\n"
    "                             counters, no progress (wins over --verbose)\n"
    "  --verbose                  report unreadable files and folders of a folder\n"
    "                             scan, and what could not be decoded\n"
    "  -h, --help                 show this help\n"
    "  -V, --version              show the version\n"
    "\n"
    "A value may also follow as the next word (--jobs 4, -j 4, -j4, -o FILE);\n"
    "names are taken in any letter case; short options group (-q0); \"--\"\n"
    "ends the options, so that a PATH may begin with \"-\".\n"
    "\n"
    "The counters and the last duplicate notice go to standard error in one\n"
    "line, such as \"Found:12 Unknown:3 Duplicate 0\". On a terminal a progress\n"
    "line shows there while folders and pages are scanned.\n"
    "\n"
    "Exit status: 0 on success; 2 when a file could not be read or a download\n"
    "failed or hit a limit (everything else is still scanned; nothing of that\n"
    "page is kept) or the options are wrong; 1 when the export could not be\n"
    "written (the message starts with \"Err:\" and the system's error number).\n";

enum class Listing { Found, Unknown, Both };

struct Options {
  Listing listing = Listing::Found;
  std::string exportPath;
  bool exporting = false;
  std::string delimiterAnswer{kDefaultDelimiterAnswer};
  bool delimiterGiven = false;
  unsigned jobs = 0;
  DecodeMode decode = DecodeMode::Auto;
  ScanRules rules = ScanRules::Specified;
  OutputFormat format = OutputFormat::Lines;
  char recordEnd = '\n';
  bool quiet = false;  // wins over verbose: only errors on standard error
  bool verbose = false;
  platform::HttpOptions http;  // the limits of downloads
  std::vector<std::string> paths;
};

bool parseListing(std::string_view value, Listing& listing) {
  if (equalsNoCase(value, "found")) {
    listing = Listing::Found;
  } else if (equalsNoCase(value, "unknown")) {
    listing = Listing::Unknown;
  } else if (equalsNoCase(value, "both")) {
    listing = Listing::Both;
  } else {
    printError("--list takes found, unknown or both, not '" + escapeControls(value) + "'");
    return false;
  }
  return true;
}

// Parses the arguments; returns the exit status to end with, or nothing to
// go on.
std::optional<int> parseOptions(std::span<const std::string_view> args, Options& options) {
  const Option table[] = {
      {"list", '\0', true, [&](std::string_view v) { return parseListing(v, options.listing); }},
      {"export", 'o', true,
       [&](std::string_view v) {
         options.exportPath = v;
         options.exporting = true;
         return true;
       }},
      {"delimiter", '\0', true,
       [&](std::string_view v) {
         options.delimiterAnswer = v;
         options.delimiterGiven = true;
         return true;
       }},
      {"rules", '\0', true, [&](std::string_view v) { return parseRules(v, options.rules); }},
      {"jobs", 'j', true, [&](std::string_view v) { return parseJobs(v, options.jobs); }},
      {"decode", '\0', true, [&](std::string_view v) { return parseDecodeMode(v, options.decode); }},
      {"encoding", '\0', true, [](std::string_view v) { return parseEncoding(v); }},
      {"max-download-time", '\0', true,
       [&](std::string_view v) { return parseDownloadTime(v, options.http.totalTimeout); }},
      {"max-download-size", '\0', true,
       [&](std::string_view v) { return parseDownloadSize(v, options.http.maxBytes); }},
      {"format", '\0', true, [&](std::string_view v) { return parseFormat(v, options.format); }},
      {"null", '0', false,
       [&](std::string_view) {
         options.recordEnd = '\0';
         return true;
       }},
      {"quiet", 'q', false, setFlag(options.quiet)},
      {"verbose", '\0', false, setFlag(options.verbose)},
  };
  if (const std::optional<int> status = OptionParser("mailsift scan", kHelp, table).parse(args, options.paths)) {
    return status;
  }
  if (options.paths.empty()) {
    printError("no PATH given\nTry 'mailsift scan --help'.");
    return 2;
  }
  if (options.delimiterGiven && !options.exporting) {
    printError("--delimiter goes with --export");
    return 2;
  }
  return std::nullopt;
}

// One line on standard error, rewritten in place at most ten times a second
// and cleared at the end. Only on a terminal, and not when asked to be quiet.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet) : m_enabled(!quiet && platform::isTerminal(stderr)) {}
  ~ProgressLine() { clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(const ScanProgress& progress) {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (progress.source != m_source) {
      m_source = progress.source;
      m_sourceStart = now;
    }
    if (now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;
    const double seconds = std::chrono::duration<double>(now - m_sourceStart).count();
    const double megabytesPerSecond = seconds > 0 ? static_cast<double>(progress.bytesDone) / 1e6 / seconds : 0.0;
    char head[96];
    if (progress.source != nullptr && progress.source->kind == SourceKind::Folder) {
      std::snprintf(head, sizeof head, "%zu of %zu%s files, %.1f MB/s ", progress.filesDone, progress.filesListed,
                    progress.listingDone ? "" : "+", megabytesPerSecond);
    } else {
      std::snprintf(head, sizeof head, "%.1f MB, %.1f MB/s ", static_cast<double>(progress.bytesDone) / 1e6,
                    megabytesPerSecond);
    }
    std::string line = head;
    if (progress.currentPath != nullptr) {
      line += displayName(*progress.currentPath);
    } else if (progress.source != nullptr && progress.source->kind == SourceKind::StandardInput) {
      line += "standard input";
    } else if (progress.source != nullptr) {
      line += displayName(progress.source->target);
    }
    const std::size_t width = platform::terminalColumns(stderr) - 1;
    if (line.size() > width) line = line.substr(0, width);
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    m_drawn = true;
  }

  void clear() {
    if (!m_drawn) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
  }

 private:
  bool m_enabled;
  bool m_drawn = false;
  const ScanSource* m_source = nullptr;
  std::chrono::steady_clock::time_point m_sourceStart;
  std::chrono::steady_clock::time_point m_lastDraw;
};

void printList(OutputBuffer& out, const ResultLists& lists, ListId list, char recordEnd) {
  for (std::size_t i = 0; i < lists.count(list); ++i) {
    out.append(lists.at(list, i));
    out.append(std::string_view(&recordEnd, 1));
  }
}

// The entry objects of `list`, each with its first origin.
void printJsonList(OutputBuffer& out, const ResultLists& lists, ListId list, const EntryOrigins& origins,
                   char recordEnd) {
  const TargetList target = list == ListId::List1 ? TargetList::List1 : TargetList::List2;
  std::string line;
  std::string_view lastSource;
  std::string sourceFields;
  for (std::size_t i = 0; i < lists.count(list); ++i) {
    const std::string_view entry = lists.at(list, i);
    EntryOrigins::Origin origin;
    static_cast<void>(origins.find(list, entry, origin));  // every entry was noted on its way in
    if (sourceFields.empty() || origin.source.data() != lastSource.data()) {
      lastSource = origin.source;
      sourceFields = jsonSourceFields(origin.source);
    }
    line.clear();
    appendEntryObject(line, target, entry, sourceFields, EntryOrigin{origin.offset, origin.view}, recordEnd);
    out.append(line);
  }
}

// The figures of the summary object: the counters line's, and the totals
// of the report.
ScanSummaryFigures summaryFigures(const ScanReport& report, const ResultLists& lists, double seconds) {
  ScanSummaryFigures figures;
  figures.found = lists.count(ListId::List1);
  figures.unknown = lists.count(ListId::List2);
  figures.duplicate = report.anyFileScanned ? report.last.removedFromList1 : 0;
  figures.duplicatesRemoved = report.removedFromList1;
  for (const SourceOutcome& outcome : report.sources) {
    figures.unreadableFiles += outcome.unreadableFiles;
    figures.unlistedFolders += outcome.unlistedFolders;
    if (outcome.failure) ++figures.failedSources;
  }
  figures.seconds = seconds;
  return figures;
}

// The counters and, when a file was scanned, the duplicate notice of the
// last one, in one line: "Found:12 Unknown:3 Duplicate 0".
std::string summaryLine(const ScanReport& report, const ResultLists& lists) {
  std::string line =
      "Found:" + std::to_string(lists.count(ListId::List1)) + " Unknown:" + std::to_string(lists.count(ListId::List2));
  if (report.anyFileScanned) line += " Duplicate " + std::to_string(report.last.removedFromList1);
  return line;
}

}  // namespace

int runScan(std::span<const std::string_view> args) {
  Options options;
  if (const std::optional<int> status = parseOptions(args, options)) return *status;

  std::optional<std::string> delimiter;
  if (options.exporting) {
    // As in the window, a blank path means no export; here that is a mistake
    // worth saying, before a long scan, rather than a file named "  ".
    if (isBlank(options.exportPath)) {
      printError("the export path is blank: nothing to export");
      return 2;
    }
    delimiter = exportDelimiter(options.delimiterAnswer);
    if (!delimiter) {
      printError("the delimiter is blank: nothing to export");
      return 2;
    }
  }

  std::vector<ScanSource> sources;
  for (const std::string& path : options.paths) sources.push_back(classifySource(path));

  ResultLists lists;
  ScanReport report;
  EntryOrigins origins;
  const auto started = std::chrono::steady_clock::now();
  {
    ProgressLine progress(options.quiet);
    ScanOptions scanOptions;
    scanOptions.jobs = options.jobs;
    scanOptions.decode.mode = options.decode;
    scanOptions.rules = options.rules;
    scanOptions.http = options.http;
    scanOptions.onProgress = [&](const ScanProgress& p) { progress.update(p); };
    if (options.format == OutputFormat::Jsonl) scanOptions.origins = &origins;
    report = mailsift::runScan(sources, lists, scanOptions);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  const bool verbose = options.verbose && !options.quiet;
  int status = 0;
  for (const SourceOutcome& outcome : report.sources) {
    const std::string target = displayName(outcome.source.target);
    if (outcome.failure) {  // a file that could not be read, a page that could not be fetched
      printFailure(*outcome.failure);
      status = 2;
    } else if (outcome.source.kind == SourceKind::Folder && verbose &&
               (outcome.unreadableFiles > 0 || outcome.unlistedFolders > 0 || outcome.filesReadBefore > 0)) {
      std::string counts = target + ": " + std::to_string(outcome.unreadableFiles) + " of " +
                           std::to_string(outcome.filesScanned) + " files could not be read, " +
                           std::to_string(outcome.unlistedFolders) + " folders could not be listed";
      if (outcome.filesReadBefore > 0) {
        counts += ", " + std::to_string(outcome.filesReadBefore) + " files were read before under another name";
      }
      printError(counts);
    } else if (outcome.source.kind == SourceKind::Folder && outcome.unlistedFolders > 0) {
      printError(target + ": " + std::to_string(outcome.unlistedFolders) + " folders could not be listed");
    }
    // Unreadable files in a folder are no error, but a part of the tree left
    // out is.
    if (outcome.unlistedFolders > 0) status = 2;
    if (verbose) {
      for (const platform::Failure& note : outcome.notes) printFailure(note);
    }
  }

  if (options.exporting) {
    if (const std::optional<platform::Failure> failure = exportList1(lists, *delimiter, options.exportPath)) {
      // As the window's error box: its title "Err:" and the number, then its text.
      std::fprintf(stderr, "Err:%d %s\n", failure->systemError,
                   escapeControls(exportErrorDescription(*failure)).c_str());
      return 1;
    }
  }
  if (!options.exporting || options.format == OutputFormat::Jsonl) {
    ignoreBrokenPipeSignal();
    OutputBuffer out(stdout);
    if (options.format == OutputFormat::Jsonl) {
      if (!options.exporting && options.listing != Listing::Unknown) {
        printJsonList(out, lists, ListId::List1, origins, options.recordEnd);
      }
      if (!options.exporting && options.listing != Listing::Found) {
        printJsonList(out, lists, ListId::List2, origins, options.recordEnd);
      }
      std::string summary;
      appendSummaryObject(summary, summaryFigures(report, lists, seconds), options.recordEnd);
      out.append(summary);
    } else {
      const std::string_view recordEnd(&options.recordEnd, 1);
      if (options.listing != Listing::Unknown) printList(out, lists, ListId::List1, options.recordEnd);
      // Between the lists an empty record: a blank line, or a lone NUL.
      if (options.listing == Listing::Both) out.append(recordEnd);
      if (options.listing != Listing::Found) printList(out, lists, ListId::List2, options.recordEnd);
    }
    out.flush();
    if (out.failed() && !out.brokenPipe()) {
      printError("cannot write output");
      return 2;
    }
  }

  // The command line speaks English, whatever the locale.
  if (!options.quiet) std::fprintf(stderr, "%s\n", summaryLine(report, lists).c_str());
  return status;
}

}  // namespace mailsift::cli
