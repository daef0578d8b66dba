// Tests of the table from ISO 3166-1 territories to country calling codes.
#include "app/detail/calling_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace mailsift::detail {
namespace {

bool isUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

TEST(CallingCodeTable, HoldsEveryIso3166TerritoryAndKosovoOnceInOrder) {
  const auto table = callingCodeTable();
  // 249 officially assigned ISO 3166-1 alpha-2 codes plus the user-assigned XK.
  EXPECT_EQ(table.size(), 250u);
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(table[i - 1].territory, table[i].territory) << "at row " << i;
  }
}

TEST(CallingCodeTable, RowsAreTwoUpperCaseLettersAndOneToThreeDigits) {
  for (const auto& row : callingCodeTable()) {
    ASSERT_EQ(row.territory.size(), 2u);
    EXPECT_TRUE(isUpperLetter(row.territory[0]) && isUpperLetter(row.territory[1])) << row.territory;
    EXPECT_GE(row.callingCode.size(), 1u) << row.territory;
    EXPECT_LE(row.callingCode.size(), 3u) << row.territory;
    EXPECT_TRUE(std::all_of(row.callingCode.begin(), row.callingCode.end(), isDigit)) << row.territory;
    EXPECT_NE(row.callingCode.front(), '0') << row.territory;
  }
}

TEST(CallingCodeTable, OnlySwitzerlandAustriaAndGermanyHaveTheGermanCodes) {
  std::set<std::string> german;
  for (const auto& row : callingCodeTable()) {
    if (row.callingCode == "41" || row.callingCode == "43" || row.callingCode == "49") {
      german.emplace(row.territory);
    }
  }
  EXPECT_EQ(german, (std::set<std::string>{"AT", "CH", "DE"}));
}

TEST(CallingCodeOfTerritory, GivesTheMainCodeOfACountry) {
  EXPECT_EQ(callingCodeOfTerritory("CH"), "41");
  EXPECT_EQ(callingCodeOfTerritory("AT"), "43");
  EXPECT_EQ(callingCodeOfTerritory("DE"), "49");
  EXPECT_EQ(callingCodeOfTerritory("LU"), "352");
  EXPECT_EQ(callingCodeOfTerritory("LI"), "423");
  EXPECT_EQ(callingCodeOfTerritory("FR"), "33");
  EXPECT_EQ(callingCodeOfTerritory("GB"), "44");
  EXPECT_EQ(callingCodeOfTerritory("EG"), "20");
  EXPECT_EQ(callingCodeOfTerritory("AD"), "376");  // first row
  EXPECT_EQ(callingCodeOfTerritory("ZW"), "263");  // last row
}

TEST(CallingCodeOfTerritory, GivesTheSharedCodeToTerritoriesWithoutTheirOwn) {
  EXPECT_EQ(callingCodeOfTerritory("RU"), "7");
  EXPECT_EQ(callingCodeOfTerritory("KZ"), "7");
  EXPECT_EQ(callingCodeOfTerritory("VA"), "39");
  EXPECT_EQ(callingCodeOfTerritory("IT"), "39");
  EXPECT_EQ(callingCodeOfTerritory("JE"), "44");
  EXPECT_EQ(callingCodeOfTerritory("GG"), "44");
  EXPECT_EQ(callingCodeOfTerritory("IM"), "44");
  EXPECT_EQ(callingCodeOfTerritory("AX"), "358");
  EXPECT_EQ(callingCodeOfTerritory("XK"), "383");
}

TEST(CallingCodeOfTerritory, GivesOneToEveryNorthAmericanNumberingPlanMember) {
  for (const char* territory : {"AG", "AI", "AS", "BB", "BM", "BS", "CA", "DM", "DO", "GD", "GU", "JM", "KN",
                                "KY", "LC", "MP", "MS", "PR", "SX", "TC", "TT", "UM", "US", "VC", "VG", "VI"}) {
    EXPECT_EQ(callingCodeOfTerritory(territory), "1") << territory;
  }
}

TEST(CallingCodeOfTerritory, GivesNothingForUnknownOrMalformedTerritories) {
  EXPECT_EQ(callingCodeOfTerritory("ZZ"), "");
  EXPECT_EQ(callingCodeOfTerritory("AA"), "");
  EXPECT_EQ(callingCodeOfTerritory(""), "");
  EXPECT_EQ(callingCodeOfTerritory("C"), "");
  EXPECT_EQ(callingCodeOfTerritory("CHE"), "");
  EXPECT_EQ(callingCodeOfTerritory("ch"), "");  // the table is upper case; callers upper-case first
}

}  // namespace
}  // namespace mailsift::detail
