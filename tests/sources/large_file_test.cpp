// A file of more than 2 GiB is read whole and its addresses are found,
// also the one at its very end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

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
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  // Sparse: only the two addresses take disk space.
  const off_t tail = (off_t{1} << 31) + 4096;
  const std::string first = "first@example.com ";
  const std::string last = " last@example.org";
  ASSERT_EQ(pwrite(fd, first.data(), first.size(), 0), static_cast<ssize_t>(first.size()));
  ASSERT_EQ(pwrite(fd, last.data(), last.size(), tail), static_cast<ssize_t>(last.size()));
  close(fd);

  const ReadResult read = readScanText(path);
  ASSERT_TRUE(read.ok()) << test::messageOf(read.failure);
  EXPECT_EQ(read.text.size(), static_cast<std::size_t>(tail) + last.size());

  std::vector<std::string> found;
  extractAddresses(read.text.view(), [&](TargetList, std::string_view entry) { found.emplace_back(entry); });
  EXPECT_EQ(found, (std::vector<std::string>{"first@example.com", "last@example.org"}));
}

}  // namespace
}  // namespace mailsift
