// What a JACK MIDI client receives from the program. The real main window (offscreen, its own
// timers) plays a one-string-per-beat pattern to the port of jack_midi_dump -a, chosen in the
// "MIDI Output" list; the frames jack_midi_dump prints give the spacing of the notes, and a
// second client of the bench, listening beside it, gives each message's monotonic time and so
// the latency from a message's time stamp to its frame.
//
//   JACK_DEFAULT_SERVER=NAME bench_jack_midi_timing [--bpm 600] [--seconds 20] [--clock]
//
// --clock checks "Send MIDI Clock" as well and measures the clocks: their spacing, and the first
// clock of each beat against the beat's first note.
#include "app/qt_main_window.h"
#include "beat_error.h"
#include "bench_ports.h"
#include "jack_midi_choice.h"
#include "jack_rig.h"
#include "platform/midi_outputs.h"
#include "support/jack_midi_dump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <map>

namespace {

using fw::bench::FramedMessage;
using fw::bench::printStats;
using fw::bench::statsOf;

// Hands every call to a port that someone else owns.
class BorrowedPort final : public fw::MidiPort {
public:
    explicit BorrowedPort(fw::MidiPort* port) : port_(port) {}
    std::string name() const override { return port_->name(); }
    bool open() override { return port_->open(); }
    bool usable() const override { return port_->usable(); }
    bool send(fw::MidiMessage message) override { return port_->send(message); }
    bool sendAt(fw::MidiMessage message, std::int64_t monoMicros) override {
        return port_->sendAt(message, monoMicros);
    }
    void reset() override { port_->reset(); }

private:
    fw::MidiPort* port_;
};

bool isNoteOn(const std::vector<int>& b) {
    return b.size() == 3 && (b[0] & 0xF0) == 0x90 && b[2] > 0;
}

bool isClock(const std::vector<int>& b) {
    return b.size() == 1 && b[0] == 0xF8;
}

// Absolute differences, in microseconds, of consecutive frame intervals from the nominal one.
std::vector<std::int64_t> intervalErrors(const std::vector<std::int64_t>& frames, int rate,
                                         double nominalMicros) {
    std::vector<std::int64_t> out;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const double interval = static_cast<double>(frames[i] - frames[i - 1]) * 1e6 / rate;
        out.push_back(std::llround(std::abs(interval - nominalMicros)));
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    int bpm = 600;
    int seconds = 20;
    bool clock = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bpm" && i + 1 < argc) {
            bpm = std::clamp(std::atoi(argv[++i]), 1, 1000);
        } else if (a == "--seconds" && i + 1 < argc) {
            seconds = std::max(2, std::atoi(argv[++i]));
        } else if (a == "--clock") {
            clock = true;
        } else {
            std::fprintf(stderr, "usage: %s [--bpm N] [--seconds N] [--clock]\n", argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);

    fw::bench::JackReceiver receiver;
    if (!receiver.ok()) {
        std::fprintf(stderr, "no JACK server answers (JACK_DEFAULT_SERVER=%s)\n",
                     std::getenv("JACK_DEFAULT_SERVER") ? std::getenv("JACK_DEFAULT_SERVER") : "");
        return 1;
    }
    fw::test::MidiDump dump("fwbench_dump");

    fw::MidiOutputs real;
    fw::bench::StampingPort* stamping = nullptr;
    // The list starts on a silent port rather than loading the built-in synthesizer.
    fw::MidiOutputs outputs{
        "silent",
        [&real] {
            real.rescan();
            std::vector<std::string> keys;
            for (int i = 1; i < real.count(); ++i)
                keys.push_back(real.key(i));
            return keys;
        },
        [&](const std::string& key) -> std::unique_ptr<fw::MidiPort> {
            if (key == "silent")
                return std::make_unique<fw::bench::StampingPort>();
            auto p = std::make_unique<fw::bench::StampingPort>(
                std::make_unique<BorrowedPort>(real.port(real.indexOfKey(key))));
            stamping = p.get();
            return p;
        }};
    fw::bench::WindowPorts ports;
    fw::Guitar guitar(ports.clock, ports.prompts, outputs);
    fw::TForm1 form(guitar, ports.services());

    if (!fw::bench::chooseJackMidiOutput(form, dump.port()))
        return 1;
    if (clock) {
        auto* box = form.findChild<QAbstractButton*>("SendMidiClock");
        if (!box) {
            std::fprintf(stderr, "this build has no \"Send MIDI Clock\"\n");
            return 1;
        }
        box->click();
    }

    fw::Engine& engine = form.engine();
    engine.ui.tempPosition = 1001 - bpm;
    form.syncControls();
    fw::bench::loadArpeggio(engine);

    bool measuring = false;
    QObject::connect(form.Timer2, &fw::BeatTimer::timeout, &form, [&] {
        if (engine.st.pickStep * 7 >= static_cast<int>(engine.st.pickMemory[1][1].size()))
            form.Button65Click();
    });
    // The first beats open the port and JACK connects it; then the pattern starts.
    QTimer::singleShot(1000, &form, [&] {
        receiver.listenBeside(dump.port());
        measuring = true;
        form.Button65Click();
        QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    });
    std::printf("Playing to %s at %d BPM for %d s%s (JACK period %d frames at %d Hz)...\n",
                dump.port().c_str(), engine.bpm(), seconds, clock ? " with MIDI clock" : "",
                receiver.period(), receiver.rate());
    std::fflush(stdout);
    QApplication::exec();
    if (clock)
        form.findChild<QAbstractButton*>("SendMidiClock")->click();
    usleep(300000);
    dump.stop();
    if (!measuring || !stamping)
        return 1;

    const std::vector<fw::test::MidiDump::Framed> dumped = dump.framed();
    std::vector<std::int64_t> noteFrames, clockFrames;
    for (const auto& m : dumped) {
        if (isNoteOn(m.bytes))
            noteFrames.push_back(m.frame);
        // Clocks count from the first note on: the beats before it took up the tempo.
        else if (isClock(m.bytes) && !noteFrames.empty())
            clockFrames.push_back(m.frame);
    }
    const int rate = receiver.rate();
    const double beatMicros = form.Timer2->interval() * 1000.0;
    std::printf("\njack_midi_dump -a received %zu messages, %zu note-ons, %zu clocks\n",
                dumped.size(), noteFrames.size(), clockFrames.size());
    std::printf("%-40s %7s  %8s  %8s  %8s  %8s\n", "milliseconds", "count", "min", "p50", "p99",
                "max");
    printStats("note interval error (|actual - beat|)",
               statsOf(intervalErrors(noteFrames, rate, beatMicros)));

    // Latency: the n-th note-on the receiver heard against the n-th note-on sent.
    std::vector<std::int64_t> sentStamps, latencies, handedLate;
    for (const auto& s : stamping->stamps) {
        const std::vector<int> b = {static_cast<int>(s.packed & 0xFF),
                                    static_cast<int>((s.packed >> 8) & 0xFF),
                                    static_cast<int>((s.packed >> 16) & 0xFF)};
        if (isNoteOn(b)) {
            sentStamps.push_back(s.stamp);
            handedLate.push_back(s.micros - s.stamp);
        }
    }
    printStats("note handed to the port after its stamp", statsOf(handedLate));
    std::vector<std::int64_t> heard;
    for (const auto& m : receiver.messages())
        if (isNoteOn(m.bytes))
            heard.push_back(m.micros);
    const std::size_t skip =
        sentStamps.size() > heard.size() ? sentStamps.size() - heard.size() : 0;
    for (std::size_t i = 0; i < heard.size() && i + skip < sentStamps.size(); ++i)
        latencies.push_back(heard[i] - sentStamps[i + skip]);
    printStats("latency, time stamp to frame", statsOf(latencies));

    if (clock) {
        printStats("clock interval error",
                   statsOf(intervalErrors(clockFrames, rate, beatMicros / 24)));
        std::vector<std::int64_t> offsets;
        for (std::int64_t f : noteFrames) {
            auto it = std::lower_bound(clockFrames.begin(), clockFrames.end(), f);
            std::int64_t best = INT64_MAX;
            if (it != clockFrames.end())
                best = std::min(best, std::abs(*it - f));
            if (it != clockFrames.begin())
                best = std::min(best, std::abs(*(it - 1) - f));
            if (best != INT64_MAX)
                offsets.push_back(best * 1000000 / rate);
        }
        printStats("first clock of a beat vs first note", statsOf(offsets));
        std::map<int, int> kinds;
        for (const auto& m : dumped)
            if (m.bytes.size() == 1)
                ++kinds[m.bytes[0]];
        std::printf("system real-time messages:");
        for (auto [k, n] : kinds)
            std::printf(" %02X x%d", k, n);
        std::printf("; clocks per note %.3f\n", noteFrames.empty()
                                                    ? 0.0
                                                    : static_cast<double>(clockFrames.size()) /
                                                          static_cast<double>(noteFrames.size()));
    }
    return 0;
}
