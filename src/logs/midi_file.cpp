#include "logs/midi_file.h"

#include "engine/midi_message.h"
#include "engine/z2uvir.h"
#include "logs/log_lines.h"

#include <algorithm>

namespace fw {

void appendVariableLength(std::uint32_t value, std::string& out) {
    char bytes[5];
    int n = 0;
    bytes[n++] = static_cast<char>(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[n++] = static_cast<char>((value & 0x7F) | 0x80);
    while (n > 0)
        out.push_back(bytes[--n]);
}

int variableLengthSize(std::uint32_t value) {
    int n = 1;
    while ((value >>= 7) != 0)
        ++n;
    return n;
}

namespace {

struct TrackEvent {
    std::uint32_t delta;
    std::uint8_t status;
    std::uint8_t data1;
    std::uint8_t data2;
    bool twoDataBytes;
};

void appendBigEndian32(std::uint32_t v, std::string& out) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

} // namespace

std::string midiFileFromLog(const std::vector<std::string_view>& lines) {
    // First pass: read and check every line and size the track, so a bad line stops the export
    // before a single byte exists.
    std::vector<TrackEvent> events;
    events.reserve(lines.size());
    std::uint64_t trackLength = 4; // the end-of-track event
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int index = static_cast<int>(i);
        const std::int64_t t = logLineTime(line, index);
        const auto msg = channelMessageOf(line);
        if (!msg)
            throw LogLineError(index, invalidMessageText(line, index));
        const std::int64_t d = std::max<std::int64_t>(t - previous, 0);
        if (d > kMaxMidiDelta)
            throw LogLineError(index, "Line " + std::to_string(index + 1) + " " + quotedLine(line) +
                                          " comes too long after the line before for a MIDI "
                                          "file (more than 268435455 ticks).");
        // Counted from the time already written, so that a line whose time went back moves
        // nothing after it.
        previous += d;
        // The data byte count follows the status byte; for a valid status this is the same as
        // looking at the line's first character ("C" and "D" carry one data byte).
        const bool two = msg->size() == 3;
        events.push_back({static_cast<std::uint32_t>(d), static_cast<std::uint8_t>(msg->status()),
                          static_cast<std::uint8_t>(msg->data1()),
                          static_cast<std::uint8_t>(msg->data2()), two});
        trackLength +=
            static_cast<std::uint64_t>(variableLengthSize(events.back().delta)) + (two ? 3 : 2);
    }
    if (trackLength > 0xFFFFFFFFull)
        throw LogLineError(static_cast<int>(lines.size()),
                           "The play log is too long for one MIDI track.");

    std::string file;
    file.reserve(22 + static_cast<std::size_t>(trackLength));
    file.append("MThd\0\0\0\x06\0\x01\0\x01\0\x32", 14);
    file.append("MTrk", 4);
    appendBigEndian32(static_cast<std::uint32_t>(trackLength), file);
    for (const TrackEvent& e : events) {
        appendVariableLength(e.delta, file);
        file.push_back(static_cast<char>(e.status));
        file.push_back(static_cast<char>(e.data1));
        if (e.twoDataBytes)
            file.push_back(static_cast<char>(e.data2));
    }
    file.append("\0\xFF\x2F\0", 4);
    return file;
}

} // namespace fw
