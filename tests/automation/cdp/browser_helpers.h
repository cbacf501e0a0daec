#pragma once
// Waiting for what a real browser does later, with generous bounds so that
// a broken engine fails a test instead of hanging it.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <httplib.h>
#include <rapidjson/document.h>

#include "automation/browser_engine.h"
#include "automation/cdp/browser_process.h"

namespace vidralo::cdp::test {

inline bool eventually(const std::function<bool()>& condition, std::chrono::seconds bound = std::chrono::seconds(15)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Closes the engine's browsers when a test ends, also after a failed
// assertion, so that no browser outlives its test.
class BrowsersClosedAtEnd {
 public:
  explicit BrowsersClosedAtEnd(BrowserEngine& engine) : engine_(engine) {}
  ~BrowsersClosedAtEnd() { engine_.closeBrowsers(); }
  BrowsersClosedAtEnd(const BrowsersClosedAtEnd&) = delete;
  BrowsersClosedAtEnd& operator=(const BrowsersClosedAtEnd&) = delete;

 private:
  BrowserEngine& engine_;
};

// Processes of any kind (browser, renderer, GPU...) on `profile`.
inline bool profileHasProcesses(const std::string& profile) {
  return !processesWithArgument("--user-data-dir=" + profile).empty();
}

// The number of page targets (tabs) the browser on `port` lists; -1 when it
// does not answer.
inline int pageTargets(int port) {
  httplib::Client client("127.0.0.1", port);
  const auto answer = client.Get("/json/list");
  if (!answer || answer->status != 200) return -1;
  rapidjson::Document list;
  list.Parse(answer->body.c_str());
  if (!list.IsArray()) return -1;
  int pages = 0;
  for (const auto& target : list.GetArray())
    if (target.HasMember("type") && std::string(target["type"].GetString()) == "page") ++pages;
  return pages;
}

}  // namespace vidralo::cdp::test
