// CdpEngine: starting, adopting, listing and closing browsers.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "automation/cdp/browser_launch.h"
#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_json.h"
#include "automation/cdp/devtools_http.h"
#include "automation/cdp/engine_records.h"
#include "automation/cdp/start_lock.h"
#include "automation/cdp/socket_transport.h"
#include "common/pumped_wait.h"

namespace vidralo::cdp {
namespace {

// Reading the small port file costs next to nothing; every millisecond of
// the interval adds half a millisecond to each start on average.
constexpr double kPortPollMs = 5;
constexpr std::chrono::milliseconds kConnectTimeLimit{10000};
constexpr std::chrono::milliseconds kProbeTimeLimit{2000};
constexpr std::chrono::milliseconds kBrowserCloseTimeLimit{3000};
constexpr std::size_t kLogTailBytes = 2000;

std::vector<std::string> pageTargets(const CdpReply& targets) {
  std::vector<std::string> pages;
  const rapidjson::Value* infos = member(targets.result(), "targetInfos");
  if (!infos || !infos->IsArray()) return pages;
  for (const auto& info : infos->GetArray())
    if (stringMember(info, "type") == "page") pages.push_back(stringMember(info, "targetId"));
  return pages;
}

// The browser's own complaint: the first sentence of its last error line
// ("[pid:tid:time:ERROR:file(line)] Failed to create a ProcessSingleton for
// your profile directory. This means ...").
std::string browserComplaint(const std::string& output) {
  std::size_t end = output.size();
  while (end > 0) {
    const std::size_t start = output.rfind('\n', end - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    const std::string line = output.substr(from, end - from);
    end = start == std::string::npos ? 0 : start;
    const std::size_t tag = line.find(":ERROR:");
    const std::size_t text = line.find("] ", tag);
    if (tag == std::string::npos || text == std::string::npos) continue;
    const std::string complaint = line.substr(text + 2);
    return complaint.substr(0, complaint.find(". "));
  }
  return {};
}

}  // namespace

void CdpEngine::startFailed(const std::string& reason, const std::string& browserOutput) {
  log("start failed: " + reason + (browserOutput.empty() ? "" : "; browser output:\n" + browserOutput));
  const std::string complaint = browserComplaint(browserOutput);
  std::lock_guard lock(mutex_);
  lastStartFailure_ = complaint.empty() ? reason : complaint;
}

std::string CdpEngine::lastStartFailure() const {
  std::lock_guard lock(mutex_);
  return lastStartFailure_;
}

StartedBrowser CdpEngine::startBrowser(const std::string& url, const StartOptions& options) {
  const StartLockHeld start;
  if (!start) return {};  // stopped while another start ran
  const std::string profile = absoluteProfile(options.profileDirectory);
  log("start: " + url + " on profile " + profile);
  if (options.profileDirectory.empty()) {
    // The default profile would be shared with the user's own browsing, and
    // recent browsers refuse remote debugging on it.
    startFailed("no profile directory");
    return {};
  }
  if (browserExecutable().empty()) {
    startFailed("the engine has no browser (globalInit)");
    return {};
  }
  std::error_code error;
  std::filesystem::create_directories(profile, error);

  std::shared_ptr<Browser> browser = runningBrowser(profile);
  if (!browser) browser = adopt(profile);
  if (browser && !answers(browser)) {
    // Its ids would only lead to commands that time out. The profile holds
    // one browser at a time, so the stuck one goes before a fresh one starts.
    log("the browser on " + profile + " does not answer: closing it for a fresh start");
    shutDown(browser);
    browser = nullptr;
  }
  const bool launched = !browser;
  if (launched) browser = launch(profile, options, url);
  if (!browser) return {};
  std::shared_ptr<Page> page = pageOf(browser);
  if (!page) {
    startFailed("no page to attach to in browser " + std::to_string(browser->id));
    return {};
  }
  // A fresh browser opens on the page itself, which spares the blank page a
  // navigation (and the page a second renderer). Only a tab that shows
  // something else (a restored session) is sent there.
  if (!url.empty() && !(launched && targetUrl(*page) == url)) goTo(page, url);
  // Tabs a fresh browser opened by itself (what's new, a restored session)
  // go; an adopted browser's other tabs are someone's.
  if (launched) closeOtherPages(page->id);
  log("started: browser " + std::to_string(browser->id) + ", session " + std::to_string(page->id));
  {
    std::lock_guard lock(mutex_);
    lastStartFailure_.clear();
  }
  return {browser->id, page->id};
}

std::shared_ptr<CdpEngine::Browser> CdpEngine::runningBrowser(const std::string& profile) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, browser] : browsers_)
    if (browser->profileDirectory == profile && browser->alive()) return browser;
  return nullptr;
}

