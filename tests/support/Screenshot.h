// Writes a PNG of a window to the build tree's screenshot folder, so a person can look at it.
#pragma once

#include <QString>

class QWidget;

namespace orvex::test {

// Returns the path written, or an empty string when the grab failed.
QString saveScreenshot(QWidget* window, const QString& name);

} // namespace orvex::test
