#pragma once
// Carries control-model changes from whichever thread made them to the GUI
// thread. Changes that arrive while a delivery is pending join it, so a burst
// of writes (ten thousand rows, a ticking status text) costs one queued call.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

struct ChangeBatch {
  // Distinct (control, property, part) changes, in order of first arrival.
  std::vector<ControlChange> controls;
  // The lowest row at which rows were inserted or removed (0 for a clear).
  std::optional<int> lowestRowChanged;
  // The smallest rectangle holding every changed cell.
  struct CellRange {
    int top, left, bottom, right;
  };
  std::optional<CellRange> cells;
  bool selectionChanged = false;
};

class ModelChangeQueue : public std::enable_shared_from_this<ModelChangeQueue> {
 public:
  using Delivery = std::function<void(ChangeBatch)>;

  // `deliver` runs on the GUI thread with everything collected since the
  // previous delivery. A QCoreApplication must exist.
  static std::shared_ptr<ModelChangeQueue> create(Delivery deliver);

  // Any thread.
  void push(const ControlChange& change);
  // GUI thread: no delivery happens after this returns.
  void detach();

 private:
  explicit ModelChangeQueue(Delivery deliver) : deliver_(std::move(deliver)) {}
  void merge(const ControlChange& change);
  void deliverPending();

  std::mutex mutex_;
  Delivery deliver_;
  ChangeBatch pending_;
  bool scheduled_ = false;
};

}  // namespace vidralo
