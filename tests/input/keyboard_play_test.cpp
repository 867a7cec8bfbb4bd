#include "engine/engine.h"
#include "input/keyboard_play.h"
#include "picks/pick_sets.h"
#include "support/engine_rig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

int qtVk(int qtKey, bool keypad = false) {
    return usVirtualKey(KeyPress{qtKey, keypad, 0, false});
}
int xkbVk(int qtKey, std::uint32_t keycode, bool keypad = false) {
    return usVirtualKey(KeyPress{qtKey, keypad, keycode, true});
}

TEST(KeyTranslation, EveryRowOfTheTableActsTheSameWithShiftHeld) {
    struct Row {
        char plain, shifted;
        int code;
    };
    const Row symbols[] = {{'`', '~', 192}, {'1', '!', 49},   {'2', '@', 50},  {'3', '#', 51},
                           {'4', '$', 52},  {'5', '%', 53},   {'6', '^', 54},  {'7', '&', 55},
                           {'8', '*', 56},  {'9', '(', 57},   {'0', ')', 48},  {'-', '_', 189},
                           {'=', '+', 187}, {'\\', '|', 220}, {'[', '{', 219}, {']', '}', 221},
                           {';', ':', 186}, {'\'', '"', 222}, {',', '<', 188}, {'.', '>', 190},
                           {'/', '?', 191}};
    for (const Row& r : symbols) {
        EXPECT_EQ(qtVk(r.plain), r.code) << r.plain;
        EXPECT_EQ(qtVk(r.shifted), r.code) << r.shifted;
    }
    // Qt reports letters upper-case whatever Shift or Caps Lock say.
    for (char c : std::string("OPTYUIZXCVLQ"))
        EXPECT_EQ(qtVk(c), c);
    EXPECT_EQ(qtVk(qtkey::Up), 38);
    EXPECT_EQ(qtVk(qtkey::Right), 39);
    EXPECT_EQ(qtVk(qtkey::Down), 40);
    EXPECT_EQ(qtVk(qtkey::Left), 37);
    // US International types the grave and quote keys as dead keys.
    EXPECT_EQ(qtVk(qtkey::DeadGrave), 192);
    EXPECT_EQ(qtVk(qtkey::DeadAcute), 222);
    // Keys outside the table keep their own codes, for the keyboard window's display.
    EXPECT_EQ(qtVk(qtkey::Shift), 16);
    EXPECT_EQ(qtVk(qtkey::Control), 17);
    EXPECT_EQ(qtVk(qtkey::Alt), 18);
    EXPECT_EQ(qtVk(qtkey::F1 + 4), 116);
    EXPECT_EQ(qtVk(qtkey::Return), 13);
    EXPECT_EQ(qtVk(0x01ffffff), 0);
    // The keypad is not the number row: its 1 is no fret, its minus and slash no bar keys.
    EXPECT_EQ(qtVk('1', true), 97);
    EXPECT_EQ(qtVk('-', true), 109);
    EXPECT_EQ(qtVk('/', true), 111);
    EXPECT_EQ(qtVk(qtkey::Enter, true), 13);
    EXPECT_EQ(qtVk(qtkey::Home, true), 36);
}

TEST(KeyTranslation, ThePhysicalKeyDecidesWhereTheSystemReportsIt) {
    // XKB keycodes are evdev codes + 8: the 1 key is 10, grave 49, Left 113, Up 111.
    EXPECT_EQ(xkbVk('!', 10), 49);
    EXPECT_EQ(xkbVk(0xa1, 10), 49); // AltGr+1 types an inverted exclamation mark
    EXPECT_EQ(xkbVk('&', 10), 49);  // AZERTY's unshifted 1 key
    EXPECT_EQ(xkbVk(0xe9, 11), 50); // AZERTY's 2 key types e-acute
    EXPECT_EQ(usVirtualKey(KeyPress{0xe9, false, 11, false}), 0);
    EXPECT_EQ(xkbVk('~', 49), 192);
    EXPECT_EQ(xkbVk(qtkey::Left, 113), 37);
    EXPECT_EQ(xkbVk(qtkey::Up, 111), 38);
    EXPECT_EQ(xkbVk('Q', 24), 'Q');
    EXPECT_EQ(xkbVk('"', 48), 222);
    EXPECT_EQ(xkbVk('?', 61), 191);
    EXPECT_EQ(xkbVk('|', 51), 220);
    EXPECT_EQ(xkbVk(qtkey::Shift, 50), 16);
    // The keypad is left to Qt, which knows Num Lock: KP_1 (keycode 87) is 1 or End.
    EXPECT_EQ(xkbVk('1', 87, true), 97);
    EXPECT_EQ(xkbVk(qtkey::End, 87, true), 35);
    // No keycode (synthetic events): the reported key decides.
    EXPECT_EQ(xkbVk('!', 0), 49);
    EXPECT_EQ(virtualKeyOfXkbKeycode(3), 0);
    EXPECT_EQ(virtualKeyOfXkbKeycode(100000), 0);
}

