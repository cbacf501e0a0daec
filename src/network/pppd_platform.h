#pragma once
// Dialling through pppd (servers set up with Debian's pppoeconf): the entry
// is the name of a peers file under /etc/ppp/peers, dialled with pon and hung
// up with poff.
#include <string>

#include "network/dial_platform.h"

namespace vidralo {

class PppdPlatform final : public DialPlatform {
 public:
  // `runDirectory` holds pppd's pid files (ppp-NAME.pid, INTERFACE.pid);
  // `procDirectory` is where the running processes are listed. pppd takes
  // its option linkname only from root: `asRoot` says whether to pass it.
  explicit PppdPlatform(std::string runDirectory = "/run", std::string procDirectory = "/proc",
                        bool asRoot = isRoot());

  // A pppd runs for the peers file ("pppd call NAME").
  bool isConnected(const std::string& entry) override;
  bool hangUp() override;
  // poff, then waiting (at most ten seconds) until that pppd has ended, so
  // the dial that follows finds the line free.
  bool hangUpByCommand(std::string& entry) override;
  // pon waits until the link is up (updetach). A user name and password go
  // to pppd in an options file only the owner can read, for this dial only.
  bool dial(const std::string& entry, const std::string& user, const std::string& password) override;
  // The address of the link's interface: the one pppd names in its link
  // file, or else the one whose pid file holds the pid of the pppd running
  // for the entry.
  std::string linkAddress(const std::string& entry) override;

  static bool isRoot();

 private:
  bool hangUpEntry(const std::string& entry);
  // The pid of the pppd running for the entry; empty when there is none.
  std::string pppdProcess(const std::string& entry) const;
  std::string interfaceOf(const std::string& entry) const;

  std::string runDirectory_;
  std::string procDirectory_;
  bool asRoot_;
  std::string dialled_;
};

}  // namespace vidralo
