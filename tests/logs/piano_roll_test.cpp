#include "logs/piano_roll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace fw {
namespace {

PianoRoll rollOf(std::initializer_list<std::string_view> lines) {
    PianoRoll roll;
    for (auto l : lines)
        roll.appendLine(l);
    return roll;
}

// start, end, note, channel, line
using NoteRow = std::tuple<std::int64_t, std::int64_t, int, int, int>;
std::vector<NoteRow> rows(const PianoRoll& roll) {
    std::vector<NoteRow> out;
    for (const auto& n : roll.notes())
        out.emplace_back(n.start, roll.endOf(n), n.note, n.channel, n.line);
    return out;
}

TEST(PianoRoll, NotesLastToTheirEndOrTheNextNoteOnAndTimesNeverGoBack) {
    const PianoRoll roll = rollOf({
        "C1190000-100", // 0 program change: no note
        "91405A00-100", // 1 E on channel 2 ...
        "91400000-150", // 2 ... ended by a velocity-0 note-on
        "92405A00-120", // 3 the same note on channel 3; its time went back: it starts at 150
        "91475A00-160", // 4 ended by the next note-on of the same note
        "91476000-200", // 5 ... which sounds to the end of the log
        "81407F00-210", // 6 a note-off of a note not sounding: nothing
        "92400000-90",  // 7 time goes back: ends note 3 at 210, the time reached
        "E1004000-220", // 8 bend, middle
        "E2007F00-230", // 9 bend on channel 3, top
        "9148xx00-240", // 10 not a channel message: passed over
        "91485A00-2x",  // 11 no time: passed over
        "90245A00-300", // 12 a beat note that never ends
    });
    EXPECT_EQ(roll.lines(), 13);
    EXPECT_EQ(roll.unread(), 2);
    EXPECT_EQ(roll.firstTime(), 100);
    EXPECT_EQ(roll.lastTime(), 300);
    EXPECT_EQ(rows(roll), (std::vector<NoteRow>{{100, 150, 0x40, 1, 1},
                                                {150, 210, 0x40, 2, 3},
                                                {160, 200, 0x47, 1, 4},
                                                {200, 300, 0x47, 1, 5},
                                                {300, 300, 0x24, 0, 12}}));
    ASSERT_EQ(roll.bends().size(), 2u);
    EXPECT_EQ(roll.bends()[0].value, 8192);
    EXPECT_EQ(roll.bends()[1].value, 16383 & ~0x7F);
    EXPECT_EQ(roll.bends()[1].channel, 2);
    EXPECT_EQ(roll.lowestNote(), 0x24);
    EXPECT_EQ(roll.highestNote(), 0x47);
    // A click at a time and a note finds the line of the note sounding there.
    EXPECT_EQ(roll.lineOfNoteAt(130, 0x40), 1);
    EXPECT_EQ(roll.lineOfNoteAt(180, 0x40), 3);
    EXPECT_EQ(roll.lineOfNoteAt(250, 0x47), 5);
    EXPECT_EQ(roll.lineOfNoteAt(250, 0x40), -1);
}

TEST(PianoRoll, ATimeWindowFindsEverySoundingNoteOnce) {
    // Long and short notes across many seconds, some still sounding at the end.
    PianoRoll roll;
    std::vector<std::pair<std::int64_t, std::int64_t>> expected; // start, end
    char line[32];
    for (int i = 0; i < 400; ++i) {
        const int t = i * 37;
        const int note = 30 + i % 50;
        std::snprintf(line, sizeof line, "91%02X5A00-%d", note, t);
        roll.appendLine(line);
    }
    for (const auto& n : roll.notes())
        expected.emplace_back(n.start, roll.endOf(n));
    for (const auto& [from, to] : std::vector<std::pair<int, int>>{
             {0, 1}, {150, 151}, {1000, 2500}, {-50, 20000}, {14700, 14800}, {99999, 100000}}) {
        std::vector<int> seen;
        roll.forEachNoteIn(from, to, [&](int i) { seen.push_back(i); });
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << from;
        std::vector<int> want;
        for (std::size_t i = 0; i < expected.size(); ++i)
            if (expected[i].first < to && expected[i].second >= from)
                want.push_back(static_cast<int>(i));
        EXPECT_EQ(seen, want) << from << ".." << to;
    }
}

} // namespace
} // namespace fw
