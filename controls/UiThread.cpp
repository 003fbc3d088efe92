#include "controls/UiThread.h"

#include "platform/Threads.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include <mutex>
#include <utility>

namespace orvex {

namespace {

QEvent::Type handOffType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Work on its way to the UI thread. A posted event belongs to Qt's queue from the moment it is
// posted: Qt deletes it on the receiving thread, after delivery or when the queue is dropped, so
// the work and its captures die there. (A queued functor call would not do: its slot object is
// shared with the posting thread, which may drop the last reference.) The event's address is the
// token of the hand-off.
class HandOff final : public QEvent {
public:
    HandOff(QObject* receiver, std::function<void()> work)
        : QEvent(handOffType()), receiver_(receiver), run_(receiver != nullptr), work_(std::move(work)) {}

    ~HandOff() override {
        handOffAcquire(this);
        work_ = nullptr;
    }

    void deliver() {
        handOffAcquire(this);
        if (run_ && receiver_ && work_) work_();
        work_ = nullptr;
    }

private:
    QPointer<QObject> receiver_; // work for a receiver that is gone by now is dropped
    bool run_;
    std::function<void()> work_;
};

// Receives every hand-off on the UI thread: a child of the application object, gone with it.
std::mutex anchorMutex;
QObject* anchor = nullptr;

class UiAnchor final : public QObject {
public:
    explicit UiAnchor(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("UiAnchor")); }
    ~UiAnchor() override {
        std::lock_guard lock(anchorMutex);
        anchor = nullptr;
    }

    bool event(QEvent* event) override {
        handOffAcquire(event); // before the event's type is read: it was written on the worker
        if (event->type() != handOffType()) return QObject::event(event);
        static_cast<HandOff*>(event)->deliver();
        return true;
    }
};

void handOver(QObject* receiver, std::function<void()> work) {
    std::unique_lock lock(anchorMutex);
    if (anchor == nullptr) {
        lock.unlock();
        work = nullptr; // no UI thread to hand it to: the application is gone
        return;
    }
    // Qt's queue locks inside Qt, where TSan cannot see it, and Qt's event filters read the event
    // before the anchor takes the hand-off: neither the event's making nor its queueing is recorded.
    const UnseenLockingScope qtQueue;
    auto* event = new HandOff(receiver, std::move(work));
    handOffRelease(event);
    QCoreApplication::postEvent(anchor, event);
}

} // namespace

void postToUi(QObject* receiver, std::function<void()> ui) {
    handOver(receiver, std::move(ui));
}

void releaseOnUi(std::function<void()> owned) {
    if (!owned) return;
    handOver(nullptr, std::move(owned));
}

void installUiAnchor() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    std::lock_guard lock(anchorMutex);
    if (anchor == nullptr) anchor = new UiAnchor(application);
}

// Every application object gets its anchor as it is made, on the UI thread.
Q_COREAPP_STARTUP_FUNCTION(installUiAnchor)

} // namespace orvex
