#pragma once
// One attached page target and the operations the program performs on it,
// each a few protocol commands on the browser's connection.
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "automation/cdp/cdp_connection.h"

namespace vidralo::cdp {

class CdpPage {
 public:
  using Log = std::function<void(const std::string&)>;

  // Enables page events on `sessionId` and answers every JavaScript dialog
  // of the page at once (accepting it), so that no dialog can ever hold the
  // page's scripts, and therefore our commands, waiting.
  CdpPage(CdpConnection& connection, std::string sessionId, std::chrono::milliseconds timeLimit, Log log);
  ~CdpPage();
  CdpPage(const CdpPage&) = delete;
  CdpPage& operator=(const CdpPage&) = delete;

  const std::string& sessionId() const { return sessionId_; }

  bool bringToFront();
  bool navigate(const std::string& url, std::chrono::milliseconds timeLimit);
  bool reload();
  // Also replaces alert/confirm/prompt in this and every later document.
  void overrideDialogs();
  bool markerPresent(std::string_view marker);
  void setTitle(std::string_view title);

  bool elementExists(std::string_view selector);
  std::string elementText(std::string_view selector);
  bool click(std::string_view selector, bool mouseEvents);
  bool input(std::string_view selector, const std::string& text);
  // Hands `path` to the first file input of the page (hidden or not).
  bool uploadFile(const std::string& path);

 private:
  // The outcome of a script: `remote` is the protocol's RemoteObject for its
  // result, null when the command or the script failed. It points into
  // `reply`, which keeps it alive.
  struct Evaluated {
    CdpReply reply;
    const rapidjson::Value* remote = nullptr;
    // The script's result as JSON (byValue scripts only); null if none.
    const rapidjson::Value* value() const;
  };
  // Runs `expression` in the page's main world.
  Evaluated evaluate(const std::string& expression, bool byValue = true);
  bool evaluateTrue(const std::string& expression);
  CdpReply command(std::string_view method, std::string_view params = "{}");
  bool clickWithMouse(std::string_view selector);

  CdpConnection& connection_;
  const std::string sessionId_;
  const std::chrono::milliseconds timeLimit_;
  Log log_;
  int dialogSubscription_ = 0;
  std::once_flag dialogsOverridden_;
};

}  // namespace vidralo::cdp
