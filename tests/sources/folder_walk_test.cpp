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

FolderEntries listTree(const std::string& folder, std::string_view pattern = "*.*") {
  FolderEntries entries(1);
  ListFolderTree(folder, pattern, entries);
  return entries;
}

TEST(ListFolderTree, ListsDepthFirstWithFoldersBeforeTheirContent) {
  TempFolder folder;
  const std::string a = folder.file("A");
  folder.write("A/a1", "");
  folder.write("A/b/g", "");
  folder.write("A/b/h/deep", "");
  folder.write("A/c2", "");
  folder.write("A/B", "");  // capitals sort before small letters: byte order
  const FolderEntries expected = {
      "    " + a + "/B",   "    " + a + "/a1",     ">>" + a + "/b",  "    " + a + "/b/g",
      ">>" + a + "/b/h", "    " + a + "/b/h/deep", "    " + a + "/c2", "",
  };
  EXPECT_EQ(listTree(a), expected);
  EXPECT_EQ(listTree(a + "/"), expected) << "a closing slash is optional";
}

TEST(ListFolderTree, WalksHiddenAndOddlyNamedEntries) {
  TempFolder folder;
  const std::string root = folder.file("r");
  folder.write("r/.mail/inbox", "");
  folder.write("r/.../x", "");
  folder.write("r/>>not a folder", "");
  folder.write("r/ spaced ", "");
  const FolderEntries expected = {
      "    " + root + "/ spaced ",    ">>" + root + "/...",
      "    " + root + "/.../x",       ">>" + root + "/.mail",
      "    " + root + "/.mail/inbox", "    " + root + "/>>not a folder",
      "",
  };
  EXPECT_EQ(listTree(root), expected);
}

TEST(ListFolderTree, EmptyTreesListNoFiles) {
  TempFolder folder;
  fs::create_directories(folder.path() / "empty");
  EXPECT_EQ(listTree(folder.file("empty")), FolderEntries{""});

  fs::create_directories(folder.path() / "only/folders/here");
  const std::string only = folder.file("only");
  EXPECT_EQ(listTree(only), (FolderEntries{">>" + only + "/folders", ">>" + only + "/folders/here", ""}));

  EXPECT_EQ(listTree(folder.file("missing")), FolderEntries{""});
  EXPECT_EQ(listTree(folder.write("plain.txt", "")), FolderEntries{""});
}

TEST(ListFolderTree, PatternAppliesToFoldersAndFiles) {
  TempFolder folder;
  const std::string root = folder.file("p");
  folder.write("p/a.txt", "");
  folder.write("p/b.csv", "");
  folder.write("p/noext", "");
  folder.write("p/sub.txt/c.txt", "");
  folder.write("p/sub/d.txt", "");
  EXPECT_EQ(listTree(root, "*.txt"),
            (FolderEntries{"    " + root + "/a.txt", ">>" + root + "/sub.txt", "    " + root + "/sub.txt/c.txt", ""}));
  EXPECT_EQ(listTree(root, "?.csv"), (FolderEntries{"    " + root + "/b.csv", ""}));
  EXPECT_EQ(listTree(root, "*.*").size(), 8u) << "every name matches, with or without a dot";
}

TEST(WalkFolderTree, LinksAreFollowedButNeverBackIntoTheCurrentPath) {
  TempFolder folder;
  const std::string root = folder.file("loop");
  folder.write("loop/a/file.txt", "");
  folder.write("other/o.txt", "");
  fs::create_directory_symlink(root, folder.path() / "loop/a/up");      // to an ancestor
  fs::create_directory_symlink(root + "/a", folder.path() / "loop/a/self");  // to itself
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

TEST(AddBackslash, AppendsOneSlashOnlyWhenMissing) {
  EXPECT_EQ(AddBackslash("/data/mail"), "/data/mail/");
  EXPECT_EQ(AddBackslash("/data/mail/"), "/data/mail/");
  EXPECT_EQ(AddBackslash("/"), "/");
  EXPECT_EQ(AddBackslash(""), "/");
}

}  // namespace
}  // namespace mailsift
