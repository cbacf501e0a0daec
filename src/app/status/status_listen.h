#pragma once
// Where the status page listens: `--status-port N` (127.0.0.1:N) before
// config.ini [status] listen ("127.0.0.1:PORT", "[::1]:PORT", or another
// address literal), with [status] token. Off when neither is given.
#include <optional>
#include <string>
#include <string_view>

namespace vidralo {

struct StatusListen {
  std::string host;  // an IPv4 or IPv6 address literal, without brackets
  int port = 0;
  std::string token;  // when set, every request must carry "Authorization: Bearer TOKEN"
  bool loopback = true;
};

struct StatusListenChoice {
  std::optional<StatusListen> listen;  // nothing: the page is off
  std::string refusal;                 // set when the page must not start
};

StatusListenChoice chooseStatusListen(std::optional<int> commandLinePort, std::string_view configuredListen,
                                      std::string token);

}  // namespace vidralo
