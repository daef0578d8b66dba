// `mailsift extract` as a user or a script runs it.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mailsift/version.h"
#include "support/process.h"
#include "support/system.h"
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

  if (const char* why = test::missing(test::Feature::Fifos)) GTEST_SKIP() << why;
  const std::string fifo = folder.file("fifo");
  ASSERT_TRUE(test::makeFifo(fifo));
  const auto fromFifo = extract({fifo, good});
  EXPECT_EQ(fromFifo.exitCode, 2) << "a FIFO is not read, and does not block";
  EXPECT_EQ(fromFifo.out, "found\tok@example.com\n");
}

TEST(ExtractCommand, NamesWithControlCharactersAreEscapedInMessages) {
  if (const char* why = test::missing(test::Feature::ControlCharsInNames)) GTEST_SKIP() << why;
  TempFolder folder;
  const std::string good = folder.write("ok\x1b[31m.txt", "ok@example.com");
  const std::string missing = folder.file("gone\x1b]0;owned\x07\nfake line.txt");
  const auto result = extract({missing, good});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "found\tok@example.com\n");
  EXPECT_NE(result.err.find("gone\\x1b]0;owned\\x07\\nfake line.txt: "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
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

TEST(ExtractCommand, RulesAreChosenByName) {
  const std::string text = "01wsmith+gh@gmail.com thomas at apestaart dot org.\n";
  const std::string specified = "found\tgh@gmail.com\nunknown\tthomas@apestaart\n";
  const std::string extended = "found\t01wsmith+gh@gmail.com\nfound\tthomas@apestaart.org\n";
  EXPECT_EQ(extract({}, text).out, specified);
  EXPECT_EQ(extract({"--rules=specified"}, text).out, specified);
  EXPECT_EQ(extract({"--rules=extended"}, text).out, extended);
  EXPECT_EQ(extract({"--rules=Extended"}, text).out, extended);
  for (const char* wrong : {"--rules=", "--rules=all", "--rules=extended2"}) {
    const auto result = extract({wrong}, text);
    EXPECT_EQ(result.exitCode, 2) << wrong;
    EXPECT_EQ(result.out, "") << wrong;
    EXPECT_NE(result.err.find("--rules"), std::string::npos) << wrong;
  }
}

TEST(ExtractCommand, TheVersionNamesTheCurrentTopLevelDomains) {
  const auto version = runProcess(MAILSIFT_BINARY, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  const std::size_t lineEnd = version.out.find('\n');
  EXPECT_EQ(version.out.substr(0, lineEnd), std::string("mailsift ") + MAILSIFT_VERSION);
  EXPECT_NE(version.out.find("top-level domains of --rules=extended", lineEnd), std::string::npos) << version.out;
}

TEST(ExtractCommand, ABrokenPipeEndsQuietly) {
  if (const char* why = test::missing(test::Feature::PosixShell)) GTEST_SKIP() << why;
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

TEST(ExtractCommand, AnEndlessStreamRunsInConstantMemoryAndOutputComesAsItIsRead) {
  if (const char* why = test::missing(test::Feature::PosixShell)) GTEST_SKIP() << why;
  if (MAILSIFT_SANITIZED) GTEST_SKIP() << "the sanitizers need more address space than the limit";
  // 256 MiB through a pipe under a 48 MiB address-space limit: a program
  // that held its input would be killed long before the end.
  const std::string line = "mail Info@Example.com (at) x; lorem ipsum dolor sit amet, consectetur";
  const auto result = runProcess(
      "/bin/bash",
      {"-c", "ulimit -v 49152; yes \"$1\" | head -c 256M | \"$0\" extract | uniq -c", MAILSIFT_BINARY, line});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string lines = std::to_string((std::size_t{256} << 20) / (line.size() + 1));
  EXPECT_NE(result.out.find(lines + " found\tinfo@example.com"), std::string::npos) << result.out;
}

TEST(ExtractCommand, ALargeFileGivesTheSameLinesOnAnyNumberOfThreads) {
  if (const char* why = test::missing(test::Feature::PosixShell)) GTEST_SKIP() << why;
  TempFolder folder;
  std::mt19937_64 random(17);
  const std::vector<std::string> pieces = {
      "a", "b7", ".", "@", " at ", "(at)", "[dot]", "de", "com", "\n", " ", ",", "zz", std::string(70, 'q'), "x@y.org"};
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  while (text.size() < (std::size_t{20} << 20)) text += pieces[pick(random)];
  const std::string file = folder.write("big.txt", text);
  const auto one = extract({"--jobs=1", file});
  ASSERT_EQ(one.exitCode, 0);
  EXPECT_GT(one.out.size(), std::size_t{1} << 20);
  for (const char* jobs : {"--jobs=2", "--jobs=5"}) {
    const auto many = extract({jobs, file});
    EXPECT_EQ(many.exitCode, 0);
    EXPECT_TRUE(many.out == one.out) << jobs << " differs from one thread";
  }
  const auto piped = runProcess("/bin/bash", {"-c", "cat \"$1\" | \"$0\" extract --jobs=3", MAILSIFT_BINARY, file});
  EXPECT_TRUE(piped.out == one.out) << "through a pipe";
  const auto redirected = runProcess("/bin/bash", {"-c", "\"$0\" extract --jobs=3 <\"$1\"", MAILSIFT_BINARY, file});
  EXPECT_TRUE(redirected.out == one.out) << "standard input from the file";
}

TEST(ExtractCommand, ALargeFileGivesTheSameLinesOnAnyNumberOfThreadsUnderExtendedRules) {
  // Pieces are cut only at bytes no extended form or entry can hold, and
  // scanned under extended rules.
  TempFolder folder;
  std::mt19937_64 random(18);
  const std::vector<std::string> pieces = {
      "a", "b7", ".", "@", " <at> ", "{dot}", " dot ",  "de",    "x+y", "<",
      ">", "\n", " ", ",", "}",      "{",     " -at- ", "[dot]", "zip", std::string(70, 'q')};
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string text;
  while (text.size() < (std::size_t{20} << 20)) text += pieces[pick(random)];
  const std::string file = folder.write("big.txt", text);
  const auto one = extract({"--rules=extended", "--jobs=1", file});
  ASSERT_EQ(one.exitCode, 0);
  EXPECT_GT(one.out.size(), std::size_t{1} << 20);
  EXPECT_NE(one.out.find("x+y"), std::string::npos) << "read by extended rules";
  const auto many = extract({"--rules=extended", "--jobs=3", file});
  EXPECT_TRUE(many.out == one.out) << "three threads differ from one";
}

TEST(ExtractCommand, TheCommandLineReadsAsGrepsDoes) {
  TempFolder folder;
  const std::string file = folder.write("a.txt", "aa@example.com x@y.test");
  struct Case {
    std::vector<std::string> args;  // after the program's name
    int exitCode;
    std::string out;  // a part of standard output
    std::string err;  // a part of standard error
  };
  const std::string version = std::string("mailsift ") + MAILSIFT_VERSION + "\n";
  const std::vector<Case> cases = {
      {{"-h"}, 0, "Usage: mailsift COMMAND", ""},
      {{"-V"}, 0, version, ""},
      {{"help", "extract"}, 0, "Usage: mailsift extract", ""},
      {{"scna"}, 2, "", "mailsift: unknown command 'scna'\nDid you mean 'scan'?\nTry 'mailsift --help'."},
      {{"--bogus", "extract"}, 2, "", "unknown option '--bogus'\nTry 'mailsift --help'."},
      {{"extract", "-h"}, 0, "Usage: mailsift extract", ""},
      {{"extract", "-V"}, 0, version, ""},
      {{"extract", "--rules", "EXTENDED", "--decode", "None", "--encoding", "CP1252", file}, 0, "found\taa@", ""},
      {{"extract", "--encoding=windows-1252", file}, 0, "unknown\tx@y.test\n", ""},
      {{"extract", "--encoding=utf-8", file}, 2, "", "unsupported encoding 'utf-8' (supported: cp1252)"},
      {{"extract", "--decod=none", file}, 2, "", "Did you mean '--decode'?\nTry 'mailsift extract --help'."},
      {{"extract", "-o", "x", file}, 2, "", "unknown option '-o'"},
      {{"extract", file, "--rules"}, 2, "", "option '--rules' needs a value"},
      {{"extract", "--format", "Jsonl", file},
       0,
       "{\"type\":\"entry\",\"entry\":\"aa@example.com\",\"list\":\"found\"",
       ""},
      {{"extract", "--", "--help"}, 2, "", "--help: "},
      {{"extract", "-q", "missing.txt", file}, 2, "found\taa@example.com\n", "missing.txt: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const auto result = runProcess(MAILSIFT_BINARY, c.args);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
  }
}

TEST(ExtractCommand, ShortAndSplitFormsGiveWhatTheLongFormsGive) {
  TempFolder folder;
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "a+" + std::to_string(i) + "@example.com b" + std::to_string(i) + " at x dot y\n";
  const std::string file = folder.write("a.txt", text);
  const auto expected = extract({"--rules=extended", "--jobs=2", file});
  ASSERT_EQ(expected.exitCode, 0);
  ASSERT_NE(expected.out.find("found\ta+0@example.com\n"), std::string::npos) << expected.out.substr(0, 200);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--rules", "extended", "--jobs", "2", file},
                                             {"-j2", file, "--rules=Extended"},
                                             {"-j", "2", "--rules=extended", "--", file}}) {
    const auto result = extract(args);
    EXPECT_TRUE(result.out == expected.out && result.err == expected.err) << ::testing::PrintToString(args);
  }
  const auto nul = extract({"-q0", "--rules=extended", file});
  std::string asLines = nul.out;
  std::replace(asLines.begin(), asLines.end(), '\0', '\n');
  EXPECT_EQ(asLines, expected.out);
  EXPECT_EQ(nul.out.find('\n'), std::string::npos);
}

TEST(ExtractCommand, AQuietRunShowsErrorsButNoNotes) {
  // A gzip stream cut short: --verbose notes what could not be decoded.
  const std::string damaged("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x4b\x4c\x72\x48", 14);
  const auto verbose = extract({"--verbose"}, damaged);
  ASSERT_NE(verbose.err, "") << "no note to suppress";
  EXPECT_EQ(extract({"--verbose", "-q"}, damaged).err, "");
  EXPECT_EQ(extract({"-q", "--verbose"}, damaged).err, "");
}

TEST(ExtractCommand, AFileAsStandardInputIsReadOnce) {
  if (const char* why = test::missing(test::Feature::PosixShell)) GTEST_SKIP() << why;
  TempFolder folder;
  std::string many;
  for (int i = 0; many.size() < (std::size_t{20} << 20); ++i) many += "u" + std::to_string(i) + "@example.com\n";
  const std::string big = folder.write("big.txt", many);
  const auto twice = runProcess(
      "/bin/bash", {"-c", "\"$0\" extract --jobs=2 - - <\"$1\" | grep -c u0@example.com", MAILSIFT_BINARY, big});
  EXPECT_EQ(twice.out, "1\n");
}

}  // namespace
}  // namespace mailsift
