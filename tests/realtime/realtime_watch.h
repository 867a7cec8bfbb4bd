#pragma once

// Counts what real-time callbacks do that they must not: allocate, free, lock or wait. Linked
// into a test or a bench (the library fw_realtime_watch), it takes the place of malloc and free (or
// hooks the address sanitizer's) and of the locking calls of the C library and GLib, and counts a
// call only while the calling thread is inside a fw::RealtimeScope, by the kind of callback.
#include "engine/realtime_scope.h"

#include <cstdint>

namespace fw::bench {

// What the callbacks of one kind (fw::RealtimeWork) did.
struct RealtimeCounts {
    std::int64_t callbacks = 0;
    std::int64_t allocations = 0;
    std::int64_t frees = 0;
    std::int64_t locks = 0; // mutexes taken or tried, semaphores waited
};

// The counts of a kind since the last reset; the watch is on from the start.
RealtimeCounts realtimeCounts(RealtimeWork work);
void resetRealtimeCounts();

} // namespace fw::bench
