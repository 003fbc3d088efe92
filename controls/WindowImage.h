// Where a widget's pixels end up: drawing that is copied as a finished picture, or compared pixel
// for pixel with the widget's own drawing, needs the window's image format and whole device pixels.
#pragma once

#include <QBackingStore>
#include <QImage>
#include <QWidget>

#include <cmath>

namespace orvex {

// The format of the image the widget's window paints into, where that is an image and the widget
// lies on whole device pixels; Format_Invalid otherwise (not on a screen yet, another kind of
// surface, a fractional scale).
inline QImage::Format wholePixelWindowFormat(const QWidget& widget) {
    const qreal ratio = widget.devicePixelRatioF();
    QPaintDevice* target = widget.backingStore() ? widget.backingStore()->paintDevice() : nullptr;
    if (ratio != std::floor(ratio) || target == nullptr || target->devType() != QInternal::Image)
        return QImage::Format_Invalid;
    return static_cast<QImage*>(target)->format();
}

} // namespace orvex
