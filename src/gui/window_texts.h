// The words the window shows that are made from the interface texts: the
// captions that change with the language, the title, the counters and the
// duplicate notice. Plain C++ without Qt, so it can be tested on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/ui_texts.h"

namespace mailsift::gui {

// The captions of the seven controls of Form1 that the language can change,
// one member per control, named after it. A default-constructed value holds
// the English design captions ("&" marks the Alt access key): Label5 empty,
// "&FILEscan", "&DIRscan", "&URLscan", "&Export", "&Quit" and "wait".
struct WindowCaptions {
  std::string Label5;                  // thank-you text beside the donate picture
  std::string Command1 = "&FILEscan";  // FILEscan button
  std::string Command4 = "&DIRscan";   // DIRscan button
  std::string Command3 = "&URLscan";   // URLscan button
  std::string Command5 = "&Export";    // CSV export button
  std::string Command6 = "&Quit";      // Quit button
  std::string Label4 = "wait";         // text of the wait panel

  friend bool operator==(const WindowCaptions&, const WindowCaptions&) = default;
};

// The captions for `texts`. German: Label5 and the five buttons from the
// texts DonateThanks to QuitCaption (none with an access key) and Label4
// "Warten"; English: the design captions of WindowCaptions{}. Pure.
[[nodiscard]] WindowCaptions windowCaptions(const InterfaceTexts& texts);

// The window title: "mailsift", the version, "©", the year and the maker's
// web address, separated by blanks, such as "mailsift 0.1.0 © 2026
// https://mailsift.example.org". UTF-8. Pure.
[[nodiscard]] std::string windowTitle(std::string_view version, int year, std::string_view makerUrl);

// A counter: `prefix` ("Found:", "Unerkannt:", ...) directly followed by
// `count` in decimal, with no space and no leading zeros. Pure.
[[nodiscard]] std::string counterCaption(std::string_view prefix, std::size_t count);

// The duplicate notice: `firstLine` ("Duplicate" / "Doppelte"), CR LF, then
// `removed` in decimal. Pure.
[[nodiscard]] std::string duplicateNotice(std::string_view firstLine, std::size_t removed);

// The question before Esc closes the window while the lists hold results
// that were not exported, in the language of `texts`. UTF-8. Pure.
[[nodiscard]] std::string unexportedCloseQuestion(const InterfaceTexts& texts);

// The caption of the wait panel's button that stops a scan: "Abbrechen" in
// German, "Cancel" in English. Pure.
[[nodiscard]] std::string cancelCaption(const InterfaceTexts& texts);

// The progress of a folder scan on the wait panel: "12 of 40 files", or
// "12 von 40 Dateien" in German, with "+" after the second number while the
// walk still lists files. Pure.
[[nodiscard]] std::string folderProgress(const InterfaceTexts& texts, std::size_t done, std::size_t listed,
                                         bool listingDone);

// The title of the error box of a failed export: "Err:" directly followed
// by the system's error number. Pure.
[[nodiscard]] std::string errorBoxTitle(int systemError);

}  // namespace mailsift::gui
