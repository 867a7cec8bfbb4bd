#include "engine/engine.h"
#include "engine/z2uvir.h"
#include "logs/midi_file.h"
#include "support/engine_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

#include <string>
#include <tuple>
#include <vector>

namespace fw {
namespace {

struct EngineFixture : ::testing::Test, test::EngineRig {

    // E major from root E (40) in chord 1-1.
    void storeEChord(int set = 1, int chord = 1, int root = 40) {
        const int offsets[10] = {0, 4, 7, 12, 12, 16, 19, 24, 0, 0};
        for (int s = 1; s <= 10; ++s)
            engine.st.chordMemory[set][chord][s] = root + offsets[s - 1];
    }
    std::vector<int> notesSent(int status = 0x91) const {
        std::vector<int> notes;
        for (const auto& m : port.sent)
            if (m.status == status && m.data2 != 0)
                notes.push_back(m.data1);
        return notes;
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            engine.sequencerTick();
    }
    void clearSent() {
        port.sent.clear();
        log.lines.clear();
    }
};

TEST_F(EngineFixture, StartsIdleAndOnlyProbesOnEmptyMemory) {
    EXPECT_EQ(engine.st.pickStep, 0xFFFF);
    EXPECT_EQ(engine.selectionText(), "1-1");
    EXPECT_EQ(engine.st.velocity, 100);
    EXPECT_EQ(engine.st.fret, 1);
    std::vector<int> metronome;
    for (int i = 0; i < 5; ++i) {
        tick();
        metronome.push_back(engine.ui.metronomeItem);
    }
    EXPECT_EQ(metronome, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(port.openCalls, 1); // the first tick opens the output
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(engine.st.pickStep, 0xFFFF);
}

TEST_F(EngineFixture, PickPlaysOneGroupPerBeatThenGoesIdle) {
    storeEChord();
    engine.st.pickMemory[1][1] = "0------1------2------"; // three groups, channel 1
    engine.pickAction(1);
    EXPECT_EQ(engine.st.pick, 1);
    EXPECT_EQ(engine.st.pickStep, 0);
    tick(); // the chord enters: every string changed from 0, so note-offs for note 0 first
    EXPECT_EQ(notesSent(), (std::vector<int>{40}));
    EXPECT_EQ(engine.ui.remainingSequence, "0------1------2------");
    tick();
    tick();
    EXPECT_EQ(notesSent(), (std::vector<int>{40, 44, 47}));
    EXPECT_EQ(engine.ui.remainingSequence, "2------");
    const auto sentBefore = port.sent.size();
    tick(); // the fourth beat plays nothing and the sequencer is idle from then on
    EXPECT_EQ(port.sent.size(), sentBefore);
    EXPECT_EQ(engine.st.pickStep, 0xFFFF);
    EXPECT_EQ(engine.ui.remainingSequence, "2------");

    // Every message on the wire is in the log, once, and nothing else: no doubled plucks.
    ASSERT_EQ(port.sent.size(), log.lines.size());
    for (std::size_t i = 0; i < port.sent.size(); ++i)
        EXPECT_EQ(log.lines[i].substr(0, 6),
                  formatZ2uvirLine(port.sent[i].status, port.sent[i].data1, port.sent[i].data2, 0)
                      .substr(0, 6));
}

TEST_F(EngineFixture, GroupsPluckUpToSevenStringsTogetherAndRestOnOddCharacters) {
    storeEChord();
    engine.st.pickMemory[1][1] = "0123x-9"
                                 "45";
    engine.pickAction(1);
    tick();
    clearSent();
    engine.pickAction(1);
    tick();
    EXPECT_EQ(notesSent(), (std::vector<int>{40, 44, 47, 52, 40}));
    clearSent();
    tick(); // a short last group plays what it has
    EXPECT_EQ(notesSent(), (std::vector<int>{52, 56}));
}

TEST_F(EngineFixture, AltAndPickNumbersChooseTheSequence) {
    storeEChord();
    for (int seq = 1; seq <= 8; ++seq)
        engine.st.pickMemory[1][seq] = std::string(1, static_cast<char>('0' + seq - 1)) + "------";
    tick();
    struct Case {
        int pick;
        bool alt;
        int note;
    };
    // Sequence n plucks string n: 40, 44, 47, 52, 52, 56, 59, 64.
    for (Case c : {Case{1, false, 40}, Case{1, true, 44}, Case{4, false, 59}, Case{4, true, 64}}) {
        clearSent();
        engine.ui.alt = c.alt;
        engine.pickAction(c.pick);
        EXPECT_EQ(engine.ui.pickItem, c.pick - 1);
        tick();
        EXPECT_EQ(notesSent(), (std::vector<int>{c.note})) << "pick " << c.pick << " alt " << c.alt;
    }
}

TEST_F(EngineFixture, MergeModesFollowsTheSelectionOnEveryBeat) {
    storeEChord(1, 1, 40);
    storeEChord(1, 2, 45); // A
    engine.st.pickMemory[1][1] = "0------0------0------";
    tick();

    engine.ui.mergeModes = false;
    engine.pickAction(1);
    tick();
    engine.stepChord(); // select chord 2 during the sequence
    clearSent();
    tick();
    EXPECT_EQ(notesSent(), (std::vector<int>{40})); // still the latched chord
    EXPECT_EQ(engine.selectionText(), "1-2");

    engine.ui.mergeModes = true;
    clearSent();
    tick();
    // The changed strings are turned off first, then the new chord's note sounds.
    ASSERT_FALSE(port.sent.empty());
    EXPECT_EQ(port.sent[0].data2, 0);
    EXPECT_EQ(port.sent[0].data1, 40);
    EXPECT_EQ(notesSent(), (std::vector<int>{45}));
    int offs = 0;
    for (const auto& m : port.sent)
        offs += m.data2 == 0;
    EXPECT_EQ(offs, 1); // every note changed, but only string 1 had gone out
}

TEST_F(EngineFixture, RealtimeFretsRaiseTheNextNotesAndSilenceChangedStrings) {
    storeEChord();
    engine.st.pickMemory[1][1] = "0------0------";
    tick();
    engine.pickAction(1);
    tick();
    clearSent();
    engine.fretHover(3); // two semitones up
    tick();
    ASSERT_GE(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0].data2, 0);
    EXPECT_EQ(notesSent(), (std::vector<int>{42}));

    // Without "Realtime Frets" the held fret waits for the next pick.
    engine.ui.realtimeFrets = false;
    engine.st.pickMemory[1][1] = "0------0------";
    engine.pickAction(1);
    tick();
    engine.fretHover(1);
    clearSent();
    tick();
    EXPECT_EQ(notesSent(), (std::vector<int>{42}));
}

TEST_F(EngineFixture, TrackSetsTheGuitarChannel) {
    storeEChord();
    engine.st.pickMemory[1][1] = "0------";
    tick();
    engine.ui.track = 7;
    engine.pickAction(1);
    tick();
    EXPECT_EQ(notesSent(0x98), (std::vector<int>{40}));
    EXPECT_TRUE(notesSent(0x91).empty());
}

TEST_F(EngineFixture, NotesOutsideTheMidiRangeAreNeitherSentNorLogged) {
    storeEChord(1, 1, 120); // strings up to 144
    engine.st.pickMemory[1][1] = "0-7----";
    engine.pickAction(1);
    tick();
    for (const auto& m : port.sent) {
        EXPECT_LT(m.data1, 128);
        EXPECT_LT(m.data2, 128);
    }
    EXPECT_EQ(notesSent(), (std::vector<int>{120}));
    for (const auto& line : log.lines)
        EXPECT_LT(hexToInt(line.substr(2, 2)), 128) << line;
}

TEST_F(EngineFixture, EntriesThatGiveNoMidiNoteStaySilentAndEndNoOtherNote) {
    // What files and the builder may store: string 1 and the last two strings give notes at
    // fret 13 (56, 11, 12); the rest go past 127, below 0 or to the integer limits.
    const std::array<int, 10> entries = {44,  300, -212,       INT_MIN, INT_MAX,
                                         126, -1,  2147483600, 128,     0};
    for (int s = 1; s <= 10; ++s)
        engine.st.chordMemory[1][1][s] = entries[static_cast<std::size_t>(s - 1)];
    storeEChord(1, 2);
    engine.st.pickMemory[1][1] = "0123456"
                                 "789----";
    engine.fretHover(13);
    engine.pickAction(1);
    tick(2);
    EXPECT_EQ(notesSent(), (std::vector<int>{56, 11, 12}));

    // Leaving the chord ends the three notes that sounded, and only those: a stand-in for a
    // string without a note (300 + 12 is 56 in its low byte) must not cut string 1.
    clearSent();
    engine.stepChord();
    tick();
    std::vector<int> offs;
    for (const auto& m : port.sent)
        if (m.data2 == 0)
            offs.push_back(m.data1);
    EXPECT_EQ(offs, (std::vector<int>{56, 11, 12}));
}

TEST_F(EngineFixture, AStringThatWasNeverPluckedEndsNoNoteOfAnother) {
    // Strings 1 and 9 both hold 40; only string 1 is plucked. Chord 2 moves string 9 alone:
    // a note-off for it would cut the 40 that string 1 still rings.
    storeEChord(1, 1);
    storeEChord(1, 2);
    engine.st.chordMemory[1][2][9] = 45;
    engine.st.pickMemory[1][1] = "0------";
    engine.pickAction(1);
    tick();
    EXPECT_EQ(notesSent(), (std::vector<int>{40}));
    clearSent();
    engine.stepChord();
    tick();
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(EngineFixture, SAndMButtonsWrapAndMergeLatchesThem) {
    engine.ui.mergeModes = false;
    for (int i = 0; i < 4; ++i)
        engine.stepChordSet();
    EXPECT_EQ(engine.st.selChordSet, 1);
    engine.stepChordSet();
    engine.stepChord();
    EXPECT_EQ(engine.selectionText(), "2-2");
    EXPECT_EQ(engine.st.chordSet, 1);
    engine.ui.mergeModes = true;
    engine.stepChord();
    EXPECT_EQ(engine.st.chord, 3);
}

TEST_F(EngineFixture, PitchUpdaterSendsInstrumentAndACentredBendOnceEach) {
    engine.pitchUpdaterTick(); // no output open yet: nothing, and no open attempt
    EXPECT_EQ(port.openCalls, 0);
    EXPECT_TRUE(log.lines.empty());
    tick(); // opens
    engine.pitchUpdaterTick();
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0].substr(0, 9), "C1190000-");
    // The bar's start position is no bend at all: 8192, sent low seven bits first.
    EXPECT_EQ(log.lines[1].substr(0, 9), "E1004000-");
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.size(), 2u);

