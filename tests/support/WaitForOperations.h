// Window tests start an operation as a user does and then wait for the window's runner to be idle.
#pragma once

#include "controls/OperationRunner.h"

#include <QEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <condition_variable>
#include <mutex>

namespace orvex::test {

// Whether the operation the window's runner is running ended within ms (the event loop runs
// meanwhile, so its results, notices and focus changes have reached the windows).
inline bool operationsIdle(QWidget* window, int ms = 20000) {
    OperationRunner* runner = OperationRunner::of(window);
    if (runner == nullptr) return false;
    return QTest::qWaitFor([runner] { return !runner->busy(); }, ms);
}

// Holds a fake service's worker-thread call until the test opens it. Share it (shared_ptr) with the
// fake, so a call that ends after the test still finds it.
class Gate {
public:
    ~Gate() { open(); }
    void wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Counts what the UI thread gets done while an operation runs: ticks of a 10 ms timer, each of
// which asks the widget for a repaint, and the paints the widget receives.
class LivenessProbe : public QObject {
public:
    explicit LivenessProbe(QWidget* widget) : widget_(widget) {
        widget_->installEventFilter(this);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            ++ticks;
            widget_->update();
        });
        timer_.start();
    }
    ~LivenessProbe() override { widget_->removeEventFilter(this); }

    int ticks = 0;
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }

private:
    QWidget* widget_;
    QTimer timer_;
};

} // namespace orvex::test
