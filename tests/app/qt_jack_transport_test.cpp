// "Follow JACK Transport" on a JACK server of the test's own (the transport rolls here): the
// sequencer beats on the timebase master's beats at its tempo, only while the transport rolls,
// and a stop silences it.
#include "app/qt_beat_timer.h"
#include "play/qt_midi_sync_group.h"
#include "support/private_jack.h"
#include "support/qt_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <jack/transport.h>

#include <cmath>
#include <functional>

namespace fw {
namespace {

// A timebase master at a fixed tempo in 4/4, its bars, beats and ticks taken from the frame.
class TimebaseMaster {
public:
    explicit TimebaseMaster(double bpm) : bpm_(bpm) {
        client_ = jack_client_open("fwmaster", JackNoStartServer, nullptr);
        if (!client_)
            return;
        jack_activate(client_);
        jack_transport_stop(client_);
        jack_position_t zero{};
        jack_transport_reposition(client_, &zero);
        jack_set_timebase_callback(client_, 0, &TimebaseMaster::timebase, this);
    }
    ~TimebaseMaster() {
        if (client_) {
            jack_transport_stop(client_);
            jack_client_close(client_);
        }
    }
    bool ok() const { return client_ != nullptr; }
    void start() { jack_transport_start(client_); }
    void stop() { jack_transport_stop(client_); }
    void release() { jack_release_timebase(client_); }

private:
    static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos, int,
                         void* self) {
        const double bpm = static_cast<TimebaseMaster*>(self)->bpm_;
        const double beats = pos->frame * bpm / (60.0 * pos->frame_rate);
        const auto whole = static_cast<std::int64_t>(std::floor(beats));
        pos->valid = JackPositionBBT;
        pos->beats_per_bar = 4;
        pos->beat_type = 4;
        pos->ticks_per_beat = 1920;
        pos->beats_per_minute = bpm;
        pos->bar = static_cast<std::int32_t>(whole / 4 + 1);
        pos->beat = static_cast<std::int32_t>(whole % 4 + 1);
        pos->tick = static_cast<std::int32_t>((beats - static_cast<double>(whole)) * 1920);
        pos->bar_start_tick = 0;
    }

    double bpm_;
    jack_client_t* client_ = nullptr;
};

// Runs the window's events until done() or ten seconds passed.
bool runUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 10000)
        QTest::qWait(5);
    return done();
}

// The tempo the beats' due times give: every beat there (none doubled or left out), and their
// mean spacing that of `bpm`. Their exactness is measured in bench_jack_transport; a test on a
// busy machine only checks the tempo.
void expectTempo(const std::vector<std::int64_t>& due, std::size_t from, double bpm) {
    const double beat = 60e6 / bpm;
    ASSERT_GT(due.size(), from + 2);
    for (std::size_t i = from + 1; i < due.size(); ++i)
        EXPECT_NEAR(static_cast<double>(due[i] - due[i - 1]), beat, beat / 4) << "beat " << i;
    const double mean =
        static_cast<double>(due.back() - due[from]) / static_cast<double>(due.size() - from - 1);
    EXPECT_NEAR(mean, beat, beat / 100);
}

TEST(JackTransport, BeatsOnTheMastersBeatsWhileItRollsAndStopSilences) {
    test::PrivateJack jack("fwtransport");
    ASSERT_TRUE(jack.up()) << jack.why();
    TimebaseMaster master(150.0);
    ASSERT_TRUE(master.ok());
    test::MainWindowHarness h(false);
    TForm1& f = *h.form;
    MidiSyncGroup& sync = *f.MidiSync;
    std::vector<std::int64_t> beats;
    QObject::connect(f.Timer2, &BeatTimer::timeout,
                     [&] { beats.push_back(f.Timer2->lastBeatDue()); });

    EXPECT_EQ(sync.FollowJackTransport->text(), "Follow JACK Transport");
    sync.FollowMidiClock->click();
    sync.FollowJackTransport->click();
    // The two exclude each other; the choice is remembered.
    EXPECT_FALSE(sync.FollowMidiClock->isChecked());
    EXPECT_TRUE(sync.followingAny());
    EXPECT_EQ(f.settings().value("follow-jack-transport"), "1");
    QTest::qWait(300);
    EXPECT_TRUE(beats.empty()) << "no beats while the transport stands";

    master.start();
    ASSERT_TRUE(runUntil([&] { return beats.size() >= 6; }));
    // The beats come at the master's tempo, 0.4 s apart at 150 BPM.
    expectTempo(beats, 0, 150.0);
    ASSERT_TRUE(runUntil([&] { return f.TempoModified->text() == "150.0 BPM"; }))
        << f.TempoModified->text().toStdString();

    // A stop halts the beats and silences what sounds.
    const int resets = h.port->resets;
    master.stop();
    ASSERT_TRUE(runUntil([&] { return h.port->resets > resets; }));
    const std::size_t atStop = beats.size();
    QTest::qWait(1000);
    EXPECT_EQ(beats.size(), atStop);

    // Without a timebase master the transport still rolls the beats, at the "T" bar's tempo.
    master.release();
    const std::size_t before = beats.size();
    master.start();
    ASSERT_TRUE(runUntil([&] { return beats.size() >= before + 4; }));
    expectTempo(beats, before, 60000.0 / f.engine().sequencerIntervalMs());
    master.stop();

    // Turned off, the sequencer keeps its own time again.
    sync.FollowJackTransport->click();
    EXPECT_FALSE(sync.followingAny());
    EXPECT_EQ(f.settings().value("follow-jack-transport"), std::nullopt);
}

} // namespace
} // namespace fw
