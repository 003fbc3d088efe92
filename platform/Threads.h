// Every thread Orvex starts goes through here, so that "every worker has ended" means all of them:
// the operation runner's jobs, the history's poll worker, the start-up threads and the watchers.
// Plain C++; the Qt side of a hand-off (posting UI work, destroying captures on the UI thread) is
// controls/UiThread.h.
//
// Ownership: a counted thread owns its body and everything the body captured; the body's
// captures are destroyed on that thread unless the body hands them elsewhere first. Whatever a
// detached body touches after its starter is gone must be owned by its captures (shared
// pointers), never borrowed from a window.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orvex {

// ThreadSanitizer cannot see a hand-off through Qt's posted-event queue (or any queue it does not
// instrument). The side that hands data over calls handOffRelease(token) before queueing it; the
// side that takes it calls handOffAcquire(token) before touching it. Both are no-ops outside a
// ThreadSanitizer build.
void handOffRelease(const void* token);
void handOffAcquire(const void* token);

// Marks a call into a library that locks inside itself where ThreadSanitizer cannot see it (Qt's
// posted-event queue, guarded by Qt's own mutex): the memory the call touches on this thread is not
// recorded while the scope lasts. A no-op outside a ThreadSanitizer build.
class UnseenLockingScope {
public:
    UnseenLockingScope();
    ~UnseenLockingScope();
    UnseenLockingScope(const UnseenLockingScope&) = delete;
    UnseenLockingScope& operator=(const UnseenLockingScope&) = delete;
};

// Starts body on a new thread, detached, counted until body (and its captures) are gone. Throws
// std::system_error when no thread can be had; body has not run then.
void startCountedThread(std::function<void()> body);

// The number of counted threads running now; waits up to ms for it to reach 0 and says whether it
// did. Tests and the end of the program use it.
int countedThreads();
bool waitForCountedThreads(int ms);

// A counted thread its owner joins: for a watcher that lives as long as the object that started
// it and can be told to end (an eventfd, a closed socket). Joins in the destructor.
class JoinableThread {
public:
    JoinableThread() = default;
    // Throws std::system_error when no thread can be had.
    explicit JoinableThread(std::function<void()> body);
    ~JoinableThread() { join(); }
    JoinableThread(JoinableThread&&) noexcept = default;
    JoinableThread& operator=(JoinableThread&& other) noexcept;
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    bool joinable() const { return thread_.joinable(); }
    void join();

private:
    std::thread thread_;
};

// One long-lived counted thread that runs tasks one after another, in the order submitted: for
// work that repeats (the history's poll every 500 ms) and must not start a thread each time. The
// thread starts with the first task. Any thread may submit; the destructor (any thread) drops the
// tasks not yet started and lets the running one end on its own, without waiting for it.
class SerialWorker {
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues task. Throws std::system_error when the thread could not be started (the task has not
    // run then; the caller may run it itself).
    void submit(std::function<void()> task);

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> tasks;
        bool started = false;
        bool closed = false;
    };
    static void run(const std::shared_ptr<Queue>& queue);
    std::shared_ptr<Queue> queue_;
};

} // namespace orvex
