#include "app/app_info.h"

#include "common/app_config.h"
#include "online/start_window_view.h"

namespace vidralo {
namespace {

AppInfo currentInfo;

std::string homePage() {
  const std::string origin = normalizedOrigin(configValue("hosts", "home"));
  return origin.empty() ? std::string() : origin + "/vidralo";
}

}  // namespace

AppInfo makeAppInfo() { return {"Vidralo", "vidralo", "1.2", homePage()}; }

const AppInfo& appInfo() { return currentInfo; }

void setAppInfo(AppInfo info) { currentInfo = std::move(info); }

ProductInfo productInfo() { return {currentInfo.title, currentInfo.productId, currentInfo.version}; }

std::string mainWindowCaption(const AppInfo& info) {
  return info.title + "v" + info.version + "          按键盘 Ctrl + Alt + K  可以快速开始或停止";
}

}  // namespace vidralo
