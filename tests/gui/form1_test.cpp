// The window as a user meets it, on the offscreen platform: layout, texts,
// every button, the timers and scans that run while the window stays live.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <tuple>
#include <vector>

#include "fake_dialogs.h"
#include "gui/form1.h"
#include "mailsift/version.h"
#include "support/http_test_server.h"
#include "support/temp_folder.h"

namespace mailsift::test {

class Form1Test : public QObject {
  Q_OBJECT

 private:
  FakeDialogs m_dialogs;
  std::unique_ptr<gui::Form1> m_window;

  gui::Form1& open(std::int16_t country = 0, ScanRules rules = ScanRules::Specified, unsigned jobs = 0) {
    m_dialogs = FakeDialogs();
    gui::WindowSettings settings;
    settings.rules = rules;
    settings.jobs = jobs;
    settings.makerUrl = QStringLiteral("https://maker.example");
    settings.donateUrl = QStringLiteral("https://maker.example/donate");
    settings.year = 2031;
    settings.programFolder = QStringLiteral("/opt/mailsift");
    m_window = std::make_unique<gui::Form1>(m_dialogs, LoadUiTexts(country), settings);
    m_window->show();
    return *m_window;
  }
  template <class T>
  T* control(const char* name) {
    T* found = m_window->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no control %s", name);
    return found;
  }
  QString text(const char* label) { return control<QLabel>(label)->text(); }
  // Whether the label's text is shown whole: nothing cut at its edges.
  bool textFits(const char* name) {
    const QLabel* label = control<QLabel>(name);
    const QSize needed = label->sizeHint();
    if (needed.width() <= label->width() && needed.height() <= label->height()) return true;
    qWarning("%s needs %dx%d for \"%s\", has %dx%d", name, needed.width(), needed.height(), qPrintable(label->text()),
             label->width(), label->height());
    return false;
  }
  QStringList rows(const char* list) {
    QStringList all;
    const QAbstractItemModel* model = control<QListView>(list)->model();
    for (int row = 0; row < model->rowCount(); ++row) all << model->index(row, 0).data().toString();
    return all;
  }
  void select(const char* list, const std::vector<int>& rowsToSelect) {
    QListView* view = control<QListView>(list);
    view->selectionModel()->clearSelection();
    for (const int row : rowsToSelect) {
      view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select);
    }
  }
  bool waitForScan() {
    QElapsedTimer waited;
    waited.start();
    while (m_window->isScanning() && waited.elapsed() < 30000) QTest::qWait(20);
    return !m_window->isScanning();
  }
  void click(const char* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
  // A click at the control's centre as the mouse makes it: through the
  // window, so whatever lies on top there receives it.
  void clickOnScreen(const char* name) {
    QWidget* target = control<QWidget>(name);
    QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {},
                      target->mapTo(m_window.get(), target->rect().center()));
  }

 private slots:
  void cleanup() { m_window.reset(); }

  void labelsNeverReadNamesAsMarkup() {
    open();
    const QList<QLabel*> labels = m_window->findChildren<QLabel*>();
    QVERIFY(labels.size() >= 7);
    for (const QLabel* label : labels) {
      QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    }
  }

