#include "controls/control_model.h"

#include <algorithm>

namespace vidralo {
namespace {

std::size_t indexOf(ControlId id) { return static_cast<std::size_t>(id); }

bool validCell(const std::vector<std::vector<std::string>>& rows, int row, int column) {
  return row >= 0 && static_cast<std::size_t>(row) < rows.size() && column >= 0 && column < kColumnCount;
}

std::vector<std::string> fullRow(std::vector<std::string> cells) {
  cells.resize(kColumnCount);
  return cells;
}

}  // namespace

ControlModel::ControlModel()
    : states_(controlTable().size()),
      statusParts_(kStatusBarParts),
      listeners_(std::make_shared<const std::vector<std::pair<int, Listener>>>()) {
  for (const ControlInfo& info : controlTable()) {
    State& state = states_[indexOf(info.id)];
    state.caption = std::string(info.caption);
    if (info.kind == ControlKind::CheckBox || info.kind == ControlKind::RadioButton)
      state.checked = info.initial == "真";
    else
      state.text = std::string(info.initial);
    if (info.kind == ControlKind::TabControl) state.index = 0;
  }
}

std::string ControlModel::text(ControlId id) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(id)].text;
}

void ControlModel::setText(ControlId id, std::string value) {
  {
    std::lock_guard lock(mutex_);
    states_[indexOf(id)].text = std::move(value);
  }
  notify({id, ControlProperty::Text});
}

std::string ControlModel::caption(ControlId id) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(id)].caption;
}

void ControlModel::setCaption(ControlId id, std::string value) {
  {
    std::lock_guard lock(mutex_);
    states_[indexOf(id)].caption = std::move(value);
  }
  notify({id, ControlProperty::Caption});
}

bool ControlModel::checked(ControlId id) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(id)].checked;
}

void ControlModel::setChecked(ControlId id, bool value) {
  std::vector<ControlId> changed{id};
  {
    std::lock_guard lock(mutex_);
    states_[indexOf(id)].checked = value;
    const ControlInfo& info = controlInfo(id);
    if (value && info.kind == ControlKind::RadioButton) {
      for (const ControlInfo& other : controlTable()) {
        if (other.id == id || other.kind != ControlKind::RadioButton || other.parent != info.parent) continue;
        State& state = states_[indexOf(other.id)];
        if (!state.checked) continue;
        state.checked = false;
        changed.push_back(other.id);
      }
    }
  }
  for (ControlId each : changed) notify({each, ControlProperty::Checked});
}

std::vector<ComboItem> ControlModel::items(ControlId combo) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(combo)].items;
}

int ControlModel::itemCount(ControlId combo) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(states_[indexOf(combo)].items.size());
}

void ControlModel::clearItems(ControlId combo) {
  {
    std::lock_guard lock(mutex_);
    State& state = states_[indexOf(combo)];
    state.items.clear();
    state.index = -1;
    state.text.clear();
  }
  notify({combo, ControlProperty::ComboItems});
}

void ControlModel::addItem(ControlId combo, ComboItem item) {
  {
    std::lock_guard lock(mutex_);
    states_[indexOf(combo)].items.push_back(std::move(item));
  }
  notify({combo, ControlProperty::ComboItems});
}

int ControlModel::currentIndex(ControlId combo) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(combo)].index;
}

void ControlModel::setCurrentIndex(ControlId combo, int index) {
  {
    std::lock_guard lock(mutex_);
    State& state = states_[indexOf(combo)];
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < state.items.size();
    state.index = inRange ? index : -1;
    state.text = inRange ? state.items[static_cast<std::size_t>(index)].text : std::string();
  }
  notify({combo, ControlProperty::ComboIndex});
  notify({combo, ControlProperty::Text});
}

int ControlModel::currentPage(ControlId tabControl) const {
  std::lock_guard lock(mutex_);
  return states_[indexOf(tabControl)].index;
}

void ControlModel::setCurrentPage(ControlId tabControl, int index) {
  {
    std::lock_guard lock(mutex_);
    states_[indexOf(tabControl)].index = index;
  }
  notify({tabControl, ControlProperty::CurrentPage});
}

