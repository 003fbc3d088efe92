#include "controls/Fonts.h"

#include <QFile>
#include <QFontDatabase>

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

QFont pixelFont(const QString& family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleHint(family.contains(QStringLiteral("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

} // namespace orvex
