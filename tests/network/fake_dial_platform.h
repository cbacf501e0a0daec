#pragma once
// A dial platform that answers from a script and records what it was asked.
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "network/dial_platform.h"

namespace vidralo::test {

class FakeDialPlatform : public DialPlatform {
 public:
  // The address each dial's link gets, in order; "" fails that attempt at
  // the address check, and attempts beyond the list fail too.
  std::deque<std::string> addresses;
  // The name of the connection the machine is online through.
  std::string connectedName;
  // Called at each dial, before it answers.
  std::function<void()> onDial;

  struct Dial {
    std::string entry, user, password;
  };
  std::vector<Dial> dials;
  std::vector<std::string> commandHangUps;

  bool isConnected(const std::string& entry) override { return !connectedName.empty() && connectedName == entry; }
  bool hangUp() override { return false; }
  bool hangUpByCommand(std::string& entry) override {
    commandHangUps.push_back(entry);
    connectedName.clear();
    return true;
  }
  bool dial(const std::string& entry, const std::string& user, const std::string& password) override {
    dials.push_back({entry, user, password});
    if (onDial) onDial();
    next_ = addresses.empty() ? "" : addresses.front();
    if (!addresses.empty()) addresses.pop_front();
    return true;
  }
  std::string linkAddress(const std::string&) override { return next_; }

 private:
  std::string next_;
};

}  // namespace vidralo::test
