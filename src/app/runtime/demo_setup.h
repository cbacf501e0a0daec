#pragma once
// What `vidralo --demo` prepares before the job runs: a demo folder of its
// own (never the program's), the simulated platform on a free loopback
// port, config.ini pointing at it, two accounts with three small generated
// videos each, their browser profiles logged in under their nicknames, and
// the settings of a short run.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/runtime/command_line.h"
#include "simulator/simulated_platform.h"

namespace vidralo {

inline constexpr const char* kDemoFolderMarker = ".vidralo-demo";
inline constexpr int kDemoVideoCount = 6;

// --dir DIR, else the user's data folder "vidralo-demo".
std::string demoFolder(const std::optional<std::string>& directory);

// Empties `folder` for a fresh demo, or creates it. A folder that holds
// anything but an earlier demo (no marker file) is left alone: false, with
// the reason in `error`.
bool resetDemoFolder(const std::string& folder, std::string& error);

// The simulated platform the demo publishes to. It comes from the demo
// module (front_end_modules.h), so only the demo maps its web server.
class DemoPlatform {
 public:
  virtual ~DemoPlatform() = default;
  // Empty when it could not listen on loopback.
  virtual std::string origin() const = 0;
  // The page that logs a browser profile in under `nickname`.
  virtual std::string loginUrl(const std::string& nickname) const = 0;
  virtual std::vector<sim::Publication> publications() const = 0;
};

class Demo {
 public:
  // `platform` is started already; the program directory is the demo folder.
  explicit Demo(std::unique_ptr<DemoPlatform> platform);
  // The platform's origin is written into config.ini, the accounts and their
  // videos are created and each profile is logged in (headless, out of
  // sight). `visibleBrowser`: the job's browsers show their windows. False,
  // with the reason in `error`, when something could not be prepared.
  bool prepare(bool visibleBrowser, std::string& error);
  // The control values of a short demo run.
  static std::vector<ControlSetting> settings();
  // "演示结束：…" and one line per publication the platform recorded.
  std::vector<std::string> publicationLines() const;
  bool publishedEverything() const;

 private:
  std::unique_ptr<DemoPlatform> platform_;
};

}  // namespace vidralo
