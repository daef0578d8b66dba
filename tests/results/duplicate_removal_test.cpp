// Duplicate removal: what counts as a duplicate, which entry stays, and
// that the incremental bookkeeping stays right through moves, removals and
// clearing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "results/result_lists.h"

namespace mailsift {
namespace {

std::vector<std::string> contents(const ResultLists& lists, ListId list) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < lists.count(list); ++i) entries.emplace_back(lists.at(list, i));
  return entries;
}

void addAll(ResultLists& lists, ListId list, const std::vector<std::string>& entries) {
  for (const std::string& entry : entries) lists.add(list, entry);
}

class DuplicateRemoval : public testing::TestWithParam<ListId> {};

TEST_P(DuplicateRemoval, OnlyTextsEqualInFullAreDuplicates) {
  // The first eight characters agree, or one entry begins with the other:
  // all different addresses, all kept.
  const std::vector<std::string> distinct = {"support@alpha.example", "support@beta.example", "a@b.de", "a@b.dev",
                                             "support@alpha.examplf"};
  ResultLists lists;
  addAll(lists, GetParam(), distinct);
  EXPECT_EQ(lists.removeDuplicates(GetParam()), 0U);
  EXPECT_EQ(lists.count(GetParam()), distinct.size());
}

TEST_P(DuplicateRemoval, KeepsOneOfEachTextAcrossCalls) {
  const ListId list = GetParam();
  ResultLists lists;
  EXPECT_EQ(lists.removeDuplicates(list), 0U);  // empty

  addAll(lists, list, {"b@x.de", "a@x.de", "b@x.de", "c@x.de", "a@x.de", "b@x.de"});
  EXPECT_EQ(lists.removeDuplicates(list), 3U);
  // A later batch: its copies of earlier texts and of each other go.
  addAll(lists, list, {"d@x.de", "a@x.de", "d@x.de", "e@x.de"});
  EXPECT_EQ(lists.removeDuplicates(list), 2U);
  EXPECT_EQ(lists.removeDuplicates(list), 0U);
  const std::vector<std::string> expected =
      list == ListId::List2 ? std::vector<std::string>{"b@x.de", "a@x.de", "c@x.de", "d@x.de", "e@x.de"}
                            : std::vector<std::string>{"a@x.de", "b@x.de", "c@x.de", "d@x.de", "e@x.de"};
  EXPECT_EQ(contents(lists, list), expected);
}

TEST_P(DuplicateRemoval, FollowsEntriesThatLeaveOrArrive) {
  const ListId list = GetParam();
  const ListId other = otherList(list);
  ResultLists lists;
  addAll(lists, list, {"a@x.de", "b@x.de", "c@x.de"});
  lists.removeDuplicates(list);

  // "a" leaves by a move: a new "a" is then no duplicate.
  const std::vector<std::size_t> first = {0};
  lists.moveSelected(list, first);
  lists.add(list, "a@x.de");
  EXPECT_EQ(lists.removeDuplicates(list), 0U);

  // A new copy of "b" is removed before it is checked: the checked "b"
  // still counts, so a further copy is a duplicate.
  lists.add(list, "b@x.de");
  const std::vector<std::size_t> last = {lists.count(list) - 1};
  if (list == ListId::List2) lists.removeSelected(list, last);  // List1 sorts the copy beside the original
  lists.add(list, "b@x.de");
  EXPECT_EQ(lists.removeDuplicates(list), list == ListId::List2 ? 1U : 2U);
  std::vector<std::string> kept = contents(lists, list);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"a@x.de", "b@x.de", "c@x.de"}));

  // A move does not remove duplicates; the next removal does.
  lists.add(other, "c@x.de");  // after the "a" moved there before
  const std::vector<std::size_t> second = {1};
  lists.moveSelected(other, second);
  EXPECT_EQ(lists.count(list), 4U);
  EXPECT_EQ(lists.removeDuplicates(list), 1U);

  // Clearing forgets every text.
  lists.clear(list);
  lists.add(list, "a@x.de");
  EXPECT_EQ(lists.removeDuplicates(list), 0U);
  EXPECT_EQ(contents(lists, list), std::vector<std::string>{"a@x.de"});
}

