// The desktop window of mailsift on Windows: loads the interface texts for
// the user's locale and opens Form1. Takes --decode=auto|none and
// --rules=specified|extended on its command line, as the command line tool
// does; a wrong value is shown in a message box, since the program has no
// console.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cctype>
#include <ctime>
#include <optional>
#include <string>

#include "app/ui_texts.h"
#include "gui_win32/form1.h"
#include "gui_win32/text_conversion.h"
#include "gui_win32/win32_dialogs.h"
#include "platform/shared_library.h"

namespace {

using mailsift::gui_win32::utf8;

// Reads the options into `settings`; returns the complaint about the first
// wrong one, or "" when all are understood. Other arguments are left alone.
std::string readOptions(mailsift::gui_win32::WindowSettings& settings) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::string complaint;
  for (int i = 1; arguments != nullptr && i < count && complaint.empty(); ++i) {
    const std::string argument = utf8(arguments[i]);
    if (argument.rfind("--decode=", 0) == 0) {
      std::string value = argument.substr(9);
      for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (value == "none") {
        settings.decode = mailsift::DecodeMode::None;
      } else if (value != "auto") {
        complaint = "--decode takes auto or none, not '" + value + "'";
      }
    } else if (argument.rfind("--rules=", 0) == 0) {
      const std::optional<mailsift::ScanRules> rules = mailsift::scanRulesNamed(argument.substr(8));
      if (rules) {
        settings.rules = *rules;
      } else {
        complaint = "--rules takes specified or extended, not '" + argument.substr(8) + "'";
      }
    }
  }
  ::LocalFree(arguments);
  return complaint;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  // The folder chooser's new style needs COM (OLE) on this thread.
  static_cast<void>(::OleInitialize(nullptr));
  mailsift::gui_win32::WindowSettings settings;
  settings.makerUrl = MAILSIFT_MAKER_URL;
  settings.donateUrl = MAILSIFT_DONATE_URL;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  settings.year = local.tm_year + 1900;
  settings.programFolder = mailsift::platform::executableFolder();
  if (const std::string complaint = readOptions(settings); !complaint.empty()) {
    ::MessageBoxW(nullptr, mailsift::gui_win32::wide("mailsift: " + complaint).c_str(), L"mailsift",
                  MB_OK | MB_ICONERROR);
    return 2;
  }
  mailsift::gui_win32::Win32Dialogs dialogs;
  mailsift::gui_win32::Form1 window(dialogs, mailsift::uiTextsForUserLocale(), settings);
  if (window.window() == nullptr) return 1;
  window.show(showCommand);
  const int status = window.run();
  ::OleUninitialize();
  return status;
}