int ControlModel::rowCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

int ControlModel::insertRow(int at, std::vector<std::string> cells) {
  int index;
  {
    std::lock_guard lock(mutex_);
    index = (at < 0 || static_cast<std::size_t>(at) > rows_.size()) ? static_cast<int>(rows_.size()) : at;
    rows_.insert(rows_.begin() + index, fullRow(std::move(cells)));
    if (selectedRow_ >= index) ++selectedRow_;
  }
  notify({ControlId::超级列表框1, ControlProperty::Rows, index});
  return index;
}

int ControlModel::appendRow(std::vector<std::string> cells) { return insertRow(-1, std::move(cells)); }

bool ControlModel::removeRow(int row) {
  {
    std::lock_guard lock(mutex_);
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return false;
    rows_.erase(rows_.begin() + row);
    if (selectedRow_ == row)
      selectedRow_ = -1;
    else if (selectedRow_ > row)
      --selectedRow_;
  }
  notify({ControlId::超级列表框1, ControlProperty::Rows, row});
  return true;
}

void ControlModel::clearRows() {
  {
    std::lock_guard lock(mutex_);
    rows_.clear();
    selectedRow_ = -1;
  }
  notify({ControlId::超级列表框1, ControlProperty::Rows});
}

std::string ControlModel::cell(int row, int column) const {
  std::lock_guard lock(mutex_);
  if (!validCell(rows_, row, column)) return {};
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void ControlModel::setCell(int row, int column, std::string value) {
  {
    std::lock_guard lock(mutex_);
    if (!validCell(rows_, row, column)) return;
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::move(value);
  }
  notify({ControlId::超级列表框1, ControlProperty::Cell, row, column});
}

std::vector<std::string> ControlModel::rowCells(int row) const {
  std::lock_guard lock(mutex_);
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return {};
  return rows_[static_cast<std::size_t>(row)];
}

int ControlModel::findRow(int column, const std::string& value) const {
  std::lock_guard lock(mutex_);
  if (column < 0 || column >= kColumnCount) return -1;
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i][static_cast<std::size_t>(column)] == value) return static_cast<int>(i);
  return -1;
}

int ControlModel::selectedRow() const {
  std::lock_guard lock(mutex_);
  return selectedRow_;
}

void ControlModel::setSelectedRow(int row) {
  {
    std::lock_guard lock(mutex_);
    selectedRow_ = (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) ? row : -1;
  }
  notify({ControlId::超级列表框1, ControlProperty::SelectedRow});
}

std::string ControlModel::statusText(int part) const {
  std::lock_guard lock(mutex_);
  if (part < 0 || part >= kStatusBarParts) return {};
  return statusParts_[static_cast<std::size_t>(part)];
}

void ControlModel::setStatusText(int part, std::string value) {
  {
    std::lock_guard lock(mutex_);
    if (part < 0 || part >= kStatusBarParts) return;
    statusParts_[static_cast<std::size_t>(part)] = std::move(value);
  }
  notify({ControlId::状态条1, ControlProperty::StatusPart, -1, part});
}

int ControlModel::subscribe(Listener listener) {
  std::lock_guard lock(listenerMutex_);
  auto next = std::make_shared<std::vector<std::pair<int, Listener>>>(*listeners_);
  const int handle = nextHandle_++;
  next->emplace_back(handle, std::move(listener));
  listeners_ = std::move(next);
  return handle;
}

void ControlModel::unsubscribe(int handle) {
  std::lock_guard lock(listenerMutex_);
  auto next = std::make_shared<std::vector<std::pair<int, Listener>>>(*listeners_);
  std::erase_if(*next, [handle](const auto& entry) { return entry.first == handle; });
  listeners_ = std::move(next);
}

void ControlModel::notify(const ControlChange& change) const {
  std::shared_ptr<const std::vector<std::pair<int, Listener>>> snapshot;
  {
    std::lock_guard lock(listenerMutex_);
    snapshot = listeners_;
  }
  for (const auto& [handle, listener] : *snapshot) listener(change);
}

}  // namespace vidralo