bool CdpEngine::answers(const std::shared_ptr<Browser>& browser) {
  const std::shared_ptr<Page> page = pageOf(browser);
  return page && !page->page->hung() && page->page->answers();
}

std::shared_ptr<CdpEngine::Browser> CdpEngine::adopt(const std::string& profile) {
  const std::optional<DevToolsEndpoint> endpoint = readActivePort(profile);
  if (!endpoint) return nullptr;
  // The port file may be stale (a browser that was killed) and its port
  // taken by some other program: only the browser that wrote the file
  // names the same WebSocket path.
  const std::string answer = fetchVersionJson(endpoint->port, kProbeTimeLimit);
  rapidjson::Document version;
  version.Parse(answer.data(), answer.size());
  if (version.HasParseError() || !stringMember(version, "webSocketDebuggerUrl").ends_with(endpoint->browserPath))
    return nullptr;
  // A port file copied from another profile leads to that profile's browser,
  // logged in as another account: only a browser started on this profile
  // and listening on the port itself is taken over.
  ProcessHandle process = holdBrowserProcess(profile);
  if (!process || !listensOnPort(process.pid(), endpoint->port)) {
    log("not adopting the browser on port " + std::to_string(endpoint->port) + ": it does not run on " + profile);
    return nullptr;
  }
  log("adopting the browser already running on " + profile);
  return connect(endpoint->webSocketUrl(), endpoint->port, profile, std::move(process));
}

std::shared_ptr<CdpEngine::Browser> CdpEngine::launch(const std::string& profile, const StartOptions& options,
                                                      const std::string& url) {
  std::error_code error;
  std::filesystem::remove(activePortFile(profile), error);  // a stale one would be read as our answer

  LaunchSettings settings;
  settings.profileDirectory = profile;
  settings.windowSize = options.windowSize;
  settings.windowPosition = options.windowPosition;
  settings.headless = headless();
  settings.runningAsRoot = ::geteuid() == 0;
  settings.extraFlags = config_.extraFlags;
  if (!url.empty()) settings.startUrl = url;
  for (const std::string& flag : settings.extraFlags)
    if (const std::string why = refusedFlag(flag); !why.empty()) log("refused browser flag " + flag + ": " + why);
  const std::string logPath = browserLogPath(profile);
  Spawned spawned = spawnDetached(browserExecutable(), browserArguments(settings), logPath);
  if (!spawned.process) {
    startFailed(spawned.error);
    return nullptr;
  }
  log("launched " + browserExecutable() + " as process " + std::to_string(spawned.process.pid()) +
      (settings.headless ? " (headless)" : ""));

  const auto deadline = std::chrono::steady_clock::now() + config_.startTimeLimit;
  std::optional<DevToolsEndpoint> endpoint;
  std::string failure;
  while (!(endpoint = readActivePort(profile))) {
    if (!spawned.process.alive()) failure = "the browser ended during its start";
    else if (std::chrono::steady_clock::now() >= deadline) failure = "the browser reported no debugging port in time";
    else if (!PumpedWait(kPortPollMs)) failure = "stopped during the start";
    if (!failure.empty()) break;
  }
  if (!endpoint) {
    startFailed(failure, fileTail(logPath, kLogTailBytes));
    endProcess(spawned.process, std::chrono::milliseconds(0));
    return nullptr;
  }
  // A failed connection leaves the process with us, to be ended here.
  std::shared_ptr<Browser> browser =
      connect(endpoint->webSocketUrl(), endpoint->port, profile, std::move(spawned.process));
  if (!browser) endProcess(spawned.process, std::chrono::milliseconds(0));
  else browser->windowless = settings.headless;
  return browser;
}

