// What only the Windows build meets: file names outside the ANSI code page
// on the command line and in a folder, and export failures with the
// system's error codes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/process.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

TEST(WideNames, NamesOutsideTheCodePageAreReadAndListed) {
  const std::string tree = "\xCE\xB4\xCE\xAD\xCE\xBD\xCF\x84\xCF\x81\xCE\xBF";  // "tree" in Greek
  const test::TempFolder folder;
  const char* const names[] = {"\xCE\xB1\xCE\xB2\xCE\xB3.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
                               "caf\xC3\xA9 \xF0\x9F\x93\xA7.txt"};
  for (const char* const& name : names) {
    // A different address in each, so that none is removed as a duplicate.
    const std::string address = "anna" + std::to_string(&name - names) + "@example.org";
    const std::string path = folder.write(tree + "/" + name, "write to " + address + "\n");
    const auto extracted = test::runProcess(MAILSIFT_BINARY, {"extract", path});
    EXPECT_EQ(extracted.exitCode, 0) << name << extracted.err;
    EXPECT_EQ(extracted.out, "found\t" + address + "\n") << name;
  }
  const auto scanned = test::runProcess(MAILSIFT_BINARY, {"scan", "--format=jsonl", folder.file(tree)});
  EXPECT_EQ(scanned.exitCode, 0) << scanned.err;
  for (const char* name : names) EXPECT_NE(scanned.out.find(name), std::string::npos) << name << scanned.out;
}

// The system's own text for a Win32 error code, as FormatMessage gives it.
std::string systemText(DWORD code) {
  char text[512] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
  const std::string message(text, length);
  return message.substr(0, message.find_first_of("\r\n"));
}

TEST(ExportFailure, ShowsTheWindowsCodeAndItsText) {
  const test::TempFolder folder;
  const std::string input = folder.write("in.txt", "anna@example.org");
  const auto result = test::runProcess(MAILSIFT_BINARY, {"scan", "--export=" + folder.file("missing/list.csv"), input});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(result.err.rfind("Err:" + std::to_string(ERROR_PATH_NOT_FOUND) + " ", 0), 0U) << result.err;
  const std::string text = systemText(ERROR_PATH_NOT_FOUND);
  EXPECT_NE(result.err.find(text), std::string::npos) << text << "\n" << result.err;
}

}  // namespace
}  // namespace mailsift
