// The folder chooser: a QFileSystemModel seen through a filter that keeps
// the root folder's subtree, a tree view, a status line and OK/Cancel.
#include "gui/browse_folder_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSize>
#include <QSizePolicy>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

#include <utility>

namespace mailsift::gui {

namespace {

const QString kFileSystemRoot = QStringLiteral("/");
constexpr QSize kDialogSize(460, 480);

// `path` made absolute and clean, so that paths compare as text.
QString cleanPath(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// True when `path` is `folder` or lies below it. Both must be clean.
bool isAtOrBelow(const QString& path, const QString& folder) {
  if (folder == kFileSystemRoot) return path.startsWith(kFileSystemRoot);
  return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

}  // namespace

namespace detail {

// Keeps the root folder, what lies below it, and the folders above it (the
// tree cannot reach the root without them; the view starts below them, so
// they are not shown). Everything beside that path is dropped.
class BelowRootFilter final : public QSortFilterProxyModel {
 public:
  BelowRootFilter(QFileSystemModel* source, QString rootFolder, QObject* parent)
      : QSortFilterProxyModel(parent), m_source(source), m_rootFolder(std::move(rootFolder)) {
    setSourceModel(source);
  }

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override {
    if (m_rootFolder == kFileSystemRoot) return true;
    const QString path = m_source->filePath(m_source->index(sourceRow, 0, sourceParent));
    return isAtOrBelow(path, m_rootFolder) || isAtOrBelow(m_rootFolder, path);
  }

 private:
  QFileSystemModel* m_source;
  QString m_rootFolder;
};

}  // namespace detail

QString statusLineText(const QString& path, const QFont& font, int lineWidth) {
  if (path.isEmpty()) return {};
  const QFontMetrics metrics(font);
  const int pathWidth = statusPathWidth(lineWidth, metrics.horizontalAdvance(kStatusPrefix));
  QString shown = metrics.elidedText(path, Qt::ElideMiddle, pathWidth);
  // Too narrow for even the ellipsis: show the path whole rather than nothing.
  if (shown.isEmpty()) shown = path;
  return kStatusPrefix + shown;
}

BrowseFolderDialog::BrowseFolderDialog(QWidget* owner, const QString& title, const QString& startFolder,
                                       const QString& rootFolder, int options)
    : QDialog(owner), m_options(options), m_rootFolder(kFileSystemRoot) {
  setWindowTitle(title);
  setModal(true);

  // A root that is not an existing folder counts as none.
  if (!rootFolder.isEmpty() && QFileInfo(rootFolder).isDir()) m_rootFolder = cleanPath(rootFolder);

  m_model = new QFileSystemModel(this);
  QDir::Filters filters = QDir::AllDirs | QDir::NoDotAndDotDot;
  if ((m_options & kBrowseShowFiles) != 0) filters |= QDir::Files;
  m_model->setFilter(filters);
  m_model->setReadOnly(true);
  m_model->setRootPath(m_rootFolder);
  m_filter = new detail::BelowRootFilter(m_model, m_rootFolder, this);

  m_tree = new QTreeView(this);
  m_tree->setObjectName(QStringLiteral("folderTree"));
  m_tree->setModel(m_filter);
  m_tree->setHeaderHidden(true);
  for (int column = 1; column < m_model->columnCount(); ++column) m_tree->hideColumn(column);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The view starts one level above the root, so the root itself is the one
  // top item and can be chosen: "/" for the whole file system.
  m_tree->setRootIndex(m_filter->mapFromSource(m_model->index(m_rootFolder).parent()));

  m_statusLine = new QLabel(this);
  m_statusLine->setObjectName(QStringLiteral("statusLine"));
  m_statusLine->setTextFormat(Qt::PlainText);
  // The text is fitted to the line, never the line to the text: a long path
  // must not widen the dialog.
  m_statusLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_statusLine->setVisible((m_options & kBrowseStatusLine) != 0);
  m_statusLine->installEventFilter(this);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_okButton = buttons->button(QDialogButtonBox::Ok);
  m_okButton->setObjectName(QStringLiteral("okButton"));
  m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
  m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tree, 1);
  layout->addWidget(m_statusLine);
  layout->addWidget(buttons);

  if ((m_options & kBrowseNewStyle) != 0) {
    setSizeGripEnabled(true);
    resize(kDialogSize);
  } else {
    setFixedSize(kDialogSize);
  }

  connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &BrowseFolderDialog::selectionChanged);
  // Listing a folder sorts new rows in around the selection, which may push
  // it out of sight.
  connect(m_model, &QFileSystemModel::directoryLoaded, this, &BrowseFolderDialog::revealSelection);
  connect(m_filter, &QAbstractItemModel::layoutChanged, this, &BrowseFolderDialog::revealSelection);
  m_tree->installEventFilter(this);
  m_tree->viewport()->installEventFilter(this);

