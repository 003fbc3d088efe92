#include "controls/WinText.h"

#include "platform/Cp1252.h"

namespace orvex {

std::string toWinBytes(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

QString fromWinBytes(const std::string& bytes) {
    return fromUtf8(cp1252ToUtf8(bytes));
}

} // namespace orvex
