#include "tcphistory/ConnectionHistory.h"
#include "tests/tcphistory/FakeTcpTable.h"
#include "tests/tcphistory/HistoryPoll.h"

#include <gtest/gtest.h>

#include <random>

using namespace orvex;
using test::established;
using test::listening;

namespace {

// Numbers every reading, so tests see which reading went where: D1, T2, D3, ...
class CountingClock : public HistoryClock {
public:
    int readings = 0;
    std::string dateText() override { return "D" + std::to_string(++readings); }
    std::string timeText() override { return "T" + std::to_string(++readings); }
};

class RecordingObserver : public HistoryObserver {
public:
    std::vector<std::string> events;
    void historyReset() override { events.push_back("reset"); }
    void rowsAppended(std::size_t first, std::size_t rowCount) override {
        events.push_back("rows " + std::to_string(first) + " " + std::to_string(rowCount));
    }
    void timerSwitched(bool on) override { events.push_back(on ? "timer on" : "timer off"); }
    void listeningSwitched(bool on) override { events.push_back(on ? "listening on" : "listening off"); }
};

using Row = ConnectionHistory::Row;

Row titles(const ConnectionHistory::Titles& t) {
    Row row;
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = std::string(t[i]);
    return row;
}

struct HistoryTest : ::testing::Test {
    test::FakeTcpTable table;
    CountingClock clock;
    ConnectionHistory history{clock};
    ConnectionReader reader{table, false};

    void SetUp() override { history.create(); }
    void tick() { test::pollHistory(history, reader); }
    std::size_t historyRows() const { return history.rows().size() - 2; }
    const Row& row(std::size_t i) const { return history.rows().at(i); }
};

} // namespace

TEST_F(HistoryTest, CreatedStoppedWithCapitalTitlesAndOneEmptyRow) {
    ASSERT_EQ(history.rows().size(), 2u);
    EXPECT_EQ(row(0), titles(ConnectionHistory::kCreationTitles));
    EXPECT_EQ(row(0)[3], "Local Port");
    EXPECT_EQ(row(1), Row{});
    EXPECT_FALSE(history.timerOn());
    EXPECT_FALSE(history.listening());
    EXPECT_EQ(history.startTime(), "TCP connection seit : D1 T2");
}

TEST_F(HistoryTest, TickRecordsEstablishedOnlyWhileTheSwitchIsOff) {
    table.rows = {listening(135), established(50000, 2, 80), listening(445, tcpRowAddress(127, 0, 0, 1))};
    tick();
    ASSERT_EQ(history.rows().size(), 3u);
    EXPECT_EQ(row(1),
              (Row{"D3", "T4", " 10.  0.  0.  1", "50000", " 10.  0.  0.  2", "HTTP", "established"}));
    EXPECT_EQ(row(2), Row{});
    EXPECT_TRUE(history.timerOn()); // a tick always leaves the timer running
}

TEST_F(HistoryTest, SameKeyIsRecordedOnceAndLocalAddressIsNotPartOfIt) {
    history.setListening(true);
    // Port 135 listening on two addresses; a connection differing only in its local address; the
    // same connection again in the next tick, after it went away and came back.
    table.rows = {listening(135), listening(135, tcpRowAddress(127, 0, 0, 1)), established(40000, 7, 443, 1),
                  established(40000, 7, 443, 2)};
    tick();
    table.rows.clear();
    tick();
    table.rows = {established(40000, 7, 443, 3)};
    tick();
    ASSERT_EQ(historyRows(), 3u);            // marker, listener, connection
    EXPECT_EQ(row(2)[2], "  0.  0.  0.  0"); // the first in table order wins
    EXPECT_EQ(row(2)[4], "...");
    EXPECT_EQ(row(3)[2], " 10.  0.  0.  1");

    // A state change makes a new key; states other than listening and established never arrive.
    table.rows = {{TcpCloseWait, tcpRowAddress(10, 0, 0, 1), tcpRowPort(40000), tcpRowAddress(10, 0, 0, 7),
                   tcpRowPort(443)}};
    tick();
    EXPECT_EQ(historyRows(), 3u);
}

