#pragma once
// Dialling through pppd (servers set up with Debian's pppoeconf): the entry
// is the name of a peers file under /etc/ppp/peers, dialled with pon and hung
// up with poff.
#include <string>

#include "network/dial_platform.h"

namespace vidralo {

class PppdPlatform final : public DialPlatform {
 public:
  // `runDirectory` holds pppd's link files (ppp-NAME.pid); `procDirectory`
  // is where the running processes are listed.
  explicit PppdPlatform(std::string runDirectory = "/run", std::string procDirectory = "/proc");

  // A pppd runs for the peers file ("pppd call NAME").
  bool isConnected(const std::string& entry) override;
  bool hangUp() override;
  // poff, then waiting (at most ten seconds) until that pppd has ended, so
  // the dial that follows finds the line free.
  bool hangUpByCommand(std::string& entry) override;
  // pon waits until the link is up (updetach). A user name and password go
  // to pppd in an options file only the owner can read, for this dial only.
  bool dial(const std::string& entry, const std::string& user, const std::string& password) override;
  // The address of the interface pppd names in its link file.
  std::string linkAddress(const std::string& entry) override;

 private:
  bool hangUpEntry(const std::string& entry);

  std::string runDirectory_;
  std::string procDirectory_;
  std::string dialled_;
};

}  // namespace vidralo
