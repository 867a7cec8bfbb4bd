#pragma once

#include "chords/chord_sets.h"

#include <string>

namespace fw {

// The name of the pitch class of a MIDI note, as guitarists spell it: "C", "C#", "D", "Eb",
// "E", "F", "F#", "G", "Ab", "A", "Bb", "B".
std::string pitchClassName(int note);

// A chord's name from the notes of its ten strings raised by transpose semitones: root and
// quality ("G", "Em", "B7", "Cmaj7", "Dsus4"), the bass after a slash when it is not the root
// ("C/G"). Doubled notes count once; a string whose entry is 0 holds no note. Notes no name fits
// give their pitch classes in brackets
// ("[C D F#]"), more than five of them "?"; an empty chord gives "".
std::string chordName(const ChordNotes& notes, int transpose = 0);

// The chord in play as it sounds at the fret in play, and the selected chord as it would sound
// at `fret` (the fret a pick would take up).
std::string chordInPlayName(const PlayState& st);
std::string selectedChordName(const PlayState& st, int fret);

// Both, as the windows show them beside the selection: "Plays G · selected Em".
std::string chordNamesLine(const PlayState& st, int fret);

} // namespace fw
