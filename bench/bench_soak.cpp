// A long run of the whole program kept busy as a player would keep it: the real main window
// (on a display when there is one) playing through the built-in synthesizer at 1000 BPM, a
// virtual controller strumming one of the four picks every few beats and choosing chords and
// frets, long random patterns on all four picks (both forms) rewritten every few beats, the
// accompaniment with the counting toy, and the play log growing, reset every few minutes.
// bench/soak.sh builds it and runs it on a virtual display with a null sink in one command.
//
//   bench_soak [--minutes N]
//
// Reports, and fails (exit status 1) when one is off its target:
//   - memory: resident size after the play log reset at the end of the first sixth of the run
//     and at its end; the growth between must stay under 5 MB;
//   - beat error: send time of each beat's first guitar note against its place on the beat
//     grid, p99 over the first and the last sixth, beside a thread that sleeps to the same grid
//     with clock_nanosleep (the floor); the sequencer's excess over the floor (none when it is
//     below the floor) may not grow by more than 0.25 ms;
//   - voices: after play has stopped, "Silence" is pressed while notes still sound; one second
//     later the synthesizer must sound none.
// A crash, or a hang (no beat for 30 s ends the run with an abort), shows as the missing summary
// and the exit status, whose signal soak.sh names.
#include "beat_error.h"
#include "beats/qt_beat_manager_page.h"
#include "controller_rig.h"
#include "logs/qt_play_logs_page.h"
#include "picks/qt_pick_pages.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "toys/qt_music_toys_page.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using fw::monotonicMicros;
using fw::bench::StampingPort;
using fw::bench::Stats;
using fw::bench::statsOf;

constexpr int kTempPositionFor1000Bpm = 1;
constexpr std::int64_t kPeriodMicros = 60000;
constexpr int kBeatsPerMinute = 1000;
constexpr int kPatternSteps = 128;
constexpr int kBeatsPerStrum = 4;
constexpr int kBeatsPerPatternChange = 8;
constexpr int kStrumMillis = 40;
constexpr double kGrowthLimitMb = 5.0;
constexpr double kExcessGrowthLimitMs = 0.25;
constexpr std::int64_t kHangMicros = 30000000;
constexpr std::int64_t kNoNote = std::numeric_limits<std::int64_t>::min();

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

std::string loadavg() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// The errors of beats [from, to) that have one.
std::vector<std::int64_t> slice(const std::vector<std::int64_t>& v, std::size_t from,
                                std::size_t to) {
    std::vector<std::int64_t> out;
    for (std::size_t i = from; i < std::min(to, v.size()); ++i)
        if (v[i] != kNoNote)
            out.push_back(v[i]);
    return out;
}

class Soak {
public:
    Soak(fw::bench::ControllerRig& rig, StampingPort*& port, int minutes)
        : rig_(rig), form_(rig.form), engine_(rig.form.engine()), port_(port), minutes_(minutes),
          totalBeats_(minutes * kBeatsPerMinute),
          // Resets fall on the end of the first sixth and on the end, a few minutes apart.
          resetBeats_(totalBeats_ / (6 * ((minutes + 29) / 30))) {
        QObject::connect(form_.Timer2, &fw::BeatTimer::timeout, &form_, [this] { onBeat(); });
        watchdog_ = std::thread([this] { watch(); });
    }
    ~Soak() {
        finished_ = true;
        watchdog_.join();
        if (floor_.joinable())
            floor_.join();
    }
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;

