#pragma once
// The Qt face of the account list 超级列表框1. Cells are read straight from
// the control model; the row count the view sees changes only on the GUI
// thread, when a batch of row changes is applied.
#include <QAbstractTableModel>

#include "controls/control_model.h"

namespace vidralo {

class AccountTableModel : public QAbstractTableModel {
 public:
  explicit AccountTableModel(const ControlModel& controls, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Rows were inserted or removed, none of them above `lowestRowChanged`.
  // Pure appends reach the view as an insertion, anything else as a reset.
  // Returns true when the view was reset (its selection is gone).
  bool applyRowChanges(int lowestRowChanged);
  void applyCellChanges(int top, int left, int bottom, int right);

 private:
  const ControlModel& controls_;
  int shownRows_ = 0;
};

}  // namespace vidralo
