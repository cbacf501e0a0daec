// The model-to-widget direction of the main window: every widget shows what
// the control model holds. Runs on the GUI thread only.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include "app/window/account_table_model.h"
#include "app/window/main_window.h"
#include "app/window/model_change_queue.h"
#include "app/window/qt_text.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

bool sameItems(const QComboBox& combo, const std::vector<ComboItem>& items) {
  if (combo.count() != static_cast<int>(items.size())) return false;
  for (int i = 0; i < combo.count(); ++i) {
    const ComboItem& item = items[static_cast<std::size_t>(i)];
    if (combo.itemText(i) != toQt(item.text) || combo.itemData(i).toInt() != item.data) return false;
  }
  return true;
}

}  // namespace

void MainWindow::applyBatch(const ChangeBatch& batch) {
  for (const ControlChange& change : batch.controls) showControl(change.id);
  if (batch.lowestRowChanged) {
    // A reset drops the view's selection; the model's stays and is shown again below.
    QScopedValueRollback guard(showingModel_, true);
    accountTable_->applyRowChanges(*batch.lowestRowChanged);
    fitColumnsToContent(*batch.lowestRowChanged, accountTable_->rowCount() - 1, 0, kColumnCount - 1);
  }
  if (batch.cells) {
    accountTable_->applyCellChanges(batch.cells->top, batch.cells->left, batch.cells->bottom, batch.cells->right);
    fitColumnsToContent(batch.cells->top, batch.cells->bottom, batch.cells->left, batch.cells->right);
  }
  if (batch.lowestRowChanged || batch.selectionChanged) showSelectedRow();
}

void MainWindow::showAllControls() {
  for (const ControlInfo& info : controlTable()) showControl(info.id);
  showSelectedRow();
}

void MainWindow::showControl(ControlId id) {
  const ControlInfo& info = controlInfo(id);
  QWidget* shown = widget(id);
  QScopedValueRollback guard(showingModel_, true);
  switch (info.kind) {
    case ControlKind::Button: static_cast<QPushButton*>(shown)->setText(toQt(controls_.caption(id))); break;
    case ControlKind::TabControl: {
      auto* tabs = static_cast<QTabWidget*>(shown);
      const int page = controls_.currentPage(id);
      if (page >= 0 && page < tabs->count()) tabs->setCurrentIndex(page);
      break;
    }
    case ControlKind::TabPage: {
      auto* tabs = static_cast<QTabWidget*>(widget(*findControl(info.parent)));
      tabs->setTabText(tabs->indexOf(shown), toQt(controls_.caption(id)));
      break;
    }
    case ControlKind::GroupBox: static_cast<QGroupBox*>(shown)->setTitle(toQt(controls_.caption(id))); break;
    case ControlKind::Label: static_cast<QLabel*>(shown)->setText(toQtLines(controls_.caption(id))); break;
    case ControlKind::EditBox: {
      auto* edit = static_cast<QLineEdit*>(shown);
      const QString text = toQt(controls_.text(id));
      if (edit->text() != text) edit->setText(text);
      break;
    }
    case ControlKind::MultiLineEdit: {
      auto* edit = static_cast<QPlainTextEdit*>(shown);
      const QString text = toQtLines(controls_.text(id));
      if (edit->toPlainText() != text) edit->setPlainText(text);
      break;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton: {
      auto* button = static_cast<QAbstractButton*>(shown);
      button->setText(toQt(controls_.caption(id)));
      button->setChecked(controls_.checked(id));
      break;
    }
    case ControlKind::ComboBox: showCombo(id); break;
    case ControlKind::StatusBar:
      for (int part = 0; part < kStatusBarParts; ++part) showStatusPart(part);
      break;
    case ControlKind::Timer: showTimer(id); break;
    case ControlKind::ListView: break;  // rows and cells arrive on their own
  }
}

void MainWindow::showCombo(ControlId id) {
  auto* combo = static_cast<QComboBox*>(widget(id));
  const std::vector<ComboItem> items = controls_.items(id);
  if (!sameItems(*combo, items)) {
    combo->clear();
    for (const ComboItem& item : items) combo->addItem(toQt(item.text), item.data);
  }
  combo->setCurrentIndex(controls_.currentIndex(id));
}

void MainWindow::showTimer(ControlId id) {
  QTimer* timer = timers_.at(id);
  const int period = toInteger(controls_.text(id));
  if (period <= 0) {
    timer->stop();
  } else if (!timer->isActive() || timer->interval() != period) {
    timer->start(period);
  }
}

void MainWindow::showSelectedRow() {
  QScopedValueRollback guard(showingModel_, true);
  QTableView* list = accountList();
  const int row = controls_.selectedRow();
  if (row >= 0 && row < accountTable_->rowCount()) {
    if (!list->selectionModel()->isRowSelected(row, {})) list->selectRow(row);
  } else {
    list->clearSelection();
  }
}

}  // namespace vidralo
