// fetchUrlForScan: blank answers, the page as read, and that exactly the file
// it downloaded is read and removed, whatever else lies at the temporary
// name. temporaryFolder() is fixed once per process, so every test here shares one
// temporary folder, emptied before and after each test.
#include "sources/url_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "sources/temp_dir.h"
#include "support/failures.h"
#include "support/http_test_server.h"
#include "support/system.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::messageOf;

// The process's temporary folder: TEMP points at it for the first call of
// temporaryFolder(), which creates it and keeps it, and is then set back, so that
// the TempFolders of the tests (which follow TEMP too) are made elsewhere.
const fs::path& processTempFolder() {
  static const fs::path folder = [] {
    static const test::TempFolder owner;
    const fs::path inside = owner.path() / "scan-temp";
    const char* previous = std::getenv("TEMP");
    const std::string saved = previous != nullptr ? previous : "";
    test::setEnvironment("TEMP", inside.string());
    (void)temporaryFolder();
    if (previous != nullptr) {
      test::setEnvironment("TEMP", saved);
    } else {
      test::unsetEnvironment("TEMP");
    }
    return inside;
  }();
  return folder;
}

class UrlScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(temporaryFolder(), platform::withTrailingSeparator(processTempFolder().string()));
    clear();
  }
  void TearDown() override { clear(); }

  static void clear() {
    for (const auto& entry : fs::directory_iterator(processTempFolder())) fs::remove_all(entry.path());
  }
  static std::vector<std::string> names() {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(processTempFolder()))
      result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
  }

  // What fetchUrlForScan gave, with the page as the reader read it.
  struct Fetched {
    UrlScanSource result;
    std::string text;
  };
  static Fetched fetch(std::string_view answer) {
    Fetched fetched;
    fetched.result = fetchUrlForScan(answer, [&](platform::InputFile& page) -> std::optional<platform::Failure> {
      char buffer[4096];
      for (;;) {
        platform::ReadOutcome got = page.read(buffer, sizeof buffer);
        if (got.failure || got.bytes == 0) return got.failure;
        fetched.text.append(buffer, got.bytes);
      }
    });
    return fetched;
  }

  HttpTestServer server;
  const std::string page{HttpTestServer::pageBody()};
};

TEST_F(UrlScanTest, BlankAnswerDownloadsNothing) {
  for (const char* answer : {"", " ", "     "}) {
    SCOPED_TRACE(std::string("'") + answer + "'");
    const Fetched source = fetch(answer);
    EXPECT_FALSE(source.result.failure.has_value());
    EXPECT_TRUE(source.text.empty());
  }
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(names().empty());
}

TEST_F(UrlScanTest, GivesThePageAndLeavesNoFile) {
  const Fetched source = fetch(server.url("/page.html"));
  ASSERT_FALSE(source.result.failure.has_value()) << messageOf(source.result.failure);
  EXPECT_EQ(source.text, page);
  EXPECT_TRUE(names().empty());
}

// The answer is downloaded as typed: spaces around an address make it an
// address the HTTP layer refuses, so the page is never asked for.
TEST_F(UrlScanTest, AnswerIsNotTrimmedForTheDownload) {
  const Fetched source = fetch("  " + server.url("/page.html") + "  ");
  EXPECT_TRUE(source.result.failure.has_value());
  EXPECT_TRUE(source.text.empty());
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(names().empty());
}

TEST_F(UrlScanTest, FailedDownloadSaysWhyAndLeavesNoFile) {
  const Fetched source = fetch(server.url("/missing"));
  EXPECT_TRUE(source.result.failure.has_value());
  EXPECT_EQ(source.result.httpStatus, 404);
  EXPECT_FALSE(messageOf(source.result.failure).empty());
  EXPECT_TRUE(source.text.empty());
  EXPECT_TRUE(names().empty());
}

TEST_F(UrlScanTest, StaleTempFileIsNeitherScannedNorRemoved) {
  const std::string stale = "stale@old.example";
  const fs::path plain = processTempFolder() / "kelvaro.tmp";
  std::ofstream(plain, std::ios::binary) << stale;

  const Fetched worked = fetch(server.url("/page.html"));
  ASSERT_FALSE(worked.result.failure.has_value()) << messageOf(worked.result.failure);
  EXPECT_EQ(worked.text, page);
  EXPECT_EQ(names(), std::vector<std::string>{"kelvaro.tmp"});
  EXPECT_EQ(test::readFile(plain), stale);

  const Fetched failed = fetch(server.url("/missing"));
  EXPECT_TRUE(failed.result.failure.has_value());
  EXPECT_TRUE(failed.text.empty());
  EXPECT_EQ(names(), std::vector<std::string>{"kelvaro.tmp"});
  EXPECT_EQ(test::readFile(plain), stale);
}

TEST_F(UrlScanTest, LinkAtTheTempNameIsNotFollowed) {
  if (const char* why = test::missing(test::Feature::Symlinks)) GTEST_SKIP() << why;
  test::TempFolder elsewhere;
  const std::string victim = elsewhere.write("victim.txt", "precious");
  const fs::path link = processTempFolder() / "kelvaro.tmp";
  fs::create_symlink(victim, link);

  const Fetched source = fetch(server.url("/page.html"));
  ASSERT_FALSE(source.result.failure.has_value()) << messageOf(source.result.failure);
  EXPECT_EQ(source.text, page);
  EXPECT_EQ(test::readFile(victim), "precious");
  EXPECT_EQ(fs::read_symlink(link), victim);
  EXPECT_EQ(names(), std::vector<std::string>{"kelvaro.tmp"});

  // A dangling link is not followed either: its target is never created.
  fs::remove(link);
  const std::string absent = elsewhere.file("absent.txt");
  fs::create_symlink(absent, link);
  const Fetched again = fetch(server.url("/page.html"));
  EXPECT_EQ(again.text, page);
  EXPECT_FALSE(fs::exists(fs::symlink_status(absent)));
  EXPECT_EQ(names(), std::vector<std::string>{"kelvaro.tmp"});
}

TEST_F(UrlScanTest, MissingTempFolderFailsWithoutRequest) {
  fs::remove(processTempFolder());
  const Fetched source = fetch(server.url("/page.html"));
  fs::create_directory(processTempFolder());
  EXPECT_TRUE(source.result.failure.has_value());
  EXPECT_FALSE(messageOf(source.result.failure).empty());
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace mailsift
