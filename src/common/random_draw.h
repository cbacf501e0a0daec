#pragma once

namespace vidralo {

// A uniform integer between the two bounds, both included; the bounds may be
// given in either order. The generator is seeded from the tick count before
// each draw, as the pauses and random picks of the job have always been.
int randomBetween(int first, int second);

}  // namespace vidralo
