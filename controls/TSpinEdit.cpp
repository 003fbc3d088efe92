#include "controls/TSpinEdit.h"

#include "controls/KeyPress.h"
#include "platform/Convert.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>

namespace orvex {

namespace {

constexpr int kButtonWidth = 15;

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow, const char* name,
                       const QString& accessibleName) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessibleName);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    return button;
}

} // namespace

TSpinEdit::TSpinEdit(QWidget* parent)
    : QLineEdit(parent), up_(makeArrow(this, Qt::UpArrow, "up", QStringLiteral("Erhöhen"))),
      down_(makeArrow(this, Qt::DownArrow, "down", QStringLiteral("Verringern"))) {
    setTextMargins(0, 0, kButtonWidth, 0);
    setText(QStringLiteral("0"));
    connect(up_, &QToolButton::clicked, this, &TSpinEdit::stepUp);
    connect(down_, &QToolButton::clicked, this, &TSpinEdit::stepDown);
}

bool TSpinEdit::isValidChar(char16_t key) {
    return (key >= u'0' && key <= u'9') || key == u'+' || key == u'-' || (key < 32 && key != kEnterKey);
}

int TSpinEdit::clamp(int value) const {
    if (maximum_ == minimum_) return value; // no range set: any value
    if (value < minimum_) return minimum_;
    if (value > maximum_) return maximum_;
    return value;
}

int TSpinEdit::value() const {
    const auto number = tryStrToInt(text().toStdString());
    return number ? *number : minimum_;
}

void TSpinEdit::setValue(int value) {
    setText(QString::number(clamp(value)));
}

void TSpinEdit::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    setValue(value());
}

void TSpinEdit::stepUp() {
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    setValue(value() + increment_);
}

void TSpinEdit::stepDown() {
    if (isReadOnly()) {
        QApplication::beep();
        return;
    }
    setValue(value() - increment_);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        stepUp();
        return;
    }
    if (event->key() == Qt::Key_Down) {
        stepDown();
        return;
    }
    const char16_t key = event->key() == Qt::Key_Delete ? 0 : keyCode(*event); // Delete types no character
    if (key != 0 && !isValidChar(key)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinEdit::applyRange() {
    const QString current = text();
    if (current.isEmpty()) {
        setValue(minimum_);
    } else if (const auto number = tryStrToInt(current.toStdString()); number && clamp(*number) != *number) {
        setValue(*number);
    }
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    applyRange();
    QLineEdit::focusOutEvent(event);
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(width() - kButtonWidth - 1, 1, kButtonWidth, half - 1);
    down_->setGeometry(width() - kButtonWidth - 1, half, kButtonWidth, height() - half - 1);
}

} // namespace orvex
