// The history's clock: the current date and time in the user's short date and long time formats.
#pragma once

#include "tcphistory/ConnectionHistory.h"

#include <QString>
#include <QtGlobal>

namespace orvex {

class LocaleClock final : public HistoryClock {
public:
    std::string dateText() override;
    std::string timeText() override;
    std::string dateTextAt(WallTime time) override;
    std::string timeTextAt(WallTime time) override;

private:
    // Both texts change at most once a second; a tick that records thousands of rows formats once.
    void refresh();
    qint64 second_ = -1;
    std::string date_;
    std::string time_;
};

} // namespace orvex
