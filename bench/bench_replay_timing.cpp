// Timing of "Replay": a dense play log replayed by the real main window (offscreen) to a
// recording MIDI port on the system clock. Reports how late each message left against its due
// time and the processor time the replay took, beside the floor of this machine measured in the
// same run: a plain thread sleeping to the same deadlines with clock_nanosleep.
//   build/bin/bench_replay_timing [--seconds 60]
#include "app/qt_main_window.h"
#include "engine/clock.h"
#include "engine/z2uvir.h"
#include "logs/qt_play_logs_page.h"
#include "support/fakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

std::int64_t threadCpuMicros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::int64_t processCpuMicros() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

struct Stats {
    double p50 = 0, p99 = 0, max = 0, mean = 0;
};

Stats statsOf(std::vector<double> errorsMs) {
    std::sort(errorsMs.begin(), errorsMs.end());
    Stats s;
    const auto at = [&](double q) {
        return errorsMs[std::min(
            errorsMs.size() - 1,
            static_cast<std::size_t>(q * static_cast<double>(errorsMs.size())))];
    };
    s.p50 = at(0.50);
    s.p99 = at(0.99);
    s.max = errorsMs.back();
    for (double e : errorsMs)
        s.mean += e;
    s.mean /= static_cast<double>(errorsMs.size());
    return s;
}

void print(const char* what, const Stats& s, double cpuPercent) {
    std::printf(
        "%-34s p50 %.3f ms  p99 %.3f ms  max %.3f ms  mean %.3f ms  CPU %.2f %% of a core\n", what,
        s.p50, s.p99, s.max, s.mean, cpuPercent);
}

// A dense take: strums of twelve messages (six note-offs, six note-ons at one time), single
// notes and bends in between, a due time every 3 to 9 centiseconds.
std::vector<std::pair<int, std::string>> denseLog(int seconds) {
    std::mt19937 rng(7);
    std::vector<std::pair<int, std::string>> lines;
    int t = 0;
    while (true) {
        t += 3 + static_cast<int>(rng() % 7);
        if (t > seconds * 100)
            break;
        const int kind = static_cast<int>(rng() % 4);
        if (kind == 0) {
            for (int s = 0; s < 6; ++s)
                lines.emplace_back(t, fw::formatZ2uvirLine(0x91, 40 + 5 * s, 0, t));
            for (int s = 0; s < 6; ++s)
                lines.emplace_back(t, fw::formatZ2uvirLine(0x91, 40 + 5 * s, 90, t));
        } else if (kind == 1) {
            lines.emplace_back(t,
                               fw::formatZ2uvirLine(0xE1, 0, 64 + static_cast<int>(rng() % 8), t));
        } else {
            lines.emplace_back(
                t, fw::formatZ2uvirLine(0x90, 36 + static_cast<int>(rng() % 12), 90, t));
        }
    }
    return lines;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Fretwright");

    const auto log = denseLog(seconds);
    std::printf("Dense log: %zu lines over %d s\n", log.size(), seconds);

    // The replay, through the real window and its event loop.
    fw::SystemClock clock;
    fw::test::ScriptedPrompts prompts;
    fw::test::FakeJoystick joystick;
    fw::SeededRandom random(1);
    fw::test::RecordingMidiPort* port = nullptr;
    fw::MidiOutputs outputs(
        "recorder", [] { return std::vector<std::string>{}; },
        [&](const std::string&) {
            auto p = std::make_unique<fw::test::RecordingMidiPort>(&clock);
            port = p.get();
            return p;
        });
    fw::Guitar guitar(clock, prompts, outputs);
    fw::TForm1 form(guitar, {joystick, random});
    form.show();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    QString text;
    for (const auto& entry : log)
        text += QString::fromStdString(entry.second) + '\n';
    fw::PlayLogsPage& page = *form.PlayLogs;
    page.R2IMemo->setPlainText(text);
    port->sent.clear();
    port->sent.reserve(log.size() + 16);

    // The floor runs at the same time, so both see the same load from the rest of the machine:
    // a plain thread sleeping to the same deadlines, shifted by half a centisecond so that the
    // two never wake at the same instant and compete with each other.
    std::vector<double> floorErrors;
    double floorCpu = 0;
    const auto runFloor = [&](std::int64_t start) {
        floorErrors.reserve(log.size());
        const std::int64_t cpu0 = threadCpuMicros();
        for (const auto& entry : log) {
            const std::int64_t due = start + static_cast<std::int64_t>(entry.first) * 10000;
            fw::sleepUntilMonotonic(due);
            floorErrors.push_back(static_cast<double>(fw::monotonicMicros() - due) / 1000.0);
        }
        const std::int64_t wall = fw::monotonicMicros() - start;
        floorCpu =
            100.0 * static_cast<double>(threadCpuMicros() - cpu0) / static_cast<double>(wall);
    };

    const std::int64_t wall0 = fw::monotonicMicros();
    std::thread floorThread(runFloor, wall0 + 5000);
    const std::int64_t cpu0 = threadCpuMicros();
    const std::int64_t proc0 = processCpuMicros();
    // The replay runs on the window's event loop and tells when it ends.
    QEventLoop replaying;
    QObject::connect(&page, &fw::PlayLogsPage::playbackEnded, &replaying, &QEventLoop::quit);
    page.Button82Click();
    if (page.player().running())
        replaying.exec();
    floorThread.join();
    const std::int64_t wall = fw::monotonicMicros() - wall0;
    const double mainCpu =
        100.0 * static_cast<double>(threadCpuMicros() - cpu0) / static_cast<double>(wall);
    const double procCpu =
        100.0 * static_cast<double>(processCpuMicros() - proc0) / static_cast<double>(wall);

    if (port->sent.size() != log.size()) {
        std::printf("replay sent %zu messages for %zu lines\n", port->sent.size(), log.size());
        return 1;
    }
    std::vector<double> errors;
    errors.reserve(log.size());
    const std::int64_t start = page.player().replayStartMicros;
    for (std::size_t i = 0; i < log.size(); ++i)
        errors.push_back(
            static_cast<double>(port->sent[i].micros - (start + log[i].first * 10000LL)) / 1000.0);
    const Stats floor = statsOf(floorErrors);
    print("clock_nanosleep floor:", floor, floorCpu);
    const Stats replay = statsOf(errors);
    if (qEnvironmentVariableIsSet("FW_BENCH_DETAIL")) {
        for (std::size_t i = 0; i < log.size(); ++i)
            if (errors[i] > 1.0)
                std::printf("  late: line %zu at %d cs by %.3f ms\n", i, log[i].first, errors[i]);
    }
    print("Replay (window thread):", replay, mainCpu);
    std::printf("%-34s whole process %.2f %% of a core\n", "", procCpu);
    std::printf("p99 replay / p99 floor = %.2f (target at most 1.1); p50 %s 0.25 ms; CPU %s 5 %%\n",
                replay.p99 / floor.p99, replay.p50 < 0.25 ? "under" : "NOT under",
                mainCpu < 5 ? "under" : "NOT under");
    return 0;
}
