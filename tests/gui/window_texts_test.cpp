// The window's captions in both languages, its counters and the duplicate
// notice, made from the interface texts.
#include "gui/window_texts.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace mailsift::gui {
namespace {

TEST(WindowCaptions, DefaultAreTheEnglishDesignCaptions) {
  const WindowCaptions design;
  EXPECT_EQ(design.Label5, "");
  EXPECT_EQ(design.Command1, "&FILEscan");
  EXPECT_EQ(design.Command4, "&DIRscan");
  EXPECT_EQ(design.Command3, "&URLscan");
  EXPECT_EQ(design.Command5, "&Export");
  EXPECT_EQ(design.Command6, "&Quit");
  EXPECT_EQ(design.Label4, "wait");
}

TEST(WindowCaptions, EnglishKeepsTheDesignCaptions) {
  for (const std::int16_t code : {std::int16_t{352}, std::int16_t{423}, std::int16_t{0}, std::int16_t{1}}) {
    EXPECT_EQ(windowCaptions(LoadUiTexts(code)), WindowCaptions{}) << "code " << code;
  }
}

TEST(WindowCaptions, GermanSetsSevenCaptionsWithoutAccessKeys) {
  const InterfaceTexts texts = LoadUiTexts(41);
  const WindowCaptions captions = windowCaptions(texts);
  EXPECT_EQ(captions.Label5, texts.UiTexts[0]);
  EXPECT_EQ(captions.Command1, "Datei-scan");
  EXPECT_EQ(captions.Command4, "Ordner-scan");
  EXPECT_EQ(captions.Command3, "URL-scan");
  EXPECT_EQ(captions.Command5, "CSV Export");
  EXPECT_EQ(captions.Command6, "Ende");
  EXPECT_EQ(captions.Label4, "Warten");
  for (const std::string* caption :
       {&captions.Command1, &captions.Command4, &captions.Command3, &captions.Command5, &captions.Command6}) {
    EXPECT_EQ(caption->find('&'), std::string::npos) << *caption;
  }
  // "Warten" is a caption only, not a text of the table.
  for (const std::string& text : texts.UiTexts) EXPECT_NE(text, "Warten");
}

TEST(WindowCaptions, GermanButtonCaptionsComeFromSlotsOneToFive) {
  const InterfaceTexts texts = LoadUiTexts(49);
  const WindowCaptions captions = windowCaptions(texts);
  EXPECT_EQ(captions.Command1, texts.UiTexts[1]);
  EXPECT_EQ(captions.Command4, texts.UiTexts[2]);
  EXPECT_EQ(captions.Command3, texts.UiTexts[3]);
  EXPECT_EQ(captions.Command5, texts.UiTexts[4]);
  EXPECT_EQ(captions.Command6, texts.UiTexts[5]);
}

TEST(WindowTexts, CountersAndNoticeFollowTheirTextsDirectly) {
  for (const std::int16_t code : {std::int16_t{1}, std::int16_t{49}}) {
    const InterfaceTexts texts = LoadUiTexts(code);
    EXPECT_EQ(counterCaption(texts.text(UiText::FoundCounter), 12), texts.german ? "Gefunden:12" : "Found:12");
    EXPECT_EQ(counterCaption(texts.text(UiText::UnknownCounter), 3), texts.german ? "Unerkannt:3" : "Unknown:3");
    EXPECT_EQ(duplicateNotice(texts.text(UiText::DuplicateNotice), 5),
              texts.german ? "Doppelte\r\n5" : "Duplicate\r\n5");
    EXPECT_EQ(cancelCaption(texts), texts.german ? "Abbrechen" : "Cancel");
    EXPECT_EQ(folderProgress(texts, 2, 40, false), texts.german ? "2 von 40+ Dateien" : "2 of 40+ files");
    EXPECT_EQ(folderProgress(texts, 40, 40, true), texts.german ? "40 von 40 Dateien" : "40 of 40 files");
  }
  EXPECT_EQ(counterCaption("Found:", 0), "Found:0");
  EXPECT_EQ(duplicateNotice("Duplicate", 0), "Duplicate\r\n0");
  EXPECT_EQ(errorBoxTitle(13), "Err:13");
  EXPECT_EQ(windowTitle("1.2.3", 2031, "https://maker.example"), "mailsift 1.2.3 \u00A9 2031 https://maker.example");
}

}  // namespace
}  // namespace mailsift::gui
