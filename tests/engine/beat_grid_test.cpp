#include "engine/beat_grid.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace fw {
namespace {

using test::ManualClock;

// The grid on a manual clock, with the waker a window timer would be: it remembers the wake-up
// asked for, and the test moves the clock and wakes the grid when it chooses.
struct GridRig {
    explicit GridRig(std::int64_t start = 1'000'000) : clock(start), grid(clock) {
        grid.wakeWanted = [this](std::optional<std::int64_t> at) { wakeAt = at; };
        grid.onBeat = [this] {
            beats.push_back(*grid.beatUnderWay());
            if (onBeat)
                onBeat();
        };
    }
    // Runs the clock to `until`, waking the grid when it asked, late by `late` each time.
    void runTo(std::int64_t until, std::int64_t late = 0) {
        while (wakeAt && *wakeAt + late <= until) {
            const std::int64_t at = *wakeAt + late;
            if (at > clock.micros())
                clock.advanceMicros(at - clock.micros());
            grid.wake();
        }
        if (until > clock.micros())
            clock.advanceMicros(until - clock.micros());
    }

    ManualClock clock;
    BeatGrid grid;
    std::optional<std::int64_t> wakeAt;
    std::vector<std::int64_t> beats;
    std::function<void()> onBeat;
};

TEST(BeatGrid, BeatsKeepAGridThatDoesNotDriftHoweverLateTheWakeUps) {
    const struct {
        const char* name;
        int intervalMs;
        std::int64_t late; // each wake-up after the time asked
    } cases[] = {
        {"woken on time", 60, 0},
        {"woken late by a millisecond", 60, 1000},
        {"woken late by more than the hand-over", 60, 2500},
        {"a short beat", 4, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridRig rig;
        rig.grid.setInterval(c.intervalMs);
        rig.grid.start();
        const std::int64_t started = rig.grid.lastBeatDue();
        const std::int64_t period = c.intervalMs * 1000;
        EXPECT_EQ(rig.grid.nextDeadline(), started + period);
        rig.runTo(started + 20 * period + period / 2, c.late);
        ASSERT_EQ(rig.beats.size(), 20u);
        for (std::size_t i = 0; i < rig.beats.size(); ++i)
            EXPECT_EQ(rig.beats[i], started + static_cast<std::int64_t>(i + 1) * period);
        EXPECT_FALSE(rig.grid.beatUnderWay());
    }
}

TEST(BeatGrid, ABeatIsHandedOverShortlyBeforeItIsDueAndNeverSleptTo) {
    GridRig rig;
    rig.grid.setInterval(100);
    rig.grid.start();
    const std::int64_t due = rig.grid.nextDeadline();
    ASSERT_TRUE(rig.wakeAt);
    EXPECT_EQ(*rig.wakeAt, due - BeatGrid::kHandOverMicros);
    // A timer that fires before the time asked is sent back to wait.
    rig.clock.advanceMicros(*rig.wakeAt - 500 - rig.clock.micros());
    rig.grid.wake();
    EXPECT_TRUE(rig.beats.empty());
    EXPECT_EQ(*rig.wakeAt, due - BeatGrid::kHandOverMicros);
    rig.runTo(*rig.wakeAt);
    ASSERT_EQ(rig.beats.size(), 1u);
    EXPECT_EQ(rig.beats[0], due);
    EXPECT_LT(rig.clock.micros(), due);
    EXPECT_EQ(rig.clock.sleeps, 0);
}

TEST(BeatGrid, ANewIntervalCountsFromTheLastBeatOrFromTheNextWhileClockIsSent) {
    const struct {
        const char* name;
        bool tempoFromNextBeat;
        int then;                 // the new interval
        std::int64_t afterMicros; // how long after the start it is set
        std::int64_t nextAfterStart;
    } cases[] = {
        {"shorter", false, 400, 0, 400'000},
        {"the same again", false, 1000, 0, 1'000'000},
        {"shorter than the time gone: at once", false, 400, 600'000, 600'000},
        {"sending clock: the beat under way stays", true, 400, 0, 1'000'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GridRig rig;
        rig.grid.setTempoFromNextBeat(c.tempoFromNextBeat);
        rig.grid.setInterval(1000);
        rig.grid.start();
        const std::int64_t started = rig.grid.lastBeatDue();
        rig.clock.advanceMicros(c.afterMicros);
        rig.grid.setInterval(c.then);
        EXPECT_EQ(rig.grid.nextDeadline(), started + c.nextAfterStart);
        EXPECT_EQ(*rig.wakeAt, rig.grid.nextDeadline() - BeatGrid::kHandOverMicros);
    }
}

TEST(BeatGrid, DraggingTheTempoBarDoesNotHoldTheBeatBack) {
    // The pitch updater sets the interval every 5 ms; while the "T" bar moves it changes every
    // time, and the beats must keep coming meanwhile.
    GridRig rig;
    rig.grid.setInterval(40);
    rig.grid.start();
    const std::int64_t started = rig.clock.micros();
    for (int step = 1; step <= 90; ++step) {
        rig.runTo(started + step * 5000);
        rig.grid.setInterval(40 + step % 2);
    }
    EXPECT_GE(rig.beats.size(), 10u);
}

TEST(BeatGrid, AStallDropsBeatsButKeepsTheGrid) {
    GridRig rig;
    rig.grid.setInterval(20);
    rig.grid.start();
    const std::int64_t started = rig.grid.lastBeatDue();
    rig.onBeat = [&] {
        if (rig.beats.size() == 2) // the window is busy for three beats
            rig.clock.advanceMicros(70'000);
    };
    rig.runTo(started + 300'000);
    ASSERT_GE(rig.beats.size(), 8u);
    bool dropped = false;
    for (std::size_t i = 0; i < rig.beats.size(); ++i) {
        EXPECT_EQ((rig.beats[i] - started) % 20'000, 0) << "beat " << i << " left the grid";
        if (i > 0) {
            EXPECT_GT(rig.beats[i], rig.beats[i - 1]);
            dropped = dropped || rig.beats[i] - rig.beats[i - 1] > 20'000;
        }
    }
    EXPECT_TRUE(dropped);
}

TEST(BeatGrid, FollowingBeatsComeWhenAskedAndTheOwnBeatsTakeOverAfter) {
    GridRig rig;
    rig.grid.setInterval(20);
    rig.grid.start();
    rig.grid.setFollowing(true);
    EXPECT_FALSE(rig.wakeAt);
    rig.runTo(rig.clock.micros() + 50'000);
    EXPECT_TRUE(rig.beats.empty()) << "no beats of its own while following";

    const struct {
        const char* name;
        std::int64_t ahead; // the beat asked for, from now
        bool cancelled;
        std::size_t beatsAfter;
    } asks[] = {
        {"ahead: when due", 10'000, false, 1},
        {"already due: at once", -1'000, false, 2},
        {"within the hand-over: at once", 1'000, false, 3},
        {"withdrawn", 10'000, true, 3},
    };
    for (const auto& a : asks) {
        SCOPED_TRACE(a.name);
        const std::int64_t due = rig.clock.micros() + a.ahead;
        rig.grid.beatAt(due);
        if (a.cancelled)
            rig.grid.cancelBeat();
        rig.runTo(rig.clock.micros() + 30'000);
        ASSERT_EQ(rig.beats.size(), a.beatsAfter);
        if (!a.cancelled) {
            EXPECT_EQ(rig.beats.back(), due);
        }
    }
    // A beat asked for while another still waits: both, in order.
    const std::int64_t first = rig.clock.micros() + 10'000;
    rig.grid.beatAt(first);
    rig.grid.beatAt(first + 5'000);
    rig.runTo(rig.clock.micros() + 30'000);
    ASSERT_EQ(rig.beats.size(), 5u);
    EXPECT_EQ(rig.beats[3], first);
    EXPECT_EQ(rig.beats[4], first + 5'000);

    const std::int64_t last = rig.grid.lastBeatDue();
    rig.clock.advanceMicros(5'000);
    rig.grid.setFollowing(false);
    EXPECT_EQ(rig.grid.nextDeadline(), rig.clock.micros()) << "one interval after the last beat";
    rig.grid.setFollowing(true);
    rig.grid.setFollowing(false);
    EXPECT_GE(rig.grid.nextDeadline(), last + 20'000);
    rig.runTo(rig.clock.micros() + 70'000);
    EXPECT_GE(rig.beats.size(), 8u);
}

TEST(BeatGrid, StoppedItAsksForNoWakeUpAndGivesNoBeat) {
    GridRig rig;
    rig.grid.setInterval(20);
    rig.grid.start();
    rig.grid.stop();
    EXPECT_FALSE(rig.wakeAt);
    rig.grid.wake();
    rig.grid.setFollowing(true);
    rig.grid.beatAt(rig.clock.micros());
    EXPECT_TRUE(rig.beats.empty());
}

} // namespace
} // namespace fw
