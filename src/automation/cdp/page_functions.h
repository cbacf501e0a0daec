#pragma once
// The kept scripts that ran in the documents of a page, and those made into
// functions there. Running such a script again is a call of a few bytes on
// its function, where the script itself would be a kilobyte for the browser
// to pass on and compile each time. A function lives as long as its
// document: a navigation in a session forgets what was known of it.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/cdp/script_literals.h"

namespace vidralo::cdp {

class PageFunctions {
 public:
  // Pages use a few dozen scripts; the bound keeps execution contexts that
  // came and went from adding up.
  static constexpr std::size_t kMaxKept = 64;

  // What is known of `script` in `contextId` of `sessionId` (0: the
  // session's main world): nothing when it has not run there, an empty id
  // when it ran without being made a function, else its function's id.
  std::optional<std::string> find(std::string_view sessionId, int contextId, const ScriptLiteral& script) const;
  void keep(std::string_view sessionId, int contextId, const ScriptLiteral& script, std::string objectId);
  void forgetSession(std::string_view sessionId);

 private:
  struct Function {
    std::string sessionId;
    int contextId = 0;
    ScriptLiteral script;  // held, so that its address names it alone
    std::string objectId;  // empty: ran, not made a function
  };
  static bool matches(const Function& function, std::string_view sessionId, int contextId, const ScriptLiteral& script) {
    return function.script == script && function.contextId == contextId && function.sessionId == sessionId;
  }

  mutable std::mutex mutex_;
  std::vector<Function> functions_;  // oldest first
};

}  // namespace vidralo::cdp
