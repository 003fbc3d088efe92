#include "controls/Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QWidget>

namespace orvex {

void loadWindowsFonts() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
                             "/usr/share/wine/fonts/ms_sans_serif.ttf"}) {
        if (QFile::exists(QString::fromLatin1(path)))
            QFontDatabase::addApplicationFont(QString::fromLatin1(path));
    }
}

QString scalableFace(const QString& family, qreal ratio) {
    if (ratio <= 1.0 || family != QLatin1String("MS Sans Serif")) return family;
    loadWindowsFonts();
    return QFontDatabase::hasFamily(QStringLiteral("Tahoma")) ? QStringLiteral("Tahoma")
                                                              : QStringLiteral("Liberation Sans");
}

void takeParentFont(QWidget* control) {
    if (const QWidget* parent = control->parentWidget()) control->setFont(parent->font());
}

QFont pixelFont(const QString& family, int pixels, bool bold) {
    QFont font(scalableFace(family, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleHint(family.contains(QStringLiteral("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

} // namespace orvex
