// The folder walk: its order, what it lists, and that no tree can make it
// endless or stop it early.
#include "sources/folder_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/input_file.h"
#include "platform/paths.h"
#include "support/folder_chain.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace mailsift {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

TEST(WalkFolderTree, LinksAreFollowedButNeverBackIntoTheCurrentPath) {
  TempFolder folder;
  const std::string root = folder.file("loop");
  folder.write("loop/a/file.txt", "");
  folder.write("other/o.txt", "");
  fs::create_directory_symlink(root, folder.path() / "loop/a/up");                  // to an ancestor
  fs::create_directory_symlink(root + "/a", folder.path() / "loop/a/self");         // to itself
  fs::create_directory_symlink(folder.path() / "other", folder.path() / "loop/b");  // elsewhere
  std::vector<std::string> paths;
  const WalkSummary summary = walkFolderTree(root, [&](const WalkEntry& entry) { paths.push_back(entry.path); });
  EXPECT_EQ(paths, (std::vector<std::string>{root + "/a", root + "/a/file.txt", root + "/a/self", root + "/a/up",
                                             root + "/b", root + "/b/o.txt"}));
  EXPECT_EQ(summary.skippedLoops, 2u);
  EXPECT_EQ(summary.files, 2u);
  EXPECT_EQ(summary.folders, 4u);
}

TEST(WalkFolderTree, WalksEachFolderOnceHoweverManyLinksLeadToIt) {
  // Two links from each rung to the next give 2^99 paths to the last one,
  // and, taken through links, a depth at which folders are opened again.
  TempFolder folder;
  constexpr int kRungs = 100;
  const auto rung = [](int i) { return "ladder/r" + std::to_string(100 + i); };
  for (int i = 0; i < kRungs; ++i) folder.write(rung(i) + "/f", "");
  for (int i = 0; i + 1 < kRungs; ++i) {
    for (const char* link : {"/a", "/b"}) {
      fs::create_directory_symlink(folder.path() / rung(i + 1), folder.path() / (rung(i) + link));
    }
  }
  std::atomic<bool> stop{false};
  std::size_t met = 0;
  const WalkSummary summary = walkFolderTree(
      folder.file("ladder"),
      [&](const WalkEntry&) {
        if (++met > 10000) stop = true;
      },
      &stop);
  EXPECT_FALSE(summary.stopped) << "walked along every path";
  EXPECT_EQ(summary.files, std::size_t{kRungs});
  EXPECT_EQ(summary.folders, std::size_t{kRungs + 2 * (kRungs - 1)});
  EXPECT_EQ(summary.skippedLoops, std::size_t{2 * (kRungs - 1)});
  EXPECT_EQ(summary.unlistedFolders, 0u);
}

TEST(WalkFolderTree, WalksTreesDeeperThanAnyPathAndOpensTheirFiles) {
  TempFolder folder;
  constexpr int kDepth = 2000;
  const test::FolderChain chain(folder.path(), "ddd", kDepth, "x");
  std::size_t longest = 0;
  std::size_t mostOpen = 0;
  std::size_t read = 0;
  const WalkSummary summary = walkFolderTree(folder.file("ddd"), [&](const WalkEntry& entry) {
    longest = std::max(longest, entry.path.size());
    if (entry.kind == platform::EntryKind::Folder) return;
    // The files come on the way back up, after the folder beside them.
    if (read == 0) mostOpen = test::openDescriptorCount();
    platform::InputFile file;
    if (!platform::InputFile::openIn(*entry.folder, entry.path, entry.nameStart, file)) ++read;
  });
  EXPECT_EQ(summary.files, std::size_t{kDepth});
  EXPECT_EQ(summary.folders, std::size_t{kDepth - 1});
  EXPECT_EQ(summary.unlistedFolders, 0u);
  EXPECT_EQ(read, std::size_t{kDepth}) << "files opened through their folders";
  EXPECT_GT(longest, std::size_t{4 * kDepth}) << "longer than a path may be";
  EXPECT_LT(mostOpen, 80u) << "folders held open at the deepest level";
}

TEST(WalkFolderTree, UnlistableFoldersAndSpecialFilesDoNotStopTheWalk) {
  TempFolder folder;
  const std::string root = folder.file("w");
  folder.write("w/a/in_a.txt", "");
  folder.write("w/b/in_b.txt", "");
  folder.write("w/c.txt", "");
  ASSERT_EQ(mkfifo((root + "/fifo").c_str(), 0600), 0);
  fs::create_symlink(root + "/nowhere", root + "/dangling");
  const bool canLock = test::canRunUnprivileged();  // root lists any folder: the walk then runs as nobody
  test::giveToUnprivileged(folder.path());
  if (canLock) {
    ASSERT_EQ(chmod((root + "/a").c_str(), 0), 0);
  }

  std::vector<std::string> expected = {root + "/a"};
  if (!canLock) expected.push_back(root + "/a/in_a.txt");
  for (const char* rest : {"/b", "/b/in_b.txt", "/c.txt", "/dangling", "/fifo"}) expected.push_back(root + rest);
  // Reported through the exit code when run in a child: a bit per check.
  const int failed = test::runUnprivileged([&] {
    std::vector<WalkEntry> entries;
    const WalkSummary summary = walkFolderTree(root, [&](const WalkEntry& entry) { entries.push_back(entry); });
    std::vector<std::string> paths;
    for (const WalkEntry& entry : entries) paths.push_back(entry.path);
    return (paths == expected ? 0 : 1) | (summary.unlistedFolders == (canLock ? 1u : 0u) ? 0 : 2) |
           (!entries.empty() && entries.back().kind == platform::EntryKind::OtherFile ? 0 : 4);
  });
  EXPECT_EQ(failed & 1, 0) << "the entries, in walk order";
  EXPECT_EQ(failed & 2, 0) << "the folder that could not be listed is counted";
  EXPECT_EQ(failed & 4, 0) << "a FIFO is met as a file that is not regular";
  EXPECT_NE(failed, -1) << "the walk's process ended abnormally";
}

TEST(WalkFolderTree, StopsOnRequest) {
  TempFolder folder;
  for (int i = 0; i < 20; ++i) folder.write("s/f" + std::to_string(i), "");
  std::atomic<bool> stop{false};
  int visited = 0;
  const WalkSummary summary = walkFolderTree(
      folder.file("s"),
      [&](const WalkEntry&) {
        if (++visited == 5) stop = true;
      },
      &stop);
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(visited, 5);
}

TEST(WithTrailingSeparator, AppendsOneOnlyWhenMissing) {
  const std::string separator(1, platform::kPathSeparator);
  EXPECT_EQ(platform::withTrailingSeparator("/data/mail"), "/data/mail" + separator);
  EXPECT_EQ(platform::withTrailingSeparator("/data/mail/"), "/data/mail/");
  EXPECT_EQ(platform::withTrailingSeparator("/"), "/");
  EXPECT_EQ(platform::withTrailingSeparator(""), separator);
}

}  // namespace
}  // namespace mailsift
