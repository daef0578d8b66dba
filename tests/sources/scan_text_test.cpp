// Reading whole files into the scan text.
#include "sources/scan_text.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "scanner/extract_addresses.h"
#include "support/failures.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace mailsift {
namespace {

using platform::FailureKind;
using test::kindOf;
using test::messageOf;
using test::TempFolder;

TEST(ReadScanText, ReadsEveryByteUnchanged) {
  TempFolder folder;
  const std::string content = std::string(
      "one\r\ntwo\0three\x1A"
      "four\rfive\n\xE4\xFF",
      27);
  const ReadResult read = readScanText(folder.write("mixed.bin", content));
  ASSERT_TRUE(read.ok()) << messageOf(read.failure);
  EXPECT_EQ(read.text.view(), content);

  const ReadResult empty = readScanText(folder.write("empty.txt", ""));
  EXPECT_TRUE(empty.ok());
  EXPECT_TRUE(empty.text.empty());
}

TEST(ReadScanText, UsesThePathExactlyAsGiven) {
  TempFolder folder;
  folder.write(" spaced.txt ", "with spaces");
  folder.write("spaced.txt", "without");
  EXPECT_EQ(readScanText(folder.file(" spaced.txt ")).text.view(), "with spaces");
  EXPECT_EQ(readScanText(folder.file("spaced.txt")).text.view(), "without");
}

TEST(ReadScanText, FailuresGiveTheEmptyTextAndSayWhy) {
  TempFolder folder;
  const ReadResult missing = readScanText(folder.file("missing.txt"));
  EXPECT_EQ(kindOf(missing.failure), FailureKind::NotFound);
  EXPECT_FALSE(messageOf(missing.failure).empty());
  EXPECT_TRUE(missing.text.empty());
  EXPECT_FALSE(std::filesystem::exists(folder.file("missing.txt"))) << "a read must never create the file";

  const ReadResult folderRead = readScanText(folder.path().string());
  EXPECT_EQ(kindOf(folderRead.failure), FailureKind::IsFolder);
  EXPECT_TRUE(folderRead.text.empty());

  const ReadResult underFile = readScanText(folder.write("plain.txt", "x") + "/inside");
  EXPECT_EQ(kindOf(underFile.failure), FailureKind::NotFound);

  if (test::canRunUnprivileged()) {  // root would read anything
    const std::string locked = folder.write("locked.txt", "secret@example.com");
    test::giveToUnprivileged(folder.path());
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const int outcome = test::runUnprivileged([&] {
      const ReadResult denied = readScanText(locked);
      return kindOf(denied.failure) == FailureKind::AccessDenied && denied.text.empty() ? 0 : 1;
    });
    EXPECT_EQ(outcome, 0) << "a file nobody may read must be refused as AccessDenied, with no text";
  }
}

TEST(ReadScanText, ReadOnlyFilesAreRead) {
  TempFolder folder;
  const std::string path = folder.write("readonly.txt", "a@example.com");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(readScanText(path).text.view(), "a@example.com");
}

TEST(ReadScanText, SpecialFilesGiveTheEmptyTextAtOnce) {
  TempFolder folder;
  // A FIFO with no writer would block an ordinary open for ever.
  const std::string fifo = folder.file("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const ReadResult fromFifo = readScanText(fifo);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(kindOf(fromFifo.failure), FailureKind::NotRegularFile);

  const ReadResult device = readScanText("/dev/zero");  // would never end
  EXPECT_EQ(kindOf(device.failure), FailureKind::NotRegularFile);
  EXPECT_TRUE(device.text.empty());

  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = folder.file("sock");
  if (socketPath.size() < sizeof address.sun_path) {
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(kindOf(readScanText(socketPath).failure), FailureKind::NotRegularFile);
  }
  close(listener);
}

TEST(ReadScanText, FollowsLinksToFiles) {
  TempFolder folder;
  const std::string target = folder.write("target.txt", "linked@example.com");
  const std::string link = folder.file("link.txt");
  std::filesystem::create_symlink(target, link);
  EXPECT_EQ(readScanText(link).text.view(), "linked@example.com");
}

TEST(ReadScanText, ReadsFilesLargerThanTheBufferThresholds) {
  TempFolder folder;
  std::string big(9 << 20, 'x');  // above the size that switches to mapped buffers
  big.replace(big.size() - 20, 14, "end@example.de");
  const ReadResult read = readScanText(folder.write("big.txt", big));
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.text.size(), big.size());
  EXPECT_EQ(read.text.view(), big);
}

}  // namespace
}  // namespace mailsift

namespace mailsift {
namespace {

TEST(ReadScanText, AFileCutShortWhileMappedReadsAsZerosInsteadOfCrashing) {
  test::TempFolder folder;
  std::string content(8 << 20, 'x');
  content.replace(0, 16, "head@example.de ");
  content.replace(content.size() - 16, 16, " tail@example.de");
  const std::string path = folder.write("shrinking.txt", content);
  const ReadResult read = readScanText(path);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read.text.size(), content.size());

  std::filesystem::resize_file(path, 4096);
  std::vector<std::string> found;
  extractAddresses(read.text.view(), [&](TargetList, std::string_view entry) { found.emplace_back(entry); });
  EXPECT_EQ(found, std::vector<std::string>{"head@example.de"});
  EXPECT_EQ(read.text.view().back(), '\0');
}

}  // namespace
}  // namespace mailsift
