#include "app/window/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QWindow>

#include "app/window/account_table_model.h"
#include "app/window/model_change_queue.h"
#include "app/window/qt_text.h"
#include "app/window/window_layout.h"

namespace vidralo {
namespace {

// Labels taller than this wrap their text; shorter ones are single lines.
constexpr int kSingleLineHeight = 30;
constexpr std::array kStatusPartWidths{260, 350, 200};
const char* const kControlIdProperty = "vidraloControlId";
const char* const kStatusPartProperty = "vidraloStatusPart";
// A column never widens past this for a long path; its tooltip has it all.
constexpr int kWidestFittedColumn = 480;
// Columns are fitted over at most this many changed rows per batch, so that
// ten thousand accounts arriving at once cost little.
constexpr int kRowsFittedPerBatch = 2000;

std::size_t indexOf(ControlId id) { return static_cast<std::size_t>(id); }

// Where a label's or button's caption text starts, from its left edge.
int captionLeft(QWidget* host) {
  if (auto* label = qobject_cast<QLabel*>(host)) return label->contentsRect().left() + label->margin();
  auto* button = qobject_cast<QAbstractButton*>(host);
  if (!button) return 0;
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  const auto element = qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents;
  return button->style()->subElementRect(element, &option, button).left();
}

QFont windowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setPointSize(9);
  return font;
}

}  // namespace

