#include "controls/TColor.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

namespace orvex {

namespace {

// The palette role that stands for each system colour on this platform.
bool systemRole(std::uint32_t index, QPalette::ColorRole& role) {
    switch (index) {
    case 0x05:
        role = QPalette::Base;
        return true;
    case 0x08:
        role = QPalette::Text;
        return true;
    case 0x0F:
        role = QPalette::Button;
        return true;
    case 0x10:
        role = QPalette::Dark;
        return true;
    case 0x12:
        role = QPalette::ButtonText;
        return true;
    case 0x14:
        role = QPalette::Light;
        return true;
    case 0x15:
        role = QPalette::Shadow;
        return true;
    case 0x16:
        role = QPalette::Midlight;
        return true;
    default:
        return false;
    }
}

} // namespace

QColor toQColor(TColor colour) {
    if (!colour.isSystem()) return QColor(colour.red(), colour.green(), colour.blue());
    QPalette::ColorRole role{};
    if (!systemRole(colour.value & 0xFFu, role)) return QColor(Qt::black);
    return QGuiApplication::palette().color(QPalette::Active, role);
}

void setFixedText(QWidget* widget) {
    QPalette colours = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive})
        colours.setColor(group, QPalette::WindowText, Qt::black);
    colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(109, 109, 109));
    widget->setPalette(colours);
}

void setFixedFace(QWidget* widget, QColor face) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, face);
    widget->setPalette(colours);
    setFixedText(widget);
}

} // namespace orvex
