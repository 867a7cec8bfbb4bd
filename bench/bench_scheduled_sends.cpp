// How close to their times the messages meant for later leave an output that sends at once (an
// ALSA sequencer port): MIDI clock at 1000 BPM, 24 clocks handed over at each beat, each sent by
// the output's own thread at its time. Reports how late each one left.
//
//   bench_scheduled_sends [--seconds 20] [--bpm 1000]
#include "beat_error.h"
#include "engine/clock.h"
#include "engine/scheduled_sends.h"

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    int seconds = 20;
    int bpm = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--bpm")
            bpm = std::clamp(std::atoi(argv[i + 1]), 1, 1000);
    }
    const std::int64_t beat = 60000000 / bpm;
    const int beats = static_cast<int>(static_cast<std::int64_t>(seconds) * 1000000 / beat);
    const std::size_t total = static_cast<std::size_t>(beats) * 24;
    std::vector<std::int64_t> due(total), late(total);
    std::atomic<std::size_t> sent{0};
    fw::ScheduledSends later([&](std::uint32_t index) {
        late[index] = fw::monotonicMicros() - due[index];
        sent.fetch_add(1, std::memory_order_release);
    });
    std::printf("%d beats of 24 clocks at %d BPM...\n", beats, bpm);
    std::fflush(stdout);
    const std::int64_t start = fw::monotonicMicros() + 100000;
    for (int b = 0; b < beats; ++b) {
        const std::int64_t at = start + b * beat;
        fw::sleepUntilMonotonic(at);
        for (int i = 0; i < 24; ++i) {
            const auto index = static_cast<std::size_t>(b * 24 + i);
            due[index] = at + beat * i / 24;
            later.add(due[index], static_cast<std::uint32_t>(index));
        }
    }
    while (sent.load(std::memory_order_acquire) < total)
        fw::sleepUntilMonotonic(fw::monotonicMicros() + 10000);
    std::printf("%-34s %7s  %8s  %8s  %8s  %8s\n", "milliseconds", "count", "min", "p50", "p99",
                "max");
    fw::bench::printStats("clock sent after its time", fw::bench::statsOf(late));
    return 0;
}
