// Live play to a real JACK MIDI client: the port is chosen in the "MIDI Output" list, and the
// client receives exactly the messages of the play log, in order, and nothing else.
#include "app/qt_main_window.h"
#include "engine/z2uvir.h"
#include "platform/alsa/rtmidi_port.h"
#include "platform/midi_outputs.h"
#include "play/qt_midi_sync_group.h"
#include "support/fakes.h"
#include "support/jack_midi_dump.h"
#include "support/qt_harness.h"
#include "support/sound_servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <unistd.h>

namespace fw {
namespace {

// jack_lsp fails for a moment now and then while other tests' clients and servers come and go:
// a server counts as away only when it does not answer for a second.
bool jackServerAnswers() {
    for (int i = 0; i < 10; ++i) {
        if (std::system("JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1") == 0)
            return true;
        usleep(100000);
    }
    return false;
}

bool skipWithoutJack() {
    if (jackServerAnswers())
        return false;
    if (std::getenv("FW_TEST_JACK"))
        ADD_FAILURE() << "the JACK server that scripts/jack-server started does not answer";
    return true;
}

// Whether JACK lists the port, waiting a while for a client that is still registering it.
bool listedByJack(const std::string& port) {
    for (int i = 0; i < 100; ++i) {
        for (const auto& p : listSystemMidiPorts())
            if (p.system == MidiSystem::Jack && p.name == port)
                return true;
        usleep(50000);
    }
    return false;
}

// The main window on fake ports but the real outputs and inputs, its timers stopped.
struct JackRig {
    test::MidiDump dump;
    // The outputs start listing JACK's ports when they are made.
    bool dumpListed = listedByJack(dump.port());
    test::ManualClock clock{500 * 10000, test::ManualClock::Stamps::System};
    test::ScriptedPrompts prompts;
    test::FakeJoystick joystick;
    SeededRandom random{1};
    MidiOutputs outputs;
    Guitar guitar{clock, prompts, outputs};
    TForm1 form{guitar, Services{joystick, random}};

    JackRig() {
        form.Timer2->stop();
        form.PitchUpdater->stop();
        form.Timer4->stop();
    }

    // Chooses the dump's port in the "MIDI Output" list and waits until JACK has connected it.
    bool playToDump() {
        const QString wanted = QString::fromStdString("JACK: " + dump.port());
        const int row = test::waitForMidiOutput(form, wanted);
        if (row < 0) {
            ADD_FAILURE() << "no " << wanted.toStdString() << " in the MIDI Output list";
            return false;
        }
        form.MidiOutputList->setCurrentRow(row);
        // The first beat opens the port; JACK makes the connection a moment later, and what is
        // sent before it arrives nowhere.
        form.Timer2Timer();
        // Once seen is enough: a later jack_lsp may fail for a moment while other tests' clients
        // come and go on the same server.
        return test::waitUntil([this] { return dump.connected(); }, std::chrono::seconds(4));
    }
};

TEST(JackOutput, JackPortsJoinTheListOnTheirOwnOnceTheWindowIsUp) {
    if (skipWithoutJack())
        GTEST_SKIP() << "no JACK server (scripts/jack-server starts one)";
    JackRig rig;
    ASSERT_TRUE(rig.dumpListed);
    const QString wanted = QString::fromStdString("JACK: " + rig.dump.port());
    // An output chosen last time lists the outputs once more before the window is up.
    Settings kept;
    kept.setValue("midi-output", "alsa:Gone 128:0");
    rig.form.restoreSettings(std::move(kept));
    rig.form.show();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !rig.form.MidiOutputList->findItems(wanted, Qt::MatchExactly).isEmpty(); }));
    EXPECT_TRUE(rig.outputs.complete());
}

