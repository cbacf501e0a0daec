#pragma once
// The program's boundary to the browser: one operation for each thing the
// program asks of a browser-automation engine. CdpEngine implements it over
// the Chrome DevTools Protocol; tests use fakes.
//
// Every page operation takes the session id of a page connection. Calls may
// come from several threads at once. A call on a dead or unknown session
// fails fast (false, empty text) and never hangs; a call made on a thread
// whose stop was requested (common/stop.h) returns as soon as it can.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vidralo {

using SessionId = std::uint32_t;  // one page connection; 0 means none
using BrowserId = std::uint32_t;  // one started browser; 0 means none

struct StartOptions {
  std::string profileDirectory;  // the browser's user-data directory
  std::string windowSize;        // "width,height", numbers may have a fraction
  std::string windowPosition;    // "x,y"
};

// What a start hands back to the operation that started the browser, so that
// the ids of a log-in browser never end up in the job's session.
struct StartedBrowser {
  BrowserId browserId = 0;
  SessionId sessionId = 0;
};

struct RunningBrowser {
  BrowserId browserId = 0;
  SessionId sessionId = 0;
  std::string profileDirectory;
};

class BrowserEngine {
 public:
  using LogCallback = std::function<void(const std::string& line)>;

  virtual ~BrowserEngine() = default;

  // --- start-up ---
  virtual void setRunDirectory(const std::string& directory) = 0;
  virtual void setLogCallback(LogCallback callback) = 0;
  virtual std::string version() const = 0;
  // Readies the engine for browser starts with the given executable, or with
  // one it discovers when the path is empty. False: no usable browser.
  virtual bool globalInit(const std::string& browserPath) = 0;

  // --- browsers ---
  // Starts a browser on `options.profileDirectory` showing `url`. Starts are
  // serialised (one at a time in the whole process). Both ids are 0 on
  // failure.
  virtual StartedBrowser startBrowser(const std::string& url, const StartOptions& options) = 0;
  // Why the latest start failed, in one line (the browser's own complaint
  // when it gave one); empty when it did not fail or the engine cannot say.
  virtual std::string lastStartFailure() const { return {}; }
  // The browsers this engine started (or adopted) that still run.
  virtual std::vector<RunningBrowser> connectStarted() = 0;
  // How many of those still run, without asking any browser anything: cheap
  // enough for a window's timer.
  virtual int runningBrowserCount() const = 0;
  virtual void closeBrowser(SessionId session) = 0;
  virtual void closeBrowsers() = 0;

  // --- pages ---
  // False also for a page that left commands unanswered twice in a row.
  virtual bool isConnected(SessionId session) = 0;
  virtual void closeOtherPages(SessionId session) = 0;
  virtual void activatePage(SessionId session) = 0;
  virtual std::string pageUrl(SessionId session) = 0;
  // alert, confirm and prompt no longer block the page.
  virtual void overrideDialogs(SessionId session) = 0;
  // True once the page has left for `url`. A navigation that fails or that
  // the browser replaces (its own first page, a new tab) is tried again, up
  // to 3 times with a short pause; the engine's log says why each failed.
  virtual bool navigate(SessionId session, const std::string& url) = 0;
  virtual void refresh(SessionId session) = 0;
  // Loaded = the page shows `marker` (its visible text or title, frames
  // included; never script source or markup).
  virtual bool pageIsLoaded(SessionId session, const std::string& marker) = 0;
  // Waits, within the engine's own time limit, until pageIsLoaded.
  virtual bool waitPageLoaded(SessionId session, const std::string& marker) = 0;
  virtual void setWindowTitle(SessionId session, const std::string& title) = 0;
  // A PNG picture of the page as the browser shows it; empty when the page
  // does not answer within the engine's time limit.
  virtual std::string captureScreenshot(SessionId session) = 0;

  // --- elements, by CSS selector, in the page and its frames ---
  virtual bool elementExists(SessionId session, const std::string& selector) = 0;
  // An element matches that the page shows: rendered, not hidden by CSS, and
  // holding visible text.
  virtual bool elementShown(SessionId session, const std::string& selector) = 0;
  // Empty when no element matches.
  virtual std::string elementText(SessionId session, const std::string& selector) = 0;
  // mouseEvents: press and release the mouse over the element, as a person
  // would; otherwise the element's own click().
  virtual bool click(SessionId session, const std::string& selector, bool mouseEvents) = 0;
  // Types `text` so that page frameworks see it as typing.
  virtual bool input(SessionId session, const std::string& selector, const std::string& text) = 0;
  // Hands the file to the page's file input (hidden or not); without one,
  // to the file chooser that clicking the drop zone (the element showing
  // the marker last awaited) opens.
  virtual bool uploadFile(SessionId session, const std::string& path) = 0;

  // The browser's version report as JSON (the answer of /json/version).
  virtual std::string versionJson(SessionId session) = 0;
};

}  // namespace vidralo
