// Makes the starter set with the program's own saving code, and a play log that plays each of
// its picks on the chords of its set over the beat, for listening and for checking note times:
//   build/bin/bench_starter_set --write data/starter [--log demo.plog]
//   build/bin/fretwright-log wav demo.plog demo.wav
// The chords are open guitar chords in standard tuning, strings 1..6 low E to high E; a string
// the chord leaves muted gets a chord tone below, so that every string sounds. Strings 7..10,
// which no pick of the set uses, repeat the lowest note.
#include "beats/beat_files.h"
#include "beats/beat_pattern.h"
#include "chords/chord_sets.h"
#include "config/configuration_set.h"
#include "config/starter_set.h"
#include "engine/engine.h"
#include "engine/log_sink.h"
#include "files/line_file.h"
#include "picks/pick_sets.h"
#include "support/engine_rig.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace fw;

struct Chord {
    const char* name;
    int notes[6]; // strings 1..6, low to high
};

// Four sets of the chords a beginner plays first, each a key's I, IV, V and a fourth chord.
const Chord kChords[4][4] = {{{"G", {43, 47, 50, 55, 59, 67}},    // 320003
                              {"C", {43, 48, 52, 55, 60, 64}},    // 332010
                              {"D", {38, 45, 50, 57, 62, 66}},    // (D)00232
                              {"Em", {40, 47, 52, 55, 59, 64}}},  // 022000
                             {{"C", {43, 48, 52, 55, 60, 64}},    // 332010
                              {"F", {41, 48, 53, 57, 60, 65}},    // 133211
                              {"G", {43, 47, 50, 55, 59, 67}},    // 320003
                              {"Am", {40, 45, 52, 57, 60, 64}}},  // 002210
                             {{"E", {40, 47, 52, 56, 59, 64}},    // 022100
                              {"A", {40, 45, 52, 57, 61, 64}},    // 002220
                              {"B7", {42, 47, 51, 57, 59, 66}},   // 221202
                              {"E7", {40, 47, 50, 56, 59, 64}}},  // 020100
                             {{"Am", {40, 45, 52, 57, 60, 64}},   // 002210
                              {"Dm", {38, 45, 50, 57, 62, 65}},   // (D)00231
                              {"E7", {40, 47, 50, 56, 59, 64}},   // 020100
                              {"G7", {43, 47, 50, 55, 59, 65}}}}; // 320001

// A pick written step by step, one step an eighth note: "D" strums down (low string to high),
// "U" up (high to low), "d" and "u" are light strokes on the top strings, "-" rests, and digits
// pluck those strings in that order (string 1, the lowest, is "0"). Sequence 2k - 1 is a pick's
// normal form, 2k its altered one: for a strum the up-strum, otherwise a variant.
using Steps = std::vector<const char*>;
struct Pick {
    Steps normal;
    Steps altered;
};

