#pragma once
// The program constants, set once at start-up before any window exists.
#include <string>

namespace vidralo {

struct AppInfo {
  std::string title;
  std::string productId;
  std::string version;
  std::string homePage;
};

// The constants of this build; the home page's host comes from the
// environment variable VIDRALO_HOME_HOST when it is set.
AppInfo makeAppInfo();

// Set once at start-up, before other threads exist; read-only afterwards.
const AppInfo& appInfo();
void setAppInfo(AppInfo info);

// title + "v" + version + the hot-key hint.
std::string mainWindowCaption(const AppInfo& info);

}  // namespace vidralo
