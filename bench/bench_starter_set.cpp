// Makes the starter set with the program's own saving code, and a play log that strums each of
// its chords once, for listening and for checking pitches in a rendering:
//   build/bin/bench_starter_set --write data/starter [--log chords.plog]
//   build/bin/fretwright-log wav chords.plog chords.wav
// The chords are open guitar chords in standard tuning, strings 1..6 low E to high E; a string
// the chord leaves muted gets a chord tone below, so that every string sounds. Strings 7..10,
// which no pick of the set uses, repeat the lowest note.
#include "beats/beat_files.h"
#include "chords/chord_sets.h"
#include "config/configuration_set.h"
#include "engine/engine.h"
#include "engine/log_sink.h"
#include "files/line_file.h"
#include "picks/pick_sets.h"
#include "support/engine_rig.h"

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

// One pick: its normal and altered sequences as channel texts (a digit d plucks string d + 1).
struct Pick {
    PickChannels normal;
    PickChannels altered;
};

const PickChannels kDown = {"0", "1", "2", "3", "4", "5"};
const PickChannels kUp = {"5", "4", "3", "2", "1", "0"};

// Set 1 gives each pick button another style; sets 2..4 are strums, arpeggios, fingerpicking.
const Pick kPicks[4][4] = {
    {{kDown, kUp},
     {{"01234543"}, {"54321012"}},
     {{"0-2-1-2-", "53435343"}, {"0---1---", "-345-345"}},
     {{"0-1-", "-2-2", "-3-3", "-4-4", "-5-5"}, {"0-1-", "-5-5", "-4-4", "-3-3", "-2-2"}}},
    {{kDown, kUp},
     {{"0000", "1111", "2222", "3333", "4444", "5555"},
      {"0505", "1414", "2323", "3232", "4141", "5050"}},
     {{"005505", "114414", "223323", "332232", "441141", "550050"},
      {"550050", "441141", "332232", "223323", "114414", "005505"}},
     {{"2", "3", "4", "5"}, {"5", "4", "3", "2"}}},
    {{{"012345"}, {"543210"}},
     {{"02345432"}, {"12345432"}},
     {{"034543"}, {"134543"}},
     {{"02132435"}, {"53423120"}}},
    {{{"0-2-1-2-", "53435343"}, {"0---1---", "-345-345"}},
     {{"0-2-1-2-", "5-4-5-4-", "-3-3-3-3"}, {"1-2-0-2-", "5-3-4-3-", "-4-5-4-5"}},
     {{"0-----", "-34543"}, {"1-----", "-34543"}},
     {{"0-1-", "5-5-", "-3-4"}, {"2-1-", "4-5-", "-3-3"}}}};

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
            memory[p][2 * k - 1] = interleaveChannels(kPicks[p - 1][k - 1].normal);
            memory[p][2 * k] = interleaveChannels(kPicks[p - 1][k - 1].altered);
        }
    }
    return memory;
}

BeatPattern starterBeat() {
    BeatPattern beat;
    // A root and fifth bass under the first set's G: G on the first beat, D on the third.
    beat.voices[0] = "A-B-";
    for (int r = 0; r < kBeatRows; ++r)
        beat.rows[r] = std::to_string(r + 1);
    beat.rows[0] = "43";
    beat.rows[1] = "38";
    return beat;
}

bool write(const std::filesystem::path& path, const std::vector<std::string>& lines) {
    if (auto error = writeLineFileAtomically(path.string(), lines)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return false;
    }
    return true;
}

// Strums every chord with pick 1 of set 1, three beats each, as the engine logs it.
std::vector<std::string> chordLog(const ChordTable& chords, const PickMemory& picks) {
    test::EngineRig rig;
    rig.engine.st.chordMemory = chords;
    rig.engine.st.pickMemory = picks;
    rig.engine.sequencerTick();    // opens the output
    rig.engine.pitchUpdaterTick(); // the guitar's instrument and bend, as the window sends them
    for (int s = 1; s <= 4; ++s) {
        for (int c = 1; c <= 4; ++c) {
            rig.engine.st.selChordSet = s;
            rig.engine.st.selChord = c;
            rig.engine.pickAction(1);
            for (int beat = 0; beat < 3; ++beat) {
                rig.clock.advanceMicros(625000);
                rig.engine.sequencerTick();
            }
        }
    }
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
    if (!logPath.empty() && !write(logPath, chordLog(chords, picks)))
        return 1;
    for (int s = 0; s < 4; ++s) {
        std::printf("set %d:", s + 1);
        for (const Chord& c : kChords[s])
            std::printf(" %s", c.name);
        std::printf("\n");
    }
    return 0;
}
