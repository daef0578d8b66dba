// The table of List1's texts: lookups through growth and collisions,
// releasing and reusing ids, compaction, and texts of any length and bytes,
// checked against a std::unordered_map model.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "results/detail/text_table.h"

namespace mailsift::detail {
namespace {

// Hashes that force collisions: every text the same hash (one cluster, every
// tag equal); and 24 hashes whose home slots are the last eight of the
// index at any size, so that clusters of different homes interleave and
// wrap round to the front, with three tags among them.
std::uint64_t sameHash(std::string_view) noexcept { return 42; }
std::uint64_t hashesAtTheEnd(std::string_view text) noexcept {
  return (static_cast<std::uint64_t>(text.size() % 3) << 32) | (0xFFFF'FFF8u + text.size() % 8);
}

// A text of `length` bytes from the whole range 0x00 to 0xFF.
std::string randomText(std::mt19937& random, std::size_t length) {
  std::string text(length, '\0');
  for (char& byte : text) byte = static_cast<char>(random() & 0xFF);
  return text;
}

// The table agrees with `model` (text to id) on every text and its copies.
void expectHolds(const TextTable& table, const std::unordered_map<std::string, TextTable::Id>& model) {
  ASSERT_EQ(table.size(), model.size());
  std::unordered_set<TextTable::Id> ids;
  for (const auto& [text, id] : model) {
    ASSERT_EQ(table.find(text), id) << "length " << text.size();
    ASSERT_EQ(table.text(id), text);
    ASSERT_TRUE(ids.insert(id).second) << "two texts share id " << id;
  }
}

TEST(TextTable, EqualTextsShareAnIdAndOthersDoNot) {
  TextTable table;
  EXPECT_EQ(table.find("a@x.de"), TextTable::kNone);
  const TextTable::Id a = table.intern("a@x.de");
  const TextTable::Id b = table.intern("b@x.de");
  const TextTable::Id empty = table.intern("");
  EXPECT_NE(a, b);
  EXPECT_NE(a, empty);
  EXPECT_NE(b, empty);
  EXPECT_EQ(table.intern(std::string("a@x.de")), a);
  EXPECT_EQ(table.intern(""), empty);
  EXPECT_EQ(table.find("a@x.d"), TextTable::kNone);
  EXPECT_EQ(table.find(std::string_view("a@x.de\0", 7)), TextTable::kNone);
  EXPECT_EQ(table.text(a), "a@x.de");
  EXPECT_EQ(table.text(empty), "");
  EXPECT_EQ(table.size(), 3U);
  EXPECT_EQ(table.copies(a), 0U);  // a new text has no copies until counted
  ++table.copies(a);
  EXPECT_EQ(table.copies(a), 1U);
  EXPECT_EQ(table.copies(b), 0U);
}

TEST(TextTable, KeepsIdsAndTextsThroughManyDoublings) {
  // 200,000 texts take the index from 16 slots through fourteen doublings
  // and fill many chunks; every id must still name its text.
  std::mt19937 random(7);
  TextTable table;
  std::unordered_map<std::string, TextTable::Id> model;
  for (int i = 0; i < 200'000; ++i) {
    const std::string text = "user" + std::to_string(i) + "@host" + std::to_string(random() % 1000) + ".example";
    const TextTable::Id id = table.intern(text);
    const auto [known, added] = model.emplace(text, id);
    ASSERT_TRUE(added);
    if (i % 20'000 == 0) {
      ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));
    }
  }
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));
}

