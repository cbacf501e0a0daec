#pragma once
// Page scripts as the JSON string literals that commands carry them in.
//
// The job runs the same few scripts on the same few selectors and markers
// over and over. Building a script of a kilobyte and escaping it for every
// reading took a sizeable share of our side of a round trip that is over in
// a third of a millisecond, so scripts made from one argument are kept.
#include <memory>
#include <string>
#include <string_view>

namespace vidralo::cdp {

struct PageScript {
  // The script as a JSON string literal, quotes included.
  std::string literal;
  // For a kept script: `() => script` as a literal, which makes the script a
  // function in the page that later runs are a call of. Empty otherwise.
  std::string asFunction;
};
using ScriptLiteral = std::shared_ptr<const PageScript>;
using ScriptBuilder = std::string (*)(std::string_view argument);

// `expression`, escaped now, for one run.
ScriptLiteral scriptLiteral(std::string_view expression);
// `build(argument)`, escaped once and then kept (a bounded number of them),
// with its function form.
ScriptLiteral scriptLiteral(ScriptBuilder build, std::string_view argument);

}  // namespace vidralo::cdp