MainWindow::MainWindow(ControlModel& controls, QWidget* parent)
    : QMainWindow(parent), controls_(controls), widgets_(controlTable().size(), nullptr) {
  setObjectName(QStringLiteral("主窗口"));
  setFont(windowFont());
  setCentralWidget(new QWidget(this));
  // The default size is also the smallest: every control keeps its place.
  setMinimumSize(kMainWindowOuterSize);
  resize(kMainWindowOuterSize);
  buildControls();
  buildAccountMenu();

  // Subscribe before showing the model, so that no change falls in between.
  changes_ = ModelChangeQueue::create([this](ChangeBatch batch) { applyBatch(batch); });
  subscription_ = controls_.subscribe([queue = changes_](const ControlChange& change) { queue->push(change); });
  showAllControls();
  placeGapEdits();
  QWidget* listBox = widget(ControlId::分组框6);
  defaultGeometry_[listBox] = listBox->geometry();
  for (QWidget* child : listBox->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    defaultGeometry_[child] = child->geometry();
}

MainWindow::~MainWindow() {
  controls_.unsubscribe(subscription_);
  changes_->detach();
}

const std::vector<std::string>& MainWindow::accountMenuItems() {
  static const std::vector<std::string> items{"添加账号",         "删除此账号",       "清空账号列表",
                                              "配置登陆此账号",   "此项移动到最底部", "使用cookies登陆此账号"};
  return items;
}

QWidget* MainWindow::widget(ControlId id) const { return widgets_[indexOf(id)]; }

QTableView* MainWindow::accountList() const { return static_cast<QTableView*>(widget(ControlId::超级列表框1)); }

void MainWindow::setCaption(const std::string& caption) { setWindowTitle(toQt(caption)); }

void MainWindow::onClick(ControlId id, Handler handler) { clickHandlers_[id] = std::move(handler); }
void MainWindow::onTextChanged(ControlId id, Handler handler) { textHandlers_[id] = std::move(handler); }
void MainWindow::onItemSelected(ControlId combo, Handler handler) { itemHandlers_[combo] = std::move(handler); }
void MainWindow::onTimer(ControlId timer, Handler handler) { timerHandlers_[timer] = std::move(handler); }
void MainWindow::onRowClicked(std::function<void(int)> handler) { rowClickHandler_ = std::move(handler); }
void MainWindow::onMenuItem(const std::string& item, Handler handler) { menuHandlers_[item] = std::move(handler); }
void MainWindow::onClose(Handler handler) { closeHandler_ = std::move(handler); }
void MainWindow::onStatusPartClicked(int part, Handler handler) { statusClickHandlers_[part] = std::move(handler); }

void MainWindow::setPlaceholder(ControlId edit, const std::string& text) {
  static_cast<QLineEdit*>(widget(edit))->setPlaceholderText(toQt(text));
}

WindowSize MainWindow::windowSize() const {
  const QSize size = isMaximized() || isFullScreen() ? normalGeometry().size() : this->size();
  return {size.width(), size.height(), isMaximized()};
}

std::vector<int> MainWindow::columnWidths() const {
  std::vector<int> widths;
  const QHeaderView* header = accountList()->horizontalHeader();
  for (int column = 0; column < header->count(); ++column) widths.push_back(header->sectionSize(column));
  return widths;
}

void MainWindow::applyState(const WindowState& state) {
  if (state.size) {
    sizeRestored_ = true;
    resize(state.size->width, state.size->height);
    if (state.size->maximised) setWindowState(windowState() | Qt::WindowMaximized);
  }
  if (state.columnWidths) {
    QHeaderView* header = accountList()->horizontalHeader();
    for (std::size_t column = 0; column < state.columnWidths->size(); ++column)
      header->resizeSection(static_cast<int>(column), (*state.columnWidths)[column]);
  }
}

void MainWindow::run(const std::map<ControlId, Handler>& handlers, ControlId id) const {
  auto found = handlers.find(id);
  if (found != handlers.end() && found->second) found->second();
}

void MainWindow::buildControls() {
  for (const ControlInfo& info : controlTable()) {
    QWidget* created = createWidget(info, parentWidget(info));
    widgets_[indexOf(info.id)] = created;
    if (!created) continue;
    created->setObjectName(toQt(info.name));
    created->setProperty(kControlIdProperty, static_cast<int>(info.id));
    if (auto rect = controlGeometry(info.id)) created->setGeometry(*rect);
    connectEdits(info, created);
  }
}

QWidget* MainWindow::parentWidget(const ControlInfo& info) const {
  if (info.parent == kMainWindowParent) return centralWidget();
  return widget(*findControl(info.parent));
}

QWidget* MainWindow::createWidget(const ControlInfo& info, QWidget* parent) {
  switch (info.kind) {
    case ControlKind::Button: return new QPushButton(parent);
    case ControlKind::TabControl: return new QTabWidget(parent);
    case ControlKind::TabPage: {
      auto* page = new QWidget;
      static_cast<QTabWidget*>(parent)->addTab(page, toQt(info.caption));
      return page;
    }
    case ControlKind::GroupBox: return new QGroupBox(parent);
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      const auto rect = controlGeometry(info.id);
      if (rect && rect->height() > kSingleLineHeight) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      }
      label->installEventFilter(this);
      return label;
    }
    case ControlKind::EditBox: return new QLineEdit(parent);
    case ControlKind::MultiLineEdit: return new QPlainTextEdit(parent);
    case ControlKind::CheckBox: return new QCheckBox(parent);
    case ControlKind::RadioButton: {
      // The model keeps one radio button per parent checked; Qt's own
      // exclusivity would refuse to show a group with none checked.
      auto* radio = new QRadioButton(parent);
      radio->setAutoExclusive(false);
      return radio;
    }
    case ControlKind::ComboBox: return new QComboBox(parent);
    case ControlKind::ListView: {
      auto* list = new QTableView(parent);
      buildAccountList(list);
      return list;
    }
    case ControlKind::StatusBar: {
      buildStatusBar();
      return statusBar();
    }
    case ControlKind::Timer: {
      auto* timer = new QTimer(this);
      timer->setObjectName(toQt(info.name));
      timers_[info.id] = timer;
      connect(timer, &QTimer::timeout, this, [this, id = info.id] { run(timerHandlers_, id); });
      return nullptr;
    }
  }
  return nullptr;
}

