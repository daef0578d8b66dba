// A file of more than 2 GiB is read whole and its addresses are found,
// also the one at its very end.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "scanner/extract_addresses.h"
#include "sources/scan_text.h"
#include "support/failures.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

TEST(ReadScanText, ReadsFilesOfTwoGibibytesAndMore) {
  test::TempFolder folder;
  const std::string path = folder.file("huge.bin");
  // Sparse where the file system allows: only the two addresses take space.
  const std::uint64_t tail = (std::uint64_t{1} << 31) + 4096;
  const std::string first = "first@example.com ";
  const std::string last = " last@example.org";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << first;
    out.seekp(static_cast<std::streamoff>(tail));
    out << last;
    ASSERT_TRUE(out.good());
  }

  const ReadResult read = readScanText(path);
  ASSERT_TRUE(read.ok()) << test::messageOf(read.failure);
  EXPECT_EQ(read.text.size(), static_cast<std::size_t>(tail) + last.size());

  std::vector<std::string> found;
  extractAddresses(read.text.view(), [&](TargetList, std::string_view entry) { found.emplace_back(entry); });
  EXPECT_EQ(found, (std::vector<std::string>{"first@example.com", "last@example.org"}));
}

}  // namespace
}  // namespace mailsift
