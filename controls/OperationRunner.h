// Runs the windows' long operations (lookups, ping runs, adapter queries, HTTP queries) on a worker
// thread, so the UI thread keeps painting, ticking its timers and taking the close request.
//
// One operation at a time. While one runs, mouse buttons, wheel and keys aimed at the guarded
// windows are dropped (not queued), except Escape, which stops the operation, and the menu bar of a
// window with its Alt mnemonics, so that the program can still be ended from its menu. Qt's busy cursor shows
// meanwhile.
//
// A job runs on its worker thread and must not touch a window: it hands UI work back through
// OperationContext::post, which runs it on the UI thread in the order posted. What the job
// returns runs on the UI thread once the runner is idle again (final notices and error reports).
// An exception that escapes a job goes to the application error report.
//
// Stopping: a job marked Abandon (a call that cannot be interrupted: a resolver call, an HTTP wait)
// is let go at once: the runner is idle immediately, and nothing the job posts or returns reaches
// the windows any more. The job keeps running on its own thread until its call returns; everything
// it touches must be owned by its captures (shared pointers), never by a window. A job marked
// Finish (a ping run) sees stopRequested() and ends by itself; what it posts until then still
// arrives, and the runner stays busy until it has ended. Either way a stopped job's result (its
// return value or its exception) is dropped.
//
// The runner lives on the UI thread; its owner window destroys it before anything the posted UI
// work touches. Worker threads are detached: they never keep the program from ending.
//
// Showing it: busyChanged tells the windows when an operation starts and ends, so they can show it
// (BusyButtons, whose buttons are allowed while busy: the running box's one stops it, the others
// are disabled); and to assistive technology the guarded windows report the busy state
// while an operation runs.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace orvex {

struct OperationState;

// The job's side of a running operation. Worker thread only (post may also be called from the UI
// thread).
class OperationContext {
public:
    explicit OperationContext(std::shared_ptr<OperationState> state) : state_(std::move(state)) {}

    bool stopRequested() const;
    // Queues ui to run on the UI thread, after everything posted before it; dropped when the
    // operation was abandoned or the runner is gone.
    void post(std::function<void()> ui) const;
    // Waits ms milliseconds, or less when a stop arrives; false when stopped.
    bool sleepFor(int ms) const;

private:
    std::shared_ptr<OperationState> state_;
};

class OperationRunner : public QObject {
    Q_OBJECT
public:
    enum class OnStop { Abandon, Finish };
    // Work for the UI thread once the operation has ended; empty for none.
    using Completion = std::function<void()>;
    using Job = std::function<Completion(OperationContext& operation)>;

    // owner: the main window (Escape there stops the operation); it is guarded too.
    explicit OperationRunner(QWidget* owner);
    ~OperationRunner() override;

    // The runner of window's owner chain, or nullptr (dialogs share the main window's runner).
    static OperationRunner* of(QWidget* window);

    // Input aimed at this window (and its controls) is held off while an operation runs.
    void guard(QWidget* window);

    // A control of a guarded window that keeps taking input while an operation runs: the button
    // that stops a long operation, a table to pick from. Its children count too.
    void allowWhileBusy(QWidget* control);
    // Whether Qt's busy cursor shows while an operation runs (it does unless turned off): off for
    // a window whose operation runs until the user stops it (a route trace).
    void setBusyCursor(bool show) { busyCursor_ = show; }

    bool busy() const { return current_ != nullptr; }

    // Starts job unless an operation is running; returns whether it started.
    bool start(Job job, OnStop onStop);
    // Stops the running operation, if any (see the header comment).
    void stop();
    // Lets go of every operation for good (the owner window is being destroyed).
    void shutdown();

    // Waits up to ms for every counted thread of this process to end (abandoned jobs, the history's
    // poll worker and the watchers included; platform/Threads.h);
    // whether they all did. Tests and the end of the program use it.
    static bool waitForWorkers(int ms);

signals:
    void idle();
    // An operation started (true) or ended, was stopped or let go (false).
    void busyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void runWorker(std::shared_ptr<OperationState> state, Job job);
    void finished(const std::shared_ptr<OperationState>& state, Completion completion);
    void enterBusy();
    void leaveBusy();
    void announceBusy(); // the busy state of the guarded windows changed
    bool isGuarded(QObject* watched, QWidget** window) const;
    bool isAllowed(QObject* watched) const;

    QPointer<QWidget> owner_;
    std::vector<QPointer<QWidget>> guarded_;
    std::vector<QPointer<QWidget>> allowed_;
    bool busyCursor_ = true;
    bool cursorShown_ = false;
    std::shared_ptr<OperationState> current_;
};

} // namespace orvex
