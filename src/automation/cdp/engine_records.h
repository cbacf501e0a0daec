#pragma once
// What CdpEngine keeps per browser and per page session (private to the
// engine's sources).
#include <sys/types.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>

#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_connection.h"
#include "automation/cdp/cdp_engine.h"
#include "automation/cdp/cdp_page.h"

namespace vidralo::cdp {

struct CdpEngine::Browser {
  BrowserId id = 0;
  std::string profileDirectory;
  ProcessHandle process;  // empty when it could not be found
  int port = 0;
  // Started headless by us: no window shows a title. A browser taken over
  // may have one, so it counts as windowed.
  bool windowless = false;
  std::unique_ptr<CdpConnection> connection;
  // Pages whose renderer died: they answer no page command until reloaded,
  // so they are never attached to again (guarded by the engine's mutex).
  std::set<std::string> crashedTargets;

  bool alive() const { return connection && connection->isOpen(); }
};

// Declared after the browser it belongs to, so that the page (which
// subscribes to the browser's connection) goes first.
struct CdpEngine::Page {
  SessionId id = 0;
  std::shared_ptr<Browser> browser;
  std::string targetId;
  std::atomic<bool> attached{true};
  std::unique_ptr<CdpPage> page;

  // A hung page (commands unanswered in a row) is as good as gone.
  bool usable() const { return attached && browser->alive() && !page->hung(); }
};

}  // namespace vidralo::cdp
