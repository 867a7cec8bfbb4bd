#include "engine/midi_clock.h"

#include "play/beat_sync.h"
#include "support/engine_rig.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <thread>

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

// A transport whose server, rolling and events the test sets.
struct FakeTransport final : TransportPort {
    bool server = true, opened = false;
    double master = 0, own = 0;
    std::deque<Event> events;
    bool open() override { return opened = server; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    bool alive() const override { return opened && server; }
    bool rolling() const override { return alive(); }
    void setOwnBpm(double bpm) override { own = bpm; }
    double masterBpm() const override { return master; }
    bool next(Event& e) override {
        if (events.empty())
            return false;
        e = events.front();
        events.pop_front();
        return true;
    }
};

// The sync on the manual clock: one input, "Drums", whose bytes come from a thread of their own.
struct SyncRig : EngineRig {
    struct Input final : MidiInputPort {
        explicit Input(Handler& to) : to_(to) {}
        bool open(Handler h) override { return (to_ = std::move(h)), true; }
        void close() override { to_ = nullptr; }
        Handler& to_;
    };
    Settings settings;
    BeatGrid grid{clock};
    MidiInputPort::Handler input;
    FakeTransport* transport = nullptr;
    std::vector<std::int64_t> beats;
    std::vector<bool> following;
    int waiting = 0, stops = 0;

    std::unique_ptr<BeatSync> make() {
        auto t = std::make_unique<FakeTransport>();
        transport = t.get();
        auto inputs = std::make_unique<MidiInputs>(
            [] { return std::vector<std::string>{"alsa:Drums 128:0"}; },
            [this](const std::string&) { return std::make_unique<Input>(input); });
        auto s = std::make_unique<BeatSync>(out, grid, settings, std::move(inputs), std::move(t));
        s->inputWaiting = [this] { ++waiting; };
        s->stopped = [this] { ++stops; };
        s->followingChanged = [this](bool on) { following.push_back(on); };
        return s;
    }
    SyncRig() {
        port.open();
        grid.onBeat = [this] { beats.push_back(*grid.beatUnderWay()); };
        grid.setInterval(500);
        grid.start();
    }
    // Bytes as the input's thread hands them over, at the time they came.
    void hear(std::vector<std::uint8_t> bytes) {
        std::thread([&] { input(bytes.data(), bytes.size(), clock.stampMicros()); }).join();
    }
};

TEST(BeatSync, FollowsAnInputsClockOrTheTransportOneAtATimeAndKeepsTheChoices) {
    SyncRig rig;
    std::unique_ptr<BeatSync> sync = rig.make();
    sync->rescanInputs();
    sync->chooseInput(1);
    EXPECT_EQ(readInputChoice(rig.settings), "alsa:Drums 128:0");
    sync->setFollowMidiClock(true);
    EXPECT_TRUE(rig.grid.following());
    EXPECT_EQ(sync->stateText(), "Waiting for MIDI clock...");
    EXPECT_EQ(sync->followedTempoText(), "- BPM");

    rig.hear({0x90, 0x40, 0x7F});
    EXPECT_EQ(rig.waiting, 0) << "only what the follower reads crosses";
    rig.hear({kMidiStart});
    const std::int64_t first = rig.clock.stampMicros();
    for (int i = 0; i < 25; ++i, rig.clock.advanceMicros(20000))
        rig.hear({kMidiClock});
    EXPECT_TRUE(rig.beats.empty()) << "nothing before the owner takes the input";
    sync->takeInput();
    EXPECT_EQ(rig.beats, (std::vector<std::int64_t>{first, first + 24 * 20000}));
    EXPECT_EQ(sync->followedTempoText(), "125.0 BPM");
    EXPECT_EQ(sync->stateText(), "Following at 125.0 BPM.");
    // Clocks go out at the followed tempo, not the sequencer's own.
    sync->setSending(true);
    sync->afterBeat(first);
    const auto sent = realtime(rig.port, first);
    ASSERT_EQ(sent.size(), 25u);
    EXPECT_EQ(sent[2], "F8@20000");
    rig.hear({kMidiStop});
    sync->takeInput();
    EXPECT_EQ(rig.stops, 1);

    // The transport takes over from MIDI clock.
    sync->setFollowTransport(true);
    EXPECT_FALSE(sync->followsMidiClock());
    EXPECT_EQ(rig.following, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(sync->transportPollWanted());
    rig.transport->master = 150;
    const std::int64_t now = rig.clock.stampMicros();
    using Kind = TransportPort::Event::Kind;
    rig.transport->events = {{Kind::Beat, now + 100000, 150, true}, {Kind::Withdrawn, now}};
    sync->pollTransport();
    EXPECT_EQ(rig.transport->own, 120.0) << "the tempo without a timebase master";
    rig.clock.advanceMicros(200000);
    rig.grid.wake();
    EXPECT_EQ(rig.beats.size(), 2u) << "a withdrawn beat is not given";
    rig.transport->events = {{Kind::Beat, now + 200000, 150, true}, {Kind::Stopped, now}};
    sync->pollTransport();
    EXPECT_EQ(rig.beats.back(), now + 200000);
    EXPECT_EQ(rig.stops, 2);
    EXPECT_EQ(sync->followedTempoText(), "150.0 BPM");
    EXPECT_EQ(sync->stateText(), "Following JACK transport at 150.0 BPM.");

    // The server goes: the sequencer keeps its own time, and the box waits for a server.
    rig.transport->server = false;
    sync->checkState();
    EXPECT_FALSE(sync->followingAny());
    EXPECT_FALSE(sync->transportPollWanted());
    EXPECT_EQ(sync->stateText(), "No JACK server runs.");

    // The next start takes up sending, the transport and the input.
    sync->shutDown();
    EXPECT_EQ(realtime(rig.port).back(), "FC");
    std::unique_ptr<BeatSync> again = rig.make();
    again->restoreSettings();
    EXPECT_TRUE(again->sending());
    EXPECT_TRUE(again->followsTransport());
    EXPECT_EQ(again->inputRow(), 1);
    // Following MIDI clock instead is what the start after that finds.
    again->setFollowMidiClock(true);
    EXPECT_EQ(rig.settings.value("follow-jack-transport"), std::nullopt);
}

} // namespace
} // namespace fw::test