void MainWindow::connectEdits(const ControlInfo& info, QWidget* created) {
  const ControlId id = info.id;
  switch (info.kind) {
    case ControlKind::Button:
      connect(static_cast<QPushButton*>(created), &QPushButton::clicked, this, [this, id] { run(clickHandlers_, id); });
      break;
    case ControlKind::EditBox: {
      auto* edit = static_cast<QLineEdit*>(created);
      connect(edit, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        controls_.setText(id, fromQt(text));
        run(textHandlers_, id);
      });
      connect(edit, &QLineEdit::textChanged, this, [this, id] {
        if (showingModel_) run(textHandlers_, id);
      });
      break;
    }
    case ControlKind::MultiLineEdit: {
      auto* edit = static_cast<QPlainTextEdit*>(created);
      connect(edit, &QPlainTextEdit::textChanged, this, [this, id, edit] {
        if (!showingModel_) controls_.setText(id, fromQtLines(edit->toPlainText()));
        run(textHandlers_, id);
      });
      break;
    }
    case ControlKind::CheckBox:
      connect(static_cast<QCheckBox*>(created), &QCheckBox::clicked, this, [this, id](bool checked) {
        controls_.setChecked(id, checked);
        run(clickHandlers_, id);
      });
      break;
    case ControlKind::RadioButton: {
      auto* radio = static_cast<QRadioButton*>(created);
      connect(radio, &QRadioButton::clicked, this, [this, id, radio] {
        // A click never unchecks a radio button.
        radio->setChecked(true);
        controls_.setChecked(id, true);
        run(clickHandlers_, id);
      });
      break;
    }
    case ControlKind::ComboBox:
      connect(static_cast<QComboBox*>(created), &QComboBox::activated, this, [this, id](int index) {
        controls_.setCurrentIndex(id, index);
        run(itemHandlers_, id);
      });
      break;
    case ControlKind::TabControl:
      connect(static_cast<QTabWidget*>(created), &QTabWidget::currentChanged, this, [this, id](int index) {
        if (!showingModel_) controls_.setCurrentPage(id, index);
      });
      break;
    default: break;
  }
}

void MainWindow::placeGapEdits() {
  for (const GapEdit& gap : gapEdits()) {
    QWidget* host = widget(gap.host);
    QWidget* edit = widget(gap.edit);
    host->ensurePolished();
    const auto blanks = blankRun(toQt(controls_.caption(gap.host)), gap.gap, host->fontMetrics());
    if (!blanks) continue;
    const int left = host->x() + captionLeft(host) + blanks->first + 2;
    const int width = std::max(blanks->second - blanks->first - 4, 16);
    const int height = std::min(host->height(), host->fontMetrics().height() + 8);
    edit->setGeometry(left, host->y() + (host->height() - height) / 2, width, height);
    static_cast<QLineEdit*>(edit)->setAlignment(Qt::AlignCenter);
    edit->raise();
  }
}

void MainWindow::buildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  setStatusBar(bar);
  for (int part = 0; part < kStatusBarParts; ++part) {
    auto* label = new QLabel(bar);
    label->setObjectName(QStringLiteral("状态条1_%1").arg(part));
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setProperty(kStatusPartProperty, part);
    label->installEventFilter(this);
    if (part < static_cast<int>(kStatusPartWidths.size())) label->setFixedWidth(kStatusPartWidths[part]);
    bar->addWidget(label, part + 1 == kStatusBarParts ? 1 : 0);
    statusParts_[static_cast<std::size_t>(part)] = label;
  }
}

void MainWindow::buildAccountList(QTableView* list) {
  accountTable_ = new AccountTableModel(controls_, list);
  list->setModel(accountTable_);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setWordWrap(false);
  list->setShowGrid(false);
  list->verticalHeader()->hide();
  // Fixed row heights keep ten thousand rows cheap to lay out.
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setHighlightSections(false);
  QHeaderView* header = list->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(true);
  header->setTextElideMode(Qt::ElideNone);
  const auto columns = accountColumns();
  const int titlePadding = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin) + 8;
  for (std::size_t column = 0; column < columns.size(); ++column) {
    // A title is never cut, whatever the form's width for its column.
    const int titleWidth = header->fontMetrics().horizontalAdvance(QString::fromUtf8(columns[column].title));
    header->resizeSection(static_cast<int>(column), std::max(columns[column].width, titleWidth + titlePadding));
  }
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, &MainWindow::showAccountMenu);
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, list] {
    if (showingModel_) return;
    const auto rows = list->selectionModel()->selectedRows();
    controls_.setSelectedRow(rows.isEmpty() ? -1 : rows.first().row());
  });
  connect(list, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    selectRowInModel(index.row());
    if (rowClickHandler_) rowClickHandler_(index.row());
  });
}

void MainWindow::buildAccountMenu() {
  accountMenu_ = new QMenu(QStringLiteral("账号管理"), this);
  accountMenu_->setObjectName(QStringLiteral("账号管理"));
  accountMenu_->installEventFilter(this);
  connect(accountMenu_, &QMenu::aboutToShow, this, [this] { menuPressed_ = false; });
  for (const std::string& item : accountMenuItems()) {
    QAction* action = accountMenu_->addAction(toQt(item));
    action->setObjectName(toQt(item));
    connect(action, &QAction::triggered, this, [this, item] {
      auto found = menuHandlers_.find(item);
      if (found != menuHandlers_.end() && found->second) found->second();
    });
  }
}

