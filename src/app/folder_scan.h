// Reads and scans the files of a folder tree on several threads, and hands
// each file's entries back in walk order, so the result is exactly that of
// scanning the files one after the other.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/file_entries.h"
#include "platform/failure.h"
#include "scanner/scan_rules.h"
#include "sources/content_scan.h"
#include "sources/folder_walk.h"

namespace mailsift {

// One scanned file, or one piece of a large one, as handed to the caller.
// A large file comes in several calls, its pieces in text order: every call
// but the last has morePieces set; the last one carries the failure and the
// bytes of the whole file.
struct ScannedFile {
  const std::string& path;
  const std::optional<platform::Failure>& failure;  // why the file gave the empty text; unset when read
  std::uint64_t bytes;                              // bytes read so far
  const FileEntries& entries;                       // in text order
  bool morePieces = false;                          // further entries of this file follow
  // What decoding could not do in the file (see ContentScanResult::notes).
  const std::vector<platform::Failure>* notes = nullptr;
  // The file was met before under another name (a hard link, a link, or a
  // trimmed path that names another entry) and read then: it is read once
  // per scan, so this name gives no entries and no failure.
  bool readBefore = false;
};

struct FolderScanProgress {
  std::size_t filesDone = 0;    // files handed to the caller so far
  std::size_t filesListed = 0;  // files the walk has met so far
  bool listingDone = false;     // the walk has ended: filesListed is the total
  std::uint64_t bytesDone = 0;
  const std::string* currentPath = nullptr;  // the file just handed over
};

struct FolderScanOptions {
  unsigned jobs = 0;                        // reading and scanning threads; 0 means one per core
  const std::atomic<bool>* stop = nullptr;  // ends the scan early when it becomes true
  // Read each file under its path with leading and trailing blanks removed,
  // as the folder scan of the window does; the path handed over stays as listed.
  // What a trimmed path names is looked at first: anything but a regular file is
  // refused unopened.
  bool trimPaths = false;
  // A file of at least two pieces of this length is read and scanned in
  // pieces on every job, when its turn comes, so a few large files do not
  // leave the work to one thread nor hold all their entries at once.
  std::uint64_t pieceBytes = std::uint64_t{8} << 20;
  DecodeOptions decode{};                  // decoded views of each file
  ScanRules rules = ScanRules::Specified;  // the rules every file is scanned with
  bool origins = false;                    // the entries handed over keep where each was read
};

struct FolderScanSummary {
  WalkSummary walk;
  std::size_t filesScanned = 0;     // files handed to the caller
  std::size_t unreadableFiles = 0;  // of those, how many gave the empty text because of a failure
  std::size_t filesReadBefore = 0;  // of those, how many were read before under another name
  std::uint64_t bytes = 0;
  bool stopped = false;  // ended early on request; the files handed over are complete
};

// Walks `folder` (see walkFolderTree) and scans every file in it. Listing,
// reading and scanning run on other threads, starting before the walk is
// complete; `onFile` is called on the calling thread once per file (a large
// file once per piece), in walk order, and `onProgress` right after it. A
// file that is not a regular file or cannot be read is handed over with its
// failure and no entries, and the scan goes on; so is a FIFO, socket or
// device, which is never opened. A file met again under another name is read
// only the first time (see ScannedFile::readBefore). When `options.stop` becomes
// true the scan ends soon: files already handed over stay, no more follow; a
// large file being handed over gets its last call at once. An exception thrown by a
// callback stops the scan and is passed on after the threads have ended.
FolderScanSummary scanFolderInWalkOrder(const std::string& folder, const FolderScanOptions& options,
                                        const std::function<void(const ScannedFile&)>& onFile,
                                        const std::function<void(const FolderScanProgress&)>& onProgress = {});

}  // namespace mailsift