std::shared_ptr<CdpEngine::Browser> CdpEngine::connect(const std::string& webSocketUrl, int port,
                                                       const std::string& profile, ProcessHandle&& process) {
  std::string error;
  std::unique_ptr<SocketTransport> transport = SocketTransport::open(webSocketUrl, kConnectTimeLimit, error);
  if (!transport) {
    log("connect failed: " + webSocketUrl + ": " + error);
    return nullptr;
  }
  auto browser = std::make_shared<Browser>();
  browser->profileDirectory = profile;
  const pid_t pid = process.pid();
  browser->port = port;
  {
    std::lock_guard lock(mutex_);
    browser->id = nextBrowserId_++;
  }
  const BrowserId id = browser->id;
  Browser* raw = browser.get();
  browser->connection = std::make_unique<CdpConnection>(std::move(transport), [this, id] {
    log("disconnected: browser " + std::to_string(id) + " (closed or crashed)");
  });
  // Runs on the connection's thread; it only marks pages, under the lock.
  browser->connection->subscribe("", [this, raw](const CdpEvent& event) {
    if (event.method == "Target.detachedFromTarget") {
      targetGone(raw, stringMember(event.params, "targetId"), stringMember(event.params, "sessionId"));
    } else if (event.method == "Target.targetDestroyed") {
      targetGone(raw, stringMember(event.params, "targetId"), {});
    } else if (event.method == "Target.targetCrashed") {
      const std::string targetId = stringMember(event.params, "targetId");
      log("crashed: page " + targetId + " of browser " + std::to_string(raw->id) + " (" +
          stringMember(event.params, "status") + ")");
      {
        std::lock_guard lock(mutex_);
        raw->crashedTargets.insert(targetId);
      }
      targetGone(raw, targetId, {});
    }
  });
  const CdpReply discover = browser->connection->call("Target.setDiscoverTargets",
                                                      JsonObject().boolean("discover", true).str(), {},
                                                      config_.commandTimeLimit);
  if (!discover.ok) {
    log("connect failed: " + discover.error);
    return nullptr;
  }
  browser->process = std::move(process);
  {
    std::lock_guard lock(mutex_);
    browsers_.emplace(browser->id, browser);
  }
  log("connected: browser " + std::to_string(browser->id) + " on port " + std::to_string(port) + ", process " +
      std::to_string(pid));
  return browser;
}

void CdpEngine::targetGone(const Browser* browser, const std::string& targetId, const std::string& sessionId) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, page] : pages_) {
    if (page->browser.get() != browser) continue;
    if (page->targetId == targetId || (!sessionId.empty() && page->page->sessionId() == sessionId))
      page->attached = false;
  }
}

std::shared_ptr<CdpEngine::Page> CdpEngine::pageOf(const std::shared_ptr<Browser>& browser) {
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, page] : pages_)
      if (page->browser == browser && page->attached) return page;
  }
  return attach(browser);
}

