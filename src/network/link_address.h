#pragma once
#include <string>

namespace vidralo {

// The dotted IPv4 address of the network interface `interfaceName` (its
// first one), read from the kernel; empty when the interface is missing or
// has no IPv4 address.
std::string interfaceIpv4Address(const std::string& interfaceName);

}  // namespace vidralo
