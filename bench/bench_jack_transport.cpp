// Following JACK transport, measured. A JACK server of the bench's own (dummy backend) runs
// jack_transport as the timebase master at 120 BPM; the real main window (offscreen, its own
// timers) follows the transport with "Follow JACK Transport" and plays one note a beat to the
// port of jack_midi_dump -a, chosen in the "MIDI Output" list. A client of the bench listens
// beside jack_midi_dump and notes, every period, where the transport is, so that each note can
// be set against the frame of JACK's beat; then jack_transport stops the transport.
//
//   bench_jack_transport [--seconds 20] [--period 1024]
#include "app/qt_main_window.h"
#include "beat_error.h"
#include "bench_ports.h"
#include "engine/qt_midi_sync_group.h"
#include "jack_midi_choice.h"
#include "jack_rig.h"
#include "platform/jack/jack_midi_port.h"
#include "platform/midi_outputs.h"
#include "support/jack_midi_dump.h"
#include "support/private_jack.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <jack/transport.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>

namespace {

using fw::bench::printStats;
using fw::bench::statsOf;

bool isNoteOn(const std::vector<int>& b) {
    return b.size() == 3 && (b[0] & 0xF0) == 0x90 && b[2] > 0;
}

// Notes, every period, the frame time of the period, the transport's frame, state and tempo.
class TransportWatch final : public fw::bench::JackBenchClient {
public:
    struct Period {
        std::int64_t frameTime = 0;
        std::int64_t transportFrame = 0;
        bool rolling = false;
        double bpm = 0;
        double bbtBeats = 0; // the master's bars, beats and ticks, as beats since the start
    };
    TransportWatch() : JackBenchClient("fwbench_transport") {
        if (!client_)
            return;
        store_.resize(1 << 16);
        jack_set_process_callback(client_, &TransportWatch::process, this);
        jack_set_xrun_callback(
            client_,
            [](void* arg) {
                static_cast<TransportWatch*>(arg)->xruns_.fetch_add(1, std::memory_order_relaxed);
                return 0;
            },
            this);
        jack_activate(client_);
    }
    ~TransportWatch() override {
        if (client_)
            jack_deactivate(client_);
    }
    std::vector<Period> periods() const {
        const auto n = static_cast<std::size_t>(count_.load(std::memory_order_acquire));
        return {store_.begin(), store_.begin() + static_cast<long>(n)};
    }

private:
    static int process(jack_nframes_t, void* arg) {
        auto* self = static_cast<TransportWatch*>(arg);
        const int at = self->count_.load(std::memory_order_relaxed);
        if (at >= static_cast<int>(self->store_.size()))
            return 0;
        jack_position_t pos{};
        const auto state = jack_transport_query(self->client_, &pos);
        Period& p = self->store_[static_cast<std::size_t>(at)];
        p.frameTime = jack_last_frame_time(self->client_);
        p.transportFrame = pos.frame;
        p.rolling = state == JackTransportRolling;
        p.bpm = (pos.valid & JackPositionBBT) ? pos.beats_per_minute : 0;
        p.bbtBeats = (pos.valid & JackPositionBBT)
                         ? (pos.bar - 1) * static_cast<double>(pos.beats_per_bar) + (pos.beat - 1) +
                               pos.tick / pos.ticks_per_beat
                         : 0;
        self->count_.store(at + 1, std::memory_order_release);
        return 0;
    }
    std::vector<Period> store_;
    std::atomic<int> count_{0};

public:
    std::atomic<int> xruns_{0};
};

// jack_transport, fed its commands on its standard input.
class JackTransportTool {
public:
    JackTransportTool() {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[0], 0);
            close(fds[1]);
            if (!std::freopen("/dev/null", "w", stdout))
                _exit(126);
            execlp("jack_transport", "jack_transport", nullptr);
            _exit(127);
        }
        close(fds[0]);
        in_ = fds[1];
    }
    ~JackTransportTool() {
        say("quit");
        if (in_ >= 0)
            close(in_);
        if (pid_ > 0) {
            usleep(200000);
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    void say(const std::string& command) {
        const std::string line = command + "\n";
        if (in_ >= 0) [[maybe_unused]]
            auto n = write(in_, line.data(), line.size());
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    int period = 1024;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::max(3, std::atoi(argv[++i]));
        } else if (a == "--period" && i + 1 < argc) {
            period = std::max(16, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--period FRAMES]\n", argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    fw::test::PrivateJack jack("fwbench_transport", period);
    if (!jack.up()) {
        std::fprintf(stderr, "jackd -n %s -d dummy did not start: %s\n", jack.name().c_str(),
                     jack.why().c_str());
        return 1;
    }
    QApplication app(argc, argv);
    fw::bench::JackReceiver receiver;
    TransportWatch watch;
    fw::test::MidiDump dump("fwbench_tdump");
    JackTransportTool transport;
    transport.say("stop");
    transport.say("locate 0");
    transport.say("master");
    transport.say("tempo 120");

    fw::MidiOutputs outputs{
        "silent", [&dump] { return std::vector<std::string>{fw::kJackPortKey + dump.port()}; },
        [&](const std::string& key) -> std::unique_ptr<fw::MidiPort> {
            if (key == "silent")
                return std::make_unique<fw::bench::StampingPort>();
            return std::make_unique<fw::JackMidiPort>(
                key.substr(std::string(fw::kJackPortKey).size()));
        }};
    fw::bench::WindowPorts ports;
    fw::Guitar guitar(ports.clock, ports.prompts, outputs);
    fw::TForm1 form(guitar, ports.services());
    if (!fw::bench::chooseJackMidiOutput(form, dump.port()))
        return 1;
    // Open before the transport rolls, as after any note played before: the first beat should
    // not wait for the port's client to start.
    if (fw::MidiPort* port = form.output().port())
        port->open();
    fw::Engine& engine = form.engine();
    fw::bench::loadArpeggio(engine);
    QObject::connect(form.Timer2, &fw::BeatTimer::timeout, &form, [&] {
        if (engine.st.pickStep * 7 >= static_cast<int>(engine.st.pickMemory[1][1].size()))
            form.Button65Click();
    });
    form.MidiSync->FollowJackTransport->click();
    form.Button65Click();

    std::int64_t stopAsked = 0;
    // The output opens with the first beat's notes: the bench's client joins it as soon as it is
    // connected.
    QTimer listen;
    QObject::connect(&listen, &QTimer::timeout, &form, [&] {
        receiver.listenBeside(dump.port());
        // Connected once: asking the server again and again would disturb its periods.
        jack_port_t* in = jack_port_by_name(receiver.client(), receiver.port().c_str());
        if (in && jack_port_connected(in) > 0)
            listen.stop();
    });
    listen.start(20);
    QTimer::singleShot(1000, &form, [&] {
        transport.say("play");
        QTimer::singleShot(seconds * 1000, &form, [&] {
            stopAsked = fw::monotonicMicros();
            transport.say("stop");
            QTimer::singleShot(1500, &app, &QApplication::quit);
        });
    });
    std::printf("Following jack_transport at 120 BPM for %d s to %s (JACK period %d frames at "
                "%d Hz)...\n",
                seconds, dump.port().c_str(), receiver.period(), receiver.rate());
    std::fflush(stdout);
    QApplication::exec();
    const std::string shownTempo = form.TempoModified->text().toStdString();
    usleep(300000);
    dump.stop();

    const int rate = receiver.rate();
    const auto periods = watch.periods();
    // The transport's frame against the frame clock while it rolls, and the first period after
    // the stop.
    std::int64_t offset = 0;
    double bpm = 0;
    std::int64_t stopFrame = -1;
    double bbtDrift = 0;
    bool rolled = false;
    for (const auto& p : periods) {
        if (p.rolling) {
            if (!rolled)
                offset = p.frameTime - p.transportFrame;
            rolled = true;
            bpm = p.bpm;
            const double fromFrames = p.transportFrame * p.bpm / (60.0 * rate);
            bbtDrift = (fromFrames - p.bbtBeats) * 60e6 / std::max(p.bpm, 1.0);
        } else if (rolled && stopFrame < 0) {
            stopFrame = p.frameTime;
        }
    }
    if (!rolled || bpm <= 0) {
        std::fprintf(stderr, "the transport never rolled with a timebase master\n");
        return 1;
    }
    const double framesPerBeat = rate * 60.0 / bpm;

    // What jack_midi_dump printed and the bench's own client heard.
    std::vector<std::int64_t> dumpedNotes;
    for (const auto& m : dump.framed())
        if (isNoteOn(m.bytes))
            dumpedNotes.push_back(m.frame);
    std::vector<std::int64_t> notes, silence;
    for (const auto& m : receiver.messages()) {
        if (isNoteOn(m.bytes))
            notes.push_back(m.frame);
        else if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0xB0 && m.bytes[1] == 123)
            silence.push_back(m.frame);
    }
    std::vector<std::int64_t> intervals, dumpIntervals, offBeat;
    for (std::size_t i = 1; i < notes.size(); ++i)
        intervals.push_back(std::llround((notes[i] - notes[i - 1]) * 1e6 / rate));
    for (std::size_t i = 1; i < dumpedNotes.size(); ++i)
        dumpIntervals.push_back(std::llround((dumpedNotes[i] - dumpedNotes[i - 1]) * 1e6 / rate));
    (void)offset;
    for (std::int64_t f : notes) {
        // The transport's frame at the note, from the period it fell in: a period lost to an
        // overrun moves the frame clock against the transport.
        auto in = std::upper_bound(periods.begin(), periods.end(), f,
                                   [](std::int64_t frame, const TransportWatch::Period& p) {
                                       return frame < p.frameTime;
                                   });
        if (in == periods.begin())
            continue;
        --in;
        const double transportFrame = static_cast<double>(in->transportFrame + (f - in->frameTime));
        const double beat = std::round(transportFrame / framesPerBeat);
        offBeat.push_back(
            std::llround(std::abs(transportFrame - beat * framesPerBeat) * 1e6 / rate));
    }
    std::printf("\nmaster's tempo %.1f BPM (the \"Tempo\" box showed \"%s\"); %zu note-ons heard, "
                "jack_midi_dump -a printed %zu\n",
                bpm, shownTempo.c_str(), notes.size(), dumpedNotes.size());
    std::printf("JACK reported %d overruns during the run (a dummy backend without real-time "
                "scheduling on a busy machine)\n",
                watch.xruns_.load());
    std::printf("jack_transport's bars/beats/ticks lag its own frame count by %.1f ms after %d s\n",
                bbtDrift / 1000.0, seconds);
    std::printf("%-44s %7s  %8s  %8s  %8s  %8s\n", "milliseconds", "count", "min", "p50", "p99",
                "max");
    printStats("note interval (jack_midi_dump -a frames)", statsOf(dumpIntervals));
    printStats("note interval (bench client frames)", statsOf(intervals));
    printStats("note from JACK's beat frame (|error|)", statsOf(offBeat));
    if (stopFrame >= 0) {
        std::int64_t lastNote = notes.empty() ? 0 : notes.back();
        const double lastAfterStop = (lastNote - stopFrame) * 1e3 / rate;
        const auto late = std::count_if(notes.begin(), notes.end(),
                                        [&](std::int64_t f) { return f >= stopFrame; });
        std::printf("stop: first stopped period at frame %lld; %ld note-ons after it, the last "
                    "%.1f ms %s it; ",
                    static_cast<long long>(stopFrame), static_cast<long>(late),
                    std::abs(lastAfterStop), lastAfterStop < 0 ? "before" : "after");
        auto after = std::find_if(silence.begin(), silence.end(),
                                  [&](std::int64_t f) { return f >= stopFrame; });
        if (after != silence.end())
            std::printf("all-notes-off %.1f ms after it (one period is %.1f ms)\n",
                        (*after - stopFrame) * 1e3 / rate, receiver.period() * 1e3 / rate);
        else
            std::printf("no all-notes-off heard\n");
    }
    (void)stopAsked;
    return 0;
}