    engine.ui.tremPosition = 255;
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.back().substr(0, 8), "E17F7F00");
    engine.ui.tremPosition = 1;
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.back().substr(0, 8), "E1000100"); // 8192 - 126*64 = 128

    // Alternate "3" then a new track: the program change follows the track of its moment.
    engine.alternate(3);
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.back().substr(0, 8), "C1780000");
    engine.ui.track = 2;
    engine.ui.instrumentItem = 0;
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.back().substr(0, 8), "C3000000");
    const auto count = log.lines.size();
    engine.ui.instrumentItem = 0; // the same instrument again sends nothing
    engine.pitchUpdaterTick();
    EXPECT_EQ(log.lines.size(), count);
    EXPECT_EQ(engine.sequencerIntervalMs(), 625);
    EXPECT_EQ(engine.tempoText(), "96 BPM");
}

// What each beat sent, as "SSD1D2" per message.
std::vector<std::string> beatsHeard(test::EngineRig& rig, int beats) {
    std::vector<std::string> heard;
    for (int i = 0; i < beats; ++i) {
        const auto from = rig.port.sent.size();
        rig.engine.sequencerTick();
        std::string beat;
        for (auto m = rig.port.sent.begin() + static_cast<std::ptrdiff_t>(from);
             m != rig.port.sent.end(); ++m)
            beat += byteToHex(m->status) + byteToHex(m->data1) + byteToHex(m->data2);
        heard.push_back(beat);
    }
    return heard;
}

