// The fixed top-level domain list.
#include "scanner/top_level_domains.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace mailsift {
namespace {

TEST(TopLevelDomains, ListHasTheFixedShape) {
  const std::set<std::string_view> unique(kTopLevelDomains.begin(), kTopLevelDomains.end());
  EXPECT_EQ(unique.size(), 277u);
  EXPECT_TRUE(std::is_sorted(kTopLevelDomains.begin(), kTopLevelDomains.end()));
  std::size_t twoLetter = 0;
  std::vector<std::string_view> longer;
  for (const std::string_view tld : kTopLevelDomains) {
    EXPECT_TRUE(std::all_of(tld.begin(), tld.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) << tld;
    EXPECT_GE(tld.size(), 2u);
    EXPECT_LE(tld.size(), 6u);
    if (tld.size() == 2) {
      ++twoLetter;
    } else {
      longer.push_back(tld);
    }
  }
  EXPECT_EQ(twoLetter, 255u);
  const std::vector<std::string_view> expectedLonger = {
      "AERO", "ARPA", "ASIA", "BIZ",    "CAT",  "COM", "COOP", "EDU", "GOV", "INFO",   "INT",
      "JOBS", "MIL",  "MOBI", "MUSEUM", "NAME", "NET", "ORG",  "PRO", "TEL", "TRAVEL", "XXX"};
  EXPECT_EQ(longer, expectedLonger);
}

TEST(TopLevelDomains, EveryEntryAndNothingElseIsRecognised) {
  for (const std::string_view tld : kTopLevelDomains) EXPECT_TRUE(isTopLevelDomain(tld)) << tld;
  // Every other two-letter code, and variations of the long entries.
  const std::set<std::string_view> listed(kTopLevelDomains.begin(), kTopLevelDomains.end());
  int recognised = 0;
  for (char a = 'A'; a <= 'Z'; ++a) {
    for (char b = 'A'; b <= 'Z'; ++b) {
      const std::string code{a, b};
      EXPECT_EQ(isTopLevelDomain(code), listed.count(code) == 1) << code;
      recognised += isTopLevelDomain(code);
    }
  }
  EXPECT_EQ(recognised, 255);
  for (const char* other :
       {"", "com", "Com", "TEST", "LOCAL", "XYZ", "ONLINE", "ZZ", "C", "COMM", "MUSEUMS", "XX", "CO M", "DE\n", "A"}) {
    EXPECT_FALSE(isTopLevelDomain(other)) << other;
  }
}

TEST(TopLevelDomains, ExtendedRulesKnowBothListsAndNothingElse) {
  const std::span<const std::string_view> current = currentTopLevelDomains();
  EXPECT_GT(current.size(), 1000u);
  EXPECT_TRUE(std::is_sorted(current.begin(), current.end()));
  EXPECT_FALSE(currentTopLevelDomainsSource().empty());
  std::set<std::string> known;
  for (const std::string_view tld : kTopLevelDomains) known.emplace(tld);
  for (const std::string_view tld : current) {
    ASSERT_TRUE(std::all_of(tld.begin(), tld.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << tld;
    std::string upper(tld);
    for (char& c : upper) c = static_cast<char>(c - ('a' - 'A'));
    EXPECT_TRUE(isTopLevelDomain(upper, ScanRules::Extended)) << upper;
    known.insert(upper);
  }
  // Every name of up to three letters, and the longest ones with a letter more or less.
  std::vector<std::string> names;
  for (char a = 'A'; a <= 'Z'; ++a) {
    names.emplace_back(1, a);
    for (char b = 'A'; b <= 'Z'; ++b) {
      names.push_back({a, b});
      for (char c = 'A'; c <= 'Z'; ++c) names.push_back({a, b, c});
    }
  }
  for (const std::string_view tld : current) {
    std::string upper(tld);
    for (char& c : upper) c = static_cast<char>(c - ('a' - 'A'));
    names.push_back(upper + "S");
    names.push_back(upper.substr(1));
  }
  for (const std::string& name : names)
    EXPECT_EQ(isTopLevelDomain(name, ScanRules::Extended), known.count(name) == 1) << name;
  EXPECT_TRUE(isTopLevelDomain("AN", ScanRules::Extended));  // of the fixed list only
  EXPECT_FALSE(isTopLevelDomain("graphics", ScanRules::Extended));
  for (const char* leftOut : {"JAVA", "ZIP", "MOV"}) EXPECT_FALSE(isTopLevelDomain(leftOut, ScanRules::Extended));
  EXPECT_FALSE(isTopLevelDomain("GRAPHICS"));
}

}  // namespace
}  // namespace mailsift
