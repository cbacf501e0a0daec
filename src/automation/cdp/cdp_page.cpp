#include "automation/cdp/cdp_page.h"

#include <filesystem>

#include "automation/cdp/cdp_json.h"
#include "automation/cdp/page_scripts.h"

namespace vidralo::cdp {

CdpPage::CdpPage(CdpConnection& connection, std::string sessionId, std::chrono::milliseconds timeLimit, Log log)
    : connection_(connection), sessionId_(std::move(sessionId)), timeLimit_(timeLimit), log_(std::move(log)) {
  // Captures no `this`: a handler already on its way may still run while
  // this page is being destroyed on another thread.
  dialogSubscription_ =
      connection_.subscribe(sessionId_, [connection = &connection_, session = sessionId_](const CdpEvent& event) {
        if (event.method != "Page.javascriptDialogOpening") return;
        // Posted, not called: an event handler must never wait for the browser.
        connection->post(
            "Page.handleJavaScriptDialog",
            JsonObject().boolean("accept", true).text("promptText", stringMember(event.params, "defaultPrompt")).str(),
            session);
      });
  // Posted: a page that is still busy (or frozen) must not hold up the
  // attach; the browser keeps the order of the commands that follow.
  connection_.post("Page.enable", "{}", sessionId_);
}

CdpPage::~CdpPage() { connection_.unsubscribe(dialogSubscription_); }

CdpReply CdpPage::command(std::string_view method, std::string_view params) {
  CdpReply reply = connection_.call(method, params, sessionId_, timeLimit_);
  if (!reply.ok && log_) log_(reply.error);
  return reply;
}

const rapidjson::Value* CdpPage::Evaluated::value() const { return remote ? member(*remote, "value") : nullptr; }

CdpPage::Evaluated CdpPage::evaluate(const std::string& expression, bool byValue) {
  Evaluated outcome;
  outcome.reply = command("Runtime.evaluate",
                          JsonObject().text("expression", expression).boolean("returnByValue", byValue).str());
  if (!outcome.reply.ok) return outcome;
  if (const rapidjson::Value* exception = member(outcome.reply.result(), "exceptionDetails")) {
    const rapidjson::Value* thrown = member(*exception, "exception");
    if (log_) log_("script failed: " + (thrown ? stringMember(*thrown, "description") : stringMember(*exception, "text")));
    return outcome;
  }
  outcome.remote = member(outcome.reply.result(), "result");
  return outcome;
}

bool CdpPage::evaluateTrue(const std::string& expression) {
  const Evaluated outcome = evaluate(expression);
  const rapidjson::Value* value = outcome.value();
  return value && value->IsBool() && value->GetBool();
}

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
  return true;
}

bool CdpPage::reload() { return command("Page.reload").ok; }

void CdpPage::overrideDialogs() {
  std::call_once(dialogsOverridden_, [this] {
    command("Page.addScriptToEvaluateOnNewDocument", JsonObject().text("source", scripts::dialogOverride()).str());
  });
  evaluate(scripts::dialogOverride());
}

bool CdpPage::markerPresent(std::string_view marker) { return evaluateTrue(scripts::markerPresent(marker)); }

void CdpPage::setTitle(std::string_view title) {
  // The title is a progress line that nobody reads back: the job need not
  // wait for the page to answer. Commands of one session run in order, so a
  // later title still replaces an earlier one.
  connection_.post("Runtime.evaluate", JsonObject().text("expression", scripts::setTitle(title)).str(), sessionId_);
}

bool CdpPage::elementExists(std::string_view selector) { return evaluateTrue(scripts::elementExists(selector)); }

std::string CdpPage::elementText(std::string_view selector) {
  const Evaluated outcome = evaluate(scripts::elementText(selector));
  const rapidjson::Value* value = outcome.value();
  return value && value->IsString() ? std::string(value->GetString(), value->GetStringLength()) : std::string();
}

bool CdpPage::click(std::string_view selector, bool mouseEvents) {
  // An element without a box (hidden, zero size) cannot be hit by a mouse;
  // its own click() still reaches its handlers.
  if (mouseEvents && clickWithMouse(selector)) return true;
  return evaluateTrue(scripts::clickElement(selector));
}

bool CdpPage::clickWithMouse(std::string_view selector) {
  const Evaluated outcome = evaluate(scripts::elementCentre(selector));
  const rapidjson::Value* centre = outcome.value();
  if (!centre || !centre->IsObject()) return false;
  const rapidjson::Value* x = member(*centre, "x");
  const rapidjson::Value* y = member(*centre, "y");
  if (!x || !y || !x->IsNumber() || !y->IsNumber()) return false;
  auto mouse = [&](const char* type, int buttons) {
    JsonObject params;
    params.text("type", type).number("x", x->GetDouble()).number("y", y->GetDouble());
    if (std::string_view(type) != "mouseMoved") params.text("button", "left").integer("buttons", buttons).integer("clickCount", 1);
    return command("Input.dispatchMouseEvent", params.str()).ok;
  };
  return mouse("mouseMoved", 0) && mouse("mousePressed", 1) && mouse("mouseReleased", 0);
}

bool CdpPage::input(std::string_view selector, const std::string& text) {
  const Evaluated outcome = evaluate(scripts::prepareInput(selector));
  const rapidjson::Value* state = outcome.value();
  if (!state || !state->IsString()) return false;
  // Typed text replaces the selection and raises the events a keyboard
  // would; a field that takes no focus, or an empty text, is assigned.
  if (std::string_view(state->GetString()) != "focused" || text.empty())
    return evaluateTrue(scripts::assignInput(selector, text));
  if (!command("Input.insertText", JsonObject().text("text", text).str()).ok) return false;
  return evaluateTrue(scripts::announceInput(selector));
}

bool CdpPage::uploadFile(const std::string& path) {
  std::error_code error;
  const std::filesystem::path file = std::filesystem::absolute(path, error);
  if (error || !std::filesystem::is_regular_file(file, error)) {
    if (log_) log_("upload: no such file " + path);
    return false;
  }
  const Evaluated outcome = evaluate(scripts::elementObject("input[type=file]"), false);
  const std::string objectId = outcome.remote ? stringMember(*outcome.remote, "objectId") : std::string();
  if (objectId.empty()) {
    if (log_) log_("upload: the page has no file input");
    return false;
  }
  const bool handed = command("DOM.setFileInputFiles", JsonObject()
                                                           .raw("files", "[" + jsonString(file.string()) + "]")
                                                           .text("objectId", objectId)
                                                           .str())
                          .ok;
  connection_.post("Runtime.releaseObject", JsonObject().text("objectId", objectId).str(), sessionId_);
  return handed;
}

}  // namespace vidralo::cdp