    void start() {
        engine_.ui.tempPosition = kTempPositionFor1000Bpm;
        form_.syncControls();
        // Keep the play log in view, so that its growth is painted.
        form_.PageControl1->setCurrentWidget(form_.PlayLogs);
        // C, G, A minor, F on all ten strings of chord set 1; the hat chooses among them.
        const int chords[4][10] = {{48, 52, 55, 60, 64, 67, 72, 76, 79, 84},
                                   {43, 47, 50, 55, 59, 67, 71, 74, 79, 83},
                                   {45, 52, 57, 60, 64, 69, 72, 76, 81, 84},
                                   {41, 48, 53, 57, 60, 65, 69, 72, 77, 81}};
        for (int c = 0; c < 4; ++c)
            for (int s = 0; s < 10; ++s)
                engine_.st.chordMemory[1][c + 1][s + 1] = chords[c][s];
        newPatterns();
        form_.BeatManager->Button99Click();             // "Generate 32 Beat"
        form_.CheckBox3->click();                       // "Accomp. Beat"
        form_.MusicToys->RadioGroup4->item(0)->click(); // "Beats/Cycle" 4: a count in 8 minutes
        form_.RadioGroup2->item(0)->click();            // "Cycles/Digit" 1
        form_.Button70->click();                        // "Init Play Mode"
        std::printf("Soak: %d min at 1000 BPM, %d beats; play log reset every %d beats; machine "
                    "load %s\n",
                    minutes_, totalBeats_, resetBeats_, loadavg().c_str());
        std::fflush(stdout);
        waitForOutput();
    }

private:
    enum class Phase { Opening, Starting, Playing, Stopping, Done };

    fw::FluidSynthPort* synth() const {
        return port_ ? dynamic_cast<fw::FluidSynthPort*>(port_->inner()) : nullptr;
    }

    void waitForOutput() {
        if (port_ && port_->usable()) {
            std::printf("Output: %s\n", port_->name().c_str());
            phase_ = Phase::Starting;
            QTimer::singleShot(300, &form_, [this] {
                strum(0);
                form_.MusicToys->Button96->click(); // "Detailed Binary Counting"
            });
            return;
        }
        if (++waits_ > 400) {
            std::printf("The built-in synthesizer did not open (no sound server?).\n");
            QApplication::exit(1);
            return;
        }
        QTimer::singleShot(50, &form_, [this] { waitForOutput(); });
    }

    // Random patterns of kPatternSteps beats in the seven boxes of all eight sequences, stored
    // with "Set 1". The first box plucks on every beat, so every beat has a note to time.
    void newPatterns() {
        fw::PickSetPages& pages = *form_.pickSetPages;
        std::uniform_int_distribution<int> digit(0, 9), chance(0, 3);
        for (int n = 1; n <= 8; ++n) {
            fw::PickChannels texts;
            for (int c = 0; c < fw::kPickChannels; ++c) {
                texts[c].resize(kPatternSteps, '-');
                for (char& ch : texts[c])
                    if (c == 0 || chance(random_) == 0)
                        ch = static_cast<char>('0' + digit(random_));
            }
            pages.setChannelTexts(n, texts);
        }
        pages.setButtons[1]->click(); // "Set 1"
    }

    // Strum number k: the pick button of pick k % 4 + 1 held, a chord on the hat, fret 2 held
    // now and then, and the bar swung down (the pick) or up (its altered form).
    void strum(int k) {
        static constexpr int kPickButtons[4] = {3, 2, 1, 4};
        static constexpr Uint8 kHats[4] = {SDL_HAT_RIGHT, SDL_HAT_DOWN, SDL_HAT_UP, SDL_HAT_LEFT};
        fw::test::VirtualJoystick& pad = rig_.pad;
        for (int b : kPickButtons)
            pad.setButton(b, b == kPickButtons[k % 4]);
        pad.setHat(kHats[(k / 4) % 4]);
        pad.setButton(11, (k / 16) % 2 == 1);
        pad.setStep(4, k % 2 == 0 ? 10 : 250);
        QTimer::singleShot(kStrumMillis, Qt::PreciseTimer, &form_, [&pad] { pad.setStep(4, 128); });
    }

    // A hang is a failure too: when the window thread has not reached a beat for a while, the
    // run ends with an abort, which soak.sh reports like any other crash.
    void watch() {
        lastBeat_ = monotonicMicros();
        while (!finished_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (monotonicMicros() - lastBeat_ > kHangMicros) {
                std::printf("\nNo beat for %lld s: the program hangs.\n",
                            static_cast<long long>(kHangMicros / 1000000));
                std::fflush(stdout);
                std::abort();
            }
        }
    }

