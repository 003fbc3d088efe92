// One poll of the history as the window runs it: beginTick, the reader's read (on the test's
// thread), endTick.
#pragma once

#include "tcphistory/ConnectionHistory.h"
#include "tcphistory/ConnectionReader.h"

namespace orvex::test {

inline void pollHistory(ConnectionHistory& history, ConnectionReader& reader) {
    const unsigned poll = history.beginTick();
    ConnectionPoll read;
    reader.read(read);
    history.endTick(poll, read);
}

} // namespace orvex::test
