// A Qt list model over a frozen snapshot of one result list, so a list view
// shows a million entries without an item per entry.
#pragma once

#include <QAbstractListModel>
#include <memory>

#include "results/list_snapshot.h"

namespace mailsift::gui {

class ResultListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ResultListModel(QObject* parent = nullptr);

  // Shows `snapshot` from now on; views reset (selection and scroll lost).
  void setSnapshot(std::shared_ptr<const ListSnapshot> snapshot);
  const ListSnapshot& snapshot() const noexcept { return *m_snapshot; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::shared_ptr<const ListSnapshot> m_snapshot;
};

}  // namespace mailsift::gui
