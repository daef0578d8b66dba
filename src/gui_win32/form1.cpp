// The main window over plain Win32. Positions and sizes come from the layout
// in twips, scaled to the system's dots per inch. The lists are owner-data
// list views over the controller's snapshots, so a million entries cost the
// view nothing: it asks only for the rows it draws.
#include "gui_win32/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include "app/display_text.h"
#include "gui/window_texts.h"
#include "gui_win32/resources.h"
#include "gui_win32/text_conversion.h"
#include "mailsift/version.h"
#include "results/csv_export.h"

namespace mailsift::gui_win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"MailsiftForm1";
constexpr wchar_t kPanelClass[] = L"MailsiftPanel";
constexpr int kTwipsPerPixel = 15;
constexpr std::size_t kWidestShownDuplicateCount = 8'888'888;
constexpr COLORREF kMidGrey = RGB(0x80, 0x80, 0x80);

// The wait panel at rest, and (in pixels at 96 dpi) while a scan shows its
// progress and Cancel.
constexpr Twips kPanelAtRest{2610, 4320, 1410, 420};
constexpr Twips kLabel4AtRest{45, 90, 1320, 240};
constexpr RECT kPanelScanning{121, 270, 321, 370};

// The wait panel holds Label4, the progress and Cancel; it hands their
// commands and colours to the window, as if they were the window's own.
LRESULT CALLBACK panelProcedure(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND || message == WM_CTLCOLORSTATIC) {
    return ::SendMessageW(::GetParent(panel), message, wParam, lParam);
  }
  return ::DefWindowProcW(panel, message, wParam, lParam);
}

void registerPanelClass(HINSTANCE instance) {
  WNDCLASSEXW panel{};
  panel.cbSize = sizeof(panel);
  if (::GetClassInfoExW(instance, kPanelClass, &panel)) return;
  panel.lpfnWndProc = panelProcedure;
  panel.hInstance = instance;
  panel.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.lpszClassName = kPanelClass;
  ::RegisterClassExW(&panel);
}

// EnumChildWindows' callback: gives `child` the font `font`.
BOOL CALLBACK setFontOf(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

std::string megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::vector<std::size_t> selectedRows(HWND list) {
  std::vector<std::size_t> rows;
  for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
    rows.push_back(static_cast<std::size_t>(row));
  }
  return rows;
}

// Copies `text` into a buffer of `capacity` characters that the list view
// owns, cut to fit and always ended by a NUL.
void copyInto(const std::wstring& text, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
  std::copy_n(text.data(), count, buffer);
  buffer[count] = L'\0';
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Form1::Form1(Dialogs& dialogs, InterfaceTexts texts, WindowSettings settings)
    : m_dialogs(dialogs), m_texts(std::move(texts)), m_settings(std::move(settings)) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  const HDC screen = ::GetDC(nullptr);
  m_dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);

  // Shared icons: the window class keeps them beyond this window's life.
  m_iconLarge =
      static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAILSIFT), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  m_iconSmall =
      static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_MAILSIFT), IMAGE_ICON,
                                      ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  m_donate = static_cast<HBITMAP>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(IDB_DONATE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  m_greyBrush = ::CreateSolidBrush(kMidGrey);
  registerPanelClass(instance);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  if (!::GetClassInfoExW(instance, kWindowClass, &form)) {
    form = WNDCLASSEXW{};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = windowProcedure;
    form.hInstance = instance;
    form.hIcon = m_iconLarge;
    form.hIconSm = m_iconSmall;
    form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kWindowClass;
    ::RegisterClassExW(&form);
  }

  // A fixed frame: no sizing border, no maximize or minimize button.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
  RECT frame{0, 0, pixels(6645), pixels(7935)};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + std::max(0L, (work.right - work.left - width) / 2);
  const int top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
  const std::wstring title = wide(gui::windowTitle(MAILSIFT_VERSION, m_settings.year, m_settings.makerUrl));
  ::CreateWindowExW(kExStyle, kWindowClass, title.c_str(), kStyle, left, top, width, height, nullptr, nullptr, instance,
                    this);
  if (m_window == nullptr) return;
  ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_iconLarge));
  ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_iconSmall));
  createControls();
  applyFonts();
  applyCaptions();
  ::SetTimer(m_window, Timer2, 100, nullptr);
}

