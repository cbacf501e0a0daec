#include "common/random_draw.h"

#include <algorithm>
#include <random>

#include "common/clock.h"

namespace vidralo {

int randomBetween(int first, int second) {
  const int low = std::min(first, second);
  const int high = std::max(first, second);
  std::mt19937_64 generator(static_cast<std::uint64_t>(appClock().tickMs()));
  std::uniform_int_distribution<long long> draw(low, high);
  return static_cast<int>(draw(generator));
}

}  // namespace vidralo
