// The Win32 window driven by messages, as a user's clicks and keys reach it:
// layout and captions, scans with dialogs answered by a fake, moving between
// the lists, copying, the timers, export, Esc, help, donate and quit; and
// the folder chooser's status line.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include <chrono>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui_win32/browse_folder.h"
#include "gui_win32/form1.h"
#include "gui_win32/text_conversion.h"
#include "gui_win32/win32_dialogs.h"
#include "mailsift/version.h"
#include "support/temp_folder.h"

namespace mailsift::test {
namespace {

using namespace gui_win32;

class FakeDialogs final : public Dialogs {
 public:
  struct Asked {
    std::string title, prompt, folder, preset;  // prompt: also a file dialog's filter
  };
  std::deque<std::string> openAnswers, saveAnswers, folderAnswers, inputAnswers;
  std::deque<bool> yesNoAnswers;  // an empty queue answers No
  std::vector<Asked> opens, saves, folders, inputs, messages, questions;
  std::vector<MessageIcon> icons;
  std::vector<std::string> pages;

  std::string showOpen(HWND, const std::string& folder, const std::string& title, const std::string& filter) override {
    opens.push_back({title, filter, folder, {}});
    return next(openAnswers);
  }
  std::string showSave(HWND, const std::string& folder, const std::string& title, const std::string& filter) override {
    saves.push_back({title, filter, folder, {}});
    return next(saveAnswers);
  }
  std::string browseFolder(HWND, const std::string& title, const std::string& start) override {
    folders.push_back({title, {}, start, {}});
    return next(folderAnswers);
  }
  std::string inputBox(HWND, const std::string& prompt, const std::string& title, const std::string& preset) override {
    inputs.push_back({title, prompt, {}, preset});
    return next(inputAnswers);
  }
  void messageBox(HWND, const std::string& text, const std::string& title, MessageIcon icon) override {
    messages.push_back({title, text, {}, {}});
    icons.push_back(icon);
  }
  bool askYesNo(HWND, const std::string& question, const std::string& title) override {
    questions.push_back({title, question, {}, {}});
    const bool yes = !yesNoAnswers.empty() && yesNoAnswers.front();
    if (!yesNoAnswers.empty()) yesNoAnswers.pop_front();
    return yes;
  }
  void openWebPage(const std::string& url) override { pages.push_back(url); }

