// The parallel folder scan must give exactly what scanning the files one
// after the other in walk order gives, whatever the number of threads.
#include "app/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <stdexcept>

#include "sources/scan_text.h"
#include "support/failures.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using platform::FailureKind;
using test::kindOf;
using test::TempFolder;

struct FileRecord {
  std::string path;
  std::optional<FailureKind> error;
  std::vector<std::pair<TargetList, std::string>> entries;
  friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

// A large file's pieces are gathered into one record.
std::vector<FileRecord> scanInParallel(const std::string& folder, unsigned jobs,
                                       std::uint64_t pieceBytes = FolderScanOptions{}.pieceBytes) {
  std::vector<FileRecord> records;
  FolderScanOptions options{jobs, nullptr};
  options.pieceBytes = pieceBytes;
  bool continued = false;
  scanFolderInWalkOrder(folder, options, [&](const ScannedFile& file) {
    if (!continued) records.push_back(FileRecord{file.path, std::nullopt, {}});
    FileRecord& record = records.back();
    record.error = kindOf(file.failure);
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
      record.entries.emplace_back(file.entries.target(i), file.entries.text(i));
    }
    continued = file.morePieces;
  });
  return records;
}

// The plain way: walk first, then read and scan each file in turn.
std::vector<FileRecord> scanOneByOne(const std::string& folder) {
  std::vector<WalkEntry> files;
  walkFolderTree(folder, [&](const WalkEntry& entry) {
    if (entry.kind != platform::EntryKind::Folder) files.push_back(entry);
  });
  std::vector<FileRecord> records;
  for (const WalkEntry& file : files) {
    FileRecord record{file.path, std::nullopt, {}};
    if (file.kind == platform::EntryKind::RegularFile) {
      const ReadResult read = readScanText(file.path);
      record.error = kindOf(read.failure);
      extractAddresses(read.text.view(),
                       [&](TargetList target, std::string_view entry) { record.entries.emplace_back(target, entry); });
    } else {
      record.error = FailureKind::NotRegularFile;
    }
    records.push_back(std::move(record));
  }
  return records;
}

// A seeded tree of many small files, three levels deep, with addresses,
// duplicates across files, empty files, a FIFO and a link loop.
void makeTree(const TempFolder& folder) {
  std::mt19937 random(99);
  const char* words[] = {"hello ", "a@example.com ",        "b@example.org ", "x at y.de ", "(at) ", "user@host.test ",
                         "\n",     "m\xFCller@b\xFCro.de ", "lorem ipsum ",   "c@d "};
  for (int i = 0; i < 1500; ++i) {
    std::string content;
    const int count = static_cast<int>(random() % 60);
    for (int w = 0; w < count; ++w) content += words[random() % std::size(words)];
    const std::string name = "d" + std::to_string(i % 7) + "/e" + std::to_string(i % 5) + "/f" + std::to_string(i);
    folder.write("tree/" + name, content);
  }
  ASSERT_EQ(mkfifo(folder.file("tree/d0/pipe").c_str(), 0600), 0);
  std::filesystem::create_directory_symlink(folder.file("tree"), folder.path() / "tree/d1/loop");
}

TEST(FolderScan, GivesTheResultOfAOneByOneScanForAnyNumberOfThreads) {
  TempFolder folder;
  makeTree(folder);
  const std::string root = folder.file("tree");
  const std::vector<FileRecord> expected = scanOneByOne(root);
  ASSERT_EQ(expected.size(), 1501u);
  for (const unsigned jobs : {1u, 2u, 8u}) {
    EXPECT_EQ(scanInParallel(root, jobs), expected) << jobs << " threads";
  }
  // Most files then count as large and are scanned in pieces.
  for (const unsigned jobs : {1u, 2u, 3u}) {
    EXPECT_EQ(scanInParallel(root, jobs, 64), expected) << jobs << " threads, in pieces";
  }
}

