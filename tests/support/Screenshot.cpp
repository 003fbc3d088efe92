#include "tests/support/Screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace orvex::test {

QString saveScreenshot(QWidget* window, const QString& name) {
    QString dir = qEnvironmentVariable("ORVEX_SCREENSHOT_DIR");
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    return window->grab().save(path) ? path : QString();
}

} // namespace orvex::test
