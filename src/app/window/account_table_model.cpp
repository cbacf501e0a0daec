#include "app/window/account_table_model.h"

#include <algorithm>

#include "controls/control_info.h"

namespace vidralo {

AccountTableModel::AccountTableModel(const ControlModel& controls, QObject* parent)
    : QAbstractTableModel(parent), controls_(controls), shownRows_(controls.rowCount()) {}

int AccountTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int AccountTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant AccountTableModel::data(const QModelIndex& index, int role) const {
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) return {};
  // The tooltip holds the whole text of a cell too narrow for it.
  const QString text = QString::fromStdString(controls_.cell(index.row(), index.column()));
  if (role == Qt::ToolTipRole && text.isEmpty()) return {};
  return text;
}

QVariant AccountTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  return QString::fromUtf8(accountColumns()[static_cast<std::size_t>(section)].title);
}

bool AccountTableModel::applyRowChanges(int lowestRowChanged) {
  const int now = controls_.rowCount();
  // Rows below the old end are untouched when every change lies at or after
  // it, so the view keeps its selection and scroll position.
  if (lowestRowChanged >= shownRows_ && now >= shownRows_) {
    if (now > shownRows_) {
      beginInsertRows({}, shownRows_, now - 1);
      shownRows_ = now;
      endInsertRows();
    }
    return false;
  }
  beginResetModel();
  shownRows_ = now;
  endResetModel();
  return true;
}

void AccountTableModel::applyCellChanges(int top, int left, int bottom, int right) {
  bottom = std::min(bottom, shownRows_ - 1);
  if (top > bottom) return;
  Q_EMIT dataChanged(index(top, left), index(bottom, right), {Qt::DisplayRole});
}

}  // namespace vidralo
