#include "chords/chord_names.h"

#include "engine/string_note.h"

#include <bit>
#include <cstdint>

namespace fw {

namespace {

using PitchSet = std::uint16_t; // bit i: pitch class i above the root (or above C)

constexpr PitchSet setOf(std::initializer_list<int> intervals) {
    PitchSet s = 0;
    for (int i : intervals)
        s = static_cast<PitchSet>(s | (1u << i));
    return s;
}

struct Quality {
    PitchSet intervals;
    const char* suffix;
};

// In order of preference: where two names fit the same notes over the same bass, the plainer
// one wins (C6 over Am7/C is decided by the bass, Dsus2 over Asus4/D likewise).
constexpr Quality kQualities[] = {
    {setOf({0, 4, 7}), ""},
    {setOf({0, 3, 7}), "m"},
    {setOf({0, 4, 7, 10}), "7"},
    {setOf({0, 3, 7, 10}), "m7"},
    {setOf({0, 4, 7, 11}), "maj7"},
    {setOf({0, 5, 7}), "sus4"},
    {setOf({0, 2, 7}), "sus2"},
    {setOf({0, 4, 7, 9}), "6"},
    {setOf({0, 3, 7, 9}), "m6"},
    {setOf({0, 3, 6}), "dim"},
    {setOf({0, 4, 8}), "aug"},
    {setOf({0, 3, 6, 9}), "dim7"},
    {setOf({0, 3, 6, 10}), "m7b5"},
    {setOf({0, 5, 7, 10}), "7sus4"},
    {setOf({0, 2, 4, 7}), "add9"},
    {setOf({0, 2, 3, 7}), "madd9"},
    {setOf({0, 2, 4, 7, 10}), "9"},
    {setOf({0, 2, 3, 7, 10}), "m9"},
    {setOf({0, 2, 4, 7, 11}), "maj9"},
    // Guitarists often leave out the fifth of a seventh chord.
    {setOf({0, 4, 10}), "7"},
    {setOf({0, 3, 10}), "m7"},
    {setOf({0, 4, 11}), "maj7"},
    {setOf({0, 7}), "5"},
};

PitchSet rotate(PitchSet s, int root) {
    // Pitch classes counted from root instead of C.
    const unsigned wide = static_cast<unsigned>(s) | (static_cast<unsigned>(s) << 12);
    return static_cast<PitchSet>((wide >> root) & 0xFFFu);
}

} // namespace

std::string pitchClassName(int note) {
    static const char* const kNames[12] = {"C",  "C#", "D",  "Eb", "E",  "F",
                                           "F#", "G",  "Ab", "A",  "Bb", "B"};
    return kNames[((note % 12) + 12) % 12];
}

std::string chordName(const ChordNotes& notes, int transpose) {
    if (!chordIsStored(notes))
        return "";
    PitchSet present = 0;
    int bass = kNoNote;
    for (int k = 1; k <= 10; ++k) {
        // A string left at 0 holds nothing (a file of six-string chords leaves strings 7..10
        // so); only notes a string can sound count, as the sequencer plays them.
        if (notes[k] == 0)
            continue;
        const int note = stringNote(notes[k], transpose + 1);
        if (note == kNoNote)
            continue;
        present = static_cast<PitchSet>(present | (1u << (note % 12)));
        if (bass == kNoNote || note < bass)
            bass = note;
    }
    if (present == 0)
        return "";
    const int bassClass = bass % 12;
    int bestRoot = -1;
    int bestRank = 0;
    constexpr int kQualityCount = static_cast<int>(std::size(kQualities));
    for (int root = 0; root < 12; ++root) {
        if (!(present & (1u << root)))
            continue;
        const PitchSet intervals = rotate(present, root);
        for (int q = 0; q < kQualityCount; ++q) {
            if (kQualities[q].intervals != intervals)
                continue;
            // A name over its own root beats any inversion.
            const int rank = (root == bassClass ? 0 : kQualityCount) + q;
            if (bestRoot < 0 || rank < bestRank)
                bestRoot = root, bestRank = rank;
        }
    }
    if (bestRoot >= 0) {
        std::string name = pitchClassName(bestRoot) + kQualities[bestRank % kQualityCount].suffix;
        if (bestRoot != bassClass)
            name += "/" + pitchClassName(bassClass);
        return name;
    }
    if (std::popcount(present) > 5)
        return "?";
    std::string list = "[";
    for (int i = 0; i < 12; ++i) {
        const int pc = (bassClass + i) % 12;
        if (present & (1u << pc)) {
            if (list.size() > 1)
                list += ' ';
            list += pitchClassName(pc);
        }
    }
    return list + "]";
}

std::string chordInPlayName(const PlayState& st) {
    return chordName(st.chordMemory[st.chordSet][st.chord], st.fret - 1);
}

std::string selectedChordName(const PlayState& st, int fret) {
    return chordName(st.chordMemory[st.selChordSet][st.selChord], fret - 1);
}

std::string chordNamesLine(const PlayState& st, int fret) {
    const auto shown = [](const std::string& name) { return name.empty() ? "-" : name; };
    return "Plays " + shown(chordInPlayName(st)) + " \xC2\xB7 selected " +
           shown(selectedChordName(st, fret));
}

} // namespace fw
