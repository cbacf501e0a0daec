#pragma once
// The browser-automation engine over the Chrome DevTools Protocol: starts
// Chromium, Chrome or Edge on a profile of its own (or connects to one
// already running on that profile), keeps one WebSocket connection per
// browser with one flat protocol session per page, and performs the page
// and element operations of BrowserEngine.
//
// Every call may come from any thread; none blocks for longer than its time
// limit, and a call made on a thread whose stop was requested returns at
// once.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "automation/browser_engine.h"
#include "automation/cdp/browser_process.h"

namespace vidralo::cdp {

class CdpEngine final : public BrowserEngine {
 public:
  enum class Headless {
    Auto,  // headless exactly when there is no display (DISPLAY, WAYLAND_DISPLAY)
    On,
    Off,
  };

  struct Config {
    Headless headless = Headless::Auto;
    // Further browser flags, appended after our own ("--lang=zh-CN").
    std::vector<std::string> extraFlags;
    // Until the browser reports its debugging port.
    std::chrono::milliseconds startTimeLimit{20000};
    // Each protocol command of a page or element operation.
    std::chrono::milliseconds commandTimeLimit{10000};
    // A navigation command (real time), and waitPageLoaded (counted on
    // appClock(), so that a test clock compresses it like every other wait).
    std::chrono::milliseconds loadTimeLimit{30000};
    // How long a closing browser may take before it is killed.
    std::chrono::milliseconds closeGrace{5000};
  };

  static constexpr const char* kVersion = "5.5.64";

  CdpEngine();
  explicit CdpEngine(Config config);
  // Drops the connections; the browsers themselves keep running.
  ~CdpEngine() override;
  CdpEngine(const CdpEngine&) = delete;
  CdpEngine& operator=(const CdpEngine&) = delete;

  // Relative profile directories are taken below this directory.
  void setRunDirectory(const std::string& directory) override;
  // Receives one line for every start, connection, disconnection, crash and
  // failed command. May be called from the engine's own threads.
  void setLogCallback(LogCallback callback) override;
  std::string version() const override { return kVersion; }
  // A named browser must answer --version as Chromium, Chrome or Edge.
  bool globalInit(const std::string& browserPath) override;

  StartedBrowser startBrowser(const std::string& url, const StartOptions& options) override;
  std::string lastStartFailure() const override;
  std::vector<RunningBrowser> connectStarted() override;
  int runningBrowserCount() const override;
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
  // Only a browser with a window gets the title; a headless one started
  // here keeps the page's own.
  void setWindowTitle(SessionId session, const std::string& title) override;
  std::string captureScreenshot(SessionId session) override;

  bool elementExists(SessionId session, const std::string& selector) override;
  bool elementShown(SessionId session, const std::string& selector) override;
  std::string elementText(SessionId session, const std::string& selector) override;
  bool click(SessionId session, const std::string& selector, bool mouseEvents) override;
  bool input(SessionId session, const std::string& selector, const std::string& text) override;
  // Without a file input on the page, the element showing the marker that
  // pages were last awaited with (the drop zone) is clicked, and the file
  // goes to the file chooser it opens.
  bool uploadFile(SessionId session, const std::string& path) override;

  std::string versionJson(SessionId session) override;

  // The browser executable that globalInit settled on.
  std::string browserExecutable() const;
  // Browsers start headless: configured so, or Auto without a display.
  bool headless() const;
  // Browsers this engine started or took over and still holds.
  int browserCount() const;

 private:
  struct Browser;
  struct Page;

  void log(const std::string& line) const;
  // Logs the failure of the start in progress and keeps its reason.
  void startFailed(const std::string& reason, const std::string& browserOutput = {});
  void rememberMarker(const std::string& marker);
  std::string absoluteProfile(const std::string& directory) const;

  std::shared_ptr<Browser> runningBrowser(const std::string& profile);
  std::shared_ptr<Browser> adopt(const std::string& profile);
  // Its page takes commands (not hung, and answers one now).
  bool answers(const std::shared_ptr<Browser>& browser);
  // Opens the browser on `url` (about:blank when empty).
  std::shared_ptr<Browser> launch(const std::string& profile, const StartOptions& options, const std::string& url);
  std::shared_ptr<Browser> connect(const std::string& webSocketUrl, int port, const std::string& profile,
                                   ProcessHandle&& process);
  std::shared_ptr<Page> pageOf(const std::shared_ptr<Browser>& browser);
  // The address the browser reports for the page's target.
  std::string targetUrl(const Page& page);
  // Navigates with the retries that navigate() promises.
  bool goTo(const std::shared_ptr<Page>& page, const std::string& url);
  std::shared_ptr<Page> attach(const std::shared_ptr<Browser>& browser);
  void targetGone(const Browser* browser, const std::string& targetId, const std::string& sessionId);
  void shutDown(const std::shared_ptr<Browser>& browser);
  void forget(const std::shared_ptr<Browser>& browser);

  // The page of `session` while it is usable; null otherwise.
  std::shared_ptr<Page> livePage(SessionId session) const;

  const Config config_;
  mutable std::mutex mutex_;
  std::string runDirectory_;
  std::string executable_;
  LogCallback logCallback_;
  std::string marker_;  // the last marker pages were awaited with
  std::string lastStartFailure_;
  BrowserId nextBrowserId_ = 1;
  SessionId nextSessionId_ = 1;
  std::map<BrowserId, std::shared_ptr<Browser>> browsers_;
  std::map<SessionId, std::shared_ptr<Page>> pages_;
};

}  // namespace vidralo::cdp
