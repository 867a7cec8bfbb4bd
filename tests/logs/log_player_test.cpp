#include "engine/log_sink.h"
#include "engine/midi_output.h"
#include "logs/log_player.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <optional>

namespace fw {
namespace {

using test::ManualClock;
using test::ManualWakeTimer;
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
    ManualWakeTimer wake{clock};
    LogPlayer player{out, wake};
    VectorSource log;
    std::optional<LogPlayer::Result> ended;

    PlayerRig() { out.setPort(&port); }
    std::int64_t due(int centis) const { return player.replayStartMicros + centis * 10000LL; }
    // Starts a playback and runs it to its end, `between` running before every wake.
    LogPlayer::Result play(const std::function<void()>& between = {}) {
        ended.reset();
        EXPECT_TRUE(player.play(log, [this](const LogPlayer::Result& r) { ended = r; }));
        wake.runAll(between);
        EXPECT_TRUE(ended.has_value());
        EXPECT_FALSE(player.running());
        return ended.value_or(LogPlayer::Result{});
    }
};

TEST(LogPlayer, SendsEachLineWhenDueWithoutLoggingIt) {
    PlayerRig rig;
    // Across the full hour of the wall clock, with equal times, and the fourth byte not sent.
    rig.log.lines = {"C1190000-0", "91405A00-30", "91475A7F-30", "91400000-2500", "E1004000-9000"};
    const int logBefore = static_cast<int>(rig.playLog.lines.size());
    const auto result = rig.play();
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
    // One wake for each distinct time after the start; the window thread was free between.
    EXPECT_EQ(rig.wake.fired, 3);
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
    const auto result = rig.play();
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
    // A stop before the playback does not end it.
    rig.player.stop();
    const auto result = rig.play([&] {
        if (rig.clock.micros() > rig.due(50)) {
            // Half an hour before the next line is due: stop ends the playback at once.
            rig.clock.advanceCentis(400);
            rig.player.stop();
        }
    });
    EXPECT_EQ(result.end, LogPlayer::End::Stopped);
    ASSERT_EQ(rig.port.sent.size(), 2u);
    EXPECT_FALSE(rig.wake.pending());
    EXPECT_EQ(rig.port.resets, 2);
}

TEST(LogPlayer, ABadTimeEndsThePlaybackAfterTheLinesBeforeIt) {
    PlayerRig rig;
    rig.log.lines = {"90400000-0", "90410000-10", "9042000", "90430000-20"};
    const auto result = rig.play();
    EXPECT_EQ(result.end, LogPlayer::End::Failed);
    // The line is named, as a load names it.
    EXPECT_EQ(result.error, "Line 3 \"9042000\": '' is not a valid integer value");
    EXPECT_EQ(rig.port.sent.size(), 2u);
}

TEST(LogPlayer, LogChangesDuringPlaybackAndNesting) {
    PlayerRig rig;
    rig.log.lines = {"90400000-0", "90410000-50"};
    bool added = false;
    bool nested = true;
    const auto result = rig.play([&] {
        if (!added) {
            // Lines the user adds while it plays are played; a second playback is refused.
            added = true;
            rig.log.lines.push_back("90420000-60");
            nested = rig.player.play(rig.log, {});
        }
    });
    EXPECT_FALSE(nested);
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(result.sent, 3);
    EXPECT_EQ(rig.port.sent.back().micros, rig.due(60));
}

TEST(LogPlayer, AnOutputThatCannotOpenIsReportedOncePerPlayback) {
    PlayerRig rig;
    rig.port.failOpen = true;
    rig.log.lines = {"90400000-0", "90410000-1"};
    const auto result = rig.play();
    EXPECT_EQ(result.end, LogPlayer::End::Finished);
    EXPECT_EQ(rig.prompts.messages, std::vector<std::string>{"Error opening MIDI Output.\n"});
    EXPECT_TRUE(rig.port.sent.empty());
    // An empty log still opens and resets, and sends nothing.
    rig.port.failOpen = false;
    rig.log.lines.clear();
    EXPECT_EQ(rig.play().sent, 0);
    EXPECT_EQ(rig.port.resets, 2);
}

} // namespace
} // namespace fw
