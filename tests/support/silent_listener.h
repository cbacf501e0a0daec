#pragma once
// A socket that listens on 127.0.0.1 but never accepts: connections complete
// and then wait for an answer that never comes. Closed early, its port
// refuses connections.
#include <string>

namespace vidralo::test {

class SilentListener {
 public:
  // `port` 0: any free port.
  explicit SilentListener(int port = 0);
  ~SilentListener() { close(); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  void close();
  bool listening() const { return socket_ >= 0; }
  int port() const { return port_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

}  // namespace vidralo::test
