#pragma once
// A program directory for benchmarks that run the job on the simulated page.
#include <string>

#include "simulator/simulated_platform.h"

namespace vidralo::bench {

// Makes `root` afresh: `videos` small videos in root + "/videos", one account
// record `id` on that folder, config.ini naming the platform, and the
// account's browser profile logged in. Returns the video folder.
std::string prepareLoggedInAccount(const std::string& root, sim::SimulatedPlatform& platform, const std::string& id,
                                   int videos);

}  // namespace vidralo::bench
