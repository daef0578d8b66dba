// The Qt dialogs behind the Dialogs interface. Each dialog is made on the
// heap and watched by a QPointer, so a dialog destroyed with its owner during
// its own event loop is noticed rather than deleted twice.
#include "gui/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

#include "gui/browse_folder_dialog.h"

namespace mailsift::gui {

namespace {

// The one filter of the file dialogs: `description` with the pattern that
// matches every name. "*.*" would miss names without a dot here.
QString allFilesFilter(const QString& description) { return description + QStringLiteral(" (*)"); }

// Texts arrive with "\r\n" line breaks; a label would show the "\r".
QString withPlainLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

// Runs `dialog` modally, then deletes it. Returns read(dialog) when it was
// accepted, else "" (also when it was destroyed while open).
template <typename Dialog, typename Read>
QString runModal(Dialog* dialog, Read read) {
  QPointer<Dialog> guard(dialog);
  const int answer = dialog->exec();
  if (guard.isNull()) return {};
  QString result = answer == QDialog::Accepted ? read(*dialog) : QString();
  delete dialog;
  return result;
}

QString showFileDialog(QWidget* owner, const QString& initialFolder, const QString& title,
                       const QString& filterDescription, QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(owner, title, initialFolder, allFilesFilter(filterDescription));
  dialog->setModal(true);
  dialog->setAcceptMode(mode);
  // Any name is taken as typed: open does not insist on an existing file,
  // save neither asks before overwriting nor adds a suffix.
  dialog->setFileMode(QFileDialog::AnyFile);
  if (mode == QFileDialog::AcceptSave) dialog->setOption(QFileDialog::DontConfirmOverwrite);
  return runModal(dialog, [](const QFileDialog& shown) {
    const QStringList files = shown.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
  });
}

}  // namespace

QString QtDialogs::showOpen(QWidget* owner, const QString& initialFolder, const QString& title,
                            const QString& filterDescription) {
  return showFileDialog(owner, initialFolder, title, filterDescription, QFileDialog::AcceptOpen);
}

QString QtDialogs::showSave(QWidget* owner, const QString& initialFolder, const QString& title,
                            const QString& filterDescription) {
  return showFileDialog(owner, initialFolder, title, filterDescription, QFileDialog::AcceptSave);
}

QString QtDialogs::browseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
  QString shownTitle = title;
  return BrowseFolder(shownTitle, startFolder, owner, /*statusLine=*/true, /*rootFolder=*/QString(),
                      /*newStyle=*/true, /*showFiles=*/false);
}

QString QtDialogs::inputBox(QWidget* owner, const QString& prompt, const QString& title, const QString& preset) {
  auto* dialog = new QInputDialog(owner);
  dialog->setModal(true);
  dialog->setWindowTitle(title);
  dialog->setInputMode(QInputDialog::TextInput);
  dialog->setLabelText(withPlainLineBreaks(prompt));
  dialog->setTextValue(preset);
  return runModal(dialog, [](const QInputDialog& shown) { return shown.textValue(); });
}

void QtDialogs::messageBox(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) {
  const QMessageBox::Icon shownIcon = icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon;
  auto* box = new QMessageBox(shownIcon, title, withPlainLineBreaks(text), QMessageBox::Ok, owner);
  // Error texts may hold "<" and must not be read as markup.
  box->setTextFormat(Qt::PlainText);
  runModal(box, [](const QMessageBox&) { return QString(); });
}

bool QtDialogs::askYesNo(QWidget* owner, const QString& question, const QString& title) {
  auto* box = new QMessageBox(QMessageBox::Question, title, withPlainLineBreaks(question),
                              QMessageBox::Yes | QMessageBox::No, owner);
  box->setTextFormat(Qt::PlainText);
  // Enter alone must not throw results away.
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  QPointer<QMessageBox> guard(box);
  const int answer = box->exec();
  if (guard.isNull()) return false;
  delete box;
  return answer == QMessageBox::Yes;
}

void QtDialogs::openWebPage(const QString& url) {
  // Nothing is reported: without a handler for the address, nothing happens.
  static_cast<void>(QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode)));
}

}  // namespace mailsift::gui
