#include "app/TStatusBar.h"

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

void TStatusBar::resizeEvent(QResizeEvent*) {
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int width = i < widths_.size() ? widths_[i] : std::max(0, this->width() - left);
        panels_[i]->setGeometry(left, 2, width - 2, height() - 2);
        left += width;
    }
}

} // namespace orvex
