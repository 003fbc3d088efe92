// What a process holds right now: its threads and its open descriptors, from /proc/self.
#pragma once

#include <chrono>
#include <dirent.h>
#include <functional>
#include <string>
#include <thread>

namespace orvex::test {

inline int entriesIn(const char* folder) {
    int n = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ++n;
        ::closedir(dir);
    }
    return n;
}

inline int liveThreads() {
    return entriesIn("/proc/self/task");
}

inline int openDescriptors() {
    return entriesIn("/proc/self/fd") - 1; // the listing's own
}

// Waits up to ms for settled() to hold, letting pump run between looks (a window test's event loop).
inline bool waitUntil(const std::function<bool()>& settled, int ms, const std::function<void()>& pump = {}) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!settled()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (pump)
            pump();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace orvex::test
