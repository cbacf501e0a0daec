#pragma once
// The client side of the WebSocket wire format (RFC 6455) as far as a
// DevTools connection needs it: the opening handshake's key check, masked
// frames out, and unmasked frames in, reassembled into whole messages.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vidralo::cdp {

enum class WsOpcode : std::uint8_t { Continuation = 0x0, Text = 0x1, Binary = 0x2, Close = 0x8, Ping = 0x9, Pong = 0xA };

// The Sec-WebSocket-Accept value a server must answer to `key`.
std::string webSocketAccept(std::string_view key);

// One complete frame from client to server, masked with `mask` as the
// protocol requires of clients. Made in the payload's own memory when it
// has room for the header (at most kMaxClientHeader bytes more).
constexpr std::size_t kMaxClientHeader = 14;
std::string encodeClientFrame(WsOpcode opcode, std::string payload, std::array<std::uint8_t, 4> mask);

// Cuts the byte stream from the server into frames and joins fragmented
// messages. Feed whatever arrived; take what is complete.
class FrameReader {
 public:
  struct Item {
    WsOpcode opcode;      // Text or Binary for a whole message; a control opcode otherwise
    std::string payload;  // the whole message, or the control frame's data
  };

  void feed(std::string_view bytes);
  // The next complete message or control frame; nothing while more bytes
  // are needed. `broken()` tells a protocol violation from a mere wait.
  std::optional<Item> next();
  bool broken() const { return broken_; }

 private:
  std::string buffer_;
  std::size_t consumed_ = 0;
  std::string partial_;  // a fragmented message so far
  WsOpcode partialOpcode_ = WsOpcode::Text;
  bool inMessage_ = false;
  bool broken_ = false;
};

}  // namespace vidralo::cdp
