// Tests of the interface texts: the language rule and every text of the
// table in both languages.
#include "app/ui_texts.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "app/locale_value.h"
#include "locale_environment.h"

namespace mailsift {
namespace {

// The texts table, typed again here rather than taken from the code.
// "\r\n" is CR LF; umlauts are written as UTF-8 bytes so the test does not
// depend on the encoding of this file.
constexpr std::array<std::string_view, kUsedUiTexts> kGerman = {
    "Wenn Ihnen dieses Programm gef\xC3\xA4llt, dann geben Sie mir doch ein Bier aus :-) Der Kellner kommt, "
    "wenn Sie links auf Donate klicken.\r\nDanke, Tovrik",
    "Datei-scan",
    "Ordner-scan",
    "URL-scan",
    "CSV Export",
    "Ende",
    "Trennzeichen",
    "br = Zeilenumbruch\r\ntb = Tabulator\r\nParameter k\xC3\xB6nnen kombiniert werden.",
    "Trennzeichen",
    "CSV Liste exportieren",
    "Dateien",
    "Datei-scan untersucht eine Datei nach enthaltenen Mailadressen\r\n"
    "Ordner-Scan untersucht alle Dateien eines Ordner (inkl. Unterordnern) nach Mailadressen\r\n"
    "URL-scan durchsucht diese Internetadresse nach Mailadressen (ohne Linkverfolgung)\r\n"
    "CSV Export speichert die gefundenen Ergebnisse in eine Datei",
    "Hilfe",
    "Gefunden:",
    "Unerkannt:",
    "Datei \xC3\xB6"
    "ffnen",
    "Dateien",
    "Verzeichnis scannen",
    "Doppelte",
};

constexpr std::array<std::string_view, kUsedUiTexts> kEnglish = {
    "",
    "",
    "",
    "",
    "",
    "",
    "Delimiter",
    "br = break\r\ntb = tab\r\nYou can combine parameters.",
    "Type delimiter",
    "Export list",
    "Files",
    "FILEscan scans a file for mailadresses\r\n"
    "DIRscan scans every file in directory for mailadresses (incl. subdirs)\r\n"
    "URLscan scans a webadress for mailadresses (don't following links)\r\n"
    "Export will save found adresses to a CSV file.",
    "Help",
    "Found:",
    "Unknown:",
    "Open file",
    "Files",
    "DIRscan",
    "Duplicate",
};

std::size_t countOf(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// --- The language rule ---------------------------------------------------------

static_assert(usesGermanTexts(41) && usesGermanTexts(43) && usesGermanTexts(49));
static_assert(!usesGermanTexts(0) && !usesGermanTexts(1) && !usesGermanTexts(352) && !usesGermanTexts(423));

class GermanCountry : public testing::TestWithParam<std::int16_t> {};

TEST_P(GermanCountry, GetsTheGermanColumn) {
  const InterfaceTexts texts = LoadUiTexts(GetParam());
  EXPECT_TRUE(texts.german);
  for (std::size_t i = 0; i < kUsedUiTexts; ++i) EXPECT_EQ(texts.UiTexts[i], kGerman[i]) << "UiTexts(" << i << ")";
}

// Switzerland, Austria, Germany.
INSTANTIATE_TEST_SUITE_P(SwitzerlandAustriaGermany, GermanCountry, testing::Values(41, 43, 49));

class EnglishCountry : public testing::TestWithParam<std::int16_t> {};

TEST_P(EnglishCountry, GetsTheEnglishColumn) {
  const InterfaceTexts texts = LoadUiTexts(GetParam());
  EXPECT_FALSE(texts.german);
  for (std::size_t i = 0; i < kUsedUiTexts; ++i) EXPECT_EQ(texts.UiTexts[i], kEnglish[i]) << "UiTexts(" << i << ")";
}

// Luxembourg and Liechtenstein speak German but get English; 0 is what an
// empty or unreadable locale answer turns into; 4 and 9 are the digits of 49
// on their own; 490 and 4941 merely start like a German code.
INSTANTIATE_TEST_SUITE_P(EveryOtherCode, EnglishCountry,
                         testing::Values(352, 423, 0, 1, 4, 9, 32, 33, 39, 44, 490, 4941, -1, -49, 32767, -32768));

// --- The shape of the table ----------------------------------------------------

TEST(UiTexts, HasOneHundredAndOneSlots) {
  EXPECT_EQ(kUiTextSlots, 101u);
  EXPECT_EQ(LoadUiTexts(49).UiTexts.size(), 101u);
  EXPECT_EQ(LoadUiTexts(1).UiTexts.size(), 101u);
}

TEST(UiTexts, LeavesSlotsNineteenToOneHundredEmptyInBothLanguages) {
  for (const std::int16_t code : {std::int16_t{49}, std::int16_t{1}}) {
    const InterfaceTexts texts = LoadUiTexts(code);
    for (std::size_t i = 19; i <= 100; ++i) EXPECT_EQ(texts.UiTexts[i], "") << "code " << code << ", slot " << i;
  }
}

TEST(UiTexts, EnglishLeavesSlotsZeroToFiveEmpty) {
  const InterfaceTexts texts = LoadUiTexts(352);
  for (std::size_t i = 0; i <= 5; ++i) EXPECT_EQ(texts.UiTexts[i], "") << "slot " << i;
}

TEST(UiTexts, JoinsLinesWithCrLfAndEndsWithoutOne) {
  struct Expectation {
    std::size_t slot;
    std::size_t lineBreaks;
  };
  for (const std::int16_t code : {std::int16_t{41}, std::int16_t{0}}) {
    const InterfaceTexts texts = LoadUiTexts(code);
    const bool german = texts.german;
    for (const Expectation e : {Expectation{0, german ? 1u : 0u}, Expectation{7, 2}, Expectation{11, 3}}) {
      const std::string& text = texts.UiTexts[e.slot];
      EXPECT_EQ(countOf(text, "\r\n"), e.lineBreaks) << "slot " << e.slot;
      // Every CR is followed by LF and every LF preceded by CR.
      EXPECT_EQ(countOf(text, "\r"), e.lineBreaks) << "slot " << e.slot;
      EXPECT_EQ(countOf(text, "\n"), e.lineBreaks) << "slot " << e.slot;
      if (!text.empty()) {
        EXPECT_NE(text.back(), '\n') << "slot " << e.slot;
        EXPECT_NE(text.back(), '\r') << "slot " << e.slot;
      }
    }
    for (std::size_t i = 0; i < kUiTextSlots; ++i) {
      if (i == 0 || i == 7 || i == 11) continue;
      EXPECT_EQ(texts.UiTexts[i].find_first_of("\r\n"), std::string::npos) << "slot " << i;
    }
  }
}

TEST(UiTexts, SpotChecksOfSeveralSlots) {
  const InterfaceTexts german = LoadUiTexts(43);
  EXPECT_EQ(german.UiTexts[0],
            "Wenn Ihnen dieses Programm gefällt, dann geben Sie mir doch ein Bier aus :-) Der Kellner kommt, wenn Sie "
            "links auf Donate klicken.\r\nDanke, Tovrik");
  EXPECT_EQ(german.UiTexts[7], "br = Zeilenumbruch\r\ntb = Tabulator\r\nParameter können kombiniert werden.");
  EXPECT_EQ(german.UiTexts[13], "Gefunden:");
  EXPECT_EQ(german.UiTexts[14], "Unerkannt:");
  EXPECT_EQ(german.UiTexts[15], "Datei öffnen");
  EXPECT_EQ(german.UiTexts[18], "Doppelte");

  const InterfaceTexts english = LoadUiTexts(44);
  EXPECT_EQ(english.UiTexts[6], "Delimiter");
  EXPECT_EQ(english.UiTexts[8], "Type delimiter");
  EXPECT_EQ(english.UiTexts[11],
            "FILEscan scans a file for mailadresses\r\nDIRscan scans every file in directory for mailadresses (incl. "
            "subdirs)\r\nURLscan scans a webadress for mailadresses (don't following links)\r\nExport will save found "
            "adresses to a CSV file.");
  EXPECT_EQ(english.UiTexts[13], "Found:");
  EXPECT_EQ(english.UiTexts[17], "DIRscan");
}

TEST(UiTexts, GermanUmlautsAreUtf8) {
  const InterfaceTexts texts = LoadUiTexts(49);
  EXPECT_NE(texts.UiTexts[0].find("gef\xC3\xA4llt"), std::string::npos);  // ä
  EXPECT_NE(texts.UiTexts[7].find("k\xC3\xB6nnen"), std::string::npos);   // ö
  EXPECT_EQ(texts.UiTexts[15],
            "Datei \xC3\xB6"
            "ffnen");  // ö
}

TEST(UiTexts, EnglishTextsArePlainAscii) {
  const InterfaceTexts texts = LoadUiTexts(1);
  for (const std::string& text : texts.UiTexts) {
    for (const char c : text) EXPECT_GE(static_cast<unsigned char>(c), 0x0Au) << text;
    for (const char c : text) EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << text;
  }
}

TEST(LoadUiTexts, GivesTheSameAnswerEveryTime) {
  const InterfaceTexts first = LoadUiTexts(49);
  const InterfaceTexts second = LoadUiTexts(49);
  EXPECT_EQ(first.UiTexts, second.UiTexts);
  // Loading English in between changes nothing of a German result already held.
  (void)LoadUiTexts(1);
  EXPECT_EQ(LoadUiTexts(49).UiTexts, first.UiTexts);
}

// --- The whole start-up path: environment, locale answer, texts -----------------

TEST(UiTextsForUserLocale, ASwissLocaleGivesGermanWhateverItsLanguage) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;
  for (const char* name : {"fr_CH.UTF-8", "it_CH", "de_CH.UTF-8", "en_CH"}) {
    test::LocaleEnvironment::set("LANG", name);
    const InterfaceTexts texts = uiTextsForUserLocale();
    EXPECT_TRUE(texts.german) << name;
    EXPECT_EQ(texts.text(UiText::FileScanCaption), "Datei-scan") << name;
    EXPECT_EQ(texts.UiTexts[13], "Gefunden:") << name;
  }
}

TEST(UiTextsForUserLocale, AustriaAndGermanyGiveGerman) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;
  for (const char* name : {"de_AT.UTF-8", "de_DE.UTF-8", "en_DE.UTF-8", "tr_DE"}) {
    test::LocaleEnvironment::set("LANG", name);
    EXPECT_TRUE(uiTextsForUserLocale().german) << name;
  }
}

TEST(UiTextsForUserLocale, OtherGermanSpeakingPlacesGiveEnglish) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;
  for (const char* name : {"de_LU.UTF-8", "de_LU@euro", "de_LI.UTF-8", "de_BE", "de_IT"}) {
    test::LocaleEnvironment::set("LANG", name);
    const InterfaceTexts texts = uiTextsForUserLocale();
    EXPECT_FALSE(texts.german) << name;
    EXPECT_EQ(texts.text(UiText::FileScanCaption), "") << name;  // the design captions stay
    EXPECT_EQ(texts.UiTexts[13], "Found:") << name;
  }
}

