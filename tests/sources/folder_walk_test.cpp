// The folder walk: its order, what it lists, and that no tree can make it
// endless or stop it early.
#include "sources/folder_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_folder.h"

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

TEST(WalkFolderTree, UnlistableFoldersAndSpecialFilesDoNotStopTheWalk) {
  TempFolder folder;
  const std::string root = folder.file("w");
  folder.write("w/a/in_a.txt", "");
  folder.write("w/b/in_b.txt", "");
  folder.write("w/c.txt", "");
  ASSERT_EQ(mkfifo((root + "/fifo").c_str(), 0600), 0);
  fs::create_symlink(root + "/nowhere", root + "/dangling");
  const bool canLock = geteuid() != 0;  // root lists any folder
  if (canLock) {
    ASSERT_EQ(chmod((root + "/a").c_str(), 0), 0);
  }

  std::vector<WalkEntry> entries;
  const WalkSummary summary = walkFolderTree(root, [&](const WalkEntry& entry) { entries.push_back(entry); });
  std::vector<std::string> paths;
  for (const WalkEntry& entry : entries) paths.push_back(entry.path);
  std::vector<std::string> expected = {root + "/a"};
  if (!canLock) expected.push_back(root + "/a/in_a.txt");
  for (const char* rest : {"/b", "/b/in_b.txt", "/c.txt", "/dangling", "/fifo"}) expected.push_back(root + rest);
  EXPECT_EQ(paths, expected);
  EXPECT_EQ(summary.unlistedFolders, canLock ? 1u : 0u);
  EXPECT_EQ(entries.back().kind, platform::EntryKind::OtherFile) << "a FIFO is met as a file that is not regular";
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

TEST(WithTrailingSlash, AppendsOneSlashOnlyWhenMissing) {
  EXPECT_EQ(withTrailingSlash("/data/mail"), "/data/mail/");
  EXPECT_EQ(withTrailingSlash("/data/mail/"), "/data/mail/");
  EXPECT_EQ(withTrailingSlash("/"), "/");
  EXPECT_EQ(withTrailingSlash(""), "/");
}

}  // namespace
}  // namespace mailsift
