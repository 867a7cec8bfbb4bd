#include "beats/beat_pattern.h"

#include "engine/strict_int.h"
#include "engine/z2uvir.h"

namespace fw {

std::optional<int> beatRowNote(int row, const std::string& text, std::string& error) {
    int note = 0;
    try {
        note = strToInt(text);
    } catch (const ConversionError& e) {
        error = e.what();
        return std::nullopt;
    }
    if (note < 0 || note > 127) {
        error = std::string("Row ") + beatRowLetter(row) + " holds " + std::to_string(note) +
                ", which is not a MIDI note number (0 to 127).";
        return std::nullopt;
    }
    return note;
}

std::optional<std::string> compileBeatLine(const BeatVoices& voices, const BeatRowNumbers& rows,
                                           std::string& error) {
    const std::string pattern = interleaveChannels(voices);
    // Each row is converted once, when its letter is first met, as a user reading the grid would.
    std::array<int, kBeatRows> notes;
    notes.fill(-1);
    std::string line;
    line.reserve(2 * pattern.size());
    for (char c : pattern) {
        if (c == '-') {
            line += "--";
        } else if (c >= 'A' && c < 'A' + kBeatRows) {
            const int row = c - 'A';
            if (notes[row] < 0) {
                const auto note = beatRowNote(row, rows[row], error);
                if (!note)
                    return std::nullopt;
                notes[row] = *note;
            }
            line += byteToHex(notes[row]);
        }
    }
    return line;
}

} // namespace fw
