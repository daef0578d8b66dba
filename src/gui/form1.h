// The program's only window: five scan and action buttons, the two result
// lists with the move buttons between them, the counters, the duplicate
// notice, the wait panel, the donate picture, help and two timers. It shows
// and drives the core; scans run on the scan controller's thread.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "app/scan_controller.h"
#include "app/ui_texts.h"
#include "gui/dialogs.h"

class QFrame;
class QListView;
class QPushButton;
class QTimer;

namespace mailsift::gui {

class ResultListModel;

// Build-time and start-up facts the window shows or uses.
struct WindowSettings {
  QString makerUrl;                        // shown in the title
  QString donateUrl;                       // opened by the donate picture
  int year = 2026;                         // the year of the local clock at start-up
  QString programFolder;                   // where the file dialogs open
  unsigned jobs = 0;                       // threads for folder scans; 0: one per core
  DecodeMode decode = DecodeMode::Auto;    // decoded views of files and pages (--decode=)
  ScanRules rules = ScanRules::Specified;  // the rules of every scan (--rules= on the command line)
};

// A picture that acts as a button: a click, Space or Enter emits clicked().
class ClickablePicture final : public QLabel {
  Q_OBJECT

 public:
  explicit ClickablePicture(QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class Form1 final : public QWidget {
  Q_OBJECT

 public:
  // `dialogs` must outlive the window. `texts` decide the language.
  Form1(Dialogs& dialogs, InterfaceTexts texts, WindowSettings settings, QWidget* parent = nullptr);
  ~Form1() override;

  const InterfaceTexts& texts() const noexcept { return m_texts; }
  bool isScanning() const noexcept { return m_scanning; }
  // The duplicate-notice tick count, reset at the tenth tick.
  std::int16_t timer1Ticks() const noexcept { return m_timer1Ticks; }

 public slots:
  void Command1_Click();           // FILEscan
  void Command4_Click();           // DIRscan
  void Command3_Click();           // URLscan
  void Command5_Click();           // export
  void Command6_Click();           // quit
  void Command7_Click();           // help
  void Command2_Click(int index);  // move: 0 "<", 1 ">"
  void Picture2_Click();           // donate
  void Timer1_Timer();             // duplicate-notice clearing, every second while on
  void Timer2_Timer();             // export-button guard, every 100 ms
  void cancelScan();               // Esc or the panel's Cancel during a scan
  void pollScan();                 // progress and lists of a running scan, and its end

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void applyCaptions();
  void clearLists();
  void Eintrag();  // writes the counters of both lists
  void showLists();
  void startScan(ScanSource source);
  void finishScan();
  void setScanning(bool scanning);
  // Puts the selected entries of `view` on the clipboard, one per line, in
  // the list's order.
  void copySelection(const QListView& view);
  // True when Esc may close the window: nothing would be lost, or the user
  // says Yes to losing it.
  bool mayCloseOnEscape();
  QString uiText(UiText id) const;

  Dialogs& m_dialogs;
  const InterfaceTexts m_texts;
  WindowSettings m_settings;
  ScanController m_controller;
  bool m_scanning = false;
  bool m_exportedSinceScan = false;  // List1 was written to a file after the last scan
  std::int16_t m_timer1Ticks = 0;
  std::uint64_t m_shownVersion = 0;

  QPushButton* m_command1 = nullptr;
  QPushButton* m_command3 = nullptr;
  QPushButton* m_command4 = nullptr;
  QPushButton* m_command5 = nullptr;
  QPushButton* m_command6 = nullptr;
  QPushButton* m_command7 = nullptr;
  QPushButton* m_command2[2] = {nullptr, nullptr};
  QListView* m_list1 = nullptr;
  QListView* m_list2 = nullptr;
  ResultListModel* m_model1 = nullptr;
  ResultListModel* m_model2 = nullptr;
  QLabel* m_label1 = nullptr;
  QLabel* m_label2 = nullptr;
  QLabel* m_label3 = nullptr;
  QLabel* m_label4 = nullptr;
  QLabel* m_label5 = nullptr;
  QFrame* m_picture1 = nullptr;
  QLabel* m_progress = nullptr;
  QPushButton* m_cancel = nullptr;
  ClickablePicture* m_picture2 = nullptr;
  QTimer* m_timer1 = nullptr;
  QTimer* m_timer2 = nullptr;
  QTimer* m_poll = nullptr;
};

}  // namespace mailsift::gui
