#include "automation/cdp/script_literals.h"

#include <map>
#include <mutex>

#include "automation/cdp/cdp_json.h"

namespace vidralo::cdp {
namespace {

// Selectors and markers come from the page steps and the settings: a
// handful. The bound only keeps an unusual caller from growing the store.
constexpr std::size_t kMaxKept = 256;

struct Kept {
  std::mutex mutex;
  std::map<ScriptBuilder, std::map<std::string, ScriptLiteral, std::less<>>> byBuilder;
  std::size_t count = 0;
};

Kept& kept() {
  static Kept store;
  return store;
}

}  // namespace

ScriptLiteral scriptLiteral(std::string_view expression) {
  return std::make_shared<const std::string>(jsonString(expression));
}

ScriptLiteral scriptLiteral(ScriptBuilder build, std::string_view argument) {
  Kept& store = kept();
  {
    std::lock_guard lock(store.mutex);
    auto& literals = store.byBuilder[build];
    if (auto it = literals.find(argument); it != literals.end()) return it->second;
  }
  ScriptLiteral literal = scriptLiteral(build(argument));
  std::lock_guard lock(store.mutex);
  if (store.count >= kMaxKept) {
    store.byBuilder.clear();  // literals in use live on in their holders
    store.count = 0;
  }
  if (store.byBuilder[build].emplace(std::string(argument), literal).second) ++store.count;
  return literal;
}

}  // namespace vidralo::cdp
