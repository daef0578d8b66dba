// Downloads with transfers that take seconds: a server that stalls part
// way, and a body of 64 MiB.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sources/url_download.h"
#include "support/failures.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::HttpTestServer;
using test::messageOf;

TEST(URLDownloadSlow, StalledServerFailsAndLeavesNoPartialFile) {
  HttpTestServer server;
  test::TempFolder folder;
  HttpOptions options;
  options.stallTimeout = std::chrono::seconds(1);
  const URLDownloadResult result =
      downloadUrl(server.url("/stall"), folder.file("s.tmp"), DownloadMode::NumberedName, options);
  EXPECT_FALSE(result.saved());
  EXPECT_TRUE(result.failure.has_value());
  EXPECT_FALSE(messageOf(result.failure).empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(URLDownloadSlow, SavesALargeBodyByteForByte) {
  HttpTestServer server;
  test::TempFolder folder;
  const URLDownloadResult result =
      downloadUrl(server.url("/large"), folder.file("big.bin"), DownloadMode::NumberedName);
  ASSERT_TRUE(result.saved()) << messageOf(result.failure);
  const std::string body = test::readFile(result.savedPath);
  ASSERT_EQ(body.size(), HttpTestServer::kLargeSize);
  std::size_t firstMismatch = body.size();
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != HttpTestServer::largeBodyByte(i)) {
      firstMismatch = i;
      break;
    }
  }
  EXPECT_EQ(firstMismatch, body.size());
}

}  // namespace
}  // namespace mailsift
