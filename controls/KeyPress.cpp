#include "controls/KeyPress.h"

#include "controls/ErrorReport.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace orvex {

KeyPressFilter::KeyPressFilter(QWidget* owner, KeyPressHandler handler)
    : QObject(owner), owner_(owner), handler_(std::move(handler)) {}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    char16_t key = keyCode(*static_cast<QKeyEvent*>(event));
    if (key == 0) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim Enter and Escape before dialogs' default buttons or shortcuts see them.
        if (key == kEnterKey || key == kEscapeKey) {
            event->accept();
            return true;
        }
        return false;
    }
    runGuarded(owner_->window(), [&] { handler_(key); });
    return key == 0;
}

char16_t keyCode(const QKeyEvent& event) {
    if (isEnterKey(event)) return kEnterKey;
    if (event.key() == Qt::Key_Escape) return kEscapeKey;
    return event.text().isEmpty() ? 0 : event.text().at(0).unicode();
}

namespace {

bool take(char16_t& key, char16_t wanted) {
    if (key != wanted) return false;
    key = 0;
    return true;
}

} // namespace

bool takeEnter(char16_t& key) {
    return take(key, kEnterKey);
}

bool takeEscape(char16_t& key) {
    return take(key, kEscapeKey);
}

bool isEnterKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

bool isControlEnter(const QKeyEvent& event) {
    return isEnterKey(event) && event.modifiers().testFlag(Qt::ControlModifier);
}

namespace {

class ControlEnterFilter : public QObject {
public:
    ControlEnterFilter(QWidget* owner, std::function<void()> action)
        : QObject(owner), action_(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (!key || !isControlEnter(*static_cast<QKeyEvent*>(event)))
            return QObject::eventFilter(watched, event);
        event->accept(); // a shortcut override claims the key; the key press runs the action
        if (event->type() == QEvent::KeyPress) action_();
        return true;
    }

private:
    std::function<void()> action_;
};

// Keys typed into an editable combo box go to its line edit: the filter watches both.
void filterKeysOf(QWidget* widget, QObject* filter) {
    widget->installEventFilter(filter);
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

} // namespace

void bindControlEnter(QWidget* widget, std::function<void()> action) {
    filterKeysOf(widget, new ControlEnterFilter(widget, std::move(action)));
}

void bindKeyPress(QWidget* widget, KeyPressHandler handler) {
    filterKeysOf(widget, new KeyPressFilter(widget, std::move(handler)));
}

} // namespace orvex
