// The dialogs of the window as Qt shows them: QFileDialog, the folder
// chooser, QInputDialog, QMessageBox and QDesktopServices.
#pragma once

#include "gui/dialogs.h"

namespace mailsift::gui {

// The Dialogs the running program uses. Every call but openWebPage() shows a
// modal dialog and runs its event loop until the user closes it; all calls
// belong on the GUI thread. Holds no state, so one instance serves the whole
// program. Line breaks in prompts and messages may be "\r\n" or "\n".
class QtDialogs final : public Dialogs {
 public:
  // QFileDialog in open mode, filter "<filterDescription> (*)". A typed name
  // is returned whether or not such a file exists.
  QString showOpen(QWidget* owner, const QString& initialFolder, const QString& title,
                   const QString& filterDescription) override;
  // QFileDialog in save mode, filter as showOpen(); never asks before
  // overwriting and adds no suffix to a typed name.
  QString showSave(QWidget* owner, const QString& initialFolder, const QString& title,
                   const QString& filterDescription) override;
  // BrowseFolder() with the status line and the new style, no root folder
  // and no files.
  QString browseFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
  // QInputDialog with one line of text.
  QString inputBox(QWidget* owner, const QString& prompt, const QString& title, const QString& preset) override;
  // QMessageBox with one OK button, the critical icon or none; the text is
  // shown as plain text.
  void messageBox(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) override;
  // QMessageBox with the question icon, Yes and No; the text is plain text.
  bool askYesNo(QWidget* owner, const QString& question, const QString& title) override;
  // QDesktopServices::openUrl(); a failure is ignored.
  void openWebPage(const QString& url) override;
};

}  // namespace mailsift::gui
