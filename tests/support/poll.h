#pragma once
// Waiting in real time for something another thread or process brings about.
#include <chrono>
#include <functional>

namespace vidralo::test {

// Asks `done` every `interval` until it holds or `limit` has passed; true
// when it held.
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval = std::chrono::milliseconds(50));

}  // namespace vidralo::test
