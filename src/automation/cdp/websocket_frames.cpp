#include "automation/cdp/websocket_frames.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cstring>

namespace vidralo::cdp {
namespace {

constexpr std::string_view kHandshakeGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
// A DevTools message never comes near this; a larger length means the
// stream is out of step.
constexpr std::uint64_t kMaxPayload = std::uint64_t(1) << 31;

bool isControl(std::uint8_t opcode) { return opcode & 0x8; }

}  // namespace

std::string webSocketAccept(std::string_view key) {
  const QByteArray source = QByteArray(key.data(), static_cast<qsizetype>(key.size())) +
                            QByteArray(kHandshakeGuid.data(), static_cast<qsizetype>(kHandshakeGuid.size()));
  return QCryptographicHash::hash(source, QCryptographicHash::Sha1).toBase64().toStdString();
}

std::string encodeClientFrame(WsOpcode opcode, std::string payload, std::array<std::uint8_t, 4> mask) {
  char header[kMaxClientHeader];
  std::size_t headerSize = 0;
  header[headerSize++] = static_cast<char>(0x80 | static_cast<std::uint8_t>(opcode));  // FIN: never fragmented
  const std::uint64_t size = payload.size();
  if (size < 126) {
    header[headerSize++] = static_cast<char>(0x80 | size);
  } else if (size <= 0xFFFF) {
    header[headerSize++] = static_cast<char>(0x80 | 126);
    for (int shift = 8; shift >= 0; shift -= 8) header[headerSize++] = static_cast<char>((size >> shift) & 0xFF);
  } else {
    header[headerSize++] = static_cast<char>(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) header[headerSize++] = static_cast<char>((size >> shift) & 0xFF);
  }
  for (std::uint8_t byte : mask) header[headerSize++] = static_cast<char>(byte);
  // The payload becomes the frame where it lies: a command written with room
  // to spare for the header is neither allocated nor copied again.
  std::string frame = std::move(payload);
  frame.insert(0, header, headerSize);
  const std::size_t start = headerSize;
  // Eight bytes at a time: the mask repeats every four, so twice over.
  std::uint64_t wide = 0;
  for (int i = 0; i < 8; ++i) reinterpret_cast<std::uint8_t*>(&wide)[i] = mask[i % 4];
  std::size_t i = start;
  for (; i + 8 <= frame.size(); i += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, frame.data() + i, 8);
    chunk ^= wide;
    std::memcpy(frame.data() + i, &chunk, 8);
  }
  for (; i < frame.size(); ++i) frame[i] = static_cast<char>(frame[i] ^ mask[(i - start) % 4]);
  return frame;
}

void FrameReader::feed(std::string_view bytes) {
  buffer_.erase(0, consumed_);  // what was taken already; usually everything
  consumed_ = 0;
  buffer_.append(bytes);
}

std::optional<FrameReader::Item> FrameReader::next() {
  while (!broken_) {
    const std::string_view rest = std::string_view(buffer_).substr(consumed_);
    if (rest.size() < 2) return std::nullopt;
    const auto first = static_cast<std::uint8_t>(rest[0]);
    const auto second = static_cast<std::uint8_t>(rest[1]);
    const bool fin = first & 0x80;
    const std::uint8_t opcode = first & 0x0F;
    const bool masked = second & 0x80;
    std::uint64_t size = second & 0x7F;
    std::size_t header = 2;
    const std::size_t extra = size == 126 ? 2 : size == 127 ? 8 : 0;
    if (rest.size() < header + extra) return std::nullopt;
    if (extra > 0) {
      size = 0;
      for (std::size_t i = 0; i < extra; ++i) size = (size << 8) | static_cast<std::uint8_t>(rest[header + i]);
      header += extra;
    }
    if (size > kMaxPayload || (first & 0x70) != 0 || (isControl(opcode) && (!fin || size > 125))) {
      broken_ = true;
      return std::nullopt;
    }
    std::array<std::uint8_t, 4> mask{};
    if (masked) {
      if (rest.size() < header + 4) return std::nullopt;
      for (std::size_t i = 0; i < 4; ++i) mask[i] = static_cast<std::uint8_t>(rest[header + i]);
      header += 4;
    }
    if (rest.size() < header + size) return std::nullopt;
    std::string payload(rest.substr(header, size));
    if (masked)
      for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(payload[i] ^ mask[i % 4]);
    consumed_ += header + size;

    if (isControl(opcode)) return Item{static_cast<WsOpcode>(opcode), std::move(payload)};
    if (opcode == static_cast<std::uint8_t>(WsOpcode::Continuation)) {
      if (!inMessage_) {
        broken_ = true;
        return std::nullopt;
      }
      partial_ += payload;
    } else if (opcode == static_cast<std::uint8_t>(WsOpcode::Text) ||
               opcode == static_cast<std::uint8_t>(WsOpcode::Binary)) {
      if (inMessage_) {
        broken_ = true;
        return std::nullopt;
      }
      partial_ = std::move(payload);
      partialOpcode_ = static_cast<WsOpcode>(opcode);
      inMessage_ = true;
    } else {
      broken_ = true;
      return std::nullopt;
    }
    if (fin) {
      inMessage_ = false;
      return Item{partialOpcode_, std::move(partial_)};
    }
  }
  return std::nullopt;
}

}  // namespace vidralo::cdp
