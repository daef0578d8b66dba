// Opens the window, scans one file in it as a user would through FILEscan,
// and saves a picture of the window: window_screenshot SAMPLE OUT.png.
// Used by scripts/screenshot under a virtual X display.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <cstdio>

#include "fake_dialogs.h"
#include "gui/form1.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_screenshot SAMPLE OUT.png\n");
    return 2;
  }
  mailsift::test::FakeDialogs dialogs;
  dialogs.openAnswers.push_back(QString::fromLocal8Bit(argv[1]));
  mailsift::gui::WindowSettings settings;
  settings.makerUrl = QStringLiteral(MAILSIFT_MAKER_URL);
  settings.year = QDate::currentDate().year();
  mailsift::gui::Form1 window(dialogs, mailsift::LoadUiTexts(0), settings);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.Command1_Click();
  QElapsedTimer waited;
  waited.start();
  while (window.isScanning() && waited.elapsed() < 30000) QTest::qWait(50);
  QTest::qWait(300);
  const QPixmap picture = window.screen()->grabWindow(window.winId());
  if (!picture.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot save %s\n", argv[2]);
    return 1;
  }
  return 0;
}
