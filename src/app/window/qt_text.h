#pragma once
// Texts are UTF-8 std::string in the program and QString in the widgets.
// Multi-line texts keep CR LF between lines in the program (that is how they
// are stored); Qt's editors and labels use LF.
#include <QString>
#include <string>
#include <string_view>

namespace vidralo {

inline QString toQt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

inline std::string fromQt(const QString& text) { return text.toStdString(); }

// CR LF becomes LF for display.
inline QString toQtLines(std::string_view text) { return toQt(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Every line break of an editor becomes CR LF.
inline std::string fromQtLines(QString text) { return fromQt(text.replace(u'\n', QStringLiteral("\r\n"))); }

}  // namespace vidralo
