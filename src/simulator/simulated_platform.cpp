#include "simulator/simulated_platform.h"

#include <httplib.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "common/text_rules.h"
#include "simulator/login_picture.h"
#include "simulator/loopback_server.h"
#include "simulator/sim_json.h"
#include "simulator/upload_page.h"
#include "simulator/url_text.h"

namespace vidralo::sim {
namespace {

constexpr const char* kNicknameCookie = "sim_nickname";
// Log-in pages nobody confirms (reloads, closed browsers) are forgotten
// beyond this many.
constexpr std::size_t kMaxWaitingLogins = 1000;
constexpr int kFirstLoginCode = 100000;
constexpr std::int64_t kFullPieceSize = 256 * 1024;
// Whole files can be sent in one piece by other clients; a video is never
// larger than this in a test.
constexpr std::size_t kMaxBodyBytes = 512u * 1024 * 1024;

struct Upload {
  std::string fileName;
  std::int64_t size = 0;
  std::int64_t received = 0;
  bool published = false;
  bool complete() const { return received == size; }
};

// How the page paces its pieces: about four pieces a second when throttled.
struct Pace {
  std::int64_t pieceSize = kFullPieceSize;
  std::int64_t pauseMs = 0;
};

Pace paceFor(std::int64_t bytesPerSecond) {
  if (bytesPerSecond <= 0) return {};
  const std::int64_t piece = std::clamp<std::int64_t>(bytesPerSecond / 4, 1, kFullPieceSize);
  return {piece, piece * 1000 / bytesPerSecond};
}

std::string nicknameCookie(const httplib::Request& request) {
  const std::string cookies = request.get_header_value("Cookie");
  const std::string prefix = std::string(kNicknameCookie) + "=";
  std::size_t at = 0;
  while (at < cookies.size()) {
    std::size_t end = cookies.find(';', at);
    if (end == std::string::npos) end = cookies.size();
    std::string_view pair(cookies.data() + at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (startsWith(pair, prefix)) return percentDecode(pair.substr(prefix.size()));
    at = end + 1;
  }
  return {};
}

bool flagValue(const std::string& text) { return text == "1" || text == "true"; }

// The on/off fault switches under their name in /sim/faults, in the order
// the answer lists them.
constexpr std::pair<const char*, bool PlatformFaults::*> kFaultSwitches[] = {
    {"neverComplete", &PlatformFaults::uploadNeverCompletes},
    {"alertOnLoad", &PlatformFaults::alertOnLoad},
    {"hideNickname", &PlatformFaults::hideNickname},
    {"markerInScript", &PlatformFaults::markerInScript},
    {"inputOnClick", &PlatformFaults::inputOnClick},
    {"refusePublish", &PlatformFaults::refusePublications},
    {"hiddenSign", &PlatformFaults::hiddenSign},
};

// A lasting cookie, so that the log-in stays in the browser's profile.
void setLoginCookie(httplib::Response& response, const std::string& nickname) {
  response.set_header("Set-Cookie", std::string(kNicknameCookie) + "=" + percentEncode(nickname) +
                                        "; Path=/; Max-Age=31536000; SameSite=Lax");
}

void clearLoginCookie(httplib::Response& response) {
  response.set_header("Set-Cookie", std::string(kNicknameCookie) + "=; Path=/; Max-Age=0");
}

void replyJson(httplib::Response& response, const std::string& json) {
  response.set_header("Cache-Control", "no-store");
  response.set_content(json, "application/json; charset=utf-8");
}

void replyError(httplib::Response& response, int status, const std::string& reason) {
  response.status = status;
  replyJson(response, JsonObjectText().add("error", reason).text());
}

}  // namespace

struct SimulatedPlatform::State {
  mutable std::mutex mutex;
  PlatformFaults faults;
  std::map<std::string, Upload> uploads;
  std::vector<Publication> publications;
  int nextUploadId = 1;
  int pageLoads = 0;
  // Log-in codes of the log-in pages: waiting (empty) or confirmed as a nickname.
  std::map<std::string, std::string> logins;
  int nextLoginCode = kFirstLoginCode;
  // Nicknames whose log-in the platform has ended.
  std::set<std::string> expired;
  std::function<void()> publicationHook;

  LoopbackServer server;

