// Replies of a ping run on their way from the run's worker thread to the reply list. Fast replies
// (loopback) come quicker than a window can take one posted call each, so the worker posts once
// for whatever has gathered and the window takes every reply that has arrived at once, in order.
// Any thread; share it (shared_ptr) between the run and the window's posted work.
#pragma once

#include "net/TNxIcmpClient.h"

#include <mutex>
#include <vector>

namespace orvex {

class ReplyBatch {
public:
    // Adds a reply; true when the caller must post a call that takes the batch (none is on its
    // way), false when the one already posted will take this reply too.
    bool add(const TReplyStatus& reply) {
        std::lock_guard lock(mutex_);
        replies_.push_back(reply);
        const bool post = !posted_;
        posted_ = true;
        return post;
    }

    // Every reply gathered since the last take, in order of arrival; the next add posts again.
    std::vector<TReplyStatus> take() {
        std::lock_guard lock(mutex_);
        std::vector<TReplyStatus> taken;
        taken.swap(replies_);
        posted_ = false;
        return taken;
    }

private:
    std::mutex mutex_;
    std::vector<TReplyStatus> replies_;
    bool posted_ = false;
};

} // namespace orvex