Form1::~Form1() {
  m_controller.cancel();
  if (m_window != nullptr) ::DestroyWindow(m_window);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_font), static_cast<HGDIOBJ>(m_noticeFont),
                         static_cast<HGDIOBJ>(m_greyBrush), static_cast<HGDIOBJ>(m_donate)}) {
    if (object != nullptr) ::DeleteObject(object);
  }
}

int Form1::pixels(int twips) const noexcept { return ::MulDiv(twips, m_dpi, kTwipsPerPixel * 96); }

int Form1::scaled(int pixels96) const noexcept { return ::MulDiv(pixels96, m_dpi, 96); }

RECT Form1::pixelRect(const Twips& twips) const noexcept {
  const int left = pixels(twips.left);
  const int top = pixels(twips.top);
  return {left, top, left + pixels(twips.width), top + pixels(twips.height)};
}

HWND Form1::createChild(HWND parent, const wchar_t* windowClass, DWORD style, int id, const RECT& where,
                        DWORD exStyle) {
  return ::CreateWindowExW(exStyle, windowClass, L"", style | WS_CHILD | WS_VISIBLE, where.left, where.top,
                           where.right - where.left, where.bottom - where.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

HWND Form1::control(ControlId id) const noexcept {
  if (m_window == nullptr) return nullptr;
  const HWND direct = ::GetDlgItem(m_window, id);
  return direct != nullptr ? direct : ::GetDlgItem(::GetDlgItem(m_window, Picture1), id);
}

// The controls in their tab order; those that take the focus have a tab stop.
void Form1::createControls() {
  const auto button = [this](int id, const Twips& where, const wchar_t* caption = nullptr) {
    const HWND created = createChild(m_window, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, id, pixelRect(where));
    if (caption != nullptr) ::SetWindowTextW(created, caption);
    return created;
  };
  const auto list = [this](int id, const Twips& where, bool grey) {
    const HWND created =
        createChild(m_window, WC_LISTVIEWW,
                    WS_TABSTOP | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS,
                    id, pixelRect(where), WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(created, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
    RECT inside{};
    ::GetClientRect(created, &inside);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = inside.right - ::GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(created, 0, &column);
    if (grey) {
      ListView_SetBkColor(created, kMidGrey);
      ListView_SetTextBkColor(created, kMidGrey);
    }
    return created;
  };
  const auto label = [this](int id, const Twips& where, DWORD style = 0) {
    return createChild(m_window, WC_STATICW, SS_NOPREFIX | style, id, pixelRect(where));
  };

  list(List1, {90, 1530, 2760, 5910}, false);
  label(Label1, {90, 7560, 2760, 285}, WS_BORDER | SS_LEFTNOWORDWRAP);
  button(Command1, {90, 90, 1230, 510});
  list(List2, {3780, 1530, 2760, 5910}, true);
  button(Command2_0, {3105, 1620, 420, 420}, L"<");
  button(Command2_1, {3105, 2160, 420, 420}, L">");
  label(Label2, {3780, 7560, 2760, 285}, WS_BORDER | SS_LEFTNOWORDWRAP);
  label(Label3, {2925, 6525, 780, 510}, SS_CENTER);
  button(Command3, {2745, 90, 1185, 510});

  const HWND panel = createChild(m_window, kPanelClass, WS_BORDER | WS_CLIPSIBLINGS, Picture1, pixelRect(kPanelAtRest),
                                 WS_EX_CONTROLPARENT);
  createChild(panel, WC_STATICW, SS_NOPREFIX | SS_CENTER, Label4, pixelRect(kLabel4AtRest));
  createChild(panel, WC_STATICW, SS_NOPREFIX | SS_CENTER, Progress, {scaled(4), scaled(24), scaled(196), scaled(42)});
  createChild(panel, WC_STATICW, SS_NOPREFIX | SS_CENTER | SS_PATHELLIPSIS, ProgressPath,
              {scaled(4), scaled(44), scaled(196), scaled(62)});
  const HWND cancel = createChild(panel, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, CancelScan,
                                  {scaled(60), scaled(68), scaled(140), scaled(94)});
  ::SetWindowTextW(cancel, wide(gui::cancelCaption(m_texts)).c_str());
  for (const int hidden : {Progress, ProgressPath, CancelScan}) ::ShowWindow(::GetDlgItem(panel, hidden), SW_HIDE);
  ::ShowWindow(panel, SW_HIDE);

  button(Command4, {1440, 90, 1185, 510});
  button(Command5, {4050, 90, 1185, 510});
  button(Command6, {5355, 90, 1185, 510});
  // The donate picture is a button of its own drawing, so it takes the
  // focus and Space like the others.
  createChild(m_window, WC_BUTTONW, BS_OWNERDRAW | WS_TABSTOP, Picture2, pixelRect({90, 720, 2205, 705}));
  // Label5 reaches over the help button's corner: it lies beneath every
  // other control and does not draw over them, so "?" stays visible and
  // takes the mouse.
  const HWND label5 = label(Label5, {2295, 675, 4245, 780}, WS_CLIPSIBLINGS);
  button(Command7, {6210, 1125, 330, 330}, L"?");
  ::SetWindowPos(label5, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The message font of the system; the duplicate notice gets the largest
// size of it in which the notice with a seven-digit count fits whole.
void Form1::applyFonts() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  LOGFONTW font = metrics.lfMessageFont;
  m_font = ::CreateFontIndirectW(&font);

  const HWND notice = control(Label3);
  RECT room{};
  ::GetClientRect(notice, &room);
  const std::wstring sample = wide(gui::duplicateNotice(uiText(UiText::DuplicateNotice), kWidestShownDuplicateCount));
  const HDC context = ::GetDC(notice);
  for (LONG height = std::abs(font.lfHeight); height > 5; --height) {
    font.lfHeight = -height;
    const HFONT candidate = ::CreateFontIndirectW(&font);
    const HGDIOBJ before = ::SelectObject(context, candidate);
    RECT needed = room;
    ::DrawTextW(context, sample.c_str(), static_cast<int>(sample.size()), &needed, DT_CALCRECT | DT_CENTER);
    ::SelectObject(context, before);
    if (needed.right - needed.left <= room.right && needed.bottom - needed.top <= room.bottom) {
      m_noticeFont = candidate;
      break;
    }
    ::DeleteObject(candidate);
  }
  ::ReleaseDC(notice, context);

  ::EnumChildWindows(m_window, setFontOf, reinterpret_cast<LPARAM>(m_font));
  if (m_noticeFont != nullptr) ::SendMessageW(notice, WM_SETFONT, reinterpret_cast<WPARAM>(m_noticeFont), FALSE);
}

void Form1::applyCaptions() {
  const gui::WindowCaptions captions = gui::windowCaptions(m_texts);
  setText(Label5, captions.Label5);
  setText(Command1, captions.Command1);
  setText(Command4, captions.Command4);
  setText(Command3, captions.Command3);
  setText(Command5, captions.Command5);
  setText(Command6, captions.Command6);
  setText(Label4, captions.Label4);
}

void Form1::setText(ControlId id, const std::string& utf8Text) {
  ::SetWindowTextW(control(id), wide(utf8Text).c_str());
}

void Form1::show(int showCommand) {
  ::ShowWindow(m_window, showCommand);
  ::UpdateWindow(m_window);
  ::SetFocus(control(List1));
}

int Form1::run() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (m_window != nullptr && ::IsDialogMessageW(m_window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Form1::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->m_window = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->m_window = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return form->handle(message, wParam, lParam);
}

LRESULT Form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return onNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
      return onColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      onTimer(wParam);
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID != Picture2) break;
      ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
      BITMAP picture{};
      if (m_donate != nullptr && ::GetObjectW(m_donate, sizeof(picture), &picture) != 0) {
        const HDC source = ::CreateCompatibleDC(item.hDC);
        const HGDIOBJ before = ::SelectObject(source, m_donate);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::AlphaBlend(item.hDC, 0, 0, scaled(picture.bmWidth), scaled(picture.bmHeight), source, 0, 0, picture.bmWidth,
                     picture.bmHeight, blend);
        ::SelectObject(source, before);
        ::DeleteDC(source);
      }
      if ((item.itemState & ODS_FOCUS) != 0) ::DrawFocusRect(item.hDC, &item.rcItem);
      return TRUE;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == control(Picture2)) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_DESTROY:
      m_controller.cancel();
      for (const UINT_PTR timer : {Timer1, Timer2, PollTimer}) ::KillTimer(m_window, timer);
      // The only window: closing it ends the program.
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(m_window, message, wParam, lParam);
}

void Form1::onCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case Command1:
      Command1_Click();
      break;
    case Command4:
      Command4_Click();
      break;
    case Command3:
      Command3_Click();
      break;
    case Command5:
      Command5_Click();
      break;
    case Command6:
      Command6_Click();
      break;
    case Command7:
      Command7_Click();
      break;
    case Command2_0:
      Command2_Click(0);
      break;
    case Command2_1:
      Command2_Click(1);
      break;
    case Picture2:
      Picture2_Click();
      break;
    case CancelScan:
      cancelScan();
      break;
    case IDCANCEL:
      onEscape();
      break;  // Esc, sent by the dialog keyboard handling
    default:
      break;
  }
}

LRESULT Form1::onNotify(const NMHDR& header) {
  if (header.idFrom != List1 && header.idFrom != List2) return 0;
  const ListSnapshot& entries = header.idFrom == List1 ? *m_shown.list1 : *m_shown.list2;
  switch (header.code) {
    case LVN_GETDISPINFOW: {
      LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header))->item;
      if ((item.mask & LVIF_TEXT) == 0 || item.iItem < 0) return 0;
      const auto row = static_cast<std::size_t>(item.iItem);
      m_itemText = row < entries.size() ? wide(entries.at(row)) : std::wstring();
      copyInto(m_itemText, item.pszText, item.cchTextMax);
      return 0;
    }
    case LVN_GETINFOTIPW: {
      // The tooltip shows an entry that is wider than the list whole.
      auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(const_cast<NMHDR*>(&header));
      const auto row = static_cast<std::size_t>(tip.iItem);
      if (tip.iItem >= 0 && row < entries.size()) copyInto(wide(entries.at(row)), tip.pszText, tip.cchTextMax);
      return 0;
    }
    case LVN_KEYDOWN: {
      const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
      if (::GetKeyState(VK_CONTROL) >= 0) return 0;
      if (key.wVKey == 'C') copySelection(header.hwndFrom, entries);
      if (key.wVKey == 'A') ListView_SetItemState(header.hwndFrom, -1, LVIS_SELECTED, LVIS_SELECTED);
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT Form1::onColour(HDC context, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  if (id == Label2) {
    ::SetBkColor(context, kMidGrey);
    return reinterpret_cast<LRESULT>(m_greyBrush);
  }
  ::SetBkColor(context, ::GetSysColor(COLOR_BTNFACE));
  if (id == Label3) ::SetTextColor(context, kMidGrey);
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void Form1::onTimer(UINT_PTR id) {
  if (id == Timer1) Timer1_Timer();
  if (id == Timer2) Timer2_Timer();
  if (id == PollTimer) pollScan();
}

// The counters count the lists as shown: the lists themselves belong to the
// scan's thread while a scan runs, and the snapshots are what the user sees.
void Form1::Eintrag() {
  setText(Label1, gui::counterCaption(uiText(UiText::FoundCounter), m_shown.list1->size()));
  setText(Label2, gui::counterCaption(uiText(UiText::UnknownCounter), m_shown.list2->size()));
}

// A scan writes the counters after every file; the window shows that at each
// publication of the lists, together with the lists themselves. A new
// publication ends the selection, which named rows of the old one.
void Form1::showLists() {
  PublishedLists published = m_controller.published();
  if (published.version == m_shown.version) return;
  m_shown = std::move(published);
  for (const auto& [id, entries] : {std::pair{List1, m_shown.list1.get()}, std::pair{List2, m_shown.list2.get()}}) {
    const HWND list = control(id);
    // Emptying the list drops its selection in one step; deselecting each
    // of a million rows takes minutes in some list views. An unselected
    // list keeps its scroll position.
    if (ListView_GetSelectedCount(list) > 0) ListView_SetItemCountEx(list, 0, 0);
    // A list view counts rows in int; more entries than that are not shown.
    const auto rows = static_cast<int>(std::min<std::size_t>(entries->size(), INT_MAX));
    ListView_SetItemCountEx(list, rows, LVSICF_NOSCROLL);
    ::InvalidateRect(list, nullptr, TRUE);
  }
  Eintrag();
}

// Every scan starts by emptying both lists; the counters follow at once, so
// they never show numbers of lists that are gone.
void Form1::clearLists() {
  m_controller.lists().clear();
  m_controller.publish();
  showLists();
}

void Form1::Command1_Click() {
  if (m_scanning) return;
  clearLists();
  const std::string path =
      m_dialogs.showOpen(m_window, m_settings.programFolder, uiText(UiText::OpenTitle), uiText(UiText::OpenFilter));
  // Nothing chosen, or a path without a file name after its last separator.
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos || separator == path.size() - 1) return;
  startScan({SourceKind::File, path});
}

void Form1::Command4_Click() {
  if (m_scanning) return;
  clearLists();
  const std::string folder = m_dialogs.browseFolder(m_window, uiText(UiText::FolderPrompt), m_settings.programFolder);
  if (isBlank(folder)) return;
  startScan({SourceKind::Folder, folder});
}

void Form1::Command3_Click() {
  if (m_scanning) return;
  clearLists();
  const std::string answer = m_dialogs.inputBox(m_window, "URL", "URL", "http://");
  // A blank answer downloads nothing, but the scan still closes as usual.
  startScan({SourceKind::Url, answer});
}

void Form1::Command5_Click() {
  if (m_scanning) return;
  const std::string prompt = uiText(UiText::DelimiterPrompt) + "\r\n" + uiText(UiText::DelimiterHelp);
  const std::string answer =
      m_dialogs.inputBox(m_window, prompt, uiText(UiText::DelimiterTitle), std::string(kDefaultDelimiterAnswer));
  const std::optional<std::string> delimiter = exportDelimiter(answer);
  if (!delimiter) return;
  const std::string path =
      m_dialogs.showSave(m_window, m_settings.programFolder, uiText(UiText::ExportTitle), uiText(UiText::ExportFilter));
  if (isBlank(path)) return;
  const std::optional<platform::Failure> failure = exportList1(m_controller.lists(), *delimiter, path);
  if (!failure) {
    m_exportedSinceScan = true;
  } else {
    m_dialogs.messageBox(m_window, exportErrorDescription(*failure), gui::errorBoxTitle(failure->systemError),
                         MessageIcon::Critical);
  }
}

void Form1::Command6_Click() { ::DestroyWindow(m_window); }

void Form1::Command7_Click() {
  m_dialogs.messageBox(m_window, uiText(UiText::HelpText), uiText(UiText::HelpTitle), MessageIcon::None);
}

void Form1::Command2_Click(int index) {
  if (m_scanning) return;
  // "<" moves the selection of List2 into List1, ">" that of List1 into
  // List2; duplicates stay until the next scan removes them.
  if (index == 0) {
    m_controller.lists().moveSelected(ListId::List2, selectedRows(control(List2)));
  } else if (index == 1) {
    m_controller.lists().moveSelected(ListId::List1, selectedRows(control(List1)));
  }
  // A move with nothing selected still publishes, so the counters are written.
  m_controller.publish();
  showLists();
}

void Form1::Picture2_Click() { m_dialogs.openWebPage(m_settings.donateUrl); }

void Form1::Timer1_Timer() {
  ++m_timer1Ticks;
  if (m_timer1Ticks == 10) {
    setText(Label3, "");
    m_timer1Ticks = 0;
    ::KillTimer(m_window, Timer1);
    m_timer1Running = false;
  }
}

void Form1::Timer2_Timer() { ::EnableWindow(control(Command5), !m_scanning && !m_shown.list1->empty()); }

void Form1::startScan(ScanSource source) {
  setScanning(true);
  m_exportedSinceScan = false;
  ScanOptions options;
  options.jobs = m_settings.jobs;
  options.decode.mode = m_settings.decode;
  options.rules = m_settings.rules;
  m_controller.start({std::move(source)}, std::move(options));
  ::SetTimer(m_window, PollTimer, 100, nullptr);
}

void Form1::pollScan() {
  if (!m_scanning) return;
  const ProgressReport progress = m_controller.progress();
  if (progress.kind == SourceKind::Folder) {
    setText(Progress, gui::folderProgress(m_texts, progress.filesDone, progress.filesListed, progress.listingDone));
    setText(ProgressPath, displayName(progress.currentPath));
  } else {
    setText(Progress, megabytes(progress.bytesDone));
  }
  showLists();
  if (!m_controller.isRunning()) finishScan();
}

void Form1::finishScan() {
  ::KillTimer(m_window, PollTimer);
  const std::optional<ScanReport> report = m_controller.takeReport();
  showLists();
  if (report && report->anyFileScanned) {
    setText(Label1, gui::counterCaption(uiText(UiText::FoundCounter), report->last.found));
    setText(Label2, gui::counterCaption(uiText(UiText::UnknownCounter), report->last.unknown));
    setText(Label3, gui::duplicateNotice(uiText(UiText::DuplicateNotice), report->last.removedFromList1));
    // A running count is not restarted by a new notice.
    if (!m_timer1Running) {
      ::SetTimer(m_window, Timer1, 1000, nullptr);
      m_timer1Running = true;
    }
  } else {
    Eintrag();
  }
  setScanning(false);
}

void Form1::cancelScan() {
  if (m_scanning) m_controller.cancel();
}

void Form1::setScanning(bool scanning) {
  m_scanning = scanning;
  for (const ControlId id : {Command1, Command3, Command4, Command5, Command2_0, Command2_1}) {
    ::EnableWindow(control(id), !scanning);
  }
  if (!scanning) Timer2_Timer();
  const HWND panel = control(Picture1);
  const RECT place = scanning ? RECT{scaled(kPanelScanning.left), scaled(kPanelScanning.top),
                                     scaled(kPanelScanning.right), scaled(kPanelScanning.bottom)}
                              : pixelRect(kPanelAtRest);
  const RECT label = scanning ? RECT{scaled(3), scaled(6), scaled(197), scaled(22)} : pixelRect(kLabel4AtRest);
  ::SetWindowPos(panel, scanning ? HWND_TOP : nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOACTIVATE | (scanning ? 0u : SWP_NOZORDER));
  ::MoveWindow(control(Label4), label.left, label.top, label.right - label.left, label.bottom - label.top, TRUE);
  setText(Progress, "");
  setText(ProgressPath, "");
  for (const ControlId id : {Progress, ProgressPath, CancelScan}) {
    ::ShowWindow(control(id), scanning ? SW_SHOWNA : SW_HIDE);
  }
  ::ShowWindow(panel, scanning ? SW_SHOWNA : SW_HIDE);
  // A disabled button cannot keep the focus: Cancel takes it during a
  // scan, the first list afterwards.
  const HWND focus = ::GetFocus();
  if (scanning) {
    ::SetFocus(control(CancelScan));
  } else if (focus == nullptr || focus == control(CancelScan) || !::IsWindowEnabled(focus)) {
    ::SetFocus(control(List1));
  }
  ::UpdateWindow(m_window);
}

void Form1::onEscape() {
  // Esc stops a running scan; otherwise it is the Quit button's key, but
  // one pressed by mistake must not throw away a scan's results.
  if (m_scanning) {
    cancelScan();
  } else if (mayCloseOnEscape()) {
    Command6_Click();
  }
}

bool Form1::mayCloseOnEscape() {
  const bool holdsResults = !m_shown.list1->empty() || !m_shown.list2->empty();
  if (!holdsResults || m_exportedSinceScan) return true;
  return m_dialogs.askYesNo(m_window, gui::unexportedCloseQuestion(m_texts), utf8(windowText(m_window)));
}

void Form1::copySelection(HWND list, const ListSnapshot& entries) {
  std::wstring text;
  for (const std::size_t row : selectedRows(list)) {
    if (row >= entries.size()) continue;
    if (!text.empty()) text += L"\r\n";
    text += wide(entries.at(row));
  }
  if (!::OpenClipboard(m_window)) return;
  ::EmptyClipboard();
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(::GlobalLock(memory)));
    ::GlobalUnlock(memory);
    if (::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) ::GlobalFree(memory);
  }
  ::CloseClipboard();
}

}  // namespace mailsift::gui_win32
