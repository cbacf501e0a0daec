#include "http/page_charset.h"

#include <QRegularExpression>
#include <QString>

#include "common/gbk.h"

namespace vidralo {

std::string declaredCharset(std::string_view page) {
  static const QRegularExpression pattern(QStringLiteral("<meta.+?charset=[^\\w]?([-\\w]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  // Latin-1 maps every byte to one character, so a page in any charset is
  // searched byte for byte; \w only matches ASCII word characters here.
  const QRegularExpressionMatch match =
      pattern.match(QString::fromLatin1(page.data(), static_cast<qsizetype>(page.size())));
  return match.hasMatch() ? match.captured(1).toLower().toStdString() : std::string();
}

std::string pageTextToUtf8(std::string_view page) {
  const std::string charset = declaredCharset(page);
  if (charset.empty() || charset == "utf-8" || charset == "utf8") return std::string(page);
  if (charset == "gbk" || charset == "gb2312") return gbkToUtf8(page);
  return charsetToUtf8(page, charset);
}

}  // namespace vidralo
