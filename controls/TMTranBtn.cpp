#include "controls/TMTranBtn.h"

#include "controls/KeyPress.h"
#include "controls/TColor.h"
#include "controls/TlxButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvex {

TMTranBtn::TMTranBtn(QWidget* parent) : QAbstractButton(parent) {
    installButtonAccessibility();
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true); // the hover test runs on every move
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(9);
    setFont(arial);
    resize(30, 30);
}

void TMTranBtn::setBitMap(const QImage& picture, std::optional<QColor> transparentColour) {
    bitmap_ = picture;
    keyed_ = QImage();
    keyColour_ = QColor();
    pictureRect_ = QRect();
    if (!bitmap_.isNull()) {
        keyColour_ = transparentColour ? *transparentColour : bitmap_.pixelColor(0, bitmap_.height() - 1);
        keyed_ = bitmap_.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = keyColour_.rgb();
        for (int y = 0; y < keyed_.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(keyed_.scanLine(y));
            for (int x = 0; x < keyed_.width(); ++x)
                if ((line[x] | 0xFF000000u) == key) line[x] = 0;
        }
    }
    update();
}

void TMTranBtn::setBorder(BStyle value) {
    if (value == border_) return;
    border_ = value;
    update();
}

void TMTranBtn::setCaption(const QString& caption) {
    setText(caption.left(kMaxCaptionLength));
    update();
}

void TMTranBtn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width(), h = height();
    const int th = QFontMetrics(font()).height();
    const bool hasCaption = !text().isEmpty();

    if (!keyed_.isNull()) {
        const int pw = keyed_.width(), ph = keyed_.height();
        const int x = (w - pw) / 2;
        const int y = hasCaption ? (h - ph - th) / 2 : (h - ph) / 2;
        pictureRect_ = QRect(x, y, pw, ph);
        painter.drawImage(pressed_ ? QPoint(x + 1, y + 1) : QPoint(x, y), keyed_);
    }

    if (hasCaption) {
        int top = keyed_.isNull() ? (h - th) / 2 : pictureRect_.y() + pictureRect_.height();
        int left = 0;
        if (pressed_) {
            top += 1;
            left = 2;
        }
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(left, top, w - left, th), Qt::AlignHCenter | Qt::AlignTop | Qt::TextExpandTabs,
                         text());
    }

    bool raised = false, sunken = false;
    switch (border_) {
    case BSnone:
        break;
    case BsNormal:
        sunken = pressed_;
        raised = !pressed_;
        break;
    case BsIe:
        sunken = pressed_;
        raised = !pressed_ && mouseOver_;
        break;
    }
    if (raised || sunken) {
        const QColor light = toQColor(clBtnHighlight), dark = toQColor(clBtnShadow);
        const QColor topLeft = raised ? light : dark, bottomRight = raised ? dark : light;
        painter.fillRect(0, 0, 1, h, topLeft);
        painter.fillRect(0, 0, w - 1, 1, topLeft);
        painter.fillRect(w - 1, 0, 1, h, bottomRight);
        painter.fillRect(1, h - 1, w - 1, 1, bottomRight);
    }

    if (hasFocus()) {
        // Black dots on a white line read over any background; nothing is drawn without the focus.
        const QRect frame = rect().adjusted(0, 0, -1, -1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(frame);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(frame);
    }
}

bool TMTranBtn::onPicturePixel(QPoint pos) const {
    if (keyed_.isNull() || !pictureRect_.contains(pos)) return false;
    return qAlpha(keyed_.pixel(pos - pictureRect_.topLeft())) != 0;
}

void TMTranBtn::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    mouseOver_ = true;
    if (border_ == BsIe) update();
}

void TMTranBtn::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    mouseOver_ = false;
    if (border_ == BsIe) update();
}

void TMTranBtn::mouseMoveEvent(QMouseEvent* event) {
    mouseOver_ = border_ != BSnone || onPicturePixel(event->position().toPoint());
    QAbstractButton::mouseMoveEvent(event);
}

void TMTranBtn::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    event->accept();
    if (event->button() != Qt::LeftButton || !pressTracksLook()) return;
    pressed_ = true;
    update();
}

void TMTranBtn::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractButton::mouseReleaseEvent(event); // raises clicked() for a left release inside
    event->accept();
    // Cleared whatever the hover state is now: a press that began over the picture and ends off
    // it must not leave the picture drawn pressed.
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    update();
}

void TMTranBtn::keyPressEvent(QKeyEvent* event) {
    // Space is the button's own key (pressed, then clicked on release); Enter clicks at once.
    if (isEnterKey(*event) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat()) click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

} // namespace orvex