    void onBeat() {
        lastBeat_ = monotonicMicros();
        if (phase_ == Phase::Starting && engine_.st.pickStep == 1)
            begin();
        else if (phase_ == Phase::Playing)
            playingBeat();
        else if (phase_ == Phase::Stopping)
            stoppingBeat();
        if (port_)
            port_->stamps.clear();
    }

    void begin() {
        anchor_ = form_.Timer2->lastBeatDue();
        // Sized now, so that what the run keeps does not count as growth.
        beatErrors_.assign(static_cast<std::size_t>(totalBeats_), kNoNote);
        floorErrors_.assign(static_cast<std::size_t>(totalBeats_), 0);
        floor_ = std::thread([this] {
            fw::bench::floorThread(anchor_, kPeriodMicros, totalBeats_, &floorErrors_, &floorDone_);
        });
        cpuStart_ = fw::bench::cpuSeconds(RUSAGE_SELF);
        wallStart_ = monotonicMicros();
        minuteCpu_ = cpuStart_;
        minuteWall_ = wallStart_;
        phase_ = Phase::Playing;
    }

    void playingBeat() {
        // The grid point this beat belongs to; a beat dropped after a stall leaves a gap.
        const std::int64_t index =
            (form_.Timer2->lastBeatDue() - anchor_ + kPeriodMicros / 2) / kPeriodMicros;
        skipped_ += std::max<std::int64_t>(index - lastIndex_ - 1, 0);
        if (index <= lastIndex_)
            return;
        lastIndex_ = index;
        const std::int64_t ideal = anchor_ + index * kPeriodMicros;
        bool found = false;
        for (const auto& s : port_->stamps) {
            const int status = static_cast<int>(s.packed & 0xFF);
            if (status == 0x91 + engine_.ui.track && ((s.packed >> 16) & 0xFF) > 0) {
                if (index <= totalBeats_)
                    beatErrors_[static_cast<std::size_t>(index - 1)] = s.micros - ideal;
                found = true;
                break;
            }
        }
        if (!found && index <= totalBeats_)
            ++missing_;

        if (index % kBeatsPerMinute == 0)
            progress(index);
        if (sampleAfterReset_) {
            sampleAfterReset_ = false;
            resetSamples_.push_back({index, residentMb()});
            if (index > totalBeats_) {
                stop();
                return;
            }
        }
        if (index >= nextReset_ || index == totalBeats_) {
            form_.PlayLogs->Button81->click(); // "RESET and  RECORD"
            if (index >= nextReset_)
                nextReset_ += resetBeats_;
            // The sample is taken at the next beat, once the cleared log has been painted.
            sampleAfterReset_ = true;
            return;
        }
        if (index > totalBeats_) {
            stop();
            return;
        }
        if (index % kBeatsPerStrum == 0)
            strum(static_cast<int>(index / kBeatsPerStrum));
        if (index % kBeatsPerPatternChange == 2)
            newPatterns();
        if (!form_.MusicToys->counting().active())
            form_.MusicToys->Button96->click(); // the count ended: count again
    }

    void progress(std::int64_t index) {
        const auto to = static_cast<std::size_t>(std::min<std::int64_t>(index, totalBeats_));
        const auto from = to >= kBeatsPerMinute ? to - kBeatsPerMinute : 0;
        const auto floorTo =
            std::min(to, static_cast<std::size_t>(floorDone_.load(std::memory_order_acquire)));
        const Stats beat = statsOf(slice(beatErrors_, from, to));
        const Stats floor = statsOf(slice(floorErrors_, from, floorTo));
        const double cpu = fw::bench::cpuSeconds(RUSAGE_SELF);
        const std::int64_t wall = monotonicMicros();
        fw::FluidSynthPort* s = synth();
        std::printf(
            "[%3lld/%d min] RSS %.1f MB; beat error p99 %.3f ms (floor %.3f); CPU %.0f %%; "
            "play log %d lines; %d voices; %s; late %lld, underruns %lld; load %s\n",
            static_cast<long long>(index / kBeatsPerMinute), minutes_, residentMb(), beat.p99,
            floor.p99, 100.0 * (cpu - minuteCpu_) / (static_cast<double>(wall - minuteWall_) / 1e6),
            fw::PlayLogsPage::lineCount(form_.PlayLogs->R2IMemo), s ? s->soundingVoices() : -1,
            form_.MusicToys->Label83->text().toUtf8().constData(),
            static_cast<long long>(s ? s->lateMessages() : 0),
            static_cast<long long>(s ? s->underruns() : 0), loadavg().c_str());
        std::fflush(stdout);
        minuteCpu_ = cpu;
        minuteWall_ = wall;
    }