  void routes();
  void servePage(const httplib::Request& request, httplib::Response& response);
  void beginUpload(const httplib::Request& request, httplib::Response& response);
  void takePiece(const httplib::Request& request, httplib::Response& response);
  void publish(const httplib::Request& request, httplib::Response& response);
  void changeFaults(const httplib::Request& request, httplib::Response& response);
  void loginState(const httplib::Request& request, httplib::Response& response);
  std::string faultsJson() const;
  // The nickname the request is logged in as; empty when not (or no longer).
  std::string nicknameOf(const httplib::Request& request) const;
  std::string newLoginCode();
  bool confirmLogin(const std::string& code, const std::string& nickname);
  void loggedIn(const std::string& nickname);
};

std::string SimulatedPlatform::State::nicknameOf(const httplib::Request& request) const {
  std::string nickname = nicknameCookie(request);
  std::lock_guard lock(mutex);
  return expired.contains(nickname) ? std::string() : nickname;
}

std::string SimulatedPlatform::State::newLoginCode() {
  const std::string code = numberToText(nextLoginCode++);
  logins[code] = "";
  if (logins.size() > kMaxWaitingLogins) logins.erase(logins.begin());
  return code;
}

bool SimulatedPlatform::State::confirmLogin(const std::string& code, const std::string& nickname) {
  std::lock_guard lock(mutex);
  const auto found = logins.find(code);
  if (found == logins.end() || nickname.empty()) return false;
  found->second = nickname;
  return true;
}

void SimulatedPlatform::State::loggedIn(const std::string& nickname) {
  std::lock_guard lock(mutex);
  expired.erase(nickname);
}

// The log-in page's question: the log-in cookie comes with the answer that
// reports its code confirmed.
void SimulatedPlatform::State::loginState(const httplib::Request& request, httplib::Response& response) {
  std::string nickname;
  {
    std::lock_guard lock(mutex);
    const auto found = logins.find(request.get_param_value("code"));
    if (found == logins.end()) return replyError(response, 404, "unknown code");
    nickname = found->second;
    if (!nickname.empty()) logins.erase(found);
  }
  if (!nickname.empty()) {
    loggedIn(nickname);
    setLoginCookie(response, nickname);
  }
  replyJson(response, JsonObjectText().add("confirmed", !nickname.empty()).text());
}

void SimulatedPlatform::State::routes() {
  httplib::Server& s = server.server();
  s.set_payload_max_length(kMaxBodyBytes);
  s.Get(kUploadPagePath, [this](const auto& request, auto& response) { servePage(request, response); });
  s.Get("/", [](const auto&, auto& response) { response.set_redirect(kUploadPageSuffix); });
  s.Get("/login", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string nickname = request.get_param_value("nickname");
    if (nickname.empty()) return replyError(response, 400, "nickname missing");
    loggedIn(nickname);
    setLoginCookie(response, nickname);
    response.set_redirect(kUploadPageSuffix);
  });
  s.Get("/logout", [](const auto&, httplib::Response& response) {
    clearLoginCookie(response);
    response.set_redirect(kUploadPageSuffix);
  });
  s.Get("/sim/login/picture", [](const httplib::Request& request, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_content(loginPictureSvg(request.get_param_value("code")), "image/svg+xml");
  });
  s.Get("/sim/login/state", [this](const auto& request, auto& response) { loginState(request, response); });
  s.Get("/sim/login/confirm", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string nickname = request.get_param_value("nickname");
    if (nickname.empty()) return replyError(response, 400, "nickname missing");
    if (!confirmLogin(request.get_param_value("code"), nickname)) return replyError(response, 404, "unknown code");
    replyJson(response, JsonObjectText().add("ok", true).text());
  });
  s.Get("/sim/logins", [this](const auto&, auto& response) {
    std::lock_guard lock(mutex);
    std::string codes;
    for (const auto& [code, nickname] : logins)
      if (nickname.empty()) codes += (codes.empty() ? "" : ",") + jsonString(code);
    replyJson(response, "[" + codes + "]");
  });
  s.Get("/sim/expire", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string nickname = request.get_param_value("nickname");
    if (nickname.empty()) return replyError(response, 400, "nickname missing");
    {
      std::lock_guard lock(mutex);
      expired.insert(nickname);
    }
    replyJson(response, JsonObjectText().add("ok", true).text());
  });
  s.Post("/sim/upload/begin", [this](const auto& request, auto& response) { beginUpload(request, response); });
  s.Post("/sim/upload/piece", [this](const auto& request, auto& response) { takePiece(request, response); });
  s.Post("/sim/publish", [this](const auto& request, auto& response) { publish(request, response); });
  s.Get("/sim/publications", [this](const auto&, auto& response) {
    std::lock_guard lock(mutex);
    replyJson(response, publicationsJson(publications));
  });
  s.Get("/sim/faults", [this](const auto& request, auto& response) { changeFaults(request, response); });
  s.Post("/sim/faults", [this](const auto& request, auto& response) { changeFaults(request, response); });
}

