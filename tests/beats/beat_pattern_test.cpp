#include "beats/beat_files.h"
#include "beats/beat_generator.h"
#include "beats/beat_pattern.h"
#include "files/line_file.h"
#include "support/scripted_random.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fw {
namespace {

BeatRowNumbers startRows() {
    BeatRowNumbers rows;
    for (int r = 0; r < kBeatRows; ++r)
        rows[r] = std::to_string(r + 1);
    return rows;
}

TEST(BeatPattern, ApplyExpandsLettersPadsAtTheEndAndDropsOtherCharacters) {
    struct Case {
        BeatVoices voices;
        std::vector<std::pair<int, std::string>> rowTexts; // row index, text
        std::string line;
    };
    const std::string rest7(14, '-');
    const Case cases[] = {
        // The worked example: A-A- and -C give four steps.
        {{"A-A-", "-C"},
         {},
         "01" + rest7.substr(2) + "--03" + rest7.substr(4) + "01" + rest7.substr(2) + rest7},
        // Padding is at the end of the shorter voice, never at its start.
        {{"A", "--B"}, {}, "01" + rest7.substr(2) + rest7 + "--02" + rest7.substr(4)},
        // Blanks, lower case, digits and "Z" give nothing: later units move up.
        {{"a", "Z", "1", " ", "B"},
         {},
         "0"
         "2"
         "----"},
        // Rows 0..15 get a leading zero; the same letter in two voices gives two units.
        {{"P", "P", "Y"}, {{15, "15"}, {24, "127"}}, "0F0F7F--------"},
        // Seven empty lines: an empty beat.
        {{}, {}, ""},
    };
    for (const Case& c : cases) {
        BeatRowNumbers rows = startRows();
        for (const auto& [row, text] : c.rowTexts)
            rows[row] = text;
        std::string error;
        const auto line = compileBeatLine(c.voices, rows, error);
        ASSERT_TRUE(line.has_value()) << error;
        EXPECT_EQ(*line, c.line) << c.voices[0];
    }
}

TEST(BeatPattern, ApplyRefusesRowsThatAreNoNoteAndOnlyWhenTheyAreUsed) {
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"seven", "'seven' is not a valid integer value"},
        {"", "'' is not a valid integer value"},
        {"128", "Row C holds 128, which is not a MIDI note number (0 to 127)."},
        {"-1", "Row C holds -1, which is not a MIDI note number (0 to 127)."},
    };
    for (const Case& c : cases) {
        BeatRowNumbers rows = startRows();
        rows[2] = c.text;
        std::string error;
        EXPECT_FALSE(compileBeatLine({"A-C"}, rows, error).has_value()) << c.text;
        EXPECT_EQ(error, c.error);
        error.clear();
        // A row the pattern does not use is never read.
        EXPECT_TRUE(compileBeatLine({"A-B"}, rows, error).has_value()) << c.text;
        EXPECT_EQ(beatRowNote(2, c.text, error), std::nullopt);
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    EXPECT_EQ(beatRowNote(0, " 0", error), 0);
}

