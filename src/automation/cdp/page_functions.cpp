#include "automation/cdp/page_functions.h"

#include <algorithm>

namespace vidralo::cdp {

std::optional<std::string> PageFunctions::find(std::string_view sessionId, int contextId,
                                               const ScriptLiteral& script) const {
  std::lock_guard lock(mutex_);
  for (const Function& function : functions_)
    if (matches(function, sessionId, contextId, script)) return function.objectId;
  return std::nullopt;
}

void PageFunctions::keep(std::string_view sessionId, int contextId, const ScriptLiteral& script,
                         std::string objectId) {
  std::lock_guard lock(mutex_);
  std::erase_if(functions_, [&](const Function& f) { return matches(f, sessionId, contextId, script); });
  if (functions_.size() >= kMaxKept) functions_.erase(functions_.begin());
  functions_.push_back({std::string(sessionId), contextId, script, std::move(objectId)});
}

void PageFunctions::forgetSession(std::string_view sessionId) {
  std::lock_guard lock(mutex_);
  std::erase_if(functions_, [&](const Function& f) { return f.sessionId == sessionId; });
}

}  // namespace vidralo::cdp