    // Play stops as a player stops it: the controller let go and play mode ended, the count
    // stopped and the accompaniment unchecked; the last pick plays out.
    void stop() {
        fw::test::VirtualJoystick& pad = rig_.pad;
        for (int b : {1, 2, 3, 4, 11})
            pad.setButton(b, false);
        pad.setHat(SDL_HAT_CENTERED);
        pad.setStep(4, 128);
        form_.Button79->click();            // "STOP Play Mode"
        form_.MusicToys->Button97->click(); // "Stop"
        if (form_.CheckBox3->isChecked())
            form_.CheckBox3->click();
        wall_ = static_cast<double>(monotonicMicros() - wallStart_) / 1e6;
        cpu_ = fw::bench::cpuSeconds(RUSAGE_SELF) - cpuStart_;
        phase_ = Phase::Stopping;
    }

    void stoppingBeat() {
        if (engine_.st.pickStep != fw::kIdle && ++stoppingBeats_ <= kPatternSteps + 2)
            return;
        phase_ = Phase::Done;
        fw::FluidSynthPort* s = synth();
        voicesBefore_ = s ? s->soundingVoices() : -1;
        form_.Button29->click(); // "Silence"
        QTimer::singleShot(1000, &form_, [this] {
            fw::FluidSynthPort* s = synth();
            voicesAfter_ = s ? s->soundingVoices() : -1;
            if (floor_.joinable())
                floor_.join();
            QApplication::exit(report());
        });
    }

    int report() {
        bool ok = true;
        const auto verdict = [&ok](bool pass) {
            ok = ok && pass;
            return pass ? "pass" : "FAIL";
        };
        const std::string sixth = minutes_ == 60 ? std::string("10 min")
                                                 : "sixth, " + std::to_string(minutes_ * 10) + " s";
        std::printf("\nSoak of %d min at 1000 BPM: %.0f s played, CPU %.1f %% of one core, "
                    "machine load %s\n",
                    minutes_, wall_, 100.0 * cpu_ / std::max(wall_, 1e-9), loadavg().c_str());
        std::printf("  crashes: none (the run reached its end)\n");

        // Memory: the samples after the reset that ends the first sixth and the one at the end.
        const std::int64_t firstSixth = totalBeats_ / 6;
        double early = -1, late = -1;
        for (const auto& [beat, mb] : resetSamples_) {
            if (early < 0 && beat > firstSixth)
                early = mb;
            late = mb;
        }
        const double growth = late - early;
        std::printf("  memory: resident size after the play log reset at %lld beats %.1f MB, at "
                    "the end %.1f MB: growth %+.2f MB over the last five sixths (limit %.0f MB) "
                    "%s\n",
                    static_cast<long long>(firstSixth), early, late, growth, kGrowthLimitMb,
                    verdict(early > 0 && growth < kGrowthLimitMb));
        std::printf("    after each reset (beat: MB):");
        for (const auto& [beat, mb] : resetSamples_)
            std::printf(" %lld: %.1f", static_cast<long long>(beat), mb);
        std::printf("\n");

        const auto n = static_cast<std::size_t>(totalBeats_);
        const Stats firstBeat = statsOf(slice(beatErrors_, 0, n / 6));
        const Stats firstFloor = statsOf(slice(floorErrors_, 0, n / 6));
        const Stats lastBeat = statsOf(slice(beatErrors_, n - n / 6, n));
        const Stats lastFloor = statsOf(slice(floorErrors_, n - n / 6, n));
        // Only what the sequencer adds over the floor counts: a beat error under the floor's is
        // no excess, so a floor that settles down cannot fail a sequencer that did not change.
        const double firstExcess = std::max(0.0, firstBeat.p99 - firstFloor.p99);
        const double lastExcess = std::max(0.0, lastBeat.p99 - lastFloor.p99);
        std::printf("  beat error p99, first %s: %.3f ms against a floor of %.3f ms (excess "
                    "%.3f); last %s: %.3f ms against %.3f ms (excess %.3f); the excess grew "
                    "%+.3f ms (limit %.2f) %s\n",
                    sixth.c_str(), firstBeat.p99, firstFloor.p99, firstExcess, sixth.c_str(),
                    lastBeat.p99, lastFloor.p99, lastExcess, lastExcess - firstExcess,
                    kExcessGrowthLimitMs,
                    verdict(firstBeat.count > 0 && lastBeat.count > 0 &&
                            lastExcess - firstExcess <= kExcessGrowthLimitMs));
        std::printf("    p50 first %.3f, last %.3f ms; max first %.3f, last %.3f ms\n",
                    firstBeat.p50, lastBeat.p50, firstBeat.max, lastBeat.max);

        std::printf("  voices sounding one second after \"Silence\": %d (%d just before it) %s\n",
                    voicesAfter_, voicesBefore_, verdict(voicesBefore_ > 0 && voicesAfter_ == 0));
        if (voicesBefore_ <= 0)
            std::printf("    nothing sounded when \"Silence\" was pressed: the check says "
                        "nothing\n");

        fw::FluidSynthPort* s = synth();
        std::printf("  beats dropped after a stall %lld, beats without a guitar note %d, "
                    "messages late for their frame %lld, underruns %lld, messages shown %zu\n",
                    static_cast<long long>(skipped_), missing_,
                    static_cast<long long>(s ? s->lateMessages() : 0),
                    static_cast<long long>(s ? s->underruns() : 0), rig_.prompts.messages.size());
        for (const std::string& m : rig_.prompts.messages)
            std::printf("    message: %s\n", m.substr(0, 120).c_str());
        std::printf("Soak %s\n", ok ? "passed" : "FAILED");
        std::fflush(stdout);
        return ok ? 0 : 1;
    }

