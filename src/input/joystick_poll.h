#pragma once

#include "input/joystick.h"
#include "input/joystick_mapping.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace fw {

class Engine;

// Joystick play: turns one reading of the controller into the play state through the mapping,
// as often as the play mode polls. Selections, the checked fret, "ALT", the "P" and "T" bars and
// the velocity are written where every other input writes them; a strum or the pick selector
// starts the pick chosen in the "Pick" group through the one pick action.
class JoystickPlay {
public:
    explicit JoystickPlay(Engine& engine) : engine_(engine) {}

    JoyMapping map;
    std::array<std::uint32_t, kJoyFunctions> joyState{};
    int strumHigh = 128;
    int strumLow = 128;

    struct PollResult {
        int shownVelocity = 0; // "Volume Position": the velocity before this poll's strum
        bool changed = false;  // something the windows mirror has changed
        bool picked = false;
    };
    PollResult poll(const JoyInfo& info);
    // One poll step from the query on: reads the controller into info and polls. A controller
    // that is gone reads as at rest, and a swing it left armed does not strum.
    PollResult readAndPoll(Joystick& joystick, JoyInfo& info);
    // Called from readAndPoll, before the reading is decoded, when another controller (or none)
    // has come into use, so that its mapping is in force for its first reading.
    std::function<void()> controllerChanged;

    void decodeJoyButtons(const JoyInfo& info);
    void decodeFretAxis(std::int64_t a);
    // 1: a normal pick position, 2: an altered one, 0: none matched.
    int decodePickAxis(std::int64_t a);
    void decodeChordAxis(std::int64_t a);
    // One strum step over d = axis / 256 (128 when no axis drives the strum); true when a swing
    // has ended and a pick is due.
    bool strum(int d);
    // The "P" bar position for a vibrato axis reading, as the mapping's vibrato mode reads it.
    int vibratoPosition(std::int64_t a) const;

private:
    bool active(int function) const { return joyState[static_cast<std::size_t>(function)] != 0; }
    // The highest active function of the four from `first`, 1..4, or 0.
    int highestOf(int first) const;
    // The functions that act once per press: pick buttons that play, the strum and step inputs.
    // Returns whether a pick is due; `pressed` holds the functions that went down in this poll.
    bool pressActions(std::uint64_t pressed);

    Engine& engine_;
    std::uint64_t held_ = 0; // functions 0..39 active in the previous poll
    unsigned controllerSerial_ = 0;
    std::string controllerGuid_; // the last controller in use
    bool pickAxisHeld_ = false;  // the pick selector lay in a pick position at the last poll
};

} // namespace fw