TEST_P(DuplicateRemoval, ForgetsATextWhoseCopiesLeaveBeforeTheRemoval) {
  const ListId list = GetParam();
  ResultLists lists;
  addAll(lists, list, {"b@x.de", "a@x.de", "a@x.de", "c@x.de"});
  // Both copies of "a" go before any duplicate removal; other texts come.
  const std::vector<std::size_t> copies =
      list == ListId::List1 ? std::vector<std::size_t>{0, 1} : std::vector<std::size_t>{1, 2};
  EXPECT_EQ(lists.removeSelected(list, copies), 2U);
  addAll(lists, list, {"d@x.de", "e@x.de"});
  EXPECT_EQ(lists.removeDuplicates(list), 0U);
  EXPECT_EQ(lists.count(list), 4U);

  // "a" comes back twice: one copy is a duplicate.
  addAll(lists, list, {"a@x.de", "a@x.de"});
  EXPECT_EQ(lists.removeDuplicates(list), 1U);
  std::vector<std::string> kept = contents(lists, list);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"a@x.de", "b@x.de", "c@x.de", "d@x.de", "e@x.de"}));
}

TEST_P(DuplicateRemoval, CountsWhatIsLeftOfATextAfterSomeCopiesLeave) {
  const ListId list = GetParam();
  ResultLists lists;
  addAll(lists, list, {"a@x.de", "a@x.de", "a@x.de", "b@x.de"});
  // One of three copies goes before the removal, which takes one more.
  const std::vector<std::size_t> first = {0};
  EXPECT_EQ(lists.removeSelected(list, first), 1U);
  EXPECT_EQ(lists.removeDuplicates(list), 1U);
  EXPECT_EQ(contents(lists, list), (std::vector<std::string>{"a@x.de", "b@x.de"}));
  // Two more copies, one of them leaving again: one duplicate.
  addAll(lists, list, {"a@x.de", "a@x.de"});
  EXPECT_EQ(lists.at(list, 0), "a@x.de");
  EXPECT_EQ(lists.removeSelected(list, first), 1U);
  EXPECT_EQ(lists.removeDuplicates(list), 1U);
  std::vector<std::string> kept = contents(lists, list);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"a@x.de", "b@x.de"}));
}

INSTANTIATE_TEST_SUITE_P(BothLists, DuplicateRemoval, testing::Values(ListId::List1, ListId::List2),
                         [](const testing::TestParamInfo<ListId>& param) {
                           return param.param == ListId::List1 ? std::string("List1") : std::string("List2");
                         });

TEST(DuplicateRemovalList1, RemovesALongRunOfOneTextInALargeList) {
  // Many copies of one text in a long list span several storage blocks;
  // with and without a read between adding and removing.
  for (const bool readFirst : {false, true}) {
    ResultLists lists;
    for (int i = 0; i < 5000; ++i) lists.add(ListId::List1, "user" + std::to_string(i) + "@x.de");
    lists.removeDuplicates(ListId::List1);
    for (int i = 0; i < 700; ++i) lists.add(ListId::List1, "user2500@x.de");
    if (readFirst) {
      EXPECT_EQ(lists.at(ListId::List1, 0), "user0@x.de");
    }
    EXPECT_EQ(lists.removeDuplicates(ListId::List1), 700U);
    ASSERT_EQ(lists.count(ListId::List1), 5000U);
    for (std::size_t i = 1; i < 5000; ++i) {
      ASSERT_NE(lists.at(ListId::List1, i), lists.at(ListId::List1, i - 1)) << "at " << i;
    }
  }
}

}  // namespace
}  // namespace mailsift
