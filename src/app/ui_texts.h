// The interface texts in German or English (UiTexts) and the
// window captions that go with them, chosen once from the locale's country.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mailsift {

// UiTexts has 101 slots (indices 0 to 100), of which only 0 to 18 are used.
inline constexpr std::size_t kUiTextSlots = 101;
inline constexpr std::size_t kUsedUiTexts = 19;

// The captions of the seven controls of Form1 that the language can change,
// one member per control, named after it. A default-constructed value holds
// the English design captions ("&" marks the Alt access key): Label5 empty,
// "&FILEscan", "&DIRscan", "&URLscan", "&Export", "&Quit" and "wait".
struct WindowCaptions {
  std::string Label5;                   // thank-you text beside the donate picture
  std::string Command1 = "&FILEscan";   // FILEscan button
  std::string Command4 = "&DIRscan";    // DIRscan button
  std::string Command3 = "&URLscan";    // URLscan button
  std::string Command5 = "&Export";     // CSV export button
  std::string Command6 = "&Quit";       // Quit button
  std::string Label4 = "wait";          // text of the wait panel

  friend bool operator==(const WindowCaptions&, const WindowCaptions&) = default;
};

// Everything LoadUiTexts decides: the texts, the captions for the window to
// apply, and which language was chosen. A plain value with no hidden state;
// the front end keeps it for the life of the program and reads it only.
struct InterfaceTexts {
  // The texts by fixed index, UTF-8, lines joined by "\r\n". Slots that the
  // chosen language does not set (0 to 5 in English, 19 to 100 always) are "".
  std::array<std::string, kUiTextSlots> UiTexts;
  WindowCaptions captions;
  bool german = false;
};

// True when `countryCode` chooses German: 41 (Switzerland), 43 (Austria) and
// 49 (Germany). Every other value chooses English.
[[nodiscard]] constexpr bool usesGermanTexts(std::int16_t countryCode) noexcept {
  return countryCode == 41 || countryCode == 43 || countryCode == 49;
}

// Fills the interface texts for `countryCode` (the locale's country calling
// code, see countryCodeFromText). German: UiTexts 0 to 18 from the German
// column of the table, and the captions Label5 = UiTexts[0], Command1 =
// UiTexts[1], Command4 = UiTexts[2], Command3 = UiTexts[3], Command5 =
// UiTexts[4], Command6 = UiTexts[5] (none with an access key) and Label4 =
// "Warten". English: UiTexts 6 to 18 from the English column; 0 to 5 stay
// empty and the captions are the design captions of WindowCaptions{}. Never
// fails; thread-safe.
[[nodiscard]] InterfaceTexts LoadUiTexts(std::int16_t countryCode);

// The window title: "mailsift", the version, "©", the year and the maker's
// web address, separated by blanks, such as "mailsift 0.1.0 © 2026
// https://mailsift.example.org". UTF-8. Pure.
[[nodiscard]] std::string windowTitle(std::string_view version, int year, std::string_view makerUrl);

// The language choice of start-up in one call: asks GetLocaleValue for the
// country code, converts it with countryCodeFromText and passes it to
// LoadUiTexts. Reads the environment (see GetLocaleValue).
[[nodiscard]] InterfaceTexts uiTextsForUserLocale();

}  // namespace mailsift
