// Tests of the folder chooser on real temporary folder trees: selection,
// status line, the root folder, files, the title marker and the option sums.
#include "gui/browse_folder_dialog.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <memory>

#include "modal_answer.h"
#include "support/temp_folder.h"

namespace mailsift::gui::test {
namespace {

constexpr int kListingTimeoutMs = 10000;

QString qPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// Collects the folders a model has finished listing.
class ListedFolders {
 public:
  explicit ListedFolders(QFileSystemModel* model) : m_spy(model, &QFileSystemModel::directoryLoaded) {}

  // Waits until `folder` has been listed; false after the time-out.
  bool waitFor(const QString& folder) {
    for (int attempt = 0; attempt < 2 * kListingTimeoutMs / 50; ++attempt) {
      for (const QList<QVariant>& arguments : m_spy) {
        if (arguments.value(0).toString() == folder) return true;
      }
      m_spy.wait(50);
    }
    return false;
  }

 private:
  QSignalSpy m_spy;
};

// The names of the rows the tree shows directly below `parent`, sorted (the
// model sorts a listed folder a moment after it reports it).
QStringList childNames(const QTreeView* tree, const QModelIndex& parent) {
  QStringList names;
  const QAbstractItemModel* model = tree->model();
  for (int row = 0; row < model->rowCount(parent); ++row) names << model->index(row, 0, parent).data().toString();
  names.sort();
  return names;
}

// The text after the prefix, and its width in the status line's font.
QString shownPath(const QLabel* line) { return line->text().mid(kStatusPrefix.size()); }
int advance(const QLabel* line, const QString& text) { return QFontMetrics(line->font()).horizontalAdvance(text); }

}  // namespace

class BrowseFolderDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void optionSumsFollowTheRule_data();
  void optionSumsFollowTheRule();
  void pathWidthIsLineMinusPrefixPlus80();
  void statusTextFitsPathToTheWidthRule();

  void startFolderIsSelectedShownAndScrolledTo();
  void selectionChangesRewriteTheStatusLine();
  void longPathIsShortenedInTheMiddle();
  void statusLineStaysEmptyWhenNotWanted();
  void wholeFileSystemHasSlashOnTop();
  void rootFolderLimitsWhatCanBeBrowsed();
  void filesAreListedOnlyWhenAskedAndCannotBeChosen();
  void newStyleDecidesWhetherTheDialogResizes();

  void okReturnsTheSelectedFolder();
  void okOnTheRootKeepsItsSlash();
  void cancelReturnsEmpty();
  void titleMarkerIsDroppedOnlyWithStatusLine_data();
  void titleMarkerIsDroppedOnlyWithStatusLine();

 private:
  QString folder(const char* relative) const { return qPath(m_temp->path() / relative); }
  // Shows `dialog` and waits until it is on screen.
  static bool show(BrowseFolderDialog& dialog) {
    dialog.show();
    return QTest::qWaitForWindowExposed(&dialog);
  }

  std::unique_ptr<mailsift::test::TempFolder> m_temp;
};

void BrowseFolderDialogTest::init() {
  m_temp = std::make_unique<mailsift::test::TempFolder>();
  namespace fs = std::filesystem;
  fs::create_directories(m_temp->path() / "a" / "c");
  fs::create_directories(m_temp->path() / "b");
  m_temp->write("a/file.txt", "x");
}

void BrowseFolderDialogTest::cleanup() { m_temp.reset(); }

void BrowseFolderDialogTest::optionSumsFollowTheRule_data() {
  QTest::addColumn<bool>("statusLine");
  QTest::addColumn<bool>("newStyle");
  QTest::addColumn<bool>("showFiles");
  QTest::addColumn<int>("expected");
  QTest::newRow("nothing asked") << false << false << false << 1;
  QTest::newRow("status line") << true << false << false << 5;
  QTest::newRow("new style") << false << true << false << 65;
  QTest::newRow("files") << false << false << true << 16385;
  QTest::newRow("folder scan") << true << true << false << 69;
  QTest::newRow("everything") << true << true << true << 16453;
}

void BrowseFolderDialogTest::optionSumsFollowTheRule() {
  QFETCH(bool, statusLine);
  QFETCH(bool, newStyle);
  QFETCH(bool, showFiles);
  QFETCH(int, expected);
  QCOMPARE(browseOptions(statusLine, newStyle, showFiles), expected);
}

void BrowseFolderDialogTest::pathWidthIsLineMinusPrefixPlus80() {
  QCOMPARE(statusPathWidth(300, 60), 320);
  QCOMPARE(statusPathWidth(0, 0), 80);
  QCOMPARE(statusPathWidth(10, 100), -10);
}

