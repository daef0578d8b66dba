// The delimiter keywords, the export text and the exported file.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "results/csv_export.h"
#include "support/system.h"
#include "support/temp_folder.h"

namespace mailsift {
namespace {

TEST(ExportDelimiter, ReplacesKeywordsAndLowerCasesInTheirOrder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(kDefaultDelimiterAnswer), ";\r\n"},
      {"tb", "\t"},
      {"brtb", "\r\n\t"},
      {"tbbr", "\t\r\n"},
      {"brbr", "\r\n\r\n"},
      {"tbr", "t\r\n"},    // "br" goes first
      {"bbrr", "b\r\nr"},  // no overlap, no second pass
      {"BR", "br"},        // escapes the case-sensitive first step
      {"Br", "br"},
      {"TB", "\t"},  // lower-cased before the tab step
      {"X", "x"},
      {" , ", " , "},  // spaces around content stay
      {"\t", "\t"},    // only spaces count as blank
      {"ÀÉÞ×ŠŒŽŸ|àÿ", "àéþ×šœžÿ|àÿ"},
  };
  for (const auto& [answer, delimiter] : cases) {
    EXPECT_EQ(exportDelimiter(answer), delimiter) << testing::PrintToString(answer);
  }
  for (const std::string blank : {"", " ", "    "}) EXPECT_EQ(exportDelimiter(blank), std::nullopt);
  EXPECT_TRUE(isBlank("  "));
  EXPECT_FALSE(isBlank(" a "));
}

TEST(ExportText, JoinsList1InListOrderWithoutATrailingDelimiter) {
  ResultLists lists;
  EXPECT_EQ(exportText(lists, ";\r\n"), "");
  lists.add(ListId::List1, "zed@x.de");
  EXPECT_EQ(exportText(lists, ";\r\n"), "zed@x.de");
  lists.add(ListId::List1, "ann@x.de");
  lists.add(ListId::List1, "a;b@x.de");  // no quoting, even around the delimiter
  lists.add(ListId::List2, "never@x.zz");
  EXPECT_EQ(exportText(lists, ";"), "a;b@x.de;ann@x.de;zed@x.de");
}

TEST(ExportList1, WritesExactlyTheTextAndReplacesAnExistingFile) {
  const test::TempFolder folder;
  ResultLists lists;
  const std::string path = folder.file("addresses");
  ASSERT_FALSE(exportList1(lists, ";\r\n", path).has_value());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(test::readFile(path), "");

  lists.add(ListId::List1, "b@x.de");
  lists.add(ListId::List1, "a@x.de");
  ASSERT_FALSE(exportList1(lists, ";\r\n", path).has_value());
  EXPECT_EQ(test::readFile(path), "a@x.de;\r\nb@x.de");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);  // no extension, no leftovers
}

TEST(ExportList1, ReportsAMissingFolderWithNumberAndPath) {
  const test::TempFolder folder;
  ResultLists lists;
  lists.add(ListId::List1, "a@x.de");
  const std::string path = folder.file("missing/list.csv");
  const std::optional<platform::Failure> error = exportList1(lists, ";", path);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->systemError, test::exportErrorNumbers().missingFolder);
  EXPECT_NE(exportErrorDescription(*error).find(path), std::string::npos) << exportErrorDescription(*error);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing"));
}

}  // namespace
}  // namespace mailsift
