#include "automation/cdp/cdp_page.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <map>

#include "automation/cdp/cdp_json.h"
#include "automation/cdp/page_functions.h"
#include "automation/cdp/page_scripts.h"
#include "common/clock.h"
#include "common/pumped_wait.h"
#include "common/stop.h"

namespace vidralo::cdp {

// What the page learns from events: the frames attached as sessions of their
// own, the execution contexts made for frames of other origins, and the
// file chooser a click opened. Shared with the event handlers, which may
// still run while the page is being destroyed.
struct CdpPage::Frames {
  struct Child {
    std::string sessionId;
    std::string targetId;  // also the frame's id
  };

  CdpConnection* connection = nullptr;
  std::string pageSession;  // the page's own, which documents name as empty
  PageFunctions functions;
  std::mutex mutex;
  std::vector<Child> children;          // in the order they were attached
  std::map<std::string, int> tokens;    // event subscription per session
  std::map<std::string, int> contexts;  // session + frame id -> our context there
  int chooserNode = 0;                  // backend node of the opened chooser's input
  std::condition_variable_any chooserOpened;

  // Subscribes to the events of `sessionId` and turns on what they need.
  void watch(const std::string& sessionId) {
    const int token = connection->subscribe(sessionId, [self = weakSelf.lock(), sessionId](const CdpEvent& event) {
      self->onEvent(sessionId, event);
    });
    {
      std::lock_guard lock(mutex);
      tokens[sessionId] = token;
    }
    // Posted: a page that is still busy (or frozen) must not hold anything
    // up; the browser keeps the order of the commands that follow.
    connection->post("Page.enable", "{}", sessionId);
    connection->post("Target.setAutoAttach",
                     JsonObject().boolean("autoAttach", true).boolean("waitForDebuggerOnStart", false)
                         .boolean("flatten", true).str(),
                     sessionId);
  }

  // Runs on the connection's thread: it never waits for the browser.
  void onEvent(const std::string& sessionId, const CdpEvent& event) {
    if (event.method == "Page.frameNavigated") {
      functions.forgetSession(sessionId == pageSession ? std::string() : sessionId);
    } else if (event.method == "Page.javascriptDialogOpening") {
      connection->post("Page.handleJavaScriptDialog",
                       JsonObject().boolean("accept", true)
                           .text("promptText", stringMember(event.params, "defaultPrompt")).str(),
                       sessionId);
    } else if (event.method == "Target.attachedToTarget") {
      const rapidjson::Value* info = member(event.params, "targetInfo");
      const std::string child = stringMember(event.params, "sessionId");
      if (!info || stringMember(*info, "type") != "iframe" || child.empty()) return;
      {
        std::lock_guard lock(mutex);
        children.push_back({child, stringMember(*info, "targetId")});
      }
      watch(child);
    } else if (event.method == "Target.detachedFromTarget") {
      const std::string child = stringMember(event.params, "sessionId");
      int token = 0;
      {
        std::lock_guard lock(mutex);
        std::erase_if(children, [&](const Child& c) { return c.sessionId == child; });
        if (auto it = tokens.find(child); it != tokens.end()) {
          token = it->second;
          tokens.erase(it);
        }
      }
      if (token) connection->unsubscribe(token);
    } else if (event.method == "Page.fileChooserOpened") {
      std::lock_guard lock(mutex);
      chooserNode = static_cast<int>(integerMember(event.params, "backendNodeId"));
      chooserOpened.notify_all();
    }
  }

  std::weak_ptr<Frames> weakSelf;

