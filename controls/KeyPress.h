// Character-key handlers in the style the windows' handlers expect: the handler sees the character
// code (13 for Enter, 27 for Escape, otherwise the typed character) and may set it to 0 to swallow
// the key, so nothing is inserted and nothing beeps.
#pragma once

#include <QObject>
#include <functional>

class QKeyEvent;
class QWidget;

namespace orvex {

using KeyPressHandler = std::function<void(char16_t& key)>;

// The codes a key handler sees for Enter (either key) and Escape.
inline constexpr char16_t kEnterKey = 13;
inline constexpr char16_t kEscapeKey = 27;

// The code a key handler sees for event: kEnterKey, kEscapeKey, the typed character, or 0 for a
// key that types nothing.
char16_t keyCode(const QKeyEvent& event);

// For handlers that act on one key: when key is that key it is swallowed (set to 0) and the answer
// is true, so the handler runs its action; any other key is left alone.
bool takeEnter(char16_t& key);
bool takeEscape(char16_t& key);

// Installs handler on widget (and on an editable combo box's line edit). The handler runs through
// the application error report guard.
void bindKeyPress(QWidget* widget, KeyPressHandler handler);

// Return or the keypad's Enter, with any modifiers.
bool isEnterKey(const QKeyEvent& event);
// Enter (either key) with Ctrl held.
bool isControlEnter(const QKeyEvent& event);

// Ctrl+Enter in widget (and in an editable combo box's line edit) runs action and goes no further,
// so the widget's plain-Enter handling never sees it. Install after bindKeyPress on the same widget.
void bindControlEnter(QWidget* widget, std::function<void()> action);

class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    KeyPressFilter(QWidget* owner, KeyPressHandler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* owner_;
    KeyPressHandler handler_;
};

} // namespace orvex
