#include "controls/lxButtonGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvex {

CutCorners cutCorners(TlxButtonEdgeStyle style) {
    switch (style) {
    case lxbegFour:
        return {};
    case lxbegNorthWest:
        return {.topLeft = true, .bottomRight = true};
    case lxbegNorthEast:
        return {.topRight = true, .bottomLeft = true};
    case lxbegEight:
        return {true, true, true, true};
    case lxbegTopRight:
        return {.topRight = true};
    case lxbegTopLeft:
        return {.topLeft = true};
    case lxbegBottomLeft:
        return {.bottomLeft = true};
    case lxbegBottomRight:
        return {.bottomRight = true};
    }
    return {};
}

int limitEdgeCut(TlxButtonEdgeStyle style, int requested, int height) {
    int value = requested;
    switch (style) {
    case lxbegFour:
        value = 0;
        break;
    case lxbegEight:
        if (value > height / 2 - 1) value = height / 2 - 2;
        break;
    default:
        if (value > height - 2) value = height - 2;
        break;
    }
    return std::max(value, 0);
}

QPolygon buttonOutline(TlxButtonEdgeStyle style, int w, int h, int edgeCut) {
    const CutCorners cut = cutCorners(style);
    const int c = std::max(0, std::min(edgeCut, style == lxbegEight ? h / 2 : h));
    QPolygon outline;
    if (cut.topLeft)
        outline << QPoint(c, 0) << QPoint(0, c);
    else
        outline << QPoint(0, 0);
    if (cut.bottomLeft)
        outline << QPoint(0, h - c) << QPoint(c, h);
    else
        outline << QPoint(0, h);
    if (cut.bottomRight)
        outline << QPoint(w - c, h) << QPoint(w, h - c);
    else
        outline << QPoint(w, h);
    if (cut.topRight)
        outline << QPoint(w, c) << QPoint(w - c, 0);
    else
        outline << QPoint(w, 0);
    return outline;
}

// The outer lines run on the outline's boundary pixels, the inner ones a pixel inside; each light
// line ends where its dark partner begins, so the shared corner pixel is drawn once.
BorderPolylines borderPolylines(TlxButtonEdgeStyle style, int w, int h, int e) {
    const CutCorners cut = cutCorners(style);
    BorderPolylines lines;

    QPolygon& ol = lines.outerLight;
    ol << (cut.topRight ? QPoint(w - 1 - e, 0) : QPoint(w, 0));
    if (cut.topLeft)
        ol << QPoint(e, 0) << QPoint(0, e);
    else
        ol << QPoint(0, 0);
    if (cut.bottomLeft)
        ol << QPoint(0, h - e) << QPoint(e, h);
    else
        ol << QPoint(0, h);

    QPolygon& od = lines.outerDark;
    od << (cut.bottomLeft ? QPoint(e, h - 1) : QPoint(1, h - 1));
    if (cut.bottomRight)
        od << QPoint(w - e, h - 1) << QPoint(w - 1, h - e);
    else
        od << QPoint(w - 1, h - 1);
    if (cut.topRight)
        od << QPoint(w - 1, e) << QPoint(w - 1 - e, 0);
    else
        od << QPoint(w - 1, 0);

    QPolygon& il = lines.innerLight;
    il << (cut.topRight ? QPoint(w - 1 - e, 1) : QPoint(w - 2, 1));
    if (cut.topLeft)
        il << QPoint(e, 1) << QPoint(1, e);
    else
        il << QPoint(1, 1);
    if (cut.bottomLeft)
        il << QPoint(1, h - e) << QPoint(e, h - 1);
    else
        il << QPoint(1, h - 1);

    QPolygon& id = lines.innerDark;
    id << (cut.bottomLeft ? QPoint(e, h - 2) : QPoint(2, h - 2));
    if (cut.bottomRight)
        id << QPoint(w - e, h - 2) << QPoint(w - 2, h - e);
    else
        id << QPoint(w - 2, h - 2);
    if (cut.topRight)
        id << QPoint(w - 2, e) << QPoint(w - 1 - e, 1);
    else
        id << QPoint(w - 2, 1);

    return lines;
}

QPolygon polylinePixels(const QPolygon& points) {
    QPolygon pixels;
    for (int i = 0; i + 1 < points.size(); ++i) {
        // Bresenham from the segment's start up to, not including, its end.
        int x = points[i].x(), y = points[i].y();
        const int x1 = points[i + 1].x(), y1 = points[i + 1].y();
        const int dx = std::abs(x1 - x), sx = x < x1 ? 1 : -1;
        const int dy = -std::abs(y1 - y), sy = y < y1 ? 1 : -1;
        int err = dx + dy;
        while (x != x1 || y != y1) {
            pixels << QPoint(x, y);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
    return pixels;
}

std::vector<QColor> gradientColours(QColor start, QColor end, int steps) {
    const int lines = std::max(steps, 1);
    double value[3] = {double(start.red()), double(start.green()), double(start.blue())};
    const int target[3] = {end.red(), end.green(), end.blue()};
    double increment[3] = {0, 0, 0};
    if (steps > 0)
        for (int k = 0; k < 3; ++k)
            increment[k] = (target[k] - value[k]) / steps;

    auto channel = [](double v) {
        if (std::isnan(v) || v < 0) return 0;
        if (v > 255) return 255;
        return static_cast<int>(std::nearbyint(v)); // default rounding mode: halves to even
    };
    std::vector<QColor> colours;
    colours.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        colours.emplace_back(channel(value[0]), channel(value[1]), channel(value[2]));
        for (int k = 0; k < 3; ++k)
            value[k] += increment[k];
    }
    return colours;
}

} // namespace orvex
