// The Win32 dialogs behind the Dialogs interface: the common file dialogs,
// the shell's folder chooser, an input box of our own, MessageBoxW and
// ShellExecuteW.
#pragma once

#include "gui_win32/dialogs.h"

namespace mailsift::gui_win32 {

class Win32Dialogs final : public Dialogs {
 public:
  std::string showOpen(HWND owner, const std::string& initialFolder, const std::string& title,
                       const std::string& filterDescription) override;
  std::string showSave(HWND owner, const std::string& initialFolder, const std::string& title,
                       const std::string& filterDescription) override;
  std::string browseFolder(HWND owner, const std::string& title, const std::string& startFolder) override;
  std::string inputBox(HWND owner, const std::string& prompt, const std::string& title,
                       const std::string& preset) override;
  void messageBox(HWND owner, const std::string& text, const std::string& title, MessageIcon icon) override;
  bool askYesNo(HWND owner, const std::string& question, const std::string& title) override;
  void openWebPage(const std::string& url) override;
};

}  // namespace mailsift::gui_win32