struct KeyboardFixture : ::testing::Test, test::EngineRig {
    KeyboardFixture() {
        const int offsets[10] = {0, 4, 7, 12, 12, 16, 19, 24, 0, 0};
        for (int s = 1; s <= 10; ++s)
            engine.st.chordMemory[1][1][s] = 40 + offsets[s - 1];
        engine.st.pickMemory[1][1] = interleaveChannels({"0123"});
        // The instrument is running: one beat has passed and sounded nothing.
        engine.sequencerTick();
        port.sent.clear();
        log.lines.clear();
    }
    // A key as Qt reports it, through the same translation the windows use.
    void press(int qtKey) { keyboardPlayKey(engine, usVirtualKey(KeyPress{qtKey})); }
    // One beat later, the messages of that beat.
    std::vector<test::SentMessage> beat() {
        clock.advanceMicros(625000);
        const auto before = port.sent.size();
        engine.sequencerTick();
        return {port.sent.begin() + static_cast<long>(before), port.sent.end()};
    }
};

TEST_F(KeyboardFixture, UpArrowPicksTheStoredPatternOnConsecutiveBeats) {
    press(qtkey::Up);
    EXPECT_EQ(engine.st.pick, 1);
    EXPECT_EQ(engine.st.velocity, 64); // every key runs the "V" bar's handling: 127 - 63
    std::vector<int> notes;
    for (int i = 0; i < 4; ++i) {
        const auto sent = beat();
        ASSERT_EQ(sent.size(), 1u) << "beat " << i;
        EXPECT_EQ(sent[0].status, 0x91);
        EXPECT_EQ(sent[0].data2, 64);
        notes.push_back(sent[0].data1);
    }
    EXPECT_EQ(notes, (std::vector<int>{40, 44, 47, 52}));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"91284000-562", "912C4000-625", "912F4000-687",
                                                   "91344000-750"}));
    EXPECT_TRUE(beat().empty());
    EXPECT_EQ(engine.st.pickStep, 0xFFFF);
}

TEST_F(KeyboardFixture, FretKeyWithRealtimeFretsTurnsChangedStringsOffThenPlaysHigher) {
    press(qtkey::Up);
    beat();
    beat();
    press('@'); // Shift+2: the 2 key, fret button 3
    EXPECT_EQ(engine.ui.checkedFret, 3);
    const auto sent = beat();
    // Every string's note changed, and the two that were plucked are ended; then 47 + 2.
    ASSERT_EQ(sent.size(), 3u);
    const int old[2] = {40, 44};
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(sent[s].status, 0x91);
        EXPECT_EQ(sent[s].data1, old[s]);
        EXPECT_EQ(sent[s].data2, 0);
    }
    EXPECT_EQ(sent[2].data1, 49);
    EXPECT_EQ(sent[2].data2, 64);
    const auto next = beat();
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].data1, 54);

    // Without "Realtime Frets" a fret key waits for the next pick.
    engine.ui.realtimeFrets = false;
    press('`');
    EXPECT_EQ(engine.ui.checkedFret, 1);
    press(qtkey::Up);
    EXPECT_EQ(beat().back().data1, 40);
    press('=');
    EXPECT_EQ(beat().back().data1, 44);
    press(qtkey::Up);
    EXPECT_EQ(engine.st.fret, 13);
    EXPECT_EQ(beat().back().data1, 52);
}

