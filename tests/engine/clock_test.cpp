#include "engine/clock.h"
#include "engine/midi_output.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <ctime>

namespace fw {
namespace {

TEST(SystemClock, StartsAtTheHourPositionAndNeverRunsBack) {
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    tm local{};
    time_t secs = wall.tv_sec;
    localtime_r(&secs, &local);
    const int expected =
        local.tm_min * 6000 + local.tm_sec * 100 + static_cast<int>(wall.tv_nsec / 10000000);
    SystemClock clock;
    int diff = clock.reading() - expected;
    // Across a full hour the expected value wraps while the clock does not.
    if (diff > 180000)
        diff -= 360000;
    EXPECT_LE(std::abs(diff), 5);

    std::int64_t last = clock.micros();
    for (int i = 0; i < 20000; ++i) {
        const std::int64_t now = clock.micros();
        ASSERT_GE(now, last);
        last = now;
    }
    const std::int64_t target = clock.micros() + 3000;
    clock.sleepUntil(target);
    EXPECT_GE(clock.micros(), target);
    EXPECT_EQ(clock.elapsedSince(clock.reading()), 0);
}

TEST(Clock, WaitAcrossTheFullHourEndsOnTime) {
    test::ManualClock clock;
    clock.setCentis(359990); // 59:59.90
    test::ScriptedPrompts prompts;
    VectorLog log;
    MidiOutput out(clock, log, prompts);
    test::ManualPump pump(clock);

    // Readings go on past 360000 instead of falling back to 0.
    ASSERT_TRUE(out.waitUntil(360010, pump));
    EXPECT_GE(clock.reading(), 360010);
    EXPECT_LE(clock.micros(), 360010LL * 10000 + 1000);
    EXPECT_GT(pump.calls, 0);
    // The last stretch is slept to the deadline rather than pumped past it.
    EXPECT_GE(clock.sleeps, 1);

    // A line logged after the hour measures from the reset before it without going negative.
    out.logStartTime = 359000;
    out.sendAndLog(0x91, 0x40, 0x64);
    EXPECT_EQ(log.lines.back(), "91406400-1010");
}

TEST(Clock, WaitReturnsAtOnceForPastTargetsAndStopsWhenCancelled) {
    test::ManualClock clock;
    clock.setCentis(5000);
    test::ScriptedPrompts prompts;
    VectorLog log;
    MidiOutput out(clock, log, prompts);
    test::ManualPump pump(clock);

    EXPECT_TRUE(out.waitUntil(4000, pump));
    EXPECT_TRUE(out.waitUntil(5000, pump));
    EXPECT_EQ(pump.calls, 0);

    // A "Stop" pressed while waiting ends the wait long before its target.
    bool stop = false;
    pump.onPump = [&] { stop = pump.calls >= 3; };
    EXPECT_FALSE(out.waitUntil(5000 + 6000, pump, [&] { return stop; }));
    EXPECT_LT(clock.reading(), 5100);
}

} // namespace
} // namespace fw
