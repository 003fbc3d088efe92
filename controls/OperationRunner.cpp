#include "controls/OperationRunner.h"

#include "controls/ErrorReport.h"
#include "controls/Notifier.h"
#include "controls/UiThread.h"
#include "platform/Threads.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace orvex {

// Shared by the runner (UI thread) and the job's worker thread; lives as long as either holds it.
struct OperationState {
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> stop{false};
    std::atomic<bool> abandoned{false};
    OperationRunner* runner = nullptr; // under mutex; null once the runner let go of the operation
    OperationRunner::OnStop onStop = OperationRunner::OnStop::Abandon;
    QPointer<QWidget> reportTo; // the window whose handler started the job; read on the UI thread
};

namespace {

// Runs ui on the runner's thread while the runner and the operation are still wanted. Caller holds
// state.mutex, so the runner cannot go away meanwhile.
void queueLocked(const std::shared_ptr<OperationState>& state, std::function<void()> ui) {
    if (state->runner == nullptr || state->abandoned) return;
    postToUi(state->runner, [state, ui = std::move(ui)] {
        if (state->abandoned) return;
        runGuarded(state->reportTo, ui);
    });
}

// Marks the windows a runner guards, for the accessibility factory below.
constexpr const char* kGuardedWindow = "orvexOperationWindow";

// A guarded window as assistive technology sees it: as Qt shows a window or dialog, plus the busy
// state while its runner runs an operation.
class OperationWindowAccessible : public QAccessibleWidget {
public:
    OperationWindowAccessible(QWidget* window, QAccessible::Role role) : QAccessibleWidget(window, role) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (const OperationRunner* runner = OperationRunner::of(widget())) s.busy = runner->busy();
        return s;
    }
};

QAccessibleInterface* operationWindowFactory(const QString& className, QObject* object) {
    auto* window = qobject_cast<QWidget*>(object);
    // Asked once per class of the object, most derived first: answer for that one only.
    if (window == nullptr || !window->property(kGuardedWindow).toBool() ||
        className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    return new OperationWindowAccessible(window, qobject_cast<QDialog*>(window) ? QAccessible::Dialog
                                                                                : QAccessible::Window);
}

} // namespace

bool OperationContext::stopRequested() const {
    return state_->stop;
}

void OperationContext::post(std::function<void()> ui) const {
    std::lock_guard lock(state_->mutex);
    queueLocked(state_, std::move(ui));
}

bool OperationContext::sleepFor(int ms) const {
    std::unique_lock lock(state_->mutex);
    state_->wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_->stop.load(); });
    return !state_->stop;
}

OperationRunner::OperationRunner(QWidget* owner) : QObject(owner), owner_(owner) {
    setObjectName(QStringLiteral("Operations"));
    installUiAnchor();
    guard(owner);
}

OperationRunner::~OperationRunner() {
    shutdown();
}

OperationRunner* OperationRunner::of(QWidget* window) {
    for (QWidget* w = window; w != nullptr; w = w->parentWidget())
        if (auto* runner = w->findChild<OperationRunner*>(QString(), Qt::FindDirectChildrenOnly))
            return runner;
    return nullptr;
}

void OperationRunner::guard(QWidget* window) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(operationWindowFactory);
        return true;
    }();
    (void)factoryInstalled;
    window->setProperty(kGuardedWindow, true);
    guarded_.emplace_back(window);
}

void OperationRunner::allowWhileBusy(QWidget* control) {
    allowed_.emplace_back(control);
}

bool OperationRunner::start(Job job, OnStop onStop) {
    if (busy()) return false;
    auto state = std::make_shared<OperationState>();
    state->runner = this;
    state->onStop = onStop;
    // The error report and the final notices belong to the window that has the focus now: the one
    // whose control started the job.
    QWidget* active = QApplication::activeWindow();
    state->reportTo = active != nullptr && isGuarded(active, nullptr) ? active : owner_.data();
    current_ = state;
    enterBusy();
    try {
        runWorker(state, std::move(job));
    } catch (...) { // no thread to be had: nothing runs, and the handler's guard reports it
        current_.reset();
        leaveBusy();
        throw;
    }
    return true;
}

