// A play log file (*.plog) as "Load Log..." and fretwright-log read it, then saved, exported as a
// Standard MIDI File, merged and planned as a WAV rendering. A file is refused with a short
// message or read whole; a save of what loaded gives the same file back; the MIDI file, read
// back by a reader of its own, holds each line's message at the line's time; a merge keeps every
// line of both logs in each log's order; the WAV plan sounds each line once, never earlier than
// the one before.
#include "checks.h"
#include "crlf.h"
#include "engine/midi_port.h"
#include "engine/z2uvir.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/merge_logs.h"
#include "logs/midi_file.h"
#include "logs/wav_render.h"

#include <algorithm>
#include <cstdint>

namespace {

using Lines = std::vector<std::string_view>;

struct Event {
    std::uint32_t delta = 0;
    int status = 0, data1 = 0, data2 = 0;
};

// Reads the one track of an exported file back without the exporter's code.
std::vector<Event> readMidiFile(std::string_view f) {
    FW_CHECK(f.size() >= 26);
    FW_CHECK(f.substr(0, 14) == std::string_view("MThd\0\0\0\x06\0\x01\0\x01\0\x32", 14));
    FW_CHECK(f.substr(14, 4) == "MTrk");
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length = (length << 8) | static_cast<std::uint8_t>(f[18 + i]);
    FW_CHECK(length == f.size() - 22);
    FW_CHECK(f.substr(f.size() - 4) == std::string_view("\0\xFF\x2F\0", 4));
    std::vector<Event> events;
    std::size_t at = 22;
    const std::size_t end = f.size() - 4;
    const auto byte = [&] {
        FW_CHECK(at < end);
        return static_cast<std::uint8_t>(f[at++]);
    };
    while (at < end) {
        Event e;
        for (int n = 0;; ++n) {
            FW_CHECK(n < 4);
            const std::uint8_t b = byte();
            e.delta = (e.delta << 7) | (b & 0x7F);
            if (!(b & 0x80))
                break;
        }
        e.status = byte();
        FW_CHECK(e.status >= 0x80 && e.status <= 0xEF);
        e.data1 = byte();
        const int kind = e.status & 0xF0;
        if (kind != 0xC0 && kind != 0xD0)
            e.data2 = byte();
        FW_CHECK(e.data1 < 0x80 && e.data2 < 0x80);
        events.push_back(e);
    }
    return events;
}

void checkMidiExport(const Lines& lines, const std::vector<int>& times) {
    std::string file;
    try {
        file = fw::midiFileFromLog(lines);
    } catch (const fw::LogLineError& e) {
        FW_CHECK(std::string_view(e.what()).size() <= fw::fuzz::kLongestMessage);
        const auto i = static_cast<std::size_t>(e.line());
        FW_CHECK(i < lines.size());
        // Deltas count from the time already written: the highest time so far, from 0.
        std::int64_t previous = 0;
        for (std::size_t j = 0; j < i; ++j)
            previous = std::max<std::int64_t>(previous, times[j]);
        FW_CHECK(!fw::channelMessageOf(lines[i]) || times[i] - previous > fw::kMaxMidiDelta);
        return;
    }
    const std::vector<Event> events = readMidiFile(file);
    FW_CHECK(events.size() == lines.size());
    std::int64_t written = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto msg = fw::channelMessageOf(lines[i]);
        FW_CHECK(msg && msg->status() == events[i].status && msg->data1() == events[i].data1);
        if (msg->size() == 3)
            FW_CHECK(msg->data2() == events[i].data2);
        FW_CHECK(events[i].delta == std::max<std::int64_t>(times[i] - written, 0));
        written = std::max<std::int64_t>(written, times[i]);
    }
}

void checkMerge(const Lines& lines) {
    // Every other line to each side: both sides keep their own order in the result.
    Lines first, second;
    for (std::size_t i = 0; i < lines.size(); ++i)
        (i % 2 ? second : first).push_back(lines[i]);
    Lines merged;
    fw::mergeLogs(first, second, merged);
    FW_CHECK(merged.size() == lines.size());
    std::size_t i = 0, j = 0;
    for (std::string_view line : merged) {
        if (i < first.size() && line.data() == first[i].data())
            ++i;
        else if (j < second.size() && line.data() == second[j].data())
            ++j;
        else
            FW_CHECK(!"a merged line out of its log's order");
    }
    Lines alone;
    fw::mergeLogs(lines, {}, alone);
    FW_CHECK(alone == lines);
}

void checkWavPlan(const Lines& lines, const std::vector<int>& times) {
    fw::LogRender plan;
    try {
        plan = fw::planLogRender(lines);
    } catch (const fw::LogLineError& e) {
        FW_CHECK(std::string_view(e.what()).size() <= fw::fuzz::kLongestMessage);
        const auto i = static_cast<std::size_t>(e.line());
        FW_CHECK(lines.empty() || i < lines.size());
        FW_CHECK(lines.empty() || !fw::channelMessageOf(lines[i]) || i + 1 == lines.size());
        return;
    }
    FW_CHECK(plan.events.size() == lines.size());
    std::int64_t frame = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto msg = fw::channelMessageOf(lines[i]);
        FW_CHECK(msg);
        FW_CHECK(plan.events[i].packed == msg->packed());
        FW_CHECK(plan.events[i].frame >= frame);
        frame = plan.events[i].frame;
        // Never later than the line's own time from the first line.
        const std::int64_t due = (std::int64_t{times[i]} - times[0]) * plan.sampleRate / 100;
        FW_CHECK(frame == std::max<std::int64_t>(due, i == 0 ? 0 : plan.events[i - 1].frame));
    }
    FW_CHECK(plan.totalFrames > frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    static const std::string in = fuzz::scratchPath("in.plog");
    static const std::string out = fuzz::scratchPath("out.plog");
    const std::string_view bytes = fuzz::bytesOf(data, size);
    fuzz::writeScratch(in, bytes);

    std::string error;
    const auto text = readPlayLogFile(in, error);
    if (!text) {
        FW_CHECK(!error.empty() && error.size() <= in.size() + fuzz::kLongestMessage);
        return 0;
    }
    FW_CHECK(*text == bytes);
    const Lines lines = splitLogLines(*text);
    std::vector<int> times;
    for (std::size_t i = 0; i < lines.size(); ++i)
        times.push_back(logLineTime(lines[i], static_cast<int>(i)));

    FW_CHECK(!writeFileReplacing(out, playLogFileText(lines)));
    const std::string saved = fuzz::readScratch(out);
    FW_CHECK(splitLogLines(saved) == lines);
    if (fuzz::everyLineEndsInCrLf(bytes))
        FW_CHECK(saved == bytes);

    checkMidiExport(lines, times);
    checkMerge(lines);
    checkWavPlan(lines, times);
    return 0;
}
