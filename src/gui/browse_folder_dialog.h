// The modal folder chooser of the folder scan: a folder tree with OK and
// Cancel and a status line that shows "Auswahl: " and the selected folder's
// path, shortened in the middle to fit.
#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QString>

class QFileSystemModel;
class QFont;
class QLabel;
class QPushButton;
class QTreeView;

namespace mailsift::gui {

namespace detail {
class BelowRootFilter;
}

// The option values of a browse request; the dialog's options are their sum.
inline constexpr int kBrowseOnlyFolders = 1;    // only file-system folders can be chosen
inline constexpr int kBrowseStatusLine = 4;     // the dialog has the status line
inline constexpr int kBrowseNewStyle = 64;      // the resizable dialog with a size grip
inline constexpr int kBrowseShowFiles = 16384;  // files are listed as well as folders

// The text before the selected path in the status line, in every language.
inline constexpr QLatin1String kStatusPrefix("Auswahl: ");
// A title of exactly this text is dropped when the status line is wanted.
inline constexpr QLatin1String kTitleMarker("$");
// What the status line may use beyond its own width: the path gets the
// line's width minus the prefix's width plus this many pixels.
inline constexpr int kStatusExtraWidth = 80;

// The option sum of a browse request: kBrowseOnlyFolders always, plus
// kBrowseStatusLine, kBrowseNewStyle and kBrowseShowFiles as asked. The
// folder scan asks for the status line and the new style: 69.
[[nodiscard]] constexpr int browseOptions(bool statusLine, bool newStyle, bool showFiles) noexcept {
  return kBrowseOnlyFolders + (statusLine ? kBrowseStatusLine : 0) + (newStyle ? kBrowseNewStyle : 0) +
         (showFiles ? kBrowseShowFiles : 0);
}

// The width in pixels that the path may take in a status line `lineWidth`
// pixels wide whose prefix is `prefixWidth` pixels wide: lineWidth -
// prefixWidth + kStatusExtraWidth. May be negative for a very narrow line.
[[nodiscard]] constexpr int statusPathWidth(int lineWidth, int prefixWidth) noexcept {
  return lineWidth - prefixWidth + kStatusExtraWidth;
}

// The status line text for `path` in a line `lineWidth` pixels wide drawn
// with `font`: kStatusPrefix followed by `path`, which is shortened in the
// middle with an ellipsis to statusPathWidth() when it is wider. When even
// the ellipsis does not fit, the path is shown whole. Returns "" for an
// empty path.
[[nodiscard]] QString statusLineText(const QString& path, const QFont& font, int lineWidth);

// The folder chooser. Build it with the options of browseOptions() and run it
// with exec(), or use BrowseFolder(). The tree shows the file system from
// "/", or from the root folder down when one is given. Lives on the GUI
// thread only.
class BrowseFolderDialog final : public QDialog {
  Q_OBJECT

 public:
  // A dialog owned by `owner` (may be null) titled `title`. `startFolder`, if
  // it can be browsed, is selected and scrolled to. `rootFolder`, when not ""
  // and an existing folder, limits the tree to itself and what lies below it.
  // `options` is a sum as browseOptions() makes it.
  BrowseFolderDialog(QWidget* owner, const QString& title, const QString& startFolder, const QString& rootFolder,
                     int options);

  // The option sum the dialog was built with.
  [[nodiscard]] int options() const noexcept { return m_options; }
  // The file-system path of the selected item ("/" for the root), or "" when
  // nothing is selected.
  [[nodiscard]] QString selectedPath() const;
  // The tree's index of `path`, or an invalid index when the path does not
  // exist, lies outside the root folder, or is a file while files are not
  // shown. May add the path's folders to the file-system model.
  [[nodiscard]] QModelIndex indexOfPath(const QString& path) const;
  // Selects `path` in the tree, opens its parent folders and scrolls to it.
  // Returns false, leaving the selection as it was, when indexOfPath() finds
  // no index for it.
  bool selectPath(const QString& path);

  // The parts of the dialog, for tests and for the owner to inspect. They
  // belong to the dialog. They also carry the object names "folderTree",
  // "statusLine", "okButton" and "cancelButton".
  [[nodiscard]] QTreeView* folderTree() const noexcept { return m_tree; }
  [[nodiscard]] QLabel* statusLine() const noexcept { return m_statusLine; }
  [[nodiscard]] QPushButton* okButton() const noexcept { return m_okButton; }
  [[nodiscard]] QPushButton* cancelButton() const noexcept { return m_cancelButton; }
  // The model under the tree; its directoryLoaded signal tells when a folder
  // has been listed.
  [[nodiscard]] QFileSystemModel* fileSystemModel() const noexcept { return m_model; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void selectionChanged();
  void updateStatusLine();
  void revealSelection();

  int m_options;
  QString m_rootFolder;  // "/" when the whole file system can be browsed
  QFileSystemModel* m_model;
  detail::BelowRootFilter* m_filter;
  QTreeView* m_tree;
  QLabel* m_statusLine;
  QPushButton* m_okButton;
  QPushButton* m_cancelButton;
  // True until the user first clicks, scrolls or types in the tree: while
  // folders are still being listed, the selection is kept in view.
  bool m_revealSelection = true;
};

// Shows the folder chooser modally over `owner` and returns the chosen
// folder's path ("/" for the root, so a root keeps its slash), or "" when the
// user cancels. When `title` is exactly "$" and `statusLine` is true, the
// title becomes "", in the caller's variable as well. `rootFolder` "" means
// the whole file system. `startFolder` is selected when the dialog opens.
// GUI thread only; runs its own event loop until the dialog closes.
QString BrowseFolder(QString& title, const QString& startFolder, QWidget* owner, bool statusLine,
                     const QString& rootFolder, bool newStyle, bool showFiles);

}  // namespace mailsift::gui
