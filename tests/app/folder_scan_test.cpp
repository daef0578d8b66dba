// The parallel folder scan must give exactly what scanning the files one
// after the other in walk order gives, whatever the number of threads.
#include "app/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <set>
#include <stdexcept>

#include "sources/scan_text.h"
#include "support/failures.h"
#include "support/folder_chain.h"
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
  bool readBefore = false;
  friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

// A large file's pieces are gathered into one record.
std::vector<FileRecord> scanInParallel(const std::string& folder, unsigned jobs,
                                       std::uint64_t pieceBytes = FolderScanOptions{}.pieceBytes,
                                       bool trimPaths = false, ScanRules rules = ScanRules::Specified) {
  std::vector<FileRecord> records;
  FolderScanOptions options{jobs, nullptr};
  options.pieceBytes = pieceBytes;
  options.trimPaths = trimPaths;
  options.rules = rules;
  bool continued = false;
  scanFolderInWalkOrder(folder, options, [&](const ScannedFile& file) {
    if (!continued) records.push_back(FileRecord{file.path, std::nullopt, {}});
    FileRecord& record = records.back();
    record.error = kindOf(file.failure);
    record.readBefore = file.readBefore;
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
      record.entries.emplace_back(file.entries.target(i), file.entries.text(i));
    }
    continued = file.morePieces;
  });
  return records;
}