TEST(FolderScan, ReportsProgressAndTotals) {
  TempFolder folder;
  folder.write("p/a.txt", "aa@example.com");
  folder.write("p/b/c.txt", "cc@example.com bb@example.org");
  folder.write("p/empty.txt", "");
  std::vector<std::size_t> done;
  std::size_t entries = 0;
  const FolderScanSummary summary = scanFolderInWalkOrder(
      folder.file("p"), {2, nullptr}, [&](const ScannedFile& file) { entries += file.entries.size(); },
      [&](const FolderScanProgress& progress) {
        done.push_back(progress.filesDone);
        ASSERT_NE(progress.currentPath, nullptr);
        EXPECT_LE(progress.filesDone, progress.filesListed);
      });
  EXPECT_EQ(done, (std::vector<std::size_t>{1, 2, 3}));
  EXPECT_EQ(entries, 3u);
  EXPECT_EQ(summary.filesScanned, 3u);
  EXPECT_EQ(summary.bytes, 14u + 29u);
  EXPECT_EQ(summary.walk.folders, 1u);
  EXPECT_FALSE(summary.stopped);

  const FolderScanSummary missing = scanFolderInWalkOrder(
      folder.file("nothing"), {}, [](const ScannedFile&) { ADD_FAILURE() << "no file in a missing folder"; });
  EXPECT_EQ(missing.filesScanned, 0u);
  EXPECT_EQ(missing.walk.unlistedFolders, 1u);
}

TEST(FolderScan, TrimmedPathsReadTheFileOfTheTrimmedName) {
  // The window's folder scan trims blanks from each listed path before
  // reading it, so a name with a closing blank is read under the shorter name.
  TempFolder folder;
  folder.write("t/x", "plain@example.com");
  folder.write("t/x ", "spaced@example.com");
  folder.write("t/y ", "only@example.com");
  FolderScanOptions options;
  options.trimPaths = true;
  std::vector<std::string> found;
  std::vector<std::optional<FailureKind>> errors;
  scanFolderInWalkOrder(folder.file("t"), options, [&](const ScannedFile& file) {
    errors.push_back(kindOf(file.failure));
    for (std::size_t i = 0; i < file.entries.size(); ++i) found.emplace_back(file.entries.text(i));
  });
  EXPECT_EQ(found, (std::vector<std::string>{"plain@example.com", "plain@example.com"}));
  EXPECT_EQ(errors, (std::vector<std::optional<FailureKind>>{std::nullopt, std::nullopt, FailureKind::NotFound}));
}

TEST(FolderScan, StopsOnRequestKeepingWhatWasHandedOver) {
  TempFolder folder;
  for (int i = 0; i < 300; ++i) folder.write("s/f" + std::to_string(1000 + i), "aa@example.com");
  std::atomic<bool> stop{false};
  std::vector<std::string> paths;
  const FolderScanSummary summary = scanFolderInWalkOrder(folder.file("s"), {2, &stop}, [&](const ScannedFile& file) {
    paths.push_back(file.path);
    if (paths.size() == 10) stop = true;
  });
  EXPECT_TRUE(summary.stopped);
  ASSERT_EQ(paths.size(), 10u) << "nothing is handed over after the stop";
  EXPECT_EQ(paths.back(), folder.file("s/f1009"));
  EXPECT_EQ(summary.filesScanned, 10u);
}

TEST(FolderScan, PassesOnACallbackFailureAfterEndingItsThreads) {
  TempFolder folder;
  for (int i = 0; i < 50; ++i) folder.write("e/f" + std::to_string(i), "aa@example.com");
  int calls = 0;
  EXPECT_THROW(scanFolderInWalkOrder(folder.file("e"), {4, nullptr},
                                     [&](const ScannedFile&) {
                                       if (++calls == 3) throw std::runtime_error("full");
                                     }),
               std::runtime_error);
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace mailsift
