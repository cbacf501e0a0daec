#pragma once
#include <string>

namespace vidralo {

// The public address as the IP-lookup site ([hosts] iplookup) states it:
// its home page embeds an answer page in an iframe, whose title carries
// "您的IP地址是：" and the address. Two requests on the calling thread; empty
// when no site is configured (then no request is made) or any step fails.
std::string queryPublicIp();

}  // namespace vidralo