// The plain way: walk first, then read and scan each file in turn, each
// file (device and inode) once.
std::vector<FileRecord> scanOneByOne(const std::string& folder) {
  std::vector<WalkEntry> files;
  walkFolderTree(folder, [&](const WalkEntry& entry) {
    if (entry.kind != platform::EntryKind::Folder) files.push_back(entry);
  });
  std::vector<FileRecord> records;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (const WalkEntry& file : files) {
    FileRecord record{file.path, std::nullopt, {}};
    struct stat info {};
    if (file.kind == platform::EntryKind::RegularFile && stat(file.path.c_str(), &info) == 0 &&
        !seen.emplace(info.st_dev, info.st_ino).second) {
      record.readBefore = true;
    } else if (file.kind == platform::EntryKind::RegularFile) {
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
// duplicates across files, empty files, a FIFO, a link loop, and hard links
// and links to files met before and after the files themselves.
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
  std::filesystem::create_directories(folder.path() / "tree/a/z");
  std::filesystem::create_directories(folder.path() / "tree/z");
  for (int i = 0; i < 1500; i += 37) {
    const std::string name = "d" + std::to_string(i % 7) + "/e" + std::to_string(i % 5) + "/f" + std::to_string(i);
    const std::filesystem::path file = folder.path() / "tree" / name;
    const std::string alias = "/" + std::to_string(i);
    std::filesystem::create_hard_link(file, folder.file(i % 2 == 0 ? "tree/a" + alias : "tree/z" + alias));
    std::filesystem::create_symlink(file, folder.file(i % 3 == 0 ? "tree/a/z" + alias : "tree/z" + alias + "s"));
  }
  std::filesystem::create_directory_symlink(folder.file("tree"), folder.path() / "tree/d1/loop");
}

TEST(FolderScan, GivesTheResultOfAOneByOneScanForAnyNumberOfThreads) {
  TempFolder folder;
  makeTree(folder);
  const std::string root = folder.file("tree");
  const std::vector<FileRecord> expected = scanOneByOne(root);
  ASSERT_EQ(expected.size(), 1583u);
  for (const unsigned jobs : {1u, 2u, 8u}) {
    EXPECT_EQ(scanInParallel(root, jobs), expected) << jobs << " threads";
  }
  // Most files then count as large and are scanned in pieces.
  for (const unsigned jobs : {1u, 2u, 3u}) {
    EXPECT_EQ(scanInParallel(root, jobs, 64), expected) << jobs << " threads, in pieces";
  }
}

TEST(FolderScan, AFileScannedInPiecesKeepsTheRulesOfTheScan) {
  TempFolder folder;
  std::string text;
  for (int i = 0; i < 40; ++i) text += "write to jo+" + std::to_string(i) + "@example.com. ";
  folder.write("tree/large.txt", text);
  const std::string root = folder.file("tree");
  const auto extended = [&](unsigned jobs, std::uint64_t pieceBytes) {
    return scanInParallel(root, jobs, pieceBytes, false, ScanRules::Extended);
  };
  const std::vector<FileRecord> whole = extended(1, FolderScanOptions{}.pieceBytes);
  ASSERT_EQ(whole.size(), 1u);
  ASSERT_EQ(whole[0].entries.size(), 40u);
  EXPECT_EQ(whole[0].entries[0].second, "jo+0@example.com");
  EXPECT_EQ(extended(2, 64), whole);
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

TEST(FolderScan, ReadsEachFileOnceAndLooksAtWhatATrimmedPathNamesBeforeOpeningIt) {
  // The window's folder scan trims blanks from each listed path before
  // reading it, so a name with a closing blank is read under the shorter name.
  TempFolder folder;
  folder.write("t/x", "plain@example.com");
  folder.write("t/x ", "spaced@example.com");
  folder.write("t/y ", "only@example.com");
  folder.write("t/h1", "hard@example.com");
  folder.write("t/   ", "blank@example.com");
  folder.write("t/p ", "beside@example.com");
  std::filesystem::create_hard_link(folder.file("t/h1"), folder.file("t/h2"));
  std::filesystem::create_symlink(folder.file("t/x"), folder.file("t/s"));
  ASSERT_EQ(mkfifo(folder.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(folder.file("fifo"), folder.file("t/p"));
  const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(opens, 0);
  ASSERT_GE(inotify_add_watch(opens, folder.file("fifo").c_str(), IN_OPEN), 0);

  const auto scanned = [&](const char* name, const char* address) {
    return FileRecord{folder.file(name), std::nullopt, {{TargetList::List1, address}}};
  };
  const auto gave = [&](const char* name, std::optional<FailureKind> error, bool readBefore) {
    return FileRecord{folder.file(name), error, {}, readBefore};
  };
  const std::vector<FileRecord> expected = {
      gave("t/   ", FailureKind::IsFolder, false),  // read as "t/"
      scanned("t/h1", "hard@example.com"),
      gave("t/h2", std::nullopt, true),                  // a hard link of h1
      gave("t/p", FailureKind::NotRegularFile, false),   // a link to a FIFO
      gave("t/p ", FailureKind::NotRegularFile, false),  // read as "p"
      scanned("t/s", "plain@example.com"),               // a link to x, which comes later
      gave("t/x", std::nullopt, true),
      gave("t/x ", std::nullopt, true),  // read as "x"
      gave("t/y ", FailureKind::NotFound, false),
  };
  EXPECT_EQ(scanInParallel(folder.file("t"), 2, FolderScanOptions{}.pieceBytes, true), expected);
  char event[sizeof(inotify_event) + 256];
  EXPECT_LT(read(opens, event, sizeof event), 0) << "the FIFO was opened";
  close(opens);
}

TEST(FolderScan, ReadsFilesDeeperThanAnyPathWithFewFoldersOpen) {
  TempFolder folder;
  constexpr int kDepth = 1200;
  const test::FolderChain chain(folder.path(), "ddd", kDepth, "deep@example.com");
  std::size_t found = 0;
  std::size_t handed = 0;
  std::size_t mostOpen = 0;
  const FolderScanSummary summary =
      scanFolderInWalkOrder(folder.file("ddd"), {2, nullptr}, [&](const ScannedFile& file) {
        found += file.entries.size();
        if (++handed % 64 == 0) mostOpen = std::max(mostOpen, test::openDescriptorCount());
      });
  EXPECT_EQ(summary.filesScanned, std::size_t{kDepth});
  EXPECT_EQ(summary.unreadableFiles, 0u);
  EXPECT_EQ(summary.walk.unlistedFolders, 0u);
  EXPECT_EQ(found, 1u) << "the file at the bottom";
  EXPECT_LT(mostOpen, 400u) << "not one folder open per file waiting";
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
