// JPEG decoding through the system's libjpeg. Thread-safe (no shared state).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orvex {

// Pictures larger than this many pixels are refused rather than allocated.
inline constexpr qint64 kMaxJpegPixels = 64LL * 1024 * 1024;

// Decodes a JPEG held in memory into an RGB image. Grey-scale pictures come back as RGB too.
// On failure returns a null image and, when `error` is given, libjpeg's message. A picture cut
// short decodes as far as it goes (libjpeg fills the rest), as viewers show it.
QImage decodeJpeg(const QByteArray& data, QString* error = nullptr);

} // namespace orvex
