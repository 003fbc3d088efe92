// A read-only multi-line text view for fixed notices: flat single border, a gutter at the left,
// no word wrap, no current-line highlight. Disabled, it takes no focus and its text can be neither
// selected nor scrolled, yet it keeps its black text (a disabled Qt text view would grey it out).
// UI thread only; owned by its parent widget.
#pragma once

#include <QPlainTextEdit>

namespace orvex {

class TTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TTextView(QWidget* parent = nullptr, int gutterWidth = 10);

    int gutterWidth() const { return gutterWidth_; }
    // The text as lines, exactly as shown.
    QStringList lines() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int gutterWidth_;
    QWidget* gutter_;
};

} // namespace orvex
