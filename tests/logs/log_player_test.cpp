#include "engine/log_sink.h"
#include "engine/midi_output.h"
#include "logs/log_player.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using test::ManualClock;
using test::ManualPump;
using test::RecordingMidiPort;
using test::ScriptedPrompts;

class VectorSource final : public LogSource {
public:
    std::vector<std::string> lines;
    int lineCount() const override { return static_cast<int>(lines.size()); }
    std::string line(int i) const override { return lines[static_cast<std::size_t>(i)]; }
};

struct PlayerRig {
    // Start late in an hour of the wall clock: the play clock runs on past it.
    ManualClock clock{static_cast<std::int64_t>(359'950) * 10000 + 4321};
    ScriptedPrompts prompts;
    VectorLog playLog;
    RecordingMidiPort port{&clock};
    MidiOutput out{clock, playLog, prompts};
    ManualPump pump{clock};
    LogPlayer player{out, pump};
    VectorSource log;

    PlayerRig() { out.setPort(&port); }
    std::int64_t due(int centis) const { return player.replayStartMicros + centis * 10000LL; }
};

TEST(LogPlayer, SendsEachLineWhenDueWithoutLoggingIt) {
    PlayerRig rig;
    // Across the full hour of the wall clock, with equal times, and the fourth byte not sent.
    rig.log.lines = {"C1190000-0", "91405A00-30", "91475A7F-30", "91400000-2500", "E1004000-9000"};
    const int logBefore = static_cast<int>(rig.playLog.lines.size());
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(result.sent, 5);
    ASSERT_EQ(rig.port.sent.size(), 5u);
    EXPECT_EQ(rig.player.replayStartTime, 359'950);
    const int times[] = {0, 30, 30, 2500, 9000};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(rig.port.sent[i].micros, rig.due(times[i])) << i;
    EXPECT_EQ(rig.port.sent[2].data1, 0x47);
    EXPECT_EQ(rig.port.sent[2].data2, 0x5A);
    EXPECT_EQ(rig.port.sent[4].status, 0xE1);
    // The window was served during the long waits, and the last stretch was slept.
    EXPECT_GT(rig.pump.calls, 4000);
    EXPECT_GE(rig.clock.sleeps, 3);
    EXPECT_EQ(static_cast<int>(rig.playLog.lines.size()), logBefore);
    // The output was opened and reset at the start, not at a natural end.
    EXPECT_EQ(rig.port.openCalls, 1);
    EXPECT_EQ(rig.port.resets, 1);
    EXPECT_TRUE(rig.prompts.messages.empty());
}

TEST(LogPlayer, LateAndNegativeLinesGoAtOnceAndBadBytesAreSkipped) {
    PlayerRig rig;
    rig.log.lines = {"90400000-100", "90410000-20",  "90420000--360000", "F0414100-150",
                     "90808000-150", "9043000Z-150", "91440000-160"};
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(result.sent, 5);
    EXPECT_EQ(result.skipped, 2);
    ASSERT_EQ(rig.port.sent.size(), 5u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(rig.port.sent[i].micros, rig.due(100)) << i;
    EXPECT_EQ(rig.port.sent[3].micros, rig.due(150));
    EXPECT_EQ(rig.port.sent[3].data1, 0x43);
    EXPECT_EQ(rig.port.sent[4].micros, rig.due(160));
    for (const auto& m : rig.port.sent)
        EXPECT_TRUE(m.status >= 0x80 && m.status < 0xF0 && m.data1 < 0x80 && m.data2 < 0x80);
}

TEST(LogPlayer, StopEndsAWaitAtOnceAndResetsTheOutput) {
    PlayerRig rig;
    rig.log.lines = {"90400000-0", "90410000-100", "90420000-200000", "90430000-200001"};
    // A stop left over from before the playback does not end it.
    rig.player.stop();
    std::int64_t pressedAt = 0;
    rig.pump.onPump = [&] {
        if (pressedAt == 0 && rig.clock.micros() > rig.due(500)) {
            pressedAt = rig.clock.micros();
            rig.player.stop();
        }
    };
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(result.end, LogPlayer::End::Stopped);
    ASSERT_EQ(rig.port.sent.size(), 2u);
    // The wait for the line half an hour away ended within one turn of the event loop.
    EXPECT_LT(rig.clock.micros() - pressedAt, 25'000);
    EXPECT_EQ(rig.port.resets, 2);
    EXPECT_FALSE(rig.player.replayStop);
    EXPECT_FALSE(rig.player.running());
}

TEST(LogPlayer, ABadTimeEndsThePlaybackAfterTheLinesBeforeIt) {
    PlayerRig rig;
    rig.log.lines = {"90400000-0", "90410000-10", "9042000", "90430000-20"};
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(result.end, LogPlayer::End::Failed);
    EXPECT_EQ(result.error, "'' is not a valid integer value");
    EXPECT_EQ(rig.port.sent.size(), 2u);
    EXPECT_FALSE(rig.player.running());
}

TEST(LogPlayer, LogChangesDuringPlaybackAndNesting) {
    PlayerRig rig;
    rig.log.lines = {"90400000-0", "90410000-50"};
    bool added = false;
    LogPlayer::Result nested;
    rig.pump.onPump = [&] {
        if (!added) {
            // Lines the user adds while it plays are played; a second playback is refused.
            added = true;
            rig.log.lines.push_back("90420000-60");
            nested = rig.player.play(rig.log);
        }
    };
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(nested.end, LogPlayer::End::Busy);
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(result.sent, 3);
    EXPECT_EQ(rig.port.sent.back().micros, rig.due(60));
}

TEST(LogPlayer, AnOutputThatCannotOpenIsReportedOncePerPlayback) {
    PlayerRig rig;
    rig.port.failOpen = true;
    rig.log.lines = {"90400000-0", "90410000-1"};
    const auto result = rig.player.play(rig.log);
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{"Error opening MIDI Output.\n"});
    EXPECT_TRUE(rig.port.sent.empty());
    // An empty log still opens and resets, and sends nothing.
    rig.port.failOpen = false;
    rig.log.lines.clear();
    EXPECT_EQ(rig.player.play(rig.log).sent, 0);
    EXPECT_EQ(rig.port.resets, 2);
}

} // namespace
} // namespace fw
