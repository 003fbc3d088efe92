// Frames of scroll areas (lists, grids) that stay visible at fractional device pixel ratios.
#pragma once

class QFrame;

namespace orvex {

// At a fractional device pixel ratio (1.25, 1.5, 1.75) a child widget's area is rounded to whole
// device pixels, both for the frame's own clip and for the viewport that covers its inside, while
// the style strokes the frame's one-pixel lines at fractional positions: some lines land on a pixel
// that the clip cuts off or the viewport paints over, and vanish. This redraws the frame after the
// frame's own paint, drawn at ratio 1 and stretched, so each line fills its whole band of device
// pixels and always keeps the ones between the clip and the viewport. At whole ratios nothing
// changes.
void keepFrameCrisp(QFrame* frame);

} // namespace orvex
