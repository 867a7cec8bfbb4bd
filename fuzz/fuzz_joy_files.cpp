// A joystick configuration file (*.joy) as "Load Config" reads it: taken whole, or refused with
// a short message naming the first line that an independent reader finds bad; what loaded is
// saved as 164 lines (175 when it uses what 164 cannot hold) that read back the same, byte for
// byte when the file was already in that form; and the loaded mapping drives the joystick poll and
// the engine without a selection outside its range or a message that is not a channel message.
#include "crlf.h"
#include "engine_checks.h"
#include "files/line_file.h"
#include "input/joy_file.h"
#include "input/joystick_poll.h"

#include <charconv>

namespace {

constexpr std::size_t kExtendedLines = fw::kJoyFileLines + 2 + fw::kJoyExtensionLines;

// Whether line 165 marks the lines after it as part of the mapping.
bool extended(const std::vector<std::string_view>& lines) {
    return lines.size() > fw::kJoyFileLines &&
           fw::fuzz::independentInteger(lines[fw::kJoyFileLines]) == fw::kJoyExtensionMarker;
}

// The lines a file must have: 164, or after a marker the count line and the values it names.
// A count below 9 is a file written before the strum switch: eight values.
std::size_t neededLines(const std::vector<std::string_view>& lines) {
    if (!extended(lines))
        return fw::kJoyFileLines;
    const std::size_t countLine = fw::kJoyFileLines + 1;
    const auto count =
        countLine < lines.size() ? fw::fuzz::independentInteger(lines[countLine]) : std::nullopt;
    return fw::kJoyFileLines + 2 + (count && *count >= 9 ? 9 : 8);
}

// The form the program writes: every value as std::to_string gives it, axes 1..7; the lines
// after the 164th only when they are needed, with the count the program writes, flags 0 or 1,
// a vibrato mode 0..2 and no code for a function without input.
bool inOwnForm(const std::vector<std::string_view>& lines) {
    if (lines.size() != fw::kJoyFileLines && lines.size() != kExtendedLines)
        return false;
    if (lines.size() == kExtendedLines) {
        if (!extended(lines))
            return false;
        const auto at = [&](std::size_t i) {
            return fw::fuzz::independentInteger(lines[i]).value_or(-99);
        };
        const auto high = static_cast<std::uint32_t>(at(167));
        if (at(165) != fw::kJoyExtensionLines || high > 0xFF || at(172) < 0 || at(172) > 1 ||
            at(173) < 0 || at(173) > 2 || at(174) < 0 || at(174) > 1)
            return false;
        for (int k = 0; k < fw::kExtraFunctions; ++k) {
            if ((high >> (4 + k)) & 1u && at(168 + static_cast<std::size_t>(k)) != 0)
                return false;
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int v = 0;
        const auto [end, ec] =
            std::from_chars(lines[i].data(), lines[i].data() + lines[i].size(), v);
        if (ec != std::errc() || end != lines[i].data() + lines[i].size() ||
            std::to_string(v) != lines[i])
            return false;
        if (i >= 36 && i < 42 && (v < 1 || v > fw::kAxisNone))
            return false;
    }
    return true;
}

std::int64_t middle(const fw::AxisRange& r) {
    return (std::int64_t{r.low} + r.high) / 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fw;
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const std::vector<std::string_view> lines = splitLineViews(bytes);
    const fw::JoyConfigParse parsed = parseJoyConfig(bytes, "pad.joy");

    const std::size_t needed = neededLines(lines);
    std::size_t firstBad = needed;
    for (std::size_t i = 0; i < needed && firstBad == needed; ++i)
        if (i >= lines.size() || !fw::fuzz::independentInteger(lines[i]))
            firstBad = i;
    if (!parsed.mapping) {
        FW_CHECK(firstBad < needed);
        FW_CHECK(parsed.error.size() <= fuzz::kLongestMessage);
        FW_CHECK(parsed.error.find("(line " + std::to_string(firstBad + 1) + " of pad.joy;") !=
                 std::string::npos);
        return 0;
    }
    FW_CHECK(firstBad == needed && parsed.error.empty());
    const JoyMapping& m = *parsed.mapping;
    for (int axis : m.axisMap)
        FW_CHECK(axis >= 1 && axis <= kAxisNone);
    FW_CHECK(m.vibratoMode >= kVibratoFull && m.vibratoMode <= kVibratoWhammy);

    const std::vector<std::string> saved = joyConfigLines(m);
    FW_CHECK(saved.size() == (m.extended() ? kExtendedLines : kJoyFileLines));
    const std::string savedText = joinCrLf(saved);
    FW_CHECK(parseJoyConfig(savedText, "pad.joy").mapping == m);
    if (fuzz::everyLineEndsInCrLf(bytes) && inOwnForm(lines))
        FW_CHECK(savedText == bytes);

    // Polls at the middle of every range on every axis, with the buttons and hat of one game
    // function each time, a beat after every fourth.
    fuzz::CheckedEngine e;
    e.engine.st.pickMemory[1][1] = "0123456";
    JoystickPlay joy(e.engine);
    joy.map = m;
    std::vector<std::int64_t> middles;
    for (int k = 1; k <= kFretPositions; ++k)
        middles.push_back(middle(m.fretRanges[k]));
    for (int k = 1; k <= kPickPositions; ++k)
        middles.push_back(middle(m.pickRanges[k]));
    for (int k = 1; k <= kChordPositions; ++k)
        middles.push_back(middle(m.chordRanges[k]));
    for (std::size_t i = 0; i < middles.size(); ++i) {
        JoyInfo info;
        const auto a = static_cast<std::uint32_t>(std::clamp<std::int64_t>(middles[i], 0, 65535));
        info.x = info.y = info.z = info.r = info.u = info.v = a;
        const std::int32_t code = m.code(static_cast<int>(i % kAllFunctions));
        info.buttons = static_cast<std::uint32_t>(code);
        info.pov = static_cast<std::uint32_t>(code);
        // "Play on press" picks at once.
        e.play([&] {
            return joy.poll(info).picked && (joy.map.pickButtonsPlay || e.engine.ui.pickAtOnce);
        });
        const auto& st = e.engine.st;
        FW_CHECK(st.selChordSet >= 1 && st.selChordSet <= 4 && st.selChord >= 1 &&
                 st.selChord <= 4 && st.selPickSet >= 1 && st.selPickSet <= 4);
        FW_CHECK(e.engine.ui.checkedFret >= 0 && e.engine.ui.checkedFret <= kFretPositions);
        FW_CHECK(e.engine.ui.tremPosition >= 1 && e.engine.ui.tremPosition <= 255);
        if (i % 4 == 3)
            e.tick();
    }
    return 0;
}
