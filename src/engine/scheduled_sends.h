#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace fw {

// Sends messages meant for a later time at that time, for an output that can only send at once
// (an ALSA sequencer port). A thread of its own sleeps to each message's time, so the window
// thread never waits for one; it starts with the first message and ends with this object.
class ScheduledSends {
public:
    // `send` puts one message out; it runs on the thread, and the owner guards what it shares.
    explicit ScheduledSends(std::function<void(std::uint32_t)> send);
    ~ScheduledSends();
    ScheduledSends(const ScheduledSends&) = delete;
    ScheduledSends& operator=(const ScheduledSends&) = delete;

    void add(std::int64_t monoMicros, std::uint32_t packed);
    // Forgets the waiting messages for which `match` holds.
    void dropIf(const std::function<bool(std::uint32_t)>& match);
    std::size_t waiting() const;

private:
    struct Item {
        std::int64_t at;
        std::uint64_t order;
        std::uint32_t packed;
    };
    void run();

    std::function<void(std::uint32_t)> send_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Item> items_; // a heap, earliest first
    std::uint64_t added_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace fw
