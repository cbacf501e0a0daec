#pragma once
// The program constants, set once at start-up before any window exists.
#include <string>

namespace vidralo {

struct ProductInfo;

struct AppInfo {
  std::string title;
  std::string productId;
  std::string version;
  std::string homePage;
};

// The constants of this build. The home page is the origin configured as
// [hosts] home in config.ini followed by "/vidralo"; empty when none is.
AppInfo makeAppInfo();

// "Vidralo 1.2": title and version alone, without reading config.ini, for
// --version before the program directory is chosen.
std::string versionText();

// Set once at start-up, before other threads exist; read-only afterwards.
const AppInfo& appInfo();
void setAppInfo(AppInfo info);

// The title, product id and version of appInfo() for the online services.
ProductInfo productInfo();

// title + "v" + version + the hot-key hint.
std::string mainWindowCaption(const AppInfo& info);

}  // namespace vidralo
