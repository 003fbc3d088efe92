#include "app/TStatusBar.h"

#include "controls/TColor.h"

#include <QEvent>
#include <QLabel>

namespace orvex {

TStatusBar::TStatusBar(const std::vector<int>& panelWidths, QWidget* parent)
    : QWidget(parent), widths_(panelWidths) {
    for (std::size_t i = 0; i <= widths_.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setIndent(1);
        setFixedText(label); // on the window's fixed white
        label->setFont(font());
        panels_.push_back(label);
    }
}

QString TStatusBar::panelText(int index) const {
    return panels_.at(std::size_t(index))->text();
}

void TStatusBar::setPanelText(int index, const QString& text) {
    QLabel* label = panels_.at(std::size_t(index));
    if (label->text() != text) label->setText(text);
}

void TStatusBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The panels take the bar's font explicitly: under a style sheet they would not inherit it.
    if (event->type() == QEvent::FontChange)
        for (QLabel* label : panels_)
            label->setFont(font());
}

void TStatusBar::resizeEvent(QResizeEvent*) {
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int width = i < widths_.size() ? widths_[i] : std::max(0, this->width() - left);
        panels_[i]->setGeometry(left, 2, width - 2, height() - 2);
        left += width;
    }
}

} // namespace orvex