void SimulatedPlatform::State::servePage(const httplib::Request& request, httplib::Response& response) {
  const std::string nickname = nicknameOf(request);
  // A log-in the platform ended takes its cookie with it.
  if (nickname.empty() && !nicknameCookie(request).empty()) clearLoginCookie(response);
  std::string page;
  {
    std::lock_guard lock(mutex);
    ++pageLoads;
    JsonObjectText pageState;
    if (nickname.empty()) {
      pageState.addNull("nickname");
    } else {
      pageState.add("nickname", nickname);
    }
    pageState.add("hideNickname", faults.hideNickname)
        .add("alertOnLoad", faults.alertOnLoad)
        .add("readyDelayMs", static_cast<std::int64_t>(faults.readyDelayMs))
        .add("inputOnClick", faults.inputOnClick)
        .add("hiddenSign", faults.hiddenSign);
    if (faults.markerInScript) pageState.add("hint", "将视频拖拽到此处");
    if (nickname.empty()) pageState.add("loginCode", newLoginCode());
    page = replaceAll(uploadPageTemplate(), kPageStatePlaceholder, pageState.text());
  }
  response.set_header("Cache-Control", "no-store");
  response.set_content(page, "text/html; charset=utf-8");
}

void SimulatedPlatform::State::beginUpload(const httplib::Request& request, httplib::Response& response) {
  const std::string name = request.get_param_value("name");
  const std::int64_t size = toInteger(request.get_param_value("size"));
  if (name.empty() || size < 0) return replyError(response, 400, "name or size missing");
  std::lock_guard lock(mutex);
  const std::string id = "u" + numberToText(nextUploadId++);
  uploads[id] = Upload{name, size};
  const Pace pace = paceFor(faults.throttleBytesPerSecond);
  replyJson(response, JsonObjectText().add("id", id).add("pieceSize", pace.pieceSize).add("pauseMs", pace.pauseMs).text());
}

void SimulatedPlatform::State::takePiece(const httplib::Request& request, httplib::Response& response) {
  std::lock_guard lock(mutex);
  const auto found = uploads.find(request.get_param_value("id"));
  if (found == uploads.end()) return replyError(response, 404, "unknown upload");
  Upload& upload = found->second;
  const auto length = static_cast<std::int64_t>(request.body.size());
  if (toInteger(request.get_param_value("offset")) != upload.received) return replyError(response, 409, "wrong offset");
  if (length > upload.size - upload.received) return replyError(response, 400, "more bytes than announced");

  const bool lastPiece = upload.received + length == upload.size;
  const bool stalled = lastPiece && faults.uploadNeverCompletes;
  if (!stalled) upload.received += length;
  const Pace pace = paceFor(faults.throttleBytesPerSecond);
  replyJson(response, JsonObjectText()
                          .add("received", upload.received)
                          .add("complete", upload.complete() && !stalled)
                          .add("stalled", stalled)
                          .add("pieceSize", pace.pieceSize)
                          .add("pauseMs", pace.pauseMs)
                          .text());
}

void SimulatedPlatform::State::publish(const httplib::Request& request, httplib::Response& response) {
  const std::string nickname = nicknameOf(request);
  if (nickname.empty()) return replyError(response, 401, "not logged in");
  std::lock_guard lock(mutex);
  const auto found = uploads.find(request.get_param_value("id"));
  if (found == uploads.end()) return replyError(response, 404, "unknown upload");
  Upload& upload = found->second;
  if (!upload.complete()) return replyError(response, 409, "upload not complete");
  if (upload.published) return replyError(response, 409, "already published");
  if (faults.refusePublications) return replyError(response, 403, "refused by the platform's rules");
  upload.published = true;
  publications.push_back({nickname, upload.fileName, upload.size, request.body});
  if (publicationHook) publicationHook();
  replyJson(response, JsonObjectText().add("ok", true).text());
}

