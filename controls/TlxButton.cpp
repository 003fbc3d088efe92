#include "controls/TlxButton.h"

#include <QPainter>

namespace orvex {

TlxButton::TlxButton(QWidget* parent) : QAbstractButton(parent) {
    resize(75, 24);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::PointingHandCursor);
}

TlxButton::TlxButton(const QString& caption, const QRect& geometry, QWidget* parent) : TlxButton(parent) {
    setText(caption);
    setGeometry(geometry);
}

void TlxButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, palette().window());
    const bool down = isDown();
    painter.setPen(down ? Qt::black : Qt::white);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(down ? Qt::white : Qt::black);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.setPen(palette().buttonText().color());
    painter.drawText(r.translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter, text());
}

} // namespace orvex
