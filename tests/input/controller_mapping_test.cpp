// The controller presets in *.joy files: what the first 164 lines cannot hold travels after them.
#include "files/line_file.h"
#include "input/controller_mappings.h"
#include "input/joy_file.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(ControllerMappingFiles, NewLinesRoundTripAndTheFirst164KeepTheirMeaning) {
    JoyMapping defaults, bramble, pad, guitar;
    applyDefaultMapping(defaults);
    applyBrambleFirstGuitar(bramble);
    applyGamepad(pad, xbox360Layout());
    applyGuitarController(guitar, xbox360Layout());
    pad.chordRanges[16] = {-5, 70000};
    const struct {
        const JoyMapping& mapping;
        std::size_t lines;
    } cases[] = {{defaults, 164}, {bramble, 164}, {pad, 175}, {guitar, 175}};
    for (const auto& c : cases) {
        const std::vector<std::string> lines = joyConfigLines(c.mapping);
        ASSERT_EQ(lines.size(), c.lines);
        const std::string text = joinCrLf(lines);
        const JoyConfigParse back = parseJoyConfig(text, "pad.joy");
        ASSERT_TRUE(back.mapping) << back.error;
        EXPECT_EQ(*back.mapping, c.mapping);
        EXPECT_EQ(joinCrLf(joyConfigLines(*back.mapping)), text);
        // A reader that stops at line 164 gets the same codes, axes and ranges.
        const auto first = parseJoyConfig(joinCrLf({lines.begin(), lines.begin() + 164}), "x");
        ASSERT_TRUE(first.mapping);
        EXPECT_EQ(first.mapping->joyMap, c.mapping.joyMap);
        EXPECT_EQ(first.mapping->axisMap, c.mapping.axisMap);
        EXPECT_EQ(first.mapping->chordRanges, c.mapping.chordRanges);
    }
    // A function without input is written as button 32, which no pad has.
    const auto lines = joyConfigLines(pad);
    EXPECT_EQ(lines[kFnFret2], "-2147483648");
    EXPECT_EQ(lines[164], "-1650");
    EXPECT_EQ(lines[172], "1"); // pick buttons play
    EXPECT_EQ(lines[174], "1"); // a flick down of the stick is the down-strum

    // A file written before the strum could be turned round: eight lines after the marker.
    auto older = lines;
    older[165] = "8";
    older.pop_back();
    const auto old = parseJoyConfig(joinCrLf(older), "old.joy");
    ASSERT_TRUE(old.mapping) << old.error;
    JoyMapping unturned = pad;
    unturned.strumHighNormal = false;
    EXPECT_EQ(*old.mapping, unturned);

    // After the marker every line must convert; the file is refused whole, naming the line.
    auto bad = lines;
    bad[169] = "x";
    const auto refused = parseJoyConfig(joinCrLf(bad), "pad.joy");
    EXPECT_FALSE(refused.mapping);
    EXPECT_NE(refused.error.find("(line 170 of pad.joy;"), std::string::npos) << refused.error;
    bad.resize(168);
    EXPECT_FALSE(parseJoyConfig(joinCrLf(bad), "pad.joy").mapping);
}

TEST(ControllerMappingFiles, PresetsFollowWhereTheControllerHasItsControls) {
    // A pad whose d-pad is four buttons and whose right stick is on Z and V.
    ControllerInfo other = xbox360Layout();
    other.buttons[kPadUp] = 12;
    other.buttons[kPadLeft] = 0; // not on the reading: the function gets no input
    other.axes[kPadRightY] = 6;
    JoyMapping m;
    applyGamepad(m, other);
    EXPECT_EQ(m.joyMap[kFnChord1], inputCode(12));
    EXPECT_FALSE(m.assigned(kFnChord1 + 3));
    EXPECT_EQ(m.joyMap[kFnPick1 + 1], inputCode(2));
    EXPECT_EQ(m.extraMap[kFnChordSetStep - kJoyFunctions], inputCode(5));
    EXPECT_EQ(m.axisOf(kRoleStrum), 6);
    EXPECT_EQ(m.axisOf(kRoleTempo), 0);

    // The controller's own mapping wins over its preset; none of another model's.
    Settings settings;
    ControllerInfo pad = xbox360Layout();
    pad.guid = "0300aa";
    EXPECT_EQ(mappingForController(pad, settings, {}).source, kMappingGamepad);
    pad.guitar = true;
    EXPECT_EQ(mappingForController(pad, settings, {}).source, kMappingGuitar);
    EXPECT_FALSE(rememberMapping(settings, "0300aa", {m, "/home/p/mine.joy"}));
    const NamedMapping own = mappingForController(pad, settings, {});
    EXPECT_EQ(own.source, "/home/p/mine.joy");
    EXPECT_EQ(own.mapping, m);
    EXPECT_EQ(mappingForController({"0300bb", "Unknown stick"}, settings, {}).source,
              kMappingBramble);
}

} // namespace
} // namespace fw
