// CdpEngine: configuration, the log, and the page and element operations.
#include "automation/cdp/cdp_engine.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "automation/cdp/browser_launch.h"
#include "automation/cdp/cdp_json.h"
#include "automation/cdp/devtools_http.h"
#include "automation/cdp/engine_records.h"
#include "common/clock.h"
#include "common/pumped_wait.h"

namespace vidralo::cdp {
namespace {

// Half the interval is lost on average between the marker's appearance and
// its reading; a reading is one evaluation in the page.
constexpr double kLoadPollMs = 20;
constexpr std::chrono::milliseconds kVersionTimeLimit{5000};
constexpr int kNavigationRetries = 3;
constexpr double kNavigationRetryPauseMs = 500;
// How long a navigation the browser accepted may take to show in its target.
constexpr double kNavigationLandingMs = 2000;

// The browser's own pages: its first page, a new tab, what's new, settings.
bool isBrowserPage(const std::string& url) {
  for (const char* scheme : {"about:", "chrome:", "chrome-search:", "chrome-untrusted:", "edge:"})
    if (url.starts_with(scheme)) return true;
  return url.empty();
}

bool hasEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

CdpEngine::CdpEngine() : CdpEngine(Config()) {}

CdpEngine::CdpEngine(Config config) : config_(std::move(config)) {}

CdpEngine::~CdpEngine() {
  std::map<SessionId, std::shared_ptr<Page>> pages;
  std::map<BrowserId, std::shared_ptr<Browser>> browsers;
  {
    std::lock_guard lock(mutex_);
    pages.swap(pages_);
    browsers.swap(browsers_);
  }
  pages.clear();  // pages first: they subscribe to their browser's connection
}

void CdpEngine::setRunDirectory(const std::string& directory) {
  std::lock_guard lock(mutex_);
  runDirectory_ = directory;
}

void CdpEngine::setLogCallback(LogCallback callback) {
  std::lock_guard lock(mutex_);
  logCallback_ = std::move(callback);
}

void CdpEngine::log(const std::string& line) const {
  LogCallback callback;
  {
    std::lock_guard lock(mutex_);
    callback = logCallback_;
  }
  if (callback) callback(line);
}

bool CdpEngine::globalInit(const std::string& browserPath) {
  // A browser the operator names is used as it is or not at all: starting
  // some other program on every account would only fail later, silently.
  std::string executable = browserPath.empty() ? findBrowserExecutable("") : browserPath;
  const bool usable = !executable.empty() && (browserPath.empty() || answersAsBrowser(executable));
  if (!usable) executable.clear();
  {
    std::lock_guard lock(mutex_);
    executable_ = executable;
  }
  if (usable) log("init: browser " + executable);
  else if (browserPath.empty()) log("init failed: no Chromium, Chrome or Edge found");
  else log("init failed: " + browserPath + " does not answer as Chromium, Chrome or Edge");
  return usable;
}

std::string CdpEngine::browserExecutable() const {
  std::lock_guard lock(mutex_);
  return executable_;
}

int CdpEngine::browserCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(browsers_.size());
}

bool CdpEngine::headless() const {
  switch (config_.headless) {
    case Headless::On: return true;
    case Headless::Off: return false;
    case Headless::Auto: break;
  }
  return !hasEnvironment("DISPLAY") && !hasEnvironment("WAYLAND_DISPLAY");
}

std::string CdpEngine::absoluteProfile(const std::string& directory) const {
  std::filesystem::path path(directory);
  if (path.is_relative()) {
    std::lock_guard lock(mutex_);
    std::error_code error;
    path = (runDirectory_.empty() ? std::filesystem::current_path(error) : std::filesystem::path(runDirectory_)) / path;
  }
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

std::shared_ptr<CdpEngine::Page> CdpEngine::livePage(SessionId session) const {
  std::lock_guard lock(mutex_);
  auto it = pages_.find(session);
  if (it == pages_.end() || !it->second->usable()) return nullptr;
  return it->second;
}

bool CdpEngine::isConnected(SessionId session) { return livePage(session) != nullptr; }

void CdpEngine::closeOtherPages(SessionId session) {
  std::shared_ptr<Page> page = livePage(session);
  if (!page) return;
  CdpConnection& connection = *page->browser->connection;
  const CdpReply targets = connection.call("Target.getTargets", "{}", {}, config_.commandTimeLimit);
  const rapidjson::Value* infos = member(targets.result(), "targetInfos");
  if (!infos || !infos->IsArray()) return;
  for (const auto& info : infos->GetArray()) {
    const std::string targetId = stringMember(info, "targetId");
    if (stringMember(info, "type") != "page" || targetId == page->targetId) continue;
    const CdpReply closed = connection.call("Target.closeTarget", JsonObject().text("targetId", targetId).str(), {},
                                            config_.commandTimeLimit);
    if (!closed.ok) log(closed.error);
  }
}

void CdpEngine::activatePage(SessionId session) {
  if (std::shared_ptr<Page> page = livePage(session)) page->page->bringToFront();
}

std::string CdpEngine::pageUrl(SessionId session) {
  std::shared_ptr<Page> page = livePage(session);
  return page ? targetUrl(*page) : std::string();
}

std::string CdpEngine::targetUrl(const Page& page) {
  const CdpReply reply = page.browser->connection->call(
      "Target.getTargetInfo", JsonObject().text("targetId", page.targetId).str(), {}, config_.commandTimeLimit);
  const rapidjson::Value* info = member(reply.result(), "targetInfo");
  return info ? stringMember(*info, "url") : std::string();
}

// A navigation to the upload page can be aborted (net::ERR_ABORTED) by the
// browser's own first page still loading in the same tab, or replaced by it
// right afterwards; a moment later the same navigation goes through.
bool CdpEngine::goTo(const std::shared_ptr<Page>& page, const std::string& url) {
  const bool leavingBrowserPages = !isBrowserPage(url);
  for (int attempt = 0; attempt <= kNavigationRetries; ++attempt) {
    if (attempt > 0 && !PumpedWait(kNavigationRetryPauseMs)) return false;
    if (!page->usable() || !page->page->navigate(url, config_.loadTimeLimit)) continue;
    if (!leavingBrowserPages) return true;
    const std::int64_t deadline = appClock().tickMs() + static_cast<std::int64_t>(kNavigationLandingMs);
    std::string landed;
    while (isBrowserPage(landed = targetUrl(*page)) && appClock().tickMs() < deadline && PumpedWait(kLoadPollMs)) {
    }
    if (!isBrowserPage(landed)) return true;
    log("navigation to " + url + " was replaced by " + (landed.empty() ? "nothing" : landed));
  }
  log("navigation to " + url + " failed " + std::to_string(kNavigationRetries + 1) + " times");
  return false;
}

void CdpEngine::overrideDialogs(SessionId session) {
  if (std::shared_ptr<Page> page = livePage(session)) page->page->overrideDialogs();
}

bool CdpEngine::navigate(SessionId session, const std::string& url) {
  std::shared_ptr<Page> page = livePage(session);
  return page && goTo(page, url);
}

void CdpEngine::refresh(SessionId session) {
  if (std::shared_ptr<Page> page = livePage(session)) page->page->reload(config_.loadTimeLimit);
}

void CdpEngine::rememberMarker(const std::string& marker) {
  std::lock_guard lock(mutex_);
  if (!marker.empty()) marker_ = marker;
}

bool CdpEngine::pageIsLoaded(SessionId session, const std::string& marker) {
  rememberMarker(marker);
  std::shared_ptr<Page> page = livePage(session);
  return page && page->page->markerPresent(marker);
}

bool CdpEngine::waitPageLoaded(SessionId session, const std::string& marker) {
  rememberMarker(marker);
  const std::int64_t deadline = appClock().tickMs() + config_.loadTimeLimit.count();
  while (true) {
    const std::int64_t began = appClock().tickMs();
    std::shared_ptr<Page> page = livePage(session);
    if (!page) return false;
    if (page->page->markerPresent(marker)) return true;
    // Readings begin kLoadPollMs apart at most: one that took longer (a page
    // busy loading answers late) is followed at once.
    const std::int64_t now = appClock().tickMs();
    if (now >= deadline || !PumpedWait(std::max(0.0, kLoadPollMs - static_cast<double>(now - began)))) return false;
  }
}

void CdpEngine::setWindowTitle(SessionId session, const std::string& title) {
  // Without a window nobody sees the title, yet a headless browser redraws
  // its hidden window for every change: milliseconds of processor time that
  // the page's next command would wait behind.
  std::shared_ptr<Page> page = livePage(session);
  if (page && !page->browser->windowless) page->page->setTitle(title);
}

bool CdpEngine::elementExists(SessionId session, const std::string& selector) {
  std::shared_ptr<Page> page = livePage(session);
  return page && page->page->elementExists(selector);
}

bool CdpEngine::elementShown(SessionId session, const std::string& selector) {
  std::shared_ptr<Page> page = livePage(session);
  return page && page->page->elementShown(selector);
}

std::string CdpEngine::elementText(SessionId session, const std::string& selector) {
  std::shared_ptr<Page> page = livePage(session);
  return page ? page->page->elementText(selector) : std::string();
}

bool CdpEngine::click(SessionId session, const std::string& selector, bool mouseEvents) {
  std::shared_ptr<Page> page = livePage(session);
  return page && page->page->click(selector, mouseEvents);
}

bool CdpEngine::input(SessionId session, const std::string& selector, const std::string& text) {
  std::shared_ptr<Page> page = livePage(session);
  return page && page->page->input(selector, text);
}

bool CdpEngine::uploadFile(SessionId session, const std::string& path) {
  std::shared_ptr<Page> page = livePage(session);
  if (!page) return false;
  std::string dropZoneText;
  {
    std::lock_guard lock(mutex_);
    dropZoneText = marker_;
  }
  return page->page->uploadFile(path, dropZoneText);
}

std::string CdpEngine::versionJson(SessionId session) {
  std::shared_ptr<Page> page = livePage(session);
  return page ? fetchVersionJson(page->browser->port, kVersionTimeLimit) : std::string();
}

}  // namespace vidralo::cdp
