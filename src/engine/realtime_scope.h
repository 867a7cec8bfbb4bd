#pragma once

#include <atomic>
#include <cstdint>

namespace fw {

// The real-time callbacks of the program.
enum class RealtimeWork { Sound, JackMidiOut, JackMidiIn, JackTransport, Count };

// The callback this thread is in, if any (sound rendering, a JACK period). Nothing in the
// program reads it; a watcher in the benches counts the allocations, frees and locks that a
// thread makes while it is set.
inline thread_local int realtimeWork = -1;
// Real-time callbacks run so far, of each kind, for the same watcher.
inline std::atomic<std::int64_t> realtimeRuns[static_cast<int>(RealtimeWork::Count)];

// Marks the work of a real-time callback, for its duration.
class RealtimeScope {
public:
    explicit RealtimeScope(RealtimeWork work) : outer_(realtimeWork) {
        realtimeWork = static_cast<int>(work);
        realtimeRuns[realtimeWork].fetch_add(1, std::memory_order_relaxed);
    }
    ~RealtimeScope() { realtimeWork = outer_; }
    RealtimeScope(const RealtimeScope&) = delete;
    RealtimeScope& operator=(const RealtimeScope&) = delete;

private:
    int outer_;
};

} // namespace fw
