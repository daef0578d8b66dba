// The move between the lists as the arrow buttons use it, the end of a
// file's scan, and the sink that adds a file's entries straight to the lists.
#include "app/scan_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/named_procedures.h"

namespace mailsift {
namespace {

std::vector<std::string> contents(const ResultLists& lists, ListId list) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < lists.count(list); ++i) entries.emplace_back(lists.at(list, i));
  return entries;
}

ResultLists listsOf(const std::vector<std::string>& list1, const std::vector<std::string>& list2) {
  ResultLists lists;
  for (const std::string& entry : list1) lists.add(ListId::List1, entry);
  for (const std::string& entry : list2) lists.add(ListId::List2, entry);
  return lists;
}

TEST(MoveSelected, IntoList2AppendsTheSelectionInReverse) {
  ResultLists lists = listsOf({"a@x.de", "b@x.de", "c@x.de", "d@x.de"}, {"z@x.zz"});
  const std::vector<std::size_t> selected = {3, 0, 1};
  EXPECT_EQ(lists.moveSelected(ListId::List1, selected), 3U);
  EXPECT_EQ(contents(lists, ListId::List1), std::vector<std::string>{"c@x.de"});
  EXPECT_EQ(contents(lists, ListId::List2), (std::vector<std::string>{"z@x.zz", "d@x.de", "b@x.de", "a@x.de"}));
}

TEST(MoveSelected, IntoList1PlacesTheSelectionAndKeepsDuplicates) {
  ResultLists lists = listsOf({"b@x.de", "d@x.de"}, {"e@x.zz", "d@x.de", "a@x.zz"});
  const std::vector<std::size_t> selected = {2, 1, 7};
  EXPECT_EQ(lists.moveSelected(ListId::List2, selected), 2U);
  EXPECT_EQ(contents(lists, ListId::List1), (std::vector<std::string>{"a@x.zz", "b@x.de", "d@x.de", "d@x.de"}));
  EXPECT_EQ(contents(lists, ListId::List2), std::vector<std::string>{"e@x.zz"});
  EXPECT_EQ(lists.moveSelected(ListId::List2, {}), 0U);
}

TEST(CloseFileScan, CountsOnlyList1sDuplicatesOfThisCall) {
  // First file: five List1 duplicates and two List2 duplicates.
  ResultLists lists = listsOf({"a@x.de", "a@x.de", "a@x.de", "b@x.de", "b@x.de", "b@x.de", "c@x.de", "b@x.de"},
                              {"q@x.zz", "q@x.zz", "q@x.zz"});
  EXPECT_EQ(closeFileScan(lists), (ScanSummary{5, 3, 1}));

  // Second file: one address seen in the first file and one new.
  lists.add(ListId::List1, "a@x.de");
  lists.add(ListId::List1, "d@x.de");
  EXPECT_EQ(closeFileScan(lists), (ScanSummary{1, 4, 1}));

  // An empty file: nothing removed.
  EXPECT_EQ(closeFileScan(lists), (ScanSummary{0, 4, 1}));
  EXPECT_EQ(contents(lists, ListId::List1), (std::vector<std::string>{"a@x.de", "b@x.de", "c@x.de", "d@x.de"}));
}

TEST(ListsSink, GivesTheListsThatAddingTheCollectedEntriesGives) {
  // Entries of both lists, repeated within the file and across files, in
  // lists that hold an earlier file already.
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "mail u" + std::to_string(i * 37 % 1000) + "@mail.de, w" + std::to_string(i % 50) + "@host.zz; ";
  }
  const auto earlierFile = [] {
    ResultLists lists = listsOf({"u5@mail.de", "a@mail.de"}, {"w7@host.zz"});
    closeFileScan(lists);
    return lists;
  };
  ResultLists collected = earlierFile();

  FileEntries entries;
  ExtractAddresses(text, entries);
  const ScanSummary summary = addFileToLists(entries, collected);
  EXPECT_EQ(summary, (ScanSummary{2001, 1001, 50}));
  // Duplicates removed while the file is scanned, or only at its close.
  for (const std::size_t between : {ListsSink::kEntriesBetweenRemovals, std::size_t{1}, std::size_t{97}}) {
    ResultLists lists = earlierFile();
    ListsSink sink(lists, between);
    ExtractAddresses(text, sink);
    EXPECT_EQ(sink.closeFile(), summary) << between;
    EXPECT_EQ(contents(lists, ListId::List1), contents(collected, ListId::List1)) << between;
    EXPECT_EQ(contents(lists, ListId::List2), contents(collected, ListId::List2)) << between;
  }
}

}  // namespace
}  // namespace mailsift
