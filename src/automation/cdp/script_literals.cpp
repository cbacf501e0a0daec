#include "automation/cdp/script_literals.h"

#include <map>
#include <mutex>

#include "automation/cdp/cdp_json.h"

namespace vidralo::cdp {
namespace {

// Selectors and markers come from the page steps and the settings: a
// handful per script. The bound only keeps an unusual caller from growing
// the store.
constexpr std::size_t kMaxKeptPerScript = 256;

struct Kept {
  std::mutex mutex;
  std::map<ScriptBuilder, std::map<std::string, ScriptLiteral, std::less<>>> byBuilder;
};

Kept& kept() {
  static Kept store;
  return store;
}

}  // namespace

ScriptLiteral scriptLiteral(std::string_view expression) {
  return std::make_shared<const PageScript>(PageScript{jsonString(expression), {}});
}

ScriptLiteral scriptLiteral(ScriptBuilder build, std::string_view argument) {
  Kept& store = kept();
  {
    std::lock_guard lock(store.mutex);
    auto& literals = store.byBuilder[build];
    if (auto it = literals.find(argument); it != literals.end()) return it->second;
  }
  std::string expression = jsonString(build(argument));
  std::string asFunction = "\"() => " + expression.substr(1);  // inside the opening quote
  ScriptLiteral literal = std::make_shared<const PageScript>(PageScript{std::move(expression), std::move(asFunction)});
  std::lock_guard lock(store.mutex);
  auto& literals = store.byBuilder[build];
  if (literals.size() >= kMaxKeptPerScript) literals.clear();  // literals in use live on in their holders
  literals.emplace(std::string(argument), literal);
  return literal;
}

}  // namespace vidralo::cdp