    fw::bench::ControllerRig& rig_;
    fw::TForm1& form_;
    fw::Engine& engine_;
    StampingPort*& port_;
    const int minutes_;
    const int totalBeats_;
    const int resetBeats_;
    Phase phase_ = Phase::Opening;
    int waits_ = 0;
    std::mt19937 random_{1};

    std::int64_t anchor_ = 0;
    std::int64_t lastIndex_ = 0;
    std::int64_t skipped_ = 0;
    int missing_ = 0;
    std::vector<std::int64_t> beatErrors_;
    std::vector<std::int64_t> floorErrors_;
    std::atomic<int> floorDone_{0};
    std::thread floor_;
    std::atomic<std::int64_t> lastBeat_{0};
    std::atomic<bool> finished_{false};
    std::thread watchdog_;

    std::int64_t nextReset_ = resetBeats_;
    bool sampleAfterReset_ = false;
    std::vector<std::pair<std::int64_t, double>> resetSamples_;

    double cpuStart_ = 0, minuteCpu_ = 0, cpu_ = 0, wall_ = 0;
    std::int64_t wallStart_ = 0, minuteWall_ = 0;
    int stoppingBeats_ = 0;
    int voicesBefore_ = -1, voicesAfter_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    int minutes = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--minutes" && i + 1 < argc) {
            minutes = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--minutes N]\n", argv[0]);
            return 2;
        }
    }
    // The built-in synthesizer behind a port that notes when each message leaves.
    StampingPort* port = nullptr;
    fw::MidiOutputs outputs{"builtin:", [] { return std::vector<std::string>{}; },
                            [&port](const std::string&) {
                                auto p = std::make_unique<StampingPort>(
                                    std::make_unique<fw::FluidSynthPort>());
                                port = p.get();
                                return p;
                            }};
    fw::bench::ControllerRig rig(argc, argv, std::move(outputs));
    Soak soak(rig, port, minutes);
    QTimer::singleShot(0, &rig.form, [&] { soak.start(); });
    return QApplication::exec();
}
