#include "files/line_file.h"
#include "input/joy_file.h"
#include "input/joystick_calibration.h"
#include "input/joystick_poll.h"
#include "input/joystick_press_select.h"
#include "support/engine_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace fw {
namespace {

std::uint32_t bit(int button) {
    return 1u << (button - 1);
}

// A strum, vibrato or selector axis reading in the middle of 1/256 step d.
std::uint32_t step(int d) {
    return static_cast<std::uint32_t>(d * 256 + 128);
}

struct JoystickFixture : ::testing::Test, test::EngineRig {
    JoystickPlay joy{engine};
    JoystickFixture() { applyDefaultMapping(joy.map); }
    JoystickPlay::PollResult poll(std::uint32_t buttons, std::uint32_t pov = kHatCentred) {
        JoyInfo info;
        info.buttons = buttons;
        info.pov = pov;
        return joy.poll(info);
    }
};

TEST_F(JoystickFixture, TheHighestActiveInputOfEachGroupWins) {
    // Defaults: buttons 1..4 pick, 5..16 frets 2..13, 21..24 pick sets, 25..28 chords, 29..32
    // chord sets.
    struct Row {
        std::uint32_t buttons;
        int pickSet, chordSet, chord, pickItem, fret;
    };
    const Row rows[] = {
        {0, 1, 1, 1, 0, 1},
        {bit(21) | bit(23), 3, 1, 1, 0, 1},
        {bit(29) | bit(32), 1, 4, 1, 0, 1},
        {bit(25) | bit(26), 1, 1, 2, 0, 1},
        {bit(1) | bit(4) | bit(2), 1, 1, 1, 3, 1},
        {bit(5) | bit(16) | bit(9), 1, 1, 1, 0, 13},
    };
    for (const Row& r : rows) {
        engine.st.selPickSet = engine.st.selChordSet = engine.st.selChord = 1;
        engine.ui.pickItem = 0;
        engine.ui.checkedFret = 7; // a fret from the mouse or keyboard does not outlive a poll
        poll(r.buttons);
        EXPECT_EQ(engine.st.selPickSet, r.pickSet) << r.buttons;
        EXPECT_EQ(engine.st.selChordSet, r.chordSet) << r.buttons;
        EXPECT_EQ(engine.st.selChord, r.chord) << r.buttons;
        EXPECT_EQ(engine.ui.pickItem, r.pickItem) << r.buttons;
        EXPECT_EQ(engine.ui.checkedFret, r.fret) << r.buttons;
    }
    EXPECT_EQ(engine.st.pickStep, kIdle); // buttons only select
}

TEST_F(JoystickFixture, HatDirectionsAndSharedButtonsOfThePreset) {
    applyBrambleFirstGuitar(joy.map);
    const std::pair<std::uint32_t, int> hat[] = {{9000, 1},  {18000, 2},       {0, 3},
                                                 {27000, 4}, {kHatCentred, 4}, {4500, 4}};
    for (auto [pov, chord] : hat) {
        poll(0, pov);
        EXPECT_EQ(engine.st.selChord, chord) << pov;
    }
    // Button 6 holds frets 9..13 and every chord set: the highest of each wins.
    poll(bit(6));
    EXPECT_EQ(engine.ui.checkedFret, 13);
    EXPECT_EQ(engine.st.selChordSet, 4);
    // A loaded code that is no single button is active while any of its buttons is down.
    joy.map.joyMap[kFnPickSet1] = 3;
    for (std::uint32_t buttons : {bit(1), bit(2)}) {
        engine.st.selPickSet = 4;
        poll(buttons);
        EXPECT_EQ(engine.st.selPickSet, 1) << buttons;
    }
}

TEST_F(JoystickFixture, StrumFiresWhenTheBarReturnsToRest) {
    // Defaults: the strum is the X axis.
    struct Row {
        std::vector<int> steps;
        int picks;
        bool alt;
        int velocity;
    };
    const Row rows[] = {
        {{10, 128}, 1, false, 117},       {{200, 128}, 1, true, 72},
        {{200, 200, 200}, 0, false, 100}, {{200, 50, 128}, 1, false, 77},
        {{178, 128}, 0, false, 100},      {{78, 128}, 0, false, 100},
        {{179, 128}, 1, true, 51},        {{77, 128}, 1, false, 50},
        {{10, 117}, 0, false, 100},       {{10, 117, 118}, 1, false, 117},
        {{200, 137}, 0, false, 100},      {{200, 137, 136}, 1, true, 72},
        {{10, 20, 128}, 1, false, 117},   {{255, 0, 255, 128}, 1, true, 127},
    };
    for (const Row& r : rows) {
        joy.strumHigh = joy.strumLow = 128;
        engine.st.velocity = 100;
        engine.ui.alt = !r.alt;
        int picks = 0;
        for (int d : r.steps) {
            JoyInfo info;
            info.x = step(d);
            picks += joy.poll(info).picked ? 1 : 0;
        }
        const std::string name = ::testing::PrintToString(r.steps);
        EXPECT_EQ(picks, r.picks) << name;
        EXPECT_EQ(engine.st.velocity, r.velocity) << name;
        if (r.picks) {
            EXPECT_EQ(engine.ui.alt, r.alt) << name;
        }
    }
    // The pick is the one selected in "Pick", its altered sequence after an upward swing.
    engine.ui.pickItem = 2;
    engine.st.velocity = 100;
    JoyInfo info;
    info.x = step(220);
    joy.poll(info);
    info.x = step(128);
    // "Volume Position" shows the velocity from before the poll's strum.
    EXPECT_EQ(joy.poll(info).shownVelocity, 100);
    EXPECT_EQ(engine.st.pick, 6);
    EXPECT_EQ(engine.st.pickStep, 0);
    EXPECT_EQ(joy.poll(info).shownVelocity, 92);
}

TEST_F(JoystickFixture, RangeLookupsWithOverlapsAndGaps) {
    auto& m = joy.map;
    m.fretRanges[2] = {1000, 3000};
    m.fretRanges[3] = {2000, 4000};
    const std::pair<int, int> frets[] = {{1500, 2}, {2500, 3}, {1000, 0}, {5000, 0}};
    for (auto [a, fret] : frets) {
        engine.ui.checkedFret = 0;
        joy.decodeFretAxis(a);
        EXPECT_EQ(engine.ui.checkedFret, fret) << a;
    }

    m.pickRanges[1] = {0, 100};
    m.pickRanges[2] = {100, 200};
    m.pickRanges[3] = {40, 60}; // overlaps position 1: the first match wins
    m.pickRanges[10] = {1000, 1100};
    m.pickRanges[32] = {60000, 61000};
    const std::tuple<int, int, int> picks[] = {{50, 1, 1},   {150, 2, 1},   {100, 0, 9},
                                               {1050, 2, 2}, {60500, 2, 4}, {30000, 0, 9}};
    for (auto [a, r, set] : picks) {
        engine.st.selPickSet = 9;
        EXPECT_EQ(joy.decodePickAxis(a), r) << a;
        EXPECT_EQ(engine.st.selPickSet, set) << a;
    }

    m.chordRanges[1] = {0, 100};
    m.chordRanges[2] = {50, 150}; // overlaps position 1: the last match wins
    m.chordRanges[16] = {1000, 2000};
    const std::tuple<int, int, int> chords[] = {{25, 1, 1}, {75, 2, 1}, {1500, 4, 4}, {500, 9, 9}};
    for (auto [a, set, chord] : chords) {
        engine.st.selChordSet = engine.st.selChord = 9;
        joy.decodeChordAxis(a);
        EXPECT_EQ(engine.st.selChordSet, set) << a;
        EXPECT_EQ(engine.st.selChord, chord) << a;
    }

    // In a poll: a held fret button beats the neck, and the pick selector starts a pick.
    m.axisMap = {kAxisNone, kAxisNone, kAxisNone, 4, 5, kAxisNone}; // pick R, frets U
    JoyInfo info;
    info.u = 2500;
    info.r = 150;
    joy.poll(info);
    EXPECT_EQ(engine.ui.checkedFret, 3);
    EXPECT_TRUE(engine.ui.alt);
    EXPECT_EQ(engine.st.pickStep, 0);
    info.buttons = bit(5);
    joy.poll(info);
    EXPECT_EQ(engine.ui.checkedFret, 2);

    // Started at once, a selector held in its position plays the first group once, not on every
    // poll; moved out and back, it plays again.
    engine.ui.pickAtOnce = true;
    engine.st.selPickSet = engine.st.selChordSet = engine.st.selChord = 1;
    engine.st.chordMemory[1][1][1] = 40;
    engine.st.pickMemory[1][2] = "0------0------";
    const auto noteOns = [&] {
        return std::count_if(port.sent.begin(), port.sent.end(),
                             [](const auto& m) { return m.status == 0x91 && m.data2 != 0; });
    };
    for (std::uint32_t r : {150u, 0u, 150u, 150u, 150u, 30000u, 150u})
        joy.poll((info.r = r, info));
    EXPECT_EQ(noteOns(), 2);
}

TEST_F(JoystickFixture, BarsFollowTheirAxesAndUnmappedRolesRest) {
    // Defaults: vibrato Y, tempo Z.
    const std::tuple<std::uint32_t, int, int> rows[] = {
        {0, 1, 1}, {65535, 255, 512}, {32768, 128, 257}};
    for (auto [a, trem, temp] : rows) {
        JoyInfo info;
        info.y = info.z = a;
        joy.poll(info);
        EXPECT_EQ(engine.ui.tremPosition, trem) << a;
        EXPECT_EQ(engine.ui.tempPosition, temp) << a;
    }
    EXPECT_FALSE(poll(0).changed); // the same reading again changes nothing shown

    joy.map.axisMap.fill(kAxisNone);
    engine.ui.tremPosition = 127;
    JoyInfo info;
    info.x = step(10);
    info.y = 0;
    joy.poll(info);
    info.x = step(128);
    EXPECT_FALSE(joy.poll(info).picked);
    EXPECT_EQ(engine.ui.tremPosition, 127);
}

TEST(JoyMapping, InputCodesAndItems) {
    const std::pair<int, std::int32_t> items[] = {{1, 1},     {32, INT32_MIN}, {33, 0},
                                                  {34, 9000}, {35, 27000},     {36, 18000}};
    for (auto [item, code] : items) {
        EXPECT_EQ(inputCode(item), code);
        EXPECT_EQ(inputItem(code), item);
    }
    EXPECT_EQ(inputCode(0), 0); // nothing selected: hat forward
    EXPECT_EQ(inputItem(3), 3); // two buttons: shown as the code itself
}

TEST(JoyMapping, RangesFromSamplesAsWorkedOut) {
    struct Row {
        std::array<int, 4> samples;
        std::array<AxisRange, 4> ranges;
    };
    const Row rows[] = {
        {{0, 1000, 2000, 4000}, {{{}, {500, 1500}, {1000, 3000}, {3000, 5000}}}},
        {{0, 5000, 4000, 4000}, {{{}, {5500, 4500}, {4000, 4000}, {4000, 4000}}}},
        {{0, 0, 3, 3}, {{{}, {-1, 1}, {3, 3}, {3, 3}}}},
        {{0, 0, 0, 0}, {{{}, {}, {}, {}}}},
    };
    for (const Row& r : rows) {
        std::array<AxisRange, 4> ranges{};
        rangesFromSamples(r.samples, ranges);
        EXPECT_EQ(ranges, r.ranges) << ::testing::PrintToString(r.samples);
    }
    EXPECT_TRUE(AxisRange({500, 1500}).contains(1200));
    EXPECT_FALSE(AxisRange({5500, 4500}).contains(5000));
    EXPECT_FALSE(AxisRange({}).contains(0));
}

TEST(JoyFile, DefaultsAreWrittenLineByLine) {
    JoyMapping m;
    applyDefaultMapping(m);
    std::vector<std::string> expected;
    for (long long code = 1; code <= (1LL << 30); code *= 2)
        expected.push_back(std::to_string(code));
    expected.push_back("-2147483648");
    for (int i = 0; i < 4; ++i)
        expected.push_back("0");
    for (int axis = 1; axis <= 6; ++axis)
        expected.push_back(std::to_string(axis));
    expected.resize(kJoyFileLines, "0");
    EXPECT_EQ(joyConfigLines(m), expected);
}

TEST(JoyFile, ParseRoundTripsOrChangesNothing) {
    JoyMapping m;
    applyBrambleFirstGuitar(m);
    m.joyMap[33] = 12345;
    m.fretRanges[1] = {-1, 1};
    m.pickRanges[32] = {60000, 61000};
    m.chordRanges[16] = {5500, 4500};
    std::vector<std::string> lines = joyConfigLines(m);
    auto round = parseJoyConfig(joinCrLf(lines), "g.joy");
    ASSERT_TRUE(round.mapping) << round.error;
    EXPECT_EQ(*round.mapping, m);

    lines.push_back("not a number, past the end");
    EXPECT_TRUE(parseJoyConfig(joinCrLf(lines), "g.joy").mapping);

    struct Bad {
        std::vector<std::string> lines;
        std::string quoted;
        int line;
    };
    std::vector<std::string> hundred(lines.begin(), lines.begin() + 100);
    std::vector<std::string> bad37 = lines;
    bad37[36] = "12a";
    std::vector<std::string> long40 = lines;
    long40[39] = std::string(5000, 'x');
    const Bad bads[] = {{hundred, "''", 101},
                        {bad37, "'12a'", 37},
                        {long40, "'" + std::string(40, 'x') + "...'", 40},
                        {{}, "''", 1}};
    for (const Bad& b : bads) {
        const auto parsed = parseJoyConfig(joinCrLf(b.lines), "g.joy");
        EXPECT_FALSE(parsed.mapping);
        EXPECT_EQ(parsed.error.rfind(b.quoted + " is not a valid integer value", 0), 0u)
            << parsed.error;
        EXPECT_NE(parsed.error.find("(line " + std::to_string(b.line) + " of g.joy;"),
                  std::string::npos)
            << parsed.error;
    }

    // Axis numbers outside 1..7 mean no axis.
    lines[36] = "0";
    lines[37] = "99";
    lines[38] = "-3";
    const auto odd = parseJoyConfig(joinCrLf(lines), "g.joy");
    ASSERT_TRUE(odd.mapping);
    EXPECT_EQ(odd.mapping->axisMap[0], kAxisNone);
    EXPECT_EQ(odd.mapping->axisMap[1], kAxisNone);
    EXPECT_EQ(odd.mapping->axisMap[2], kAxisNone);
    EXPECT_EQ(odd.mapping->axisOf(kRoleStrum), 0);
}

JoyInfo reading(std::uint32_t buttons, std::uint32_t u = kAxisCentre) {
    JoyInfo info;
    info.buttons = buttons;
    info.u = u;
    return info;
}

TEST(AxisCalibration, SamplesEveryPositionUntilItsButtonIsReleased) {
    PlayState st;
    st.fretCalibration[5] = 777;
    AxisCalibration run(st);
    std::string message;
    ASSERT_TRUE(run.start(CalibrationKind::Frets, 5, message));
    EXPECT_EQ(run.prompt(),
              "Hold fret position '1'\n on your analog FRET guitar and press a button.");
    EXPECT_FALSE(run.start(CalibrationKind::PickSelector, 5, message)); // one run at a time
    EXPECT_TRUE(message.empty());
    using Step = AxisCalibration::Step;
    for (int i = 1; i <= 12; ++i) {
        if (i == 4) {
            // A button already down: the position keeps its old sample.
            EXPECT_EQ(run.step(reading(1, 9999)), Step::Waiting);
        } else {
            EXPECT_EQ(run.step(reading(0, 50)), Step::Waiting);
            EXPECT_EQ(run.step(reading(0, 1000 * i)), Step::Waiting); // the last one counts
            EXPECT_EQ(run.step(reading(2, 1)), Step::Waiting);
        }
        EXPECT_EQ(run.step(reading(2, 1)), Step::Waiting); // held: the window waits, responsive
        EXPECT_EQ(run.step(reading(0, 1)), Step::NextPosition);
    }
    EXPECT_EQ(run.prompt(), "Release All Frets then press a button.");
    run.step(reading(0, 300));
    run.step(reading(8));
    EXPECT_EQ(run.step(reading(0)), Step::Finished);
    EXPECT_FALSE(run.running());
    EXPECT_EQ(run.closingMessage(), "Your analog frets are now calibrated.");
    EXPECT_EQ(run.prompt(), "Click 'Calibrate' to start.");
    const std::array<int, 14> expected{0,    300,  1000, 2000, 3000,  777,   5000,
                                       6000, 7000, 8000, 9000, 10000, 11000, 12000};
    EXPECT_EQ(st.fretCalibration, expected);

    EXPECT_FALSE(run.start(CalibrationKind::PickSelector, 0, message));
    EXPECT_EQ(message, "You Must Select a PICK SELECTOR AXIS in the Joystick Mapping FIRST.");
}

TEST(PressToSelect, NamesWhatWasJustPressedOrMoved) {
    PressToSelect watch;
    JoyInfo info;
    info.z = 0;            // a trigger resting at one end
    info.buttons = bit(7); // held before the tab was shown
    EXPECT_EQ(watch.watch(info).inputItem, 0);
    info.buttons |= bit(3) | bit(9);
    EXPECT_EQ(watch.watch(info).inputItem, 3);
    EXPECT_EQ(watch.watch(info).inputItem, 0);
    info.pov = 9000;
    EXPECT_EQ(watch.watch(info).inputItem, 34);
    info.pov = 13500; // diagonals are no input
    EXPECT_EQ(watch.watch(info).inputItem, 0);
    info.pov = 18000;
    EXPECT_EQ(watch.watch(info).inputItem, 36);
    EXPECT_EQ(watch.watch(info).axis, 0);
    info.y = 65535;
    EXPECT_EQ(watch.watch(info).axis, 2);
    info.y = 60000; // still far: selected once
    EXPECT_EQ(watch.watch(info).axis, 0);
    info.y = kAxisCentre;
    watch.watch(info);
    info.y = 0;
    EXPECT_EQ(watch.watch(info).axis, 2);
    info.z = 40000; // the trigger pulled
    EXPECT_EQ(watch.watch(info).axis, 3);
}

} // namespace
} // namespace fw
