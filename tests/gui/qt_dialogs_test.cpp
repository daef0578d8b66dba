// Tests of the Qt dialogs behind the Dialogs interface, answered from inside
// their own event loops.
#include "gui/qt_dialogs.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <filesystem>

#include "gui/browse_folder_dialog.h"
#include "gui/qt_translations.h"
#include "modal_answer.h"
#include "support/temp_folder.h"

namespace mailsift::gui::test {
namespace {

QString qPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The patterns of a file dialog filter such as "Files (*)".
QStringList filterPatterns(const QString& filter) {
  const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
  const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
  if (open < 0 || close < open) return {};
  return filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Types `name` into the file dialog's name field, as a person would.
bool typeFileName(QFileDialog* dialog, const QString& name) {
  auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (field == nullptr) return false;
  field->setText(name);
  return true;
}

}  // namespace

// Receives the addresses QDesktopServices hands to a registered scheme.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void open(const QUrl& url) { urls << url; }
};

class QtDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void inputBoxShowsPromptTitlePresetAndReturnsTyped();
  void inputBoxCancelReturnsEmpty();
  void messageBoxHasOneOkAndTheAskedIcon_data();
  void messageBoxHasOneOkAndTheAskedIcon();
  void askYesNoIsTrueOnlyForYes();
  void saveTakesAnyNameWithoutQuestionOrSuffix();
  void openTakesATypedNameAndCancelGivesEmpty();
  void browseFolderIsTheFolderScansChooser();
  void openWebPageHandsTheAddressOn();
  void qtTextsFollowTheLanguage();

 private:
  QtDialogs m_dialogs;
};

void QtDialogsTest::inputBoxShowsPromptTitlePresetAndReturnsTyped() {
  QWidget owner;
  const ModalAnswer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->parentWidget(), &owner);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Type delimiter"));
    auto* label = dialog->findChild<QLabel*>();
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("Delimiter\nbr = break\ntb = tab"));
    auto* field = dialog->findChild<QLineEdit*>();
    QVERIFY(field != nullptr);
    QCOMPARE(field->text(), QStringLiteral(";br"));
    field->setText(QStringLiteral(" , "));
    dialog->accept();
  });
  const QString typed = m_dialogs.inputBox(&owner, QStringLiteral("Delimiter\r\nbr = break\r\ntb = tab"),
                                           QStringLiteral("Type delimiter"), QStringLiteral(";br"));
  QVERIFY(answer.answered());
  QCOMPARE(typed, QStringLiteral(" , "));
}

void QtDialogsTest::inputBoxCancelReturnsEmpty() {
  const ModalAnswer answer([](QWidget* modal) {
    auto* dialog = qobject_cast<QInputDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->textValue(), QStringLiteral("http://"));
    dialog->reject();
  });
  QCOMPARE(m_dialogs.inputBox(nullptr, QStringLiteral("URL"), QStringLiteral("URL"), QStringLiteral("http://")),
           QString());
  QVERIFY(answer.answered());
}

void QtDialogsTest::messageBoxHasOneOkAndTheAskedIcon_data() {
  QTest::addColumn<MessageIcon>("icon");
  QTest::addColumn<QMessageBox::Icon>("shown");
  QTest::newRow("help box") << MessageIcon::None << QMessageBox::NoIcon;
  QTest::newRow("error box") << MessageIcon::Critical << QMessageBox::Critical;
}

void QtDialogsTest::messageBoxHasOneOkAndTheAskedIcon() {
  QFETCH(MessageIcon, icon);
  QFETCH(QMessageBox::Icon, shown);
  const ModalAnswer answer([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box != nullptr);
    QCOMPARE(box->icon(), shown);
    QCOMPARE(box->windowTitle(), QStringLiteral("Err:13"));
    QCOMPARE(box->text(), QStringLiteral("first <line>\nsecond"));
    QCOMPARE(box->textFormat(), Qt::PlainText);
    const QList<QAbstractButton*> buttons = box->buttons();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(box->standardButton(buttons.first()), QMessageBox::Ok);
    buttons.first()->click();
  });
  m_dialogs.messageBox(nullptr, QStringLiteral("first <line>\r\nsecond"), QStringLiteral("Err:13"), icon);
  QVERIFY(answer.answered());
  QCOMPARE(answer.unexpected(), 0);
}

void QtDialogsTest::askYesNoIsTrueOnlyForYes() {
  for (const QMessageBox::StandardButton pressed : {QMessageBox::Yes, QMessageBox::No, QMessageBox::NoButton}) {
    const ModalAnswer answer([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      QCOMPARE(box->windowTitle(), QStringLiteral("mailsift"));
      QCOMPARE(box->text(), QStringLiteral("Close <now>?\nReally?"));
      QCOMPARE(box->textFormat(), Qt::PlainText);
      QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
      if (pressed != QMessageBox::NoButton) box->button(pressed)->click();  // else closed by ModalAnswer
    });
    const bool yes = m_dialogs.askYesNo(nullptr, QStringLiteral("Close <now>?\r\nReally?"), QStringLiteral("mailsift"));
    QVERIFY(answer.answered());
    QCOMPARE(yes, pressed == QMessageBox::Yes);
  }
}

