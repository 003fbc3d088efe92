#include "app/TStatusBar.h"

#include "controls/TColor.h"
#include "controls/WindowImage.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QLabel>
#include <QPainter>

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
    QString shown() const {
        auto* panel = static_cast<TStatusPanel*>(widget());
        panel->bringUpToDate();
        return panel->text().trimmed();
    }
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

void TStatusPanel::setUpdater(std::function<void()> updater) {
    updater_ = std::move(updater);
}

void TStatusPanel::bringUpToDate() {
    if (updater_) updater_();
}

void TStatusPanel::setQuickCharacters(const QString& characters) {
    quickCharacters_ = characters;
    quick_ = Quick::Unchecked;
}

void TStatusPanel::showText(const QString& text) {
    setText(text);
    if (quick_ == Quick::Unchecked && !quickCharacters_.isEmpty()) checkQuick();
}

// The plain left-aligned single line the glyphs are placed for.
bool TStatusPanel::layoutAllows() const {
    return textFormat() == Qt::PlainText && !wordWrap() && buddy() == nullptr &&
           alignment() == (Qt::AlignLeft | Qt::AlignVCenter) && layoutDirection() == Qt::LeftToRight &&
           isEnabled();
}

bool TStatusPanel::drawsQuickly() const {
    return quick_ == Quick::Exact && !rendering_ && glyphs_.covers(text());
}

// Where the label puts its text: the contents less margin and indent.
QRect TStatusPanel::textArea() const {
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    int indent = this->indent();
    if (indent < 0 && frameWidth() != 0) indent = fontMetrics().horizontalAdvance(u'x') / 2 - margin();
    if (indent > 0) area.setLeft(area.left() + indent);
    return area;
}

QImage TStatusPanel::rendered(bool quick) {
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, checkedFormat_);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    rendering_ = !quick;
    render(&image);
    rendering_ = false;
    return image;
}

// Prepares the glyphs and compares the panel drawn from them with the panel drawn by the label,
// for the text shown and for a text of all quick characters. Checked again after anything that
// changes how the text looks (font, palette, size, style, screen).
void TStatusPanel::checkQuick() {
    checkedRatio_ = devicePixelRatioF();
    // Checked in the format of the image the panel was last painted into, on whole device pixels
    // only: the panel's place on the window then moves every glyph alike. Not painted yet, or at a
    // fractional scale, the label draws and the next text asks again.
    checkedFormat_ = paintedFormat_;
    if (checkedFormat_ == QImage::Format_Invalid) return;
    quick_ = Quick::Off;
    if (!layoutAllows() || !glyphs_.prepare(font(), quickCharacters_)) return;
    quick_ = Quick::Exact;
    const QString shown = text();
    for (const QString& sample : {shown, quickCharacters_}) {
        if (!glyphs_.covers(sample)) continue;
        setText(sample);
        if (rendered(true) != rendered(false)) {
            quick_ = Quick::Off;
            break;
        }
    }
    setText(shown);
}

void TStatusPanel::paintEvent(QPaintEvent* event) {
    // The format of the window's image, seen where it is painted; a grab into a pixmap is drawn as
    // on the window.
    const QPaintDevice* target = redirected(nullptr);
    if (!rendering_ && (target == nullptr || target->devType() != QInternal::Pixmap)) {
        paintedFormat_ = wholePixelTargetFormat(*this, target);
        // On another screen: the label draws, and the panel is checked again with the next text.
        if (quick_ == Quick::Exact &&
            (devicePixelRatioF() != checkedRatio_ || paintedFormat_ != checkedFormat_))
            quick_ = Quick::Unchecked;
    }
    if (!drawsQuickly()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    // A new text repaints the contents alone; the frame is drawn where it is asked for.
    if (!contentsRect().contains(event->rect())) drawFrame(&painter);
    // The line centred vertically as QPainter::drawText centres it (whole pixels, rounded towards
    // the top) and cut off at the text's area where it is larger, as there.
    const QRect area = textArea();
    const int top = int((area.height() - glyphs_.height()) / 2);
    const QRectF line(area.left(), area.top() + top, glyphs_.width(text()), glyphs_.height());
    if (!QRectF(area).contains(line)) painter.setClipRect(area, Qt::IntersectClip);
    painter.setPen(palette().color(foregroundRole()));
    glyphs_.draw(painter, QPointF(area.left(), area.top() + top), text());
}

void TStatusPanel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::LayoutDirectionChange:
        quick_ = Quick::Unchecked;
        break;
    default:
        break;
    }
}

void TStatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    quick_ = Quick::Unchecked;
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
    TStatusPanel* label = panels_.at(std::size_t(index));
    if (label->text() == text) return;
    label->showText(text); // with an accessibleName set, no name change reaches assistive technology
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(label, text.trimmed());
        QAccessible::updateAccessibility(&changed);
    }
}

void TStatusBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The panels take the bar's font explicitly, so that no font the desktop gives labels wins.
    if (event->type() == QEvent::FontChange)
        for (TStatusPanel* label : panels_)
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