TEST_F(EngineFixture, AccompanimentPlaysEveryStepOnEveryPassAndCountsPassesAtTheWrap) {
    struct Case {
        std::string line;
        int beatStepBefore;
        std::vector<std::string> heard;
        int passes;
    };
    const Case cases[] = {
        // Two steps: the downbeat comes back on every pass, no silent beat between passes.
        {"2A------------"
         "----30--------",
         0,
         {"902A5A", "90305A", "902A5A", "90305A", "902A5A", "90305A"},
         3},
        // A step of rests, and units that are not two hex digits (never written by "Apply"),
        // play nothing; a short last step plays what it has.
        {"--------------"
         "2a--xy--7F----"
         "45",
         0,
         {"", "907F5A", "90455A", "", "907F5A"},
         1},
        // An empty line is a pass on every beat.
        {"", 0, {"", "", ""}, 3},
        // A line shorter than where the old one had got to starts over at its first step.
        {"3C------------", 5, {"903C5A", "903C5A"}, 2},
    };
    for (const Case& c : cases) {
        test::EngineRig rig;
        rig.engine.st.accompBeatLine = c.line;
        rig.engine.st.beatStep = c.beatStepBefore;
        rig.engine.ui.accompBeat = true;
        rig.engine.ui.cyclesPerDigitItem = 7;
        EXPECT_EQ(beatsHeard(rig, static_cast<int>(c.heard.size())), c.heard) << c.line;
        EXPECT_EQ(rig.engine.st.beatCycle, c.passes) << c.line;
        // Only the beat notes go out: no resent message before them, each one logged.
        EXPECT_EQ(rig.log.lines.size(), rig.port.sent.size());
    }
}

