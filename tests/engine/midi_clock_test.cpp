#include "engine/midi_clock.h"

#include "support/engine_rig.h"

#include <gtest/gtest.h>

#include <string>

namespace fw::test {
namespace {

// The system real-time messages a port received, as "FA", "F8@stamp", "FC".
std::vector<std::string> realtime(const RecordingMidiPort& port, std::int64_t stampBase = -1) {
    std::vector<std::string> out;
    for (const auto& m : port.sent) {
        if (!MidiMessage(m.status).isSystemRealtime())
            continue;
        char text[40];
        if (m.status == kMidiClock && stampBase >= 0)
            std::snprintf(text, sizeof text, "F8@%lld",
                          static_cast<long long>(m.stamp - stampBase));
        else
            std::snprintf(text, sizeof text, "%02X", m.status);
        out.emplace_back(text);
    }
    return out;
}

TEST(MidiClockOut, StartsSendsTwentyFourClocksABeatAfterTheNotesAndStops) {
    EngineRig rig;
    MidiClockOut clock(rig.out);
    rig.port.open();
    clock.setSending(true);
    rig.out.sendAndLog(0x91, 40, 100); // a beat's note goes first
    clock.beat(1000000, 480000);
    const auto sent = realtime(rig.port, 1000000);
    ASSERT_EQ(sent.size(), 25u);
    EXPECT_EQ(sent[0], "FA");
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(sent[static_cast<std::size_t>(i) + 1], "F8@" + std::to_string(i * 20000));
    EXPECT_EQ(rig.port.sent[1].status, 0x91);

    clock.setSending(false);
    EXPECT_EQ(realtime(rig.port).back(), "FC");
    EXPECT_EQ(rig.port.dropped, std::vector<int>{kMidiClock}) << "clocks still due go first";
    clock.beat(2000000, 480000);
    EXPECT_EQ(realtime(rig.port).size(), 26u) << "nothing after Stop";
    // The play log has the note only, and the shared message is the note's.
    EXPECT_EQ(rig.log.lines.size(), 1u);
    EXPECT_EQ(rig.out.midiMsg.status(), 0x91);
}

TEST(MidiClockOut, AnOutputOpenedLaterOrChosenAnewHearsStartAndStartUpBeatsSendNoClocks) {
    EngineRig rig;
    MidiClockOut clock(rig.out);
    clock.setSending(true); // the output is not open yet
    EXPECT_TRUE(rig.port.sent.empty());
    rig.port.open();
    clock.beat(1000, 1000); // a start-up beat, before the tempo is read
    EXPECT_TRUE(rig.port.sent.empty());
    clock.beat(5000, 240000);
    ASSERT_EQ(realtime(rig.port).size(), 25u);
    EXPECT_EQ(realtime(rig.port)[0], "FA");

    RecordingMidiPort other;
    other.open();
    rig.out.setPort(&other);
    clock.outputChanged();
    EXPECT_EQ(realtime(rig.port).back(), "FC");
    EXPECT_EQ(realtime(other), std::vector<std::string>{"FA"});
    clock.beat(245000, 240000);
    EXPECT_EQ(realtime(other).size(), 25u);
    EXPECT_EQ(realtime(rig.port).size(), 26u);
}

TEST(MidiClockFollower, BeatsOnEveryTwentyFourthClockOnceStartedAndStopsOnStop) {
    MidiClockFollower f;
    std::vector<int> beats;
    int clocks = 0;
    const auto clockAt = [&](std::int64_t t) {
        if (f.feed(kMidiClock, t) == MidiClockFollower::Event::Beat)
            beats.push_back(clocks);
        ++clocks;
    };
    for (int i = 0; i < 30; ++i)
        clockAt(i * 1000); // not armed yet
    EXPECT_TRUE(beats.empty());
    // What is not clock or transport means nothing, whole or truncated.
    for (int byte : {0x90, 0x40, 0xF0, 0x7E, 0xF7, 0xF9, 0xFE, 0xFF, 0x00})
        EXPECT_EQ(f.feed(byte, 0), MidiClockFollower::Event::None);
    f.feed(kMidiStart, 30000);
    clocks = 0;
    for (int i = 0; i < 49; ++i)
        clockAt(31000 + i * 1000);
    EXPECT_EQ(beats, (std::vector<int>{0, 24, 48}));

    EXPECT_EQ(f.feed(kMidiStop, 90000), MidiClockFollower::Event::Stop);
    beats.clear();
    for (int i = 0; i < 30; ++i)
        clockAt(91000 + i * 1000);
    EXPECT_TRUE(beats.empty());
    f.feed(kMidiContinue, 130000);
    clocks = 0;
    clockAt(131000);
    EXPECT_EQ(beats, std::vector<int>{0}) << "Continue starts a beat at the next clock";
}

TEST(MidiClockFollower, MeasuresTheTempoOverTheLastBeat) {
    MidiClockFollower f;
    EXPECT_FALSE(f.bpm());
    std::int64_t t = 1000000;
    f.feed(kMidiClock, t);
    EXPECT_FALSE(f.bpm());
    const auto clocks = [&](int n, std::int64_t spacing) {
        for (int i = 0; i < n; ++i)
            f.feed(kMidiClock, t += spacing);
    };
    clocks(30, 20833); // 120 BPM
    EXPECT_NEAR(*f.bpm(), 120.0, 0.01);
    clocks(12, 27778); // to 90 BPM: half a beat in, the measure is between
    EXPECT_GT(*f.bpm(), 95.0);
    clocks(12, 27778);
    EXPECT_NEAR(*f.bpm(), 90.0, 0.01);
    // A source that paused and started again is measured afresh.
    t += 5000000;
    f.feed(kMidiClock, t);
    clocks(1, 10417);
    EXPECT_NEAR(*f.bpm(), 240.0, 0.1);
    EXPECT_EQ(f.lastClock(), t);
}

} // namespace
} // namespace fw::test