  void layoutAndCaptionsInEnglish() {
    gui::Form1& window = open(1);
    QCOMPARE(window.size(), QSize(443, 529));
    // Centred on the screen, give or take the window frame.
    const QPoint offCentre =
        window.geometry().center() - QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 12, "the window opens centred");
    QCOMPARE(window.windowTitle(),
             QString::fromUtf8("mailsift " MAILSIFT_VERSION " \u00A9 2031 https://maker.example"));
    const struct {
      const char* name;
      QRect where;
    } layout[] = {
        {"Command1", {6, 6, 82, 34}},       {"Command4", {96, 6, 79, 34}},      {"Command3", {183, 6, 79, 34}},
        {"Command5", {270, 6, 79, 34}},     {"Command6", {357, 6, 79, 34}},     {"Command7", {414, 75, 22, 22}},
        {"Picture2", {6, 48, 147, 47}},     {"Label5", {153, 45, 283, 52}},     {"List1", {6, 102, 184, 394}},
        {"Command2_0", {207, 108, 28, 28}}, {"Command2_1", {207, 144, 28, 28}}, {"List2", {252, 102, 184, 394}},
        {"Label1", {6, 504, 184, 19}},      {"Label2", {252, 504, 184, 19}},    {"Label3", {195, 435, 52, 34}},
        {"Picture1", {174, 288, 94, 28}},   {"Label4", {3, 6, 88, 16}},
    };
    for (const auto& item : layout) {
      QWidget* widget = control<QWidget>(item.name);
      QVERIFY2(widget->geometry() == item.where, item.name);
    }
    QCOMPARE(control<QPushButton>("Command1")->text(), QStringLiteral("&FILEscan"));
    QCOMPARE(control<QPushButton>("Command4")->text(), QStringLiteral("&DIRscan"));
    QCOMPARE(control<QPushButton>("Command3")->text(), QStringLiteral("&URLscan"));
    QCOMPARE(control<QPushButton>("Command5")->text(), QStringLiteral("&Export"));
    QCOMPARE(control<QPushButton>("Command6")->text(), QStringLiteral("&Quit"));
    QCOMPARE(control<QPushButton>("Command2_0")->text(), QStringLiteral("<"));
    QCOMPARE(control<QPushButton>("Command2_1")->text(), QStringLiteral(">"));
    QCOMPARE(text("Label4"), QStringLiteral("wait"));
    QCOMPARE(text("Label5"), QString());
    QVERIFY(!control<QWidget>("Picture1")->isVisible());
    QCOMPARE(control<QLabel>("Picture2")->pixmap().size(), QSize(147, 47));
    QCOMPARE(window.windowIcon().availableSizes().value(0), QSize(23, 24));
    QCOMPARE(control<QListView>("List2")->palette().color(QPalette::Base), QColor(0x80, 0x80, 0x80));
    QCOMPARE(control<QLabel>("Label2")->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
    QCOMPARE(control<QLabel>("Label3")->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    QCOMPARE(control<QListView>("List1")->selectionMode(), QAbstractItemView::ExtendedSelection);
  }

  void captionsInGerman() {
    open(49);
    QCOMPARE(control<QPushButton>("Command1")->text(), QStringLiteral("Datei-scan"));
    QCOMPARE(control<QPushButton>("Command4")->text(), QStringLiteral("Ordner-scan"));
    QCOMPARE(control<QPushButton>("Command3")->text(), QStringLiteral("URL-scan"));
    QCOMPARE(control<QPushButton>("Command5")->text(), QStringLiteral("CSV Export"));
    QCOMPARE(control<QPushButton>("Command6")->text(), QStringLiteral("Ende"));
    QCOMPARE(text("Label4"), QStringLiteral("Warten"));
    QCOMPARE(control<QPushButton>("CancelScan")->text(), QStringLiteral("Abbrechen"));
    QVERIFY(text("Label5").startsWith(QString::fromUtf8("Wenn Ihnen dieses Programm gef\u00E4llt")));
    QVERIFY(text("Label5").endsWith(QStringLiteral("\nDanke, Tovrik")));
  }

  void tabOrderAndFocus() {
    gui::Form1& window = open();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(QApplication::focusWidget(), control<QWidget>("List1"));
    const char* order[] = {"List1",    "Command1", "List2",    "Command2_0", "Command2_1", "Command3",
                           "Command4", "Command5", "Command6", "Picture2",   "Command7"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
      QWidget* next = control<QWidget>(order[i])->nextInFocusChain();
      while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
      QVERIFY2(next == control<QWidget>(order[i + 1]), order[i]);
    }
  }

  void fileScanEndToEnd() {
    TempFolder folder;
    const std::string path = folder.write("mail.txt", "Zed@Example.com amy@example.org zed@example.com x@y.test");
    gui::Form1& window = open();
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    QCOMPARE(rows("List1"), (QStringList{"amy@example.org", "zed@example.com"}));
    QCOMPARE(rows("List2"), QStringList{"x@y.test"});
    QCOMPARE(text("Label1"), QStringLiteral("Found:2"));
    QCOMPARE(text("Label2"), QStringLiteral("Unknown:1"));
    QCOMPARE(text("Label3"), QStringLiteral("Duplicate\n1"));
    QVERIFY(textFits("Label3"));
    QVERIFY(!control<QWidget>("Picture1")->isVisible());
    QCOMPARE(m_dialogs.opens.size(), std::size_t{1});
    QCOMPARE(m_dialogs.opens[0].title, QStringLiteral("Open file"));
    QCOMPARE(m_dialogs.opens[0].prompt, QStringLiteral("Files"));
    QCOMPARE(m_dialogs.opens[0].folder, QStringLiteral("/opt/mailsift"));
    QVERIFY(window.timer1Ticks() == 0);

    // A cancelled dialog leaves the lists empty, and the counters say so.
    click("Command1");
    QVERIFY(rows("List1").isEmpty());
    QCOMPARE(text("Label1"), QStringLiteral("Found:0"));
    QCOMPARE(text("Label2"), QStringLiteral("Unknown:0"));
  }

  void extendedRulesFromTheSettings() {
    TempFolder folder;
    const std::string path = folder.write("mail.txt", "ab+c@example.com, xx [at] yy.de.");
    open(0, ScanRules::Extended);
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    QCOMPARE(rows("List1"), (QStringList{"ab+c@example.com", "xx@yy.de"}));
  }

  void dirScanEndToEnd() {
    TempFolder folder;
    folder.write("tree/a.txt", "aa@example.com");
    folder.write("tree/.hidden/b.txt", "bb@example.com unknown@host.test");
    folder.write("tree/c/d.txt", "aa@example.com dd@example.de");
    open(49);
    m_dialogs.folderAnswers.push_back(QString::fromStdString(folder.file("tree")));
    click("Command4");
    QVERIFY(waitForScan());
    QCOMPARE(m_dialogs.folders.at(0).title, QStringLiteral("Verzeichnis scannen"));
    QCOMPARE(m_dialogs.folders.at(0).folder, QStringLiteral("/opt/mailsift"));
    QCOMPARE(rows("List1"), (QStringList{"aa@example.com", "bb@example.com", "dd@example.de"}));
    QCOMPARE(rows("List2"), QStringList{"unknown@host.test"});
    QCOMPARE(text("Label1"), QStringLiteral("Gefunden:3"));
    QCOMPARE(text("Label2"), QStringLiteral("Unerkannt:1"));
    QCOMPARE(text("Label3"), QStringLiteral("Doppelte\n1"));
    QVERIFY(textFits("Label3"));
  }

  void urlScanEndToEnd() {
    TempFolder folder;
    const std::string downloads = folder.file("downloads");
    std::filesystem::create_directories(downloads);
    qputenv("TEMP", QByteArray::fromStdString(downloads));
    HttpTestServer server;
    open();
    m_dialogs.inputAnswers.push_back(QString::fromStdString(server.url("/page.html")));
    click("Command3");
    QVERIFY(waitForScan());
    QCOMPARE(m_dialogs.inputs.at(0).preset, QStringLiteral("http://"));
    QCOMPARE(m_dialogs.inputs.at(0).title, QStringLiteral("URL"));
    QCOMPARE(rows("List1"), (QStringList{"anna.berg@example.com", "office@firma.de"}));
    QCOMPARE(rows("List2"), QStringList{"someone@host.invalidtld."});
    QVERIFY(std::filesystem::is_empty(downloads));

    // A blank answer downloads nothing; the scan still closes.
    m_dialogs.inputAnswers.push_back(QStringLiteral("   "));
    click("Command3");
    QVERIFY(waitForScan());
    QVERIFY(rows("List1").isEmpty());
    QCOMPARE(text("Label3"), QStringLiteral("Duplicate\n0"));
    QCOMPARE(server.requests().size(), std::size_t{1});
    qunsetenv("TEMP");
  }

  void moveBothWays() {
    TempFolder folder;
    const std::string path = folder.write("m.txt", "aa@example.com bb@example.com cc@example.com x@y.test");
    open();
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    select("List1", {0, 2});
    click("Command2_1");
    QCOMPARE(rows("List1"), QStringList{"bb@example.com"});
    QCOMPARE(rows("List2"), (QStringList{"x@y.test", "cc@example.com", "aa@example.com"}));
    QCOMPARE(text("Label1"), QStringLiteral("Found:1"));
    QCOMPARE(text("Label2"), QStringLiteral("Unknown:3"));
    select("List2", {0});
    click("Command2_0");
    QCOMPARE(rows("List1"), (QStringList{"bb@example.com", "x@y.test"}));
    QCOMPARE(text("Label1"), QStringLiteral("Found:2"));
    QCOMPARE(text("Label2"), QStringLiteral("Unknown:2"));
    // Nothing selected: nothing moves, the counters are written again.
    control<QListView>("List2")->selectionModel()->clearSelection();
    click("Command2_0");
    QCOMPARE(text("Label1"), QStringLiteral("Found:2"));
  }

  void wholeEntriesInTooltipsAndCopies() {
    TempFolder folder;
    const std::string longest = "a.very.long.name.that.does.not.fit.in.the.list@subdomain.example.com";
    const std::string path = folder.write("w.txt", "bb@example.com " + longest + " cc@example.com x@y.test");
    open();
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    QListView* list1 = control<QListView>("List1");
    const QModelIndex first = list1->model()->index(0, 0);
    QCOMPARE(first.data(Qt::ToolTipRole).toString(), QString::fromStdString(longest));
    QVERIFY(list1->fontMetrics().horizontalAdvance(first.data().toString()) > list1->viewport()->width());

    for (const auto& [list, selected, copied] :
         {std::tuple{"List1", std::vector<int>{2, 0}, QString::fromStdString(longest + "\ncc@example.com")},
          std::tuple{"List2", std::vector<int>{0}, QStringLiteral("x@y.test")}}) {
      QGuiApplication::clipboard()->clear();
      select(list, selected);
      control<QListView>(list)->setFocus();
      QTest::keyClick(control<QListView>(list), Qt::Key_C, Qt::ControlModifier);
      QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }
  }

  void exportWithDelimiters() {
    TempFolder folder;
    const std::string path = folder.write("e.txt", "cc@example.com aa@example.com bb@example.com");
    const std::string target = folder.file("out.csv");
    open();
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    m_window->Timer2_Timer();
    QVERIFY(control<QPushButton>("Command5")->isEnabled());

    m_dialogs.inputAnswers.push_back(QStringLiteral(";br"));
    m_dialogs.saveAnswers.push_back(QString::fromStdString(target));
    click("Command5");
    QCOMPARE(readFile(target), std::string("aa@example.com;\r\nbb@example.com;\r\ncc@example.com"));
    QCOMPARE(m_dialogs.inputs.at(0).preset, QStringLiteral(";br"));
    QCOMPARE(m_dialogs.inputs.at(0).title, QStringLiteral("Type delimiter"));
    QCOMPARE(m_dialogs.inputs.at(0).prompt,
             QStringLiteral("Delimiter\nbr = break\ntb = tab\nYou can combine parameters."));
    QCOMPARE(m_dialogs.saves.at(0).title, QStringLiteral("Export list"));

    m_dialogs.inputAnswers.push_back(QStringLiteral("tb"));
    m_dialogs.saveAnswers.push_back(QString::fromStdString(target));
    click("Command5");
    QCOMPARE(readFile(target), std::string("aa@example.com\tbb@example.com\tcc@example.com"));

    // Cancel at either question writes nothing.
    m_dialogs.inputAnswers.push_back(QString());
    click("Command5");
    m_dialogs.inputAnswers.push_back(QStringLiteral(","));
    m_dialogs.saveAnswers.push_back(QStringLiteral("  "));
    click("Command5");
    QCOMPARE(readFile(target), std::string("aa@example.com\tbb@example.com\tcc@example.com"));
    QVERIFY2(!std::filesystem::exists("  "), "a path of blanks is no file name");
    QVERIFY(m_dialogs.messages.empty());

    m_dialogs.inputAnswers.push_back(QStringLiteral(";br"));
    m_dialogs.saveAnswers.push_back(QString::fromStdString(folder.file("missing/out.csv")));
    click("Command5");
    QCOMPARE(m_dialogs.messages.size(), std::size_t{1});
    QCOMPARE(m_dialogs.messages[0].title, QStringLiteral("Err:2"));
    QCOMPARE(m_dialogs.messages[0].icon, gui::MessageIcon::Critical);
    QVERIFY(m_dialogs.messages[0].text.contains(QStringLiteral("missing")));
    QVERIFY(!std::filesystem::exists(folder.file("missing")));
  }

  void timersClearTheNoticeAndGuardTheExport() {
    TempFolder folder;
    const std::string path = folder.write("t.txt", "aa@example.com aa@example.com");
    gui::Form1& window = open();
    window.Timer2_Timer();
    QVERIFY(!control<QPushButton>("Command5")->isEnabled());
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    window.Timer2_Timer();
    QVERIFY(control<QPushButton>("Command5")->isEnabled());
    QVERIFY(control<QTimer>("Timer1")->isActive());
    for (int tick = 1; tick <= 6; ++tick) window.Timer1_Timer();
    QCOMPARE(text("Label3"), QStringLiteral("Duplicate\n1"));
    // A new notice does not restart the count: it goes at the tenth tick.
    m_dialogs.openAnswers.push_back(QString::fromStdString(path));
    click("Command1");
    QVERIFY(waitForScan());
    for (int tick = 7; tick <= 9; ++tick) window.Timer1_Timer();
    QCOMPARE(text("Label3"), QStringLiteral("Duplicate\n1"));
    window.Timer1_Timer();
    QCOMPARE(text("Label3"), QString());
    QVERIFY(!control<QTimer>("Timer1")->isActive());
    QCOMPARE(window.timer1Ticks(), std::int16_t{0});

    // Moving the last entry out of List1 disables the export again.
    select("List1", {0});
    click("Command2_1");
    window.Timer2_Timer();
    QVERIFY(!control<QPushButton>("Command5")->isEnabled());
  }

  void countersFollowTheListsDuringAFolderScan() {
    TempFolder folder;
    gui::Form1& window = open(0, ScanRules::Specified, 1);
    // The lists must be seen while the scan runs; on a fast machine, or with
    // the window's thread starved by other tests, a small tree may be done
    // between two polls, so the tree grows until they are.
    int files = 0;
    int shownWhileScanning = 0;
    for (int round = 0; round < 4 && shownWhileScanning == 0; ++round) {
      for (const int more = files == 0 ? 2000 : files * 2; files < more; ++files) {
        std::string content = "u" + std::to_string(files) + "@host.test";
        for (int k = 0; k < 100; ++k) content += " c" + std::to_string(files * 100 + k) + "@example.com";
        folder.write("many/d" + std::to_string(files % 10) + "/f" + std::to_string(files), content);
      }
      m_dialogs.folderAnswers.push_back(QString::fromStdString(folder.file("many")));
      click("Command4");
      QElapsedTimer waited;
      waited.start();
      while (window.isScanning() && waited.elapsed() < 60000) {
        QTest::qWait(5);
        window.pollScan();  // as the poll timer does, but often enough to see every publication
        const int found = control<QListView>("List1")->model()->rowCount();
        const int unknown = control<QListView>("List2")->model()->rowCount();
        if (!window.isScanning() || found == 0) continue;
        ++shownWhileScanning;
        QCOMPARE(text("Label1"), QStringLiteral("Found:%1").arg(found));
        QCOMPARE(text("Label2"), QStringLiteral("Unknown:%1").arg(unknown));
      }
      QCOMPARE(text("Label1"), QStringLiteral("Found:%1").arg(files * 100));
    }
    QVERIFY2(shownWhileScanning > 0, "the lists were published while the scan ran");
  }

  void cancelDuringALongScan() {
    TempFolder folder;
    for (int i = 0; i < 4000; ++i)
      folder.write("big/d" + std::to_string(i % 20) + "/f" + std::to_string(i),
                   "u" + std::to_string(i) + "@example.com");
    gui::Form1& window = open();
    m_dialogs.folderAnswers.push_back(QString::fromStdString(folder.file("big")));
    click("Command4");
    QVERIFY(window.isScanning());
    QVERIFY(control<QWidget>("Picture1")->isVisible());
    QVERIFY(!control<QPushButton>("Command1")->isEnabled());
    QVERIFY(!control<QPushButton>("Command5")->isEnabled());
    QVERIFY(!control<QPushButton>("Command2_0")->isEnabled());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(waitForScan());
    QVERIFY2(window.isVisible(), "Esc during a scan stops the scan, not the program");
    QVERIFY(rows("List1").size() <= 4000);
    QCOMPARE(text("Label1"), QStringLiteral("Found:%1").arg(rows("List1").size()));
    QVERIFY(control<QPushButton>("Command1")->isEnabled());
    QVERIFY(!control<QWidget>("Picture1")->isVisible());
  }

  void everyClickableControlIsOnTopAtItsCentre() {
    for (const std::int16_t country : {std::int16_t{1}, std::int16_t{49}}) {
      gui::Form1& window = open(country);
      for (const char* name : {"Command1", "Command4", "Command3", "Command5", "Command6", "Command7", "Command2_0",
                               "Command2_1", "Picture2", "List1", "List2"}) {
        QWidget* target = control<QWidget>(name);
        QWidget* hit = window.childAt(target->mapTo(&window, target->rect().center()));
        QVERIFY2(hit == target || target->isAncestorOf(hit), name);
      }
    }
  }

  void escapeAsksBeforeLosingResultsThatWereNotExported() {
    TempFolder folder;
    const std::string path = folder.write("r.txt", "aa@example.com x@y.test");
    for (const std::int16_t country : {std::int16_t{1}, std::int16_t{49}}) {
      gui::Form1& window = open(country);
      QTest::keyClick(&window, Qt::Key_Escape);  // nothing to lose: no question
      QVERIFY(!window.isVisible());
      QVERIFY(m_dialogs.questions.empty());

      open(country);
      m_dialogs.openAnswers.push_back(QString::fromStdString(path));
      click("Command1");
      QVERIFY(waitForScan());
      m_dialogs.yesNoAnswers = {false, true};
      QTest::keyClick(m_window.get(), Qt::Key_Escape);
      QVERIFY2(m_window->isVisible(), "No keeps the window");
      QCOMPARE(rows("List1"), QStringList{"aa@example.com"});
      QTest::keyClick(m_window.get(), Qt::Key_Escape);
      QVERIFY2(!m_window->isVisible(), "Yes closes it");
      QCOMPARE(m_dialogs.questions.size(), std::size_t{2});
      QCOMPARE(m_dialogs.questions[0].prompt,
               country == 49
                   ? QString::fromUtf8(
                         "Fenster schlie\u00DFen? Die Listen enthalten Ergebnisse, die nicht exportiert wurden.")
                   : QStringLiteral("Close the window? The lists hold results that were not exported."));
    }

    // After an export Esc closes at once; Quit never asks.
    open();
    m_dialogs.openAnswers = {QString::fromStdString(path), QString::fromStdString(path)};
    click("Command1");
    QVERIFY(waitForScan());
    m_dialogs.inputAnswers.push_back(QStringLiteral(","));
    m_dialogs.saveAnswers.push_back(QString::fromStdString(folder.file("out.csv")));
    click("Command5");
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
    m_window->show();
    click("Command1");  // a new scan makes the results unexported again
    QVERIFY(waitForScan());
    click("Command6");
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_dialogs.questions.empty());
  }

  void helpDonateAndQuit() {
    gui::Form1& window = open(43);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    clickOnScreen("Command7");
    QCOMPARE(m_dialogs.messages.size(), std::size_t{1});
    QCOMPARE(m_dialogs.messages[0].title, QStringLiteral("Hilfe"));
    QCOMPARE(m_dialogs.messages[0].icon, gui::MessageIcon::None);
    QCOMPARE(m_dialogs.messages[0].text.count(QLatin1Char('\n')), 3);
    clickOnScreen("Picture2");
    QCOMPARE(m_dialogs.openedPages, QStringList{"https://maker.example/donate"});
    click("Command6");
    QVERIFY(!window.isVisible());
  }
};

}  // namespace mailsift::test

QTEST_MAIN(mailsift::test::Form1Test)
#include "form1_test.moc"
