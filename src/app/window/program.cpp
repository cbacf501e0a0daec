#include "app/window/program.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/window/browser_count.h"
#include "app/window/global_hot_key.h"
#include "app/window/job_toggle.h"
#include "app/window/main_window.h"
#include "app/window/message_dialogs.h"
#include "app/runtime/runtime.h"
#include "app/window/start_window.h"
#include "common/stop.h"
#include "online/update_flow.h"
#include "app/window/window_handlers.h"
#include "app/window/window_state.h"
#include "common/text_rules.h"
#include "settings/close_sequence.h"

namespace vidralo {
namespace {

// The primary screen, or the usual full-HD size where there is none.
ScreenSize primaryScreenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {screen->size().width(), screen->size().height()};
}

}  // namespace

Program::Program(Options options)
    : window_(std::make_unique<MainWindow>(controls_)),
      ownDialogs_(options.dialogs ? nullptr : std::make_unique<MessageDialogs>(window_.get())),
      dialogs_(options.dialogs ? options.dialogs : ownDialogs_.get()),
      accounts_{controls_, *dialogs_, accountStore_, categories_},
      runtime_(std::make_unique<Runtime>(controls_, *dialogs_, accountStore_, primaryScreenSize())),
      hotKey_(std::make_unique<GlobalHotKey>(window_.get(), [this] { toggleJob(*this); })),
      close_(std::move(options.close)) {
  wireMainWindow(*this);
  browserCount_ = showBrowserCountEverySecond(runtime_->engine(), controls_);
}

Program::~Program() {
  // The count looks at the engine; the threads work on the controls and
  // the window: they end first.
  browserCount_.reset();
  threads_.clear();
  watching_.reset();
  updateFlow_.reset();
  startWindow_.reset();
  runtime_.reset();
  hotKey_.reset();
  window_.reset();
}

void Program::startThread(std::function<void()> work) {
  threads_.emplace_back([work = std::move(work)](std::stop_token stop) {
    StopScope scope(stop);
    work();
  });
}

void Program::adoptStartWindow(std::unique_ptr<StartWindow> window, std::unique_ptr<UpdateFlow> flow) {
  startWindow_ = std::move(window);
  updateFlow_ = std::move(flow);
}

void Program::close(bool hideWindowFirst) {
  if (closeBrowsersWithProgram_) {
    // Out of sight first: closing browsers takes a moment.
    window_->hide();
    runtime_->closeAllBrowsers();
  }
  if (close_)
    close_(hideWindowFirst);
  else
    runCloseSequence(hideWindowFirst);
}

void Program::runCloseSequence(bool hideWindowFirst) {
  saveWindowState(*this);
  if (const int running = runtime_->engine().runningBrowserCount(); running > 0) {
    const std::string note =
        "关闭软件后仍在运行的浏览器：" + numberToText(running) + "个（保留登录，可用“关闭所有浏览器”关闭）";
    controls_.setStatusText(1, note);
    QApplication::processEvents();
    std::fprintf(stderr, "%s\n", note.c_str());
  }
  CloseActions actions;
  if (hideWindowFirst) actions.hideWindow = [this] { window_->hide(); };
  actions.releaseHotKey = [this] { hotKey_->release(); };
  actions.reportSaveFailure = [this](const std::string& message) { dialogs_->message(message); };
  actions.saveValues = valuesRestored_;
  vidralo::runCloseSequence(controls_, settingsPath_, actions);
}

}  // namespace vidralo
