// The flat list of a folder walk: its order, what it lists, and the pattern.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/named_procedures.h"
#include "platform/paths.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::TempFolder;
namespace fs = std::filesystem;

// The entries as the system writes paths: "/" is its separator in the tables.
FolderEntries native(FolderEntries entries) {
  for (std::string& entry : entries) std::replace(entry.begin(), entry.end(), '/', platform::kPathSeparator);
  return entries;
}

FolderEntries listTree(const std::string& folder, std::string_view pattern = "*.*") {
  FolderEntries entries(1);
  ListFolderTree(folder, pattern, entries);
  return entries;
}

TEST(ListFolderTree, ListsDepthFirstWithFoldersBeforeTheirContent) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a file system that tells \"B\" from \"b\"; Windows' does not";
#endif
  TempFolder folder;
  const std::string a = folder.file("A");
  folder.write("A/a1", "");
  folder.write("A/b/g", "");
  folder.write("A/b/h/deep", "");
  folder.write("A/c2", "");
  folder.write("A/B", "");  // capitals sort before small letters: byte order
  const FolderEntries expected = {
      "    " + a + "/B", "    " + a + "/a1",       ">>" + a + "/b",    "    " + a + "/b/g",
      ">>" + a + "/b/h", "    " + a + "/b/h/deep", "    " + a + "/c2", "",
  };
  EXPECT_EQ(listTree(a), native(expected));
  EXPECT_EQ(listTree(a + "/"), native(expected)) << "a closing slash is optional";
}

TEST(ListFolderTree, WalksHiddenAndOddlyNamedEntries) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows allows no \">\" in names and drops a trailing blank";
#endif
  TempFolder folder;
  const std::string root = folder.file("r");
  folder.write("r/.mail/inbox", "");
  folder.write("r/.../x", "");
  folder.write("r/>>not a folder", "");
  folder.write("r/ spaced ", "");
  const FolderEntries expected = {
      "    " + root + "/ spaced ",
      ">>" + root + "/...",
      "    " + root + "/.../x",
      ">>" + root + "/.mail",
      "    " + root + "/.mail/inbox",
      "    " + root + "/>>not a folder",
      "",
  };
  EXPECT_EQ(listTree(root), native(expected));
}

TEST(ListFolderTree, EmptyTreesListNoFiles) {
  TempFolder folder;
  fs::create_directories(folder.path() / "empty");
  EXPECT_EQ(listTree(folder.file("empty")), FolderEntries{""});

  fs::create_directories(folder.path() / "only/folders/here");
  const std::string only = folder.file("only");
  EXPECT_EQ(listTree(only), native({">>" + only + "/folders", ">>" + only + "/folders/here", ""}));

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
            native({"    " + root + "/a.txt", ">>" + root + "/sub.txt", "    " + root + "/sub.txt/c.txt", ""}));
  EXPECT_EQ(listTree(root, "?.csv"), native({"    " + root + "/b.csv", ""}));
  EXPECT_EQ(listTree(root, "*.*").size(), 8u) << "every name matches, with or without a dot";
}

}  // namespace
}  // namespace mailsift
