// The desktop window of mailsift: loads the interface texts for the user's
// locale and opens Form1. Takes --decode=auto|none on its command line, as
// the command line tool does.
#include <QApplication>
#include <QDate>
#include <cstdio>

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
  for (const QString& argument : QCoreApplication::arguments().mid(1)) {
    if (!argument.startsWith(QStringLiteral("--decode="))) continue;
    const QString value = argument.mid(9).toLower();
    if (value == QStringLiteral("none")) {
      settings.decode = mailsift::DecodeMode::None;
    } else if (value != QStringLiteral("auto")) {
      std::fprintf(stderr, "mailsift-gui: --decode takes 'auto' or 'none', not '%s'\n", qPrintable(argument.mid(9)));
      return 2;
    }
  }
  mailsift::gui::Form1 window(dialogs, mailsift::uiTextsForUserLocale(), settings);
  window.show();
  return QApplication::exec();
}
