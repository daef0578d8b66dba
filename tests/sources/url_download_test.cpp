// Downloads against the loopback test server: the choice of the target
// name in each DownloadMode, folder destinations, the two refusals, and the
// HTTP rules (redirects, schemes, status, user agent, progress, cancel).
// joinPath and pathExists as well.
#include "sources/url_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "mailsift/version.h"
#include "support/failures.h"
#include "support/http_test_server.h"
#include "support/system.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

namespace fs = std::filesystem;
using platform::FailureKind;
using test::HttpTestServer;
using test::kindOf;
using test::messageOf;

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(JoinPath, PutsExactlyOneSlashBetweenFolderAndName) {
  const std::string separator(1, platform::kPathSeparator);
  EXPECT_EQ(joinPath("", "a.txt"), "a.txt");
  EXPECT_EQ(joinPath("/d/", "a.txt"), "/d/a.txt");
  EXPECT_EQ(joinPath("/d", "a.txt"), "/d" + separator + "a.txt");
  EXPECT_EQ(joinPath("/", "x"), "/x");
  EXPECT_EQ(joinPath("d", ""), "d" + separator);
}

TEST(FileExists, TrueForFilesFoldersAndLinks) {
  if (const char* why = test::missing(test::Feature::Symlinks)) GTEST_SKIP() << why;
  test::TempFolder folder;
  const std::string file = folder.write("f.txt", "x");
  fs::create_directory(folder.file("sub"));
  fs::create_symlink(folder.file("nowhere"), folder.file("dangling"));
  EXPECT_TRUE(pathExists(file));
  EXPECT_TRUE(pathExists(folder.file("sub")));
  EXPECT_TRUE(pathExists(folder.file("sub") + "/"));
  EXPECT_TRUE(pathExists(folder.file("dangling")));
}

TEST(FileExists, FalseWhenNothingIsThere) {
  test::TempFolder folder;
  const std::string file = folder.write("f.txt", "x");
  EXPECT_FALSE(pathExists(folder.file("missing.txt")));
  EXPECT_FALSE(pathExists(folder.file("missing/a.txt")));
  EXPECT_FALSE(pathExists(file + "/a.txt"));
  EXPECT_FALSE(pathExists(""));
}

class URLDownloadTest : public ::testing::Test {
 protected:
  std::vector<std::string> names() const { return namesIn(folder.path()); }
  std::string content(std::string_view name) const { return test::readFile(folder.path() / name); }

  HttpTestServer server;
  test::TempFolder folder;
  const std::string page{HttpTestServer::pageBody()};
};

// ---- DownloadMode 0: numbered names ----

TEST_F(URLDownloadTest, NumberedNameTakesTheFirstFreeName) {
  struct Case {
    std::vector<std::string> existing;
    std::string destination;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{}, "a.tmp", "a.tmp"},      {{"a.tmp", "a (2).tmp"}, "a.tmp", "a (3).tmp"},
      {{"a"}, "a", "a (2)"},       {{"a.b.c"}, "a.b.c", "a.b (2).c"},
      {{".rc"}, ".rc", " (2).rc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.destination);
    test::TempFolder here;
    for (const std::string& name : c.existing) here.write(name, "old " + name);

    const URLDownloadResult result =
        downloadUrl(server.url("/page.html"), here.file(c.destination), DownloadMode::NumberedName);
    ASSERT_TRUE(result.saved()) << messageOf(result.failure);
    EXPECT_EQ(result.savedPath, here.file(c.expected));
    EXPECT_EQ(test::readFile(result.savedPath), page);
    for (const std::string& name : c.existing) EXPECT_EQ(test::readFile(here.file(name)), "old " + name);
    EXPECT_EQ(namesIn(here.path()).size(), c.existing.size() + 1);
  }
}

TEST_F(URLDownloadTest, NumberedNamePassesOverALinkWithoutFollowingIt) {
  if (const char* why = test::missing(test::Feature::Symlinks)) GTEST_SKIP() << why;
  test::TempFolder elsewhere;
  const std::string victim = elsewhere.file("victim");
  fs::create_symlink(victim, folder.file("a.tmp"));

  const URLDownloadResult result =
      downloadUrl(server.url("/page.html"), folder.file("a.tmp"), DownloadMode::NumberedName);
  ASSERT_TRUE(result.saved()) << messageOf(result.failure);
  EXPECT_EQ(result.savedPath, folder.file("a (2).tmp"));
  EXPECT_EQ(content("a (2).tmp"), page);
  EXPECT_FALSE(fs::exists(victim));
  EXPECT_EQ(fs::read_symlink(folder.file("a.tmp")), victim);
}

