#include "app/demo_start.h"

#include <cstdio>

#include "app/headless/headless_run.h"
#include "app/runtime/demo_setup.h"
#include "app/runtime/exit_codes.h"
#include "app/runtime/front_end_modules.h"
#include "app/runtime/runtime.h"
#include "common/program_dir.h"

namespace vidralo {

int runDemo(int argc, char** argv, const CommandLine& line) {
  const std::string folder = demoFolder(line.directory);
  if (line.directory && checkProgramDirectory(folder) != DirectoryCheck::Usable) {
    std::fprintf(stderr, "程序目录不存在或不是目录：%s\n", folder.c_str());
    return kExitBadDirectory;
  }
  std::string error;
  if (!resetDemoFolder(folder, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitDemoFailed;
  }
  setProgramDirectory(folder);
  std::printf("演示目录：%s\n", programDirectory().c_str());
  std::fflush(stdout);
  StartWatching watch;
  if (const int code = startStatusPage(line.statusPort, watch); code != kExitOk) return code;

  const WindowModule* window = line.headless ? nullptr : windowModule();
  if (!line.headless && !window) return kExitNoDisplay;
  const bool inWindow = window && window->displayAvailable();
  const DemoModule* platform = demoModule();
  if (!platform) return kExitDemoFailed;
  Demo demo(platform->startPlatform());
  // Visible browsers need a desktop; on the offscreen platform they run headless.
  if (!demo.prepare(inWindow && window->windowsSeen(), error)) {
    std::fprintf(stderr, "演示无法准备：%s\n", error.c_str());
    return kExitDemoFailed;
  }
  std::vector<ControlSetting> settings = Demo::settings();
  settings.insert(settings.end(), line.settings.begin(), line.settings.end());

  if (inWindow) return window->start(argc, argv, {std::nullopt, settings, watch, &demo});
  return runHeadless(argc, argv, {settings, [&demo](Runtime& runtime) {
                                    for (const std::string& text : demo.publicationLines()) std::printf("%s\n", text.c_str());
                                    std::fflush(stdout);
                                    runtime.closeAllBrowsers();
                                    return demo.publishedEverything() ? kExitOk : kExitDemoFailed;
                                  },
                                  watch});
}

}  // namespace vidralo
