#pragma once
// The floor the engine is measured against: the least a CDP client can do.
// One blocking WebSocket on the caller's own thread, no reader thread, no
// table of pending commands, no search of frames.
#include <string>
#include <string_view>

#include "automation/cdp/websocket_frames.h"

namespace vidralo::bench {

class RawCdpClient {
 public:
  RawCdpClient() = default;
  ~RawCdpClient();
  RawCdpClient(const RawCdpClient&) = delete;
  RawCdpClient& operator=(const RawCdpClient&) = delete;

  // Opens ws://127.0.0.1:port + path.
  bool open(int port, const std::string& path);
  // Sends one command and reads until its answer; the answer's text, empty
  // when the connection failed. Events on the way are skipped.
  std::string call(std::string_view method, std::string_view params = "{}", std::string_view sessionId = {});
  // Attaches to the first page target (flat session); its session id, or
  // empty while the browser has no page yet.
  std::string attachToPage();

 private:
  int fd_ = -1;
  long long nextId_ = 1;
  cdp::FrameReader reader_;
};

// The string at JSON pointer `pointer` in `json`, or empty.
std::string jsonText(const std::string& json, const char* pointer);
// True when the answer of Runtime.evaluate holds the value true.
bool evaluatedTrue(const std::string& answer);

}  // namespace vidralo::bench