void BrowseFolderDialogTest::statusTextFitsPathToTheWidthRule() {
  const QFont font = QApplication::font();
  const QFontMetrics metrics(font);
  const QString path = QStringLiteral("/home/someone/Documents/letters/2023/to the tax office/replies");
  const int prefixWidth = metrics.horizontalAdvance(kStatusPrefix);
  const int pathWidth = metrics.horizontalAdvance(path);

  QCOMPARE(statusLineText(QString(), font, 400), QString());

  // Wider than the line leaves for it, but within the 80 extra pixels: whole.
  QCOMPARE(statusLineText(path, font, prefixWidth + pathWidth - 40), kStatusPrefix + path);

  // 20 pixels too wide even with the extra: shortened in the middle.
  const QString shortened = statusLineText(path, font, prefixWidth + pathWidth - 100);
  QVERIFY(shortened.startsWith(kStatusPrefix + QStringLiteral("/home")));
  QVERIFY(shortened.endsWith(QStringLiteral("replies")));
  QVERIFY(shortened.contains(QChar(0x2026)));
  QVERIFY(metrics.horizontalAdvance(shortened.mid(kStatusPrefix.size())) <= pathWidth - 20);

  // Too narrow for anything: the path is shown whole rather than nothing.
  QCOMPARE(statusLineText(path, font, -1000), kStatusPrefix + path);
}

