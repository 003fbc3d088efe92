// The push button of every Orvex window.
#pragma once

#include <QAbstractButton>

namespace orvex {

class TlxButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TlxButton(QWidget* parent = nullptr);

    // Caption, geometry and font in one step, as the window definitions list them.
    TlxButton(const QString& caption, const QRect& geometry, QWidget* parent);

    QSize sizeHint() const override { return {75, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace orvex
