#pragma once
#include <memory>

#include "network/dial_platform.h"

namespace vidralo {

// NetworkManager when it runs on this machine, else pppd.
std::unique_ptr<DialPlatform> systemDialPlatform();

}  // namespace vidralo
