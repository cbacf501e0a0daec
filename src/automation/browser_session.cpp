#include "automation/browser_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "common/account_id.h"
#include "common/app_config.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "common/text_rules.h"
#include "controls/control_ids.h"

namespace vidralo {
namespace {

constexpr const char* kNicknameSelector = ".user-name";
constexpr const char* kWindowPosition = "1,1";
constexpr const char* kDefaultAccountId = "100";
constexpr int kTaskbarHeight = 42;
constexpr int kBrowserCountPart = 2;
constexpr int kMessagePart = 1;
constexpr const char* kUnsafeIdText = "账号标识无效，未启动浏览器：";
constexpr mode_t kOwnerOnly = 0700;

std::string shortestDecimal(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// Profile paths compare as folders: "a/b/" and "a//b" name the same one.
std::filesystem::path folderKey(const std::string& path) {
  std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
  if (!normal.has_filename()) normal = normal.parent_path();
  return normal;
}

bool sameFolder(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && folderKey(a) == folderKey(b);
}

std::string effectiveId(std::string accountId) { return accountId.empty() ? kDefaultAccountId : accountId; }

// Names the file to edit in full: the program directory is not always where
// the operator expects it.
std::string noPlatformText() { return "未配置平台地址（" + configFilePath() + " [hosts] platform）"; }

// A folder that exists afterwards with owner-only permissions; one that was
// already there (created by an earlier version, say) is narrowed too.
void ownerOnlyFolder(const std::string& folder) {
  ::mkdir(folder.c_str(), kOwnerOnly);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 077) != 0)
    ::chmod(folder.c_str(), kOwnerOnly);
}

}  // namespace

std::string profileDirectory(const std::string& accountId) {
  const std::string id = effectiveId(accountId);
  if (!isSafeAccountId(id)) return {};
  return programPath("\\huancun\\vesko" + id);
}

void prepareProfileFolder(const std::string& profile) {
  ownerOnlyFolder(programPath("\\huancun"));
  ownerOnlyFolder(profile);
}

std::string windowSizeText(int screenWidth, int screenHeight) {
  return shortestDecimal(screenWidth / 2.0) + "," + shortestDecimal(static_cast<double>(screenHeight) - kTaskbarHeight);
}

OpenedBrowser openAccountPage(BrowserEngine& engine, ControlModel& controls, const SessionSettings& settings, int row,
                              std::string accountId) {
  accountId = effectiveId(std::move(accountId));
  // A start on an empty address would only show a blank browser; say why.
  const std::string address = settings.uploadPageUrl();
  if (address.empty()) {
    controls.setStatusText(kMessagePart, noPlatformText());
    return {};
  }
  const std::string profile = profileDirectory(accountId);
  if (profile.empty()) {
    controls.setStatusText(kMessagePart, kUnsafeIdText + accountId);
    return {};
  }
  prepareProfileFolder(profile);
  const StartOptions options{profile, windowSizeText(settings.screenWidth, settings.screenHeight), kWindowPosition};
  const StartedBrowser started = engine.startBrowser(address, options);
  if (started.sessionId == 0) return {started, PageState::Gone};

  const PageState page = awaitUploadPage(engine, started.sessionId, pageReadinessSetting());
  engine.setWindowTitle(started.sessionId, "载入成功");
  if (page != PageState::NotLoggedIn) readNickname(engine, controls, settings, started.sessionId, row, accountId);
  return {started, page};
}

std::string readNickname(BrowserEngine& engine, ControlModel& controls, const SessionSettings& settings,
                         SessionId session, int row, const std::string& accountId) {
  if (!engine.elementExists(session, kNicknameSelector)) return {};
  const std::string nickname = engine.elementText(session, kNicknameSelector);
  // An element still without text is a page that has not filled it in
  // yet; the nickname kept so far is better than an empty one.
  if (nickname.empty()) return {};
  controls.setCell(row, 列_昵称, nickname);
  if (settings.saveNickname) settings.saveNickname(effectiveId(accountId), nickname);
  return nickname;
}

