#pragma once
// The main window: a view of the control model. It shows every control's
// value as the model holds it, follows model changes made on any thread, and
// writes what the operator does back into the model before it runs the
// control's handler. Handlers are registered from outside; a control without
// one does nothing.
#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/control_model.h"
#include "settings/window_state_store.h"

class QLabel;
class QMenu;
class QTableView;
class QTimer;

namespace vidralo {

class AccountTableModel;
class ModelChangeQueue;
struct ChangeBatch;

class MainWindow : public QMainWindow {
 public:
  using Handler = std::function<void()>;

  explicit MainWindow(ControlModel& controls, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The widget that shows a control; nullptr for the timer.
  QWidget* widget(ControlId id) const;
  QTableView* accountList() const;
  QLabel* statusPart(int part) const { return statusParts_.at(static_cast<std::size_t>(part)); }

  void setCaption(const std::string& caption);

  // A button's, check box's or radio button's click; a label's left press.
  void onClick(ControlId id, Handler handler);
  // An edit box's text changed, by the operator or by the model.
  void onTextChanged(ControlId id, Handler handler);
  // The operator chose an item of a combo box.
  void onItemSelected(ControlId combo, Handler handler);
  void onTimer(ControlId timer, Handler handler);
  // A left click on a row of the account list; the row is selected by then.
  void onRowClicked(std::function<void(int row)> handler);
  // An item of the account menu; the row under the mouse is selected by then.
  void onMenuItem(const std::string& item, Handler handler);
  // The window is asked to close. The close runs the handler, then goes on.
  void onClose(Handler handler);
  // A left click on a part of the status bar.
  void onStatusPartClicked(int part, Handler handler);

  // What an empty edit box shows in grey (an example, a found default).
  void setPlaceholder(ControlId edit, const std::string& text);

  // The size (when not maximised) and the account list's column widths, to
  // be kept between runs; a state part that is missing keeps the default.
  WindowSize windowSize() const;
  std::vector<int> columnWidths() const;
  void applyState(const WindowState& state);

  // The account menu's items, in order.
  static const std::vector<std::string>& accountMenuItems();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  QWidget* createWidget(const ControlInfo& info, QWidget* parent);
  QWidget* parentWidget(const ControlInfo& info) const;
  void placeGapEdits();
  void buildStatusBar();
  void buildAccountList(QTableView* list);
  void buildAccountMenu();
  void connectEdits(const ControlInfo& info, QWidget* widget);
  void showAccountMenu(const QPoint& position);
  // The account list takes the room the window has beyond its default size.
  void layOutAccountList();
  // Widens the columns of the account list whose cells in the given rows
  // need more room; never narrows one.
  void fitColumnsToContent(int top, int bottom, int left, int right);
  void showStatusPart(int part);
  void selectRowInModel(int row);

  // Model to widgets, on the GUI thread.
  void applyBatch(const ChangeBatch& batch);
  void showControl(ControlId id);
  void showAllControls();
  void showCombo(ControlId id);
  void showTimer(ControlId id);
  void showSelectedRow();

  void run(const std::map<ControlId, Handler>& handlers, ControlId id) const;

  ControlModel& controls_;
  std::vector<QWidget*> widgets_;
  std::map<ControlId, QTimer*> timers_;
  std::array<QLabel*, kStatusBarParts> statusParts_{};
  std::map<int, Handler> statusClickHandlers_;
  // Where the account list's group box and its children sit at the default
  // size; the list grows from these.
  std::map<QWidget*, QRect> defaultGeometry_;
  bool sizeRestored_ = false;
  bool shownBefore_ = false;
  // A mouse button went down inside the account menu since it opened.
  bool menuPressed_ = false;
  AccountTableModel* accountTable_ = nullptr;
  QMenu* accountMenu_ = nullptr;
  std::shared_ptr<ModelChangeQueue> changes_;
  int subscription_ = 0;
  // True while widgets are being brought up to the model, so that the change
  // signals this raises are not written back.
  bool showingModel_ = false;

  std::map<ControlId, Handler> clickHandlers_;
  std::map<ControlId, Handler> textHandlers_;
  std::map<ControlId, Handler> itemHandlers_;
  std::map<ControlId, Handler> timerHandlers_;
  std::map<std::string, Handler> menuHandlers_;
  std::function<void(int)> rowClickHandler_;
  Handler closeHandler_;
};

}  // namespace vidralo
