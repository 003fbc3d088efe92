#include "platform/Threads.h"

#include <chrono>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define ORVEX_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVEX_TSAN 1
#endif
#endif

#ifdef ORVEX_TSAN
#include <sanitizer/tsan_interface.h>
// In the runtime, not declared by GCC 12's header.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace orvex {

void handOffRelease([[maybe_unused]] const void* token) {
#ifdef ORVEX_TSAN
    __tsan_release(const_cast<void*>(token));
#endif
}

void handOffAcquire([[maybe_unused]] const void* token) {
#ifdef ORVEX_TSAN
    __tsan_acquire(const_cast<void*>(token));
#endif
}

UnseenLockingScope::UnseenLockingScope() {
#ifdef ORVEX_TSAN
    __tsan_ignore_thread_begin();
#endif
}

UnseenLockingScope::~UnseenLockingScope() {
#ifdef ORVEX_TSAN
    __tsan_ignore_thread_end();
#endif
}

namespace {

// The count outlives every thread: a detached thread may still end while the program's static
// objects are destroyed, so it is never destroyed itself.
struct Count {
    std::mutex mutex;
    std::condition_variable reachedZero;
    int running = 0;
};

Count& count() {
    static Count* const instance = new Count;
    return *instance;
}

void threadStarted() {
    std::lock_guard lock(count().mutex);
    ++count().running;
}

void threadEnded() {
    Count& c = count();
    std::lock_guard lock(c.mutex);
    if (--c.running == 0) c.reachedZero.notify_all();
}

// Counts a thread from before it starts until its body and the body's captures are gone.
std::thread countedThread(std::function<void()> body) {
    threadStarted();
    try {
        return std::thread([body = std::move(body)]() mutable {
            try {
                body();
            } catch (...) {
                // A body that lets an exception escape ends its thread, not the program.
            }
            body = nullptr;
            threadEnded();
        });
    } catch (...) {
        threadEnded();
        throw;
    }
}

} // namespace

void startCountedThread(std::function<void()> body) {
    countedThread(std::move(body)).detach();
}

int countedThreads() {
    std::lock_guard lock(count().mutex);
    return count().running;
}

bool waitForCountedThreads(int ms) {
    Count& c = count();
    std::unique_lock lock(c.mutex);
    return c.reachedZero.wait_for(lock, std::chrono::milliseconds(ms), [&c] { return c.running == 0; });
}

JoinableThread::JoinableThread(std::function<void()> body) : thread_(countedThread(std::move(body))) {}

JoinableThread& JoinableThread::operator=(JoinableThread&& other) noexcept {
    if (this != &other) {
        join();
        thread_ = std::move(other.thread_);
    }
    return *this;
}

void JoinableThread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

SerialWorker::SerialWorker() : queue_(std::make_shared<Queue>()) {}

SerialWorker::~SerialWorker() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(queue_->mutex);
        queue_->closed = true;
        dropped.swap(queue_->tasks);
        // Under the lock: the thread may drop the last reference to the queue as soon as it
        // sees the change.
        queue_->wake.notify_all();
    }
    // dropped dies here, on the owner's thread, as a task that never ran would have.
}

void SerialWorker::submit(std::function<void()> task) {
    std::unique_lock lock(queue_->mutex);
    if (queue_->closed) return;
    queue_->tasks.push_back(std::move(task));
    if (!queue_->started) {
        try {
            startCountedThread([queue = queue_] { run(queue); });
        } catch (...) {
            queue_->tasks.pop_back();
            throw;
        }
        queue_->started = true;
    }
    queue_->wake.notify_one();
}

void SerialWorker::run(const std::shared_ptr<Queue>& queue) {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(queue->mutex);
            queue->wake.wait(lock, [&] { return queue->closed || !queue->tasks.empty(); });
            if (queue->closed) return;
            task = std::move(queue->tasks.front());
            queue->tasks.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A task that fails ends alone; the tasks after it still run.
        }
    }
}

} // namespace orvex
