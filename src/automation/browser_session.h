#pragma once
// One account's browser on the creator upload page: opened on the account's
// own profile, reused between the videos of one account, closed at each
// switch of account.
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "automation/browser_engine.h"
#include "automation/page_readiness.h"
#include "controls/control_model.h"

namespace vidralo {

struct SessionSettings {
  // Gives the creator upload page each time a browser is sent there, so that
  // an edit of config.ini takes effect at once; unset or an empty answer: no
  // platform host is configured.
  std::function<std::string()> uploadPage;
  // The primary screen in pixels (1920 x 1080 where there is no screen).
  int screenWidth = 1920;
  int screenHeight = 1080;
  // Writes a nickname read from the page into the account's record (one
  // locked load-set-save).
  std::function<void(const std::string& accountId, const std::string& nickname)> saveNickname;

  std::string uploadPageUrl() const { return uploadPage ? uploadPage() : std::string(); }
};

struct OpenedBrowser {
  StartedBrowser ids;
  PageState page = PageState::Gone;
};

// Opens the account's browser on the upload page and reads its nickname into
// the list row (-1: no row) and the record. The browser stays open; the ids
// of the started browser are returned to the caller only. An id that would
// put the profile outside "\huancun" starts nothing (status bar message).
OpenedBrowser openAccountPage(BrowserEngine& engine, ControlModel& controls, const SessionSettings& settings, int row,
                              std::string accountId);
inline StartedBrowser openAccountBrowser(BrowserEngine& engine, ControlModel& controls,
                                         const SessionSettings& settings, int row, std::string accountId) {
  return openAccountPage(engine, controls, settings, row, std::move(accountId)).ids;
}

// Reads the nickname of the logged-in page into the list row and the
// record, as the log-in browser does; returns it, empty when the page shows
// none.
std::string readNickname(BrowserEngine& engine, ControlModel& controls, const SessionSettings& settings, SessionId session,
                  int row, const std::string& accountId);

// The job's session.
class BrowserSession {
 public:
  BrowserSession(BrowserEngine& engine, ControlModel& controls, SessionSettings settings);

  // Takes over the running browser of this account's profile, or starts the
  // account's own browser; afterwards sessionId() is the page to work on (it
  // may still be 0 or dead, which the job detects). A browser this job run
  // did not start (one left over from a crashed run, say) may still show
  // its last publication, so its upload page is loaded afresh. Returns what
  // the page shows: ready, logged out, not ready in time, or gone.
  PageState ensureSession(int row, const std::string& accountId);
  // A new job run begins: every browser running now counts as not started
  // by it.
  void beginRun();
  void closeSession();

  SessionId sessionId() const;
  BrowserId browserId() const;

 private:
  void setIds(const StartedBrowser& ids);

  BrowserEngine& engine_;
  ControlModel& controls_;
  SessionSettings settings_;
  // Brings the page to `address`, the upload address (`reload`: it is there
  // already), and waits until it shows the marker or the log-in sign.
  PageState loadUploadPage(SessionId session, const std::string& address, bool reload);
  bool startedThisRun(BrowserId browser) const;

  mutable std::mutex mutex_;
  SessionId sessionId_ = 0;
  BrowserId browserId_ = 0;
  // The browsers started by the current job run.
  std::set<BrowserId> startedThisRun_;
};

// "\huancun\vesko" + id under the program directory ("100" for an empty id);
// empty for an id that would leave "\huancun" (see isSafeAccountId).
std::string profileDirectory(const std::string& accountId);
// Creates "\huancun" and the profile folder, both readable by their owner
// only: a profile holds the platform log-in, and its DevToolsActivePort file
// lets whoever reads it drive the logged-in browser.
void prepareProfileFolder(const std::string& profile);
// "width/2,height-42" written as the shortest decimal text ("682.5,1038").
std::string windowSizeText(int screenWidth, int screenHeight);

}  // namespace vidralo
