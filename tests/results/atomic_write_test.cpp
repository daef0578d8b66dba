// Replacing a file through a temporary file: what a success leaves behind,
// and that every failure leaves the previous file and no stray file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "platform/atomic_write.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

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

TEST(WriteFileReplacing, FailsAtOnceForAFifoThatNobodyReads) {
  GTEST_FLAG_SET(death_test_style, "fast");
  const test::TempFolder folder;
  const std::string fifo = folder.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto writeAndExit = [&] {
    ::alarm(10);  // waiting for a reader would go on for ever
    const std::optional<Failure> failure = writeFileReplacing(fifo, "lost");
    std::fputs(failure ? failure->message.c_str() : "written", stderr);
    std::_Exit(failure ? failure->systemError : 0);
  };
  EXPECT_EXIT(writeAndExit(), testing::ExitedWithCode(ENXIO), "no program reads from it");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// Another user's link is followed only where the kernel would follow it in
// a sticky folder: when it belongs to the folder's owner. Root makes the
// links and folders of "nobody" here.
TEST(WriteFileReplacing, FollowsOnlyLinksOfTheUserOrOfTheFoldersOwner) {
  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and a user 'nobody' to own links";
  struct Case {
    const char* what;
    bool othersLink, othersFolder, linkOnTheWay, followed;
  };
  const Case cases[] = {
      {"another user's link in our sticky folder", true, false, false, false},
      {"another user's link to a folder on the way", true, false, true, false},
      {"a link of the folder's owner", true, true, false, true},
      {"our own link in another user's folder", false, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const test::TempFolder folder;
    const std::string victim = folder.write("private/victim.csv", "secret");
    const fs::path shared = folder.path() / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    if (c.othersFolder) {
      ASSERT_EQ(::chown(shared.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    const fs::path link = shared / (c.linkOnTheWay ? "folder" : "report.csv");
    fs::create_symlink(c.linkOnTheWay ? folder.path() / "private" : fs::path(victim), link);
    if (c.othersLink) {
      ASSERT_EQ(::lchown(link.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }

    const std::optional<Failure> failure =
        writeFileReplacing(c.linkOnTheWay ? (link / "victim.csv").string() : link.string(), "planted");
    EXPECT_EQ(failure.has_value(), !c.followed);
    EXPECT_EQ(test::readFile(victim), c.followed ? "planted" : "secret");
    if (failure) {
      EXPECT_EQ(failure->systemError, EACCES);
      EXPECT_EQ(failure->kind, FailureKind::AccessDenied);
    }
    EXPECT_EQ(namesIn(shared).size(), 1U);
    EXPECT_EQ(namesIn(folder.path() / "private"), std::set<std::string>{"victim.csv"});
  }
}

TEST(WriteFileReplacing, AReplacedFileKeepsItsOwnerAndGroup) {
  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) GTEST_SKIP() << "needs root and a user 'nobody' to own the file";
  const test::TempFolder folder;
  const std::string existing = folder.write("theirs.csv", "old");
  ASSERT_EQ(::chown(existing.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(::chmod(existing.c_str(), 0640), 0);
  ASSERT_FALSE(writeFileReplacing(existing, "new").has_value());
  struct stat info {};
  ASSERT_EQ(::stat(existing.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, nobody->pw_uid);
  EXPECT_EQ(info.st_gid, nobody->pw_gid);
  EXPECT_EQ(info.st_mode & 07777U, 0640U);
  EXPECT_EQ(test::readFile(existing), "new");
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
  if (!test::canRunUnprivileged()) GTEST_SKIP() << "root ignores permissions, and there is no user 'nobody'";
  const test::TempFolder folder;
  const std::string existing = folder.write("list.csv", "old");
  test::giveToUnprivileged(folder.path());
  fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const int systemError = test::runUnprivileged([&] {
    const std::optional<Failure> result = writeFileReplacing(existing, "new");
    return result ? result->systemError : 0;
  });
  fs::permissions(folder.path(), fs::perms::owner_all);
  EXPECT_EQ(systemError, EACCES);
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
