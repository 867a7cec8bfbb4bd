#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace fw {

struct FreeStorage {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using UntouchedSlots = std::unique_ptr<T[], FreeStorage>;

// Storage for n items, taken now and left untouched: the system gives it memory only where items
// have been written, not the room kept for the worst. For items copied in whole and never
// destroyed.
template <typename T> UntouchedSlots<T> untouchedSlots(std::size_t n) {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "items are copied into raw storage and never destroyed");
    static_assert(alignof(T) <= alignof(std::max_align_t), "the storage comes from malloc");
    UntouchedSlots<T> storage(static_cast<T*>(std::malloc(sizeof(T) * n)));
    if (!storage)
        throw std::bad_alloc();
    return storage;
}

// A bounded queue between one producing and one consuming thread, with no lock: each side owns
// one index and publishes it with release, so either side may be a real-time callback. All
// storage is taken at construction. A push to a full ring drops the item and counts it; nothing
// ever waits. The storage is left untouched until an item first reaches it, so the system gives
// the ring memory only as far as it has been filled, not the room kept for the worst.
template <typename T> class RealtimeRing {
public:
    explicit RealtimeRing(std::size_t capacity)
        : size_(capacity + 1), slots_(untouchedSlots<T>(capacity + 1)) {}
    RealtimeRing(const RealtimeRing&) = delete;
    RealtimeRing& operator=(const RealtimeRing&) = delete;

    // Producer side. False (and counted) when the ring is full.
    bool push(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t next = tail + 1 == size_ ? 0 : tail + 1;
        if (next == head_.load(std::memory_order_acquire)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        ::new (&slots_[tail]) T(item);
        tail_.store(next, std::memory_order_release);
        return true;
    }

    // Consumer side. False when the ring is empty.
    bool pop(T& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        item = slots_[head];
        head_.store(head + 1 == size_ ? 0 : head + 1, std::memory_order_release);
        return true;
    }

    // Consumer side: everything queued so far is thrown away.
    void clear() { head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release); }

    bool empty() const {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }
    std::size_t capacity() const { return size_ - 1; }
    // Items refused because the ring was full.
    std::int64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    const std::size_t size_;
    UntouchedSlots<T> slots_;
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    std::atomic<std::int64_t> dropped_{0};
};

} // namespace fw
