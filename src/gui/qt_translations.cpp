// Loading Qt's translations from where the Qt build keeps them.
#include "gui/qt_translations.h"

#include <QLibraryInfo>
#include <QLocale>

namespace mailsift::gui {

std::unique_ptr<QTranslator> installQtTranslations(QCoreApplication& application, bool german) {
  if (!german) return nullptr;
  auto translator = std::make_unique<QTranslator>();
  // "qt_de" bundles qtbase's texts with those of the other Qt modules.
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QLocale(QLocale::German), QStringLiteral("qt"), QStringLiteral("_"), folder) &&
      !translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    return nullptr;
  }
  if (!application.installTranslator(translator.get())) return nullptr;
  return translator;
}

}  // namespace mailsift::gui
