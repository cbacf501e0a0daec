#include "app/headless/progress_printer.h"

#include "common/text_rules.h"
#include "log/date_time.h"

namespace vidralo {

ProgressPrinter::ProgressPrinter(ControlModel& controls, std::FILE* out, std::function<std::string()> failureEvidence)
    : controls_(controls),
      out_(out),
      failureEvidence_(std::move(failureEvidence)),
      subscription_(controls.subscribe([this](const ControlChange& c) { onChange(c); })) {}

ProgressPrinter::~ProgressPrinter() { controls_.unsubscribe(subscription_); }

namespace {

// Control characters (a zero byte, a line break in an id or a page text)
// written as \xNN, so that every change stays one whole line.
std::string visibleText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
  }
  return out;
}

}  // namespace

void ProgressPrinter::onChange(const ControlChange& change) {
  if (change.property == ControlProperty::Cell) {
    if (change.column != 列_状态 && change.column != 列_正在发布 && change.column != 列_今天已发) return;
    const std::string account = "账号 " + controls_.cell(change.row, 列_账号标识);
    const std::string column(accountColumns()[static_cast<std::size_t>(change.column)].title);
    std::string value = controls_.cell(change.row, change.column);
    // A failure and an account passed over for its page name the page's evidence.
    const bool pictured =
        value.starts_with("上传失败") || value == "未登录，已跳过" || value == "页面未就绪，已跳过";
    if (change.column == 列_状态 && pictured && failureEvidence_) {
      if (const std::string evidence = failureEvidence_(); !evidence.empty()) value += "（证据：" + evidence + "）";
    }
    print(account, column, value);
    return;
  }
  if (change.property == ControlProperty::Caption &&
      (change.id == ControlId::分组框_控制 || change.id == ControlId::分组框6)) {
    print(std::string(controlName(change.id)), "标题", controls_.caption(change.id));
  }
  if (change.property == ControlProperty::Caption && change.id == ControlId::宽带_提示) {
    print(std::string(controlName(change.id)), "提示", replaceAll(controls_.caption(change.id), "\r\n", " / "));
  }
}

void ProgressPrinter::print(const std::string& subject, const std::string& what, const std::string& value) {
  const std::string line =
      formatDateTime() + " [" + visibleText(subject) + "] " + what + ": " + visibleText(value) + "\n";
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}

}  // namespace vidralo