// Set 1 tries a style on each pick button; sets 2..4 are strums, arpeggios and fingerpicking.
// Each is one 4/4 bar (eight steps) but the single strums, so a pick on each chord change keeps
// time with the beat.
const Pick kPicks[4][4] = {
    // 1: a strum (the flick of a stick), a first rhythm, an arpeggio, a thumb-and-finger pattern.
    {{{"D"}, {"U"}},
     {{"D", "-", "D", "-", "D", "U", "D", "U"}, {"D", "-", "D", "-", "D", "U", "-", "U"}},
     {{"0", "2", "3", "4", "5", "4", "3", "2"}, {"0", "5", "4", "3", "2", "3", "4", "5"}},
     {{"0", "4", "2", "3", "1", "4", "2", "3"}, {"05", "4", "2", "3", "15", "4", "2", "3"}}},
    // 2: the strumming rhythms learnt first.
    {{{"D", "-", "D", "-", "D", "-", "D", "-"}, {"D", "U", "D", "U", "D", "U", "D", "U"}},
     {{"D", "-", "D", "U", "D", "-", "D", "U"}, {"D", "-", "D", "U", "D", "U", "D", "U"}},
     {{"D", "-", "D", "U", "-", "U", "D", "U"}, {"D", "-", "D", "U", "-", "U", "-", "U"}},
     {{"0", "-", "d", "-", "1", "-", "d", "u"}, {"0", "-", "d", "u", "1", "-", "d", "u"}}},
    // 3: arpeggios.
    {{{"0", "1", "2", "3", "4", "5", "4", "3"}, {"5", "4", "3", "2", "1", "0", "1", "2"}},
     {{"0", "2", "3", "2", "4", "2", "3", "2"}, {"1", "2", "3", "2", "4", "2", "3", "2"}},
     {{"0", "3", "4", "5", "1", "3", "4", "5"}, {"0", "5", "4", "3", "1", "5", "4", "3"}},
     {{"0", "34", "2", "34", "1", "34", "2", "34"}, {"0", "45", "2", "45", "1", "45", "2", "45"}}},
    // 4: fingerpicking: alternating thumb, pinches, a ballad.
    {{{"05", "3", "2", "4", "1", "3", "2", "4"}, {"05", "3", "2", "4", "15", "3", "2", "4"}},
     {{"05", "3", "4", "3", "15", "3", "4", "3"}, {"05", "3", "4", "3", "25", "3", "4", "3"}},
     {{"0", "4", "2", "5", "1", "4", "2", "5"}, {"0", "5", "2", "4", "1", "5", "2", "4"}},
     {{"0", "-", "35", "-", "1", "-", "35", "-"}, {"0", "-", "35", "4", "1", "-", "35", "4"}}}};

// The strings a step plucks, in the order they are struck.
std::string stepStrings(std::string_view step) {
    if (step == "D")
        return "012345";
    if (step == "U")
        return "543210";
    if (step == "d")
        return "2345";
    if (step == "u")
        return "543";
    if (step == "-")
        return "";
    return std::string(step);
}

// Channel c holds the c-th string of every step, so a step's group plays in stroke order.
std::string sequenceOf(const Steps& steps) {
    PickChannels channels;
    for (const char* step : steps) {
        const std::string strings = stepStrings(step);
        for (std::size_t c = 0; c < channels.size(); ++c)
            channels[c] += c < strings.size() ? strings[c] : '-';
    }
    return interleaveChannels(channels);
}

ChordTable starterChords() {
    ChordTable table{};
    for (int s = 1; s <= 4; ++s) {
        for (int c = 1; c <= 4; ++c) {
            const Chord& chord = kChords[s - 1][c - 1];
            // As the builder stores it: the lowest note is the root, each string an offset.
            int root = chord.notes[0];
            for (int n : chord.notes)
                root = std::min(root, n);
            std::array<std::string, 10> offsets;
            for (int k = 0; k < 10; ++k)
                offsets[k] = std::to_string((k < 6 ? chord.notes[k] : chord.notes[0]) - root);
            const ChordNotes notes = chordFromBuilder(root, offsets);
            for (int k = 1; k <= 10; ++k)
                table[s][c][k] = notes[k];
        }
    }
    return table;
}

PickMemory starterPicks() {
    PickMemory memory{};
    for (int p = 1; p <= 4; ++p) {
        for (int k = 1; k <= 4; ++k) {
            memory[p][2 * k - 1] = sequenceOf(kPicks[p - 1][k - 1].normal);
            memory[p][2 * k] = sequenceOf(kPicks[p - 1][k - 1].altered);
        }
    }
    return memory;
}

