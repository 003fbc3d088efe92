#include "controls/UiThread.h"

#include "platform/Threads.h"

#include <QCoreApplication>
#include <QObject>

#include <memory>
#include <mutex>
#include <utility>

namespace orvex {

namespace {

// A heap cell for the posted work: its address is the token of the hand-off, and only the queued
// call owns it, so the work and its captures die where that call is destroyed (the UI thread).
struct Handed {
    std::function<void()> work;
};

void queueOn(QObject* receiver, std::unique_ptr<Handed> handed, bool run) {
    const void* token = handed.get();
    handOffRelease(token);
    QMetaObject::invokeMethod(
        receiver,
        [handed = std::shared_ptr<Handed>(std::move(handed)), run] {
            handOffAcquire(handed.get());
            if (run && handed->work) handed->work();
            handed->work = nullptr;
        },
        Qt::QueuedConnection);
}

// The receiver of releaseOnUi: a child of the application object, gone with it.
std::mutex anchorMutex;
QObject* anchor = nullptr;

class UiAnchor final : public QObject {
public:
    explicit UiAnchor(QObject* parent) : QObject(parent) { setObjectName(QStringLiteral("UiAnchor")); }
    ~UiAnchor() override {
        std::lock_guard lock(anchorMutex);
        anchor = nullptr;
    }
};

} // namespace

void postToUi(QObject* receiver, std::function<void()> ui) {
    queueOn(receiver, std::make_unique<Handed>(Handed{std::move(ui)}), true);
}

void releaseOnUi(std::function<void()> owned) {
    if (!owned) return;
    std::unique_lock lock(anchorMutex);
    if (anchor == nullptr) {
        lock.unlock();
        owned = nullptr; // no UI thread to hand it to
        return;
    }
    queueOn(anchor, std::make_unique<Handed>(Handed{std::move(owned)}), false);
}

void installUiAnchor() {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    std::lock_guard lock(anchorMutex);
    if (anchor == nullptr) anchor = new UiAnchor(application);
}

} // namespace orvex
