#include "support/fake_browser_engine.h"

#include <filesystem>

#include "common/clock.h"
#include "common/stop.h"

namespace vidralo::test {
namespace {

constexpr const char* kUploadComplete = "上传完成";

bool isPageControl(const std::string& selector) {
  return selector == ".textarea" || selector == ".btn.cancel-btn" ||
         selector == ".btn.confirm-btn.ant-btn.ant-btn-primary";
}

}  // namespace

FakeBrowserEngine::FakeBrowserEngine() = default;

void FakeBrowserEngine::setPageScript(FakePageScript script) {
  std::lock_guard lock(mutex_);
  script_ = std::move(script);
}

void FakeBrowserEngine::setStartFails(bool fails) {
  std::lock_guard lock(mutex_);
  startFails_ = fails;
}

void FakeBrowserEngine::setUploadBlocksUntilStop(bool blocks) {
  std::lock_guard lock(mutex_);
  uploadBlocks_ = blocks;
}

void FakeBrowserEngine::setEventHook(std::function<void(const FakeEvent&)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void FakeBrowserEngine::killSession(SessionId session) {
  std::lock_guard lock(mutex_);
  if (Page* page = livePage(session)) page->running = false;
}

std::vector<FakeEvent> FakeBrowserEngine::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<FakeEvent> FakeBrowserEngine::events(FakeEvent::Kind kind) const {
  std::vector<FakeEvent> matching;
  for (FakeEvent& event : events())
    if (event.kind == kind) matching.push_back(std::move(event));
  return matching;
}

std::vector<std::string> FakeBrowserEngine::windowTitles() const {
  std::vector<std::string> titles;
  for (const FakeEvent& event : events(FakeEvent::Kind::Title)) titles.push_back(event.text);
  return titles;
}

std::vector<FakePublication> FakeBrowserEngine::publications() const {
  std::lock_guard lock(mutex_);
  return publications_;
}

int FakeBrowserEngine::runningBrowserCount() const {
  std::lock_guard lock(mutex_);
  int count = 0;
  for (const auto& [session, page] : pages_)
    if (page.running) ++count;
  return count;
}

void FakeBrowserEngine::waitForBlockedUpload() {
  std::unique_lock lock(mutex_);
  blockedUpload_.wait(lock, [this] { return blockedUploads_ > 0; });
}

FakeBrowserEngine::Page* FakeBrowserEngine::livePage(SessionId session) {
  auto it = pages_.find(session);
  return it != pages_.end() && it->second.running ? &it->second : nullptr;
}

bool FakeBrowserEngine::pageLoaded(const Page& page) const { return !page.script.pageText.empty(); }

bool FakeBrowserEngine::hasElement(const Page& page, const std::string& selector) const {
  if (!pageLoaded(page)) return false;
  if (selector == ".user-name") return !page.script.nickname.empty();
  if (selector == ".video-status") return !page.uploadedPath.empty();
  if (selector == ".operate-btn.confirm.active") return page.complete;
  if (selector == ".publish-success") return page.publishedShown;
  return isPageControl(selector);
}

void FakeBrowserEngine::record(FakeEvent event) {
  event.wallTime = appClock().wallNow();
  std::function<void(const FakeEvent&)> hook;
  {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    hook = hook_;
  }
  if (hook) hook(event);
}

void FakeBrowserEngine::setRunDirectory(const std::string&) {}
void FakeBrowserEngine::setLogCallback(LogCallback) {}
std::string FakeBrowserEngine::version() const { return "fake"; }
bool FakeBrowserEngine::globalInit(const std::string&) { return true; }

StartedBrowser FakeBrowserEngine::startBrowser(const std::string& url, const StartOptions& options) {
  StartedBrowser started;
  {
    std::lock_guard lock(mutex_);
    if (!startFails_) {
      started = {nextBrowser_++, nextSession_++};
      Page& page = pages_[started.sessionId];
      page.browser = started.browserId;
      page.profileDirectory = options.profileDirectory;
      page.url = url;
      page.script = script_;
    }
  }
  record({FakeEvent::Kind::Start, started.sessionId, options.profileDirectory});
  return started;
}

std::vector<RunningBrowser> FakeBrowserEngine::connectStarted() {
  std::lock_guard lock(mutex_);
  std::vector<RunningBrowser> running;
  for (const auto& [session, page] : pages_)
    if (page.running) running.push_back({page.browser, session, page.profileDirectory});
  return running;
}

void FakeBrowserEngine::closeBrowser(SessionId session) {
  {
    std::lock_guard lock(mutex_);
    Page* page = livePage(session);
    if (!page) return;
    for (auto& [other, sibling] : pages_)
      if (sibling.browser == page->browser) sibling.running = false;
  }
  record({FakeEvent::Kind::Close, session});
}

void FakeBrowserEngine::closeBrowsers() {
  std::lock_guard lock(mutex_);
  for (auto& [session, page] : pages_) page.running = false;
}

bool FakeBrowserEngine::isConnected(SessionId session) {
  std::lock_guard lock(mutex_);
  return livePage(session) != nullptr;
}

void FakeBrowserEngine::closeOtherPages(SessionId) {}
void FakeBrowserEngine::activatePage(SessionId) {}

std::string FakeBrowserEngine::pageUrl(SessionId session) {
  std::lock_guard lock(mutex_);
  Page* page = livePage(session);
  return page ? page->url : std::string{};
}

void FakeBrowserEngine::overrideDialogs(SessionId) {}

bool FakeBrowserEngine::navigate(SessionId session, const std::string& url) {
  {
    std::lock_guard lock(mutex_);
    Page* page = livePage(session);
    if (!page) return false;
    page->url = url;
  }
  record({FakeEvent::Kind::Navigate, session, url});
  return true;
}

void FakeBrowserEngine::refresh(SessionId session) {
  {
    std::lock_guard lock(mutex_);
    Page* page = livePage(session);
    if (!page) return;
    page->uploadedPath.clear();
    page->uploadedSize = -1;
    page->statusReads = 0;
    page->complete = false;
    page->typedTitle.clear();
    page->askingToPublish = false;
    page->publishedShown = false;
  }
  record({FakeEvent::Kind::Refresh, session});
}

bool FakeBrowserEngine::pageIsLoaded(SessionId session, const std::string& marker) {
  std::lock_guard lock(mutex_);
  Page* page = livePage(session);
  // An empty marker asks whether the document has finished loading: a fake page always has.
  if (marker.empty()) return page != nullptr;
  return page && page->script.pageText.find(marker) != std::string::npos;
}

bool FakeBrowserEngine::waitPageLoaded(SessionId session, const std::string& marker) {
  return pageIsLoaded(session, marker);
}

void FakeBrowserEngine::setWindowTitle(SessionId session, const std::string& title) {
  record({FakeEvent::Kind::Title, session, title});
}

std::string FakeBrowserEngine::captureScreenshot(SessionId session) {
  std::lock_guard lock(mutex_);
  return livePage(session) ? std::string("\x89PNG\r\n\x1a\n fake page") : std::string();
}

bool FakeBrowserEngine::elementExists(SessionId session, const std::string& selector) {
  std::lock_guard lock(mutex_);
  Page* page = livePage(session);
  return page && hasElement(*page, selector);
}

std::string FakeBrowserEngine::elementText(SessionId session, const std::string& selector) {
  std::lock_guard lock(mutex_);
  Page* page = livePage(session);
  // The page's visible text, shown whether or not it is the upload page.
  if (page && selector == "body") return page->script.pageText;
  if (!page || !hasElement(*page, selector)) return {};
  if (selector == ".user-name") return page->script.nickname;
  if (selector != ".video-status") return {};
  const int read = ++page->statusReads;
  const std::vector<std::string>& sequence = page->script.statusSequence;
  std::string status;
  if (!sequence.empty())
    status = sequence[std::min<std::size_t>(static_cast<std::size_t>(read - 1), sequence.size() - 1)];
  else
    status = read >= page->script.completesAfterReads ? kUploadComplete : "上传中";
  if (status == kUploadComplete) page->complete = true;
  return status;
}

bool FakeBrowserEngine::click(SessionId session, const std::string& selector, bool) {
  bool clicked = false;
  {
    std::lock_guard lock(mutex_);
    Page* page = livePage(session);
    clicked = page && hasElement(*page, selector);
    if (clicked && selector == ".operate-btn.confirm.active") {
      page->askingToPublish = true;
    } else if (clicked && page->askingToPublish && selector == ".btn.confirm-btn.ant-btn.ant-btn-primary") {
      page->askingToPublish = false;
      if (!page->script.refusesPublication)
        publications_.push_back({session, page->profileDirectory, page->uploadedPath, page->uploadedSize,
                                 page->typedTitle});
      page->publishedShown = !page->script.refusesPublication;
      page->complete = false;
    }
  }
  record({FakeEvent::Kind::Click, session, selector});
  return clicked;
}

bool FakeBrowserEngine::input(SessionId session, const std::string& selector, const std::string& text) {
  bool typed = false;
  {
    std::lock_guard lock(mutex_);
    Page* page = livePage(session);
    typed = page && hasElement(*page, selector);
    if (typed && selector == ".textarea") page->typedTitle = text;
  }
  record({FakeEvent::Kind::Input, session, selector, text});
  return typed;
}

bool FakeBrowserEngine::uploadFile(SessionId session, const std::string& path) {
  record({FakeEvent::Kind::Upload, session, path});
  std::unique_lock lock(mutex_);
  if (uploadBlocks_) {
    ++blockedUploads_;
    blockedUpload_.notify_all();
    std::condition_variable_any stopped;
    stopped.wait(lock, currentStopToken(), [] { return false; });
    --blockedUploads_;
    return false;
  }
  Page* page = livePage(session);
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (!page || !pageLoaded(*page) || error) return false;
  page->uploadedPath = path;
  page->uploadedSize = static_cast<std::int64_t>(size);
  page->statusReads = 0;
  page->complete = false;
  return true;
}

std::string FakeBrowserEngine::versionJson(SessionId) { return R"({"Browser":"Fake/1.0"})"; }

}  // namespace vidralo::test
