#include "app/window/start_window.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QMovie>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/window/message_dialogs.h"
#include "app/window/qt_text.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

constexpr QSize kWindowSize{440, 330};
constexpr QSize kAdSize{400, 120};
constexpr int kStatusWidths[] = {90, 150, 0};
const char* const kTagProperty = "vidraloTag";

QLabel* namedLabel(const char* name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromUtf8(name));
  return label;
}

}  // namespace

StartWindow::StartWindow(Dialogs* dialogs, QWidget* parent)
    : QWidget(parent),
      ownDialogs_(dialogs ? nullptr : std::make_unique<MessageDialogs>(this)),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()) {
  setObjectName(QStringLiteral("启动窗口"));
  setWindowTitle(QStringLiteral("Vidralo 启动"));
  resize(kWindowSize);
  // The top left corner of the desktop, where the centred main window leaves it visible.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().topLeft() + QPoint(24, 24));

  titleLabel_ = namedLabel("透明标签3", this);
  QFont titleFont = titleLabel_->font();
  titleFont.setPointSize(16);
  titleFont.setBold(true);
  titleLabel_->setFont(titleFont);
  titleLabel_->setAlignment(Qt::AlignCenter);

  adPicture_ = namedLabel("图片框_广告", this);
  adPicture_->setFixedSize(kAdSize);
  adPicture_->setAlignment(Qt::AlignCenter);
  adPicture_->setCursor(Qt::PointingHandCursor);
  adPicture_->installEventFilter(this);

  updateLabel_ = namedLabel("透明标签_更新", this);
  updateLabel_->setWordWrap(true);
  updateLabel_->setAlignment(Qt::AlignCenter);
  updateLabel_->hide();

  shortcutButton_ = new QPushButton(QStringLiteral("创建桌面快捷方式"), this);
  shortcutButton_->setObjectName(QStringLiteral("超级按钮_创建快捷方式"));
  connect(shortcutButton_, &QPushButton::clicked, this, [this] {
    if (shortcutClicked_) shortcutClicked_();
  });
  openButton_ = new QPushButton(QStringLiteral("打开最新版"), this);
  openButton_->setObjectName(QStringLiteral("超级按钮_打开"));
  openButton_->hide();
  // One click starts the new version; more clicks during the wait before
  // the program ends would start it again.
  connect(openButton_, &QPushButton::clicked, this, [this] {
    openButton_->setEnabled(false);
    if (openClicked_) openClicked_();
  });

  auto* bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("状态条1"));
  bar->setSizeGripEnabled(false);
  for (int part = 0; part < 3; ++part) {
    QLabel* label = namedLabel(QStringLiteral("状态条1_%1").arg(part).toUtf8().constData(), bar);
    if (kStatusWidths[part] > 0) label->setMinimumWidth(kStatusWidths[part]);
    bar->addWidget(label, kStatusWidths[part] > 0 ? 0 : 1);
    statusParts_[part] = label;
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(shortcutButton_);
  buttons->addWidget(openButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(titleLabel_);
  layout->addWidget(adPicture_, 0, Qt::AlignHCenter);
  layout->addWidget(updateLabel_, 1);
  layout->addLayout(buttons);
  layout->addWidget(bar);
}

StartWindow::~StartWindow() = default;

void StartWindow::post(std::function<void()> change) {
  QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void StartWindow::setStatusPart(int part, const std::string& text) {
  if (part < 0 || part > 2) return;
  post([this, part, text = toQt(text)] { statusParts_[part]->setText(text); });
}

void StartWindow::setUpdateText(const std::string& text) {
  post([this, text = toQtLines(text)] {
    updateLabel_->setText(text);
    updateLabel_->show();
  });
}

void StartWindow::setOpenCaption(const std::string& caption) {
  post([this, caption = toQt(caption)] { openButton_->setText(caption); });
}

void StartWindow::showOpenButton() {
  post([this] { openButton_->show(); });
}

void StartWindow::setAdPicture(const std::string& bytes) {
  post([this, data = QByteArray::fromStdString(bytes)] {
    if (QMovie* old = adPicture_->movie()) old->deleteLater();
    adPicture_->clear();
    if (data.isEmpty()) return;
    // A buffer owned by the movie keeps the bytes for every frame.
    auto* buffer = new QBuffer(adPicture_);
    buffer->setData(data);
    auto* movie = new QMovie(buffer, QByteArray(), adPicture_);
    buffer->setParent(movie);
    if (movie->isValid() && movie->frameCount() != 1) {
      adPicture_->setMovie(movie);
      movie->start();
      return;
    }
    delete movie;
    QPixmap picture;
    if (picture.loadFromData(data)) adPicture_->setPixmap(picture);
  });
}

void StartWindow::setAdTag(const std::string& tag) {
  post([this, tag = toQt(tag)] { adPicture_->setProperty(kTagProperty, tag); });
}

std::string StartWindow::adTag() const { return fromQt(adPicture_->property(kTagProperty).toString()); }

void StartWindow::setTitle(const std::string& title) { titleLabel_->setText(toQt(title)); }

void StartWindow::close() {
  post([this] { QWidget::close(); });
}

void StartWindow::onAdClicked() {
  const std::string tag = adTag();
  if (tag.empty()) return;
  if (startsWith(tag, "http"))
    QDesktopServices::openUrl(QUrl(toQt(tag)));
  else
    dialogs_->message(tag, "信息：");
}

void StartWindow::closeEvent(QCloseEvent* event) {
  if (closing_) closing_();
  event->accept();
}

bool StartWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == adPicture_ && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    onAdClicked();
  return QWidget::eventFilter(watched, event);
}

}  // namespace vidralo
