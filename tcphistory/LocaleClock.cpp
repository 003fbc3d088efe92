#include "tcphistory/LocaleClock.h"

#include <QDateTime>
#include <QLocale>

namespace orvex {

QString longTimeFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

void LocaleClock::refresh() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second == second_) return;
    second_ = second;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(second);
    static const QString timeFormat = longTimeFormat();
    const QLocale locale = QLocale::system();
    date_ = locale.toString(now.date(), QLocale::ShortFormat).toStdString();
    time_ = locale.toString(now.time(), timeFormat).toStdString();
}

std::string LocaleClock::dateText() {
    refresh();
    return date_;
}

std::string LocaleClock::timeText() {
    refresh();
    return time_;
}

} // namespace orvex