TEST_F(URLDownloadTest, MissingTargetFolderFailsBeforeAnyRequest) {
  const URLDownloadResult result =
      downloadUrl(server.url("/page.html"), folder.file("missing/a.tmp"), DownloadMode::NumberedName);
  EXPECT_FALSE(result.saved());
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_FALSE(messageOf(result.failure).empty());
  EXPECT_FALSE(result.error.has_value());
  EXPECT_TRUE(server.requests().empty());
}

// ---- DownloadMode 1, 2 and overwrite ----

TEST_F(URLDownloadTest, SkipExistingLeavesTheFileAndReportsNothing) {
  folder.write("a.tmp", "old");
  const URLDownloadResult skipped =
      downloadUrl(server.url("/page.html"), folder.file("a.tmp"), DownloadMode::SkipExisting);
  EXPECT_FALSE(skipped.saved());
  EXPECT_FALSE(skipped.failure.has_value());
  EXPECT_FALSE(skipped.error.has_value());
  EXPECT_EQ(content("a.tmp"), "old");
  EXPECT_TRUE(server.requests().empty());

  const URLDownloadResult saved =
      downloadUrl(server.url("/page.html"), folder.file("b.tmp"), DownloadMode::SkipExisting);
  EXPECT_EQ(saved.savedPath, folder.file("b.tmp"));
  EXPECT_EQ(content("b.tmp"), page);
}

TEST_F(URLDownloadTest, RefuseExistingRaisesTheTargetExistsError) {
  if (const char* why = test::missing(test::Feature::Symlinks)) GTEST_SKIP() << why;
  folder.write("a.tmp", "old");
  fs::create_symlink(folder.file("nowhere"), folder.file("link.tmp"));
  for (const char* name : {"a.tmp", "link.tmp"}) {
    SCOPED_TRACE(name);
    const URLDownloadResult result =
        downloadUrl(server.url("/page.html"), folder.file(name), DownloadMode::RefuseExisting);
    EXPECT_FALSE(result.saved());
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->number, -2146697215);
    EXPECT_EQ(result.error->source, "modURLDownload.URLDownload");
  }
  EXPECT_EQ(content("a.tmp"), "old");
  EXPECT_FALSE(fs::exists(folder.file("nowhere")));
  EXPECT_TRUE(server.requests().empty());

  const URLDownloadResult saved =
      downloadUrl(server.url("/page.html"), folder.file("b.tmp"), DownloadMode::RefuseExisting);
  EXPECT_EQ(saved.savedPath, folder.file("b.tmp"));
  EXPECT_EQ(content("b.tmp"), page);
}

TEST_F(URLDownloadTest, EveryOtherModeOverwrites) {
  for (const std::int32_t mode : {3, 7, -1}) {
    SCOPED_TRACE(mode);
    folder.write("a.tmp", "old");
    const URLDownloadResult result =
        downloadUrl(server.url("/page.html"), folder.file("a.tmp"), static_cast<DownloadMode>(mode));
    EXPECT_EQ(result.savedPath, folder.file("a.tmp")) << messageOf(result.failure);
    EXPECT_EQ(content("a.tmp"), page);
    EXPECT_EQ(names(), std::vector<std::string>{"a.tmp"});
  }
}

TEST_F(URLDownloadTest, OverwriteKeepsTheOldFileWhenTheDownloadFails) {
  folder.write("a.tmp", "old");
  const URLDownloadResult result = downloadUrl(server.url("/missing"), folder.file("a.tmp"), DownloadMode::Overwrite);
  EXPECT_FALSE(result.saved());
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_EQ(content("a.tmp"), "old");
  EXPECT_EQ(names(), std::vector<std::string>{"a.tmp"});
}

TEST_F(URLDownloadTest, OverwriteReplacesALinkInsteadOfWritingThroughIt) {
  if (const char* why = test::missing(test::Feature::Symlinks)) GTEST_SKIP() << why;
  test::TempFolder elsewhere;
  const std::string victim = elsewhere.write("victim", "precious");
  fs::create_symlink(victim, folder.file("a.tmp"));

  const URLDownloadResult result = downloadUrl(server.url("/page.html"), folder.file("a.tmp"), DownloadMode::Overwrite);
  EXPECT_EQ(result.savedPath, folder.file("a.tmp"));
  EXPECT_FALSE(fs::is_symlink(folder.file("a.tmp")));
  EXPECT_EQ(content("a.tmp"), page);
  EXPECT_EQ(test::readFile(victim), "precious");
}

// ---- Folder destinations ----

