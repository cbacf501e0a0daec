#include "app/status/status_listen.h"

#include <arpa/inet.h>

#include <charconv>

namespace vidralo {
namespace {

int parsePort(std::string_view text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) return 0;
  return port;
}

// Only address literals: a host name could resolve to anything, loopback or not.
std::optional<StatusListen> parseListen(std::string_view text) {
  StatusListen listen;
  std::string_view portText;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || text.substr(close + 1, 1) != ":") return std::nullopt;
    listen.host = std::string(text.substr(1, close - 1));
    portText = text.substr(close + 2);
    in6_addr address{};
    if (inet_pton(AF_INET6, listen.host.c_str(), &address) != 1) return std::nullopt;
    listen.loopback = IN6_IS_ADDR_LOOPBACK(&address);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    listen.host = std::string(text.substr(0, colon));
    portText = text.substr(colon + 1);
    in_addr address{};
    if (inet_pton(AF_INET, listen.host.c_str(), &address) != 1) return std::nullopt;
    listen.loopback = (ntohl(address.s_addr) >> 24) == 127;
  }
  listen.port = parsePort(portText);
  if (listen.port == 0) return std::nullopt;
  return listen;
}

}  // namespace

StatusListenChoice chooseStatusListen(std::optional<int> commandLinePort, std::string_view configuredListen,
                                      std::string token) {
  StatusListenChoice choice;
  if (commandLinePort) {
    choice.listen = StatusListen{"127.0.0.1", *commandLinePort};
  } else if (!configuredListen.empty()) {
    choice.listen = parseListen(configuredListen);
    if (!choice.listen) {
      choice.refusal = "状态页地址无效（config.ini [status] listen 须为 127.0.0.1:端口、[::1]:端口 或其他 IP 地址加端口）：" +
                       std::string(configuredListen);
      return choice;
    }
  } else {
    return choice;
  }
  choice.listen->token = std::move(token);
  if (!choice.listen->loopback && choice.listen->token.empty()) {
    choice.refusal = "状态页不在本机回环地址上监听时必须设置口令（config.ini [status] token），未启动：" +
                     std::string(configuredListen);
    choice.listen.reset();
  }
  return choice;
}

}  // namespace vidralo