TEST(UiTextsForUserLocale, NoLocaleGivesEnglish) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;  // all three unset
  EXPECT_FALSE(uiTextsForUserLocale().german);
  for (const char* name : {"C", "POSIX", "C.UTF-8", "de_ZZ", "garbage"}) {
    test::LocaleEnvironment::set("LANG", name);
    EXPECT_FALSE(uiTextsForUserLocale().german) << name;
  }
}

TEST(UiTextsForUserLocale, FollowsThePrecedenceOfTheLocaleVariables) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;
  test::LocaleEnvironment::set("LANG", "en_US.UTF-8");
  test::LocaleEnvironment::set("LC_MESSAGES", "de_DE.UTF-8");
  EXPECT_TRUE(uiTextsForUserLocale().german);  // LC_MESSAGES over LANG
  test::LocaleEnvironment::set("LC_ALL", "en_GB.UTF-8");
  EXPECT_FALSE(uiTextsForUserLocale().german);  // LC_ALL over both
  test::LocaleEnvironment::set("LC_ALL", "");
  EXPECT_TRUE(uiTextsForUserLocale().german);  // an empty LC_ALL falls through
  test::LocaleEnvironment::set("LC_MESSAGES", "");
  EXPECT_FALSE(uiTextsForUserLocale().german);  // and so does an empty LC_MESSAGES
  test::LocaleEnvironment::set("LC_ALL", "C");
  test::LocaleEnvironment::set("LANG", "de_CH.UTF-8");
  EXPECT_FALSE(uiTextsForUserLocale().german);  // the first non-empty alone decides
}

TEST(UiTextsForUserLocale, AgreesWithTheStepsItCombines) {
  if (const char* why = test::missing(test::Feature::LocaleFromEnvironment)) GTEST_SKIP() << why;
  const test::LocaleEnvironment environment;
  test::LocaleEnvironment::set("LANG", "de_AT.UTF-8");
  EXPECT_EQ(GetLocaleValue(kLocaleICountry), "43");
  EXPECT_EQ(countryCodeFromText(GetLocaleValue(kLocaleICountry)), 43);
  EXPECT_EQ(uiTextsForUserLocale().UiTexts, LoadUiTexts(43).UiTexts);
}

}  // namespace
}  // namespace mailsift