void BrowseFolderDialogTest::startFolderIsSelectedShownAndScrolledTo() {
  // Enough siblings before the start folder to push it below the first screen.
  for (int i = 0; i < 80; ++i) {
    std::filesystem::create_directories(m_temp->path() / "many" /
                                        QStringLiteral("s%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
  }
  std::filesystem::create_directories(m_temp->path() / "many" / "zz-start");
  const QString start = folder("many/zz-start");

  BrowseFolderDialog dialog(nullptr, QStringLiteral("Pick"), start, QString(), browseOptions(true, true, false));
  ListedFolders listed(dialog.fileSystemModel());
  QVERIFY(show(dialog));

  QCOMPARE(dialog.windowTitle(), QStringLiteral("Pick"));
  QCOMPARE(dialog.selectedPath(), start);
  QVERIFY(dialog.okButton()->isEnabled());
  QVERIFY(!dialog.statusLine()->isHidden());
  QCOMPARE(dialog.statusLine()->text(), kStatusPrefix + start);

  QVERIFY(listed.waitFor(folder("many")));
  QTreeView* tree = dialog.folderTree();
  const QModelIndex index = tree->selectionModel()->selectedRows().value(0);
  QCOMPARE(tree->model()->rowCount(index.parent()), 81);
  QTRY_VERIFY_WITH_TIMEOUT(tree->viewport()->rect().contains(tree->visualRect(index)), kListingTimeoutMs);
  QCOMPARE(dialog.selectedPath(), start);
}

void BrowseFolderDialogTest::selectionChangesRewriteTheStatusLine() {
  BrowseFolderDialog dialog(nullptr, QString(), folder("a"), QString(), browseOptions(true, true, false));
  ListedFolders listed(dialog.fileSystemModel());
  QVERIFY(show(dialog));
  QVERIFY(listed.waitFor(qPath(m_temp->path())));

  // Pick "b" the way a click does: through the view, by its row.
  QTreeView* tree = dialog.folderTree();
  const QModelIndex parent = dialog.indexOfPath(qPath(m_temp->path()));
  QCOMPARE(childNames(tree, parent), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
  const QModelIndexList rowsOfB = tree->model()->match(tree->model()->index(0, 0, parent), Qt::DisplayRole,
                                                       QStringLiteral("b"), 1, Qt::MatchExactly);
  QCOMPARE(rowsOfB.size(), 1);
  tree->setCurrentIndex(rowsOfB.first());
  QCOMPARE(dialog.selectedPath(), folder("b"));
  QCOMPARE(dialog.statusLine()->text(), kStatusPrefix + folder("b"));

  QVERIFY(dialog.selectPath(folder("a/c")));
  QCOMPARE(dialog.statusLine()->text(), kStatusPrefix + folder("a/c"));

  tree->selectionModel()->clearSelection();
  QCOMPARE(dialog.selectedPath(), QString());
  QCOMPARE(dialog.statusLine()->text(), QString());
  QVERIFY(!dialog.okButton()->isEnabled());

  // A path that cannot be browsed leaves the selection alone.
  QVERIFY(!dialog.selectPath(folder("missing")));
  QCOMPARE(dialog.selectedPath(), QString());
}

void BrowseFolderDialogTest::longPathIsShortenedInTheMiddle() {
  const std::string name(40, 'n');
  std::filesystem::path deep = m_temp->path() / "head";
  for (int level = 0; level < 6; ++level) deep /= name + std::to_string(level);
  deep /= "tail-end";
  std::filesystem::create_directories(deep);

  BrowseFolderDialog dialog(nullptr, QString(), qPath(deep), QString(), browseOptions(true, true, false));
  QVERIFY(show(dialog));
  const QLabel* line = dialog.statusLine();
  const QString shown = shownPath(line);
  QVERIFY(line->text().startsWith(kStatusPrefix));
  QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(line->text()));
  QVERIFY(shown.startsWith(qPath(m_temp->path()).left(8)));
  QVERIFY(shown.endsWith(QStringLiteral("tail-end")));
  const int available = statusPathWidth(line->width(), advance(line, kStatusPrefix));
  QVERIFY(advance(line, shown) <= available);
  // The 80 extra pixels are used: a line fitted to its own width would
  // shorten it further.
  QVERIFY(advance(line, shown) > available - 80);

  // Narrowing the dialog fits the text anew.
  dialog.resize(dialog.width() - 150, dialog.height());
  QTRY_VERIFY(advance(line, shownPath(line)) <= statusPathWidth(line->width(), advance(line, kStatusPrefix)));
  QVERIFY(advance(line, shownPath(line)) < advance(line, shown));
}

void BrowseFolderDialogTest::statusLineStaysEmptyWhenNotWanted() {
  BrowseFolderDialog dialog(nullptr, QString(), folder("a"), QString(), browseOptions(false, true, false));
  QVERIFY(show(dialog));
  QCOMPARE(dialog.selectedPath(), folder("a"));
  QVERIFY(dialog.statusLine()->isHidden());
  QCOMPARE(dialog.statusLine()->text(), QString());
}

void BrowseFolderDialogTest::wholeFileSystemHasSlashOnTop() {
  BrowseFolderDialog dialog(nullptr, QString(), folder("a"), QString(), browseOptions(true, true, false));
  QVERIFY(show(dialog));
  QTreeView* tree = dialog.folderTree();
  QCOMPARE(tree->model()->rowCount(tree->rootIndex()), 1);
  QCOMPARE(dialog.indexOfPath(QStringLiteral("/")), tree->model()->index(0, 0, tree->rootIndex()));
  QVERIFY(dialog.selectPath(QStringLiteral("/")));
  QCOMPARE(dialog.selectedPath(), QStringLiteral("/"));
  QCOMPARE(dialog.statusLine()->text(), kStatusPrefix + QStringLiteral("/"));
}

void BrowseFolderDialogTest::rootFolderLimitsWhatCanBeBrowsed() {
  BrowseFolderDialog dialog(nullptr, QString(), folder("a/c"), folder("a"), browseOptions(true, true, false));
  ListedFolders listed(dialog.fileSystemModel());
  QVERIFY(show(dialog));
  QCOMPARE(dialog.selectedPath(), folder("a/c"));

  // The model lists "a" and "b" side by side; only the root is shown.
  QVERIFY(listed.waitFor(qPath(m_temp->path())));
  QTreeView* tree = dialog.folderTree();
  QCOMPARE(childNames(tree, tree->rootIndex()), QStringList{QStringLiteral("a")});

  QVERIFY(!dialog.indexOfPath(folder("b")).isValid());
  QVERIFY(!dialog.selectPath(folder("b")));
  QVERIFY(!dialog.selectPath(QStringLiteral("/")));
  QCOMPARE(dialog.selectedPath(), folder("a/c"));
  QVERIFY(dialog.selectPath(folder("a")));
  QCOMPARE(dialog.selectedPath(), folder("a"));

  // A root folder that does not exist counts as none.
  BrowseFolderDialog unrooted(nullptr, QString(), folder("b"), folder("missing"), browseOptions(true, true, false));
  QVERIFY(unrooted.selectPath(QStringLiteral("/")));
}

void BrowseFolderDialogTest::filesAreListedOnlyWhenAskedAndCannotBeChosen() {
  const QString file = folder("a/file.txt");
  {
    BrowseFolderDialog dialog(nullptr, QString(), folder("a"), QString(), browseOptions(true, true, false));
    ListedFolders listed(dialog.fileSystemModel());
    QVERIFY(show(dialog));
    dialog.folderTree()->expand(dialog.indexOfPath(folder("a")));
    QVERIFY(listed.waitFor(folder("a")));
    QCOMPARE(childNames(dialog.folderTree(), dialog.indexOfPath(folder("a"))), QStringList{QStringLiteral("c")});
    QVERIFY(!dialog.selectPath(file));
  }
  BrowseFolderDialog dialog(nullptr, QString(), folder("a"), QString(), browseOptions(true, true, true));
  ListedFolders listed(dialog.fileSystemModel());
  QVERIFY(show(dialog));
  dialog.folderTree()->expand(dialog.indexOfPath(folder("a")));
  QVERIFY(listed.waitFor(folder("a")));
  QCOMPARE(childNames(dialog.folderTree(), dialog.indexOfPath(folder("a"))),
           (QStringList{QStringLiteral("c"), QStringLiteral("file.txt")}));
  QVERIFY(dialog.selectPath(file));
  QCOMPARE(dialog.statusLine()->text(), kStatusPrefix + file);
  QVERIFY(!dialog.okButton()->isEnabled());
  QVERIFY(dialog.selectPath(folder("a/c")));
  QVERIFY(dialog.okButton()->isEnabled());
}

void BrowseFolderDialogTest::newStyleDecidesWhetherTheDialogResizes() {
  BrowseFolderDialog modern(nullptr, QString(), folder("a"), QString(), browseOptions(true, true, false));
  QVERIFY(modern.isSizeGripEnabled());
  QVERIFY(modern.minimumSize() != modern.maximumSize());
  BrowseFolderDialog classic(nullptr, QString(), folder("a"), QString(), browseOptions(true, false, false));
  QVERIFY(!classic.isSizeGripEnabled());
  QCOMPARE(classic.minimumSize(), classic.maximumSize());
}

void BrowseFolderDialogTest::okReturnsTheSelectedFolder() {
  QWidget owner;
  const ModalAnswer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<BrowseFolderDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->parentWidget(), &owner);
    QCOMPARE(dialog->selectedPath(), folder("a"));
    QVERIFY(dialog->selectPath(folder("b")));
    dialog->okButton()->click();
  });
  QString title = QStringLiteral("DIRscan");
  QCOMPARE(BrowseFolder(title, folder("a"), &owner, true, QString(), true, false), folder("b"));
  QVERIFY(answer.answered());
  QCOMPARE(answer.unexpected(), 0);
}