  selectionChanged();
  selectPath(startFolder);
}

QString BrowseFolderDialog::selectedPath() const {
  const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
  if (rows.isEmpty()) return {};
  return m_model->filePath(m_filter->mapToSource(rows.first()));
}

QModelIndex BrowseFolderDialog::indexOfPath(const QString& path) const {
  if (path.isEmpty()) return {};
  const QFileInfo info(path);
  if (!info.exists()) return {};
  // QFileSystemModel::index() shows whatever it is asked for, past its
  // filter, so files and paths outside the root are turned away first.
  if (!info.isDir() && (m_options & kBrowseShowFiles) == 0) return {};
  const QString clean = cleanPath(path);
  if (!isAtOrBelow(clean, m_rootFolder)) return {};
  return m_filter->mapFromSource(m_model->index(clean));
}

bool BrowseFolderDialog::selectPath(const QString& path) {
  const QModelIndex index = indexOfPath(path);
  if (!index.isValid()) return false;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
    m_tree->expand(parent);
  }
  m_tree->setCurrentIndex(index);
  m_tree->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

bool BrowseFolderDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_statusLine) {
    // The shortened path depends on the line's width, which is known only
    // once the layout has placed it.
    if (event->type() == QEvent::Resize) updateStatusLine();
  } else {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::Wheel:
      case QEvent::KeyPress:
        m_revealSelection = false;
        break;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void BrowseFolderDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  revealSelection();
}

void BrowseFolderDialog::selectionChanged() {
  bool canChoose = false;
  const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
  if (!rows.isEmpty()) {
    canChoose = (m_options & kBrowseOnlyFolders) == 0 || m_model->isDir(m_filter->mapToSource(rows.first()));
  }
  m_okButton->setEnabled(canChoose);
  updateStatusLine();
}

void BrowseFolderDialog::updateStatusLine() {
  if ((m_options & kBrowseStatusLine) == 0) return;
  m_statusLine->setText(statusLineText(selectedPath(), m_statusLine->font(), m_statusLine->width()));
}

void BrowseFolderDialog::revealSelection() {
  if (!m_revealSelection) return;
  const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
  if (!rows.isEmpty()) m_tree->scrollTo(rows.first(), QAbstractItemView::PositionAtCenter);
}

QString BrowseFolder(QString& title, const QString& startFolder, QWidget* owner, bool statusLine,
                     const QString& rootFolder, bool newStyle, bool showFiles) {
  if (title == kTitleMarker && statusLine) title.clear();
  // The owner may be destroyed while the dialog's loop runs; the guard
  // notices when the dialog went with it.
  QPointer<BrowseFolderDialog> dialog =
      new BrowseFolderDialog(owner, title, startFolder, rootFolder, browseOptions(statusLine, newStyle, showFiles));
  const int answer = dialog->exec();
  if (dialog.isNull()) return {};
  const QString chosen = answer == QDialog::Accepted ? dialog->selectedPath() : QString();
  delete dialog;
  return chosen;
}

}  // namespace mailsift::gui
