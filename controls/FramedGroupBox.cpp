#include "controls/FramedGroupBox.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <algorithm>

namespace orvex {

namespace {

const QColor kFrameColour(0xd5, 0xdf, 0xe5);
const QColor kCaptionColour(0x00, 0x46, 0xd5);

// A one-pixel frame with rounded corners just inside `frame`, antialiased: the straight parts are
// filled one-pixel bands, each corner two 45-degree arcs, side by side in the order bottom, right,
// left, top. This is how Qt strokes a style sheet's rounded one-pixel border (the history window's
// box still has one), and the frame matches it to the pixel at every pixel ratio; where two arcs
// meet, their blend depends on the order.
void strokeFrame(QPainter& painter, QRectF frame, qreal radius) {
    const qreal x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    const qreal d = 2 * radius;
    // The squares holding the corners' arcs, drawn on the middle of their one-pixel pen.
    const QRectF topLeft(x + 0.5, y + 0.5, d - 1, d - 1);
    const QRectF topRight(x + w - d + 0.5, y + 0.5, d - 1, d - 1);
    const QRectF bottomLeft(x + 0.5, y + h - d + 0.5, d - 1, d - 1);
    const QRectF bottomRight(x + w - d + 0.5, y + h - d + 0.5, d - 1, d - 1);
    QPen pen(kFrameColour, 1, Qt::SolidLine, Qt::SquareCap);
    auto band = [&](QRectF r) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kFrameColour);
        painter.drawRect(r);
    };
    auto arcs = [&](QRectF first, int firstStart, int firstSpan, QRectF second, int secondStart,
                    int secondSpan) {
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(first, firstStart * 16, firstSpan * 16);
        painter.drawArc(second, secondStart * 16, secondSpan * 16);
    };
    band(QRectF(x + radius, y + h - 1, w - d, 1));
    arcs(bottomLeft, -90, -45, bottomRight, -90, 45);
    band(QRectF(x + w - 1, y + radius, 1, h - d));
    arcs(topRight, 45, -45, bottomRight, 315, 45);
    band(QRectF(x, y + radius, 1, h - d));
    arcs(topLeft, 135, 45, bottomLeft, 180, 45);
    band(QRectF(x + radius, y, w - d, 1));
    arcs(topLeft, 135, -45, topRight, 45, 45);
}

} // namespace

FramedGroupBox::FramedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    keepContentsMargins();
    takeDesktopFace();
}

void FramedGroupBox::takeDesktopFace() {
    const QPalette desktop = QApplication::palette();
    QPalette own = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText})
            own.setBrush(group, role, desktop.brush(group, role));
    // Set once unconditionally, so that the two roles are the box's own from then on.
    if (own != palette() || !testAttribute(Qt::WA_SetPalette)) setPalette(own);
}

void FramedGroupBox::keepContentsMargins() {
    // Inside the frame line; what a layout or contentsRect() gets.
    const QMargins inside(1, kFrameTop + 1, 1, 1);
    if (contentsMargins() != inside) setContentsMargins(inside);
}

bool FramedGroupBox::event(QEvent* event) {
    // Only windows hear of a new application palette. The box itself hears of it through a change
    // of its own palette, which a new palette that differs only in the two roles the box holds as
    // its own does not bring: it listens to its window as well.
    if (event->type() == QEvent::Polish) window()->installEventFilter(this);
    return QGroupBox::event(event);
}

bool FramedGroupBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) takeDesktopFace();
    return QGroupBox::eventFilter(watched, event);
}

void FramedGroupBox::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    // QGroupBox asks the style for its margins again on these; the frame here is not the style's.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::ContentsRectChange)
        keepContentsMargins();
    // A new application palette reaches the box through its window as a change of its own palette.
    if (event->type() == QEvent::PaletteChange) takeDesktopFace();
}

void FramedGroupBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QString caption = title();
    // The caption's place is as wide as the caption and a blank after it; the caption is centred in
    // it, so it keeps clear of the frame line on both sides.
    const QFontMetrics& metrics = option.fontMetrics;
    const int width = std::max(metrics.horizontalAdvance(caption),
                               metrics.size(Qt::TextShowMnemonic, caption + QLatin1Char(' ')).width());
    const QRect text(kCaptionLeft + kCaptionPadding, kCaptionTop, width, metrics.height());

    painter.save();
    if (!caption.isEmpty())
        painter.setClipRegion(QRegion(rect()) - text.adjusted(-kCaptionPadding, 0, kCaptionPadding, 0));
    painter.setRenderHint(QPainter::Antialiasing);
    strokeFrame(painter, QRectF(rect().adjusted(0, kFrameTop, 0, 0)), kCornerRadius);
    painter.restore();

    if (caption.isEmpty()) return;
    QPalette colours = option.palette;
    colours.setBrush(QPalette::WindowText, kCaptionColour); // in every state, disabled too
    int alignment = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this)) alignment |= Qt::TextHideMnemonic;
    style()->drawItemText(&painter, text, alignment, colours, option.state & QStyle::State_Enabled, caption,
                          QPalette::WindowText);
}

} // namespace orvex
