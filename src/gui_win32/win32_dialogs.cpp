// The real dialogs. The file dialogs keep the classic record: a name buffer
// of 255 characters and no option flags, so any typed name comes back as
// typed. The input box is a dialog template built in memory, so the program
// needs no dialog resource.
#include "gui_win32/win32_dialogs.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstdint>
#include <vector>

#include "gui_win32/browse_folder.h"
#include "gui_win32/text_conversion.h"

namespace mailsift::gui_win32 {
namespace {

constexpr DWORD kNameBuffer = 255;

using FileDialog = BOOL(WINAPI*)(LPOPENFILENAMEW);

std::string showFileDialog(FileDialog dialog, HWND owner, const std::string& initialFolder, const std::string& title,
                           const std::string& filterDescription) {
  // Description and pattern, each ended by a NUL, and a second NUL at the end.
  std::wstring filter = wide(filterDescription);
  filter.append(1, L'\0').append(L"*.*").append(2, L'\0');
  const std::wstring folder = windowsPath(initialFolder);
  const std::wstring shownTitle = wide(title);
  std::vector<wchar_t> name(kNameBuffer, L'\0');
  std::vector<wchar_t> nameTitle(kNameBuffer, L'\0');

  OPENFILENAMEW record{};
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  record.hwndOwner = owner;
  record.hInstance = ::GetModuleHandleW(nullptr);
  record.lpstrFilter = filter.c_str();
  record.lpstrFile = name.data();
  record.nMaxFile = kNameBuffer;
  record.lpstrFileTitle = nameTitle.data();
  record.nMaxFileTitle = kNameBuffer;
  record.lpstrInitialDir = folder.c_str();
  record.lpstrTitle = shownTitle.c_str();
  if (!dialog(&record)) return {};
  return utf8(name.data());
}

// --- The input box ---------------------------------------------------------

enum InputBoxItem : WORD { kPromptItem = 100, kAnswerItem = 101 };

struct InputBoxState {
  std::wstring prompt;
  std::wstring answer;  // the preset in, the typed text out
};

// Appends `value` to a dialog template, whose parts are WORDs.
void put(std::vector<WORD>& words, std::uint32_t value) {
  words.push_back(static_cast<WORD>(value & 0xFFFF));
  words.push_back(static_cast<WORD>(value >> 16));
}
void put(std::vector<WORD>& words, const std::wstring& text) {
  words.insert(words.end(), text.begin(), text.end());
  words.push_back(0);
}
void alignToDword(std::vector<WORD>& words) {
  if (words.size() % 2 != 0) words.push_back(0);
}

// One control of the template: `kind` is the predefined class atom (0x80
// button, 0x81 edit, 0x82 static). Positions in dialog units.
void putItem(std::vector<WORD>& words, DWORD style, const RECT& where, WORD id, WORD kind, const std::wstring& text) {
  alignToDword(words);
  put(words, style | WS_CHILD | WS_VISIBLE);
  put(words, 0u);  // extended style
  for (const LONG part : {where.left, where.top, where.right, where.bottom}) words.push_back(static_cast<WORD>(part));
  words.push_back(id);
  words.push_back(0xFFFF);
  words.push_back(kind);
  put(words, text);
  words.push_back(0);  // no creation data
}

std::vector<WORD> inputBoxTemplate(const std::wstring& title) {
  std::vector<WORD> words;
  put(words, static_cast<std::uint32_t>(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU));
  put(words, 0u);      // extended style
  words.push_back(4);  // controls
  for (const int part : {0, 0, 240, 96}) words.push_back(static_cast<WORD>(part));
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  put(words, title);
  words.push_back(8);
  put(words, std::wstring(L"MS Shell Dlg"));
  putItem(words, SS_LEFT, {7, 7, 170, 64}, kPromptItem, 0x82, L"");
  putItem(words, BS_DEFPUSHBUTTON | WS_TABSTOP, {183, 7, 50, 14}, IDOK, 0x80, L"OK");
  putItem(words, BS_PUSHBUTTON | WS_TABSTOP, {183, 25, 50, 14}, IDCANCEL, 0x80, L"Cancel");
  putItem(words, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, {7, 75, 226, 14}, kAnswerItem, 0x81, L"");
  return words;
}

INT_PTR CALLBACK inputBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<InputBoxState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      state = reinterpret_cast<InputBoxState*>(lParam);
      ::SetDlgItemTextW(dialog, kPromptItem, state->prompt.c_str());
      ::SetDlgItemTextW(dialog, kAnswerItem, state->answer.c_str());
      ::SendDlgItemMessageW(dialog, kAnswerItem, EM_SETSEL, 0, -1);
      ::SetFocus(::GetDlgItem(dialog, kAnswerItem));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const HWND field = ::GetDlgItem(dialog, kAnswerItem);
        std::wstring typed(static_cast<std::size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
        typed.resize(static_cast<std::size_t>(::GetWindowTextW(field, typed.data(), static_cast<int>(typed.size()))));
        state->answer = typed;
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::string Win32Dialogs::showOpen(HWND owner, const std::string& initialFolder, const std::string& title,
                                   const std::string& filterDescription) {
  return showFileDialog(::GetOpenFileNameW, owner, initialFolder, title, filterDescription);
}

std::string Win32Dialogs::showSave(HWND owner, const std::string& initialFolder, const std::string& title,
                                   const std::string& filterDescription) {
  return showFileDialog(::GetSaveFileNameW, owner, initialFolder, title, filterDescription);
}

std::string Win32Dialogs::browseFolder(HWND owner, const std::string& title, const std::string& startFolder) {
  std::wstring shownTitle = wide(title);
  return utf8(BrowseFolder(shownTitle, windowsPath(startFolder), owner, /*statusLine=*/true, /*rootFolder=*/{},
                           /*newStyle=*/true, /*showFiles=*/false));
}

std::string Win32Dialogs::inputBox(HWND owner, const std::string& prompt, const std::string& title,
                                   const std::string& preset) {
  InputBoxState state{wide(prompt), wide(preset)};
  const std::vector<WORD> words = inputBoxTemplate(wide(title));
  const INT_PTR answer =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), owner,
                                inputBoxProcedure, reinterpret_cast<LPARAM>(&state));
  return answer == IDOK ? utf8(state.answer) : std::string();
}

void Win32Dialogs::messageBox(HWND owner, const std::string& text, const std::string& title, MessageIcon icon) {
  ::MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(),
                MB_OK | (icon == MessageIcon::Critical ? MB_ICONERROR : 0u));
}

bool Win32Dialogs::askYesNo(HWND owner, const std::string& question, const std::string& title) {
  // Enter alone must not throw results away.
  return ::MessageBoxW(owner, wide(question).c_str(), wide(title).c_str(),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION) == IDYES;
}

void Win32Dialogs::openWebPage(const std::string& url) {
  // Nothing is reported: without a handler for the address, nothing happens.
  ::ShellExecuteW(nullptr, nullptr, wide(url).c_str(), nullptr, L"C:\\", SW_SHOWNORMAL);
}

}  // namespace mailsift::gui_win32
