// The GET the PageRank query runs: a new HTTP client in its default configuration for one URL,
// released after the call, also when it fails. Also what both web queries share: their limits, and
// the hold through which a window lets a query go without leaving it waiting on the server. Plain
// C++.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace orvex {

class TNxTCPClient;
class TNxTCPConnection;

// The two web queries never wait on a server without end: a connection must stand within
// connectMs, each read must bring data within readMs, and the whole query ends within totalMs of
// its start (a server that sends a byte now and then still meets that), reported as the read
// timeout.
struct WebTimeouts {
    int connectMs = 10000;
    int readMs = 15000;
    int totalMs = 30000;
};

// Sets the client's connect, read and total limits.
void applyWebTimeouts(TNxTCPClient& client, const WebTimeouts& timeouts);

// One web query's hold on the connection it runs on, shared by the job (worker thread) and the
// window (UI thread). The window calls stop() when the operation is over: a query that has ended
// is not touched; one that was let go while still running has its socket shut down at once, so its
// thread ends within moments instead of waiting on a server that never answers, and no descriptor
// stays behind.
class WebQuery {
public:
    // The query's use of its connection, from run() until it is destroyed (worker thread).
    class Running {
    public:
        explicit Running(WebQuery* query) : query_(query) {}
        Running(Running&& other) noexcept : query_(std::exchange(other.query_, nullptr)) {}
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
        Running& operator=(Running&&) = delete;
        ~Running();

    private:
        WebQuery* query_;
    };

    // Worker thread: the query runs on connection until the result is destroyed; the connection
    // must outlive it. A stop() that came first ends it at once. Called once per query.
    [[nodiscard]] Running run(TNxTCPConnection& connection);
    // UI thread (any thread): see above.
    void stop();
    // Whether the query may still use its connection: from the making of the hold (the job may
    // not have begun yet) until run()'s result is gone.
    bool busy() const;

private:
    mutable std::mutex lock_;
    TNxTCPConnection* connection_ = nullptr;
    bool stopped_ = false;
    bool done_ = false;
};

// The reply body, byte for byte, at most kMaxServiceReplyBody bytes (a longer one raises
// ENxBodyTooLarge). The client's errors pass through. query, when given, holds the client while it
// runs.
std::string fetchWithFreshClient(const std::string& url, const WebTimeouts& timeouts = {},
                                 const std::shared_ptr<WebQuery>& query = {});

} // namespace orvex
