// Where a widget's pixels end up: drawing that is copied as a finished picture, or compared pixel
// for pixel with the widget's own drawing, needs the target's image format and whole device pixels.
#pragma once

#include <QImage>
#include <QWidget>

#include <cmath>

namespace orvex {

// The format of the image a paint of the widget goes into (the window's own image on a screen, or
// an image the widget is rendered into), where that is an image and the widget lies on whole
// device pixels; Format_Invalid otherwise (a pixmap or another kind of surface, a fractional
// scale). Called from the widget's paintEvent with redirected(nullptr), the device the paint is
// sent to. The window's backing store is not asked outside a paint: on Wayland it has no image
// before the window's first paint.
inline QImage::Format wholePixelTargetFormat(const QWidget& widget, const QPaintDevice* target) {
    const qreal ratio = widget.devicePixelRatioF();
    if (ratio != std::floor(ratio) || target == nullptr || target->devType() != QInternal::Image)
        return QImage::Format_Invalid;
    return static_cast<const QImage*>(target)->format();
}

} // namespace orvex
