// The shapes of the gradient push button: its window outline, its four border polylines, the
// pixels a polyline covers and the colours of its gradient lines. Kept apart from the widget so
// they can be checked without painting.
#pragma once

#include <QColor>
#include <QPoint>
#include <QPolygon>
#include <vector>

namespace orvex {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TlxAlignmentV { lxtavTop, lxtavCenter, lxtavBottom };
enum TlxButtonBorderStyle { lxbbsBoth, lxbbsInner, lxbbsNone, lxbbsOuter };
enum TlxButtonEdgeStyle {
    lxbegFour,
    lxbegNorthWest,
    lxbegNorthEast,
    lxbegEight,
    lxbegTopRight,
    lxbegTopLeft,
    lxbegBottomLeft,
    lxbegBottomRight
};
enum TlxGradientStyle { lxgsHorizontal, lxgsVertical };

struct CutCorners {
    bool topLeft = false;
    bool topRight = false;
    bool bottomRight = false;
    bool bottomLeft = false;
};

CutCorners cutCorners(TlxButtonEdgeStyle style);

// The value EdgeCut stores when set to `requested` on a button of height `height`. A negative
// request is stored as 0: a negative cut would turn the outline inside out.
int limitEdgeCut(TlxButtonEdgeStyle style, int requested, int height);

// The window outline; the corners are cut by the smaller of edgeCut and the height (for
// lxbegEight, half the height). Region semantics: a vertex at (W, H) bounds pixel (W-1, H-1).
QPolygon buttonOutline(TlxButtonEdgeStyle style, int width, int height, int edgeCut);

struct BorderPolylines {
    QPolygon outerLight; // top and left sides, cuts at top-left and bottom-left
    QPolygon outerDark;  // bottom and right sides, cuts at bottom-right and top-right
    QPolygon innerLight; // the same, one pixel inside
    QPolygon innerDark;
};

BorderPolylines borderPolylines(TlxButtonEdgeStyle style, int width, int height, int edgeCut);

// The pixels a one-pixel polyline through `points` sets: every segment in order, the final point
// of the whole polyline left out.
QPolygon polylinePixels(const QPolygon& points);

// The colour of each of the `steps` gradient lines from `start` towards `end`: each channel starts
// at the start value and grows by (end - start) / steps per line, clamped to 0..255 and rounded
// to the nearest integer, halves to even. At least one line.
std::vector<QColor> gradientColours(QColor start, QColor end, int steps);

} // namespace orvex
