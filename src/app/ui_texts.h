// The interface texts in German or English (UiTexts), chosen once from the
// locale's country. The front ends turn them into captions and counters.
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

// The texts by name. Each value is the text's fixed slot in UiTexts.
enum class UiText : std::size_t {
  DonateThanks = 0,       // beside the donate picture (German only)
  FileScanCaption = 1,    // the FILEscan button (German only)
  FolderScanCaption = 2,  // the DIRscan button (German only)
  UrlScanCaption = 3,     // the URLscan button (German only)
  ExportCaption = 4,      // the Export button (German only)
  QuitCaption = 5,        // the Quit button (German only)
  DelimiterPrompt = 6,    // first line of the delimiter prompt
  DelimiterHelp = 7,      // the rest of the delimiter prompt
  DelimiterTitle = 8,     // title of the delimiter prompt
  ExportTitle = 9,        // title of the save dialog of the export
  ExportFilter = 10,      // filter description of that save dialog
  HelpText = 11,          // text of the help box
  HelpTitle = 12,         // title of the help box
  FoundCounter = 13,      // prefix of the count of List1
  UnknownCounter = 14,    // prefix of the count of List2
  OpenTitle = 15,         // title of the open dialog of the file scan
  OpenFilter = 16,        // filter description of that open dialog
  FolderPrompt = 17,      // text of the folder browser of the folder scan
  DuplicateNotice = 18,   // first line of the duplicate notice
};

// The interface texts of one language. A plain value with no hidden state;
// the front end keeps it for the life of the program and reads it only.
struct InterfaceTexts {
  // The texts by fixed slot, UTF-8, lines joined by "\r\n". Slots that the
  // chosen language does not set (0 to 5 in English, 19 to 100 always) are "".
  std::array<std::string, kUiTextSlots> UiTexts;
  bool german = false;

  const std::string& text(UiText id) const noexcept { return UiTexts[static_cast<std::size_t>(id)]; }
};

// True when `countryCode` chooses German: 41 (Switzerland), 43 (Austria) and
// 49 (Germany). Every other value chooses English.
[[nodiscard]] constexpr bool usesGermanTexts(std::int16_t countryCode) noexcept {
  return countryCode == 41 || countryCode == 43 || countryCode == 49;
}

// Fills the interface texts for `countryCode` (the locale's country calling
// code, see countryCodeFromText). German: UiTexts 0 to 18 from the German
// column of the table. English: UiTexts 6 to 18 from the English column; 0
// to 5 stay empty, since the English window keeps its design captions.
// Never fails; thread-safe.
[[nodiscard]] InterfaceTexts LoadUiTexts(std::int16_t countryCode);

// The language choice of start-up in one call: asks GetLocaleValue for the
// country code, converts it with countryCodeFromText and passes it to
// LoadUiTexts. Reads the environment (see GetLocaleValue).
[[nodiscard]] InterfaceTexts uiTextsForUserLocale();

}  // namespace mailsift
