#pragma once

#include <cstdint>

namespace fw {

// What a string sounds when its note is not a MIDI note.
inline constexpr int kNoNote = -1;

// The note a string sounds: its chord entry raised by the fret (fret 1 plays the entry itself).
// Entries are whatever a file or a box held, so the sum is taken wide; a result outside 0..127
// is no note, and the string stays silent rather than sounding some other note.
constexpr int stringNote(int entry, int fret) {
    const std::int64_t note = std::int64_t{entry} + fret - 1;
    return note < 0 || note > 127 ? kNoNote : static_cast<int>(note);
}

} // namespace fw
