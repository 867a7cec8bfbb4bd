// Speed of the play log conversions on big logs: export of a 1,000,000-line play log to a
// Standard MIDI File (beside csvmidi writing the same events), merge of two 500,000-line logs,
// and the WAV rendering of one minute of play.
//   build/bin/bench_logs [--lines N] [--keep DIR]
#include "cpu_time.h"
#include "engine/z2uvir.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/merge_logs.h"
#include "logs/midi_file.h"
#include "logs/wav_render.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Median of several runs, so one hiccup of a shared machine does not decide the figure.
double median(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(secondsOf(work));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Event {
    int status, data1, data2, time;
};

// A long session as live play leaves it: strums of six strings with the note-offs of the chord
// before, beat notes, now and then a program change and bends.
std::vector<Event> session(std::size_t count, unsigned seed, int step) {
    std::mt19937 rng(seed);
    std::vector<Event> events;
    events.reserve(count);
    int t = 0;
    int notes[6] = {40, 45, 50, 55, 59, 64};
    while (events.size() < count) {
        t += step + static_cast<int>(rng() % 3);
        const int kind = static_cast<int>(rng() % 20);
        if (kind == 0) {
            events.push_back({0xC1, static_cast<int>(rng() % 128), 0, t});
        } else if (kind < 3) {
            const int bend = static_cast<int>(rng() % 16384);
            events.push_back({0xE1, bend & 0x7F, bend >> 7, t});
        } else if (kind < 5) {
            events.push_back({0x90, 35 + static_cast<int>(rng() % 20), 0x5A, t});
        } else {
            const int shift = static_cast<int>(rng() % 5) - 2;
            for (int s = 0; s < 6 && events.size() < count; ++s)
                events.push_back({0x91, notes[s], 0, t});
            for (int s = 0; s < 6 && events.size() < count; ++s) {
                notes[s] = std::clamp(notes[s] + shift, 30, 90);
                events.push_back({0x91, notes[s], 60 + static_cast<int>(rng() % 60), t});
            }
        }
    }
    return events;
}

std::string logText(const std::vector<Event>& events) {
    std::string text;
    text.reserve(events.size() * 15);
    for (const Event& e : events) {
        text += fw::formatZ2uvirLine(e.status, e.data1, e.data2, e.time);
        text += '\n';
    }
    return text;
}

std::string csvOf(const std::vector<Event>& events) {
    std::string csv = "0, 0, Header, 1, 1, 50\n1, 0, Start_track\n";
    csv.reserve(events.size() * 30);
    char row[96];
    for (const Event& e : events) {
        const int channel = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x90:
            std::snprintf(row, sizeof row, "1, %d, Note_on_c, %d, %d, %d\n", e.time, channel,
                          e.data1, e.data2);
            break;
        case 0xC0:
            std::snprintf(row, sizeof row, "1, %d, Program_c, %d, %d\n", e.time, channel, e.data1);
            break;
        default:
            std::snprintf(row, sizeof row, "1, %d, Pitch_bend_c, %d, %d\n", e.time, channel,
                          e.data1 | (e.data2 << 7));
            break;
        }
        csv += row;
    }
    csv += "1, " + std::to_string(events.empty() ? 0 : events.back().time) + ", End_track\n";
    csv += "0, 0, End_of_file\n";
    return csv;
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t lines = 1'000'000;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--lines")
            lines = std::stoul(argv[i + 1]);
        else if (std::string(argv[i]) == "--keep")
            keep = argv[i + 1];
    }
    const std::filesystem::path dir =
        keep.empty()
            ? std::filesystem::temp_directory_path() / ("fw_bench_logs_" + std::to_string(getpid()))
            : std::filesystem::path(keep);
    std::filesystem::create_directories(dir);
    const std::string midPath = (dir / "export.mid").string();

    std::printf("Play log of %zu lines\n", lines);
    const std::vector<Event> events = session(lines, 1, 1);
    const std::string text = logText(events);
    std::printf("  log text: %.1f MB, last time %d cs\n", text.size() / 1e6, events.back().time);

    // Export: the text as the page hands it over, split, checked, encoded and written whole.
    std::size_t fileSize = 0;
    const double exportBuild =
        median(5, [&] { fileSize = fw::midiFileFromLog(fw::splitLogLines(text)).size(); });
    const double exportTotal = median(5, [&] {
        const std::string bytes = fw::midiFileFromLog(fw::splitLogLines(text));
        if (auto error = fw::writeFileReplacing(midPath, bytes))
            std::fprintf(stderr, "%s\n", error->c_str());
    });
    std::printf("Export to .mid: %.3f s with the file written and synced (%.3f s to build the "
                "%zu bytes)\n",
                exportTotal, exportBuild, fileSize);

    // The reference: csvmidi writing the same events from its text form.
    const std::string csvPath = (dir / "events.csv").string();
    const std::string refPath = (dir / "csvmidi.mid").string();
    if (run("command -v csvmidi >/dev/null 2>&1")) {
        fw::writeFileReplacing(csvPath, csvOf(events));
        const double reference = median(3, [&] { run("csvmidi " + csvPath + " " + refPath); });
        std::printf("csvmidi on the same events: %.3f s; ratio export/csvmidi = %.3f\n", reference,
                    exportTotal / reference);
        // Both files read back by midicsv must give the same events and times.
        const bool same =
            run("midicsv " + midPath + " > " + (dir / "ours.csv").string()) &&
            run("midicsv " + refPath + " > " + (dir / "theirs.csv").string()) &&
            run("cmp -s " + (dir / "ours.csv").string() + " " + (dir / "theirs.csv").string());
        std::printf("midicsv reads the same events from both files: %s\n", same ? "yes" : "NO");
    } else {
        std::printf("csvmidi not installed: no reference figure\n");
    }

    // Merge of two halves of the same size, as PL+LA-> does with two long takes.
    const std::string first = logText(session(lines / 2, 2, 2));
    const std::string second = logText(session(lines / 2, 3, 2));
    std::size_t mergedSize = 0;
    const double merge = median(5, [&] {
        std::vector<std::string_view> merged;
        fw::mergeLogs(fw::splitLogLines(first), fw::splitLogLines(second), merged);
        mergedSize = fw::joinLogLines(merged).size();
    });
    std::printf("Merge of 2 x %zu lines: %.3f s (split, merge, joined text of %.1f MB)\n",
                lines / 2, merge, mergedSize / 1e6);

    // One minute of dense play rendered to WAV.
    std::vector<Event> minute = session(200'000, 4, 10);
    minute.erase(
        std::find_if(minute.begin(), minute.end(), [](const Event& e) { return e.time > 6000; }),
        minute.end());
    const std::string minuteText = logText(minute);
    const auto minuteLines = fw::splitLogLines(minuteText);
    const std::string wavPath = (dir / "minute.wav").string();
    fw::OfflineSynth* synth = nullptr;
    const double load = secondsOf([&] { synth = new fw::OfflineSynth(); });
    if (!synth->loaded()) {
        std::printf("WAV: no SoundFont at %s\n", FW_DEFAULT_SOUNDFONT);
    } else {
        const double cpuBefore = fw::bench::cpuSeconds();
        double render = secondsOf([&] {
            const fw::LogRender plan = fw::planLogRender(minuteLines);
            fw::ReplacingFileWriter out(wavPath);
            fw::renderLogToWav(plan, *synth, out);
            out.commit();
        });
        const double cpu = fw::bench::cpuSeconds() - cpuBefore;
        const double audio =
            static_cast<double>(std::filesystem::file_size(wavPath) - 44) / 176400.0;
        std::printf("WAV render of one minute (%zu lines, %.1f s of audio with the tail): %.3f s "
                    "wall, %.3f s CPU (%.0fx real time); SoundFont load %.3f s\n",
                    minute.size(), audio, render, cpu, audio / render, load);
    }
    delete synth;
    if (keep.empty())
        std::filesystem::remove_all(dir);
    return 0;
}
