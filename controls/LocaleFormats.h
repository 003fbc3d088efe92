// Dates and times in the user's regional formats, as the windows show them.
#pragma once

#include <QLocale>
#include <QString>

namespace orvex {

// The locale's long time format without the time-zone name (it does not fit the narrow fields).
QString longTimeFormat();
QString longTimeFormatFor(const QLocale& locale);

// The locale's short date format with a four-digit year, as the system's own short date shows it
// (Qt's tables shorten it to two digits for some locales, German among them).
QString shortDateFormat();
QString shortDateFormatFor(const QLocale& locale);

} // namespace orvex
