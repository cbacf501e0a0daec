#include "support/logged_in_account.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "common/program_dir.h"

namespace vidralo::bench {

std::string prepareLoggedInAccount(const std::string& root, sim::SimulatedPlatform& platform, const std::string& id,
                                   int videos) {
  std::filesystem::remove_all(root);
  const std::string folder = root + "/videos";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(root + "/data/list");
  for (int i = 0; i < videos; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/v%02d.mp4", i);
    std::ofstream(folder + name, std::ios::binary) << std::string(200000, 'v');
  }
  std::ofstream(root + "/data/list/" + id + ".json")
      << R"({"昵称":"","素材目录":")" << folder << R"(","缓存id":")" << id << R"("})";
  std::ofstream(root + "/config.ini") << "[hosts]\nplatform = " << platform.origin() << "\n";

  setProgramDirectory(root);
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  engine.setRunDirectory(root);
  engine.globalInit("");
  const StartedBrowser login = engine.startBrowser(platform.loginUrl("测速号"), {profileDirectory(id), "960,1038", "1,1"});
  engine.waitPageLoaded(login.sessionId, "视频拖拽");
  engine.closeBrowsers();
  return folder;
}

}  // namespace vidralo::bench
