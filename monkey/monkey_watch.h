#pragma once

// The two guards of a monkey run that live on threads of their own: the watchdog, which ends a
// run whose event loop stops turning, and the write watch, which sees every file this process
// writes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace fw::monkey {

// The window thread calls beat() every time its event loop turns; when no beat comes for
// limitMillis, the watchdog prints what it was told and aborts the window thread, whose stack
// the sanitizer then prints.
class Watchdog {
public:
    // describe() says where the run is, for the message; mark() numbers the current action.
    Watchdog(int limitMillis, std::function<std::string()> describe, std::function<long()> mark);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void beat();
    // The longest time between two beats so far.
    std::int64_t longestGapMillis() const { return longest_; }
    // The action during which it happened.
    long longestGapMark() const { return longestMark_; }
    void stop();

private:
    void run();
    const int limit_;
    std::function<std::string()> describe_;
    std::function<long()> mark_;
    std::atomic<long> longestMark_{0};
    std::atomic<std::int64_t> last_{0};
    std::atomic<std::int64_t> longest_{0};
    std::atomic<bool> stop_{false};
    unsigned long windowThread_;
    std::thread thread_;
};

// Files this process closed after writing, as the kernel reports them (fanotify; it needs the
// CAP_SYS_ADMIN capability, which root has). Without it the watch is off and says why.
class WriteWatch {
public:
    // Watches the whole file systems that hold these places.
    explicit WriteWatch(const std::vector<std::string>& places);
    ~WriteWatch();
    WriteWatch(const WriteWatch&) = delete;
    WriteWatch& operator=(const WriteWatch&) = delete;

    bool active() const { return fd_ >= 0; }
    const std::string& whyInactive() const { return why_; }
    // Every path written so far, after reading what the kernel still holds.
    std::set<std::string> written();
    bool overflowed() const { return overflowed_; }

private:
    void run();
    bool drain();
    int fd_ = -1;
    std::string why_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> overflowed_{false};
    std::mutex mutex_;
    std::set<std::string> paths_;
    std::thread thread_;
};

} // namespace fw::monkey
