#pragma once
// Dialling through NetworkManager (desktops): the entry is the name of a
// NetworkManager PPPoE connection, brought down and up with nmcli.
#include <string>

#include "network/dial_platform.h"

namespace vidralo {

class NetworkManagerPlatform final : public DialPlatform {
 public:
  bool isConnected(const std::string& entry) override;
  bool hangUp() override;
  bool hangUpByCommand(std::string& entry) override;
  // A user name is stored in the connection (pppoe.username); the password
  // goes to nmcli in a file only the owner can read, for this dial only.
  bool dial(const std::string& entry, const std::string& user, const std::string& password) override;
  // The address of the connection's IP interface (its ppp link).
  std::string linkAddress(const std::string& entry) override;

 private:
  std::string dialled_;
};

}  // namespace vidralo
