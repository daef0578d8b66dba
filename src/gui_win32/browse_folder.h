// The shell's folder chooser with a status line that follows the selection:
// "Auswahl: " and the selected folder's path, shortened with an ellipsis to
// fit the line.
#pragma once

#include <windows.h>

#include <string>

namespace mailsift::gui_win32 {

// The option values of a browse request; the dialog's options are their sum.
inline constexpr UINT kBrowseOnlyFolders = 1;    // only file-system folders can be chosen
inline constexpr UINT kBrowseStatusLine = 4;     // the dialog has the status line
inline constexpr UINT kBrowseNewStyle = 64;      // the resizable dialog
inline constexpr UINT kBrowseShowFiles = 16384;  // files are listed as well as folders

// The option sum of a browse request: kBrowseOnlyFolders always, plus the
// others as asked. The folder scan asks for the status line and the new
// style: 69.
[[nodiscard]] constexpr UINT browseOptions(bool statusLine, bool newStyle, bool showFiles) noexcept {
  return kBrowseOnlyFolders + (statusLine ? kBrowseStatusLine : 0) + (newStyle ? kBrowseNewStyle : 0) +
         (showFiles ? kBrowseShowFiles : 0);
}

// The width in pixels the path may take in a status line `lineWidth` pixels
// wide whose prefix is `prefixWidth` pixels wide. May be negative.
[[nodiscard]] constexpr int statusPathWidth(int lineWidth, int prefixWidth) noexcept {
  return lineWidth - prefixWidth + 80;
}

// Shows the folder chooser modally over `owner` and returns the chosen
// folder's path (a drive root keeps its backslash, "C:\"), or "" when the
// user cancels or the choice has no file-system path. When `title` is
// exactly "$" and `statusLine` is true, the title becomes "", in the
// caller's variable as well. `rootFolder` "" means the whole namespace.
// `startFolder` is selected when the dialog opens. Needs COM initialised on
// the calling thread; runs the dialog's own message loop.
std::wstring BrowseFolder(std::wstring& title, const std::wstring& startFolder, HWND owner, bool statusLine,
                          const std::wstring& rootFolder, bool newStyle, bool showFiles);

// The dialog's callback: selects the start folder (`data`, an item list)
// when the dialog is initialised and writes the status line when the
// selection changes. Returns 0 for every message.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

}  // namespace mailsift::gui_win32