TEST_F(HistoryTest, ConnectionComesBackAfterAClear) {
    table.rows = {established(40000, 7, 443)};
    tick();
    tick();
    ASSERT_EQ(historyRows(), 1u);
    history.clear();
    EXPECT_EQ(row(0), titles(ConnectionHistory::kClearedTitles));
    tick();
    ASSERT_EQ(historyRows(), 1u);
    EXPECT_EQ(row(1)[3], "40000");
}

TEST_F(HistoryTest, AutomaticClearAboveOneThousandRows) {
    history.setListening(true); // marker row: 3 rows
    auto connections = [](std::size_t count) {
        std::vector<TcpRow> rows;
        for (std::size_t i = 0; i < count; ++i)
            rows.push_back(established(static_cast<std::uint16_t>(20000 + i), 9, 443));
        return rows;
    };
    table.rows = connections(997);
    tick();
    ASSERT_EQ(history.rows().size(), 1000u); // title, marker, 997 entries, empty row: kept
    EXPECT_TRUE(history.listening());

    table.rows = connections(998);
    table.rows.push_back(listening(8080));
    tick(); // 1002 rows: cleared inside the tick
    ASSERT_EQ(history.rows().size(), 2u);
    EXPECT_EQ(row(0), titles(ConnectionHistory::kClearedTitles));
    EXPECT_FALSE(history.listening());
    EXPECT_TRUE(history.timerOn()); // polling goes on, now without listeners

    table.rows = {listening(8080), established(1234, 5, 80)};
    tick();
    ASSERT_EQ(historyRows(), 1u);
    EXPECT_EQ(row(1)[6], "established");
}

TEST_F(HistoryTest, ExactlyOneThousandRowsAreKeptAndOneMoreClears) {
    std::vector<TcpRow> rows;
    for (std::uint16_t i = 0; i < 998; ++i)
        rows.push_back(established(static_cast<std::uint16_t>(30000 + i), 3, 80));
    table.rows = rows;
    tick();
    EXPECT_EQ(history.rows().size(), 1000u);
    table.rows.push_back(established(29999, 3, 80));
    tick();
    EXPECT_EQ(history.rows().size(), 2u);
}

TEST_F(HistoryTest, EverySwitchOnWritesAMarkerAndSwitchOffWritesNothing) {
    RecordingObserver observer;
    history.setObserver(&observer);
    history.setListening(true);
    history.setListening(false);
    history.setListening(true);
    ASSERT_EQ(historyRows(), 2u);
    EXPECT_EQ(row(1), (Row{"D3", "T4", "LISTENING PORTS", "  ON", "", "", ""}));
    EXPECT_EQ(history.startTime(), "TCP connection seit : D9 T10");
    EXPECT_EQ(row(2)[3], "  ON");
    EXPECT_EQ(observer.events,
              (std::vector<std::string>{"listening on", "timer on", "rows 1 3", "listening off", "timer off",
                                        "listening on", "timer on", "rows 2 4"}));
    // Marker rows never match a record.
    table.rows = {listening(135)};
    tick();
    EXPECT_EQ(historyRows(), 3u);
}

TEST_F(HistoryTest, ClearWhileRecordingStopsItAndUnsetsTheSwitch) {
    history.setListening(true);
    table.rows = {listening(22)};
    tick();
    RecordingObserver observer;
    history.setObserver(&observer);
    history.clear();
    EXPECT_FALSE(history.timerOn());
    EXPECT_FALSE(history.listening());
    EXPECT_EQ(history.rows().size(), 2u);
    EXPECT_EQ(row(1), Row{});
    EXPECT_EQ(observer.events, (std::vector<std::string>{"timer off", "reset", "listening off"}));
}

