// Replacing a file through a temporary file: what a success leaves behind,
// and that every failure leaves the previous file and no stray file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "platform/atomic_write.h"
#include "support/temp_folder.h"

namespace mailsift::platform {
namespace {

namespace fs = std::filesystem;

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

unsigned permissionsOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 0777U;
}

// Writes `size` bytes to `path` with files limited to `limit` bytes;
// returns the error number.
int writeUnderSizeLimit(const std::string& path, rlim_t limit, std::size_t size) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit sizeLimit{limit, limit};
  ::setrlimit(RLIMIT_FSIZE, &sizeLimit);
  const std::optional<Failure> failure = writeFileReplacing(path, std::string(size, 'x'));
  return failure ? failure->systemError : 0;
}

TEST(WriteFileReplacing, CreatesWithTheUmaskAndKeepsAReplacedFilesPermissions) {
  const test::TempFolder folder;
  const mode_t previousMask = ::umask(027);
  const std::string created = folder.file("new list");
  const std::optional<Failure> result = writeFileReplacing(created, "a@x.de");
  ::umask(previousMask);
  ASSERT_FALSE(result.has_value()) << result->message;
  EXPECT_EQ(test::readFile(created), "a@x.de");
  EXPECT_EQ(permissionsOf(created), 0640U);

  const std::string existing = folder.write("old.csv", "a much longer previous content");
  ::chmod(existing.c_str(), 0604);
  ASSERT_FALSE(writeFileReplacing(existing, "b").has_value());
  EXPECT_EQ(test::readFile(existing), "b");
  EXPECT_EQ(permissionsOf(existing), 0604U);
  EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"new list", "old.csv"}));
}

TEST(WriteFileReplacing, ReplacesTheFileALinkPointsTo) {
  const test::TempFolder folder;
  const std::string real = folder.write("real.csv", "old");
  fs::create_symlink("real.csv", folder.path() / "link.csv");
  ASSERT_FALSE(writeFileReplacing(folder.file("link.csv"), "new").has_value());
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.csv"));
  EXPECT_EQ(test::readFile(real), "new");
}

TEST(WriteFileReplacing, WritesAPathWithoutAFolderIntoTheWorkingFolder) {
  const test::TempFolder folder;
  const fs::path previous = fs::current_path();
  fs::current_path(folder.path());
  const std::optional<Failure> result = writeFileReplacing("plain.csv", "x");
  fs::current_path(previous);
  ASSERT_FALSE(result.has_value()) << result->message;
  EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"plain.csv"});
}

TEST(WriteFileReplacing, WritesAFifoInPlace) {
  const test::TempFolder folder;
  const std::string fifo = folder.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_FALSE(writeFileReplacing(fifo, "through").has_value());
  char buffer[16] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
  EXPECT_EQ(std::string(buffer), "through");
  ::close(reader);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST(WriteFileReplacing, FailsForAMissingFolderOrAFolderTarget) {
  const test::TempFolder folder;
  const std::string inMissing = folder.file("missing/list.csv");
  const std::optional<Failure> missing = writeFileReplacing(inMissing, "x");
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->systemError, ENOENT);
  EXPECT_NE(describe(*missing).find(inMissing), std::string::npos) << describe(*missing);

  fs::create_directory(folder.path() / "sub");
  const std::optional<Failure> isFolder = writeFileReplacing(folder.file("sub"), "x");
  ASSERT_TRUE(isFolder.has_value());
  EXPECT_EQ(isFolder->systemError, EISDIR);
  EXPECT_FALSE(isFolder->message.empty());
  EXPECT_TRUE(fs::is_empty(folder.path() / "sub"));
  EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"sub"});
}

TEST(WriteFileReplacing, LeavesTheFileAloneInAFolderWithoutWritePermission) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  const test::TempFolder folder;
  const std::string existing = folder.write("list.csv", "old");
  fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const std::optional<Failure> result = writeFileReplacing(existing, "new");
  fs::permissions(folder.path(), fs::perms::owner_all);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->systemError, EACCES);
  EXPECT_EQ(test::readFile(existing), "old");
  EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"list.csv"});
}

TEST(WriteFileReplacing, LeavesTheFileAloneWhenTheDiskFillsUp) {
  // A file size limit makes writes fail part way, like a full disk; it is
  // set in a child process so that the test runner keeps its own limits.
  // "fast" forks without re-running the test, so the child writes to this
  // test's folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  const test::TempFolder folder;
  const std::string existing = folder.write("list.csv", "old");
  EXPECT_EXIT(std::_Exit(writeUnderSizeLimit(existing, 4096, 100000)), testing::ExitedWithCode(EFBIG), "");
  EXPECT_EQ(test::readFile(existing), "old");
  EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"list.csv"});
}

}  // namespace
}  // namespace mailsift::platform