BrowserSession::BrowserSession(BrowserEngine& engine, ControlModel& controls, SessionSettings settings)
    : engine_(engine), controls_(controls), settings_(std::move(settings)) {}

PageState BrowserSession::ensureSession(int row, const std::string& accountId) {
  const std::string address = settings_.uploadPageUrl();
  if (address.empty()) {
    controls_.setStatusText(kMessagePart, noPlatformText());
    return PageState::Gone;
  }
  const std::vector<RunningBrowser> running = engine_.connectStarted();
  controls_.setStatusText(kBrowserCountPart, "已启动浏览器：" + numberToText(static_cast<std::int64_t>(running.size())));

  // Only a browser on this account's own profile may be taken over: any
  // other one is logged in as another account (an operator's log-in
  // browser, say), and publishing there would publish under that account.
  const std::string profile = profileDirectory(accountId);
  if (profile.empty()) {
    setIds({});
    controls_.setStatusText(kMessagePart, kUnsafeIdText + accountId);
    return PageState::Gone;
  }
  const auto own = std::find_if(running.begin(), running.end(),
                                [&](const RunningBrowser& b) { return sameFolder(b.profileDirectory, profile); });
  const StartedBrowser current = own == running.end() ? StartedBrowser{} : StartedBrowser{own->browserId, own->sessionId};
  setIds(current);
  if (current.sessionId != 0) engine_.closeOtherPages(current.sessionId);

  if (!PumpedWait(1, 1)) return PageState::Stopped;

  if (current.sessionId != 0 && engine_.isConnected(current.sessionId)) {
    engine_.activatePage(current.sessionId);
    PageState page;
    if (engine_.pageUrl(current.sessionId) != address)
      page = loadUploadPage(current.sessionId, address, false);
    else if (!startedThisRun(current.browserId))
      page = loadUploadPage(current.sessionId, address, true);
    else
      page = awaitUploadPage(engine_, current.sessionId, pageReadinessSetting());
    // Its page is this run's own from here on: the next video needs no reload.
    std::lock_guard lock(mutex_);
    startedThisRun_.insert(current.browserId);
    return page;
  }
  const OpenedBrowser opened = openAccountPage(engine_, controls_, settings_, row, accountId);
  setIds(opened.ids);
  std::lock_guard lock(mutex_);
  if (opened.ids.browserId != 0) startedThisRun_.insert(opened.ids.browserId);
  return opened.page;
}

void BrowserSession::beginRun() {
  std::lock_guard lock(mutex_);
  startedThisRun_.clear();
}

bool BrowserSession::startedThisRun(BrowserId browser) const {
  std::lock_guard lock(mutex_);
  return startedThisRun_.contains(browser);
}

// A page already on the upload address may still show the last
// publication, with the last file in its input: handing it the same file
// again would start nothing. A reload brings the empty upload form back.
PageState BrowserSession::loadUploadPage(SessionId session, const std::string& address, bool reload) {
  engine_.overrideDialogs(session);
  if (reload) {
    engine_.refresh(session);
    // The old page answers for the marker until the reload has replaced it.
    if (!PumpedWait(1, 1)) return PageState::Stopped;
  } else if (!engine_.navigate(session, address)) {
    // Tried and failed a few times already; the engine's log says why.
    return stopRequested() ? PageState::Stopped : PageState::NotReady;
  }
  const PageState page = awaitUploadPage(engine_, session, pageReadinessSetting());
  if (page != PageState::Ready) return page;
  return PumpedWait(2, 1) ? page : PageState::Stopped;
}

void BrowserSession::closeSession() {
  const SessionId session = sessionId();
  if (session != 0) engine_.closeBrowser(session);
}

SessionId BrowserSession::sessionId() const {
  std::lock_guard lock(mutex_);
  return sessionId_;
}

BrowserId BrowserSession::browserId() const {
  std::lock_guard lock(mutex_);
  return browserId_;
}

void BrowserSession::setIds(const StartedBrowser& ids) {
  std::lock_guard lock(mutex_);
  sessionId_ = ids.sessionId;
  browserId_ = ids.browserId;
}

}  // namespace vidralo
