#include "tcphistory/LocaleClock.h"

#include "controls/LocaleFormats.h"

#include <QDateTime>
#include <QLocale>

namespace orvex {

void LocaleClock::refresh() {
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second == second_) return;
    second_ = second;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(second);
    static const QString timeFormat = longTimeFormat();
    static const QString dateFormat = shortDateFormat();
    const QLocale locale = QLocale::system();
    date_ = locale.toString(now.date(), dateFormat).toStdString();
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

namespace orvex {

namespace {

QDateTime localTime(WallTime time) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
}

} // namespace

std::string LocaleClock::dateTextAt(WallTime time) {
    return QLocale::system().toString(localTime(time).date(), shortDateFormat()).toStdString();
}

std::string LocaleClock::timeTextAt(WallTime time) {
    return QLocale::system().toString(localTime(time).time(), longTimeFormat()).toStdString();
}

} // namespace orvex