TEST_F(HistoryTest, TickSwitchesTheTimerOffForItsDurationEvenWhenTheReadFails) {
    history.setListening(true);
    RecordingObserver observer;
    history.setObserver(&observer);
    table.fail = true;
    tick();
    EXPECT_EQ(observer.events, (std::vector<std::string>{"timer off", "timer on"}));
    EXPECT_EQ(historyRows(), 1u);
}

// The history keeps an index instead of scanning the table for every record; over random ticks,
// switches and clears it must record exactly what the scan over every row (title row included) does.
TEST_F(HistoryTest, IndexRecordsWhatTheScanOverEveryRowRecords) {
    auto scanSaysNew = [&](const std::vector<Row>& rows, const TTcpConnStatus& record) {
        if (!history.listening() && record.Status == "listening") return false;
        for (const Row& r : rows)
            if (r[3] == record.LocalPort && r[4] == record.RemoteIP && r[5] == record.RemotePort &&
                r[6] == record.Status)
                return false;
        return true;
    };
    std::mt19937 random(7);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    int appended = 0;
    for (int step = 0; step < 2000; ++step) {
        const int action = pick(100);
        if (action < 2) {
            history.clear();
            continue;
        }
        if (action < 7) {
            history.setListening(!history.listening());
            continue;
        }
        table.rows.clear();
        for (int i = pick(40); i > 0; --i) {
            const auto port = static_cast<std::uint16_t>(pick(3) == 0 ? 135 : 1000 + pick(30));
            const auto remote = static_cast<std::uint8_t>(pick(3));
            table.rows.push_back(pick(4) == 0 ? listening(port) : established(port, remote, 80));
        }
        std::vector<TTcpConnStatus> list;
        ReadTcpConnections(table, &list);
        std::vector<Row> expected = history.rows();
        for (const auto& record : list) {
            if (!scanSaysNew(expected, record)) continue;
            expected.back() = Row{
                "", "", record.LocalIP, record.LocalPort, record.RemoteIP, record.RemotePort, record.Status};
            expected.emplace_back();
            ++appended;
        }
        tick();
        if (expected.size() > ConnectionHistory::kMaxRows) {
            ASSERT_EQ(history.rows().size(), 2u);
            continue;
        }
        ASSERT_EQ(history.rows().size(), expected.size()) << "step " << step;
        for (std::size_t r = 0; r < expected.size(); ++r)
            for (std::size_t c = 2; c < ConnectionHistory::kColumns; ++c)
                ASSERT_EQ(history.rows()[r][c], expected[r][c]) << "step " << step << " row " << r;
    }
    EXPECT_GT(appended, 500);
}

TEST_F(HistoryTest, APollOutdatedByASwitchOrAClearChangesNothing) {
    table.rows = {listening(135)};
    ConnectionPoll list;
    reader.read(list);
    for (bool clear : {false, true}) {
        history.setListening(true);
        const unsigned poll = history.beginTick();
        EXPECT_FALSE(history.timerOn());
        if (clear)
            history.clear();
        else
            history.setListening(false);
        const std::vector<Row> before = history.rows();
        history.endTick(poll, list);
        EXPECT_EQ(history.rows(), before);
        EXPECT_FALSE(history.timerOn());
    }
    history.setListening(true);
    history.endTick(history.beginTick(), list);
    EXPECT_TRUE(history.timerOn());
    ASSERT_EQ(historyRows(), 2u); // marker, then the listener
    EXPECT_EQ(row(2)[6], "listening");
}

TEST_F(HistoryTest, ClosingsTheSystemLostAreCountedUntilTheNextClear) {
    history.setListening(true);
    for (std::size_t lost : {3u, 0u, 2u}) {
        ConnectionPoll read;
        read.Ok = true;
        read.LostClosings = lost;
        history.endTick(history.beginTick(), read);
    }
    EXPECT_EQ(history.lostClosings(), 5u);
    history.clear();
    EXPECT_EQ(history.lostClosings(), 0u);
}
