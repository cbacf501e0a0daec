#include "app/runtime/app_info.h"

#include "common/app_config.h"
#include "online/start_window_view.h"

namespace vidralo {
namespace {

constexpr const char* kTitle = "Vidralo";
constexpr const char* kVersion = "1.2";

AppInfo currentInfo;

std::string homePage() {
  const std::string origin = normalizedOrigin(configValue("hosts", "home"));
  return origin.empty() ? std::string() : origin + "/vidralo";
}

}  // namespace

AppInfo makeAppInfo() { return {kTitle, "vidralo", kVersion, homePage()}; }

std::string versionText() { return std::string(kTitle) + " " + kVersion; }

const AppInfo& appInfo() { return currentInfo; }

void setAppInfo(AppInfo info) { currentInfo = std::move(info); }

ProductInfo productInfo() { return {currentInfo.title, currentInfo.productId, currentInfo.version}; }

std::string mainWindowCaption(const AppInfo& info) {
  return info.title + "v" + info.version + "          按键盘 Ctrl + Alt + K  可以快速开始或停止";
}

}  // namespace vidralo
