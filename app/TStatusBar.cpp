#include "app/TStatusBar.h"

#include "controls/TColor.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QLabel>

namespace orvex {

namespace {

// A panel: a fixed name, its text as the value, and the text readable through the text interface.
class AccessiblePanel : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessiblePanel(QLabel* panel) : QAccessibleWidget(panel, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return shown();
        return QAccessibleWidget::text(kind);
    }

    // Read-only text without selection or cursor.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return int(shown().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    QString shown() const { return static_cast<QLabel*>(widget())->text().trimmed(); }
};

QAccessibleInterface* statusBarFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TStatusPanel::staticMetaObject.className()))
        return new AccessiblePanel(static_cast<TStatusPanel*>(object));
    if (className == QLatin1String(TStatusBar::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<TStatusBar*>(object), QAccessible::StatusBar);
    return nullptr;
}

} // namespace

TStatusPanel::TStatusPanel(QWidget* parent) : QLabel(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(statusBarFactory);
        return true;
    }();
    (void)installed;
}

TStatusBar::TStatusBar(const std::vector<int>& panelWidths, QWidget* parent)
    : QWidget(parent), widths_(panelWidths) {
    for (std::size_t i = 0; i <= widths_.size(); ++i) {
        auto* label = new TStatusPanel(this);
        label->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setIndent(1);
        setFixedText(label); // on the window's fixed white
        // Each panel fills its own place with the white it inherits: a new text repaints the panel
        // alone, not the window beneath it.
        label->setAutoFillBackground(true);
        label->setFont(font());
        panels_.push_back(label);
    }
}

QString TStatusBar::panelText(int index) const {
    return panels_.at(std::size_t(index))->text();
}

void TStatusBar::setPanelText(int index, const QString& text) {
    QLabel* label = panels_.at(std::size_t(index));
    if (label->text() == text) return;
    label->setText(text); // with an accessibleName set, no name change reaches assistive technology
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(label, text.trimmed());
        QAccessible::updateAccessibility(&changed);
    }
}

void TStatusBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The panels take the bar's font explicitly, so that no font the desktop gives labels wins.
    if (event->type() == QEvent::FontChange)
        for (QLabel* label : panels_)
            label->setFont(font());
}

void TStatusBar::resizeEvent(QResizeEvent*) {
    int left = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int width = i < widths_.size() ? widths_[i] : std::max(0, this->width() - left);
        // A fixed size: a new text then asks no one to lay the bar out again.
        panels_[i]->move(left, 2);
        panels_[i]->setFixedSize(width - 2, height() - 2);
        left += width;
    }
}

} // namespace orvex
