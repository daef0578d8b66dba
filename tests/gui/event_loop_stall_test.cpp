// A scan that finds 200,000 addresses must not freeze the window: a timer
// ticking every 10 ms on the event thread measures the longest gap while
// the scan runs and the lists fill. Labelled slow.
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>

#include "fake_dialogs.h"
#include "gui/form1.h"
#include "support/temp_folder.h"

namespace mailsift::test {

class EventLoopStallTest : public QObject {
  Q_OBJECT

 private slots:
  void scanOf200000AddressesKeepsTheEventLoopResponsive() {
    TempFolder folder;
    std::string content;
    content.reserve(200000 * 30);
    for (int i = 0; i < 200000; ++i) {
      content += "person" + std::to_string(i * 7919 % 1000003) + "@host" + std::to_string(i % 997) + ".example.com\n";
    }
    const std::string path = folder.write("many.txt", content);

    FakeDialogs dialogs;
    gui::Form1 window(dialogs, LoadUiTexts(0), gui::WindowSettings{});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    dialogs.openAnswers.push_back(QString::fromStdString(path));

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longestGap = std::max(longestGap, now - last);
      last = now;
    });
    clock.start();
    ticker.start();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isScanning(), 120000);
    QTest::qWait(200);  // the view's first paint of the full list
    ticker.stop();

    const auto* list1 = window.findChild<QListView*>(QStringLiteral("List1"));
    QCOMPARE(list1->model()->rowCount(), 200000);
    qInfo("longest event-loop gap during the scan: %lld ms (scan and display took %lld ms)", longestGap,
          clock.elapsed());
    // 100 ms is the aim; the bound leaves room for a loaded machine but
    // fails when the list work lands on the event thread.
    QVERIFY2(longestGap < 250, qPrintable(QStringLiteral("longest gap %1 ms").arg(longestGap)));
  }
};

}  // namespace mailsift::test

QTEST_MAIN(mailsift::test::EventLoopStallTest)
#include "event_loop_stall_test.moc"