TEST(JackOutput, AJackClientHearsExactlyThePlayLog) {
    if (skipWithoutJack())
        GTEST_SKIP() << "no JACK server (scripts/jack-server starts one)";
    JackRig rig;
    test::MidiDump& dump = rig.dump;
    TForm1& form = rig.form;
    test::ManualClock& clock = rig.clock;
    ASSERT_TRUE(rig.playToDump());
    // Choosing the port sent it the instruments and the bend; what of that got through before
    // the connection is no part of this test.
    usleep(100000);
    const std::size_t before = dump.messages().size();
    form.R2IMemo->clear();

    // A chord, a two-beat pattern, the instrument and bend, a chord change with its note-offs.
    Engine& engine = form.engine();
    for (int s = 1; s <= 10; ++s) {
        engine.st.chordMemory[1][1][s] = 40 + s;
        engine.st.chordMemory[1][2][s] = 50 + s;
    }
    engine.st.pickMemory[1][1] = "0123---"
                                 "4-5-6--";
    form.PitchUpdaterTimer();
    form.pickButtons[1]->click();
    for (int beat = 0; beat < 3; ++beat) {
        clock.advanceCentis(10);
        form.Timer2Timer();
    }
    engine.stepChord();
    form.Timer2Timer();
    form.PitchUpdaterTimer();

    std::vector<std::string> logged;
    const QString log = form.R2IMemo->toPlainText();
    for (const QString& line : log.split('\n', Qt::SkipEmptyParts)) {
        const auto msg = channelMessageOf(line.toStdString());
        ASSERT_TRUE(msg) << line.toStdString();
        logged.push_back(byteToHex(msg->status()) + byteToHex(msg->data1()) +
                         (msg->size() == 3 ? byteToHex(msg->data2()) : ""));
    }
    ASSERT_GE(logged.size(), 10u);
    // JACK delivers at its next period; give it a few.
    for (int i = 0; i < 100 && dump.messages().size() < logged.size(); ++i)
        usleep(20000);
    usleep(100000);
    dump.stop();
    const std::vector<std::string> heard = dump.messages();
    ASSERT_GE(heard.size(), before);
    EXPECT_EQ(std::vector<std::string>(heard.begin() + static_cast<long>(before), heard.end()),
              logged);
}

TEST(JackOutput, AJackMidiOutputThatComesBackWithItsServerHearsTheInstrumentsAgain) {
    test::OwnJackServer server; // killed below: never the shared one
    ASSERT_TRUE(server.start()) << "jackd did not start as " << server.name() << ":\n"
                                << server.log();
    JackRig rig;
    TForm1& form = rig.form;
    ASSERT_TRUE(rig.playToDump());
    form.Timer4Timer(); // the output as it is now is seen

    server.stop();
    rig.dump.stop();
    form.Timer2Timer(); // a beat while the server is away: the output cannot open
    form.Timer4Timer();
    ASSERT_TRUE(server.start()) << server.log();
    rig.dump.start();
    ASSERT_TRUE(test::waitUntil([&] {
        return std::system(("jack_lsp '" + rig.dump.port() + "' >/dev/null 2>&1").c_str()) == 0;
    }));
    form.R2IMemo->clear();
    form.Timer2Timer(); // the next beat opens it again
    ASSERT_TRUE(test::waitUntil([&] { return rig.dump.connected(); }));
    form.Timer4Timer();

    // The guitar's and the beat's instruments went out again, as logged.
    std::vector<std::string> programs;
    for (const QString& line : form.R2IMemo->toPlainText().split('\n', Qt::SkipEmptyParts)) {
        const auto msg = channelMessageOf(line.toStdString());
        if (msg && msg->kind() == MidiKind::ProgramChange)
            programs.push_back(byteToHex(msg->status()) + byteToHex(msg->data1()));
    }
    ASSERT_GE(programs.size(), 2u);
    ASSERT_TRUE(test::waitUntil([&] { return rig.dump.messages().size() >= programs.size(); }));
    std::vector<std::string> heard;
    for (const std::string& m : rig.dump.messages())
        if (m[0] == 'C')
            heard.push_back(m);
    EXPECT_EQ(heard, programs);
}

void runEventsUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(JackOutput, MidiClockGoesOutAfterEachBeatsNotesAndStaysOutOfThePlayLog) {
    if (skipWithoutJack())
        GTEST_SKIP() << "no JACK server (scripts/jack-server starts one)";
    JackRig rig;
    TForm1& form = rig.form;
    ASSERT_TRUE(rig.playToDump());
    Engine& engine = form.engine();
    for (int s = 1; s <= 10; ++s)
        engine.st.chordMemory[1][1][s] = 40 + s;
    engine.st.pickMemory[1][1] = "0------1------2------";
    engine.ui.tempPosition = 1; // 1000 BPM: 60 ms beats
    form.PitchUpdaterTimer();
    usleep(100000);
    const std::size_t before = rig.dump.messages().size();
    form.R2IMemo->clear();

    form.MidiSync->SendMidiClock->click();
    form.pickButtons[1]->click();
    for (int beat = 0; beat < 2; ++beat) {
        form.Timer2Timer();
        usleep(80000); // the beat's clocks fall due meanwhile
    }
    form.MidiSync->SendMidiClock->click();
    const auto stopped = [&] {
        const auto heard = rig.dump.messages();
        return !heard.empty() && heard.back() == "FC";
    };
    for (int i = 0; i < 100 && !stopped(); ++i)
        usleep(20000);
    rig.dump.stop();

    const std::vector<std::string> heard = rig.dump.messages();
    ASSERT_GE(heard.size(), before);
    std::vector<std::string> system;
    std::size_t firstClock = 0;
    for (std::size_t i = before; i < heard.size(); ++i) {
        if (heard[i].size() == 2) {
            if (heard[i] == "F8" && firstClock == 0)
                firstClock = i;
            system.push_back(heard[i]);
        }
    }
    std::vector<std::string> expected{"FA"};
    expected.insert(expected.end(), 2 * kClocksPerBeat, "F8");
    expected.emplace_back("FC");
    EXPECT_EQ(system, expected);
    ASSERT_GT(firstClock, before);
    EXPECT_EQ(heard[firstClock - 1].substr(0, 1), "9") << "the beat's note goes first";
    EXPECT_FALSE(form.R2IMemo->toPlainText().contains("F8"));
    EXPECT_FALSE(form.R2IMemo->toPlainText().contains("FA"));
}