void MainWindow::showAccountMenu(const QPoint& position) {
  QTableView* list = accountList();
  selectRowInModel(list->indexAt(position).row());
  accountMenu_->popup(list->viewport()->mapToGlobal(position));
}

void MainWindow::fitColumnsToContent(int top, int bottom, int left, int right) {
  QTableView* list = accountList();
  QHeaderView* header = list->horizontalHeader();
  top = std::max(top, 0);
  bottom = std::min({bottom, accountTable_->rowCount() - 1, top + kRowsFittedPerBatch - 1});
  // The last column stretches over whatever room is left.
  right = std::min(right, header->count() - 2);
  const QFontMetrics metrics = list->fontMetrics();
  const int padding = 2 * list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 12;
  for (int column = std::max(left, 0); column <= right; ++column) {
    int needed = 0;
    for (int row = top; row <= bottom; ++row)
      needed = std::max(needed, metrics.horizontalAdvance(toQt(controls_.cell(row, column))));
    needed = std::min(needed + padding, kWidestFittedColumn);
    if (needed > header->sectionSize(column)) header->resizeSection(column, needed);
  }
}

void MainWindow::showStatusPart(int part) {
  QLabel* label = statusPart(part);
  const QString full = toQt(controls_.statusText(part));
  // The bar shows one line, cut with "…" where a fixed part is too narrow;
  // the tooltip and a click show the whole text.
  label->setToolTip(full);
  QString line = full;
  line.replace(u'\n', QStringLiteral("；"));
  if (part < static_cast<int>(kStatusPartWidths.size())) {
    const int room = label->contentsRect().width() - 2 * label->margin() - 4;
    line = label->fontMetrics().elidedText(line, Qt::ElideRight, room);
  }
  label->setText(line);
}

void MainWindow::selectRowInModel(int row) {
  controls_.setSelectedRow(row);
  showSelectedRow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeHandler_) closeHandler_();
  QMainWindow::closeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownBefore_) return;
  shownBefore_ = true;
  // The default outer size includes the frame the desktop draws around the
  // window, known only now.
  QWindow* handle = windowHandle();
  if (!handle) return;
  const QSize smallest = kMainWindowOuterSize.shrunkBy(handle->frameMargins());
  setMinimumSize(smallest);
  if (!sizeRestored_ && !isMaximized()) resize(smallest);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  layOutAccountList();
}

void MainWindow::layOutAccountList() {
  if (defaultGeometry_.empty()) return;
  // The room beyond the smallest size goes to the list: wider to the right,
  // taller downwards; what sits below the list moves down with its bottom.
  const QSize smallest = minimumSize();
  const int wider = std::max(0, width() - smallest.width());
  const int taller = std::max(0, height() - smallest.height());
  QWidget* listBox = widget(ControlId::分组框6);
  QWidget* list = widget(ControlId::超级列表框1);
  for (const auto& [shown, rect] : defaultGeometry_) {
    if (shown == listBox || shown == list)
      shown->setGeometry(rect.adjusted(0, 0, wider, taller));
    else
      shown->setGeometry(rect.translated(0, taller));
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == accountMenu_) {
    // Only a press inside the menu makes a release choose an item: the
    // release of the click that opened the menu lands on whatever item
    // appeared under the mouse, and that is no choice.
    if (event->type() == QEvent::MouseButtonPress) menuPressed_ = true;
    if (event->type() == QEvent::MouseButtonRelease && !menuPressed_) return true;
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    const QVariant id = watched->property(kControlIdProperty);
    if (id.isValid()) run(clickHandlers_, static_cast<ControlId>(id.toInt()));
  }
  const QVariant part = watched->property(kStatusPartProperty);
  if (part.isValid() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    // After the click has been handled: a dialog opened inside it would
    // start its own event loop in the middle of the mouse event.
    QMetaObject::invokeMethod(this, [this, part = part.toInt()] {
      auto found = statusClickHandlers_.find(part);
      if (found != statusClickHandlers_.end() && found->second) found->second();
    }, Qt::QueuedConnection);
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace vidralo
