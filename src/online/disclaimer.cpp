#include "online/disclaimer.h"

#include <QStandardPaths>
#include <filesystem>

#include "common/gbk.h"
#include "log/file_replace.h"

namespace vidralo {

std::string disclaimerText() {
  return "免责声明：\r\n"
         "  1、本软件是Vesko利用业余时间编写的免费软件。\r\n"
         "  2、本软件仅供技术交流和学习研究使用。\r\n"
         "  3、本软件不针对任何平台，任何人不得将其用于非法用途，滥用者将被追究责任。\r\n"
         "  4、因使用本软件造成的任何直接或间接损失，作者概不负责。\r\n"
         "  5、杀毒软件对本软件的报警均属误报，请放心使用。\r\n"
         "  6、本软件的最终解释权归作者所有。\r\n"
         "阅读并同意以上条款请点击确定，否则请删除本软件的全部文件。\r\n"
         "本提示只显示一次。";
}

std::string disclaimerMarkerPath() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return config.toStdString() + "/vidralo/vsbq.dll";
}

bool disclaimerAccepted() {
  std::error_code error;
  return std::filesystem::exists(disclaimerMarkerPath(), error);
}

bool acceptDisclaimer() {
  const std::string marker = disclaimerMarkerPath();
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(marker).parent_path(), error);
  return replaceFileContents(marker, utf8ToGbk("本用户已同意Vesko软件使用协议\r\n\r\n" + disclaimerText()), 0644);
}

void showDisclaimerOnce(Dialogs& dialogs) {
  if (disclaimerAccepted()) return;
  if (dialogs.question(disclaimerText(), "免责声明")) acceptDisclaimer();
}

}  // namespace vidralo
