// The counter texts, the arrow buttons' move and the end of a file's scan.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/counter_texts.h"
#include "results/scan_summary.h"

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

TEST(Eintrag, WritesEachTextDirectlyFollowedByTheCount) {
  ResultLists lists;
  for (int i = 0; i < 12; ++i) lists.add(ListId::List1, std::to_string(i) + "@x.de");
  for (int i = 0; i < 3; ++i) lists.add(ListId::List2, std::to_string(i) + "@x.zz");
  const CounterTexts english = Eintrag(lists, "Found:", "Unknown:");
  EXPECT_EQ(english.label1, "Found:12");
  EXPECT_EQ(english.label2, "Unknown:3");
  const CounterTexts german = Eintrag(lists, "Gefunden:", "Unerkannt:");
  EXPECT_EQ(german.label1, "Gefunden:12");
  EXPECT_EQ(german.label2, "Unerkannt:3");
  EXPECT_EQ(Eintrag(ResultLists(), "Found:", "Unknown:").label1, "Found:0");
}

TEST(Command2Click, RightArrowAppendsTheSelectionToList2InReverse) {
  ResultLists lists = listsOf({"a@x.de", "b@x.de", "c@x.de", "d@x.de"}, {"z@x.zz"});
  const std::vector<std::size_t> selected1 = {3, 0, 1};
  const CounterTexts counters = Command2_Click(lists, 1, selected1, {}, "Found:", "Unknown:");
  EXPECT_EQ(contents(lists, ListId::List1), std::vector<std::string>{"c@x.de"});
  EXPECT_EQ(contents(lists, ListId::List2), (std::vector<std::string>{"z@x.zz", "d@x.de", "b@x.de", "a@x.de"}));
  EXPECT_EQ(counters.label1, "Found:1");
  EXPECT_EQ(counters.label2, "Unknown:4");
}

TEST(Command2Click, LeftArrowPlacesTheSelectionInList1AndKeepsDuplicates) {
  ResultLists lists = listsOf({"b@x.de", "d@x.de"}, {"e@x.zz", "d@x.de", "a@x.zz"});
  const std::vector<std::size_t> selected1 = {0};  // not the source: ignored
  const std::vector<std::size_t> selected2 = {2, 1, 7};
  const CounterTexts counters = Command2_Click(lists, 0, selected1, selected2, "Found:", "Unknown:");
  EXPECT_EQ(contents(lists, ListId::List1), (std::vector<std::string>{"a@x.zz", "b@x.de", "d@x.de", "d@x.de"}));
  EXPECT_EQ(contents(lists, ListId::List2), std::vector<std::string>{"e@x.zz"});
  EXPECT_EQ(counters.label1, "Found:4");
  EXPECT_EQ(counters.label2, "Unknown:1");
}

TEST(Command2Click, MovesNothingForOtherIndicesOrAnEmptySelection) {
  ResultLists lists = listsOf({"a@x.de"}, {"b@x.zz"});
  const std::vector<std::size_t> first = {0};
  for (const int index : {-1, 2, 255}) {
    const CounterTexts counters = Command2_Click(lists, index, first, first, "Found:", "Unknown:");
    EXPECT_EQ(counters.label1, "Found:1");
    EXPECT_EQ(counters.label2, "Unknown:1");
  }
  Command2_Click(lists, 0, first, {}, "Found:", "Unknown:");
  Command2_Click(lists, 1, {}, first, "Found:", "Unknown:");
  EXPECT_EQ(contents(lists, ListId::List1), std::vector<std::string>{"a@x.de"});
  EXPECT_EQ(contents(lists, ListId::List2), std::vector<std::string>{"b@x.zz"});
}

TEST(FinishScan, CountsOnlyList1sDuplicatesOfThisCall) {
  // First file: five List1 duplicates and two List2 duplicates.
  ResultLists lists = listsOf({"a@x.de", "a@x.de", "a@x.de", "b@x.de", "b@x.de", "b@x.de", "c@x.de", "b@x.de"},
                              {"q@x.zz", "q@x.zz", "q@x.zz"});
  ScanSummary summary = finishScan(lists, "Found:", "Unknown:", "Duplicate");
  EXPECT_EQ(summary.removedFromList1, 5U);
  EXPECT_EQ(summary.label3, "Duplicate\r\n5");
  EXPECT_EQ(summary.counters.label1, "Found:3");
  EXPECT_EQ(summary.counters.label2, "Unknown:1");

  // Second file: one address seen in the first file and one new.
  lists.add(ListId::List1, "a@x.de");
  lists.add(ListId::List1, "d@x.de");
  summary = finishScan(lists, "Gefunden:", "Unerkannt:", "Doppelte");
  EXPECT_EQ(summary.label3, "Doppelte\r\n1");
  EXPECT_EQ(summary.counters.label1, "Gefunden:4");

  // An empty file: nothing removed, the notice still written.
  summary = finishScan(lists, "Found:", "Unknown:", "Duplicate");
  EXPECT_EQ(summary.removedFromList1, 0U);
  EXPECT_EQ(summary.label3, "Duplicate\r\n0");
  EXPECT_EQ(contents(lists, ListId::List1), (std::vector<std::string>{"a@x.de", "b@x.de", "c@x.de", "d@x.de"}));
}

}  // namespace
}  // namespace mailsift
