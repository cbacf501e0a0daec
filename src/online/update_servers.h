#pragma once
// The maker's update server: three mirrors configured in config.ini as
// [hosts] update1 (the primary), update2 and update3, each a base address
// ending in "/". A mirror that is not configured is never asked.
#include <string>

namespace vidralo {

inline constexpr int kMirrorCount = 3;

// The base address of mirror 1..3, with a "/" added when missing; empty when
// it is not configured as an http or https address.
std::string mirrorBase(int mirror);

// The update index fields; missing keys and a failed fetch read as empty.
struct UpdateIndex {
  std::string version;     // "版本"
  std::string notes;       // "更新说明"
  std::string fileName;    // "文件名"
  std::string address;     // "下载地址"
  std::string sha256;      // "sha256", optional
};

// base + productId + "/index.json"; no request when `base` is empty.
UpdateIndex fetchUpdateIndex(const std::string& base, const std::string& productId);

// "版本" of the primary mirror's index.
std::string fetchLatestVersion(const std::string& productId);

}  // namespace vidralo
