#pragma once
// The browser's small HTTP side on its debugging port.
#include <chrono>
#include <string>

namespace vidralo::cdp {

// The body of GET http://127.0.0.1:<port>/json/version; empty when nothing
// answers with 200 within `timeLimit`.
std::string fetchVersionJson(int port, std::chrono::milliseconds timeLimit);

}  // namespace vidralo::cdp
