// A scan of several sources (files, folder trees, web pages) into the two
// result lists, with progress and early stop. The command line runs it
// directly; a window runs it off its event thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/entry_origins.h"
#include "app/folder_scan.h"
#include "app/scan_file.h"
#include "platform/failure.h"
#include "platform/http_download.h"
#include "results/result_lists.h"
#include "scanner/scan_rules.h"
#include "sources/content_scan.h"
#include "sources/scan_text.h"

namespace mailsift {

enum class SourceKind : unsigned char {
  File,    // one file, read whole
  Folder,  // every file of the tree below it, in walk order
  Url,     // one web page, downloaded to the temporary file and scanned
  // The process's standard input, read as one file. It is read once in a
  // scan: a second such source is scanned as an empty file.
  StandardInput,
};

struct ScanSource {
  SourceKind kind;
  std::string target;  // the path or the URL, used as given
};

// What a command-line argument names: "-" is StandardInput, an http:// or
// https:// address (in any letter case) a Url, an existing folder a Folder,
// anything else a File (which may turn out to be unreadable; "./-" names a
// file called "-").
ScanSource classifySource(const std::string& argument);

struct ScanProgress {
  const ScanSource* source = nullptr;        // the source being scanned
  std::size_t filesDone = 0;                 // in the current folder
  std::size_t filesListed = 0;               // in the current folder, so far
  bool listingDone = false;                  // the folder's walk is over
  std::uint64_t bytesDone = 0;               // bytes read or downloaded in the current source
  const std::string* currentPath = nullptr;  // the file just scanned, in a folder
};

struct ScanOptions {
  unsigned jobs = 0;                                    // threads for folder scans; 0 means one per core
  ScanRules rules = ScanRules::Specified;               // the rules every file, folder file and page is scanned with
  const std::atomic<bool>* stop = nullptr;              // ends the scan early when it turns true
  platform::HttpOptions http;                           // time-outs for downloads (its cancel is set from `stop`)
  DecodeOptions decode{};                               // decoded views of files and pages
  std::function<void(const ScanProgress&)> onProgress;  // called on the scanning thread
  // Called on the scanning thread after the closing steps of every file,
  // while the lists are consistent; it may read them but not change them.
  std::function<void(const ResultLists&)> afterFile;
  // When set, the first origin of every entry is noted in it as the entries
  // are added, in scan order: the source is a file's path as given, a folder
  // file's path as walked, a page's URL without its password.
  EntryOrigins* origins = nullptr;
};

// How one source went.
struct SourceOutcome {
  ScanSource source;
  std::optional<platform::Failure> failure;  // File or Url: why it gave the empty text; unset when it worked
  std::size_t filesScanned = 0;              // Folder: files scanned
  std::size_t unreadableFiles = 0;           // Folder: files that gave the empty text through a failure
  std::size_t unlistedFolders = 0;           // Folder: folders that could not be listed
  std::size_t filesReadBefore = 0;           // Folder: files passed over as read before under another name
  // What decoding could not do in files that were read (a damaged member, a
  // limit reached); at most a few hundred are kept.
  std::vector<platform::Failure> notes;
};

struct ScanReport {
  std::vector<SourceOutcome> sources;  // in the order given; a stopped scan lists those it began
  ScanSummary last;                    // how the last file scanned closed (counts, duplicates removed from List1)
  std::size_t removedFromList1 = 0;    // duplicates removed from List1 over the whole scan
  bool anyFileScanned = false;         // false: no file's closing steps ran, `last` is empty
  bool stopped = false;                // ended early on request; what was found so far stays in the lists
};

// Scans `sources` one after the other into `lists`, which are not cleared
// first. Each file is scanned as the scan of one file does: its entries are
// added in text order and its closing steps run (duplicates removed). A folder's files are scanned on options.jobs
// threads but added in walk order, each path trimmed of blanks first; a web page is downloaded, scanned and its
// temporary file removed. Failures do not stop the scan; they are in the report. Not thread-safe with respect to
// `lists`: nothing else may use them until it returns. Throws std::bad_alloc
// when memory runs out.
ScanReport runScan(std::span<const ScanSource> sources, ResultLists& lists, const ScanOptions& options);

}  // namespace mailsift
