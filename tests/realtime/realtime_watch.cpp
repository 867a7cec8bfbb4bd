#include "realtime_watch.h"

#include "engine/realtime_scope.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>
#include <semaphore.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kKinds = static_cast<int>(fw::RealtimeWork::Count);
std::atomic<std::int64_t> allocations[kKinds];
std::atomic<std::int64_t> frees[kKinds];
std::atomic<std::int64_t> locks[kKinds];
std::int64_t runsAtReset[kKinds];

// FW_REALTIME_TRACE=N prints where the first N counted calls came from, to find a culprit.
std::atomic<int> tracesLeft{-1};
thread_local bool tracing = false;

void trace(const char* what) {
    if (tracesLeft.load(std::memory_order_relaxed) < 0) {
        const char* n = std::getenv("FW_REALTIME_TRACE");
        tracesLeft.store(n ? std::atoi(n) : 0);
    }
    if (tracesLeft.fetch_sub(1) <= 0)
        return;
    void* frames[24];
    const int n = backtrace(frames, 24);
    const ssize_t written = write(STDERR_FILENO, what, std::strlen(what));
    (void)written;
    backtrace_symbols_fd(frames, n, STDERR_FILENO);
}

inline void count(std::atomic<std::int64_t> (&n)[kKinds], const char* what) {
    if (fw::realtimeWork < 0 || tracing)
        return;
    n[fw::realtimeWork].fetch_add(1, std::memory_order_relaxed);
    tracing = true; // what the trace itself calls is not counted
    trace(what);
    tracing = false;
}

template <typename F> F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

// Locks: the C library's and GLib's (FluidSynth locks through GLib, whose plain mutexes do not go
// through pthread). Each forwards to the next definition, the sanitizer's where there is one.
extern "C" {

int pthread_mutex_lock(pthread_mutex_t* m) {
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    count(locks, "-- lock in a real-time callback:\n");
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    count(locks, "-- lock in a real-time callback:\n");
    return real(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    static auto real = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_rdlock");
    count(locks, "-- lock in a real-time callback:\n");
    return real(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    static auto real = next<int (*)(pthread_rwlock_t*)>("pthread_rwlock_wrlock");
    count(locks, "-- lock in a real-time callback:\n");
    return real(l);
}
int sem_wait(sem_t* s) {
    static auto real = next<int (*)(sem_t*)>("sem_wait");
    count(locks, "-- lock in a real-time callback:\n");
    return real(s);
}
void g_mutex_lock(void* m) {
    static auto real = next<void (*)(void*)>("g_mutex_lock");
    count(locks, "-- lock in a real-time callback:\n");
    real(m);
}
void g_rec_mutex_lock(void* m) {
    static auto real = next<void (*)(void*)>("g_rec_mutex_lock");
    count(locks, "-- lock in a real-time callback:\n");
    real(m);
}

} // extern "C"

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer owns malloc; it calls hooks on every allocation and free.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {
void onMalloc(const volatile void*, std::size_t) {
    count(allocations, "-- allocation in a real-time callback:\n");
}
void onFree(const volatile void*) {
    count(frees, "-- free in a real-time callback:\n");
}
const int installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
} // namespace

#else
// The C library's own allocator under its public names; operator new and delete come here too.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    count(allocations, "-- allocation in a real-time callback:\n");
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    count(allocations, "-- allocation in a real-time callback:\n");
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    count(allocations, "-- allocation in a real-time callback:\n");
    return __libc_realloc(p, n);
}
void* memalign(std::size_t align, std::size_t n) {
    count(allocations, "-- allocation in a real-time callback:\n");
    return __libc_memalign(align, n);
}
void* aligned_alloc(std::size_t align, std::size_t n) {
    count(allocations, "-- allocation in a real-time callback:\n");
    return __libc_memalign(align, n);
}
int posix_memalign(void** out, std::size_t align, std::size_t n) {
    count(allocations, "-- allocation in a real-time callback:\n");
    *out = __libc_memalign(align, n);
    return *out ? 0 : 12; // ENOMEM
}
void free(void* p) {
    if (p)
        count(frees, "-- free in a real-time callback:\n");
    __libc_free(p);
}
} // extern "C"
#endif

namespace fw::bench {

RealtimeCounts realtimeCounts(RealtimeWork work) {
    const int k = static_cast<int>(work);
    RealtimeCounts c;
    c.callbacks = fw::realtimeRuns[k].load() - runsAtReset[k];
    c.allocations = allocations[k].load();
    c.frees = frees[k].load();
    c.locks = locks[k].load();
    return c;
}

void resetRealtimeCounts() {
    // The first backtrace loads the unwinder, which allocates: done here, outside any callback.
    void* frame[1];
    backtrace(frame, 1);
    for (int k = 0; k < kKinds; ++k) {
        allocations[k] = 0;
        frees[k] = 0;
        locks[k] = 0;
        runsAtReset[k] = fw::realtimeRuns[k].load();
    }
}

} // namespace fw::bench
