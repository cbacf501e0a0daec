#pragma once
// "已启动浏览器：N" in the status bar, kept current: the number of browsers
// the engine runs now, looked at once a second without asking any browser
// anything, so the window never waits on one.
#include <memory>
#include <string>

class QTimer;

namespace vidralo {

class BrowserEngine;
class ControlModel;

// The count runs while the returned timer lives; it must go before the
// engine and the controls.
std::unique_ptr<QTimer> showBrowserCountEverySecond(const BrowserEngine& engine, ControlModel& controls);

// The status text for `count` running browsers.
std::string browserCountText(int count);

}  // namespace vidralo
