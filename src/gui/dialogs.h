// Every dialog the window opens goes through one interface, so that tests
// can answer them without a person: the file dialogs, the folder browser,
// the input box, the message box, the yes-no question and the hand-over of a
// web page.
#pragma once

#include <QString>

class QWidget;

namespace mailsift::gui {

enum class MessageIcon {
  None,      // the help box
  Critical,  // the export's error box
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // ShowOpen: a modal open-file dialog owned by `owner`, opened in
  // `initialFolder`, with `title` and the one filter `filterDescription`
  // matching every file. Returns the chosen file's full path, or "" on cancel.
  virtual QString showOpen(QWidget* owner, const QString& initialFolder, const QString& title,
                           const QString& filterDescription) = 0;

  // ShowSave: the same for the file to write. No question before
  // overwriting, no extension added. Returns the path, or "" on cancel.
  virtual QString showSave(QWidget* owner, const QString& initialFolder, const QString& title,
                           const QString& filterDescription) = 0;

  // BrowseFolder as the folder scan uses it: a modal folder chooser owned by
  // `owner` with `title`, `startFolder` preselected and the status line that
  // shows the selection. Returns the chosen folder's path, or "" on cancel.
  virtual QString browseFolder(QWidget* owner, const QString& title, const QString& startFolder) = 0;

  // A modal input box with `prompt` (may hold line breaks), `title` and the
  // `preset` answer standing in its text field. Returns the text as typed,
  // or "" on Cancel.
  virtual QString inputBox(QWidget* owner, const QString& prompt, const QString& title, const QString& preset) = 0;

  // A modal message box with one OK button; returns when it is closed.
  virtual void messageBox(QWidget* owner, const QString& text, const QString& title, MessageIcon icon) = 0;

  // A modal question with the buttons Yes and No, No preselected. Returns
  // true for Yes; No and closing the box give false.
  virtual bool askYesNo(QWidget* owner, const QString& question, const QString& title) = 0;

  // Hands `url` to the desktop's default handler; waits for nothing and
  // reports nothing.
  virtual void openWebPage(const QString& url) = 0;
};

}  // namespace mailsift::gui
