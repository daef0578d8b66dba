// The JSON writer of the command line: what every byte becomes, and that
// whatever a path holds comes back whole.
#include "cli/json_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace mailsift::cli {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(JsonLines, TextIsEscapedAndInvalidUtf8BecomesReplacementCharacters) {
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"a@b.com", "a@b.com", true},
      {"say \"hi\" \\ now", "say \\\"hi\\\" \\\\ now", true},
      {std::string("\n\r\t\b\f\x01\x1b\x1f\x7f\0", 10), "\\n\\r\\t\\b\\f\\u0001\\u001b\\u001f\\u007f\\u0000", true},
      {"m\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80", "m\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80", true},
      {"a\xFF"
       "b",
       "a" + kFffd + "b", false},
      {"\xC0\xAF", kFffd + kFffd, false},                          // overlong "/"
      {"\xE0\x80\xAF", kFffd + kFffd + kFffd, false},              // overlong, three bytes
      {"\xED\xA0\x80", kFffd + kFffd + kFffd, false},              // a surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd, false},  // past U+10FFFF
      {"x\xE2\x82", "x" + kFffd + kFffd, false},                   // cut short at the end
      {"\xC3\x28", kFffd + "(", false},                            // a lead byte without its continuation
  };
  for (const auto& [text, expected, valid] : cases) {
    std::string out = "<";
    EXPECT_EQ(appendJsonText(out, text), valid) << text;
    EXPECT_EQ(out, "<" + expected) << text;
  }
}

TEST(JsonLines, Base64FollowsTheStandardVectors) {
  const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"},
                                                       {std::string("\xFF\xFE\x00", 3), "//4A"}};
  for (const auto& [bytes, expected] : cases) {
    std::string out;
    appendBase64(out, bytes);
    EXPECT_EQ(out, expected) << bytes;
  }
}

TEST(JsonLines, ObjectsHaveTheirKeysInOrderAndLeaveOutWhatIsNotThere) {
  std::string out;
  appendEntryObject(out, TargetList::List1, "a@b.com", jsonSourceFields("dir/f.txt"), EntryOrigin{1234, {}});
  appendEntryObject(out, TargetList::List2, "x@y.test", jsonSourceFields("b\xFF"),
                    EntryOrigin{7, "tar member \"q\".txt, utf-16le"});
  appendSummaryObject(out, ScanSummaryFigures{12, 3, 1, 5, 2, 1, 4, 1.2346});
  EXPECT_EQ(out,
            "{\"type\":\"entry\",\"entry\":\"a@b.com\",\"list\":\"found\",\"source\":\"dir/f.txt\",\"offset\":1234}\n"
            "{\"type\":\"entry\",\"entry\":\"x@y.test\",\"list\":\"unknown\",\"source\":\"b" +
                kFffd +
                "\",\"source_bytes\":\"Yv8=\",\"offset\":7,\"decoded\":\"tar member \\\"q\\\".txt, utf-16le\"}\n"
                "{\"type\":\"summary\",\"found\":12,\"unknown\":3,\"duplicate\":1,\"duplicates_removed\":5,"
                "\"unreadable_files\":2,\"unlisted_folders\":1,\"failed_sources\":4,\"seconds\":1.235}\n");
}

}  // namespace
}  // namespace mailsift::cli
