#include "engine/z2uvir.h"
#include "logs/log_lines.h"
#include "logs/midi_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fw {
namespace {

std::string bytesOf(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string exportLines(std::initializer_list<std::string_view> lines) {
    return midiFileFromLog(std::vector<std::string_view>(lines));
}

// The track events after the 22 bytes of headers, without the end-of-track event.
std::string trackEvents(const std::string& file) {
    return file.substr(22, file.size() - 26);
}

TEST(MidiFile, WorkedExampleAndEmptyLogAreByteExact) {
    EXPECT_EQ(exportLines({"C0000000-0", "91405A00-50", "91400000-150"}),
              bytesOf({0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x00,
                       0x32, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x0F, 0x00, 0xC0, 0x00, 0x32,
                       0x91, 0x40, 0x5A, 0x64, 0x91, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
    const std::string empty = midiFileFromLog({});
    ASSERT_EQ(empty.size(), 26u);
    EXPECT_EQ(empty.substr(14), bytesOf({'M', 'T', 'r', 'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}));
}

TEST(MidiFile, ProgramChangeAndChannelPressureCarryOneDataByte) {
    // The fourth byte and anything in characters 7-9 never reach the file.
    const std::string file =
        exportLines({"C5197F99-10", "D3407FAB-10", "E1007F00-12", "A1407F00-12", "B1077F00-12"});
    EXPECT_EQ(trackEvents(file), bytesOf({10, 0xC5, 0x19, 0, 0xD3, 0x40, 2, 0xE1, 0x00, 0x7F, 0,
                                          0xA1, 0x40, 0x7F, 0, 0xB1, 0x07, 0x7F}));
    // The track length always equals the bytes that follow it.
    const auto length = (static_cast<unsigned char>(file[18]) << 24) |
                        (static_cast<unsigned char>(file[19]) << 16) |
                        (static_cast<unsigned char>(file[20]) << 8) |
                        static_cast<unsigned char>(file[21]);
    EXPECT_EQ(length, file.size() - 22);
}

TEST(MidiFile, DeltasUseVariableLengthQuantitiesAndNeverGoBackwards) {
    const std::array<std::pair<std::uint32_t, std::string>, 9> cases = {{
        {0, bytesOf({0x00})},
        {50, bytesOf({0x32})},
        {127, bytesOf({0x7F})},
        {128, bytesOf({0x81, 0x00})},
        {200, bytesOf({0x81, 0x48})},
        {16383, bytesOf({0xFF, 0x7F})},
        {16384, bytesOf({0x81, 0x80, 0x00})},
        {2097152, bytesOf({0x81, 0x80, 0x80, 0x00})},
        {0x0FFFFFFF, bytesOf({0xFF, 0xFF, 0xFF, 0x7F})},
    }};
    for (const auto& [value, expected] : cases) {
        std::string out;
        appendVariableLength(value, out);
        EXPECT_EQ(out, expected) << value;
        EXPECT_EQ(variableLengthSize(value), static_cast<int>(expected.size())) << value;
        // The same quantity as the first delta of a file.
        const std::string line = "90400000-" + std::to_string(value);
        EXPECT_EQ(trackEvents(exportLines({line})), expected + bytesOf({0x90, 0x40, 0x00}));
    }
    // A time lower than the line before (an edited log, a negative time) gives a delta of 0,
    // and the next deltas count from the time already written, so later events keep their time.
    EXPECT_EQ(trackEvents(exportLines({"90400000-300", "90410000-100", "90420000-350",
                                       "90430000--20", "90440000-400"})),
              bytesOf({0x82, 0x2C, 0x90, 0x40, 0x00, 0x00, 0x90, 0x41, 0x00, 0x32, 0x90,
                       0x42, 0x00, 0x00, 0x90, 0x43, 0x00, 0x32, 0x90, 0x44, 0x00}));
}

TEST(MidiFile, RefusesLinesThatWouldMakeACorruptFile) {
    const auto errorOf = [](std::initializer_list<std::string_view> lines) -> std::string {
        try {
            exportLines(lines);
        } catch (const LogLineError& e) {
            return std::to_string(e.line()) + ": " + e.what();
        }
        return "exported";
    };
    // The conversion error of the time field, as the user knows it.
    EXPECT_EQ(errorOf({"90400000-5", "9040000"}), "1: '' is not a valid integer value");
    EXPECT_EQ(errorOf({"90400000-5x"}), "0: '5x' is not a valid integer value");
    // Bytes that are no channel message: a data byte of 80h or more, a status below 80h, a
    // system status, and characters that are not hexadecimal digits.
    for (std::string_view bad :
         {"90804000-1", "90408000-1", "40404000-1", "F0404000-1", "9G404000-1", "C0FF0000-1"}) {
        const std::string expected =
            "2: Line 3 \"" + std::string(bad) + "\" is not a valid MIDI channel message.";
        EXPECT_EQ(errorOf({"C0000000-0", "91405A00-50", bad}), expected);
    }
    // A delta beyond what a delta time can hold.
    EXPECT_EQ(errorOf({"90400000-268435455"}), "exported");
    EXPECT_NE(errorOf({"90400000-268435456"}).find("0: Line 1 "), std::string::npos);
}

// Reads a file back with midicsv, an independent parser, as "time, event, channel, ..." rows.
std::vector<std::string> midicsvEvents(const std::string& path) {
    std::vector<std::string> rows;
    FILE* pipe = popen(("midicsv '" + path + "' 2>&1").c_str(), "r");
    if (!pipe)
        return rows;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) {
        std::string row(buffer);
        while (!row.empty() && (row.back() == '\n' || row.back() == '\r'))
            row.pop_back();
        rows.push_back(row);
    }
    pclose(pipe);
    return rows;
}

TEST(MidiFile, MidicsvReadsTheSameEventsAndTimes) {
    if (std::system("command -v midicsv >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "midicsv is not installed";
    // A take as live play leaves it: program change, bend, strums with note-offs, beat notes,
    // pressure, times with equal neighbours and long gaps, and one edited line.
    std::vector<std::string> owned;
    std::vector<std::string> expected = {"0, 0, Header, 1, 1, 50", "1, 0, Start_track"};
    int t = 3;
    owned.push_back("C1190000-" + std::to_string(t));
    expected.push_back("1, 3, Program_c, 1, 25");
    owned.push_back("E1004000-" + std::to_string(t));
    expected.push_back("1, 3, Pitch_bend_c, 1, 8192");
    for (int i = 0; i < 300; ++i) {
        t += (i % 7 == 0) ? 0 : (i % 11 == 0 ? 20000 : 13);
        const int note = 40 + i % 30;
        const int velocity = (i % 3 == 0) ? 0 : 90;
        owned.push_back(formatZ2uvirLine(0x91, note, velocity, t));
        expected.push_back("1, " + std::to_string(t) + ", Note_on_c, 1, " + std::to_string(note) +
                           ", " + std::to_string(velocity));
        if (i == 150) {
            // An edited line whose time goes back sounds at once, and moves nothing after it.
            owned.push_back(formatZ2uvirLine(0x91, 30, 0, t - 500));
            expected.push_back("1, " + std::to_string(t) + ", Note_on_c, 1, 30, 0");
        }
        if (i % 50 == 0) {
            owned.push_back(formatZ2uvirLine(0xD1, 64, 0, t));
            expected.push_back("1, " + std::to_string(t) + ", Channel_aftertouch_c, 1, 64");
            owned.push_back(formatZ2uvirLine(0x90, 36, 0x5A, t + 1));
            expected.push_back("1, " + std::to_string(t + 1) + ", Note_on_c, 0, 36, 90");
            ++t;
        }
    }
    expected.push_back("1, " + std::to_string(t) + ", End_track");
    expected.push_back("0, 0, End_of_file");
    std::vector<std::string_view> lines(owned.begin(), owned.end());

    const auto path = std::filesystem::temp_directory_path() /
                      ("fw_midicsv_check_" + std::to_string(getpid()) + ".mid");
    {
        std::ofstream f(path, std::ios::binary);
        f << midiFileFromLog(lines);
    }
    EXPECT_EQ(midicsvEvents(path.string()), expected);
    std::filesystem::remove(path);
}

} // namespace
} // namespace fw