void QtDialogsTest::saveTakesAnyNameWithoutQuestionOrSuffix() {
  const mailsift::test::TempFolder temp;
  const QString existing = QString::fromStdString(temp.write("list.csv", "old"));
  QWidget owner;
  for (const QString& typed : {existing, qPath(temp.path() / "plain")}) {
    int questions = 0;
    const ModalAnswer answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog != nullptr);
      QCOMPARE(dialog->parentWidget(), &owner);
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Export list"));
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(qPath(temp.path())).canonicalPath());
      QCOMPARE(dialog->nameFilters().size(), 1);
      const QString filter = dialog->selectedNameFilter();
      QVERIFY(filter.startsWith(QStringLiteral("Files")));
      // Every name passes, also one without a dot.
      QVERIFY(QDir::match(filterPatterns(filter), QStringLiteral("README")));
      QVERIFY(QDir::match(filterPatterns(filter), QStringLiteral("list.csv")));
      QVERIFY(typeFileName(dialog, typed));
      // An overwrite question would open its own loop inside accept().
      const ModalAnswer question([&](QWidget*) { ++questions; }, dialog);
      static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(m_dialogs.showSave(&owner, qPath(temp.path()), QStringLiteral("Export list"), QStringLiteral("Files")),
             typed);
    QVERIFY(answer.answered());
    QCOMPARE(questions, 0);
  }
}

void QtDialogsTest::openTakesATypedNameAndCancelGivesEmpty() {
  const mailsift::test::TempFolder temp;
  const QString missing = qPath(temp.path() / "not-there");
  {
    const ModalAnswer answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog != nullptr);
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Open file"));
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
      QVERIFY(QDir::match(filterPatterns(dialog->selectedNameFilter()), QStringLiteral("README")));
      QVERIFY(typeFileName(dialog, missing));
      static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(m_dialogs.showOpen(nullptr, qPath(temp.path()), QStringLiteral("Open file"), QStringLiteral("Files")),
             missing);
    QVERIFY(answer.answered());
  }
  const ModalAnswer answer([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  QCOMPARE(m_dialogs.showOpen(nullptr, qPath(temp.path()), QStringLiteral("Open file"), QStringLiteral("Files")),
           QString());
  QVERIFY(answer.answered());
}

void QtDialogsTest::browseFolderIsTheFolderScansChooser() {
  const mailsift::test::TempFolder temp;
  const QString start = QString::fromStdString(temp.write("start/inside.txt", "x"));
  const QString startFolder = qPath(temp.path() / "start");
  QWidget owner;
  const ModalAnswer answer([&](QWidget* modal) {
    auto* dialog = qobject_cast<BrowseFolderDialog*>(modal);
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->parentWidget(), &owner);
    QCOMPARE(dialog->options(), 69);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("DIRscan"));
    QCOMPARE(dialog->statusLine()->text(), kStatusPrefix + startFolder);
    QVERIFY(!dialog->indexOfPath(start).isValid());
    QVERIFY(dialog->indexOfPath(QStringLiteral("/")).isValid());
    dialog->okButton()->click();
  });
  QCOMPARE(m_dialogs.browseFolder(&owner, QStringLiteral("DIRscan"), startFolder), startFolder);
  QVERIFY(answer.answered());
}

void QtDialogsTest::openWebPageHandsTheAddressOn() {
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("mailsift-test"), &catcher, "open");
  m_dialogs.openWebPage(QStringLiteral("mailsift-test://example.org/donate?from=window"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("mailsift-test"));
  QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("mailsift-test://example.org/donate?from=window"))});
  // No handler and no browser: nothing is reported, nothing throws.
  m_dialogs.openWebPage(QStringLiteral("mailsift-nothing://nowhere"));
}

void QtDialogsTest::qtTextsFollowTheLanguage() {
  const auto cancelText = [] {
    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
    return buttons.button(QDialogButtonBox::Cancel)->text() + QLatin1Char('|') +
           buttons.button(QDialogButtonBox::Yes)->text();
  };
  QCOMPARE(installQtTranslations(*QCoreApplication::instance(), false), nullptr);
  QCOMPARE(cancelText(), QStringLiteral("Cancel|&Yes"));
  {
    const std::unique_ptr<QTranslator> german = installQtTranslations(*QCoreApplication::instance(), true);
    QVERIFY2(german != nullptr, "Qt's German translations are not installed");
    QCOMPARE(cancelText(), QStringLiteral("Abbrechen|&Ja"));
  }
  QCOMPARE(cancelText(), QStringLiteral("Cancel|&Yes"));
}

int runQtDialogsTests(int argc, char** argv) {
  QtDialogsTest tests;
  return QTest::qExec(&tests, argc, argv);
}

}  // namespace mailsift::gui::test

#include "qt_dialogs_test.moc"
