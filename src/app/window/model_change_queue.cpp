#include "app/window/model_change_queue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>

namespace vidralo {

std::shared_ptr<ModelChangeQueue> ModelChangeQueue::create(Delivery deliver) {
  return std::shared_ptr<ModelChangeQueue>(new ModelChangeQueue(std::move(deliver)));
}

void ModelChangeQueue::push(const ControlChange& change) {
  std::lock_guard lock(mutex_);
  merge(change);
  if (scheduled_ || !deliver_) return;
  scheduled_ = true;
  // Posted to the application object, which outlives every window; the weak
  // pointer lets a delivery that comes after the window is gone do nothing.
  std::weak_ptr<ModelChangeQueue> self = weak_from_this();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [self] {
        if (auto queue = self.lock()) queue->deliverPending();
      },
      Qt::QueuedConnection);
}

void ModelChangeQueue::merge(const ControlChange& change) {
  switch (change.property) {
    case ControlProperty::Rows: {
      const int row = std::max(change.row, 0);
      pending_.lowestRowChanged = std::min(pending_.lowestRowChanged.value_or(row), row);
      return;
    }
    case ControlProperty::Cell: {
      auto& range = pending_.cells;
      if (!range) {
        range = ChangeBatch::CellRange{change.row, change.column, change.row, change.column};
      } else {
        range->top = std::min(range->top, change.row);
        range->bottom = std::max(range->bottom, change.row);
        range->left = std::min(range->left, change.column);
        range->right = std::max(range->right, change.column);
      }
      return;
    }
    case ControlProperty::SelectedRow:
      pending_.selectionChanged = true;
      return;
    default: {
      auto same = [&change](const ControlChange& known) {
        return known.id == change.id && known.property == change.property && known.column == change.column;
      };
      if (std::none_of(pending_.controls.begin(), pending_.controls.end(), same)) pending_.controls.push_back(change);
    }
  }
}

void ModelChangeQueue::deliverPending() {
  ChangeBatch batch;
  Delivery deliver;
  {
    std::lock_guard lock(mutex_);
    scheduled_ = false;
    batch = std::exchange(pending_, ChangeBatch{});
    deliver = deliver_;
  }
  if (deliver) deliver(std::move(batch));
}

void ModelChangeQueue::detach() {
  std::lock_guard lock(mutex_);
  deliver_ = nullptr;
}

}  // namespace vidralo