 private:
  static std::string next(std::deque<std::string>& answers) {  // empty: cancelled
    if (answers.empty()) return {};
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  FakeDialogs dialogs;
  TempFolder folder;
  std::unique_ptr<Form1> form;

  Form1& open(std::int16_t country = 0) {
    WindowSettings settings;
    settings.makerUrl = "https://maker.example";
    settings.donateUrl = "https://maker.example/donate";
    settings.year = 2031;
    settings.programFolder = "C:\\mailsift";
    form = std::make_unique<Form1>(dialogs, LoadUiTexts(country), settings);
    form->show(SW_SHOWNOACTIVATE);
    return *form;
  }
  HWND item(ControlId id) { return form->control(id); }
  std::string text(HWND window) {
    std::wstring buffer(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    buffer.resize(static_cast<std::size_t>(::GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()))));
    return utf8(buffer);
  }
  std::string text(ControlId id) { return text(item(id)); }
  void click(ControlId id) { ::SendMessageW(item(id), BM_CLICK, 0, 0); }
  void tick(TimerId timer) { ::SendMessageW(form->window(), WM_TIMER, timer, 0); }
  // Handles what is waiting in the thread's queue (timers, repaints).
  static void pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;  // posted by a closed window
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  bool scan(ControlId button) {
    click(button);
    for (int waited = 0; form->isScanning() && waited < 30000; waited += 10) {
      pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !form->isScanning();
  }
  // The rows as the list view shows them, asked through LVM_GETITEMTEXTW.
  std::vector<std::string> rows(ControlId list) {
    std::vector<std::string> all;
    const int count = ListView_GetItemCount(item(list));
    for (int row = 0; row < count; ++row) {
      wchar_t buffer[512] = {};
      ListView_GetItemText(item(list), row, 0, buffer, 512);
      all.push_back(utf8(buffer));
    }
    return all;
  }
  void select(ControlId list, const std::vector<int>& selected) {
    ListView_SetItemState(item(list), -1, 0, LVIS_SELECTED);
    for (const int row : selected) ListView_SetItemState(item(list), row, LVIS_SELECTED, LVIS_SELECTED);
  }
  // Ctrl+C in `list`, as the keyboard delivers it; returns the clipboard.
  std::string copy(ControlId list) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(item(list), WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    std::string copied;
    if (::OpenClipboard(nullptr)) {
      if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        copied = utf8(static_cast<const wchar_t*>(::GlobalLock(data)));
        ::GlobalUnlock(data);
      }
      ::CloseClipboard();
    }
    return copied;
  }
};

TEST_F(WindowTest, LayoutTitleAndCaptionsInBothLanguages) {
  struct Language {
    std::int16_t country;
    std::vector<std::pair<ControlId, std::string>> captions;
  };
  const Language languages[] = {
      {1,
       {{Command1, "&FILEscan"},
        {Command4, "&DIRscan"},
        {Command3, "&URLscan"},
        {Command5, "&Export"},
        {Command6, "&Quit"},
        {Label4, "wait"},
        {Label5, ""},
        {CancelScan, "Cancel"},
        {Command7, "?"},
        {Command2_0, "<"},
        {Command2_1, ">"}}},
      {49,
       {{Command1, "Datei-scan"},
        {Command4, "Ordner-scan"},
        {Command3, "URL-scan"},
        {Command5, "CSV Export"},
        {Command6, "Ende"},
        {Label4, "Warten"},
        {CancelScan, "Abbrechen"}}},
  };
  for (const Language& language : languages) {
    open(language.country);
    for (const auto& [id, caption] : language.captions) EXPECT_EQ(text(id), caption) << id;
  }
  EXPECT_EQ(text(Label5).rfind("Wenn Ihnen dieses Programm gef\u00E4llt", 0), 0u);
  EXPECT_EQ(text(form->window()), "mailsift " MAILSIFT_VERSION " \u00A9 2031 https://maker.example");

  const HDC screen = ::GetDC(nullptr);
  ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 96) << "the layout is checked at 96 dpi";
  ::ReleaseDC(nullptr, screen);
  RECT client{};
  ::GetClientRect(form->window(), &client);
  EXPECT_EQ(client.right, 443);
  EXPECT_EQ(client.bottom, 529);
  const LONG style = ::GetWindowLongW(form->window(), GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0);
  const std::pair<ControlId, RECT> places[] = {
      {Command1, {6, 6, 88, 40}},         {Command4, {96, 6, 175, 40}},       {Command3, {183, 6, 262, 40}},
      {Command5, {270, 6, 349, 40}},      {Command6, {357, 6, 436, 40}},      {Command7, {414, 75, 436, 97}},
      {Picture2, {6, 48, 153, 95}},       {Label5, {153, 45, 436, 97}},       {List1, {6, 102, 190, 496}},
      {Command2_0, {207, 108, 235, 136}}, {Command2_1, {207, 144, 235, 172}}, {List2, {252, 102, 436, 496}},
      {Label1, {6, 504, 190, 523}},       {Label2, {252, 504, 436, 523}},     {Label3, {195, 435, 247, 469}},
  };
  for (const auto& [id, expected] : places) {
    RECT place{};
    ::GetWindowRect(item(id), &place);
    ::MapWindowPoints(nullptr, form->window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_TRUE(::EqualRect(&place, &expected))
        << id << ": " << place.left << "," << place.top << " " << place.right << "," << place.bottom;
  }
  // "?" lies over the corner of Label5 and takes the mouse there.
  POINT corner{420, 80};
  EXPECT_EQ(::ChildWindowFromPointEx(form->window(), corner, CWP_SKIPINVISIBLE), item(Command7));
  EXPECT_FALSE(::IsWindowVisible(item(Picture1)));
  EXPECT_EQ(::GetFocus(), item(List1));
}

TEST_F(WindowTest, FileScanMovesCopiesAndTimers) {
  const std::string path =
      folder.write("mail.txt", "Zed@Example.com amy@example.org zed@example.com x@y.test b@c.test");
  open();
  dialogs.openAnswers.push_back(path);
  ASSERT_TRUE(scan(Command1));
  EXPECT_EQ(rows(List1), (std::vector<std::string>{"amy@example.org", "zed@example.com"}));
  EXPECT_EQ(rows(List2), (std::vector<std::string>{"x@y.test", "b@c.test"}));
  EXPECT_EQ(text(Label1), "Found:2");
  EXPECT_EQ(text(Label2), "Unknown:2");
  EXPECT_EQ(text(Label3), "Duplicate\r\n1");
  EXPECT_FALSE(::IsWindowVisible(item(Picture1)));
  ASSERT_EQ(dialogs.opens.size(), 1u);
  EXPECT_EQ(dialogs.opens[0].title, "Open file");
  EXPECT_EQ(dialogs.opens[0].prompt, "Files");
  EXPECT_EQ(dialogs.opens[0].folder, "C:\\mailsift");

  // Ctrl+C copies the whole selection in list order.
  select(List2, {1, 0});
  EXPECT_EQ(copy(List2), "x@y.test\r\nb@c.test");
  // ">" and "<" move the selections; the counters follow.
  select(List1, {0});
  click(Command2_1);
  EXPECT_EQ(rows(List1), std::vector<std::string>{"zed@example.com"});
  EXPECT_EQ(rows(List2), (std::vector<std::string>{"x@y.test", "b@c.test", "amy@example.org"}));
  EXPECT_EQ(text(Label1), "Found:1");
  EXPECT_EQ(text(Label2), "Unknown:3");
  select(List2, {1});
  click(Command2_0);
  EXPECT_EQ(rows(List1), (std::vector<std::string>{"b@c.test", "zed@example.com"}));  // List1 is sorted
  EXPECT_EQ(text(Label2), "Unknown:2");

  // Timer1 clears the notice at its tenth tick, counted from the scan's end.
  while (form->timer1Ticks() < 9) tick(Timer1);
  EXPECT_EQ(text(Label3), "Duplicate\r\n1");
  tick(Timer1);
  EXPECT_EQ(text(Label3), "");
  EXPECT_EQ(form->timer1Ticks(), 0);

  // Timer2 lets Command5 follow List1.
  tick(Timer2);
  EXPECT_TRUE(::IsWindowEnabled(item(Command5)));
  select(List1, {0, 1});
  click(Command2_1);
  tick(Timer2);
  EXPECT_FALSE(::IsWindowEnabled(item(Command5)));

  // A cancelled dialog leaves the lists empty, and the counters say so.
  click(Command1);
  EXPECT_TRUE(rows(List2).empty());
  EXPECT_EQ(text(Label2), "Unknown:0");
}

TEST_F(WindowTest, FolderScanExportAndEscape) {
  folder.write("tree/a.txt", "bb@example.com cc@example.com");
  folder.write("tree/sub/b.txt", "aa@example.com unknown@host.test bb@example.com");
  const std::string target = folder.file("out.csv");
  open(49);
  dialogs.folderAnswers.push_back(folder.file("tree"));
  ASSERT_TRUE(scan(Command4));
  ASSERT_EQ(dialogs.folders.size(), 1u);
  EXPECT_EQ(dialogs.folders[0].title, "Verzeichnis scannen");
  EXPECT_EQ(rows(List1), (std::vector<std::string>{"aa@example.com", "bb@example.com", "cc@example.com"}));
  EXPECT_EQ(text(Label2), "Unerkannt:1");

  // Esc before an export asks; No keeps the window and its results.
  ::SendMessageW(form->window(), WM_COMMAND, IDCANCEL, 0);
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_TRUE(::IsWindow(form->window()));

  struct Export {
    std::string answer, path, written;  // answer "": the delimiter box cancelled
  };
  const Export exports[] = {
      {";br", target, "aa@example.com;\r\nbb@example.com;\r\ncc@example.com"},
      {"tb", target, "aa@example.com\tbb@example.com\tcc@example.com"},
      {"", target, "aa@example.com\tbb@example.com\tcc@example.com"},
      {"br", "", "aa@example.com\tbb@example.com\tcc@example.com"},
  };
  for (const Export& step : exports) {
    dialogs.inputAnswers.push_back(step.answer);
    if (!step.answer.empty()) dialogs.saveAnswers.push_back(step.path);  // asked after the delimiter only
    click(Command5);
    EXPECT_EQ(readFile(target), step.written) << step.answer;
  }
  EXPECT_EQ(dialogs.inputs.at(0).title, "Trennzeichen");
  EXPECT_EQ(dialogs.inputs.at(0).preset, ";br");
  EXPECT_EQ(dialogs.saves.at(0).title, "CSV Liste exportieren");

  dialogs.inputAnswers.push_back("br");
  dialogs.saveAnswers.push_back(folder.file("missing/out.csv"));
  click(Command5);
  ASSERT_EQ(dialogs.icons, std::vector<MessageIcon>{MessageIcon::Critical});
  EXPECT_EQ(dialogs.messages[0].title.rfind("Err:", 0), 0u);

  // After an export Esc closes without a question.
  ::SendMessageW(form->window(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(form->window(), nullptr);
}

TEST_F(WindowTest, HelpDonateAndQuit) {
  open();
  click(Command7);
  click(Picture2);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].title, "Help");
  EXPECT_EQ(dialogs.messages[0].prompt.rfind("FILEscan scans a file for mailadresses\r\n", 0), 0u);
  EXPECT_EQ(dialogs.icons[0], MessageIcon::None);
  EXPECT_EQ(dialogs.pages, std::vector<std::string>{"https://maker.example/donate"});
  click(Command6);
  EXPECT_TRUE(dialogs.questions.empty());
  EXPECT_EQ(form->window(), nullptr);
}

// The keyboard as the program's own message loop reads it: Alt+F clicks
// FILEscan, Esc closes a window without results and ends the loop.
VOID CALLBACK giveUp(HWND, UINT, UINT_PTR, DWORD) { ::PostQuitMessage(99); }

TEST_F(WindowTest, AccessKeysAndEscapeThroughTheMessageLoop) {
  open();
  pump();  // leaves out WM_QUIT of windows closed before
  ::PostMessageW(item(List1), WM_SYSCHAR, 'f', LPARAM{1} << 29);
  ::PostMessageW(item(List1), WM_KEYDOWN, VK_ESCAPE, 0);
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 10000, giveUp);
  EXPECT_EQ(form->run(), 0);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(dialogs.opens.size(), 1u);
  EXPECT_EQ(form->window(), nullptr);
}

// The open dialog of this thread: tests may run side by side, each with
// its dialogs on the same display.
BOOL CALLBACK keepDialog(HWND window, LPARAM result) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (std::wcscmp(name, L"#32770") != 0 || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(result) = window;
  return FALSE;
}
HWND ownDialog() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), keepDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The shell's folder chooser, answered by a timer in its own message loop:
// what its status line says once the start folder is selected, then OK.
std::vector<std::wstring> statusSeen;
VOID CALLBACK readStatusAndConfirm(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND dialog = ownDialog();
  if (dialog == nullptr) return;  // not open yet: the next tick
  ::KillTimer(nullptr, timer);
  for (HWND line = nullptr; (line = ::FindWindowExW(dialog, line, L"Static", nullptr)) != nullptr;) {
    wchar_t text[MAX_PATH + 16] = {};
    ::GetWindowTextW(line, text, MAX_PATH + 16);
    if (std::wcsncmp(text, L"Auswahl: ", 9) == 0) statusSeen.push_back(text);
  }
  ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST(BrowseFolderTest, StatusLineFollowsTheSelection) {
  static_cast<void>(::OleInitialize(nullptr));
  // Far from the hidden temporary folders, which the chooser's tree leaves
  // out; many parts, so that shortening can leave some out.
  std::filesystem::path longFolder(L"C:\\mailsift-browse-test");
  for (wchar_t part = L'a'; part < L'e'; ++part) longFolder /= std::wstring(30, part);
  std::filesystem::create_directories(longFolder);
  // The new folder first: the chooser's tree of C:\ does not notice a
  // folder made after it listed C:\ once.
  for (const std::wstring& start :
       {longFolder.wstring(), std::wstring(L"C:\\"), std::wstring(L"C:\\windows\\system32")}) {
    statusSeen.clear();
    std::wstring title = L"$";  // dropped from the dialog, in the caller's variable too
    ::SetTimer(nullptr, 0, 1000, readStatusAndConfirm);
    EXPECT_EQ(BrowseFolder(title, start, nullptr, true, L"", true, false), start);
    EXPECT_EQ(title, L"");
    ASSERT_EQ(statusSeen.size(), 1u) << utf8(start);
    std::wstring whole = L"Auswahl: ";
    whole += start;
    if (start.size() > 100) {
      EXPECT_NE(statusSeen[0].find(L"..."), std::wstring::npos) << utf8(statusSeen[0]);
      EXPECT_LT(statusSeen[0].size(), whole.size());
    } else {
      EXPECT_EQ(statusSeen[0], whole);
    }
  }
  std::filesystem::remove_all(L"C:\\mailsift-browse-test");
}

// The real dialogs, answered by a timer in their own message loops.
std::function<void(HWND)> answerDialog;
VOID CALLBACK answerWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND dialog = ownDialog();
  if (dialog == nullptr) return;  // not open yet: the next tick
  ::KillTimer(nullptr, timer);
  answerDialog(dialog);
}

