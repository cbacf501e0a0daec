#pragma once
// Takes a new public address by hanging a PPPoE entry up and dialling it
// again. Lives for one IP change.
#include <optional>
#include <string>

#include "network/dial_platform.h"

namespace vidralo {

inline constexpr const char* kDefaultDialEntry = "宽带连接";

class BroadbandDialer {
 public:
  explicit BroadbandDialer(DialPlatform& platform) : platform_(platform) {}

  // The public address from the IP-lookup site, or empty.
  std::string publicIp();

  // Hangs the entry up when it is connected, dials it and returns the
  // address of the link it brought up; empty when the dial failed or the
  // link has no address. Without an entry, "宽带连接".
  std::string redial(std::optional<std::string> entry, const std::string& user, const std::string& password);

 private:
  DialPlatform& platform_;
};

}  // namespace vidralo