TEST(BeatGenerator, DrawsInOrderAndWritesTheRangeAsked) {
    // Per unit: the full-range note, the register note (HIGH/LOW only), then note-or-rest.
    struct Case {
        std::string marker;
        std::initializer_list<std::uint32_t> draws;
        std::string line;
    };
    const Case cases[] = {
        {"", {200, 5, 10, 4, 137, 1, 0, 2, 126, 9, 0, 0, 3, 1}, "49--0A--7E--03"},
        {"HIGH",
         {0, 37, 1, 0, 35, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "5D7F----------"},
        {"LOW", {0, 0, 1, 0, 71, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "385B----------"},
        // Only exactly "HIGH" asks for the high register.
        {"high", {200, 5, 10, 4, 137, 1, 0, 2, 126, 9, 0, 0, 3, 1}, "49--0A--7E--03"},
    };
    for (const Case& c : cases) {
        test::ScriptedRandom random(c.draws);
        std::string line = c.marker;
        generateBeat(line, 1, random);
        EXPECT_EQ(line, c.line) << c.marker;
        EXPECT_TRUE(random.values.empty()) << c.marker;
        EXPECT_FALSE(random.exhausted) << c.marker;
    }
}

TEST(BeatGenerator, RangesAndTheOneInFourRateOnASeededSource) {
    SeededRandom random(2024);
    struct Range {
        std::string marker;
        int low, high;
    };
    for (const Range& r : {Range{"", 0, 126}, Range{"HIGH", 92, 127}, Range{"LOW", 56, 91}}) {
        int units = 0, notes = 0, lowest = 999, highest = -1;
        for (int i = 0; i < 200; ++i) {
            std::string line = r.marker;
            generateBeat(line, 32, random);
            for (std::size_t p = 0; p < line.size(); p += 2, ++units) {
                if (line.compare(p, 2, "--") == 0)
                    continue;
                ++notes;
                const int note = std::stoi(line.substr(p, 2), nullptr, 16);
                lowest = std::min(lowest, note);
                highest = std::max(highest, note);
            }
        }
        // 44800 units: one in four within a percent.
        EXPECT_NEAR(static_cast<double>(notes) / units, 0.25, 0.01) << r.marker;
        EXPECT_EQ(lowest, r.low) << r.marker;
        EXPECT_EQ(highest, r.high) << r.marker;
    }
    // The marker is used once: the next call sees a beat line and uses the full range.
    std::string line = kHighBeatMarker;
    generateBeat(line, 4, random);
    EXPECT_NE(line, kHighBeatMarker);
    test::ScriptedRandom scripted({0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    generateBeat(line, 1, scripted);
    EXPECT_EQ(line, "00------------");
}

struct BeatFiles : ::testing::Test {
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("fw-beat-files-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const std::string& name, const std::string& bytes) {
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(BeatFiles, RoundTripByteForByteAndRefuseWhatIsNoBeat) {
    BeatPattern pattern;
    pattern.voices = {"A-A-", "-C", "", "", "", "", "x y\xE9"};
    pattern.rows = startRows();
    pattern.rows[3] = "kick"; // kept as typed: "Apply" is what checks it
    const auto lines = beatFileLines(pattern);
    const std::string text = joinCrLf(lines);
    std::string error;
    auto read = readBeatFile(write("first.beat", text + "\r\n\r\n"), error); // blank ends: fine
    ASSERT_TRUE(read.has_value()) << error;
    EXPECT_EQ(joinCrLf(beatFileLines(*read)), text);

    // The beat instrument's line, which older files lack, comes back as written.
    pattern.instrument = 116;
    const std::string withInstrument = joinCrLf(beatFileLines(pattern));
    EXPECT_EQ(withInstrument, text + "117\r\n");
    read = readBeatFile(write("drums.beat", withInstrument + "\r\n"), error); // blank end
    ASSERT_TRUE(read.has_value()) << error;
    EXPECT_EQ(read->instrument, 116);
    EXPECT_EQ(joinCrLf(beatFileLines(*read)), withInstrument);

    const std::string p = (dir / "bad.beat").string();
    const std::string count = " lines; a beat file has 33: the name line, 7 pattern lines and 25 "
                              "row numbers (and may add the beat instrument's number).";
    const std::string instrument = p + ": line 34 should give the beat instrument's number, 1 to "
                                       "128.";
    const std::pair<std::string, std::string> bad[] = {
        {"A-A-\r\n", p + " is not a beat file: its first line should read \"Fretwright beat "
                         "pattern\"."},
        {joinCrLf({lines.begin(), lines.end() - 1}), p + " holds 32" + count},
        {text + "1\r\n2\r\n", p + " holds 35" + count},
        {text + "0\r\n", instrument},
        {text + "129", instrument},
        {text + "012\r\n", instrument},
        {text + "Taiko\r\n", instrument},
    };
    for (const auto& [bytes, message] : bad) {
        write("bad.beat", bytes);
        error.clear();
        EXPECT_FALSE(readBeatFile(p, error).has_value());
        EXPECT_EQ(error, message);
    }
}

} // namespace
} // namespace fw
