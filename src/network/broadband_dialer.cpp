#include "network/broadband_dialer.h"

#include "network/public_ip.h"

namespace vidralo {

std::string BroadbandDialer::publicIp() { return queryPublicIp(); }

std::string BroadbandDialer::redial(std::optional<std::string> entry, const std::string& user,
                                    const std::string& password) {
  std::string name = entry.value_or(kDefaultDialEntry);
  if (platform_.isConnected(name) && !platform_.hangUp()) platform_.hangUpByCommand(name);
  if (!platform_.dial(name, user, password)) return {};
  return platform_.linkAddress(name);
}

}  // namespace vidralo
