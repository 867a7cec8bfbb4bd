#pragma once

#include "engine/midi_output.h"
#include "engine/play_state.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace fw {

// The live instrument: the play state, the pick action, the beat-clocked pick sequencer and the
// pitch updater. Windows, keyboard modes and the joystick call in here and mirror the result.
class Engine {
public:
    explicit Engine(MidiOutput& output) : out(output) {}

    MidiOutput& out;
    PlayState st;
    ControlState ui;

    // Pick k (1..4): latch the selection and start its sequence at the first group. With
    // "Pick Start" at "At once" (or atOnce), the first group sounds now; otherwise at the next
    // beat.
    void pickAction(int k);
    void pickAction(int k, bool atOnce);

    // The beat grid the sequencer runs on, in monotonic microseconds: when the last beat was due
    // and when the next one is. Whoever runs the beats tells it; a pick started at once reads it
    // to find which beat its first group stands for.
    struct BeatGrid {
        std::int64_t lastDue = 0;
        std::int64_t nextDue = 0;
    };
    std::function<std::optional<BeatGrid>()> beatGrid;
    // Check fret button n (1..13), as the mouse over a fret does.
    void fretHover(int n);
    // "S" and "M": step the selected chord set / chord, 4 wraps to 1.
    void stepChordSet();
    void stepChord();
    // Alternate instrument buttons "1".."3".
    void alternate(int k);
    // "Silence".
    void silence();

    // One beat of the pick sequencer.
    void sequencerTick();
    // The 5 ms expression update: tempo, displays, program change, pitch bend.
    void pitchUpdaterTick();

    // With a strum spread, the plucks of a group after the first wait for their time: these
    // send (and log) those due by the given monotonic time. The next beat sends what is left
    // before anything else, so no pluck comes after the note-offs that follow it.
    void releasePlucks(std::int64_t dueByMicros);
    // When the next waiting pluck is due; nothing when none waits.
    std::optional<std::int64_t> nextPluckDue() const;

    // Runs after every step of the accompaniment, while "Accomp. Beat" plays it: the counting
    // toy hands over its next line here.
    std::function<void()> afterBeatStep;

    // Selection text: "1-1".
    std::string selectionText() const;
    int bpm() const { return 1001 - ui.tempPosition; }
    int sequencerIntervalMs() const { return 60000 / bpm(); }
    std::string tempoText() const;
    // 14-bit pitch bend for a "P" position, centred on the bar's start position.
    static int pitchBendFor(int position);

private:
    int firstCheckedFret() const;
    // The note string 1..10 of the chord in play sounds at the fret in play, or kNoNote.
    int noteOf(int string) const;
    void beatStep();
    void countBeatPass();
    void endChangedStrings(int noteOn);
    // The group at pickStep, then on to the next one.
    void playGroup(int noteOn);
    void rememberNotes();
    // True when a press at this time lies nearer the coming beat than the one just past.
    bool nearerComingBeat(std::int64_t press) const;
    void pluck(int status, int string, int note, int velocity, std::optional<std::int64_t> due);

    struct Pluck {
        std::int64_t due = 0;
        int status = 0;
        int string = 0;
        int note = 0;
        int velocity = 0;
    };
    std::deque<Pluck> waitingPlucks_;
    // A pick started at once just before a beat: its first group stands for that beat, which
    // then plays no group of its own.
    bool groupAhead_ = false;
};

} // namespace fw