// General MIDI's Synth Drum on the beat channel: a drum whose pitch falls through each stroke,
// so it holds no note to clash with any chord of the four sets (the piano's G2 and D2 clashed
// with E, A, B7 and E7). A deep stroke on beats 1 and 3, a higher one on 2 and 4, a light one
// before the next bar.
constexpr int kSynthDrum = 118;
BeatPattern starterBeat() {
    BeatPattern beat;
    beat.voices[0] = "A---A---";
    beat.voices[1] = "--B---B-";
    beat.voices[2] = "-------C";
    for (int r = 0; r < kBeatRows; ++r)
        beat.rows[r] = std::to_string(r + 1);
    beat.rows[0] = "36";
    beat.rows[1] = "60";
    beat.rows[2] = "72";
    beat.instrument = kSynthDrum;
    return beat;
}

bool write(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    if (auto error = writeLineFileAtomically(path.string(), lines)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return false;
    }
    return true;
}

// The set as a player would try it, logged as the engine logs it: the starter tempo, spread and
// beat, two bars of the beat alone, then every pick of every pick set for a bar on each chord of
// its set, the normal form on chords 1 and 2 and the altered one on 3 and 4, each pick pressed
// just before the bar's first step.
std::vector<std::string> demoLog(const ChordTable& chords, const PickMemory& picks,
                                 const BeatPattern& beat) {
    test::EngineRig rig;
    Engine& e = rig.engine;
    e.st.chordMemory = chords;
    e.st.pickMemory = picks;
    e.ui.tempPosition = kStarterTempoPosition;
    e.ui.strumSpreadMs = kStarterStrumSpreadMs;
    std::string error;
    e.st.accompBeatLine = compileBeatLine(beat.voices, beat.rows, error).value_or("");
    e.sequencerTick();    // opens the output
    e.pitchUpdaterTick(); // the guitar's instrument and bend, as the window sends them
    rig.out.sendAndLog(0xC0, beat.instrument.value_or(0), 0);
    e.ui.accompBeat = true;
    const std::int64_t stepMicros = 60000 / e.bpm() * 1000;
    const auto steps = [&](int n) {
        for (int i = 0; i < n; ++i) {
            rig.clock.advanceMicros(stepMicros);
            e.sequencerTick();
            // At once: a pluck is logged at its due time, which lies this far ahead of now.
            e.releasePlucks(INT64_MAX);
        }
    };
    steps(16);
    for (int s = 1; s <= 4; ++s) {
        for (int k = 1; k <= 4; ++k) {
            for (int c = 1; c <= 4; ++c) {
                e.st.selPickSet = s;
                e.st.selChordSet = s;
                e.st.selChord = c;
                e.ui.alt = c >= 3;
                e.pickAction(k);
                steps(8);
            }
        }
    }
    steps(8);
    e.releasePlucks(INT64_MAX);
    return rig.log.lines;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder, logPath;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--write")
            folder = argv[i + 1];
        if (std::string(argv[i]) == "--log")
            logPath = argv[i + 1];
    }
    if (folder.empty() && logPath.empty()) {
        std::fprintf(stderr, "usage: bench_starter_set [--write FOLDER] [--log OUT.plog]\n");
        return 2;
    }
    const ChordTable chords = starterChords();
    const PickMemory picks = starterPicks();
    if (!folder.empty()) {
        const std::filesystem::path dir(folder);
        std::filesystem::create_directories(dir);
        if (!write(dir / "starter.chords", chordMemoryLines(chords)) ||
            !write(dir / "starter.picks", pickMemoryLines(picks)) ||
            !write(dir / "starter.beat", beatFileLines(starterBeat())))
            return 1;
        // Names relative to the set's own folder, so that it loads wherever it is installed.
        if (auto error = writeConfigurationSetFile(
                (dir / "starter.cset").string(),
                {"starter.chords", "starter.picks", "", "starter.beat"})) {
            std::fprintf(stderr, "%s\n", error->c_str());
            return 1;
        }
    }
    if (!logPath.empty() && !write(logPath, demoLog(chords, picks, starterBeat())))
        return 1;
    for (int s = 0; s < 4; ++s) {
        std::printf("set %d:", s + 1);
        for (const Chord& c : kChords[s])
            std::printf(" %s", c.name);
        std::printf("\n");
    }
    return 0;
}
