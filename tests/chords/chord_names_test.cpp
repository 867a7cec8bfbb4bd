#include "chords/chord_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

struct Voicing {
    const char* what;
    std::vector<int> strings; // strings 1.., low to high; the rest stay 0
    int transpose;
    const char* name;
};

ChordNotes notesOf(const std::vector<int>& strings) {
    ChordNotes notes{};
    for (std::size_t k = 0; k < strings.size() && k < 10; ++k)
        notes[k + 1] = strings[k];
    return notes;
}

TEST(ChordNames, NamesVoicingsByRootQualityAndBass) {
    const Voicing table[] = {
        // Open chords, six strings (the starter set's voicings).
        {"open G 320003", {43, 47, 50, 55, 59, 67}, 0, "G"},
        {"open C 332010 (G in the bass)", {43, 48, 52, 55, 60, 64}, 0, "C/G"},
        {"open C x32010", {48, 52, 55, 60, 64}, 0, "C"},
        {"open D xx0232", {50, 57, 62, 66}, 0, "D"},
        {"open Em 022000", {40, 47, 52, 55, 59, 64}, 0, "Em"},
        {"open Am x02210", {45, 52, 57, 60, 64}, 0, "Am"},
        {"open Dm xx0231", {50, 57, 62, 65}, 0, "Dm"},
        {"open E 022100", {40, 47, 52, 56, 59, 64}, 0, "E"},
        {"open A x02220", {45, 52, 57, 61, 64}, 0, "A"},
        // Sevenths and colours.
        {"open B7 x21202", {47, 51, 57, 59, 66}, 0, "B7"},
        {"open E7 020100", {40, 47, 50, 56, 59, 64}, 0, "E7"},
        {"open G7 320001", {43, 47, 50, 55, 59, 65}, 0, "G7"},
        {"Am7 x02010", {45, 52, 55, 60, 64}, 0, "Am7"},
        {"Cmaj7 x32000", {48, 52, 55, 59, 64}, 0, "Cmaj7"},
        {"Dsus4 xx0233", {50, 57, 62, 67}, 0, "Dsus4"},
        {"Dsus2 xx0230", {50, 57, 62, 64}, 0, "Dsus2"},
        {"Bm7b5 x2323x", {47, 53, 57, 62}, 0, "Bm7b5"},
        {"Bdim x2343x", {47, 53, 59, 62}, 0, "Bdim"},
        {"Cadd9 x32030", {48, 52, 55, 62, 64}, 0, "Cadd9"},
        {"C6 over its root beats Am7/C", {48, 52, 55, 57, 64}, 0, "C6"},
        {"A7 without its fifth", {45, 55, 61}, 0, "A7"},
        {"power chord E5", {40, 47, 52}, 0, "E5"},
        // Barre chords: shapes moved up the neck, and the fret raising a whole chord.
        {"F barre 133211", {41, 48, 53, 57, 60, 65}, 0, "F"},
        {"Bm barre x24432", {47, 54, 59, 62, 66}, 0, "Bm"},
        {"Bb barre x13331", {46, 53, 58, 62, 65}, 0, "Bb"},
        {"F#m barre 244222", {42, 49, 54, 57, 61, 66}, 0, "F#m"},
        {"E raised four semitones is Ab", {40, 47, 52, 56, 59, 64}, 4, "Ab"},
        {"G raised two semitones is A", {43, 47, 50, 55, 59, 67}, 2, "A"},
        // Inversions.
        {"C/E 032010", {40, 48, 52, 55, 60, 64}, 0, "C/E"},
        {"D/F# 2x0232", {42, 50, 57, 62, 66}, 0, "D/F#"},
        {"G7/B x20001", {47, 50, 55, 59, 65}, 0, "G7/B"},
        // Ten strings with doubled notes: strings 7..10 repeat notes already there.
        {"G on ten strings", {43, 47, 50, 55, 59, 67, 43, 43, 55, 31}, 0, "G"},
        {"E7 on ten strings", {40, 47, 50, 56, 59, 64, 40, 40, 40, 40}, 0, "E7"},
        {"Am on ten strings, low A below", {40, 45, 52, 57, 60, 64, 40, 33, 57, 45}, 0, "Am"},
        // Nothing fits, and nothing there.
        {"a cluster", {48, 49, 50}, 0, "[C C# D]"},
        {"one note", {40, 52, 64}, 0, "[E]"},
        {"six pitch classes", {48, 49, 50, 51, 52, 53}, 0, "?"},
        {"empty chord", {}, 0, ""},
        {"notes no string can sound", {200, 200}, 0, ""},
    };
    for (const Voicing& v : table)
        EXPECT_EQ(chordName(notesOf(v.strings), v.transpose), v.name) << v.what;
}

} // namespace
} // namespace fw
