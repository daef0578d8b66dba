// The desktop window of mailsift: loads the interface texts for the user's
// locale and opens Form1. Takes --decode=auto|none and
// --rules=specified|extended on its command line, as the command line tool
// does.
#include <QApplication>
#include <QDate>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/ui_texts.h"
#include "gui/form1.h"
#include "gui/qt_dialogs.h"
#include "gui/qt_translations.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Ties the window to its desktop entry, for its icon and name in the
  // desktop's task bar (Wayland matches them by this name).
  QGuiApplication::setDesktopFileName(QStringLiteral(MAILSIFT_APP_ID));
  mailsift::gui::QtDialogs dialogs;
  mailsift::gui::WindowSettings settings;
  settings.makerUrl = QStringLiteral(MAILSIFT_MAKER_URL);
  settings.donateUrl = QStringLiteral(MAILSIFT_DONATE_URL);
  settings.year = QDate::currentDate().year();
  settings.programFolder = QCoreApplication::applicationDirPath();
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i].startsWith(QStringLiteral("--decode="))) {
      const QString value = arguments[i].mid(9).toLower();
      if (value == QStringLiteral("none")) {
        settings.decode = mailsift::DecodeMode::None;
      } else if (value != QStringLiteral("auto")) {
        std::fprintf(stderr, "mailsift: --decode takes auto or none, not '%s'\n", qPrintable(arguments[i].mid(9)));
        return 2;
      }
      continue;
    }
    if (!arguments[i].startsWith(QStringLiteral("--rules="))) continue;
    const QByteArray name = arguments[i].mid(8).toUtf8();
    const std::optional<mailsift::ScanRules> rules = mailsift::scanRulesNamed(name.toStdString());
    if (!rules) {
      std::fprintf(stderr, "mailsift: --rules takes specified or extended, not '%s'\n", name.constData());
      return 2;
    }
    settings.rules = *rules;
  }
  mailsift::InterfaceTexts texts = mailsift::uiTextsForUserLocale();
  // Qt's own dialogs and buttons speak the window's language too.
  const std::unique_ptr<QTranslator> qtTexts = mailsift::gui::installQtTranslations(application, texts.german);
  mailsift::gui::Form1 window(dialogs, std::move(texts), settings);
  window.show();
  return QApplication::exec();
}
