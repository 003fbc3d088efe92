// Numeric spin edit: a text field for an integer with up/down arrow buttons, a value, a minimum and
// a maximum. Typing is limited to the digits, "+", "-" and control characters other than Enter;
// any other key, Enter included, is refused with a beep. Pasted text is not filtered. When the
// field loses the focus, a number outside the range is replaced by the nearer limit and an empty
// text by the minimum; a text that is no number stays as it is. UI thread only.
#pragma once

#include <QLineEdit>

class QToolButton;

namespace orvex {

class TSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    // The number in the text; the minimum when the text is no number.
    int value() const;
    // Clamped into the range (when the range is not empty); the text shows the result.
    void setValue(int value);
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int increment() const { return increment_; }

    void stepUp();
    void stepDown();
    // What losing the focus does to the text (see above), for an action that reads the value while
    // the field keeps the focus.
    void applyRange();

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Whether the field takes this typed character.
    static bool isValidChar(char16_t key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int clamp(int value) const;

    int minimum_ = 0;
    int maximum_ = 0;
    int increment_ = 1;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace orvex
