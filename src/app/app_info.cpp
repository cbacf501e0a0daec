#include "app/app_info.h"

#include <cstdlib>

namespace vidralo {
namespace {

constexpr const char* kDefaultHomeHost = "www.vidralo.net";

AppInfo currentInfo;

std::string homeHost() {
  const char* configured = std::getenv("VIDRALO_HOME_HOST");
  return configured && *configured ? configured : kDefaultHomeHost;
}

}  // namespace

AppInfo makeAppInfo() { return {"Vidralo", "vidralo", "1.2", "http://" + homeHost() + "/vidralo"}; }

const AppInfo& appInfo() { return currentInfo; }

void setAppInfo(AppInfo info) { currentInfo = std::move(info); }

std::string mainWindowCaption(const AppInfo& info) {
  return info.title + "v" + info.version + "          按键盘 Ctrl + Alt + K  可以快速开始或停止";
}

}  // namespace vidralo
