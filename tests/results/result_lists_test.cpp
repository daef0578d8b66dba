// The order of List1, the two lists' basic operations, and a differential
// run of the lists against a plain model built from sorted vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "results/entry_order.h"
#include "results/list_snapshot.h"
#include "results/result_lists.h"

namespace mailsift {
namespace {

std::vector<std::string> contents(const ResultLists& lists, ListId list) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < lists.count(list); ++i) entries.emplace_back(lists.at(list, i));
  return entries;
}

std::vector<std::string> contents(const ListSnapshot& snapshot) {
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < snapshot.size(); ++i) entries.emplace_back(snapshot.at(i));
  return entries;
}

// The order as stated: fold the umlauts, compare; on a tie compare as is.
std::string folded(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string pair = text.substr(i, 2);
    if (pair == "ä" || pair == "ö" || pair == "ü") {
      result += pair == "ä" ? 'a' : pair == "ö" ? 'o' : 'u';
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

bool referenceLess(const std::string& left, const std::string& right) {
  const std::string a = folded(left);
  const std::string b = folded(right);
  return a != b ? a < b : left < right;  // std::string compares bytes as unsigned
}

TEST(EntryOrder, FoldsUmlautsThenComparesBytes) {
  // Each pair in ascending order; several contradict plain byte order.
  const std::vector<std::pair<std::string, std::string>> ascending = {
      {"äb", "ac"}, {"a", "ä"},          {"ä", "ab"},     {"öz", "p"},   {"üz", "v"},
      {"f", "é"},   {"xü", "x\xC3\xA0"}, {"xa", "x\xC3"}, {"ab", "abc"}, {"a@b.de", "ä@b.de"},
  };
  for (const auto& [lower, higher] : ascending) {
    EXPECT_TRUE(compareEntries(lower, higher) < 0) << lower << " vs " << higher;
    EXPECT_TRUE(compareEntries(higher, lower) > 0) << higher << " vs " << lower;
  }
  EXPECT_TRUE(compareEntries("müller@x.de", "müller@x.de") == 0);
}

TEST(EntryOrder, AgreesWithTheStatedRuleOnRandomTexts) {
  // Texts over bytes that form, break and straddle the umlaut pairs, short
  // and longer than the order key. The key must never contradict the order.
  const std::string alphabet = {'a', 'o', 'u', 'b', 'v', '@', '\xC3', '\xA4', '\xB6', '\xBC', '\xA0', '\x7F'};
  std::mt19937 random(7);
  const auto text = [&] {
    std::string result(random() % 2 == 0 ? random() % 6 : 14 + random() % 6, ' ');
    for (char& c : result) c = alphabet[random() % alphabet.size()];
    return result;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string a = text();
    const std::string b = text();
    ASSERT_EQ(compareEntries(a, b) < 0, referenceLess(a, b))
        << testing::PrintToString(a) << " vs " << testing::PrintToString(b);
    ASSERT_EQ(compareEntries(a, b) == 0, a == b);
    const auto keyA = detail::orderKey(a);
    const auto keyB = detail::orderKey(b);
    if (keyA != keyB) {
      ASSERT_EQ(keyA < keyB, compareEntries(a, b) < 0);
    }
    // Word by word, the folded text as the stated rule folds it.
    const std::string foldedA = folded(a);
    for (std::size_t word = 0; word < 4; ++word) {
      std::uint64_t expected = 0;
      for (std::size_t at = 8 * word; at < 8 * word + 8; ++at) {
        expected = expected << 8 | (at < foldedA.size() ? static_cast<unsigned char>(foldedA[at]) : 0U);
      }
      ASSERT_EQ(detail::orderWord(a, word), expected) << testing::PrintToString(a) << " word " << word;
    }
    ASSERT_EQ(keyA.high, detail::orderWord(a, 0));
    ASSERT_EQ(keyA.low, detail::orderWord(a, 1));
  }
}

TEST(ResultLists, List1IsSortedAndList2KeepsInsertionOrder) {
  ResultLists lists;
  for (const char* entry : {"zoe@x.de", "über@x.de", "anna@x.de", "uwe@x.de", "anna@x.de"}) {
    lists.add(ListId::List1, entry);
    lists.add(ListId::List2, entry);
  }
  EXPECT_EQ(contents(lists, ListId::List1),
            (std::vector<std::string>{"anna@x.de", "anna@x.de", "über@x.de", "uwe@x.de", "zoe@x.de"}));
  EXPECT_EQ(contents(lists, ListId::List2),
            (std::vector<std::string>{"zoe@x.de", "über@x.de", "anna@x.de", "uwe@x.de", "anna@x.de"}));

  lists.clear(ListId::List1);
  EXPECT_EQ(lists.count(ListId::List1), 0U);
  EXPECT_EQ(lists.count(ListId::List2), 5U);
  lists.add(ListId::List1, "b@x.de");
  EXPECT_EQ(contents(lists, ListId::List1), std::vector<std::string>{"b@x.de"});
  lists.clear();
  EXPECT_EQ(lists.count(ListId::List1) + lists.count(ListId::List2), 0U);
}

TEST(ResultLists, RemoveSelectedTakesExactlyTheNamedEntries) {
  ResultLists lists;
  for (const char* entry : {"e", "a", "d", "b", "c"}) lists.add(ListId::List2, entry);
  const std::vector<std::size_t> selection = {4, 0, 4, 99, 2};  // any order, repeats, past the end
  EXPECT_EQ(lists.removeSelected(ListId::List2, selection), 3U);
  EXPECT_EQ(contents(lists, ListId::List2), (std::vector<std::string>{"a", "b"}));
}

TEST(ResultLists, ALargeBatchComesOutInTheOrderOfTheStatedRule) {
  // One batch large enough for the sort's second thread, of texts that
  // often agree in their first eight folded bytes and more, with umlauts
  // and many duplicates: read in full first (placed for a read), then rid
  // of its duplicates.
  std::mt19937 random(31);
  static const char* kStarts[] = {"info@", "ä", "a", "user", "müller.", "mueller.", "", "ö-ü-ä"};
  static const char* kMiddles[] = {"", "-a-prefix-longer-than-one-word-", "\xC3"};
  std::vector<std::pair<std::string, std::string>> expected;  // folded text, text
  ResultLists lists;
  for (int i = 0; i < 200'000; ++i) {
    const std::string text =
        std::string(kStarts[random() % 8]) + kMiddles[random() % 3] + std::to_string(random() % 60'000) + "@x.de";
    lists.add(ListId::List1, text);
    expected.emplace_back(folded(text), text);
  }
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> texts;
  for (const auto& [key, text] : expected) texts.push_back(text);
  ASSERT_EQ(contents(lists, ListId::List1), texts);

  const std::size_t all = texts.size();
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  EXPECT_EQ(lists.removeDuplicates(ListId::List1), all - texts.size());
  EXPECT_EQ(contents(lists, ListId::List1), texts);
  EXPECT_GT(all - texts.size(), 10'000U);  // the duplicates it is meant to have
}

// A plain model of both lists: List1 a multiset ordered by (folded text,
// text), List2 a vector; duplicates found with a set of seen texts.
class Model {
 public:
  std::vector<std::string> entries(ListId list) const {
    if (list == ListId::List2) return m_list2;
    std::vector<std::string> result;
    for (const auto& [key, entry] : m_list1) result.push_back(entry);
    return result;
  }
  std::size_t count(ListId list) const { return list == ListId::List1 ? m_list1.size() : m_list2.size(); }
  const std::string& at(ListId list, std::size_t index) const {
    if (list == ListId::List2) return m_list2[index];
    return std::next(m_list1.begin(), static_cast<std::ptrdiff_t>(index))->second;
  }
  void add(ListId list, const std::string& entry) {
    if (list == ListId::List1) {
      m_list1.emplace(folded(entry), entry);
    } else {
      m_list2.push_back(entry);
    }
  }
  void clear(ListId list) {
    if (list == ListId::List1) {
      m_list1.clear();
    } else {
      m_list2.clear();
    }
  }
  // Removes the entry at `index` and returns it.
  std::string take(ListId list, std::size_t index) {
    if (list == ListId::List2) {
      std::string entry = m_list2[index];
      m_list2.erase(m_list2.begin() + static_cast<std::ptrdiff_t>(index));
      return entry;
    }
    const auto at = std::next(m_list1.begin(), static_cast<std::ptrdiff_t>(index));
    std::string entry = at->second;
    m_list1.erase(at);
    return entry;
  }
  // Keeps the first entry of each text; returns how many entries went. In
  // List1 equal texts are neighbours.
  std::size_t removeDuplicates(ListId list) {
    if (list == ListId::List2) {
      std::unordered_set<std::string_view> seen;
      std::vector<std::string> kept;
      for (const std::string& entry : m_list2) {
        if (seen.insert(entry).second) kept.push_back(entry);
      }
      const std::size_t removed = m_list2.size() - kept.size();
      m_list2 = std::move(kept);
      return removed;
    }
    const std::size_t before = m_list1.size();
    for (auto item = m_list1.begin(); item != m_list1.end();) {
      const auto next = std::next(item);
      if (next != m_list1.end() && next->second == item->second) {
        m_list1.erase(next);
      } else {
        item = next;
      }
    }
    return before - m_list1.size();
  }

 private:
  std::multiset<std::pair<std::string, std::string>> m_list1;
  std::vector<std::string> m_list2;
};

TEST(ResultLists, MatchesThePlainModelOverRandomOperations) {
  // Lists of thousands of entries, so that List1's storage splits, merges
  // and repacks, with duplicates common and, now and then, a run of one
  // text longer than a block. Reads come at varying distances from the
  // adds, so both ways of placing new entries are taken.
  std::mt19937 random(12345);
  ResultLists lists;
  Model model;
  std::size_t largest = 0;
  const auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
  const auto entry = [&] {
    static const char* kStems[] = {"a", "ä", "b", "ö", "o", "ü", "u", "z"};
    return std::string(kStems[pick(8)]) + kStems[pick(8)] + std::to_string(pick(60)) + "@x.de";
  };
  for (int step = 0; step < 3000; ++step) {
    const ListId list = pick(3) == 0 ? ListId::List2 : ListId::List1;
    const std::size_t action = pick(100);
    if (action < 75) {
      const bool longRun = pick(50) == 0;
      for (std::size_t n = longRun ? 300 : pick(20) + 1; n > 0; --n) {
        const std::string text = longRun ? std::string("same@x.de") : entry();
        lists.add(list, text);
        model.add(list, text);
      }
    } else if (action < 80 || (action == 99 && pick(5) != 0)) {
      ASSERT_EQ(lists.removeDuplicates(list), model.removeDuplicates(list)) << "step " << step;
    } else if (action < 99) {
      std::set<std::size_t> selection;
      for (std::size_t n = pick(6); n > 0 && lists.count(list) > 0; --n) selection.insert(pick(lists.count(list)));
      const std::vector<std::size_t> indices(selection.rbegin(), selection.rend());
      const bool move = action < 90;
      if (move) {
        lists.moveSelected(list, indices);
      } else {
        lists.removeSelected(list, indices);
      }
      for (auto index = selection.rbegin(); index != selection.rend(); ++index) {
        const std::string taken = model.take(list, *index);
        if (move) model.add(otherList(list), taken);
      }
    } else {
      lists.clear(list);
      model.clear(list);
    }
    ASSERT_EQ(lists.count(ListId::List1), model.count(ListId::List1)) << "step " << step;
    ASSERT_EQ(lists.count(ListId::List2), model.count(ListId::List2)) << "step " << step;
    largest = std::max(largest, model.count(ListId::List1));
    if (step % 20 == 0) {
      ASSERT_EQ(contents(lists, ListId::List1), model.entries(ListId::List1)) << "step " << step;
      ASSERT_EQ(contents(lists, ListId::List2), model.entries(ListId::List2)) << "step " << step;
    }
  }
  EXPECT_EQ(contents(lists, ListId::List1), model.entries(ListId::List1));
  EXPECT_GT(largest, 2000U);  // the run reached the sizes it is meant to test
}

// Moves the entries of `from` at a few random indices to the other list, or
// removes them, in both the lists and the model.
template <class Pick>
void takeRandomSelection(ResultLists& lists, Model& model, ListId from, bool move, Pick& pick) {
  std::set<std::size_t> selection;
  for (std::size_t n = pick(8); n > 0 && lists.count(from) > 0; --n) selection.insert(pick(lists.count(from)));
  const std::vector<std::size_t> indices(selection.begin(), selection.end());
  const std::size_t taken = move ? lists.moveSelected(from, indices) : lists.removeSelected(from, indices);
  ASSERT_EQ(taken, selection.size());
  for (auto index = selection.rbegin(); index != selection.rend(); ++index) {
    const std::string entry = model.take(from, *index);
    if (move) model.add(otherList(from), entry);
  }
}

TEST(ResultLists, MatchesThePlainModelWhenDuplicatesGoAfterEveryFile) {
  // The folder-scan pattern: a few entries per file, then the duplicates of
  // both lists removed. At random points, also in the middle of a file: one
  // entry read at a random index or the whole of a list, a few entries moved
  // either way or removed; now and then a list is cleared. How often reads
  // come changes from stretch to stretch, from never (many files, every new
  // entry still unplaced) to nearly after every entry (new entries placed
  // one by one, duplicates among the placed ones). Texts are short or share
  // a prefix longer than the order key, and many repeat, within a file and
  // across files.
  std::mt19937 random(2024);
  ResultLists lists;
  Model model;
  std::size_t largest = 0;
  std::size_t addedToList1 = 0;
  std::size_t removedFromList1 = 0;
  std::size_t readShare = 0;  // reads per 1000 points
  const auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
  const auto entry = [&] {
    static const char* kStems[] = {"a", "ä", "b", "ö", "o", "ü", "u", "z"};
    std::string text = std::string(kStems[pick(8)]) + kStems[pick(8)];
    if (pick(2) == 0) text += "-a-shared-prefix-";
    return text + std::to_string(pick(40)) + "@x.de";
  };
  const auto anyPoint = [&] {
    const ListId list = pick(2) == 0 ? ListId::List1 : ListId::List2;
    if (pick(1000) < readShare && model.count(list) > 0) {
      if (pick(20) == 0) {
        ASSERT_EQ(contents(lists, list), model.entries(list));
      } else {
        const std::size_t index = pick(model.count(list));
        ASSERT_EQ(lists.at(list, index), model.at(list, index)) << "index " << index;
      }
    }
    const std::size_t action = pick(1000);
    if (action < 5) {
      ASSERT_NO_FATAL_FAILURE(takeRandomSelection(lists, model, list, true, pick));
    } else if (action < 8) {
      ASSERT_NO_FATAL_FAILURE(takeRandomSelection(lists, model, list, false, pick));
    }
  };
  for (int file = 0; file < 4000; ++file) {
    if (file % 250 == 0) readShare = std::vector<std::size_t>{0, 2, 30, 500}[pick(4)];
    for (std::size_t n = pick(12); n > 0; --n) {
      const ListId list = pick(4) == 0 ? ListId::List2 : ListId::List1;
      const std::string text = entry();
      lists.add(list, text);
      model.add(list, text);
      if (list == ListId::List1) ++addedToList1;
      ASSERT_NO_FATAL_FAILURE(anyPoint()) << "file " << file;
    }
    const std::size_t removed = model.removeDuplicates(ListId::List1);
    ASSERT_EQ(lists.removeDuplicates(ListId::List1), removed) << "file " << file;
    ASSERT_EQ(lists.removeDuplicates(ListId::List2), model.removeDuplicates(ListId::List2)) << "file " << file;
    removedFromList1 += removed;
    ASSERT_NO_FATAL_FAILURE(anyPoint()) << "file " << file;
    if (pick(1000) == 0) {
      const ListId list = pick(2) == 0 ? ListId::List1 : ListId::List2;
      lists.clear(list);
      model.clear(list);
    }
    ASSERT_EQ(lists.count(ListId::List1), model.count(ListId::List1)) << "file " << file;
    ASSERT_EQ(lists.count(ListId::List2), model.count(ListId::List2)) << "file " << file;
    largest = std::max(largest, model.count(ListId::List1));
  }
  EXPECT_EQ(contents(lists, ListId::List1), model.entries(ListId::List1));
  EXPECT_EQ(contents(lists, ListId::List2), model.entries(ListId::List2));
  // The run reached the sizes and the duplicate rates it is meant to test.
  EXPECT_GT(largest, 2000U);
  EXPECT_GT(3 * removedFromList1, addedToList1);
}

TEST(ResultLists, SnapshotsKeepShowingTheListsAsTheyWere) {
  // The folder-scan pattern again, with snapshots taken at random points,
  // often between a file's entries and its closing steps, and kept for a
  // while: each must show its list as it was when taken, whatever the lists
  // do afterwards. Texts are long and repeat a lot, so that the lists copy
  // their live texts together now and then while snapshots still show the
  // old ones; now and then a text is long enough for storage of its own;
  // lists grow to a thousand entries and more, so that blocks split, merge
  // and repack.
  std::mt19937 random(77);
  ResultLists lists;
  Model model;
  struct Taken {
    ListSnapshot snapshot;
    std::vector<std::string> expected;
  };
  std::vector<Taken> taken;
  std::size_t snapshotsTaken = 0;
  std::size_t largest = 0;
  const auto pick = [&](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
  const auto entry = [&] {
    static const char* kStems[] = {"a", "ä", "b", "ö", "o", "ü", "u", "z"};
    std::string text = std::string(kStems[pick(8)]) + kStems[pick(8)] + std::string(60, '-') + std::to_string(pick(20));
    if (pick(300) == 0) text += std::string(40000 + pick(3) * 1000, 'q');
    return text + "@x.de";
  };
  const auto takeSnapshot = [&] {
    const ListId list = pick(2) == 0 ? ListId::List1 : ListId::List2;
    taken.push_back({ListSnapshot(lists, list), model.entries(list)});
    ++snapshotsTaken;
    if (taken.size() > 6) taken.erase(taken.begin() + static_cast<std::ptrdiff_t>(pick(taken.size())));
  };
  const auto checkSnapshots = [&] {
    for (const Taken& each : taken) ASSERT_EQ(contents(each.snapshot), each.expected);
  };
  for (int file = 0; file < 6000; ++file) {
    for (std::size_t n = pick(12); n > 0; --n) {
      const ListId list = pick(2) == 0 ? ListId::List2 : ListId::List1;
      const std::string text = entry();
      lists.add(list, text);
      model.add(list, text);
    }
    if (pick(6) == 0) takeSnapshot();
    if (pick(60) == 0) {
      const ListId list = pick(2) == 0 ? ListId::List1 : ListId::List2;
      ASSERT_NO_FATAL_FAILURE(takeRandomSelection(lists, model, list, pick(2) == 0, pick));
    }
    ASSERT_EQ(lists.removeDuplicates(ListId::List1), model.removeDuplicates(ListId::List1)) << "file " << file;
    ASSERT_EQ(lists.removeDuplicates(ListId::List2), model.removeDuplicates(ListId::List2)) << "file " << file;
    if (pick(10) == 0) takeSnapshot();
    if (pick(1500) == 0) {
      const ListId list = pick(2) == 0 ? ListId::List1 : ListId::List2;
      lists.clear(list);
      model.clear(list);
    }
    if (file % 50 == 0) {
      ASSERT_NO_FATAL_FAILURE(checkSnapshots()) << "file " << file;
    }
    largest = std::max(largest, model.count(ListId::List1));
  }
  ASSERT_NO_FATAL_FAILURE(checkSnapshots());
  const ListSnapshot last1(lists, ListId::List1);
  const ListSnapshot last2(lists, ListId::List2);
  EXPECT_EQ(contents(last1), model.entries(ListId::List1));
  EXPECT_EQ(contents(last2), model.entries(ListId::List2));
  EXPECT_GT(largest, 1000U);
  EXPECT_GT(snapshotsTaken, 1000U);
}

}  // namespace
}  // namespace mailsift
