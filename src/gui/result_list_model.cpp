// The list model: rows are the snapshot's entries, shown as UTF-8 text and
// as the row's tooltip.
#include "gui/result_list_model.h"

#include <limits>

namespace mailsift::gui {

ResultListModel::ResultListModel(QObject* parent)
    : QAbstractListModel(parent), m_snapshot(std::make_shared<ListSnapshot>()) {}

void ResultListModel::setSnapshot(std::shared_ptr<const ListSnapshot> snapshot) {
  beginResetModel();
  m_snapshot = snapshot ? std::move(snapshot) : std::make_shared<ListSnapshot>();
  endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  // A view counts rows in int; more entries than that are not shown.
  const std::size_t rows = std::min<std::size_t>(m_snapshot->size(), std::numeric_limits<int>::max());
  return static_cast<int>(rows);
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  // The tooltip shows an entry that is wider than the list whole.
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() || index.row() < 0) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= m_snapshot->size()) return {};
  const std::string_view entry = m_snapshot->at(row);
  return QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

}  // namespace mailsift::gui
