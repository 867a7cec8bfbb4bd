#include "app/qt_beat_timer.h"
#include "engine/clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace fw {
namespace {

void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

TEST(BeatTimerTempo, ANewIntervalCountsFromTheLastBeat) {
    BeatTimer timer;
    timer.setInterval(1000);
    timer.start();
    const std::int64_t started = timer.lastBeatDue();
    EXPECT_EQ(timer.nextDeadline(), started + 1000000);
    timer.setInterval(400);
    EXPECT_EQ(timer.nextDeadline(), started + 400000);
    // The same interval again leaves the beat where it is.
    timer.setInterval(400);
    EXPECT_EQ(timer.nextDeadline(), started + 400000);
}

TEST(BeatTimerTempo, WhileClockIsSentANewIntervalCountsFromTheNextBeat) {
    BeatTimer timer;
    timer.setTempoFromNextBeat(true);
    timer.setInterval(1000);
    timer.start();
    const std::int64_t next = timer.nextDeadline();
    timer.setInterval(400);
    EXPECT_EQ(timer.nextDeadline(), next);
}

TEST(BeatTimerTempo, FollowingBeatsComeWhenAskedAndTheOwnBeatsTakeOverAfter) {
    BeatTimer timer;
    std::vector<std::optional<std::int64_t>> beats;
    QObject::connect(&timer, &BeatTimer::timeout, [&] { beats.push_back(timer.beatUnderWay()); });
    timer.setInterval(20);
    timer.start();
    timer.setFollowing(true);
    runEventsFor(50);
    EXPECT_TRUE(beats.empty()) << "no beats of its own while following";

    const std::int64_t due = monotonicMicros() + 10000;
    timer.beatAt(due);
    runEventsFor(30);
    ASSERT_EQ(beats.size(), 1u);
    EXPECT_EQ(beats[0], due);
    EXPECT_FALSE(timer.beatUnderWay());
    timer.beatAt(monotonicMicros() - 1000); // already due: at once
    EXPECT_EQ(beats.size(), 2u);
    timer.beatAt(monotonicMicros() + 10000);
    timer.cancelBeat();
    runEventsFor(30);
    EXPECT_EQ(beats.size(), 2u);

    const std::int64_t last = timer.lastBeatDue();
    timer.setFollowing(false);
    EXPECT_GE(timer.nextDeadline(), last + 20000);
    EXPECT_LE(timer.nextDeadline(), monotonicMicros() + 20000);
    runEventsFor(70);
    EXPECT_GE(beats.size(), 4u);
}

TEST(BeatTimerTempo, DraggingTheTempoBarDoesNotHoldTheBeatBack) {
    // The pitch updater sets the interval every 5 ms; while the "T" bar moves, it changes
    // every time. Beats must keep coming meanwhile.
    BeatTimer timer;
    int beats = 0;
    QObject::connect(&timer, &BeatTimer::timeout, [&] { ++beats; });
    timer.setInterval(40);
    timer.start();
    QTimer drag;
    int step = 0;
    QObject::connect(&drag, &QTimer::timeout, [&] { timer.setInterval(40 + (++step % 2)); });
    drag.start(5);
    runEventsFor(450);
    EXPECT_GE(beats, 5);
}

TEST(BeatTimerTempo, AStallDropsBeatsButKeepsTheGrid) {
    BeatTimer timer;
    std::vector<std::int64_t> due;
    QObject::connect(&timer, &BeatTimer::timeout, [&] {
        due.push_back(timer.lastBeatDue());
        if (due.size() == 2) // the window is busy for three beats
            std::this_thread::sleep_for(std::chrono::milliseconds(70));
    });
    timer.setInterval(20);
    timer.start();
    runEventsFor(300);
    ASSERT_GE(due.size(), 6u);
    bool dropped = false;
    for (std::size_t i = 1; i < due.size(); ++i) {
        EXPECT_EQ((due[i] - due[0]) % 20000, 0) << "beat " << i << " left the grid";
        EXPECT_GT(due[i], due[i - 1]);
        dropped = dropped || due[i] - due[i - 1] > 20000;
    }
    EXPECT_TRUE(dropped);
}

} // namespace
} // namespace fw