void SimulatedPlatform::State::changeFaults(const httplib::Request& request, httplib::Response& response) {
  {
    std::lock_guard lock(mutex);
    if (request.has_param("readyDelayMs")) faults.readyDelayMs = toInteger(request.get_param_value("readyDelayMs"));
    if (request.has_param("throttle")) faults.throttleBytesPerSecond = toInteger(request.get_param_value("throttle"));
    for (const auto& [name, flag] : kFaultSwitches)
      if (request.has_param(name)) faults.*flag = flagValue(request.get_param_value(name));
  }
  replyJson(response, faultsJson());
}

std::string SimulatedPlatform::State::faultsJson() const {
  std::lock_guard lock(mutex);
  JsonObjectText json;
  json.add("readyDelayMs", static_cast<std::int64_t>(faults.readyDelayMs)).add("throttle", faults.throttleBytesPerSecond);
  for (const auto& [name, flag] : kFaultSwitches) json.add(name, faults.*flag);
  return json.text();
}

SimulatedPlatform::SimulatedPlatform() : state_(std::make_unique<State>()) {}

SimulatedPlatform::~SimulatedPlatform() { stop(); }

bool SimulatedPlatform::start(int port) {
  if (state_->server.running()) return true;
  state_->routes();
  return state_->server.start(port);
}

void SimulatedPlatform::stop() { state_->server.stop(); }

std::string SimulatedPlatform::origin() const { return state_->server.origin(); }

std::string SimulatedPlatform::uploadPageUrl() const {
  const std::string base = origin();
  return base.empty() ? base : base + kUploadPageSuffix;
}

std::string SimulatedPlatform::loginUrl(const std::string& nickname) const {
  return origin() + "/login?nickname=" + percentEncode(nickname);
}

std::vector<std::string> SimulatedPlatform::waitingLoginCodes() const {
  std::lock_guard lock(state_->mutex);
  std::vector<std::string> codes;
  for (const auto& [code, nickname] : state_->logins)
    if (nickname.empty()) codes.push_back(code);
  return codes;
}

bool SimulatedPlatform::confirmLogin(const std::string& code, const std::string& nickname) {
  return state_->confirmLogin(code, nickname);
}

void SimulatedPlatform::expireSession(const std::string& nickname) {
  std::lock_guard lock(state_->mutex);
  state_->expired.insert(nickname);
}

std::vector<Publication> SimulatedPlatform::publications() const {
  std::lock_guard lock(state_->mutex);
  return state_->publications;
}

int SimulatedPlatform::pageLoads() const {
  std::lock_guard lock(state_->mutex);
  return state_->pageLoads;
}

PlatformFaults SimulatedPlatform::faults() const {
  std::lock_guard lock(state_->mutex);
  return state_->faults;
}

void SimulatedPlatform::setFaults(const PlatformFaults& faults) {
  std::lock_guard lock(state_->mutex);
  state_->faults = faults;
}

void SimulatedPlatform::setReadyDelayMs(int milliseconds) {
  std::lock_guard lock(state_->mutex);
  state_->faults.readyDelayMs = milliseconds;
}

void SimulatedPlatform::setUploadThrottle(std::int64_t bytesPerSecond) {
  std::lock_guard lock(state_->mutex);
  state_->faults.throttleBytesPerSecond = bytesPerSecond;
}

void SimulatedPlatform::setUploadNeverCompletes(bool value) {
  std::lock_guard lock(state_->mutex);
  state_->faults.uploadNeverCompletes = value;
}

void SimulatedPlatform::setAlertOnLoad(bool value) {
  std::lock_guard lock(state_->mutex);
  state_->faults.alertOnLoad = value;
}

void SimulatedPlatform::setHideNickname(bool value) {
  std::lock_guard lock(state_->mutex);
  state_->faults.hideNickname = value;
}

void SimulatedPlatform::setRefusePublications(bool value) {
  std::lock_guard lock(state_->mutex);
  state_->faults.refusePublications = value;
}

void SimulatedPlatform::setPublicationHook(std::function<void()> hook) {
  std::lock_guard lock(state_->mutex);
  state_->publicationHook = std::move(hook);
}

}  // namespace vidralo::sim