TEST_F(EngineFixture, CyclesPerDigitReleasesTheDigitAfterThatManyPasses) {
    engine.st.accompBeatLine = "2A--------------------------2B------------"; // three steps
    engine.ui.accompBeat = true;
    engine.ui.cyclesPerDigitItem = 3; // "4"
    engine.st.beatDigitBusy = true;
    int beats = 0;
    while (engine.st.beatDigitBusy && beats < 100) {
        tick();
        ++beats;
    }
    EXPECT_EQ(beats, 12);
    EXPECT_EQ(engine.st.beatCycle, 0);
    EXPECT_EQ(engine.st.beatStep, 0);
    // Unchecked, the line stands still; checked again, it goes on where it stood.
    tick();
    engine.ui.accompBeat = false;
    clearSent();
    tick(3);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(engine.st.beatStep, 1);
    engine.ui.accompBeat = true;
    tick(2);
    EXPECT_EQ(notesSent(0x90), (std::vector<int>{0x2B}));
}

// "At once": the first group leaves at the press, after the note-offs of the strings it changes,
// stamped with the press; the later groups keep to the beats, which the press never moves. A
// press in the first half of a beat stands for the beat just past, so group 2 comes at the next
// beat; one in the second half stands for the coming beat, which then plays no group of its own
// but still its accompaniment and metronome.
TEST_F(EngineFixture, APickAtOnceSoundsAtThePressAndItsLaterGroupsKeepToTheBeats) {
    storeEChord(1, 1, 40);
    storeEChord(1, 2, 45);
    engine.st.pickMemory[1][1] = "0------1------2------";
    engine.ui.accompBeat = true;
    engine.st.accompBeatLine = "24------------";
    constexpr std::int64_t kBeat = 600000;
    std::int64_t last = 10'000'000;
    engine.beatGrid = [&] { return std::optional(Engine::BeatGrid{last, last + kBeat}); };
    const auto beat = [&] {
        last += kBeat;
        const MidiOutput::HeldStamp stamp(out, last);
        tick();
    };
    struct Case {
        int permille;    // where in the beat the press falls
        int secondGroup; // the beat after the press that plays group 2
    };
    for (Case c : {Case{100, 1}, Case{499, 1}, Case{500, 2}, Case{950, 2}}) {
        SCOPED_TRACE(c.permille);
        engine.st.selChord = 1;
        engine.pickAction(1, false); // chord 1 sounds on string 1 from a beat
        beat();
        clearSent();
        engine.st.selChord = 2;
        const std::int64_t press = last + kBeat * c.permille / 1000;
        {
            const MidiOutput::HeldStamp stamp(out, press);
            engine.pickAction(1, true);
        }
        ASSERT_EQ(port.sent.size(), 2u);
        EXPECT_EQ(std::tuple(port.sent[0].status, port.sent[0].data1, port.sent[0].data2,
                             port.sent[0].stamp),
                  std::tuple(0x91, 40, 0, press));
        EXPECT_EQ(std::tuple(port.sent[1].data1, port.sent[1].data2, port.sent[1].stamp),
                  std::tuple(45, 100, press));
        EXPECT_EQ(log.lines.size(), 2u);

        // Four beats: each keeps its accompaniment note and metronome step; the groups fall on
        // them.
        std::vector<std::pair<int, int>> groups; // (beat after the press, note)
        for (int b = 1; b <= 4; ++b) {
            const int metronome = engine.ui.metronomeItem;
            const auto before = port.sent.size();
            beat();
            EXPECT_EQ(engine.ui.metronomeItem, (metronome + 1) % 4);
            int accompaniment = 0;
            for (auto m = port.sent.begin() + static_cast<long>(before); m != port.sent.end();
                 ++m) {
                EXPECT_EQ(m->stamp, last);
                if (m->status == 0x90)
                    ++accompaniment;
                else if (m->data2 != 0)
                    groups.emplace_back(b, m->data1);
            }
            EXPECT_EQ(accompaniment, 1);
        }
        EXPECT_EQ(groups,
                  (std::vector<std::pair<int, int>>{{c.secondGroup, 49}, {c.secondGroup + 1, 52}}));
    }

    // With no beats running (the timer paused), the next beat plays group 2.
    engine.beatGrid = [] { return std::optional<Engine::BeatGrid>(); };
    engine.pickAction(1, true);
    clearSent();
    beat();
    EXPECT_EQ(notesSent(), (std::vector<int>{49}));
}

