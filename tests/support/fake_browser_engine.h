#pragma once
// A browser engine without a browser, for fast tests of everything that
// drives the upload page. Each started browser shows one scripted page: the
// upload page's marker or not, a nickname or none, and a ".video-status"
// that follows a given sequence after a file was handed over. Every call
// that touches a page is recorded in order, with the (test) wall time at
// which it came, and publications are collected with the file's size and
// the title typed for it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "automation/browser_engine.h"

namespace vidralo::test {

struct FakePageScript {
  // The page text; the page counts as loaded when it holds the marker.
  std::string pageText = "视频拖拽";
  // Text of ".user-name"; empty: the element does not exist (not logged in).
  std::string nickname = "昵称";
  // ".video-status" after a file was handed over, read by read; the last
  // text repeats. Empty: "上传中" until read number `completesAfterReads`,
  // which reads "上传完成".
  std::vector<std::string> statusSequence;
  int completesAfterReads = 1;
  // The platform turns every publication down: no ".publish-success" after
  // the publish button's confirmation, and nothing is recorded as published.
  bool refusesPublication = false;
};

struct FakeEvent {
  enum class Kind { Start, Close, Title, Click, Input, Upload, Navigate, Refresh };
  Kind kind;
  SessionId session = 0;
  // Start: profile folder; Title: the title; Click/Input: the selector;
  // Upload: the path; Navigate: the URL.
  std::string text;
  // Input: the typed text.
  std::string typed;
  std::chrono::system_clock::time_point wallTime;
};

struct FakePublication {
  SessionId session = 0;
  std::string profileDirectory;
  std::string videoPath;
  std::int64_t fileSize = -1;
  std::string title;
};

class FakeBrowserEngine : public BrowserEngine {
 public:
  FakeBrowserEngine();

  // --- scripting ---
  // The page of browsers started from now on.
  void setPageScript(FakePageScript script);
  void setStartFails(bool fails);
  // Handing over a file blocks until the calling thread's stop is requested,
  // as a stuck engine call would; then it fails.
  void setUploadBlocksUntilStop(bool blocks);
  // Runs after every recorded event, on the calling thread, outside the lock.
  void setEventHook(std::function<void(const FakeEvent&)> hook);
  // The browser of `session` ends as if its window had been closed.
  void killSession(SessionId session);

  // --- observations ---
  std::vector<FakeEvent> events() const;
  std::vector<FakeEvent> events(FakeEvent::Kind kind) const;
  std::vector<std::string> windowTitles() const;
  std::vector<FakePublication> publications() const;
  int runningBrowserCount() const override;
  // Blocks until some thread is inside a blocking upload.
  void waitForBlockedUpload();

  // --- BrowserEngine ---
  void setRunDirectory(const std::string& directory) override;
  void setLogCallback(LogCallback callback) override;
  std::string version() const override;
  bool globalInit(const std::string& browserPath) override;
  StartedBrowser startBrowser(const std::string& url, const StartOptions& options) override;
  std::vector<RunningBrowser> connectStarted() override;
  void closeBrowser(SessionId session) override;
  void closeBrowsers() override;
  bool isConnected(SessionId session) override;
  void closeOtherPages(SessionId session) override;
  void activatePage(SessionId session) override;
  std::string pageUrl(SessionId session) override;
  void overrideDialogs(SessionId session) override;
  bool navigate(SessionId session, const std::string& url) override;
  void refresh(SessionId session) override;
  bool pageIsLoaded(SessionId session, const std::string& marker) override;
  bool waitPageLoaded(SessionId session, const std::string& marker) override;
  void setWindowTitle(SessionId session, const std::string& title) override;
  // A few bytes that start like a PNG, while the page runs.
  std::string captureScreenshot(SessionId session) override;
  bool elementExists(SessionId session, const std::string& selector) override;
  // The fake page hides nothing: an element there is shown.
  bool elementShown(SessionId session, const std::string& selector) override {
    return elementExists(session, selector);
  }
  std::string elementText(SessionId session, const std::string& selector) override;
  bool click(SessionId session, const std::string& selector, bool mouseEvents) override;
  bool input(SessionId session, const std::string& selector, const std::string& text) override;
  bool uploadFile(SessionId session, const std::string& path) override;
  std::string versionJson(SessionId session) override;

 private:
  struct Page {
    BrowserId browser = 0;
    std::string profileDirectory;
    std::string url;
    FakePageScript script;
    bool running = true;
    // The upload in progress on this page, reset by a reload.
    std::string uploadedPath;
    std::int64_t uploadedSize = -1;
    int statusReads = 0;
    bool complete = false;
    std::string typedTitle;
    // The publish button opened its question; its confirm button publishes.
    bool askingToPublish = false;
    // ".publish-success" shows until the next reload.
    bool publishedShown = false;
  };

  // The running page of `session`, or nullptr. Caller holds the lock.
  Page* livePage(SessionId session);
  bool pageLoaded(const Page& page) const;
  bool hasElement(const Page& page, const std::string& selector) const;
  void record(FakeEvent event);

  mutable std::mutex mutex_;
  std::condition_variable blockedUpload_;
  int blockedUploads_ = 0;
  FakePageScript script_;
  bool startFails_ = false;
  bool uploadBlocks_ = false;
  std::function<void(const FakeEvent&)> hook_;
  std::map<SessionId, Page> pages_;
  SessionId nextSession_ = 101;
  BrowserId nextBrowser_ = 1;
  std::vector<FakeEvent> events_;
  std::vector<FakePublication> publications_;
};

}  // namespace vidralo::test