TEST_F(KeyboardFixture, SelectionAltAndBarKeysWriteThePlayState) {
    press('Y');
    press('[');
    press('C');
    EXPECT_EQ(engine.selectionText(), "2-3");
    EXPECT_EQ(engine.st.selPickSet, 3);
    // A pick latches what earlier keys selected; "}" (Shift+]) is chord 4.
    press('}');
    press('I');
    press(qtkey::Left);
    EXPECT_EQ(engine.st.chordSet, 4);
    EXPECT_EQ(engine.st.chord, 4);
    EXPECT_EQ(engine.st.pickSet, 3);
    EXPECT_EQ(engine.st.pick, 7);
    press('T');
    press('O');
    press('Z');
    EXPECT_EQ(engine.selectionText(), "1-1");

    // "\" inverts "ALT"; twice leaves it as it was. Up with "ALT" plays the altered sequence.
    press('\\');
    EXPECT_TRUE(engine.ui.alt);
    press(qtkey::Up);
    EXPECT_EQ(engine.st.pick, 2);
    press('|');
    EXPECT_FALSE(engine.ui.alt);
    press(qtkey::Right);
    EXPECT_EQ(engine.st.pick, 3);
    press(qtkey::Down);
    EXPECT_EQ(engine.st.pick, 5);

    // Holding L: velocity 68, 72, ... up to 127, where the bar stops at its top.
    std::vector<int> velocities;
    for (int i = 0; i < 17; ++i) {
        press('L');
        velocities.push_back(engine.st.velocity);
    }
    EXPECT_EQ(velocities.front(), 68);
    EXPECT_EQ(velocities[14], 124);
    EXPECT_EQ(velocities[15], 127);
    EXPECT_EQ(velocities[16], 127);
    EXPECT_EQ(engine.ui.vPosition, 0);
    press('<');
    EXPECT_EQ(engine.st.velocity, 123);

    // Tempo and bend move by four and stop at the ends of their bars.
    press(';');
    EXPECT_EQ(engine.ui.tempPosition, 901);
    EXPECT_EQ(engine.bpm(), 100);
    press('>');
    press('.');
    EXPECT_EQ(engine.ui.tempPosition, 909);
    engine.ui.tempPosition = 998;
    press('.');
    EXPECT_EQ(engine.ui.tempPosition, 1000);
    press('\'');
    EXPECT_EQ(engine.ui.tremPosition, 123);
    engine.ui.tremPosition = 3;
    press('"');
    EXPECT_EQ(engine.ui.tremPosition, 1);
    press('?');
    EXPECT_EQ(engine.ui.tremPosition, 5);

    // A key outside the table still takes the "V" bar, moved elsewhere, into the velocity.
    engine.ui.vPosition = 100;
    press(qtkey::Shift);
    EXPECT_EQ(engine.st.velocity, 27);
}

TEST_F(KeyboardFixture, QSilencesWithoutALogLineOrAChangeOfState) {
    press(qtkey::Up);
    beat();
    const PlayState before = engine.st;
    const auto lines = log.lines.size();
    press('Q');
    EXPECT_EQ(port.resets, 1);
    EXPECT_EQ(log.lines.size(), lines);
    EXPECT_EQ(engine.st.pickStep, before.pickStep);
    EXPECT_EQ(engine.st.lastNotes, before.lastNotes);
    // The sequence goes on; the string sounded before is not struck again by itself.
    const auto sent = beat();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data1, 44);
}

TEST(KeyboardHelp, ListsTheKeysLineByLine) {
    const auto& lines = keyboardHelpLines();
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[0], "Frets:  `,1,2,3,4,5,6,7,8,9,0,-,=");
    EXPECT_EQ(lines[3], "CHORD Select: O,P,[,] ");
    EXPECT_EQ(lines[6], "Toggle Alt Pick: \\   ");
    EXPECT_EQ(lines[12], "Silence -  Q");
    EXPECT_EQ(lines[1] + lines[4] + lines[8], "");
}

} // namespace
} // namespace fw
