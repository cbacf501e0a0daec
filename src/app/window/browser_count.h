#pragma once
// "已启动浏览器：N" in the status bar, kept current: the number of browsers
// the engine runs now, looked at once a second without asking any browser
// anything, so the window never waits on one.
#include <string>

class QObject;

namespace vidralo {

class BrowserEngine;
class ControlModel;

// The timer lives as long as `owner`.
void showBrowserCountEverySecond(QObject* owner, const BrowserEngine& engine, ControlModel& controls);

// The status text for `count` running browsers.
std::string browserCountText(int count);

}  // namespace vidralo