// A strum: with a spread, the plucks of a group leave one after another over the spread time,
// each stamped and logged at its own time, after the beat's note-offs and before the next beat's.
TEST_F(EngineFixture, StrumSpreadSpacesAGroupsPlucksAndTheLogAndMidiFileKeepTheSpacing) {
    storeEChord();
    engine.st.pickMemory[1][1] = "012345-5432100";
    engine.ui.accompBeat = true;
    engine.st.accompBeatLine = "24------------";
    const std::int64_t beat = 1'000'000;
    const auto runBeat = [&] {
        const MidiOutput::HeldStamp stamp(out, beat);
        tick();
    };

    // Spread 0: today's beat, every pluck and the beat note at the beat's stamp.
    engine.pickAction(1);
    runBeat();
    ASSERT_EQ(notesSent(), (std::vector<int>{40, 44, 47, 52, 52, 56}));
    for (const auto& m : port.sent)
        EXPECT_EQ(m.stamp, beat);
    EXPECT_FALSE(engine.nextPluckDue());

    // 20 ms over six plucks: 4 ms apart. The first and the beat note leave with the beat.
    clearSent();
    engine.ui.strumSpreadMs = 20;
    engine.pickAction(1);
    runBeat();
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1].status, 0x90); // the beat is not held back by the strum
    for (int k = 1; k <= 5; ++k) {
        ASSERT_EQ(engine.nextPluckDue(), beat + 4000 * k);
        clock.advanceMicros(4000);
        engine.releasePlucks(beat + 4000 * k);
    }
    EXPECT_FALSE(engine.nextPluckDue());
    std::vector<std::int64_t> stamps;
    for (const auto& m : port.sent)
        if (m.status == 0x91)
            stamps.push_back(m.stamp);
    EXPECT_EQ(stamps, (std::vector<std::int64_t>{beat, beat + 4000, beat + 8000, beat + 12000,
                                                 beat + 16000, beat + 20000}));
    EXPECT_EQ(notesSent(), (std::vector<int>{40, 44, 47, 52, 52, 56}));
    // Logged as they left, 0.4 cs apart on the clock: the MIDI file keeps the same ticks.
    std::vector<int> times;
    std::vector<std::string_view> lines;
    for (const auto& line : log.lines) {
        lines.push_back(line);
        times.push_back(z2uvirTime(line) - z2uvirTime(log.lines[0]));
    }
    EXPECT_EQ(times, (std::vector<int>{0, 0, 0, 0, 1, 1, 2}));
    const std::string midi = midiFileFromLog(lines);
    EXPECT_NE(midi.find(std::string("\x00\x90\x24\x5A", 4)), std::string::npos);
    EXPECT_NE(midi.find(std::string("\x01\x91\x34\x64", 4)), std::string::npos);

    // The altered pattern keeps its own order (high to low), and a chord changed before the
    // next beat is ended only after the last plucks of the strum still waiting have gone.
    clearSent();
    runBeat();
    storeEChord(1, 1, 42);
    const std::size_t before = port.sent.size();
    runBeat();
    ASSERT_GT(port.sent.size(), before);
    std::vector<int> order;
    for (const auto& m : port.sent)
        order.push_back(m.data2 == 0 ? -m.data1 : m.data1);
    const auto firstOff = std::find_if(order.begin(), order.end(), [](int n) { return n < 0; });
    ASSERT_NE(firstOff, order.end());
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 7),
              (std::vector<int>{56, 0x24, 52, 52, 47, 44, 40}));
    EXPECT_GT(firstOff - order.begin(), 6);

    // Fewer strings keep a strum's pace: a pinch of the lowest and highest string is one string's
    // gap apart (4 ms of the 20), and seven plucks still end when the spread has passed.
    const struct {
        const char* group;
        std::vector<std::int64_t> after;
    } paces[] = {{"05-----", {0, 4000}},
                 {"2345---", {0, 4000, 8000, 12000}},
                 {"0123456", {0, 3333, 6666, 10000, 13333, 16666, 20000}}};
    for (const auto& pace : paces) {
        engine.releasePlucks(INT64_MAX);
        clearSent();
        engine.st.pickMemory[1][1] = pace.group;
        engine.pickAction(1);
        runBeat();
        engine.releasePlucks(INT64_MAX);
        std::vector<std::int64_t> after;
        for (const auto& m : port.sent)
            if (m.status == 0x91 && m.data2 != 0)
                after.push_back(m.stamp - beat);
        EXPECT_EQ(after, pace.after) << pace.group;
    }
}

} // namespace
} // namespace fw