TEST_F(URLDownloadTest, FolderDestinationTakesTheNameAfterTheLastSlash) {
  const URLDownloadResult first =
      downloadUrl(server.url("/page.html"), folder.path().string(), DownloadMode::NumberedName);
  EXPECT_EQ(first.savedPath, folder.file("page.html"));
  const URLDownloadResult second =
      downloadUrl(server.url("/page.html"), (folder.path() / "").string(), DownloadMode::NumberedName);
  EXPECT_EQ(second.savedPath, folder.file("page (2).html"));
  const URLDownloadResult replaced =
      downloadUrl(server.url("/page.html"), folder.path().string(), DownloadMode::Overwrite);
  EXPECT_EQ(replaced.savedPath, folder.file("page.html"));
  const URLDownloadResult refused =
      downloadUrl(server.url("/page.html"), folder.path().string(), DownloadMode::RefuseExisting);
  ASSERT_TRUE(refused.error.has_value());
  EXPECT_EQ(refused.error->number, -2146697215);

  EXPECT_EQ(names(), (std::vector<std::string>{"page (2).html", "page.html"}));
  EXPECT_EQ(content("page.html"), page);
  EXPECT_EQ(content("page (2).html"), page);
}

TEST_F(URLDownloadTest, FolderDestinationRefusesAUrlWithoutSlash) {
  for (const std::int32_t mode : {0, 1, 2, 3}) {
    SCOPED_TRACE(mode);
    const URLDownloadResult result = downloadUrl("page.html", folder.path().string(), static_cast<DownloadMode>(mode));
    EXPECT_FALSE(result.saved());
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->number, -2146697214);
    EXPECT_EQ(result.error->source, "modURLDownload.URLDownload");
  }
  EXPECT_TRUE(names().empty());
}

// ---- HTTP ----

TEST_F(URLDownloadTest, FollowsRedirectsUpToTen) {
  for (const char* route : {"/moved", "/found", "/chain/10"}) {
    SCOPED_TRACE(route);
    const URLDownloadResult result = downloadUrl(server.url(route), folder.file("r.html"), DownloadMode::Overwrite);
    ASSERT_TRUE(result.saved()) << messageOf(result.failure);
    EXPECT_EQ(content("r.html"), page);
  }
  if (const char* why = test::missing(test::Feature::DownloadProgress)) GTEST_SKIP() << why;
  const std::size_t before = server.requests().size();
  const URLDownloadResult tooMany =
      downloadUrl(server.url("/chain/11"), folder.file("n.html"), DownloadMode::NumberedName);
  EXPECT_TRUE(tooMany.failure.has_value());
  EXPECT_FALSE(messageOf(tooMany.failure).empty());
  EXPECT_EQ(names(), std::vector<std::string>{"r.html"});
  // The first request and ten redirects: /chain/11 down to /chain/1.
  const std::vector<std::string> all = server.requests();
  ASSERT_EQ(all.size() - before, 11u);
  EXPECT_EQ(all[before], "/chain/11");
  EXPECT_EQ(all.back(), "/chain/1");
}

TEST_F(URLDownloadTest, OnlyHttpAndHttpsAreFetchedAlsoAfterARedirect) {
  for (const std::string& url : {server.url("/to-ftp"), server.url("/to-file"), std::string("file:///etc/passwd"),
                                 "ftp://127.0.0.1:" + std::to_string(server.port()) + "/x"}) {
    SCOPED_TRACE(url);
    const URLDownloadResult result = downloadUrl(url, folder.file("s.tmp"), DownloadMode::NumberedName);
    EXPECT_FALSE(result.saved());
    EXPECT_TRUE(result.failure.has_value());
    EXPECT_FALSE(messageOf(result.failure).empty());
  }
  EXPECT_TRUE(names().empty());
  // Neither the ftp redirect nor the ftp URL reached the server.
  EXPECT_EQ(server.requests(), (std::vector<std::string>{"/to-ftp", "/to-file"}));
}

TEST_F(URLDownloadTest, ErrorStatusFailsAndSavesNothing) {
  const URLDownloadResult result =
      downloadUrl(server.url("/missing"), folder.file("m.tmp"), DownloadMode::NumberedName);
  EXPECT_FALSE(result.saved());
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_EQ(result.httpStatus, 404);
  EXPECT_NE(messageOf(result.failure).find("404"), std::string::npos) << messageOf(result.failure);
  EXPECT_TRUE(names().empty());
}

TEST_F(URLDownloadTest, NoServerFailsAndSavesNothing) {
  std::string url;
  {
    HttpTestServer gone;
    url = gone.url("/page.html");
  }
  const URLDownloadResult result = downloadUrl(url, folder.file("c.tmp"), DownloadMode::NumberedName);
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_FALSE(messageOf(result.failure).empty());
  EXPECT_TRUE(names().empty());
}

TEST_F(URLDownloadTest, SendsMailsiftAndItsVersionAsUserAgent) {
  const URLDownloadResult result = downloadUrl(server.url("/agent"), folder.file("ua.txt"), DownloadMode::NumberedName);
  ASSERT_TRUE(result.saved()) << messageOf(result.failure);
  EXPECT_EQ(content("ua.txt"), "mailsift/" MAILSIFT_VERSION);
}