  std::string sessionOfFrame(const std::string& frameId) {
    std::lock_guard lock(mutex);
    for (const Child& child : children)
      if (child.targetId == frameId) return child.sessionId;
    return {};
  }
};

CdpPage::CdpPage(CdpConnection& connection, std::string sessionId, std::chrono::milliseconds timeLimit, Log log)
    : connection_(connection),
      sessionId_(std::move(sessionId)),
      timeLimit_(timeLimit),
      log_(std::move(log)),
      frames_(std::make_shared<Frames>()) {
  frames_->connection = &connection_;
  frames_->pageSession = sessionId_;
  frames_->weakSelf = frames_;
  frames_->watch(sessionId_);
}

CdpPage::~CdpPage() {
  std::map<std::string, int> tokens;
  {
    std::lock_guard lock(frames_->mutex);
    tokens.swap(frames_->tokens);
  }
  for (const auto& [session, token] : tokens) connection_.unsubscribe(token);
}

CdpReply CdpPage::command(std::string_view method, std::string params, std::string_view sessionId) {
  CdpReply reply = quietCommand(method, std::move(params), sessionId);
  if (!reply.ok && log_) log_(reply.error);
  return reply;
}

CdpReply CdpPage::quietCommand(std::string_view method, std::string params, std::string_view sessionId) {
  CdpReply reply = connection_.call(method, std::move(params), targetSession(sessionId), timeLimit_);
  noteAnswer(reply);
  return reply;
}

void CdpPage::noteAnswer(const CdpReply& reply) {
  // Any answer, even an error, shows the page alive; silence in a row does
  // not. A stopped caller proves neither.
  if (reply.timedOut) ++timeouts_;
  else if (reply.message) timeouts_ = 0;
}

const rapidjson::Value* CdpPage::Evaluated::value() const { return remote ? member(*remote, "value") : nullptr; }

bool CdpPage::Evaluated::isTrue() const {
  const rapidjson::Value* result = value();
  return result && result->IsBool() && result->GetBool();
}

CdpPage::Evaluated CdpPage::evaluate(const Document& document, const ScriptLiteral& script, bool byValue,
                                     bool userGesture) {
  Evaluated outcome;
  outcome.reply = run(document, script, byValue, userGesture);
  if (!outcome.reply.ok && outcome.reply.message && !document.frameId.empty()) {
    // The frame navigated since and took our context with it: one more try
    // in a fresh one (without a frame, so there is no third).
    if (const int fresh = contextFor(document.sessionId, document.frameId, true))
      return evaluate({document.sessionId, fresh, ""}, script, byValue, userGesture);
  }
  if (!outcome.reply.ok) return outcome;
  if (const rapidjson::Value* exception = member(outcome.reply.result(), "exceptionDetails")) {
    const rapidjson::Value* thrown = member(*exception, "exception");
    if (log_) log_("script failed: " + (thrown ? stringMember(*thrown, "description") : stringMember(*exception, "text")));
    return outcome;
  }
  outcome.remote = member(outcome.reply.result(), "result");
  return outcome;
}

CdpReply CdpPage::run(const Document& document, const ScriptLiteral& script, bool byValue, bool userGesture) {
  const auto evaluateParams = [&](const std::string& expression, bool value, bool gesture) {
    JsonObject params(expression.size() + 64 + CdpConnection::kCommandRoom);
    params.raw("expression", expression).boolean("returnByValue", value);
    if (document.contextId) params.integer("contextId", document.contextId);
    if (gesture) params.boolean("userGesture", true);
    return params.str();
  };
  const std::string& expression = script->literal;
  const bool kept = !script->asFunction.empty();
  PageFunctions& functions = frames_->functions;
  std::optional<std::string> known;
  if (kept) known = functions.find(document.sessionId, document.contextId, script);
  if (known && !known->empty()) {
    if (std::optional<CdpReply> called = callFunction(document, *known, byValue, userGesture)) return std::move(*called);
    known.reset();  // the function went with its document: this one is new
  }
  if (!known) {
    // Most scripts run once in a document: a script becomes a function only
    // when it runs there again.
    if (kept) functions.keep(document.sessionId, document.contextId, script, "");
    return command("Runtime.evaluate", evaluateParams(expression, byValue, userGesture), document.sessionId);
  }
  // The function is made in the same round trip as the script's own run.
  const std::string_view session = targetSession(document.sessionId);
  auto [made, reply] = connection_.callTwo({"Runtime.evaluate", evaluateParams(script->asFunction, false, false), session},
                                           {"Runtime.evaluate", evaluateParams(expression, byValue, userGesture), session},
                                           timeLimit_);
  noteAnswer(reply);
  if (!reply.ok && log_) log_(reply.error);
  const rapidjson::Value* function = member(made.result(), "result");
  if (std::string objectId = function ? stringMember(*function, "objectId") : ""; !objectId.empty())
    functions.keep(document.sessionId, document.contextId, script, std::move(objectId));
  return std::move(reply);
}

std::optional<CdpReply> CdpPage::callFunction(const Document& document, const std::string& function, bool byValue,
                                              bool userGesture) {
  JsonObject call(function.size() + 112 + CdpConnection::kCommandRoom);
  call.text("functionDeclaration", "function() { return this(); }").text("objectId", function);
  call.boolean("returnByValue", byValue);
  if (userGesture) call.boolean("userGesture", true);
  CdpReply reply = quietCommand("Runtime.callFunctionOn", call.str(), document.sessionId);
  // The browser's error means that the function went with its document.
  if (!reply.ok && reply.message) return std::nullopt;
  if (!reply.ok && log_) log_(reply.error);
  return reply;
}

std::pair<CdpPage::Document, CdpPage::Evaluated> CdpPage::locate(const ScriptLiteral& script, const Found& found,
                                                                 bool byValue) {
  const Document own{};
  Evaluated first = evaluate(own, script, byValue);
  // A page that does not answer is not searched any further.
  if (found(first) || !first.reply.ok) return {own, std::move(first)};
  for (const Document& document : otherDocuments()) {
    Evaluated outcome = evaluate(document, script, byValue);
    if (found(outcome)) return {document, std::move(outcome)};
  }
  return {own, std::move(first)};
}

namespace {

// The origin of the frame at the root of a frame tree.
std::string rootOrigin(const rapidjson::Value& tree) {
  const rapidjson::Value* frame = member(tree, "frame");
  return frame ? stringMember(*frame, "securityOrigin") : "";
}

}  // namespace

std::vector<CdpPage::Document> CdpPage::otherDocuments() {
  std::vector<Document> documents;
  std::vector<std::string> visited{sessionId_};
  const CdpReply tree = command("Page.getFrameTree");
  if (const rapidjson::Value* root = member(tree.result(), "frameTree"))
    collectDocuments(sessionId_, *root, rootOrigin(*root), documents, visited);
  // Frames of other processes that the tree did not place come last.
  std::vector<Frames::Child> children;
  {
    std::lock_guard lock(frames_->mutex);
    children = frames_->children;
  }
  for (const Frames::Child& child : children) collectSession(child.sessionId, std::nullopt, documents, visited);
  return documents;
}

void CdpPage::collectSession(const std::string& sessionId, const std::optional<std::string>& origin,
                             std::vector<Document>& documents, std::vector<std::string>& visited) {
  if (std::find(visited.begin(), visited.end(), sessionId) != visited.end()) return;
  visited.push_back(sessionId);
  documents.push_back({sessionId, 0});
  const CdpReply tree = command("Page.getFrameTree", "{}", sessionId);
  if (const rapidjson::Value* root = member(tree.result(), "frameTree"))
    collectDocuments(sessionId, *root, origin ? *origin : rootOrigin(*root), documents, visited);
}

void CdpPage::collectDocuments(const std::string& sessionId, const rapidjson::Value& tree,
                               const std::string& parentOrigin, std::vector<Document>& documents,
                               std::vector<std::string>& visited) {
  const rapidjson::Value* childFrames = member(tree, "childFrames");
  if (!childFrames || !childFrames->IsArray()) return;
  for (const auto& child : childFrames->GetArray()) {
    const rapidjson::Value* frame = member(child, "frame");
    if (!frame) continue;
    const std::string frameId = stringMember(*frame, "id");
    const std::string origin = stringMember(*frame, "securityOrigin");
    if (const std::string frameSession = frames_->sessionOfFrame(frameId); !frameSession.empty()) {
      // A frame of another process: its own session, searched in its place.
      collectSession(frameSession, origin, documents, visited);
      continue;
    }
    // A frame of the same origin as its parent is reached by the parent's
    // own search; any other one gets a context of ours.
    if (origin != parentOrigin) {
      if (const int context = contextFor(sessionId, frameId, false)) documents.push_back({sessionId, context, frameId});
    }
    collectDocuments(sessionId, child, origin, documents, visited);
  }
}

int CdpPage::contextFor(const std::string& sessionId, const std::string& frameId, bool renew) {
  const std::string key = sessionId + "/" + frameId;
  {
    std::lock_guard lock(frames_->mutex);
    if (auto it = frames_->contexts.find(key); it != frames_->contexts.end() && !renew) return it->second;
  }
  const CdpReply made = command("Page.createIsolatedWorld",
                                JsonObject().text("frameId", frameId).text("worldName", "vidralo").str(), sessionId);
  const int context = static_cast<int>(integerMember(made.result(), "executionContextId"));
  std::lock_guard lock(frames_->mutex);
  if (context) frames_->contexts[key] = context;
  else frames_->contexts.erase(key);
  return context;
}

bool CdpPage::answers() { return evaluate({}, scriptLiteral("true")).isTrue(); }

bool CdpPage::bringToFront() { return command("Page.bringToFront").ok; }

bool CdpPage::navigate(const std::string& url, std::chrono::milliseconds timeLimit) {
  CdpReply reply = connection_.call("Page.navigate", JsonObject().text("url", url).str(), sessionId_, timeLimit);
  if (!reply.ok) {
    if (log_) log_(reply.error);
    return false;
  }
  if (const std::string failed = stringMember(reply.result(), "errorText"); !failed.empty()) {
    if (log_) log_("navigation to " + url + " failed: " + failed);
    return false;
  }
  if (stringMember(reply.result(), "loaderId").empty()) return reload(timeLimit);
  return true;
}

std::string CdpPage::documentOrigin() {
  const Evaluated origin = evaluate({}, scriptLiteral("String(performance.timeOrigin)"));
  const rapidjson::Value* value = origin.value();
  return value && value->IsString() ? std::string(value->GetString(), value->GetStringLength()) : std::string();
}

bool CdpPage::reload(std::chrono::milliseconds timeLimit) {
  constexpr double kPollMs = 20;
  const std::string before = documentOrigin();
  if (!command("Page.reload").ok) return false;
  // Until the new document commits, the old one still answers every
  // question (the marker included).
  const std::int64_t deadline = appClock().tickMs() + timeLimit.count();
  while (true) {
    const std::string now = documentOrigin();
    if (!now.empty() && now != before) return true;
    if (appClock().tickMs() >= deadline || !PumpedWait(kPollMs)) break;
  }
  if (log_) log_("reload: no fresh document in time");
  return false;
}

void CdpPage::overrideDialogs() {
  std::call_once(dialogsOverridden_, [this] {
    command("Page.addScriptToEvaluateOnNewDocument", JsonObject().text("source", scripts::dialogOverride()).str());
  });
  evaluate({}, scriptLiteral(scripts::dialogOverride()));
}

bool CdpPage::markerPresent(std::string_view marker) {
  // An empty marker asks about the page's own document only.
  if (marker.empty()) return evaluate({}, scriptLiteral(scripts::markerPresent, marker)).isTrue();
  return locate(scriptLiteral(scripts::markerPresent, marker), &Evaluated::isTrue).second.isTrue();
}

void CdpPage::setTitle(std::string_view title) {
  // The title is a progress line that nobody reads back: the job need not
  // wait for the page to answer. Commands of one session run in order, so a
  // later title still replaces an earlier one.
  connection_.post("Runtime.evaluate", JsonObject().text("expression", scripts::setTitle(title)).str(), sessionId_);
}

bool CdpPage::elementExists(std::string_view selector) {
  return locate(scriptLiteral(scripts::elementExists, selector), &Evaluated::isTrue).second.isTrue();
}

bool CdpPage::elementShown(std::string_view selector) {
  return locate(scriptLiteral(scripts::elementShown, selector), &Evaluated::isTrue).second.isTrue();
}

std::string CdpPage::elementText(std::string_view selector) {
  const auto isText = [](const Evaluated& e) { return e.value() && e.value()->IsString(); };
  const auto [document, outcome] = locate(scriptLiteral(scripts::elementText, selector), isText);
  if (!isText(outcome)) return {};
  return std::string(outcome.value()->GetString(), outcome.value()->GetStringLength());
}

bool CdpPage::click(std::string_view selector, bool mouseEvents) {
  // An element without a box (hidden, zero size) cannot be hit by a mouse;
  // its own click() still reaches its handlers.
  if (mouseEvents && clickWithMouse(selector)) return true;
  // Most elements are in the page's own document: one round trip. A page
  // that does not answer is not searched any further.
  const Evaluated own = evaluate({}, scriptLiteral(scripts::clickElement, selector), true);
  if (own.isTrue() || !own.reply.ok) return own.isTrue();
  const auto [document, found] = locate(scriptLiteral(scripts::elementExists, selector), &Evaluated::isTrue);
  if (!found.isTrue()) return false;
  // In a frame of another origin the element's own click() stands in for
  // the mouse, run as a user's gesture.
  const bool gesture = document.contextId || !document.sessionId.empty();
  return evaluate(document, scriptLiteral(scripts::clickElement, selector), true, gesture).isTrue();
}

bool CdpPage::clickWithMouse(std::string_view selector) {
  const Evaluated outcome = evaluate({}, scriptLiteral(scripts::elementCentre, selector));
  const rapidjson::Value* centre = outcome.value();
  if (!centre || !centre->IsObject()) return false;
  const rapidjson::Value* x = member(*centre, "x");
  const rapidjson::Value* y = member(*centre, "y");
  if (!x || !y || !x->IsNumber() || !y->IsNumber()) return false;
  auto mouse = [&](const char* type, int buttons) {
    JsonObject params;
    params.text("type", type).number("x", x->GetDouble()).number("y", y->GetDouble());
    if (std::string_view(type) != "mouseMoved") params.text("button", "left").integer("buttons", buttons).integer("clickCount", 1);
    return params.str();
  };
  // A move reaches the page only with its next frame, and the browser
  // answers it then (about 17 ms); presses and releases go at once, after
  // any move still queued. So the move is sent without waiting for its
  // answer, and the release's answer tells that the page saw all three.
  connection_.post("Input.dispatchMouseEvent", mouse("mouseMoved", 0), sessionId_);
  connection_.post("Input.dispatchMouseEvent", mouse("mousePressed", 1), sessionId_);
  return command("Input.dispatchMouseEvent", mouse("mouseReleased", 0)).ok;
}

bool CdpPage::input(std::string_view selector, const std::string& text) {
  const Document own{};
  const Evaluated outcome = evaluate(own, scriptLiteral(scripts::prepareInput, selector));
  const rapidjson::Value* state = outcome.value();
  if (!state || !state->IsString()) {
    // Not in the page's own document: a frame of another origin takes the
    // text assigned, with the events typing raises.
    if (!outcome.reply.ok) return false;
    for (const Document& document : otherDocuments())
      if (evaluate(document, scriptLiteral(scripts::assignInput(selector, text))).isTrue()) return true;
    return false;
  }
  // Typed text replaces the selection and raises the events a keyboard
  // would; a field that takes no focus, or an empty text, is assigned.
  if (std::string_view(state->GetString()) != "focused" || text.empty())
    return evaluate(own, scriptLiteral(scripts::assignInput(selector, text))).isTrue();
  if (!command("Input.insertText", JsonObject().text("text", text).str()).ok) return false;
  return evaluate(own, scriptLiteral(scripts::announceInput, selector)).isTrue();
}

bool CdpPage::uploadFile(const std::string& path, std::string_view dropZoneText) {
  std::error_code error;
  const std::filesystem::path file = std::filesystem::absolute(path, error);
  if (error || !std::filesystem::is_regular_file(file, error)) {
    if (log_) log_("upload: no such file " + path);
    return false;
  }
  const std::string files = "[" + jsonString(file.string()) + "]";
  const auto hasObject = [](const Evaluated& e) { return e.remote && !stringMember(*e.remote, "objectId").empty(); };
  const auto [document, outcome] = locate(scriptLiteral(scripts::elementObject, "input[type=file]"), hasObject, false);
  if (hasObject(outcome)) {
    const std::string objectId = stringMember(*outcome.remote, "objectId");
    const bool handed =
        command("DOM.setFileInputFiles", JsonObject().raw("files", files).text("objectId", objectId).str(),
                document.sessionId)
            .ok;
    connection_.post("Runtime.releaseObject", JsonObject().text("objectId", objectId).str(),
                     targetSession(document.sessionId));
    return handed;
  }
  if (!outcome.reply.ok) return false;
  return handToChooser(files, dropZoneText);
}

bool CdpPage::handToChooser(const std::string& files, std::string_view dropZoneText) {
  if (dropZoneText.empty()) {
    if (log_) log_("upload: the page has no file input");
    return false;
  }
  {
    std::lock_guard lock(frames_->mutex);
    frames_->chooserNode = 0;
  }
  // The chooser a click opens is held back and reported instead of shown.
  if (!command("Page.setInterceptFileChooserDialog", JsonObject().boolean("enabled", true).str()).ok) return false;
  int node = 0;
  // Opening a chooser needs a user's gesture, as a click by hand would be.
  if (evaluate({}, scriptLiteral(scripts::clickShowing, dropZoneText), true, true).isTrue()) {
    std::unique_lock lock(frames_->mutex);
    frames_->chooserOpened.wait_for(lock, currentStopToken(), timeLimit_, [this] { return frames_->chooserNode != 0; });
    node = frames_->chooserNode;
  }
  command("Page.setInterceptFileChooserDialog", JsonObject().boolean("enabled", false).str());
  if (node == 0) {
    if (log_) log_("upload: no file input, and no file chooser opened on the element showing the marker");
    return false;
  }
  return command("DOM.setFileInputFiles", JsonObject().raw("files", files).integer("backendNodeId", node).str()).ok;
}

}  // namespace vidralo::cdp
