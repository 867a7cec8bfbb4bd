#include "engine/scheduled_sends.h"

#include "engine/clock.h"

#include <algorithm>
#include <chrono>
#include <sys/prctl.h>

namespace fw {

namespace {
bool later(const auto& a, const auto& b) {
    return a.at != b.at ? a.at > b.at : a.order > b.order;
}
} // namespace

ScheduledSends::ScheduledSends(std::function<void(std::uint32_t)> send) : send_(std::move(send)) {}

ScheduledSends::~ScheduledSends() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void ScheduledSends::add(std::int64_t monoMicros, std::uint32_t packed) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back({monoMicros, added_++, packed});
        std::push_heap(items_.begin(), items_.end(), [](auto& a, auto& b) { return later(a, b); });
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
    }
    wake_.notify_all();
}

void ScheduledSends::dropIf(const std::function<bool(std::uint32_t)>& match) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(items_, [&](const Item& i) { return match(i.packed); });
    std::make_heap(items_.begin(), items_.end(), [](auto& a, auto& b) { return later(a, b); });
}

std::size_t ScheduledSends::waiting() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

void ScheduledSends::run() {
    // The kernel may otherwise let a timed wait run 50 microseconds long.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (items_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const std::int64_t due = items_.front().at;
        if (due > monotonicMicros()) {
            // steady_clock is the monotonic clock the time stamps are read from.
            wake_.wait_until(lock,
                             std::chrono::steady_clock::time_point(std::chrono::microseconds(due)));
            continue;
        }
        std::pop_heap(items_.begin(), items_.end(), [](auto& a, auto& b) { return later(a, b); });
        const std::uint32_t packed = items_.back().packed;
        items_.pop_back();
        lock.unlock();
        send_(packed);
        lock.lock();
    }
}

} // namespace fw
