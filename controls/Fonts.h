// The Windows faces the windows are laid out for. fontconfig maps Arial, Courier New and Verdana
// to metric-compatible families; Tahoma and MS Sans Serif come from fonts-wine, which does not
// register them, so loadWindowsFonts() adds them to the application when present.
#pragma once

#include <QFont>
#include <QString>

namespace orvex {

void loadWindowsFonts();

// A font of the given family with a character height in pixels, as the window definitions give it.
QFont pixelFont(const QString& family, int pixels, bool bold = false);

} // namespace orvex
