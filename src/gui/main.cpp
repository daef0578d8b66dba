// The desktop window of mailsift: loads the interface texts for the user's
// locale and opens Form1.
#include <QApplication>
#include <QDate>

#include "app/ui_texts.h"
#include "gui/form1.h"
#include "gui/qt_dialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  mailsift::gui::QtDialogs dialogs;
  mailsift::gui::WindowSettings settings;
  settings.makerUrl = QStringLiteral(MAILSIFT_MAKER_URL);
  settings.donateUrl = QStringLiteral(MAILSIFT_DONATE_URL);
  settings.year = QDate::currentDate().year();
  settings.programFolder = QCoreApplication::applicationDirPath();
  mailsift::gui::Form1 window(dialogs, mailsift::uiTextsForUserLocale(), settings);
  window.show();
  return QApplication::exec();
}
