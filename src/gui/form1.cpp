// The main window. Positions and sizes come from the layout in twips
// (1/15 of a pixel here); every control carries its name as object name.
#include "gui/form1.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "app/display_text.h"
#include "gui/images.h"
#include "gui/result_list_model.h"
#include "gui/window_texts.h"
#include "mailsift/version.h"
#include "results/csv_export.h"

namespace mailsift::gui {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr std::size_t kWidestShownDuplicateCount = 8'888'888;
const QColor kMidGrey(0x80, 0x80, 0x80);

QRect twips(int left, int top, int width, int height) {
  return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

// The wait panel at rest, and while a scan shows its progress and Cancel.
const QRect kPanelAtRest = twips(2610, 4320, 1410, 420);
const QRect kPanelScanning(121, 270, 200, 100);

QString fromUtf8(const std::string& text) {
  // Texts keep CR LF between lines; Qt breaks lines at LF alone.
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString megabytes(std::uint64_t bytes) {
  return QString::number(static_cast<double>(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

std::vector<std::size_t> selectedRows(const QListView* view) {
  std::vector<std::size_t> rows;
  for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
    rows.push_back(static_cast<std::size_t>(index.row()));
  }
  return rows;
}

// The largest font, from the label's own down to a small size, in which
// `sample` (lines joined by "\n") fits inside the label whole.
QFont fittingFont(const QLabel& label, const QString& sample) {
  QFont font = label.font();
  const QSize room = label.contentsRect().size();
  const bool inPoints = font.pointSizeF() > 0;
  for (qreal size = inPoints ? font.pointSizeF() : font.pixelSize(); size > 5; size -= 0.5) {
    if (inPoints) {
      font.setPointSizeF(size);
    } else {
      font.setPixelSize(static_cast<int>(size));
    }
    const QSize needed = QFontMetrics(font).boundingRect(QRect(QPoint(), room), Qt::AlignCenter, sample).size();
    if (needed.width() <= room.width() && needed.height() <= room.height()) break;
  }
  return font;
}

}  // namespace

ClickablePicture::ClickablePicture(QWidget* parent) : QLabel(parent) {
  setFocusPolicy(Qt::TabFocus);
  setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  emit clicked();
}

void ClickablePicture::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit clicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

Form1::Form1(Dialogs& dialogs, InterfaceTexts texts, WindowSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_dialogs(dialogs),
      m_texts(std::move(texts)),
      m_settings(std::move(settings)) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(twips(0, 0, 6645, 7935).size());
  setWindowTitle(
      QString::fromStdString(gui::windowTitle(MAILSIFT_VERSION, m_settings.year, m_settings.makerUrl.toStdString())));
  setWindowIcon(QIcon(drawWindowIcon()));
  buildControls();
  applyCaptions();
  m_list1->setFocus(Qt::OtherFocusReason);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

Form1::~Form1() { m_controller.cancel(); }

void Form1::buildControls() {
  auto button = [this](const char* name, const QRect& where) {
    auto* created = new QPushButton(this);
    created->setObjectName(QString::fromLatin1(name));
    created->setGeometry(where);
    created->setAutoDefault(false);
    return created;
  };
  m_command1 = button("Command1", twips(90, 90, 1230, 510));
  m_command4 = button("Command4", twips(1440, 90, 1185, 510));
  m_command3 = button("Command3", twips(2745, 90, 1185, 510));
  m_command5 = button("Command5", twips(4050, 90, 1185, 510));
  m_command6 = button("Command6", twips(5355, 90, 1185, 510));
  m_command7 = button("Command7", twips(6210, 1125, 330, 330));
  m_command7->setText(QStringLiteral("?"));
  m_command2[0] = button("Command2_0", twips(3105, 1620, 420, 420));
  m_command2[0]->setText(QStringLiteral("<"));
  m_command2[1] = button("Command2_1", twips(3105, 2160, 420, 420));
  m_command2[1]->setText(QStringLiteral(">"));
  for (int index = 0; index < 2; ++index) m_command2[index]->setProperty("index", index);

  m_picture2 = new ClickablePicture(this);
  m_picture2->setObjectName(QStringLiteral("Picture2"));
  m_picture2->setGeometry(twips(90, 720, 2205, 705));
  m_picture2->setPixmap(drawDonateImage());
  m_picture2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  m_label5 = new QLabel(this);
  m_label5->setObjectName(QStringLiteral("Label5"));
  m_label5->setGeometry(twips(2295, 675, 4245, 780));
  m_label5->setWordWrap(true);
  // Label5 reaches over the help button's corner; labels lie beneath the
  // buttons, so the button stays visible and takes the mouse.
  m_command7->raise();

  auto list = [this](const char* name, const QRect& where, ResultListModel*& model) {
    auto* view = new QListView(this);
    view->setObjectName(QString::fromLatin1(name));
    view->setGeometry(where);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setUniformItemSizes(true);  // a million rows without measuring each
    model = new ResultListModel(view);
    view->setModel(model);
    view->installEventFilter(this);  // Ctrl+C copies the whole selection
    return view;
  };
  m_list1 = list("List1", twips(90, 1530, 2760, 5910), m_model1);
  m_list2 = list("List2", twips(3780, 1530, 2760, 5910), m_model2);
  QPalette grey = m_list2->palette();
  grey.setColor(QPalette::Base, kMidGrey);
  m_list2->setPalette(grey);

  auto counter = [this](const char* name, const QRect& where) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(where);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    return label;
  };
  m_label1 = counter("Label1", twips(90, 7560, 2760, 285));
  m_label2 = counter("Label2", twips(3780, 7560, 2760, 285));
  m_label2->setAutoFillBackground(true);
  QPalette greyBack = m_label2->palette();
  greyBack.setColor(QPalette::Window, kMidGrey);
  m_label2->setPalette(greyBack);

  m_label3 = new QLabel(this);
  m_label3->setObjectName(QStringLiteral("Label3"));
  m_label3->setGeometry(twips(2925, 6525, 780, 510));
  m_label3->setAlignment(Qt::AlignCenter);
  QPalette greyText = m_label3->palette();
  greyText.setColor(QPalette::WindowText, kMidGrey);
  m_label3->setPalette(greyText);
  // The notice's first word is wider than the label in the usual font; a
  // smaller one shows it, and a count of up to seven digits, whole.
  m_label3->setFont(fittingFont(
      *m_label3, fromUtf8(duplicateNotice(m_texts.text(UiText::DuplicateNotice), kWidestShownDuplicateCount))));

  m_picture1 = new QFrame(this);
  m_picture1->setObjectName(QStringLiteral("Picture1"));
  m_picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
  m_picture1->setAutoFillBackground(true);
  m_picture1->setGeometry(kPanelAtRest);
  m_label4 = new QLabel(m_picture1);
  m_label4->setObjectName(QStringLiteral("Label4"));
  m_label4->setGeometry(twips(45, 90, 1320, 240));
  m_label4->setAlignment(Qt::AlignCenter);
  m_progress = new QLabel(m_picture1);
  m_progress->setObjectName(QStringLiteral("Progress"));
  m_progress->setGeometry(4, 24, kPanelScanning.width() - 8, 40);
  m_progress->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  m_progress->hide();
  m_cancel = new QPushButton(QString::fromStdString(cancelCaption(m_texts)), m_picture1);
  m_cancel->setObjectName(QStringLiteral("CancelScan"));
  m_cancel->setGeometry((kPanelScanning.width() - 80) / 2, 68, 80, 26);
  m_cancel->hide();
  m_picture1->hide();

  m_timer1 = new QTimer(this);
  m_timer1->setObjectName(QStringLiteral("Timer1"));
  m_timer1->setInterval(1000);
  m_timer2 = new QTimer(this);
  m_timer2->setObjectName(QStringLiteral("Timer2"));
  m_timer2->setInterval(100);
  m_poll = new QTimer(this);
  m_poll->setInterval(100);

  connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(m_command4, &QPushButton::clicked, this, &Form1::Command4_Click);
  connect(m_command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  connect(m_command5, &QPushButton::clicked, this, &Form1::Command5_Click);
  connect(m_command6, &QPushButton::clicked, this, &Form1::Command6_Click);
  connect(m_command7, &QPushButton::clicked, this, &Form1::Command7_Click);
  connect(m_command2[0], &QPushButton::clicked, this, [this] { Command2_Click(0); });
  connect(m_command2[1], &QPushButton::clicked, this, [this] { Command2_Click(1); });
  connect(m_picture2, &ClickablePicture::clicked, this, &Form1::Picture2_Click);
  connect(m_cancel, &QPushButton::clicked, this, &Form1::cancelScan);
  connect(m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
  connect(m_timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
  connect(m_poll, &QTimer::timeout, this, &Form1::pollScan);
  m_timer2->start();

  // The tab order of the layout, over the controls that take the focus.
  QWidget* order[] = {m_list1,    m_command1, m_list2,    m_command2[0], m_command2[1], m_command3,
                      m_command4, m_command5, m_command6, m_picture2,    m_command7};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  // Labels show file names, which may look like markup ("<b>x</b>.txt");
  // none of them is ever read as rich text.
  for (QLabel* label : findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

void Form1::applyCaptions() {
  const WindowCaptions captions = windowCaptions(m_texts);
  m_label5->setText(fromUtf8(captions.Label5));
  m_command1->setText(fromUtf8(captions.Command1));
  m_command4->setText(fromUtf8(captions.Command4));
  m_command3->setText(fromUtf8(captions.Command3));
  m_command5->setText(fromUtf8(captions.Command5));
  m_command6->setText(fromUtf8(captions.Command6));
  m_label4->setText(fromUtf8(captions.Label4));
}

QString Form1::uiText(UiText id) const { return fromUtf8(m_texts.text(id)); }

// The counters count the lists as shown: the lists themselves belong to the
// scan's thread while a scan runs, and the snapshots are what the user sees.
void Form1::Eintrag() {
  m_label1->setText(fromUtf8(counterCaption(m_texts.text(UiText::FoundCounter), m_model1->snapshot().size())));
  m_label2->setText(fromUtf8(counterCaption(m_texts.text(UiText::UnknownCounter), m_model2->snapshot().size())));
}

// A scan writes the counters after every file; the window shows that at each
// publication of the lists, together with the lists themselves.
void Form1::showLists() {
  const PublishedLists published = m_controller.published();
  if (published.version == m_shownVersion) return;
  m_shownVersion = published.version;
  m_model1->setSnapshot(published.list1);
  m_model2->setSnapshot(published.list2);
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
  const QString path =
      m_dialogs.showOpen(this, m_settings.programFolder, uiText(UiText::OpenTitle), uiText(UiText::OpenFilter));
  // Nothing chosen, or a path without a file name after its last "/".
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0 || slash == path.size() - 1) return;
  startScan({SourceKind::File, path.toStdString()});
}

void Form1::Command4_Click() {
  if (m_scanning) return;
  clearLists();
  const QString folder = m_dialogs.browseFolder(this, uiText(UiText::FolderPrompt), m_settings.programFolder);
  if (folder.trimmed().isEmpty()) return;
  startScan({SourceKind::Folder, folder.toStdString()});
}

void Form1::Command3_Click() {
  if (m_scanning) return;
  clearLists();
  const QString answer =
      m_dialogs.inputBox(this, QStringLiteral("URL"), QStringLiteral("URL"), QStringLiteral("http://"));
  // A blank answer downloads nothing, but the scan still closes as usual.
  startScan({SourceKind::Url, answer.toStdString()});
}

void Form1::Command5_Click() {
  if (m_scanning) return;
  const QString prompt = uiText(UiText::DelimiterPrompt) + QLatin1Char('\n') + uiText(UiText::DelimiterHelp);
  const QString answer = m_dialogs.inputBox(
      this, prompt, uiText(UiText::DelimiterTitle),
      QString::fromUtf8(kDefaultDelimiterAnswer.data(), static_cast<qsizetype>(kDefaultDelimiterAnswer.size())));
  const std::optional<std::string> delimiter = exportDelimiter(answer.toStdString());
  if (!delimiter) return;
  const QString path =
      m_dialogs.showSave(this, m_settings.programFolder, uiText(UiText::ExportTitle), uiText(UiText::ExportFilter));
  if (isBlank(path.toStdString())) return;
  const std::optional<platform::Failure> failure = exportList1(m_controller.lists(), *delimiter, path.toStdString());
  if (!failure) {
    m_exportedSinceScan = true;
  } else {
    m_dialogs.messageBox(this, QString::fromStdString(exportErrorDescription(*failure)),
                         QString::fromStdString(errorBoxTitle(failure->systemError)), MessageIcon::Critical);
  }
}

void Form1::Command6_Click() { close(); }

void Form1::Command7_Click() {
  m_dialogs.messageBox(this, uiText(UiText::HelpText), uiText(UiText::HelpTitle), MessageIcon::None);
}

void Form1::Command2_Click(int index) {
  if (m_scanning) return;
  // "<" moves the selection of List2 into List1, ">" that of List1 into
  // List2; duplicates stay until the next scan removes them.
  if (index == 0) {
    m_controller.lists().moveSelected(ListId::List2, selectedRows(m_list2));
  } else if (index == 1) {
    m_controller.lists().moveSelected(ListId::List1, selectedRows(m_list1));
  }
  // A move with nothing selected still publishes, so the counters are written.
  m_controller.publish();
  showLists();
}

void Form1::Picture2_Click() { m_dialogs.openWebPage(m_settings.donateUrl); }

void Form1::Timer1_Timer() {
  ++m_timer1Ticks;
  if (m_timer1Ticks == 10) {
    m_label3->setText(QString());
    m_timer1Ticks = 0;
    m_timer1->stop();
  }
}

void Form1::Timer2_Timer() { m_command5->setEnabled(!m_scanning && m_model1->snapshot().size() > 0); }

void Form1::startScan(ScanSource source) {
  setScanning(true);
  m_exportedSinceScan = false;
  ScanOptions options;
  options.jobs = m_settings.jobs;
  options.decode.mode = m_settings.decode;
  options.rules = m_settings.rules;
  m_controller.start({std::move(source)}, std::move(options));
  m_poll->start();
}

void Form1::pollScan() {
  if (!m_scanning) return;
  const ProgressReport progress = m_controller.progress();
  QString text;
  if (progress.kind == SourceKind::Folder) {
    text =
        QString::fromStdString(folderProgress(m_texts, progress.filesDone, progress.filesListed, progress.listingDone));
    const QString current = QString::fromStdString(displayName(progress.currentPath));
    text += QLatin1Char('\n') + m_progress->fontMetrics().elidedText(current, Qt::ElideMiddle, m_progress->width());
  } else {
    text = megabytes(progress.bytesDone);
  }
  m_progress->setText(text);
  showLists();
  if (!m_controller.isRunning()) finishScan();
}

void Form1::finishScan() {
  m_poll->stop();
  const std::optional<ScanReport> report = m_controller.takeReport();
  showLists();
  if (report && report->anyFileScanned) {
    m_label1->setText(fromUtf8(counterCaption(m_texts.text(UiText::FoundCounter), report->last.found)));
    m_label2->setText(fromUtf8(counterCaption(m_texts.text(UiText::UnknownCounter), report->last.unknown)));
    m_label3->setText(fromUtf8(duplicateNotice(m_texts.text(UiText::DuplicateNotice), report->last.removedFromList1)));
    // A running count is not restarted by a new notice.
    if (!m_timer1->isActive()) m_timer1->start();
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
  for (QPushButton* button : {m_command1, m_command3, m_command4, m_command5, m_command2[0], m_command2[1]}) {
    button->setEnabled(!scanning);
  }
  if (!scanning) Timer2_Timer();
  m_picture1->setGeometry(scanning ? kPanelScanning : kPanelAtRest);
  m_label4->setGeometry(scanning ? QRect(3, 6, kPanelScanning.width() - 6, 16) : twips(45, 90, 1320, 240));
  m_progress->setText(QString());
  m_progress->setVisible(scanning);
  m_cancel->setVisible(scanning);
  m_picture1->setVisible(scanning);
  if (scanning) m_picture1->raise();
}

void Form1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    // Esc stops a running scan; otherwise it is the Quit button's key, but
    // one pressed by mistake must not throw away a scan's results.
    if (m_scanning) {
      cancelScan();
    } else if (mayCloseOnEscape()) {
      Command6_Click();
    }
    return;
  }
  QWidget::keyPressEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  // The list view itself would copy only its current entry.
  if ((watched == m_list1 || watched == m_list2) && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    copySelection(*static_cast<QListView*>(watched));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::copySelection(const QListView& view) {
  std::vector<std::size_t> rows = selectedRows(&view);
  std::sort(rows.begin(), rows.end());
  const ListSnapshot& entries = static_cast<const ResultListModel*>(view.model())->snapshot();
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(rows.size()));
  for (const std::size_t row : rows) {
    const std::string_view entry = entries.at(row);
    lines << QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
  }
  QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

bool Form1::mayCloseOnEscape() {
  const bool holdsResults = m_model1->snapshot().size() > 0 || m_model2->snapshot().size() > 0;
  if (!holdsResults || m_exportedSinceScan) return true;
  return m_dialogs.askYesNo(this, fromUtf8(unexportedCloseQuestion(m_texts)), windowTitle());
}

void Form1::closeEvent(QCloseEvent* event) {
  m_controller.cancel();
  event->accept();
}

}  // namespace mailsift::gui
