// The application error report: what escapes a handler is shown in a box with the caption
// "Orvex 1.7" and the error icon, and the program goes on with the next event.
#pragma once

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

} // namespace orvex
