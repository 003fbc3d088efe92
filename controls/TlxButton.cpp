#include "controls/TlxButton.h"

#include "controls/WindowImage.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace orvex {

TlxButton::TlxButton(QWidget* parent) : QAbstractButton(parent) {
    installButtonAccessibility();
    // Clicks give the focus; Tab does not visit the button and keys do not press it.
    setFocusPolicy(Qt::ClickFocus);
    resize(75, 24);
    updateShape();
}

TlxButton::TlxButton(const QString& caption, const QRect& geometry, QWidget* parent) : TlxButton(parent) {
    setText(caption);
    setGeometry(geometry);
    applyProgramButtonSettings(*this);
}

template <class T> void TlxButton::assign(T& field, T value) {
    if (field == value) return;
    field = value;
    update();
}

void TlxButton::setAlignmentH(TAlignment value) {
    assign(alignmentH_, value);
}
void TlxButton::setAlignmentV(TlxAlignmentV value) {
    assign(alignmentV_, value);
}
void TlxButton::setBorderStyle(TlxButtonBorderStyle value) {
    assign(borderStyle_, value);
}
void TlxButton::setColor(TColor value) {
    assign(color_, value);
}
void TlxButton::setColorBorderTopOuter(TColor value) {
    assign(colorBorderTopOuter_, value);
}
void TlxButton::setColorBorderTopInner(TColor value) {
    assign(colorBorderTopInner_, value);
}
void TlxButton::setColorBottomInner(TColor value) {
    assign(colorBottomInner_, value);
}
void TlxButton::setColorBorderBottomOuter(TColor value) {
    assign(colorBorderBottomOuter_, value);
}
void TlxButton::setColorGradient(TColor value) {
    assign(colorGradient_, value);
}
void TlxButton::setColorGradientMouseEnter(TColor value) {
    assign(colorGradientMouseEnter_, value);
}
void TlxButton::setColorMouseEnter(TColor value) {
    assign(colorMouseEnter_, value);
}
void TlxButton::setFontColor(TColor value) {
    assign(fontColor_, value);
}
void TlxButton::setGradientStyle(TlxGradientStyle value) {
    assign(gradientStyle_, value);
}
void TlxButton::setUseGradient(bool value) {
    assign(useGradient_, value);
}
void TlxButton::setUseMouseOverColor(bool value) {
    assign(useMouseOverColor_, value);
}

void TlxButton::setEdgeCut(int value) {
    const int limited = limitEdgeCut(edgeStyle_, value, height());
    if (limited == edgeCut_) return;
    edgeCut_ = limited;
    updateShape();
    update();
}

void TlxButton::setEdgeStyle(TlxButtonEdgeStyle value) {
    if (value == edgeStyle_) return;
    edgeStyle_ = value;
    updateShape();
    update();
}

void TlxButton::updateShape() {
    const QRegion region(buttonOutline(edgeStyle_, width(), height(), edgeCut_));
    if (mask() != region) setMask(region);
}

void TlxButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    updateShape();
}

namespace {

// Finished pictures of recently painted buttons, by everything that decides their pixels. A window's
// buttons mostly look alike (a column of "OK" buttons): the first paints, the others copy.
class Looks {
public:
    const QImage* find(const TlxButton::Look& look) {
        for (auto it = looks_.begin(); it != looks_.end(); ++it) {
            if (!(it->first == look)) continue;
            std::rotate(looks_.begin(), it, it + 1); // the most recent first
            return &looks_.front().second;
        }
        return nullptr;
    }
    const QImage& add(TlxButton::Look look, QImage image) {
        if (looks_.size() == kKept) looks_.pop_back();
        looks_.emplace(looks_.begin(), std::move(look), std::move(image));
        return looks_.front().second;
    }

private:
    static constexpr std::size_t kKept = 16;
    std::vector<std::pair<TlxButton::Look, QImage>> looks_;
};

Looks& looks() {
    static Looks kept; // UI thread only
    return kept;
}

} // namespace

TlxButton::Look TlxButton::look(QImage::Format format) const {
    Look look;
    look.size = size();
    look.ratio = devicePixelRatioF();
    look.dpi = QPoint(logicalDpiX(), logicalDpiY());
    look.format = format;
    look.text = text();
    look.font = font();
    look.states = {isEnabled(), pressed_, mouseOver_ && useMouseOverColor_, useGradient_,
                   layoutDirection() == Qt::RightToLeft};
    look.styles = {int(gradientStyle_), int(edgeStyle_),  edgeCut_,
                   int(borderStyle_),   int(alignmentH_), int(alignmentV_)};
    // System colours as the palette has them now.
    const TColor colours[] = {color_,
                              colorGradient_,
                              colorGradientMouseEnter_,
                              colorBorderTopOuter_,
                              colorBorderTopInner_,
                              colorBottomInner_,
                              colorBorderBottomOuter_,
                              fontColor_};
    for (std::size_t i = 0; i < look.colours.size(); ++i)
        look.colours[i] = toQColor(colours[i]).rgba();
    return look;
}

void TlxButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // A picture is copied only where it lands on whole device pixels; it is drawn in the window's
    // own image format, so that its text is blended exactly as on the window.
    const QImage::Format format = wholePixelTargetFormat(*this, redirected(nullptr));
    if (format == QImage::Format_Invalid) {
        paintButton(painter);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    Look wanted = look(format);
    const QImage* picture = looks().find(wanted);
    if (picture == nullptr) {
        QImage image(size() * ratio, wanted.format);
        image.setDevicePixelRatio(ratio);
        image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
        image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
        QPainter offscreen(&image);
        offscreen.setLayoutDirection(layoutDirection());
        paintButton(offscreen);
        offscreen.end();
        picture = &looks().add(std::move(wanted), std::move(image));
    }
    painter.drawImage(0, 0, *picture);
}

QImage TlxButton::render(QColor background) const {
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setClipRegion(QRegion(buttonOutline(edgeStyle_, width(), height(), edgeCut_)));
    paintButton(painter);
    return image;
}

void TlxButton::paintButton(QPainter& painter) const {
    const int w = width(), h = height();
    const QColor body = toQColor(color_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect(), body);

    if (useGradient_) {
        const bool vertical = gradientStyle_ == lxgsVertical;
        const TColor end = mouseOver_ && useMouseOverColor_ ? colorGradientMouseEnter_ : colorGradient_;
        const std::vector<QColor> colours = gradientColours(body, toQColor(end), vertical ? h : w);
        QImage offscreen(size(), QImage::Format_RGB32);
        offscreen.fill(body);
        {
            QPainter lines(&offscreen);
            for (int i = 0; i < int(colours.size()); ++i)
                lines.fillRect(vertical ? QRect(0, i, w, 1) : QRect(i, 0, 1, h), colours[std::size_t(i)]);
        }
        painter.drawImage(0, 0, offscreen);
    }

    const BorderPolylines lines = borderPolylines(edgeStyle_, w, h, edgeCut_);
    const bool outer = borderStyle_ == lxbbsBoth || borderStyle_ == lxbbsOuter;
    const bool inner = borderStyle_ == lxbbsBoth || borderStyle_ == lxbbsInner;
    auto draw = [&painter](const QPolygon& points, TColor colour) {
        painter.setPen(QPen(toQColor(colour), 1));
        painter.drawPoints(polylinePixels(points));
    };
    if (outer) {
        draw(lines.outerLight, pressed_ ? colorBorderBottomOuter_ : colorBorderTopOuter_);
        draw(lines.outerDark, pressed_ ? colorBorderTopOuter_ : colorBorderBottomOuter_);
    }
    if (inner) {
        draw(lines.innerLight, pressed_ ? colorBottomInner_ : colorBorderTopInner_);
        draw(lines.innerDark, pressed_ ? colorBorderTopInner_ : colorBottomInner_);
    }

    if (text().isEmpty()) return;
    QRect box = rect();
    if (pressed_) box.adjust(2, 2, 0, 0);
    int flags = Qt::TextSingleLine | Qt::TextShowMnemonic;
    flags |= alignmentH_ == taLeftJustify    ? Qt::AlignLeft
             : alignmentH_ == taRightJustify ? Qt::AlignRight
                                             : Qt::AlignHCenter;
    flags |= alignmentV_ == lxtavTop      ? Qt::AlignTop
             : alignmentV_ == lxtavBottom ? Qt::AlignBottom
                                          : Qt::AlignVCenter;
    painter.setFont(font());
    // Disabled (while another box's operation runs): the caption in the grey of unavailable text.
    painter.setPen(isEnabled() ? toQColor(fontColor_) : QColor(128, 128, 128));
    painter.drawText(box, flags, text());
}

void TlxButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    pressed_ = true;
    update();
    event->accept();
}

void TlxButton::mouseReleaseEvent(QMouseEvent* event) {
    // The click (left button, released inside) is raised here, before the pressed look goes.
    QAbstractButton::mouseReleaseEvent(event);
    pressed_ = false;
    update();
    event->accept();
}

void TlxButton::keyPressEvent(QKeyEvent* event) {
    QWidget::keyPressEvent(event); // no Space or arrow-key handling of a push button
}

void TlxButton::keyReleaseEvent(QKeyEvent* event) {
    QWidget::keyReleaseEvent(event);
}

void TlxButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    savedColor_ = color_;
    emit OnMouseEnter();
    mouseOver_ = true;
    if (useMouseOverColor_) {
        color_ = colorMouseEnter_;
        update();
    }
}

void TlxButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    color_ = savedColor_;
    emit OnMouseLeave();
    mouseOver_ = false;
    if (useMouseOverColor_) update();
}

void TlxButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    // A button that is disabled or hidden while held gets no release; do not leave it looking held.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && pressed_) {
        pressed_ = false;
        update();
    }
}

void applyProgramButtonSettings(TlxButton& button) {
    button.setBorderStyle(lxbbsBoth);
    button.setEdgeStyle(lxbegNorthWest);
    button.setEdgeCut(8);
    button.setGradientStyle(lxgsVertical);
    button.setAlignmentH(taCenter);
    button.setAlignmentV(lxtavCenter);
    button.setColorBorderTopOuter(clWhite);
    button.setColorBorderTopInner(cl3DLight);
    button.setColorBottomInner(clBtnShadow);
    button.setColorBorderBottomOuter(clBlack);
    button.setColorGradient(clWhite);
    button.setColorGradientMouseEnter(TColor(14155735));
    button.setColorMouseEnter(TColor(15456986));
    button.setUseGradient(false);
    button.setUseMouseOverColor(false);
    button.setColor(clWindow);
    button.setCursor(Qt::PointingHandCursor);
    button.setFocusPolicy(Qt::ClickFocus);
}

} // namespace orvex