void BrowseFolderDialogTest::okOnTheRootKeepsItsSlash() {
  const ModalAnswer answer([](QWidget* modal) {
    auto* dialog = qobject_cast<BrowseFolderDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->okButton()->isEnabled());
    dialog->okButton()->click();
  });
  QString title;
  QCOMPARE(BrowseFolder(title, QStringLiteral("/"), nullptr, true, QString(), true, false), QStringLiteral("/"));
  QVERIFY(answer.answered());
}

void BrowseFolderDialogTest::cancelReturnsEmpty() {
  const ModalAnswer answer([](QWidget* modal) {
    auto* dialog = qobject_cast<BrowseFolderDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QVERIFY(!dialog->selectedPath().isEmpty());
    dialog->cancelButton()->click();
  });
  QString title = QStringLiteral("DIRscan");
  QCOMPARE(BrowseFolder(title, folder("a"), nullptr, true, QString(), true, false), QString());
  QVERIFY(answer.answered());
}

void BrowseFolderDialogTest::titleMarkerIsDroppedOnlyWithStatusLine_data() {
  QTest::addColumn<QString>("title");
  QTest::addColumn<bool>("statusLine");
  QTest::addColumn<QString>("expected");
  QTest::newRow("marker, status line") << QStringLiteral("$") << true << QString();
  QTest::newRow("marker, no status line") << QStringLiteral("$") << false << QStringLiteral("$");
  QTest::newRow("marker and more") << QStringLiteral("$ ") << true << QStringLiteral("$ ");
  QTest::newRow("plain title") << QStringLiteral("Verzeichnis scannen") << true
                               << QStringLiteral("Verzeichnis scannen");
}

void BrowseFolderDialogTest::titleMarkerIsDroppedOnlyWithStatusLine() {
  QFETCH(QString, title);
  QFETCH(bool, statusLine);
  QFETCH(QString, expected);
  QString shownTitle;
  const ModalAnswer answer([&](QWidget* modal) {
    shownTitle = modal->windowTitle();
    qobject_cast<QDialog*>(modal)->reject();
  });
  static_cast<void>(BrowseFolder(title, folder("a"), nullptr, statusLine, QString(), true, false));
  QVERIFY(answer.answered());
  QCOMPARE(shownTitle, expected);
  QCOMPARE(title, expected);
}

int runBrowseFolderDialogTests(int argc, char** argv) {
  BrowseFolderDialogTest tests;
  return QTest::qExec(&tests, argc, argv);
}

}  // namespace mailsift::gui::test

#include "browse_folder_dialog_test.moc"
