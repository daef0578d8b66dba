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

// Real-world cases under both rule sets: what the specified rules give,
// and what the extended ones give instead.
struct RulesCase {
  const char* text;
  std::vector<Entry> specified;
  std::vector<Entry> extended;
};

TEST(ExtractAddresses, ExtendedRulesOnRealText) {
  const std::vector<RulesCase> cases = {
      {"01wsmith+gh@gmail.com", {{L1, "gh@gmail.com"}}, {{L1, "01wsmith+gh@gmail.com"}}},
      {"Mail dmj+@andrew.cmu.edu.", {}, {{L1, "dmj+@andrew.cmu.edu"}}},
      {"Send it to info@example.com.", {{L2, "info@example.com."}}, {{L1, "info@example.com"}}},
      {"sed@irc.freenode.net. Then", {{L2, "sed@irc.freenode.net."}}, {{L1, "sed@irc.freenode.net"}}},
      {"@VAR@. and x@y..", {{L2, "var@."}, {L2, "x@y.."}}, {{L2, "x@y."}}},
      {"sebastian.classen [at] freenet.ag", {}, {{L1, "sebastian.classen@freenet.ag"}}},
      {"lennart (at) poettering (dot) de", {}, {{L1, "lennart@poettering.de"}}},
      {"yanegomi <at> gmail.com, kju -at- fqdn.org", {}, {{L1, "yanegomi@gmail.com"}, {L1, "kju@fqdn.org"}}},
      {"thomas at apestaart dot org", {{L2, "thomas@apestaart"}}, {{L1, "thomas@apestaart.org"}}},
      {"vincent dot torri at univ-evry dot fr", {{L2, "torri@univ-evry"}}, {{L1, "vincent.torri@univ-evry.fr"}}},
      {"ab{at}cd{dot}de ab<AT>cd<Dot>ch", {}, {{L1, "ab@cd.de"}, {L1, "ab@cd.ch"}}},
      {"jengelh [at] medozas de", {}, {{L2, "jengelh@medozas"}}},
      {"someone@d.umn.edu", {}, {{L1, "someone@d.umn.edu"}}},
      {"someone@d.u.edu", {}, {}},
      {"info@nic.graphics", {{L2, "info@nic.graphics"}}, {{L1, "info@nic.graphics"}}},
      // Traps: no entry under either rule set.
      {"core_at_file.py", {}, {}},
      {"Compile Farm @ HouseGordon.com", {}, {}},
      {"x -at-home.de a-at-b.de", {}, {}},
      {"the sources are at release.zip", {{L2, "are@release.zip"}}, {{L2, "are@release.zip"}}},
  };
  for (const RulesCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(fastExtract(c.text), c.specified);
    EXPECT_EQ(test::referenceExtract(c.text), c.specified);
    EXPECT_EQ(fastExtract(c.text, ScanRules::Extended), c.extended);
    EXPECT_EQ(test::referenceExtract(c.text, ScanRules::Extended), c.extended);
  }
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
