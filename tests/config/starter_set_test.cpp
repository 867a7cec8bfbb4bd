#include "config/starter_set.h"

#include "chords/chord_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fw {
namespace {

// Installed, the set lies under the data folder beside the program's folder; a program run from
// its build tree finds the source tree's copy.
TEST(StarterSetPlace, InstalledBesideTheProgramElseTheSourceTree) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "fw-starter-place";
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::create_directories(root / "share/fretwright/starter");
    std::ofstream(root / "share/fretwright/starter/starter.cset") << "\r\n";
    EXPECT_EQ(findStarterSet((root / "bin").string()),
              (root / "share/fretwright/starter/starter.cset").string());
    fs::remove_all(root / "share");
    EXPECT_EQ(findStarterSet((root / "bin").string()),
              (fs::path(FW_SOURCE_DIR) / "data/starter/starter.cset").lexically_normal().string());
    fs::remove_all(root);

    std::string error;
    const auto whole = readWholeSet(FW_SOURCE_DIR "/data/starter/starter.cset", error);
    ASSERT_TRUE(whole) << error;
    EXPECT_TRUE(whole->names.joystick.empty());
    EXPECT_TRUE(whole->beat);
}

// What a player hears from the shipped set: the chords it names, one bar of eighths (or a single
// strum) per pick, no pick twice in a set, strums that go down in their normal form and up in
// their altered one, and a beat that a drum plays in time with the picks.
TEST(StarterSetContent, ChordsPicksAndBeatFitTogether) {
    std::string error;
    const auto whole = readWholeSet(FW_SOURCE_DIR "/data/starter/starter.cset", error);
    ASSERT_TRUE(whole) << error;
    const char* const names[4][4] = {{"G", "C/G", "D", "Em"},
                                     {"C/G", "F", "G", "Am/E"},
                                     {"E", "A/E", "B7/F#", "E7"},
                                     {"Am/E", "Dm", "E7", "G7"}};
    for (int s = 1; s <= 4; ++s)
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(chordName(whole->chords[s][c]), names[s - 1][c - 1]) << s << "-" << c;

    const auto& picks = whole->picks.memory;
    for (int s = 1; s <= 4; ++s) {
        std::set<std::string> distinct;
        for (int n = 1; n <= 8; ++n) {
            const std::string& seq = picks[s][n];
            distinct.insert(seq);
            EXPECT_TRUE(seq.size() == 7 || seq.size() == 8 * 7) << s << "/" << n;
        }
        EXPECT_EQ(distinct.size(), 8u) << "pick set " << s;
    }
    // A strum's six strings, in the order they are struck.
    EXPECT_EQ(picks[1][1], "012345-");
    EXPECT_EQ(picks[1][2], "543210-");
    // Pick set 2's first pick: a down-strum on every beat; altered, down-up on every eighth.
    EXPECT_EQ(picks[2][1].substr(0, 14), "012345--------");
    EXPECT_EQ(picks[2][2].substr(0, 14), "012345-543210-");

    ASSERT_TRUE(whole->beat);
    EXPECT_EQ(whole->beat->instrument, 118); // Synth Drum: no steady pitch to clash with a chord
    std::string beatError;
    const auto line = compileBeatLine(whole->beat->voices, whole->beat->rows, beatError);
    ASSERT_TRUE(line) << beatError;
    EXPECT_EQ(line->size(), 8u * 14u); // one 4/4 bar of eighths, as long as a pick
}

} // namespace
} // namespace fw
