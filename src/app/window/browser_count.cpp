#include "app/window/browser_count.h"

#include <QTimer>

#include "automation/browser_engine.h"
#include "common/text_rules.h"
#include "controls/control_model.h"

namespace vidralo {
namespace {

constexpr int kBrowserCountPart = 2;
constexpr int kPeriodMs = 1000;

void showCount(const BrowserEngine& engine, ControlModel& controls) {
  const std::string text = browserCountText(engine.runningBrowserCount());
  if (controls.statusText(kBrowserCountPart) != text) controls.setStatusText(kBrowserCountPart, text);
}

}  // namespace

std::string browserCountText(int count) { return "已启动浏览器：" + numberToText(count); }

std::unique_ptr<QTimer> showBrowserCountEverySecond(const BrowserEngine& engine, ControlModel& controls) {
  auto timer = std::make_unique<QTimer>();
  QObject::connect(timer.get(), &QTimer::timeout, [&engine, &controls] { showCount(engine, controls); });
  timer->start(kPeriodMs);
  showCount(engine, controls);
  return timer;
}

}  // namespace vidralo
