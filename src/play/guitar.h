#pragma once

#include "engine/beat_grid.h"
#include "engine/engine.h"
#include "engine/midi_output.h"
#include "files/settings.h"
#include "input/joystick_poll.h"
#include "logs/play_log.h"
#include "play/beat_sync.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace fw {

class Clock;
class MidiOutputs;
class Prompts;

// The running instrument: the engine with its play state, the MIDI output and the choice of
// port, the beat grid, the joystick's play and the settings of play, all timed by one clock.
// The windows turn the player's intents into calls here and mirror the state; their timers only
// wake it.
class Guitar {
public:
    Guitar(Clock& clock, Prompts& prompts, MidiOutputs& outputs);
    Guitar(const Guitar&) = delete;
    Guitar& operator=(const Guitar&) = delete;

    Clock& clock() const { return clock_; }
    Prompts& prompts() const { return prompts_; }
    // The play log it owns with the take's journal: every message sent is logged here, and shown
    // in the view a window gives it.
    PlayLog& playLog() { return playLog_; }
    MidiOutput& output() { return output_; }
    Engine& engine() { return engine_; }
    const Engine& engine() const { return engine_; }
    BeatGrid& beats() { return beats_; }
    JoystickPlay& joystickPlay() { return joystickPlay_; }
    MidiOutputs& outputs() { return outputs_; }
    // MIDI clock out, and the clock or transport the beats follow.
    BeatSync& sync() { return sync_; }
    // Every choice of play is kept here; without restoreSettings() (tests) only in memory.
    Settings& settings() { return settings_; }
    // Takes up settings read from an earlier run: the output and "Pick Start". Returns the name
    // of the output chosen last time when it is not there now (the built-in synthesizer stands
    // in for it).
    std::optional<std::string> restoreSettings(Settings settings);

    // ---- play
    // Pick k (1..4), as its button, key or controller asks.
    void pick(int k);
    // A key of the keyboard play table (a US-layout virtual-key code).
    void keyboardKey(int key);
    // The 1 ms joystick poll.
    JoystickPlay::PollResult pollJoystick(Joystick& joystick, JoyInfo& info);
    // "Pick Start": whether a pick's first group sounds at the press; kept in the settings.
    void setPickAtOnce(bool atOnce);
    // One beat of the sequencer. The grid's beats carry the time they are due; one run by hand
    // belongs to the time it runs.
    void beat();
    // After every beat's notes and MIDI clock, with its due time.
    std::function<void(std::int64_t dueMicros)> afterBeat;
    // The later plucks of a spread strum: when to wake for them (stamp time), and the wake.
    std::optional<std::int64_t> strumWakeDue() const;
    void releasePlucks();
    // Told whenever strumWakeDue() may have changed.
    std::function<void()> strumChanged;
    // The beat grid as the engine reads it for a pick started at once.
    std::optional<Engine::BeatGrid> beatSpan() const;

    // ---- the MIDI output
    // Lists the outputs again; the chosen one stays, or the built-in synthesizer stands in for
    // one that went (and hears the state). Returns the row in use. Without JACK: what can be
    // listed at once, as at the start (JACK's ports follow once a thread has listed them).
    int rescanOutputs(bool withJack = true);
    // The player's choice of a row: used at once and remembered. False when it changes nothing.
    bool chooseOutput(int row);
    // The row in use.
    int outputRow() const;
    // The output starts from nothing: it hears the instruments and the bend anew.
    void sendStateToNewOutput();
    // A new take: the log's times count from now, its journal starts anew, and the pitch updater
    // sends (and so logs) the instrument and the bend again on its next tick.
    void newTake();
    // Sends and logs the beat channel's instrument.
    void tellBeatInstrument();
    // The slow check: an output that opened again after it was lost hears the state; the
    // instruments a button switches to are loaded ahead.
    void checkOutput();
    // Whoever must hear of a new output (the MIDI clock's Start), and of one that must be told
    // the beat channel's instrument.
    std::function<void()> outputChanged;
    std::function<void()> announceBeatInstrument;
    // Told when the instrument and the bend are to be sent again on the pitch updater's tick.
    std::function<void()> resendAsked;

private:
    void applyOutput(int row);

    Clock& clock_;
    Prompts& prompts_;
    // Before the output, which logs into it until its end.
    PlayLog playLog_;
    MidiOutputs& outputs_;
    MidiOutput output_;
    Engine engine_;
    BeatGrid beats_;
    JoystickPlay joystickPlay_{engine_};
    Settings settings_;
    BeatSync sync_{output_, beats_, settings_};
    std::string chosenOutputKey_;
    // The output last seen and how often it had opened again, to tell it the instruments anew.
    const MidiPort* seenPort_ = nullptr;
    int seenReopenings_ = 0;
    std::array<int, 4> preloaded_{-1, -1, -1, -1};
};

} // namespace fw
