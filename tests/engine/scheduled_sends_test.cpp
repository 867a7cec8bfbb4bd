#include "engine/scheduled_sends.h"

#include "engine/clock.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace fw {
namespace {

TEST(ScheduledSends, SendsInTimeOrderAndForgetsWhatIsDropped) {
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::int64_t>> sent;
    {
        ScheduledSends later([&](std::uint32_t packed) {
            const std::lock_guard<std::mutex> lock(mutex);
            sent.emplace_back(packed, monotonicMicros());
        });
        const std::int64_t now = monotonicMicros();
        later.add(now + 30000, 3);
        later.add(now + 10000, 1);
        later.add(now + 20000, 0xF8);
        later.add(now + 20000, 2); // the same time: in the order given
        later.add(now + 40000, 0xF8);
        later.dropIf([](std::uint32_t p) { return p == 0xF8; });
        EXPECT_EQ(later.waiting(), 3u);
        sleepUntilMonotonic(now + 60000);
        later.add(now + 5000000, 9); // still waiting when the sender goes: never sent
        const std::lock_guard<std::mutex> lock(mutex);
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[0].first, 1u);
        EXPECT_EQ(sent[1].first, 2u);
        EXPECT_EQ(sent[2].first, 3u);
        EXPECT_GE(sent[0].second, now + 10000) << "never early";
        EXPECT_GE(sent[2].second, now + 30000);
    }
    EXPECT_EQ(sent.size(), 3u);
}

} // namespace
} // namespace fw
