#pragma once
// The system services a PPPoE redial needs. A dial-up entry is named by the
// operator (宽带_名称); what the name means depends on the way the machine
// dials (a NetworkManager connection, a pppd peers file).
#include <string>

namespace vidralo {

class DialPlatform {
 public:
  virtual ~DialPlatform() = default;
  // True when a connection of exactly this name is up.
  virtual bool isConnected(const std::string& entry) = 0;
  // Hangs up the connection this object's own last dial brought up; false
  // when it dialled none or the hang-up failed.
  virtual bool hangUp() = 0;
  // Hangs up the named entry with the system's command; an empty or blank
  // name is first replaced by "宽带连接" in the caller's variable. True when
  // the command could be started.
  virtual bool hangUpByCommand(std::string& entry) = 0;
  // Dials the entry with the user name and password (empty: the entry's
  // own); true when the dial went through.
  virtual bool dial(const std::string& entry, const std::string& user, const std::string& password) = 0;
  // The IPv4 address of the link the entry's dial brought up; empty when
  // that link has none.
  virtual std::string linkAddress(const std::string& entry) = 0;
};

}  // namespace vidralo
