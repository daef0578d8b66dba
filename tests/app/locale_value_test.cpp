// Tests of the locale query: reading a locale name, the precedence of the
// locale variables, and the conversion of the answer to a country code.
#include "app/locale_value.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "locale_environment.h"

namespace mailsift {
namespace {

using test::LocaleEnvironment;

// --- countryCallingCode: the locale name alone --------------------------------

TEST(CountryCallingCode, ReadsTheTerritoryNotTheLanguage) {
  EXPECT_EQ(countryCallingCode("de_CH"), "41");
  EXPECT_EQ(countryCallingCode("fr_CH"), "41");
  EXPECT_EQ(countryCallingCode("it_CH"), "41");
  EXPECT_EQ(countryCallingCode("de_AT"), "43");
  EXPECT_EQ(countryCallingCode("de_DE"), "49");
  EXPECT_EQ(countryCallingCode("en_DE"), "49");
  EXPECT_EQ(countryCallingCode("de_LU"), "352");
  EXPECT_EQ(countryCallingCode("de_LI"), "423");
  EXPECT_EQ(countryCallingCode("de_BE"), "32");
  EXPECT_EQ(countryCallingCode("en_US"), "1");
  EXPECT_EQ(countryCallingCode("ru_RU"), "7");
}

TEST(CountryCallingCode, IgnoresCodesetAndModifier) {
  EXPECT_EQ(countryCallingCode("de_CH.UTF-8"), "41");
  EXPECT_EQ(countryCallingCode("de_CH.utf8"), "41");
  EXPECT_EQ(countryCallingCode("en_US.ISO-8859-1"), "1");
  EXPECT_EQ(countryCallingCode("de_LU@euro"), "352");
  EXPECT_EQ(countryCallingCode("de_AT.ISO-8859-15@euro"), "43");
  EXPECT_EQ(countryCallingCode("sr_RS@latin"), "381");
  // A "_" in the codeset or modifier is not a territory.
  EXPECT_EQ(countryCallingCode("en_US@x_DE"), "1");
  EXPECT_EQ(countryCallingCode("de.UTF-8_CH"), "");
  EXPECT_EQ(countryCallingCode("de@x_CH"), "");
}

TEST(CountryCallingCode, AcceptsALowerCaseTerritory) {
  EXPECT_EQ(countryCallingCode("de_ch"), "41");
  EXPECT_EQ(countryCallingCode("de_At.UTF-8"), "43");
}

TEST(CountryCallingCode, GivesNothingWithoutATerritory) {
  EXPECT_EQ(countryCallingCode(""), "");
  EXPECT_EQ(countryCallingCode("C"), "");
  EXPECT_EQ(countryCallingCode("POSIX"), "");
  EXPECT_EQ(countryCallingCode("C.UTF-8"), "");
  EXPECT_EQ(countryCallingCode("de"), "");
  EXPECT_EQ(countryCallingCode("de.UTF-8"), "");
  EXPECT_EQ(countryCallingCode("de_"), "");
  EXPECT_EQ(countryCallingCode("de_.UTF-8"), "");
}

TEST(CountryCallingCode, GivesNothingForAMalformedOrUnknownTerritory) {
  EXPECT_EQ(countryCallingCode("de_C"), "");
  EXPECT_EQ(countryCallingCode("de_CHE"), "");  // alpha-3 is not read
  EXPECT_EQ(countryCallingCode("de_C1"), "");
  EXPECT_EQ(countryCallingCode("es_419"), "");  // a UN M.49 region, not a territory
  EXPECT_EQ(countryCallingCode("de_ZZ"), "");
  EXPECT_EQ(countryCallingCode("de_\xC3\x9C"), "");  // two bytes, but one non-ASCII letter
}

TEST(LocaleTerritory, IsTheUpperCaseTwoLettersAfterTheUnderscore) {
  EXPECT_EQ(detail::localeTerritory("fr_CH.UTF-8"), "CH");
  EXPECT_EQ(detail::localeTerritory("de_lu@euro"), "LU");
  EXPECT_EQ(detail::localeTerritory("de_ZZ"), "ZZ");  // unknown, but well-formed
  EXPECT_EQ(detail::localeTerritory("POSIX"), "");
  EXPECT_EQ(detail::localeTerritory("de_CHE"), "");
}

// --- userLocaleName: the precedence, with a pretend environment -------------

std::string lookupIn(const std::map<std::string, std::string>& environment, const char* name) {
  const auto found = environment.find(name);
  return found != environment.end() ? found->second : std::string();
}

std::string userLocaleNameOf(const std::map<std::string, std::string>& environment) {
  return detail::userLocaleName([&](const char* name) { return lookupIn(environment, name); });
}

TEST(UserLocaleName, TakesLcAllThenLcMessagesThenLang) {
  EXPECT_EQ(userLocaleNameOf({{"LC_ALL", "de_CH"}, {"LC_MESSAGES", "de_AT"}, {"LANG", "de_DE"}}), "de_CH");
  EXPECT_EQ(userLocaleNameOf({{"LC_MESSAGES", "de_AT"}, {"LANG", "de_DE"}}), "de_AT");
  EXPECT_EQ(userLocaleNameOf({{"LANG", "de_DE"}}), "de_DE");
}

TEST(UserLocaleName, PassesOverEmptyVariables) {
  EXPECT_EQ(userLocaleNameOf({{"LC_ALL", ""}, {"LC_MESSAGES", "de_AT"}, {"LANG", "de_DE"}}), "de_AT");
  EXPECT_EQ(userLocaleNameOf({{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de_DE"}}), "de_DE");
  EXPECT_EQ(userLocaleNameOf({{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}}), "");
  EXPECT_EQ(userLocaleNameOf({}), "");
}

TEST(UserLocaleName, LetsTheFirstNonEmptyDecideEvenWithoutATerritory) {
  EXPECT_EQ(userLocaleNameOf({{"LC_ALL", "C"}, {"LANG", "de_DE.UTF-8"}}), "C");
}

TEST(UserLocaleName, ReadsNoOtherCategory) {
  EXPECT_EQ(userLocaleNameOf({{"LC_CTYPE", "de_DE"}, {"LC_TELEPHONE", "de_CH"}, {"LANGUAGE", "de"}}), "");
}

// --- GetLocaleValue: the real environment -------------------------------------

TEST(GetLocaleValue, AnswersCodeFiveFromTheEnvironment) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;
  LocaleEnvironment::set("LANG", "de_CH.UTF-8");
  EXPECT_EQ(GetLocaleValue(5), "41");
  EXPECT_EQ(GetLocaleValue(kLocaleICountry), "41");
  LocaleEnvironment::set("LANG", "de_LU@euro");
  EXPECT_EQ(GetLocaleValue(5), "352");
}

TEST(GetLocaleValue, LcAllOverridesLcMessagesWhichOverridesLang) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;
  LocaleEnvironment::set("LANG", "de_DE.UTF-8");
  LocaleEnvironment::set("LC_MESSAGES", "de_AT.UTF-8");
  LocaleEnvironment::set("LC_ALL", "fr_CH.UTF-8");
  EXPECT_EQ(GetLocaleValue(5), "41");
  LocaleEnvironment::unset("LC_ALL");
  EXPECT_EQ(GetLocaleValue(5), "43");
  LocaleEnvironment::unset("LC_MESSAGES");
  EXPECT_EQ(GetLocaleValue(5), "49");
}

TEST(GetLocaleValue, AnEmptyLcAllFallsThrough) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;
  LocaleEnvironment::set("LC_ALL", "");
  LocaleEnvironment::set("LC_MESSAGES", "");
  LocaleEnvironment::set("LANG", "en_US.ISO-8859-1");
  EXPECT_EQ(GetLocaleValue(5), "1");
}

TEST(GetLocaleValue, GivesNothingForCPosixOrNoLocale) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;  // all three unset
  EXPECT_EQ(GetLocaleValue(5), "");
  for (const char* name : {"C", "POSIX", "C.UTF-8"}) {
    LocaleEnvironment::set("LANG", name);
    EXPECT_EQ(GetLocaleValue(5), "") << name;
  }
  // The first non-empty variable alone decides: C in LC_ALL hides LANG.
  LocaleEnvironment::set("LANG", "de_DE.UTF-8");
  LocaleEnvironment::set("LC_ALL", "C");
  EXPECT_EQ(GetLocaleValue(5), "");
}

TEST(GetLocaleValue, GivesNothingForAnUnknownTerritory) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;
  LocaleEnvironment::set("LANG", "de_ZZ.UTF-8");
  EXPECT_EQ(GetLocaleValue(5), "");
}

TEST(GetLocaleValue, AnswersNoOtherInformationCode) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const LocaleEnvironment environment;
  LocaleEnvironment::set("LANG", "de_CH.UTF-8");
  for (const std::int32_t code : {0, 1, 2, 4, 6, 0x400, -5, 0x7fffffff}) {
    EXPECT_EQ(GetLocaleValue(code), "") << code;
  }
}

