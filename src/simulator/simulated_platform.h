#pragma once
// A stand-in for the platform's creator upload page, served on 127.0.0.1 for
// tests and manual runs. It behaves as the job expects of the real page: the
// ready marker, the nickname of the logged-in account, a file input that
// really sends the file, the progress texts, the two dialogs and the publish
// button. Every publication is recorded so that a test can check it.
//
// Addresses besides the upload page:
//   GET  /login?nickname=NAME   logs the browser in (a lasting cookie), then
//                               leads to the upload page; GET /logout undoes it
//   A visitor who is not logged in gets the log-in page instead: a picture
//   with a log-in code that a phone would scan. The page asks
//   /sim/login/state?code=CODE every half second and goes on to the upload
//   page, logged in, once that code is confirmed:
//   GET  /sim/login/confirm?code=CODE&nickname=NAME  confirms a code (the phone)
//   GET  /sim/logins            the codes of log-in pages still waiting, JSON
//   GET  /sim/expire?nickname=NAME  ends that log-in: its next page load shows
//                               the log-in page, until it logs in again
//   GET  /sim/publications      the publications as a JSON array
//   GET or POST /sim/faults     the fault switches as JSON; query parameters
//                               readyDelayMs, throttle (bytes per second),
//                               neverComplete, alertOnLoad, hideNickname,
//                               markerInScript, inputOnClick, refusePublish,
//                               hiddenSign (1/0) change them first
//   POST /sim/upload/begin, /sim/upload/piece, /sim/publish: the page's own
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vidralo::sim {

// Path and query of the upload page, fragment included.
inline constexpr const char* kUploadPagePath = "/cgibin/recwxamanager/userclientjump";
inline constexpr const char* kUploadPageSuffix = "/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home";

struct Publication {
  std::string nickname;
  std::string fileName;
  std::int64_t byteSize = 0;
  std::string title;
  bool operator==(const Publication&) const = default;
};

// Once a publication is accepted the page shows this element ("发表成功"),
// the sign that config.ini [page] published_sign can wait for; a refused
// one shows an error dialog instead.
inline constexpr const char* kPublishedSign = ".publish-success";

// Shown only to a visitor who is not logged in: the sign for config.ini
// [page] login_sign.
inline constexpr const char* kLoginSign = ".login-tip";

// Switches for fault tests. They take effect on the next page load (alert,
// nickname, ready delay) or on the next piece of an upload (throttle, stall).
struct PlatformFaults {
  int readyDelayMs = 300;        // until the upload area appears
  std::int64_t throttleBytesPerSecond = 0;  // 0: as fast as the browser sends
  bool uploadNeverCompletes = false;        // the last piece is never taken
  bool alertOnLoad = false;                 // an alert() before the page is ready
  bool hideNickname = false;                // logged in, but no ".user-name"
  bool markerInScript = false;  // the page's inline data holds the marker text before it shows it
  bool inputOnClick = false;    // no file input until the drop zone is clicked
  bool refusePublications = false;          // every publication is turned down
  bool hiddenSign = false;  // the page holds a hidden ".publish-success" toast from the start
};

class SimulatedPlatform {
 public:
  SimulatedPlatform();
  ~SimulatedPlatform();
  SimulatedPlatform(const SimulatedPlatform&) = delete;
  SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

  // Listens on 127.0.0.1 at `port` (0: any free port) on a thread of its own.
  bool start(int port = 0);
  void stop();

  // "http://127.0.0.1:PORT"; empty while not started.
  std::string origin() const;
  std::string uploadPageUrl() const;
  // Opening this address in a browser logs that browser's profile in.
  std::string loginUrl(const std::string& nickname) const;

  // The codes of log-in pages still waiting for a phone, oldest first.
  std::vector<std::string> waitingLoginCodes() const;
  // What /sim/login/confirm does; false for an unknown code.
  bool confirmLogin(const std::string& code, const std::string& nickname);
  // What /sim/expire does: every browser logged in as `nickname` is shown
  // the log-in page from its next page load on, until it logs in again.
  void expireSession(const std::string& nickname);

  std::vector<Publication> publications() const;
  // Runs on the server's thread the moment a publication is taken, before
  // the page hears of it; empty: none.
  void setPublicationHook(std::function<void()> hook);
  // How often the upload page has been served (a navigation or a reload).
  int pageLoads() const;

  PlatformFaults faults() const;
  void setFaults(const PlatformFaults& faults);
  void setReadyDelayMs(int milliseconds);
  void setUploadThrottle(std::int64_t bytesPerSecond);
  void setUploadNeverCompletes(bool value);
  void setAlertOnLoad(bool value);
  void setHideNickname(bool value);
  void setRefusePublications(bool value);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vidralo::sim
