#pragma once

#include <array>
#include <string>

namespace fw {

inline constexpr int kIdle = 0xFFFF;

// What the instrument is doing right now. Arrays are 1-based as the play logic counts them;
// slot 0 exists and carries nothing.
struct PlayState {
    int pick = 1;
    int chord = 1;
    int chordSet = 1;
    int pickSet = 1;
    int selChord = 1;
    int selChordSet = 1;
    int selPickSet = 1;
    std::array<int, 14> fretCalibration{};
    std::array<int, 33> pickCalibration{};
    std::array<int, 17> chordCalibration{};
    // [chordSet 1..4][chord 1..4][string 1..10]: base MIDI note of each string.
    std::array<std::array<std::array<int, 11>, 5>, 5> chordMemory{};
    // [pickSet 1..4][sequence 1..8]: interleaved picking sequences.
    std::array<std::array<std::string, 9>, 5> pickMemory{};
    int fret = 1;

    std::array<int, 11> lastNotes{}; // per string 1..10
    // Per string 1..10: its note went out and has not been ended since.
    std::array<bool, 11> stringSounds{};
    int pickStep = kIdle;
    int velocity = 100;
    int bendValue = 63;
    int instrument = 0;
    int sentInstrument = -1;
    int sentBend = -1;
    std::string accompBeatLine;
    int beatStep = 0;
    int beatCycle = 0;
    bool beatDigitBusy = false;
};

// Control values that several inputs write (mouse, keyboard modes, joystick, the sequencer).
// The windows mirror them; the play logic reads and writes only these.
struct ControlState {
    int checkedFret = 1;           // FretButton1..13; 0 when none is checked
    bool alt = false;              // "ALT"
    bool realtimeFrets = true;     // "Realtime Frets"
    bool mergeModes = true;        // "Merge Modes"
    bool accompBeat = false;       // "Accomp. Beat"
    int track = 0;                 // "Track" item, 0..7
    int pickItem = 0;              // "Pick" item, 0..3
    int pickSetItem = 0;           // "PSet" item, 0..3
    int metronomeItem = -1;        // "Metronome" item, -1 before the first beat
    int cyclesPerDigitItem = 3;    // "Cycles/Digit" item
    std::string remainingSequence; // Edit123
    int instrumentItem = 25;       // ListBox1: program number
    int alternateItem1 = 25;       // ListBox7, behind alternate button "1"
    int alternateItem2 = 26;       // ListBox6, behind "2"
    int alternateItem3 = 120;      // ListBox8, behind "3"
    int tremPosition = 127;        // "P", 1..255
    int tempPosition = 905;        // "T", 1..1000
    int vPosition = 63;            // "V", 0..127
    int strumSpreadMs = 0;         // "Strum Spread": a group's plucks leave over this time
    bool pickAtOnce = false;       // "Pick Start": "At once" rather than "On the beat"
};

} // namespace fw
