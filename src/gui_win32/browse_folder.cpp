// The folder chooser over SHBrowseForFolderW. The status line is found by a
// marker text, since the dialog gives no other handle on it, and measured in
// its own drawing context.
#include "gui_win32/browse_folder.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <array>
#include <vector>

namespace mailsift::gui_win32 {
namespace {

constexpr wchar_t kStatusPrefix[] = L"Auswahl: ";
constexpr wchar_t kMarker[] = L"$";

// An item identifier list for `path`, or null when there is none.
PIDLIST_ABSOLUTE pidlFromPath(const std::wstring& path) {
  if (path.empty()) return nullptr;
  return ::ILCreateFromPathW(path.c_str());
}

// The file-system path of `item` in a buffer of MAX_PATH characters, or
// false when it has none.
bool pathOf(PCIDLIST_ABSOLUTE item, std::wstring& path) {
  std::array<wchar_t, MAX_PATH> buffer;
  buffer.fill(L' ');
  if (item == nullptr || !::SHGetPathFromIDListW(item, buffer.data())) return false;
  buffer.back() = L'\0';
  path.assign(buffer.data());  // ends at the first NUL
  return true;
}

void setStatus(HWND dialog, const wchar_t* text) {
  ::SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text));
}

// The status line for the new selection `item`: its path after the prefix,
// shortened to the line's width minus the prefix's plus a margin.
void showSelection(HWND dialog, PCIDLIST_ABSOLUTE item) {
  std::wstring path;
  if (!pathOf(item, path)) {
    setStatus(dialog, L"");
    return;
  }
  setStatus(dialog, kMarker);
  const HWND line = ::FindWindowExW(dialog, nullptr, L"Static", kMarker);
  const HDC context = ::GetWindowDC(line);
  RECT bounds{};
  ::GetWindowRect(line, &bounds);
  SIZE prefix{};
  ::GetTextExtentPoint32W(context, kStatusPrefix, static_cast<int>(std::size(kStatusPrefix) - 1), &prefix);
  const int width = statusPathWidth(bounds.right - bounds.left, prefix.cx);
  std::vector<wchar_t> shortened(path.begin(), path.end());
  shortened.resize(MAX_PATH, L'\0');
  const bool compacted = width > 0 && ::PathCompactPathW(context, shortened.data(), static_cast<UINT>(width));
  ::ReleaseDC(line, context);
  const std::wstring shown = compacted ? std::wstring(shortened.data()) : path;
  setStatus(dialog, (kStatusPrefix + shown).c_str());
}

}  // namespace

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM parameter, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, FALSE, data);
  } else if (message == BFFM_SELCHANGED) {
    showSelection(dialog, reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter));
  }
  return 0;
}

std::wstring BrowseFolder(std::wstring& title, const std::wstring& startFolder, HWND owner, bool statusLine,
                          const std::wstring& rootFolder, bool newStyle, bool showFiles) {
  const PIDLIST_ABSOLUTE root = pidlFromPath(rootFolder);
  if (title == kMarker && statusLine) title.clear();
  std::vector<wchar_t> displayName(statusLine ? MAX_PATH : 0, L'\0');
  const PIDLIST_ABSOLUTE start = pidlFromPath(startFolder);

  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.pidlRoot = root;
  request.pszDisplayName = displayName.empty() ? nullptr : displayName.data();
  request.lpszTitle = title.c_str();
  request.ulFlags = browseOptions(statusLine, newStyle, showFiles);
  request.lpfn = BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(start);
  const PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&request);

  std::wstring result;
  if (chosen != nullptr) {
    if (!pathOf(chosen, result)) result.clear();
    ::CoTaskMemFree(chosen);
  }
  ::ILFree(start);
  ::ILFree(root);
  return result;
}

}  // namespace mailsift::gui_win32