std::shared_ptr<CdpEngine::Page> CdpEngine::attach(const std::shared_ptr<Browser>& browser) {
  CdpConnection& connection = *browser->connection;
  std::string targetId;
  std::vector<std::string> crashed;
  {
    const std::vector<std::string> pages =
        pageTargets(connection.call("Target.getTargets", "{}", {}, config_.commandTimeLimit));
    std::lock_guard lock(mutex_);
    for (const std::string& page : pages) {
      if (browser->crashedTargets.count(page)) crashed.push_back(page);
      else if (targetId.empty()) targetId = page;
    }
  }
  if (targetId.empty()) {
    const CdpReply created = connection.call("Target.createTarget", JsonObject().text("url", "about:blank").str(), {},
                                             config_.commandTimeLimit);
    targetId = stringMember(created.result(), "targetId");
  }
  // A crashed page is replaced by a fresh one rather than revived; closed
  // only now, since closing a browser's last page may end the browser.
  for (const std::string& page : crashed)
    connection.post("Target.closeTarget", JsonObject().text("targetId", page).str());
  if (targetId.empty()) return nullptr;
  const CdpReply attached =
      connection.call("Target.attachToTarget", JsonObject().text("targetId", targetId).boolean("flatten", true).str(),
                      {}, config_.commandTimeLimit);
  const std::string sessionId = stringMember(attached.result(), "sessionId");
  if (sessionId.empty()) {
    log("attach failed: " + attached.error);
    return nullptr;
  }
  auto page = std::make_shared<Page>();
  page->browser = browser;
  page->targetId = targetId;
  page->page = std::make_unique<CdpPage>(connection, sessionId, config_.commandTimeLimit,
                                         [this](const std::string& line) { log(line); });
  std::lock_guard lock(mutex_);
  page->id = nextSessionId_++;
  pages_.emplace(page->id, page);
  return page;
}

std::vector<RunningBrowser> CdpEngine::connectStarted() {
  std::vector<std::shared_ptr<Browser>> known;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, browser] : browsers_) known.push_back(browser);
  }
  std::vector<RunningBrowser> running;
  for (const auto& browser : known) {
    if (!browser->alive()) {
      forget(browser);
      continue;
    }
    if (std::shared_ptr<Page> page = pageOf(browser))
      running.push_back({browser->id, page->id, browser->profileDirectory});
  }
  return running;
}

int CdpEngine::runningBrowserCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(
      std::count_if(browsers_.begin(), browsers_.end(), [](const auto& entry) { return entry.second->alive(); }));
}

void CdpEngine::closeBrowser(SessionId session) {
  std::shared_ptr<Browser> browser;
  {
    std::lock_guard lock(mutex_);
    auto it = pages_.find(session);
    if (it != pages_.end()) browser = it->second->browser;
  }
  if (browser) shutDown(browser);
}

void CdpEngine::closeBrowsers() {
  std::vector<std::shared_ptr<Browser>> all;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, browser] : browsers_) all.push_back(browser);
  }
  for (const auto& browser : all) shutDown(browser);
}

void CdpEngine::shutDown(const std::shared_ptr<Browser>& browser) {
  if (browser->alive()) {
    // The browser often drops the connection before it answers; either way
    // the process check below decides.
    browser->connection->call("Browser.close", "{}", {}, kBrowserCloseTimeLimit);
  }
  // Only the process held since its start (or adoption) is ever signalled;
  // one found only now is held before anything is sent to it.
  ProcessHandle foundNow;
  const ProcessHandle& process =
      browser->process ? browser->process : (foundNow = holdBrowserProcess(browser->profileDirectory));
  const pid_t pid = process.pid();
  const bool gone = !process || endProcess(process, config_.closeGrace);
  browser->connection->close();
  forget(browser);
  log("closed: browser " + std::to_string(browser->id) + (gone ? "" : " (its process " + std::to_string(pid) +
                                                                           " would not end)"));
}

void CdpEngine::forget(const std::shared_ptr<Browser>& browser) {
  std::vector<std::shared_ptr<Page>> dropped;  // destroyed outside the lock
  std::lock_guard lock(mutex_);
  browsers_.erase(browser->id);
  for (auto it = pages_.begin(); it != pages_.end();) {
    if (it->second->browser == browser) {
      dropped.push_back(std::move(it->second));
      it = pages_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vidralo::cdp
