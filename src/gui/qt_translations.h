// Qt's own texts (the buttons of its dialogs, the file dialog's labels) in
// the language of the interface texts.
#pragma once

#include <QCoreApplication>
#include <QTranslator>
#include <memory>

namespace mailsift::gui {

// Loads and installs Qt's German translations into `application` when
// `german` is set; English needs none. Returns the installed translator
// (removed from the application when it is destroyed), or nothing when
// English was asked for or the translations are not installed, in which
// case Qt's texts stay English and nothing else changes.
std::unique_ptr<QTranslator> installQtTranslations(QCoreApplication& application, bool german);

}  // namespace mailsift::gui
