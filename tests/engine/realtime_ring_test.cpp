#include "engine/realtime_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace fw {
namespace {

TEST(RealtimeRing, AFullRingDropsAndCountsAndTheRestComesOutInOrder) {
    RealtimeRing<int> ring(3);
    // Several laps around the storage, each filling it past the brim.
    for (int lap = 0; lap < 4; ++lap) {
        SCOPED_TRACE(lap);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(ring.push(10 * lap + k), k < 3);
        EXPECT_EQ(ring.dropped(), lap + 1);
        std::vector<int> out;
        for (int v = 0; ring.pop(v);)
            out.push_back(v);
        EXPECT_EQ(out, (std::vector<int>{10 * lap, 10 * lap + 1, 10 * lap + 2}));
        EXPECT_TRUE(ring.empty());
    }
    ring.push(1);
    ring.push(2);
    ring.clear();
    int v = 0;
    EXPECT_FALSE(ring.pop(v));
    EXPECT_TRUE(ring.push(3));
}

TEST(RealtimeRing, OneThreadPushesWhileAnotherPopsAndNothingIsLostOrReordered) {
    RealtimeRing<std::int64_t> ring(64);
    constexpr std::int64_t kItems = 200000;
    std::thread producer([&] {
        for (std::int64_t k = 0; k < kItems;)
            if (ring.push(k))
                ++k;
            else
                std::this_thread::yield();
    });
    std::int64_t expected = 0;
    while (expected < kItems) {
        std::int64_t v = -1;
        if (!ring.pop(v)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(v, expected);
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(ring.empty());
}

} // namespace
} // namespace fw
