#pragma once
// Whether an account's upload page can be worked on: it shows the marker
// "视频拖拽" (ready), the platform's sign for a visitor who is not logged in,
// or neither in time. A logged-out account then costs seconds, not the
// whole time limit of every video.
#include <string>

#include "automation/browser_engine.h"

namespace vidralo {

// The text the loaded upload page shows.
inline constexpr const char* kUploadPageMarker = "视频拖拽";

// From config.ini, read when used: [page] login_sign, a CSS selector or a
// text the platform shows only to a visitor who is not logged in (empty:
// none), and [page] ready_wait, the seconds a loaded page may take to show
// the marker (30 when missing or not a positive number).
struct PageReadiness {
  std::string loginSign;
  int readyWaitSeconds = 30;
};
PageReadiness pageReadinessSetting();

enum class PageState {
  Ready,        // the marker shows
  NotLoggedIn,  // the log-in sign shows
  NotReady,     // loaded, but no marker within the ready wait
  Gone,         // no page, or its browser went away
  Stopped,
};

// An element matches `sign` as a selector, or the page's visible text holds
// it (its scripts may well hold the same words).
bool signShows(BrowserEngine& engine, SessionId session, const std::string& sign);

// Waits until the page shows the marker or the log-in sign. The ready wait
// counts from the moment the page's document has finished loading; a page
// that never finishes counts as not ready once the ready wait and the
// engine's load time (30 s) have passed together.
PageState awaitUploadPage(BrowserEngine& engine, SessionId session, const PageReadiness& readiness);

}  // namespace vidralo
