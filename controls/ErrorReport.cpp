#include "controls/ErrorReport.h"

#include "controls/Notifier.h"

#include <exception>

namespace orvex {

QString errorReportText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

void runGuarded(QWidget* owner, const std::function<void()>& handler) {
    QString message;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unbekannter Fehler");
    }
    notifier().error(owner, QString::fromUtf8(kApplicationTitle), errorReportText(message));
}

} // namespace orvex