TEST(Win32DialogsTest, AnswersComeBackAsGiven) {
  Win32Dialogs dialogs;
  TempFolder folder;
  const auto press = [](WPARAM button) {
    return [button](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, button, 0); };
  };
  std::wstring preset;
  const auto type = [&preset](int field, const wchar_t* text) {
    return [&preset, field, text](HWND dialog) {
      wchar_t shown[64] = {};
      ::GetDlgItemTextW(dialog, field, shown, 64);
      preset = shown;
      ::SetDlgItemTextW(dialog, field, text);
      ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
  };
  constexpr int kInputField = 101, kFileNameBox = 0x47c;  // cmb13, the file name of the common dialogs
  struct Case {
    std::function<std::string()> ask;
    std::function<void(HWND)> answer;
    std::string expected, expectedPreset;
  };
  const Case cases[] = {
      {[&] { return dialogs.inputBox(nullptr, "Delimiter\r\nbr = break", "Type delimiter", ";br"); },
       type(kInputField, L"tb\u00E4"), "tb\u00E4", ";br"},
      {[&] { return dialogs.inputBox(nullptr, "URL", "URL", "http://"); }, press(IDCANCEL), "", ""},
      // No flags: a bare name comes back without an extension, not asked about.
      {[&] { return dialogs.showSave(nullptr, folder.path().string(), "Export list", "Files"); },
       type(kFileNameBox, L"out"), folder.path().string() + "\\out", ""},
      {[&] { return dialogs.askYesNo(nullptr, "Close?", "mailsift") ? "yes" : "no"; }, press(IDYES), "yes", ""},
      {[&] { return dialogs.askYesNo(nullptr, "Close?", "mailsift") ? "yes" : "no"; },
       [](HWND box) { ::PostMessageW(box, WM_COMMAND, LOWORD(::SendMessageW(box, DM_GETDEFID, 0, 0)), 0); }, "no", ""},
  };
  for (const Case& step : cases) {
    preset.clear();
    answerDialog = step.answer;
    ::SetTimer(nullptr, 0, 200, answerWhenShown);
    EXPECT_EQ(step.ask(), step.expected);
    EXPECT_EQ(utf8(preset), step.expectedPreset);
  }
}

}  // namespace
}  // namespace mailsift::test
