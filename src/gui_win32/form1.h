// The program's only window on Windows: five scan and action buttons, the
// two result lists with the move buttons between them, the counters, the
// duplicate notice, the wait panel, the donate picture, help and two timers.
// It shows and drives the core; scans run on the scan controller's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/scan_controller.h"
#include "app/ui_texts.h"
#include "gui_win32/dialogs.h"

namespace mailsift::gui_win32 {

// Build-time and start-up facts the window shows or uses.
struct WindowSettings {
  std::string makerUrl;                    // shown in the title
  std::string donateUrl;                   // opened by the donate picture
  int year = 2026;                         // the year of the local clock at start-up
  std::string programFolder;               // where the file dialogs open
  unsigned jobs = 0;                       // threads for folder scans; 0: one per core
  DecodeMode decode = DecodeMode::Auto;    // decoded views of files and pages (--decode=)
  ScanRules rules = ScanRules::Specified;  // the rules of every scan (--rules=)
};

// The control identifiers, for WM_COMMAND and GetDlgItem. The wait panel's
// parts (Label4, Progress, ProgressPath, CancelScan) are children of
// Picture1; every other control is a child of the window.
enum ControlId : int {
  Command1 = 101,
  Command2_0,
  Command2_1,
  Command3,
  Command4,
  Command5,
  Command6,
  Command7,
  List1,
  List2,
  Label1,
  Label2,
  Label3,
  Label4,
  Label5,
  Picture1,
  Picture2,
  Progress,
  ProgressPath,
  CancelScan,
};

// The timers, by their identifiers in WM_TIMER.
enum TimerId : UINT_PTR {
  Timer1 = 1,    // duplicate-notice clearing, every second while on
  Timer2 = 2,    // export-button guard, every 100 ms
  PollTimer = 3  // progress and lists of a running scan, every 100 ms while it runs
};

// A control's place in twips (1/15 of a pixel at 96 dots per inch).
struct Twips {
  int left, top, width, height;
};

class Form1 {
 public:
  // Creates the window, hidden, centred on the work area. `dialogs` must
  // outlive the window; `texts` decide the language. Closing the window
  // (Quit, the close box, Esc) destroys it and posts WM_QUIT.
  Form1(Dialogs& dialogs, InterfaceTexts texts, WindowSettings settings);
  // Stops a running scan and destroys the window if it still exists.
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The window; null once it has been destroyed.
  HWND window() const noexcept { return m_window; }
  // A control by its identifier (those of the wait panel included).
  HWND control(ControlId id) const noexcept;
  bool isScanning() const noexcept { return m_scanning; }
  // The duplicate-notice tick count, reset at the tenth tick.
  std::int16_t timer1Ticks() const noexcept { return m_timer1Ticks; }

  // Shows the window with `showCommand` and gives List1 the focus.
  void show(int showCommand);
  // Runs the thread's message loop with the window's keyboard handling
  // (Tab, Alt access keys, Esc) until WM_QUIT; returns its exit code.
  int run();

 private:
  static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void applyCaptions();
  void applyFonts();
  HWND createChild(HWND parent, const wchar_t* windowClass, DWORD style, int id, const RECT& where, DWORD exStyle = 0);
  void onCommand(int id, int code);
  LRESULT onNotify(const NMHDR& header);
  LRESULT onColour(HDC context, HWND control);
  void onTimer(UINT_PTR id);

  void Command1_Click();           // FILEscan
  void Command4_Click();           // DIRscan
  void Command3_Click();           // URLscan
  void Command5_Click();           // export
  void Command6_Click();           // quit
  void Command7_Click();           // help
  void Command2_Click(int index);  // move: 0 "<", 1 ">"
  void Picture2_Click();           // donate
  void Timer1_Timer();
  void Timer2_Timer();

  void clearLists();
  void Eintrag();  // writes the counters of both lists
  void showLists();
  void startScan(ScanSource source);
  void pollScan();
  void finishScan();
  void cancelScan();
  void setScanning(bool scanning);
  void onEscape();
  // True when Esc may close the window: nothing would be lost, or the user
  // says Yes to losing it.
  bool mayCloseOnEscape();
  // Puts the selected entries of `list` on the clipboard, one per line, in
  // the list's order.
  void copySelection(HWND list, const ListSnapshot& entries);
  void setText(ControlId id, const std::string& utf8Text);
  std::string uiText(UiText id) const { return m_texts.text(id); }
  int pixels(int twips) const noexcept;
  RECT pixelRect(const Twips& twips) const noexcept;
  int scaled(int pixels96) const noexcept;

  Dialogs& m_dialogs;
  const InterfaceTexts m_texts;
  WindowSettings m_settings;
  ScanController m_controller;
  PublishedLists m_shown;  // the snapshots the lists show
  HWND m_window = nullptr;
  bool m_scanning = false;
  bool m_exportedSinceScan = false;  // List1 was written to a file after the last scan
  bool m_timer1Running = false;
  std::int16_t m_timer1Ticks = 0;
  int m_dpi = 96;
  std::wstring m_itemText;  // the text of the list entry last asked for
  HFONT m_font = nullptr;
  HFONT m_noticeFont = nullptr;
  HBRUSH m_greyBrush = nullptr;
  HBITMAP m_donate = nullptr;
  HICON m_iconLarge = nullptr;
  HICON m_iconSmall = nullptr;
};

}  // namespace mailsift::gui_win32
