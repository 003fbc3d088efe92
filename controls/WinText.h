// Screen text <-> the Windows-1252 byte strings of the network core.
#pragma once

#include <QString>
#include <string>

namespace orvex {

std::string toWinBytes(const QString& text); // unmappable characters become '?'
QString fromWinBytes(const std::string& bytes);
inline QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace orvex