TEST_F(URLDownloadTest, ReportsProgressUpToTheWholeBody) {
  std::vector<std::uint64_t> received;
  std::optional<std::uint64_t> total;
  HttpOptions options;
  options.onProgress = [&](std::uint64_t bytes, std::optional<std::uint64_t> announced) {
    received.push_back(bytes);
    total = announced;
  };
  const URLDownloadResult result =
      downloadUrl(server.url("/page.html"), folder.file("p.html"), DownloadMode::NumberedName, options);
  ASSERT_TRUE(result.saved()) << messageOf(result.failure);
  ASSERT_FALSE(received.empty());
  EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
  EXPECT_EQ(received.back(), page.size());
  EXPECT_EQ(total, page.size());
}

TEST_F(URLDownloadTest, CancelStopsTheDownloadAndRemovesThePartialFile) {
  std::atomic<bool> cancel{false};
  std::uint64_t seen = 0;
  HttpOptions options;
  options.cancel = &cancel;
  options.onProgress = [&](std::uint64_t bytes, std::optional<std::uint64_t>) {
    seen = bytes;
    cancel = true;
  };
  const URLDownloadResult result =
      downloadUrl(server.url("/large"), folder.file("big.bin"), DownloadMode::NumberedName, options);
  EXPECT_FALSE(result.saved());
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_GT(seen, 0u);
  // Without news while the body arrives, the first chance to cancel may
  // come only once the whole body is in; the file must still go.
  if (test::missing(test::Feature::DownloadProgress) == nullptr) {
    EXPECT_LT(seen, HttpTestServer::kLargeSize);
  }
  EXPECT_TRUE(names().empty());

  const URLDownloadResult before =
      downloadUrl(server.url("/page.html"), folder.file("p.html"), DownloadMode::NumberedName, options);
  EXPECT_TRUE(before.failure.has_value());
  EXPECT_TRUE(names().empty());
}

// ---- Limits and hostile servers ----

TEST_F(URLDownloadTest, HostileServersGiveTheirPageOrAClearFailureInBoundedTime) {
  if (const char* why = test::missing(test::Feature::DownloadProgress)) GTEST_SKIP() << why;
  constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
  struct Case {
    std::string route;
    std::uint64_t maxBytes = HttpOptions{}.maxBytes;
    std::chrono::milliseconds totalTimeout = HttpOptions{}.totalTimeout;
    std::optional<FailureKind> kind{};  // std::nullopt: the page is saved
    std::string messagePart{};
  };
  const std::string pageLimit = "size limit of " + std::to_string(page.size() - 1) + " bytes";
  const std::vector<Case> cases = {
      {.route = "/page.html", .maxBytes = page.size()},
      {.route = "/page.html", .maxBytes = page.size() - 1, .kind = FailureKind::LimitReached, .messagePart = pageLimit},
      {.route = "/gzip", .maxBytes = page.size()},
      {.route = "/gzip-bomb",
       .maxBytes = kMiB,
       .kind = FailureKind::LimitReached,
       .messagePart = "size limit of 1 MiB"},
      {.route = "/endless", .maxBytes = kMiB, .kind = FailureKind::LimitReached, .messagePart = "size limit of 1 MiB"},
      {.route = "/announced-huge", .kind = FailureKind::LimitReached, .messagePart = "size limit of 1 GiB"},
      {.route = "/drip",
       .totalTimeout = std::chrono::milliseconds(800),
       .kind = FailureKind::LimitReached,
       .messagePart = "time limit of 800 ms"},
      {.route = "/loop", .kind = FailureKind::Download, .messagePart = "edirect"},
      {.route = "/huge-header", .kind = FailureKind::Download, .messagePart = "header"},
      {.route = "/reset", .kind = FailureKind::Download},
      {.route = "/bad-chunked", .kind = FailureKind::Download},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.route);
    test::TempFolder here;
    HttpOptions options;
    options.maxBytes = c.maxBytes;
    options.totalTimeout = c.totalTimeout;
    const auto started = std::chrono::steady_clock::now();
    const URLDownloadResult result =
        downloadUrl(server.url(c.route), here.file("h.tmp"), DownloadMode::NumberedName, options);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_EQ(kindOf(result.failure), c.kind) << messageOf(result.failure);
    EXPECT_NE(messageOf(result.failure).find(c.messagePart), std::string::npos) << messageOf(result.failure);
    if (c.kind) {
      EXPECT_FALSE(messageOf(result.failure).empty());
      EXPECT_TRUE(namesIn(here.path()).empty());
    } else {
      EXPECT_EQ(test::readFile(here.file("h.tmp")), page);
    }
  }
}

}  // namespace
}  // namespace mailsift