// --- countryCodeFromText: the start-up conversion ---------------------------

TEST(CountryCodeFromText, ReadsDecimalDigits) {
  EXPECT_EQ(countryCodeFromText("49"), 49);
  EXPECT_EQ(countryCodeFromText("41"), 41);
  EXPECT_EQ(countryCodeFromText("43"), 43);
  EXPECT_EQ(countryCodeFromText("352"), 352);
  EXPECT_EQ(countryCodeFromText("1"), 1);
  EXPECT_EQ(countryCodeFromText("049"), 49);
  EXPECT_EQ(countryCodeFromText("32767"), 32767);
  EXPECT_EQ(countryCodeFromText("-32768"), -32768);
}

TEST(CountryCodeFromText, GivesZeroForEmptyOrNonNumericText) {
  EXPECT_EQ(countryCodeFromText(""), 0);
  EXPECT_EQ(countryCodeFromText("abc"), 0);
  EXPECT_EQ(countryCodeFromText("4a"), 0);
  EXPECT_EQ(countryCodeFromText("49 "), 0);
  EXPECT_EQ(countryCodeFromText(" 49"), 0);
  EXPECT_EQ(countryCodeFromText("+49"), 0);
  EXPECT_EQ(countryCodeFromText("4.9"), 0);
  EXPECT_EQ(countryCodeFromText("-"), 0);
  EXPECT_EQ(countryCodeFromText(std::string_view("49\0", 3)), 0);
}

TEST(CountryCodeFromText, GivesZeroOutsideSixteenBits) {
  EXPECT_EQ(countryCodeFromText("32768"), 0);
  EXPECT_EQ(countryCodeFromText("-32769"), 0);
  EXPECT_EQ(countryCodeFromText("65585"), 0);  // 65585 mod 65536 would be 49: no wrap-around
  EXPECT_EQ(countryCodeFromText("99999999999999999999"), 0);
}

}  // namespace
}  // namespace mailsift
