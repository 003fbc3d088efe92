#include "controls/LocaleFormats.h"

#include <QLocale>
#include <QRegularExpression>

namespace orvex {

QString longTimeFormat() {
    return longTimeFormatFor(QLocale::system());
}
QString shortDateFormat() {
    return shortDateFormatFor(QLocale::system());
}

QString longTimeFormatFor(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

QString shortDateFormatFor(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("\\byy\\b")), QStringLiteral("yyyy"));
    return format;
}

} // namespace orvex
