// Captions, title, counters and the duplicate notice of the window.
#include "gui/window_texts.h"

namespace mailsift::gui {

WindowCaptions windowCaptions(const InterfaceTexts& texts) {
  WindowCaptions captions;
  if (!texts.german) return captions;  // English keeps the design captions
  captions.Label5 = texts.text(UiText::DonateThanks);
  captions.Command1 = texts.text(UiText::FileScanCaption);
  captions.Command4 = texts.text(UiText::FolderScanCaption);
  captions.Command3 = texts.text(UiText::UrlScanCaption);
  captions.Command5 = texts.text(UiText::ExportCaption);
  captions.Command6 = texts.text(UiText::QuitCaption);
  captions.Label4 = "Warten";  // a caption only, not a text of the table
  return captions;
}

std::string windowTitle(std::string_view version, int year, std::string_view makerUrl) {
  std::string title = "mailsift ";
  title.append(version);
  title += " \u00A9 " + std::to_string(year) + " ";
  title.append(makerUrl);
  return title;
}

std::string counterCaption(std::string_view prefix, std::size_t count) {
  std::string caption(prefix);
  caption += std::to_string(count);
  return caption;
}

std::string duplicateNotice(std::string_view firstLine, std::size_t removed) {
  std::string notice(firstLine);
  notice += "\r\n";
  notice += std::to_string(removed);
  return notice;
}

std::string unexportedCloseQuestion(const InterfaceTexts& texts) {
  if (texts.german) {
    return "Fenster schlie\u00DFen? Die Listen enthalten Ergebnisse, die nicht exportiert wurden.";
  }
  return "Close the window? The lists hold results that were not exported.";
}

std::string cancelCaption(const InterfaceTexts& texts) { return texts.german ? "Abbrechen" : "Cancel"; }

std::string folderProgress(const InterfaceTexts& texts, std::size_t done, std::size_t listed, bool listingDone) {
  return std::to_string(done) + (texts.german ? " von " : " of ") + std::to_string(listed) + (listingDone ? "" : "+") +
         (texts.german ? " Dateien" : " files");
}

std::string errorBoxTitle(int systemError) { return "Err:" + std::to_string(systemError); }

}  // namespace mailsift::gui