void OperationRunner::runWorker(std::shared_ptr<OperationState> state, Job job) {
    startCountedThread([state = std::move(state), job = std::move(job)]() mutable {
        OperationContext context(state);
        Completion completion;
        QString failure;
        bool failed = false;
        try {
            completion = job(context);
        } catch (const std::exception& e) {
            failed = true;
            failure = QString::fromUtf8(e.what());
        } catch (...) {
            failed = true;
            failure = QStringLiteral("Unbekannter Fehler");
        }
        // What the job owned (clients, windows' shared state) is destroyed on the UI thread.
        releaseOnUi([dead = std::move(job)] {});
        job = nullptr;
        if (failed) {
            completion = [state, failure] {
                notifier().error(state->reportTo, QString::fromUtf8(kApplicationTitle),
                                 errorReportText(failure));
            };
        }
        {
            std::lock_guard lock(state->mutex);
            if (state->runner != nullptr) {
                OperationRunner* runner = state->runner;
                postToUi(runner, [runner, state, completion = std::move(completion)] {
                    runner->finished(state, completion);
                });
            }
        }
        releaseOnUi(std::move(completion)); // a stopped job's result, if not posted above
        completion = nullptr;
        state.reset();
    });
}

void OperationRunner::stop() {
    if (!current_) return;
    std::shared_ptr<OperationState> state = current_;
    {
        std::lock_guard lock(state->mutex);
        state->stop = true;
        if (state->onStop == OnStop::Abandon) {
            state->abandoned = true;
            state->runner = nullptr;
        }
    }
    state->wake.notify_all();
    if (state->onStop == OnStop::Abandon) {
        current_.reset();
        leaveBusy();
        emit idle();
    }
}

void OperationRunner::shutdown() {
    if (!current_) return;
    std::shared_ptr<OperationState> state = std::move(current_);
    {
        std::lock_guard lock(state->mutex);
        state->stop = true;
        state->abandoned = true;
        state->runner = nullptr;
    }
    state->wake.notify_all();
    leaveBusy();
}

void OperationRunner::finished(const std::shared_ptr<OperationState>& state, Completion completion) {
    if (state != current_) return;
    {
        std::lock_guard lock(state->mutex);
        state->runner = nullptr; // a handler the job left behind posts nothing any more
    }
    current_.reset();
    leaveBusy();
    emit idle();
    if (completion && !state->stop) runGuarded(state->reportTo, completion);
}

void OperationRunner::enterBusy() {
    qApp->installEventFilter(this);
    cursorShown_ = busyCursor_;
    if (cursorShown_) QApplication::setOverrideCursor(Qt::BusyCursor);
    emit busyChanged(true);
    announceBusy();
}

void OperationRunner::leaveBusy() {
    qApp->removeEventFilter(this);
    if (cursorShown_) QApplication::restoreOverrideCursor();
    cursorShown_ = false;
    emit busyChanged(false);
    announceBusy();
}

void OperationRunner::announceBusy() {
    if (!QAccessible::isActive()) return;
    QAccessible::State changed;
    changed.busy = true;
    for (const QPointer<QWidget>& window : guarded_) {
        if (!window) continue;
        QAccessibleStateChangeEvent event(window.data(), changed);
        QAccessible::updateAccessibility(&event);
    }
}

bool OperationRunner::isGuarded(QObject* watched, QWidget** window) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    QWidget* top = widget->window();
    for (const QPointer<QWidget>& g : guarded_) {
        if (g == top) {
            if (window != nullptr) *window = top;
            return true;
        }
    }
    return false;
}

bool OperationRunner::isAllowed(QObject* watched) const {
    for (QObject* o = watched; o != nullptr; o = o->parent())
        for (const QPointer<QWidget>& a : allowed_)
            if (a == o) return true;
    return false;
}

bool OperationRunner::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod: // composed text changes a field as typing does
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        break;
    default:
        return false;
    }
    QWidget* window = nullptr;
    if (!isGuarded(watched, &window)) return false;
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
        event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            if (event->type() == QEvent::KeyPress) stop();
            return true;
        }
        if (isAllowed(watched)) return false;
        // The menu bar, whose "&Beenden" ends the program, hears Alt and takes its mnemonics as
        // shortcuts; an Alt combination that is no shortcut reaches no control.
        if (key->key() == Qt::Key_Alt) return false;
        return !(event->type() == QEvent::ShortcutOverride && (key->modifiers() & Qt::AltModifier));
    }
    if (isAllowed(watched)) return false;
    // The menu bar stays usable; the window's menu handlers ignore everything but ending the
    // program while an operation runs.
    for (QObject* o = watched; o != nullptr && o != window; o = o->parent())
        if (qobject_cast<QMenuBar*>(o) != nullptr) return false;
    return true;
}

bool OperationRunner::waitForWorkers(int ms) {
    return waitForCountedThreads(ms);
}

} // namespace orvex
