// The table of interface texts and the choice between its two
// columns.
#include "app/ui_texts.h"

#include <string_view>

#include "app/locale_value.h"

namespace mailsift {

namespace {

struct TextRow {
  std::string_view german;
  std::string_view english;  // "" for 0 to 5: English keeps the design captions
};

// The texts exactly as they were worded, typos included: other modules and
// their tests compare against them. Lines are joined by CR LF, with none
// after the last line.
constexpr std::array<TextRow, kUsedUiTexts> kTexts{{
    // 0: caption of Label5 beside the donate picture
    {"Wenn Ihnen dieses Programm gefällt, dann geben Sie mir doch ein Bier aus :-) "
     "Der Kellner kommt, wenn Sie links auf Donate klicken.\r\n"
     "Danke, Tovrik",
     ""},
    // 1 to 5: captions of Command1, Command4, Command3, Command5, Command6
    {"Datei-scan", ""},
    {"Ordner-scan", ""},
    {"URL-scan", ""},
    {"CSV Export", ""},
    {"Ende", ""},
    // 6: first line of the delimiter prompt of the export
    {"Trennzeichen", "Delimiter"},
    // 7: rest of the delimiter prompt
    {"br = Zeilenumbruch\r\n"
     "tb = Tabulator\r\n"
     "Parameter können kombiniert werden.",
     "br = break\r\n"
     "tb = tab\r\n"
     "You can combine parameters."},
    // 8: title of the delimiter prompt
    {"Trennzeichen", "Type delimiter"},
    // 9: title of the save dialog of the export
    {"CSV Liste exportieren", "Export list"},
    // 10: filter description in the save dialog
    {"Dateien", "Files"},
    // 11: text of the help box
    {"Datei-scan untersucht eine Datei nach enthaltenen Mailadressen\r\n"
     "Ordner-Scan untersucht alle Dateien eines Ordner (inkl. Unterordnern) nach Mailadressen\r\n"
     "URL-scan durchsucht diese Internetadresse nach Mailadressen (ohne Linkverfolgung)\r\n"
     "CSV Export speichert die gefundenen Ergebnisse in eine Datei",
     "FILEscan scans a file for mailadresses\r\n"
     "DIRscan scans every file in directory for mailadresses (incl. subdirs)\r\n"
     "URLscan scans a webadress for mailadresses (don't following links)\r\n"
     "Export will save found adresses to a CSV file."},
    // 12: title of the help box
    {"Hilfe", "Help"},
    // 13: prefix of the counter of List1 in Label1
    {"Gefunden:", "Found:"},
    // 14: prefix of the counter of List2 in Label2
    {"Unerkannt:", "Unknown:"},
    // 15: title of the open dialog of the file scan
    {"Datei öffnen", "Open file"},
    // 16: filter description in the open dialog
    {"Dateien", "Files"},
    // 17: text shown in the folder browser of the directory scan
    {"Verzeichnis scannen", "DIRscan"},
    // 18: first line of the duplicate notice in Label3
    {"Doppelte", "Duplicate"},
}};

// The first slot that both languages fill; below it only German sets texts.
constexpr std::size_t kFirstSharedText = 6;

}  // namespace

InterfaceTexts LoadUiTexts(std::int16_t countryCode) {
  InterfaceTexts result;
  result.german = usesGermanTexts(countryCode);
  if (result.german) {
    for (std::size_t i = 0; i < kUsedUiTexts; ++i) result.UiTexts[i] = kTexts[i].german;
  } else {
    // Slots 0 to 5 stay empty: the English window keeps its design captions.
    for (std::size_t i = kFirstSharedText; i < kUsedUiTexts; ++i) result.UiTexts[i] = kTexts[i].english;
  }
  return result;
}

InterfaceTexts uiTextsForUserLocale() { return LoadUiTexts(countryCodeFromText(GetLocaleValue(kLocaleICountry))); }

}  // namespace mailsift
