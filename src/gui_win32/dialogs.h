// Every dialog the window opens goes through one interface, so that tests
// can answer them without a person: the file dialogs, the folder browser,
// the input box, the message box, the yes-no question and the hand-over of a
// web page. Texts and paths are UTF-8; line breaks are CR LF.
#pragma once

#include <windows.h>

#include <string>

namespace mailsift::gui_win32 {

enum class MessageIcon {
  None,      // the help box
  Critical,  // the export's error box
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // ShowOpen: a modal open-file dialog owned by `owner`, opened in
  // `initialFolder`, with `title` and the one filter `filterDescription`
  // matching every file. Returns the chosen file's full path, or "" on
  // cancel or failure.
  virtual std::string showOpen(HWND owner, const std::string& initialFolder, const std::string& title,
                               const std::string& filterDescription) = 0;

  // ShowSave: the same for the file to write. No question before
  // overwriting, no extension added. Returns the path, or "" on cancel.
  virtual std::string showSave(HWND owner, const std::string& initialFolder, const std::string& title,
                               const std::string& filterDescription) = 0;

  // BrowseFolder as the folder scan uses it: a modal folder chooser owned by
  // `owner` with `title`, `startFolder` preselected and the status line that
  // shows the selection. Returns the chosen folder's path, or "" on cancel.
  virtual std::string browseFolder(HWND owner, const std::string& title, const std::string& startFolder) = 0;

  // A modal input box with `prompt`, `title` and the `preset` answer
  // standing in its text field. Returns the text as typed, or "" on Cancel.
  virtual std::string inputBox(HWND owner, const std::string& prompt, const std::string& title,
                               const std::string& preset) = 0;

  // A modal message box with one OK button; returns when it is closed.
  virtual void messageBox(HWND owner, const std::string& text, const std::string& title, MessageIcon icon) = 0;

  // A modal question with the buttons Yes and No, No preselected. Returns
  // true for Yes; No and closing the box give false.
  virtual bool askYesNo(HWND owner, const std::string& question, const std::string& title) = 0;

  // Hands `url` to the shell's default handler; waits for nothing and
  // reports nothing.
  virtual void openWebPage(const std::string& url) = 0;
};

}  // namespace mailsift::gui_win32
