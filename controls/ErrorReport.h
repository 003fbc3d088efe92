// The application error report: what escapes a handler is shown in a box with the caption
// "Orvex 1.7" and the error icon, and the program goes on with the next event.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace orvex {

inline const char* const kApplicationTitle = "Orvex 1.7";

// The message with a full stop appended when its last character sorts after ".".
QString errorReportText(const QString& message);

// Runs handler; an exception that escapes it goes to the application error report.
// Exceptions never cross a Qt frame.
void runGuarded(QWidget* owner, const std::function<void()>& handler);

// Connects sender's signal to window's handler, run through runGuarded: how a window binds its
// buttons, menu entries and timers. When `when` is given, a signal while it answers false runs
// nothing. connectGuarded(lxButton1, &QAbstractButton::clicked, this, &TForm1::lxButton1Click).
template <class Sender, class Signal, class Window>
void connectGuarded(Sender* sender, Signal signal, Window* window, void (Window::*handler)(),
                    std::function<bool()> when = {}) {
    QObject::connect(sender, signal, window, [window, handler, when] {
        if (when && !when()) return;
        runGuarded(window, [&] { (window->*handler)(); });
    });
}

} // namespace orvex
