#include "controls/Fonts.h"

#include "platform/Threads.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QWidget>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/private/qhighdpiscaling_p.h>

#include <cmath>
#include <utility>

#include <fontconfig/fontconfig.h>

#include <future>
#include <memory>
#include <system_error>

namespace orvex {

namespace {

constexpr const char* kWindowsFontFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                             "/usr/share/wine/fonts/tahomabd.ttf",
                                             "/usr/share/wine/fonts/ms_sans_serif.ttf"};

// Set once by readFontConfigurationAhead(), waited for before Qt first asks fontconfig.
std::future<void>& configurationRead() {
    static std::future<void> read;
    return read;
}

} // namespace

void readFontConfigurationAhead() {
    std::future<void>& read = configurationRead();
    if (read.valid()) return;
    // fontconfig keeps the configuration it loads for the whole process; Qt's FcInit() finds it.
    // Faces added to it here, before Qt lists the system's fonts, are among them like installed
    // ones, and reading them costs the window's thread nothing.
    auto done = std::make_shared<std::promise<void>>();
    read = done->get_future();
    try {
        startCountedThread([done] {
            if (FcInit()) {
                for (const char* path : kWindowsFontFiles)
                    FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path));
            }
            done->set_value();
        });
    } catch (const std::system_error&) {
        read = {}; // no thread: Qt reads the configuration, and the faces are added to it
    }
}

void loadWindowsFonts() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    if (configurationRead().valid()) {
        configurationRead().wait();
        // Qt listed the system's fonts after the thread had added the faces.
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) return;
    }
    for (const char* path : kWindowsFontFiles) {
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

qreal desktopTextScale(const QFont& desktopFont) {
    constexpr qreal kUsualPoints = 11;
    // A size given in pixels counts at the 96 pixels per inch Qt lays windows out in.
    const qreal points =
        desktopFont.pointSizeF() > 0 ? desktopFont.pointSizeF() : desktopFont.pixelSize() * 0.75;
    const qreal factor = std::round(points / kUsualPoints * 4) / 4;
    return factor >= 1.25 ? factor : 1.0;
}

void followDesktopTextSize() {
    // Once: the factor may change only while no window exists.
    static bool followed = false;
    if (std::exchange(followed, true) || qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) return;
    const qreal factor = desktopTextScale(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    if (factor == 1.0) return;
    QHighDpiScaling::setGlobalFactor(factor);
    QGuiApplicationPrivate::resetCachedDevicePixelRatio(); // the application's ratio, read before
}

void takeParentFont(QWidget* control) {
    const QWidget* parent = control->parentWidget();
    // Setting a font the control already has would only make it lay out its text again (and a
    // combo box build its drop-down list).
    if (parent && control->font() != parent->font()) control->setFont(parent->font());
}

QFont pixelFont(const QString& family, int pixels, bool bold) {
    QFont font(scalableFace(family, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleHint(family.contains(QStringLiteral("Courier")) ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

} // namespace orvex
