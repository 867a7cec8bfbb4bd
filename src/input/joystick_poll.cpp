#include "input/joystick_poll.h"

#include "engine/engine.h"

#include <algorithm>
#include <tuple>

namespace fw {

namespace {
constexpr int kRest = 128;
constexpr int kRestLow = 117, kRestHigh = 137; // the rest window lies strictly between
constexpr int kArmHigh = 178, kArmLow = 78;    // a swing must pass beyond these

constexpr int kBarCentre = 127; // the "P" bar's start: no bend
// A stick at rest reads within an eighth of its half range of the middle.
constexpr std::int64_t kStickDeadZone = 4096;

bool isHatCode(std::int32_t m) {
    return m == kPovForward || m == kPovRight || m == kPovBackward || m == kPovLeft;
}

std::uint32_t activity(std::int32_t m, const JoyInfo& info) {
    if (isHatCode(m))
        return info.pov == static_cast<std::uint32_t>(m) ? 1 : 0;
    return info.buttons & static_cast<std::uint32_t>(m);
}
} // namespace

void JoystickPlay::decodeJoyButtons(const JoyInfo& info) {
    for (std::size_t k = 0; k < joyState.size(); ++k)
        joyState[k] = activity(map.joyMap[k], info);
    if (map.unassigned & ~JoyMapping::kExtrasUnassigned) {
        for (std::size_t k = 0; k < joyState.size(); ++k) {
            if (!map.assigned(static_cast<int>(k)))
                joyState[k] = 0;
        }
    }
}

int JoystickPlay::vibratoPosition(std::int64_t a) const {
    std::int64_t position = a >> 8;
    if (map.vibratoMode == kVibratoStick) {
        // Past the dead zone the stick covers the whole bar, so there is no jump at its edge.
        const std::int64_t off = a - kAxisCentre;
        const std::int64_t beyond = off > 0 ? std::max<std::int64_t>(off - kStickDeadZone, 0)
                                            : std::min<std::int64_t>(off + kStickDeadZone, 0);
        position = kBarCentre + beyond * 128 / (kAxisCentre - kStickDeadZone);
    } else if (map.vibratoMode == kVibratoWhammy) {
        const std::int64_t pressed = std::max<std::int64_t>(a - kStickDeadZone, 0);
        position = kBarCentre - pressed * (kBarCentre - 1) / (65535 - kStickDeadZone);
    }
    return static_cast<int>(std::clamp<std::int64_t>(position, 1, 255));
}

bool JoystickPlay::pressActions(std::uint64_t pressed) {
    PlayState& st = engine_.st;
    ControlState& ui = engine_.ui;
    bool trigger = false;
    auto down = [&](int function) { return (pressed >> function) & 1u; };
    if (down(kFnChordSetStep))
        engine_.stepChordSet();
    if (down(kFnPickSetStep))
        st.selPickSet = st.selPickSet % 4 + 1;
    if (map.pickButtonsPlay) {
        for (int k = 0; k < 4; ++k) {
            if (down(kFnPick1 + k)) {
                ui.pickItem = k;
                ui.alt = false;
                trigger = true;
            }
        }
    }
    if (down(kFnStrumDown) || down(kFnStrumUp)) {
        ui.alt = down(kFnStrumUp) && !down(kFnStrumDown);
        trigger = true;
    }
    return trigger;
}

int JoystickPlay::highestOf(int first) const {
    int found = 0;
    for (int i = 0; i < 4; ++i) {
        if (active(first + i))
            found = i + 1;
    }
    return found;
}

bool JoystickPlay::strum(int d) {
    bool trigger = false;
    if (d > strumHigh && d > kArmHigh) {
        strumHigh = d;
        strumLow = kRest;
    }
    if (d < strumLow && d < kArmLow) {
        strumLow = d;
        strumHigh = kRest;
    }
    const bool atRest = d > kRestLow && d < kRestHigh;
    if (strumHigh > kRestHigh && atRest) {
        engine_.st.velocity = strumHigh - kRest;
        strumHigh = strumLow = kRest;
        engine_.ui.alt = !map.strumHighNormal;
        trigger = true;
    } else if (strumLow < kRestLow && atRest) {
        engine_.st.velocity = 127 - strumLow;
        strumHigh = strumLow = kRest;
        engine_.ui.alt = map.strumHighNormal;
        trigger = true;
    }
    return trigger;
}

void JoystickPlay::decodeFretAxis(std::int64_t a) {
    for (int k = 1; k <= kFretPositions; ++k) {
        if (map.fretRanges[static_cast<std::size_t>(k)].contains(a))
            engine_.ui.checkedFret = k;
    }
}

int JoystickPlay::decodePickAxis(std::int64_t a) {
    for (int g = 0; g < kPickPositions / 2; ++g) {
        for (int r = 1; r <= 2; ++r) {
            if (map.pickRanges[static_cast<std::size_t>(2 * g + r)].contains(a)) {
                engine_.st.selPickSet = g / 4 + 1;
                return r;
            }
        }
    }
    return 0;
}

void JoystickPlay::decodeChordAxis(std::int64_t a) {
    int found = 0;
    for (int k = 1; k <= kChordPositions; ++k) {
        if (map.chordRanges[static_cast<std::size_t>(k)].contains(a))
            found = k;
    }
    if (found) {
        engine_.st.selChordSet = (found - 1) % 4 + 1;
        engine_.st.selChord = (found - 1) / 4 + 1;
    }
}

JoystickPlay::PollResult JoystickPlay::readAndPoll(Joystick& joystick, JoyInfo& info) {
    if (joystick.getPosEx(info) != kJoyNoError)
        strumHigh = strumLow = kRest;
    if (joystick.controllerSerial() != controllerSerial_) {
        controllerSerial_ = joystick.controllerSerial();
        // The same controller reopened ("ReInit Joystick") keeps a swing it has armed.
        const std::string guid = joystick.controller().guid;
        if (guid != controllerGuid_)
            strumHigh = strumLow = kRest;
        if (!guid.empty())
            controllerGuid_ = guid;
        if (controllerChanged)
            controllerChanged();
    }
    return poll(info);
}

JoystickPlay::PollResult JoystickPlay::poll(const JoyInfo& info) {
    PlayState& st = engine_.st;
    ControlState& ui = engine_.ui;
    auto mirrored = [&] {
        return std::tuple(st.selPickSet, st.selChordSet, st.selChord, ui.tremPosition,
                          ui.tempPosition, ui.pickItem, ui.alt, ui.checkedFret);
    };
    const auto before = mirrored();
    auto axis = [&](int role) -> std::int64_t { return info.axis(map.axisOf(role)); };

    decodeJoyButtons(info);
    if (int set = highestOf(kFnPickSet1))
        st.selPickSet = set;
    if (int set = highestOf(kFnChordSet1))
        st.selChordSet = set;
    if (int chord = highestOf(kFnChord1))
        st.selChord = chord;
    if (map.axisOf(kRoleVibrato))
        ui.tremPosition = vibratoPosition(axis(kRoleVibrato));
    if (int pick = highestOf(kFnPick1))
        ui.pickItem = pick - 1;

    PollResult result;
    result.shownVelocity = st.velocity;
    // The tempo box keeps showing the BPM; the bar position is all the tempo axis sets.
    if (map.axisOf(kRoleTempo))
        ui.tempPosition =
            static_cast<int>(std::clamp<std::int64_t>((axis(kRoleTempo) >> 7) + 1, 1, 1000));

    const int d = map.axisOf(kRoleStrum) ? static_cast<int>(axis(kRoleStrum) >> 8) : kRest;
    bool trigger = strum(d);

    if (map.axisOf(kRoleChord))
        decodeChordAxis(axis(kRoleChord));
    // "Play on press" makes every pick of this controller start at once.
    const bool atOnce = map.pickButtonsPlay || ui.pickAtOnce;
    if (map.axisOf(kRolePick)) {
        const int r = decodePickAxis(axis(kRolePick));
        if (r > 0) {
            ui.alt = r == 2;
            // A selector held in a pick position starts it again on every poll; started at once,
            // only the move into the position plays, or every poll would sound the first group.
            if (!atOnce || !pickAxisHeld_)
                trigger = true;
        }
        pickAxisHeld_ = r > 0;
    }

    ui.checkedFret = 1;
    if (map.axisOf(kRoleFrets))
        decodeFretAxis(axis(kRoleFrets));
    for (int k = kFnFret2; k < kFnFret2 + 12; ++k) {
        if (active(k))
            ui.checkedFret = k - 2;
    }

    // Only mappings that use them pay for the functions that act once per press.
    if (map.extended()) {
        // Only the pick buttons and the functions 36..39 act on a press.
        std::uint64_t now = 0;
        for (int k = kFnPick1; k < kFnPick1 + 4; ++k)
            now |= std::uint64_t{active(k)} << k;
        for (int k = kJoyFunctions; k < kAllFunctions; ++k) {
            if (map.assigned(k) && activity(map.code(k), info))
                now |= std::uint64_t{1} << k;
        }
        const std::uint64_t pressed = now & ~held_;
        held_ = now;
        if (pressed && pressActions(pressed))
            trigger = true;
    }

    if (trigger && ui.pickItem >= 0 && ui.pickItem <= 3) {
        engine_.pickAction(ui.pickItem + 1, atOnce);
        result.picked = true;
    }
    result.changed = result.picked || mirrored() != before;
    return result;
}

} // namespace fw
