// The scanner on chosen texts: each case states what a reader of the text
// expects to be found, and where it must go.
#include "scanner/extract_addresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scanner/reference_scanner.h"

namespace mailsift {
namespace {

using test::Entry;
using test::fastExtract;

constexpr TargetList L1 = TargetList::List1;
constexpr TargetList L2 = TargetList::List2;

struct Case {
  const char* name;
  std::string text;
  std::vector<Entry> expected;
};

void expectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(fastExtract(c.text), c.expected);
    // The oracle must agree on every hand-made case too.
    EXPECT_EQ(test::referenceExtract(c.text), c.expected);
  }
}

TEST(ExtractAddresses, NormalisesCaseAndSpelledOutForms) {
  expectCases({
      {"spelled out in capitals", "John.Doe(AT)Example(DOT)com", {{L1, "john.doe@example.com"}}},
      {"upper case", "INFO@EXAMPLE.COM", {{L1, "info@example.com"}}},
      {"square brackets", "max[at]firma[dot]de", {{L1, "max@firma.de"}}},
      {"punkt forms", "max(at)firma(punkt)de and eva[at]firma[PUNKT]ch", {{L1, "max@firma.de"}, {L1, "eva@firma.ch"}}},
      {"blank at blank", "write to john at example.com", {{L1, "john@example.com"}}},
      {"a spelled-out dot between blanks stays", "write to john at example dot com", {{L2, "john@example"}}},
      {"mixed-case at between blanks", "x1 At y1.de", {{L1, "x1@y1.de"}}},
      {"spelled-out dot in the local part", "first(dot)last(at)example(dot)org", {{L1, "first.last@example.org"}}},
      {"brackets must match", "a(at]b.de a[at)b.de a(dot]bb@cc.de", {{L1, "bb@cc.de"}}},
      {"only whole forms", "a(att)b.de a(a t)b.de a@b(do t)c.de", {{L2, "a@b"}}},
  });
}

TEST(ExtractAddresses, FindsTheEdgesOfACandidate) {
  expectCases({
      {"colon stops the left walk", "mailto:info@example.com", {{L1, "info@example.com"}}},
      {"sentence-ending dot", "info@example.com.", {{L2, "info@example.com."}}},
      {"digits after a two-label domain", "info@example.com2", {{L1, "info@example.com"}}},
      {"hyphen after a two-label domain", "info@example.com-", {{L1, "info@example.com"}}},
      {"three labels keep the last one whole", "info@mail.example.com2", {{L1, "info@mail.example.com2"}}},
      {"three labels with a short second one", "x@ab.cd.org", {{L1, "x@ab.cd.org"}}},
      {"empty labels are skipped", "info@mail.example..com", {{L1, "info@mail.example.com"}}},
      {"first label too short", "info@e.example.com", {}},
      {"second label too short", "info@example.c.com", {}},
      {"nothing left of the at", "@example.com", {}},
      {"blank left of the at", "see @example.com", {}},
      {"nothing right of the at", "name@ and more", {}},
      {"unknown top-level domain", "user@example.test", {{L2, "user@example.test"}}},
      {"no dot at all", "user@localhost", {{L2, "user@localhost"}}},
      {"umlaut only right of the at", "j\xFCrgen@example.com", {{L1, "rgen@example.com"}}},
      {"capital umlauts right of the at", "info@B\xDCRO.de", {{L1, "info@b\xC3\xBCro.de"}}},
      {"underscore only left of the at",
       "first_last@example.com user@my_example.com",
       {{L1, "first_last@example.com"}, {L2, "user@my"}}},
      {"every at is a hit", "a@b@example.com", {{L2, "a@b"}, {L1, "b@example.com"}}},
      {"same address twice", "a@example.com, a@example.com", {{L1, "a@example.com"}, {L1, "a@example.com"}}},
      {"leading digit in the top-level label", "x@example.1com", {{L2, "x@example.1com"}}},
      {"long top-level domain",
       "x@example.museum x@example.museums",
       {{L1, "x@example.museum"}, {L2, "x@example.museums"}}},
      {"plus ends the local part", "first+tag@example.com", {{L1, "tag@example.com"}}},
  });
}

TEST(ExtractAddresses, HandlesAnyBytes) {
  expectCases({
      {"empty text", "", {}},
      {"no at", "plain text without any address (dot) [dot] at", {}},
      {"NUL bytes around", std::string("\0a@example.com\0", 15), {{L1, "a@example.com"}}},
      {"at at the very end", "abc@", {}},
      {"at at the very start", "@abc.de", {}},
      {"form cut off at the end", "a (at", {}},
      {"only ats", "@@@@", {}},
      {"CR LF around", "\r\nx@example.de\r\n", {{L1, "x@example.de"}}},
  });
}

TEST(ExtractAddresses, AtBetweenBlanksIsTakenLeftToRight) {
  // " at at " shares a blank: only the first " at " becomes "@".
  expectCases({
      {"chain of two", "a at at b.de", {{L2, "a@at"}}},
      {"chain of three", "a at at at bb.de", {{L2, "a@at"}, {L1, "at@bb.de"}}},
      {"separate forms", "aa at bb.de cc at dd.de", {{L1, "aa@bb.de"}, {L1, "cc@dd.de"}}},
  });
}

TEST(ExtractAddresses, LongCandidatesHaveNoLimit) {
  const std::string local(100000, 'x');
  const std::string domain(100000, 'y');
  EXPECT_EQ(fastExtract(local + "@" + domain + ".de"), (std::vector<Entry>{{L1, local + "@" + domain + ".de"}}));
}

TEST(ExtractAddresses, StopsWhenTheSinkThrows) {
  int calls = 0;
  EXPECT_THROW(extractAddresses("ab@cd.de ef@gh.de",
                                [&](TargetList, std::string_view) {
                                  ++calls;
                                  throw std::runtime_error("stop");
                                }),
               std::runtime_error);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace mailsift
