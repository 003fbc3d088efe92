// The operation runner's contract, and the thread machinery under it, without a window's logic:
// order of posted work, nothing after an abandon, Finish staying busy, escaping exceptions, every
// counted thread waited for, and captures that die on the UI thread.
#include "controls/OperationRunner.h"
#include "controls/UiThread.h"
#include "platform/Threads.h"
#include "tests/support/RecordingNotifier.h"
#include "tests/support/WaitForOperations.h"

#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orvex;

namespace {

// Records the thread its last owner let go of it on.
struct DeathWitness {
    explicit DeathWitness(std::shared_ptr<std::atomic<bool>> onUi) : diedOnUi(std::move(onUi)) {}
    ~DeathWitness() { *diedOnUi = QThread::currentThread() == qApp->thread(); }
    std::shared_ptr<std::atomic<bool>> diedOnUi;
};

} // namespace

class OperationRunnerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    OperationRunner* runner = nullptr;

private slots:
    void init() {
        window = std::make_unique<QWidget>();
        runner = new OperationRunner(window.get());
    }

    void cleanup() {
        window.reset();
        QVERIFY(OperationRunner::waitForWorkers(5000));
        QCoreApplication::processEvents(); // what the last workers handed back
    }

    void postedWorkArrivesInOrderAndBeforeTheCompletion() {
        std::vector<int> seen;
        bool completed = false;
        QVERIFY(runner->start(
            [&](OperationContext& operation) -> OperationRunner::Completion {
                for (int i = 0; i < 2000; ++i)
                    operation.post([&seen, i] { seen.push_back(i); });
                return [&] {
                    completed = true;
                    QCOMPARE(seen.size(), std::size_t{2000});
                };
            },
            OperationRunner::OnStop::Abandon));
        QVERIFY(!runner->start([](OperationContext&) { return OperationRunner::Completion{}; },
                               OperationRunner::OnStop::Abandon)); // one at a time
        QVERIFY(test::operationsIdle(window.get()));
        QVERIFY(completed);
        for (int i = 0; i < 2000; ++i)
            QCOMPARE(seen[static_cast<std::size_t>(i)], i);
    }

    void anAbandonedJobDeliversNothingMore() {
        auto gate = std::make_shared<test::Gate>();
        auto delivered = std::make_shared<std::atomic<int>>(0);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        QVERIFY(runner->start(
            [gate, delivered, ended](OperationContext& operation) -> OperationRunner::Completion {
                gate->wait();
                operation.post([delivered] { ++*delivered; });
                *ended = true;
                return [delivered] { ++*delivered; };
            },
            OperationRunner::OnStop::Abandon));
        runner->stop();
        QVERIFY(!runner->busy()); // idle at once, the job still waits
        gate->open();
        QTRY_VERIFY(ended->load());
        QVERIFY(OperationRunner::waitForWorkers(5000));
        QTest::qWait(50);
        QCOMPARE(delivered->load(), 0);
    }

    void aFinishingJobKeepsTheRunnerBusyUntilItEnds() {
        auto gate = std::make_shared<test::Gate>();
        std::vector<int> seen;
        bool completed = false;
        QVERIFY(runner->start(
            [&, gate](OperationContext& operation) -> OperationRunner::Completion {
                while (!operation.stopRequested())
                    operation.sleepFor(5);
                gate->wait();
                operation.post([&seen] { seen.push_back(1); }); // still arrives after the stop
                return [&completed] { completed = true; };      // a stopped job's result is dropped
            },
            OperationRunner::OnStop::Finish));
        runner->stop();
        QTest::qWait(30);
        QVERIFY(runner->busy());
        gate->open();
        QVERIFY(test::operationsIdle(window.get()));
        QCOMPARE(seen, std::vector<int>{1});
        QVERIFY(!completed);
    }

    void anEscapingExceptionReachesTheErrorReport() {
        test::RecordingNotifier notices;
        QVERIFY(runner->start(
            [](OperationContext&) -> OperationRunner::Completion { throw std::runtime_error("Kaputt"); },
            OperationRunner::OnStop::Abandon));
        QVERIFY(test::operationsIdle(window.get()));
        QTRY_COMPARE(notices.shown.size(), std::size_t{1});
        QCOMPARE(notices.shown[0].caption, QStringLiteral("Orvex 1.7"));
        QCOMPARE(notices.shown[0].text, QStringLiteral("Kaputt."));
    }

    void waitingForWorkersCountsEveryThread() {
        auto gate = std::make_shared<test::Gate>();
        auto worker = std::make_unique<SerialWorker>();
        worker->submit([gate] { gate->wait(); });
        QVERIFY(!OperationRunner::waitForWorkers(50));
        gate->open();
        worker.reset(); // its thread ends once told, without a task
        QVERIFY(OperationRunner::waitForWorkers(5000));

        auto second = std::make_shared<test::Gate>();
        startCountedThread([second] { second->wait(); });
        QCOMPARE(countedThreads(), 1);
        QVERIFY(!OperationRunner::waitForWorkers(50));
        second->open();
        QVERIFY(OperationRunner::waitForWorkers(5000));
    }

    void aSerialWorkerRunsItsTasksInOrderOnOneThread() {
        SerialWorker worker;
        std::mutex mutex;
        std::vector<int> order;
        std::vector<std::thread::id> threads;
        std::atomic<int> done{0};
        for (int i = 0; i < 100; ++i) {
            worker.submit([&, i] {
                if (i == 3) throw std::runtime_error("a failing task ends alone");
                std::lock_guard lock(mutex);
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
                ++done;
            });
        }
        QTRY_COMPARE(done.load(), 99);
        QCOMPARE(countedThreads(), 1);
        for (std::size_t i = 1; i < order.size(); ++i) {
            QVERIFY(order[i - 1] < order[i]);
            QCOMPARE(threads[i], threads[0]);
        }
    }

    void capturesDieOnTheUiThread() {
        // A finished job, a stopped one, and work posted to a receiver that is gone before it runs.
        auto finished = std::make_shared<std::atomic<bool>>(false);
        QVERIFY(runner->start([witness = std::make_shared<DeathWitness>(finished)](
                                  OperationContext&) { return OperationRunner::Completion{}; },
                              OperationRunner::OnStop::Abandon));
        QVERIFY(test::operationsIdle(window.get()));
        QTRY_VERIFY(finished.use_count() == 1);
        QVERIFY(finished->load());

        auto gate = std::make_shared<test::Gate>();
        auto abandoned = std::make_shared<std::atomic<bool>>(false);
        QVERIFY(runner->start(
            [gate, witness = std::make_shared<DeathWitness>(abandoned)](OperationContext&) {
                gate->wait();
                return OperationRunner::Completion{};
            },
            OperationRunner::OnStop::Abandon));
        runner->stop();
        gate->open();
        QVERIFY(OperationRunner::waitForWorkers(5000));
        QTRY_VERIFY(abandoned.use_count() == 1);
        QVERIFY(abandoned->load());

        auto orphaned = std::make_shared<std::atomic<bool>>(false);
        auto receiver = std::make_unique<QObject>();
        startCountedThread([target = receiver.get(), witness = std::make_shared<DeathWitness>(orphaned)] {
            postToUi(target, [copy = witness] {});
        });
        QVERIFY(OperationRunner::waitForWorkers(5000));
        receiver.reset(); // the work is dropped on the UI thread, unrun
        QTRY_COMPARE(orphaned.use_count(), 1L);
        QVERIFY(orphaned->load());
    }
};

QTEST_MAIN(OperationRunnerTest)
#include "OperationRunnerTest.moc"