// A JACK client that sends what it is given, a message every 100 frames.
class JackSource {
public:
    JackSource() {
        client_ = jack_client_open(("fwsrc" + std::to_string(getpid())).c_str(), JackNoStartServer,
                                   nullptr);
        if (!client_)
            return;
        port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &JackSource::process, this);
        jack_activate(client_);
    }
    ~JackSource() {
        if (client_)
            jack_client_close(client_);
    }
    bool ok() const { return client_ && port_; }
    std::string port() const { return jack_port_name(port_); }
    void send(const std::vector<std::vector<jack_midi_data_t>>& messages) {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.insert(queue_.end(), messages.begin(), messages.end());
    }
    bool idle() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return queue_.empty();
    }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<JackSource*>(arg);
        void* buffer = jack_port_get_buffer(self->port_, frames);
        jack_midi_clear_buffer(buffer);
        if (!self->mutex_.try_lock())
            return 0;
        for (jack_nframes_t at = 0; at < frames && !self->queue_.empty(); at += 100) {
            const auto& m = self->queue_.front();
            jack_midi_event_write(buffer, at, m.data(), m.size());
            self->queue_.pop_front();
        }
        self->mutex_.unlock();
        return 0;
    }
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::mutex mutex_;
    std::deque<std::vector<jack_midi_data_t>> queue_;
};

std::vector<std::vector<jack_midi_data_t>> clocks(int n) {
    return std::vector<std::vector<jack_midi_data_t>>(static_cast<std::size_t>(n), {0xF8});
}

TEST(JackInput, TheSequencerFollowsAJackClockSource) {
    if (skipWithoutJack())
        GTEST_SKIP() << "no JACK server (scripts/jack-server starts one)";
    JackSource source;
    ASSERT_TRUE(source.ok());
    test::MainWindowHarness h;
    TForm1& form = *h.form;
    MidiSyncGroup& sync = *form.MidiSync;
    int beats = 0;
    QObject::connect(form.Timer2, &BeatTimer::timeout, [&] { ++beats; });
    form.Timer2->start();

    sync.rescanInputs();
    const int row = sync.MidiInputList->findText(QString::fromStdString("JACK: " + source.port()));
    ASSERT_GT(row, 0);
    sync.MidiInputList->setCurrentIndex(row);
    emit sync.MidiInputList->activated(row);
    sync.FollowMidiClock->click();
    EXPECT_EQ(sync.MidiInputState->text(), "Waiting for MIDI clock...");
    const auto play = [&](const std::vector<std::vector<jack_midi_data_t>>& messages) {
        source.send(messages);
        runEventsUntil([&] { return source.idle(); }, 3000);
        runEventsUntil([] { return false; }, 200);
    };

    // Stray and truncated messages first: they change nothing and the input goes on.
    play({{0x90}, {0xF0, 0x7E}, {0x80, 0x40}, {0xF8}});
    EXPECT_EQ(beats, 0) << "no beats before Start";
    play({{0xFA}});
    play(clocks(48));
    EXPECT_EQ(beats, 2) << "a beat on the first clock and on the 25th";
    form.PitchUpdaterTimer();
    EXPECT_NE(form.TempoModified->text(), "96 BPM");
    EXPECT_TRUE(form.TempoModified->text().endsWith(" BPM"));

    const int resets = h.port->resets;
    play({{0xFC}});
    play(clocks(30));
    EXPECT_EQ(beats, 2) << "Stop halts the beats";
    EXPECT_GT(h.port->resets, resets) << "and silences what sounds";
    play({{0xFB}});
    play(clocks(25));
    EXPECT_EQ(beats, 4) << "Continue resumes";

    sync.FollowMidiClock->click();
    EXPECT_EQ(form.TempoModified->text(), "96 BPM") << "the bar's tempo at once";
    runEventsUntil([&] { return beats > 4; }, 1500);
    EXPECT_EQ(beats, 5) << "the sequencer's own beats again";
}

} // namespace
} // namespace fw