TEST(TextTable, TextsOfEveryLengthAndByte) {
  // Lengths 0 to 300 (every tail length of the word-wise hash), texts longer
  // than a chunk, every byte value, and texts that differ only in their last
  // byte or in length by a trailing zero byte. First a text longer than the
  // table's first chunks that still shares its chunk with later ones.
  std::mt19937 random(99);
  TextTable table;
  std::unordered_map<std::string, TextTable::Id> model;
  const auto add = [&](const std::string& text) {
    const TextTable::Id id = table.intern(text);
    const auto [known, added] = model.emplace(text, id);
    ASSERT_EQ(known->second, id);
  };
  std::mt19937 first(5);
  ASSERT_NO_FATAL_FAILURE(add(randomText(first, 40'000)));
  std::string allBytes;
  for (int byte = 0; byte < 256; ++byte) allBytes += static_cast<char>(byte);
  ASSERT_NO_FATAL_FAILURE(add(allBytes));
  for (std::size_t length = 0; length <= 300; ++length) {
    const std::string text = randomText(random, length);
    ASSERT_NO_FATAL_FAILURE(add(text));
    std::string changed = text;
    if (!changed.empty()) changed.back() = static_cast<char>(changed.back() ^ 0x80);
    ASSERT_NO_FATAL_FAILURE(add(changed));
    ASSERT_NO_FATAL_FAILURE(add(text + '\0'));
  }
  for (const std::size_t length :
       {std::size_t{65'535}, std::size_t{65'537}, std::size_t{1} << 20, std::size_t{3} << 20}) {
    const std::string text = randomText(random, length);
    ASSERT_NO_FATAL_FAILURE(add(text));
    ASSERT_NO_FATAL_FAILURE(add(text.substr(1)));
  }
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));
}

TEST(TextTable, HashDiffersForEveryChangedBit) {
  // Same length, one bit changed: each step of the hash is a bijection, so
  // the hashes must differ.
  std::mt19937 random(3);
  for (std::size_t length = 1; length <= 40; ++length) {
    const std::string text = randomText(random, length);
    const std::uint64_t hash = hashText(text);
    EXPECT_EQ(hashText(std::string(text)), hash);
    for (std::size_t i = 0; i < length; ++i) {
      for (int bit = 0; bit < 8; ++bit) {
        std::string changed = text;
        changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
        EXPECT_NE(hashText(changed), hash) << "length " << length << ", byte " << i << ", bit " << bit;
      }
    }
  }
}

// Random interning, releasing and compacting against the model, under a
// given hash. Released ids must come back for new texts, and the texts
// still held must survive every removal from the middle of a cluster.
void runAgainstModel(TextTable::HashFunction hash, int steps, std::size_t distinct) {
  std::mt19937 random(static_cast<std::mt19937::result_type>(distinct));
  TextTable table(hash);
  std::unordered_map<std::string, TextTable::Id> model;
  std::vector<std::string> pool;
  for (std::size_t i = 0; i < distinct; ++i) {
    const std::size_t length = random() % 4 == 0 ? random() % 200 : random() % 24;
    pool.push_back(randomText(random, length) + std::to_string(i));
  }
  std::vector<TextTable::Id> released;
  for (int step = 0; step < steps; ++step) {
    const std::string& text = pool[random() % pool.size()];
    const std::size_t action = random() % 10;
    if (action < 6) {
      const TextTable::Id id = table.intern(text);
      const auto [known, added] = model.emplace(text, id);
      ASSERT_EQ(known->second, id) << "step " << step;
      if (added && !released.empty()) {
        // The most recently released id is taken first.
        ASSERT_EQ(id, released.back()) << "step " << step;
        released.pop_back();
      }
    } else if (action < 9) {
      const auto known = model.find(text);
      if (known == model.end()) continue;
      table.release(known->second);
      released.push_back(known->second);
      model.erase(known);
      ASSERT_EQ(table.find(text), TextTable::kNone) << "step " << step;
    } else {
      table.compact();
    }
    if (step % 97 == 0) {
      ASSERT_NO_FATAL_FAILURE(expectHolds(table, model)) << "step " << step;
    }
  }
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));
}

TEST(TextTable, MatchesTheModelWithTheRealHash) { runAgainstModel(hashText, 200'000, 5000); }

TEST(TextTable, MatchesTheModelWhenAllHashesAreEqual) { runAgainstModel(sameHash, 20'000, 400); }

TEST(TextTable, MatchesTheModelWhenClustersInterleaveAndWrap) { runAgainstModel(hashesAtTheEnd, 20'000, 400); }

TEST(TextTable, CompactionKeepsTheLiveTexts) {
  // Most texts released, then compacted: the others keep id and bytes, and
  // new texts go on working.
  std::mt19937 random(5);
  TextTable table;
  std::unordered_map<std::string, TextTable::Id> model;
  std::vector<std::string> texts;
  for (int i = 0; i < 50'000; ++i) texts.push_back(randomText(random, random() % 60) + std::to_string(i));
  texts.push_back("");
  texts.push_back(randomText(random, 100'000));
  for (const std::string& text : texts) {
    const TextTable::Id id = table.intern(text);
    table.copies(id) = text.size() + 1;
    model.emplace(text, id);
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i % 10 != 0 && i + 2 < texts.size()) {
      table.release(model.at(texts[i]));
      model.erase(texts[i]);
    }
  }
  table.compact();
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));
  for (const auto& [text, id] : model) ASSERT_EQ(table.copies(id), text.size() + 1);
  for (int i = 0; i < 1000; ++i) {
    const std::string text = "after" + std::to_string(i);
    model.emplace(text, table.intern(text));
  }
  ASSERT_NO_FATAL_FAILURE(expectHolds(table, model));

  table.clear();
  EXPECT_EQ(table.size(), 0U);
  EXPECT_EQ(table.find(texts.back()), TextTable::kNone);
  const TextTable::Id again = table.intern(texts.back());
  EXPECT_EQ(table.text(again), texts.back());
}

}  // namespace
}  // namespace mailsift::detail
