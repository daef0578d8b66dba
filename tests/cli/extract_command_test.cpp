// `mailsift extract` as a user or a script runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/process.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

using test::runProcess;
using test::TempFolder;

test::ProcessResult extract(const std::vector<std::string>& args, const std::string& input = "") {
  std::vector<std::string> all = {"extract"};
  all.insert(all.end(), args.begin(), args.end());
  return runProcess(MAILSIFT_BINARY, all, input);
}

TEST(ExtractCommand, PrintsEveryEntryInTextOrder) {
  TempFolder folder;
  const std::string file = folder.write(
      "mail.txt", "Zed@Example.com, write to john at example dot com\r\nzed@example.com amy@b\xDCro.de x@y.test\n");
  const auto result = extract({file});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  // Unsorted, duplicates kept, UTF-8, LF line ends.
  EXPECT_EQ(result.out,
            "found\tzed@example.com\n"
            "unknown\tjohn@example\n"
            "found\tzed@example.com\n"
            "found\tamy@b\xC3\xBCro.de\n"
            "unknown\tx@y.test\n");
}

TEST(ExtractCommand, ReadsStandardInputWhenNoFileOrADashIsGiven) {
  TempFolder folder;
  const std::string file = folder.write("a.txt", "ab@file.de");
  EXPECT_EQ(extract({}, "cd@stdin.de").out, "found\tcd@stdin.de\n");
  const auto mixed = extract({file, "-", file}, "cd@stdin.de");
  EXPECT_EQ(mixed.out, "found\tab@file.de\nfound\tcd@stdin.de\nfound\tab@file.de\n");
  EXPECT_EQ(extract({"--encoding=cp1252"}, "ef@xy.org").out, "found\tef@xy.org\n");
  EXPECT_EQ(extract({"--", "-"}, "gh@xy.org").out, "found\tgh@xy.org\n");
}

TEST(ExtractCommand, UnreadableInputsAreNamedAndTheRestIsScanned) {
  TempFolder folder;
  const std::string good = folder.write("good.txt", "ok@example.com");
  const std::string missing = folder.file("missing.txt");
  const auto result = extract({missing, good, folder.path().string()});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "found\tok@example.com\n");
  EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(folder.path().string() + ":"), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 2) << "one line per failed input";

  const std::string fifo = folder.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto fromFifo = extract({fifo, good});
  EXPECT_EQ(fromFifo.exitCode, 2) << "a FIFO is not read, and does not block";
  EXPECT_EQ(fromFifo.out, "found\tok@example.com\n");
}

TEST(ExtractCommand, RejectsWrongOptionsAndExplainsItself) {
  const auto unknown = extract({"--colour"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("--colour"), std::string::npos);
  EXPECT_EQ(unknown.out, "");

  const auto encoding = extract({"--encoding=utf-16"});
  EXPECT_EQ(encoding.exitCode, 2);
  EXPECT_NE(encoding.err.find("utf-16"), std::string::npos);

  const auto help = extract({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage: mailsift extract"), std::string::npos);

  EXPECT_EQ(runProcess(MAILSIFT_BINARY, {"frobnicate"}).exitCode, 2);
  EXPECT_EQ(runProcess(MAILSIFT_BINARY, {}).exitCode, 2);
  EXPECT_EQ(runProcess(MAILSIFT_BINARY, {"--help"}).exitCode, 0);
}

TEST(ExtractCommand, ABrokenPipeEndsQuietly) {
  TempFolder folder;
  std::string many;
  for (int i = 0; i < 200000; ++i) many += "user" + std::to_string(i) + "@example.com\n";
  const std::string file = folder.write("many.txt", many);
  const auto result =
      runProcess("/bin/bash", {"-c", "set -o pipefail; \"$0\" extract \"$1\" | head -n 1", MAILSIFT_BINARY, file});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "found\tuser0@example.com\n");
  EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace mailsift
