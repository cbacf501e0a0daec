#include "raw_cdp_client.h"

#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <unistd.h>

#include <chrono>

#include "automation/cdp/cdp_json.h"
#include "automation/cdp/loopback_socket.h"

namespace vidralo::bench {

RawCdpClient::~RawCdpClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawCdpClient::open(int port, const std::string& path) {
  std::string error;
  fd_ = cdp::connectSocket("127.0.0.1", std::to_string(port), std::chrono::steady_clock::now() + std::chrono::seconds(10),
                           std::chrono::seconds(10), error);
  if (fd_ < 0) return false;
  const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (!cdp::sendAll(fd_, request)) return false;
  std::string answer;
  char buffer[4096];
  std::size_t headEnd;
  while ((headEnd = answer.find("\r\n\r\n")) == std::string::npos) {
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) return false;
    answer.append(buffer, static_cast<std::size_t>(got));
  }
  reader_.feed(std::string_view(answer).substr(headEnd + 4));
  return answer.starts_with("HTTP/1.1 101");
}

std::string RawCdpClient::call(std::string_view method, std::string_view params, std::string_view sessionId) {
  const long long id = nextId_++;
  cdp::JsonObject message;
  message.integer("id", id).text("method", method).raw("params", params);
  if (!sessionId.empty()) message.text("sessionId", sessionId);
  if (!cdp::sendAll(fd_, cdp::encodeClientFrame(cdp::WsOpcode::Text, message.str(), {1, 2, 3, 4}))) return {};
  // Answers begin with their id; events with "method".
  const std::string head = "{\"id\":" + std::to_string(id) + ",";
  char buffer[65536];
  for (;;) {
    while (auto item = reader_.next())
      if (item->opcode == cdp::WsOpcode::Text && item->payload.starts_with(head)) return std::move(item->payload);
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0 || reader_.broken()) return {};
    reader_.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
}

std::string RawCdpClient::attachToPage() {
  rapidjson::Document targets;
  const std::string answer = call("Target.getTargets");
  targets.Parse(answer.data(), answer.size());
  const rapidjson::Value* list = rapidjson::Pointer("/result/targetInfos").Get(targets);
  if (!list || !list->IsArray()) return {};
  for (const auto& target : list->GetArray()) {
    if (std::string_view(target["type"].GetString()) != "page") continue;
    const std::string attached =
        call("Target.attachToTarget",
             cdp::JsonObject().text("targetId", target["targetId"].GetString()).boolean("flatten", true).str());
    return jsonText(attached, "/result/sessionId");
  }
  return {};
}

std::string jsonText(const std::string& json, const char* pointer) {
  rapidjson::Document document;
  document.Parse(json.data(), json.size());
  const rapidjson::Value* value = rapidjson::Pointer(pointer).Get(document);
  return value && value->IsString() ? value->GetString() : "";
}

bool evaluatedTrue(const std::string& answer) {
  rapidjson::Document document;
  document.Parse(answer.data(), answer.size());
  const rapidjson::Value* value = rapidjson::Pointer("/result/result/value").Get(document);
  return value && value->IsBool() && value->GetBool();
}

}  // namespace vidralo::bench
