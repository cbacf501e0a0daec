#pragma once
// The start window: the first window the program shows, beside the main
// window for the whole run. It carries the version, server and update
// messages, the maker's announcement and advertisement picture, the
// quotation and the shortcut button. Its controls keep their form names as
// object names (状态条1_0 .. 状态条1_2 for the status bar parts).
#include <QWidget>
#include <functional>
#include <memory>

#include "online/start_window_view.h"

class QLabel;
class QPushButton;

namespace vidralo {

class StartWindow final : public QWidget, public StartWindowView {
 public:
  // `dialogs`: nullptr for message boxes owned by this window.
  explicit StartWindow(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~StartWindow() override;

  // StartWindowView, callable from any thread.
  void setStatusPart(int part, const std::string& text) override;
  void setUpdateText(const std::string& text) override;
  void setOpenCaption(const std::string& caption) override;
  void showOpenButton() override;
  void setAdPicture(const std::string& bytes) override;
  void setAdTag(const std::string& tag) override;
  Dialogs& dialogs() override { return *dialogs_; }
  void close() override;

  // 透明标签3
  void setTitle(const std::string& title);
  std::string adTag() const;
  // A left press on 图片框_广告: an address beginning with "http" opens in the
  // default browser, any other tag is shown in a message box.
  void onAdClicked();

  void onShortcutClicked(std::function<void()> handler) { shortcutClicked_ = std::move(handler); }
  void onOpenClicked(std::function<void()> handler) { openClicked_ = std::move(handler); }
  // Closing the window ends the program; the handler does that.
  void onClose(std::function<void()> handler) { closing_ = std::move(handler); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs `change` on the window's thread.
  void post(std::function<void()> change);

  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs* dialogs_;
  QLabel* statusParts_[3] = {};
  QLabel* updateLabel_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QLabel* adPicture_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QPushButton* shortcutButton_ = nullptr;
  std::function<void()> shortcutClicked_;
  std::function<void()> openClicked_;
  std::function<void()> closing_;
};

}  // namespace vidralo
