#pragma once
// What the online steps need of the start window. Every call may come from
// any thread; the window applies it on its own thread.
#include <string>

#include "controls/dialogs.h"

namespace vidralo {

class StartWindowView {
 public:
  virtual ~StartWindowView() = default;
  // 状态条1: 0 version, 1 server status, 2 announcement or quotation.
  virtual void setStatusPart(int part, const std::string& text) = 0;
  // 透明标签_更新, made visible.
  virtual void setUpdateText(const std::string& text) = 0;
  // 超级按钮_打开: its caption, and showing it once a download has ended.
  virtual void setOpenCaption(const std::string& caption) = 0;
  virtual void showOpenButton() = 0;
  // 图片框_广告: the picture's bytes (empty: none) and the link in its tag.
  virtual void setAdPicture(const std::string& bytes) = 0;
  virtual void setAdTag(const std::string& tag) = 0;
  // Message boxes and questions owned by the start window.
  virtual Dialogs& dialogs() = 0;
  // Closes the start window, which ends the program.
  virtual void close() = 0;
};

// The program constants the online services name.
struct ProductInfo {
  std::string title;
  std::string productId;
  std::string version;
};

}  // namespace vidralo
