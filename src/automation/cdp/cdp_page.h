#pragma once
// One attached page target and the operations the program performs on it,
// each a few protocol commands on the browser's connection.
//
// A page is more than its own document: frames of other origins run in
// execution contexts of their own, in this process or (site isolation) in
// another one that the browser attaches as a flat session of its own. Every
// element operation and the marker look in the page's document first, then
// in those frames in document order.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/cdp/cdp_connection.h"
#include "automation/cdp/script_literals.h"

namespace vidralo::cdp {

class CdpPage {
 public:
  using Log = std::function<void(const std::string&)>;

  // After this many commands in a row went unanswered the page counts as
  // hung (a script that never returns, a renderer that froze).
  static constexpr int kTimeoutsUntilHung = 2;

  // Enables page events on `sessionId`, attaches the frames of other
  // processes as they appear, and answers every JavaScript dialog at once
  // (accepting it), so that no dialog can ever hold the page's scripts, and
  // therefore our commands, waiting.
  CdpPage(CdpConnection& connection, std::string sessionId, std::chrono::milliseconds timeLimit, Log log);
  ~CdpPage();
  CdpPage(const CdpPage&) = delete;
  CdpPage& operator=(const CdpPage&) = delete;

  const std::string& sessionId() const { return sessionId_; }
  bool hung() const { return timeouts_ >= kTimeoutsUntilHung; }
  // One quick command: false when the page did not answer in time.
  bool answers();

  bool bringToFront();
  // An address equal to the current one up to its fragment only moves
  // within the document, which keeps its last state: the page is reloaded.
  bool navigate(const std::string& url, std::chrono::milliseconds timeLimit);
  // True once a fresh document has replaced the old one within `timeLimit`.
  bool reload(std::chrono::milliseconds timeLimit);
  // Also replaces alert/confirm/prompt in this and every later document.
  void overrideDialogs();
  bool markerPresent(std::string_view marker);
  void setTitle(std::string_view title);

  bool elementExists(std::string_view selector);
  bool elementShown(std::string_view selector);
  std::string elementText(std::string_view selector);
  bool click(std::string_view selector, bool mouseEvents);
  bool input(std::string_view selector, const std::string& text);
  // Hands `path` to the first file input in document order (hidden or
  // not). Without one, the element that shows `dropZoneText` is clicked and
  // the file goes to the file chooser that the click opens.
  bool uploadFile(const std::string& path, std::string_view dropZoneText);

  struct Frames;

 private:
  // Where a script runs: the main world of a protocol session, or another
  // execution context of it (a frame of another origin in this process).
  struct Document {
    std::string sessionId;  // empty: the page's own session
    int contextId = 0;    // 0: the session's main world
    std::string frameId;  // the frame of `contextId`
  };
  // The outcome of a script: `remote` is the protocol's RemoteObject for its
  // result, null when the command or the script failed. It points into
  // `reply`, which keeps it alive.
  struct Evaluated {
    CdpReply reply;
    const rapidjson::Value* remote = nullptr;
    // The script's result as JSON (byValue scripts only); null if none.
    const rapidjson::Value* value() const;
    bool isTrue() const;
  };
  using Found = std::function<bool(const Evaluated&)>;

  // When the page's current document began (performance.timeOrigin); empty
  // when the page does not answer.
  std::string documentOrigin();
  Evaluated evaluate(const Document& document, const ScriptLiteral& script, bool byValue = true,
                     bool userGesture = false);
  // The first document, in search order, where `script` gives a result that
  // `found` accepts; the page's own document when none does.
  std::pair<Document, Evaluated> locate(const ScriptLiteral& script, const Found& found, bool byValue = true);
  // The frames of other origins, in document order.
  std::vector<Document> otherDocuments();
  // Our execution context in `frameId` of `sessionId`, made when there is
  // none yet (or `renew`: the one we had went with a navigation); 0 if none.
  int contextFor(const std::string& sessionId, const std::string& frameId, bool renew);
  // The frames of other origins below `tree` of `sessionId`, whose frame is
  // of `parentOrigin`.
  void collectDocuments(const std::string& sessionId, const rapidjson::Value& tree, const std::string& parentOrigin,
                        std::vector<Document>& documents, std::vector<std::string>& visitedSessions);
  // A session of its own (a frame of another process), unless visited: its
  // document, then the frames inside it. `origin` is the frame's origin;
  // without it the session's own frame tree tells.
  void collectSession(const std::string& sessionId, const std::optional<std::string>& origin,
                      std::vector<Document>& documents, std::vector<std::string>& visitedSessions);
  // Runs `script` in `document`. A kept script that runs there again is made
  // a function (in the same round trip), and later runs call it.
  CdpReply run(const Document& document, const ScriptLiteral& script, bool byValue, bool userGesture);
  // The answer of a call of `function` in `document`; none when the function
  // went with its document.
  std::optional<CdpReply> callFunction(const Document& document, const std::string& function, bool byValue,
                                       bool userGesture);
  // A command of this page (`sessionId` empty: of its own session); errors
  // are logged, except by quietCommand.
  CdpReply command(std::string_view method, std::string params = "{}", std::string_view sessionId = {});
  CdpReply quietCommand(std::string_view method, std::string params, std::string_view sessionId);
  // The protocol session that `sessionId` names: empty is the page's own.
  std::string_view targetSession(std::string_view sessionId) const {
    return sessionId.empty() ? std::string_view(sessionId_) : sessionId;
  }
  // Counts the commands in a row that went unanswered.
  void noteAnswer(const CdpReply& reply);
  bool clickWithMouse(std::string_view selector);
  bool handToChooser(const std::string& file, std::string_view dropZoneText);

  CdpConnection& connection_;
  const std::string sessionId_;
  const std::chrono::milliseconds timeLimit_;
  Log log_;
  std::shared_ptr<Frames> frames_;
  std::atomic<int> timeouts_{0};
  std::once_flag dialogsOverridden_;
};

}  // namespace vidralo::cdp
