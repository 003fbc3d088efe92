#include "controls/TTextView.h"

#include "controls/TColor.h"

#include <QTextBlock>

namespace orvex {

TTextView::TTextView(QWidget* parent, int gutterWidth)
    : QPlainTextEdit(parent), gutterWidth_(gutterWidth), gutter_(new QWidget(this)) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setViewportMargins(gutterWidth_, 0, 0, 0);
    setContextMenuPolicy(Qt::NoContextMenu);
    setEnabled(false);

    // The same colours in every state, so the disabled view reads like an enabled one.
    QPalette colours = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Text, Qt::black);
        colours.setColor(group, QPalette::WindowText, Qt::black); // the border
        colours.setColor(group, QPalette::Base, Qt::white);       // fixed, under the fixed black text
    }
    setPalette(colours);

    gutter_->setObjectName(QStringLiteral("gutter"));
    gutter_->setAutoFillBackground(true);
    QPalette face = gutter_->palette();
    face.setColor(QPalette::Window, toQColor(clBtnFace)); // the desktop's button face: no text stands on it
    gutter_->setPalette(face);
}

QStringList TTextView::lines() const {
    QStringList result;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        result << block.text();
    return result;
}

void TTextView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect inside = contentsRect();
    gutter_->setGeometry(inside.left(), inside.top(), gutterWidth_, inside.height());
}

} // namespace orvex
