// The growing array of entries keeps its entries through growth from the
// heap into large mappings, which grow by remapping, and when it hands its
// memory over.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "results/detail/entry_blocks.h"

namespace mailsift::detail {
namespace {

Entry entryNumber(std::uint64_t i) { return {i * 0x9E37'79B9'7F4A'7C15u, i, ~i}; }

TEST(EntryBuffer, KeepsItsEntriesWhileGrowingIntoLargeMappingsAndWhenShared) {
  // 600,000 entries are 14.4 MB: the array starts on the heap and grows
  // through mappings of 4 MiB and more.
  constexpr std::uint64_t kCount = 600'000;
  EntryBuffer buffer;
  for (std::uint64_t i = 0; i < kCount; ++i) {
    const std::size_t room = buffer.capacity();
    buffer.push_back(entryNumber(i));
    if (buffer.capacity() != room) {
      // Just grown: everything before is still there.
      for (std::size_t k = 0; k <= i; ++k) {
        ASSERT_EQ(buffer[k].key, entryNumber(k).key) << k << " after growing to " << buffer.capacity();
        ASSERT_EQ(buffer[k].key2, entryNumber(k).key2) << k;
        ASSERT_EQ(buffer[k].text, entryNumber(k).text) << k;
      }
    }
  }
  ASSERT_EQ(buffer.size(), kCount);
  buffer.shrink(kCount - 1);
  const std::shared_ptr<Entry[]> shared = buffer.share();
  EXPECT_TRUE(buffer.empty());
  for (std::ptrdiff_t k = 0; k + 1 < static_cast<std::ptrdiff_t>(kCount); ++k) {
    const Entry expected = entryNumber(static_cast<std::uint64_t>(k));
    ASSERT_EQ(shared[k].key, expected.key) << k;
    ASSERT_EQ(shared[k].key2, expected.key2) << k;
    ASSERT_EQ(shared[k].text, expected.text) << k;
  }
}

}  // namespace
}  // namespace mailsift::detail
