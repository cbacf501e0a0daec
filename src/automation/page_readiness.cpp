#include "automation/page_readiness.h"

#include <optional>

#include "common/app_config.h"
#include "common/clock.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {
constexpr int kDefaultReadyWaitSeconds = 30;
constexpr std::int64_t kLoadAllowanceMs = 30000;
constexpr double kPollMs = 250;
}  // namespace

PageReadiness pageReadinessSetting() {
  const int wait = toInteger(configValue("page", "ready_wait"));
  return {configValue("page", "login_sign"), wait > 0 ? wait : kDefaultReadyWaitSeconds};
}

bool signShows(BrowserEngine& engine, SessionId session, const std::string& sign) {
  // An element matching it that the page shows, or text the page shows (its
  // visible text: the page's scripts may well hold the same words).
  return engine.elementShown(session, sign) || engine.elementText(session, "body").find(sign) != std::string::npos;
}

PageState awaitUploadPage(BrowserEngine& engine, SessionId session, const PageReadiness& readiness) {
  const std::int64_t readyWaitMs = std::int64_t{readiness.readyWaitSeconds} * 1000;
  const std::int64_t giveUpUnloaded = appClock().tickMs() + readyWaitMs + kLoadAllowanceMs;
  std::optional<std::int64_t> giveUpLoaded;
  while (true) {
    if (stopRequested()) return PageState::Stopped;
    if (!readiness.loginSign.empty() && signShows(engine, session, readiness.loginSign))
      return PageState::NotLoggedIn;
    if (engine.pageIsLoaded(session, kUploadPageMarker)) return PageState::Ready;
    if (!engine.isConnected(session)) return PageState::Gone;
    const std::int64_t now = appClock().tickMs();
    // An empty marker asks only whether the document has finished loading.
    if (!giveUpLoaded && engine.pageIsLoaded(session, "")) giveUpLoaded = now + readyWaitMs;
    if (now >= (giveUpLoaded ? *giveUpLoaded : giveUpUnloaded)) return PageState::NotReady;
    if (!PumpedWait(kPollMs)) return PageState::Stopped;
  }
}

}  // namespace vidralo
