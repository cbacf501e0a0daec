#pragma once
// The main window's controls without the window: what every handler and the
// job read and write. Each single property access is atomic and may come
// from any thread; a view follows the changes through subscribe().
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controls/control_info.h"

namespace vidralo {

struct ComboItem {
  std::string text;
  int data = 0;
  bool operator==(const ComboItem&) const = default;
};

enum class ControlProperty {
  Text,          // edit box text, combo box edit text, timer period
  Caption,       // labels, buttons, check and radio boxes, group boxes, pages
  Checked,       // check boxes and radio buttons
  ComboItems,    // the item list of a combo box
  ComboIndex,    // the selection of a combo box
  CurrentPage,   // the shown page of a tab control
  Rows,          // rows of the account list were inserted, removed or cleared
  Cell,          // one cell of the account list (row and column given)
  SelectedRow,   // the account list's selection
  StatusPart,    // one part of the status bar (column gives the part)
};

struct ControlChange {
  ControlId id;
  ControlProperty property;
  int row = -1;
  int column = -1;
};

class ControlModel {
 public:
  using Listener = std::function<void(const ControlChange&)>;

  // Every control at its first-run value.
  ControlModel();
  ControlModel(const ControlModel&) = delete;
  ControlModel& operator=(const ControlModel&) = delete;

  std::string text(ControlId id) const;
  void setText(ControlId id, std::string value);

  std::string caption(ControlId id) const;
  void setCaption(ControlId id, std::string value);

  bool checked(ControlId id) const;
  // Checking a radio button unchecks the other radio buttons of its parent.
  void setChecked(ControlId id, bool value);

  std::vector<ComboItem> items(ControlId combo) const;
  int itemCount(ControlId combo) const;
  void clearItems(ControlId combo);
  void addItem(ControlId combo, ComboItem item);
  // -1 for none. Selecting an item shows its text in the edit part, as a
  // drop-down list does; -1 or an index out of range clears the edit text.
  int currentIndex(ControlId combo) const;
  void setCurrentIndex(ControlId combo, int index);

  int currentPage(ControlId tabControl) const;
  void setCurrentPage(ControlId tabControl, int index);

  // The account list 超级列表框1: rows of kColumnCount cells.
  int rowCount() const;
  // Inserts a row of empty cells (filled from `cells` where given) at `at`, or
  // at the end when `at` is out of range; returns the new row's index.
  int insertRow(int at, std::vector<std::string> cells = {});
  int appendRow(std::vector<std::string> cells = {});
  bool removeRow(int row);
  void clearRows();
  // An empty text for a row or column that does not exist.
  std::string cell(int row, int column) const;
  // Ignored for a row or column that does not exist.
  void setCell(int row, int column, std::string value);
  std::vector<std::string> rowCells(int row) const;
  // The first row whose `column` equals `value`, or -1.
  int findRow(int column, const std::string& value) const;
  int selectedRow() const;
  void setSelectedRow(int row);

  std::string statusText(int part) const;
  void setStatusText(int part, std::string value);

  // Listeners run on the writing thread after the change, outside the lock;
  // they must not block. Returns a handle for unsubscribe.
  int subscribe(Listener listener);
  void unsubscribe(int handle);

 private:
  struct State {
    std::string text;
    std::string caption;
    bool checked = false;
    std::vector<ComboItem> items;
    int index = -1;
  };

  void notify(const ControlChange& change) const;

  mutable std::mutex mutex_;
  std::vector<State> states_;
  std::vector<std::vector<std::string>> rows_;
  int selectedRow_ = -1;
  std::vector<std::string> statusParts_;

  mutable std::mutex listenerMutex_;
  std::shared_ptr<const std::vector<std::pair<int, Listener>>> listeners_;
  int nextHandle_ = 1;
};

}  // namespace vidralo
