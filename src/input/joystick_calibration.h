#pragma once

#include "engine/play_state.h"
#include "input/joystick.h"
#include "input/joystick_mapping.h"

#include <string>
#include <vector>

namespace fw {

enum class CalibrationKind { Frets, PickSelector, ChordSelector };

// "Apply Calibrations": the fret, pick and chord ranges from the recorded samples.
void applyCalibrations(const PlayState& st, JoyMapping& mapping);

// One calibration run, stepped by the window's timer with a fresh reading each time. For every
// position the axis is sampled while no button is down; a press keeps the last sample and the
// run moves on once all buttons are released. Samples are recorded as the user goes; a cancelled
// run puts back every sample it had changed.
class AxisCalibration {
public:
    explicit AxisCalibration(PlayState& st) : st_(st) {}

    // Starts a run on the given axis (1..6). Returns false when it did not start: with no axis
    // (message then holds what to tell the user) or while another run is going.
    bool start(CalibrationKind kind, int axis, std::string& message);
    enum class Step { Waiting, NextPosition, Finished };
    Step step(const JoyInfo& reading);
    void cancel();

    bool running() const { return running_; }
    CalibrationKind kind() const { return kind_; }
    // The text of the run's prompt label.
    std::string prompt() const;
    // Shown when a run has finished.
    std::string closingMessage() const;

    static std::string idlePrompt() { return "Click 'Calibrate' to start."; }
    static std::string noAxisMessage(CalibrationKind kind);

private:
    int positions() const;
    int& sample(int position);

    PlayState& st_;
    CalibrationKind kind_ = CalibrationKind::Frets;
    int axis_ = 0;
    int position_ = 0; // 1-based; for frets 13 is the release position
    bool sampling_ = true;
    bool running_ = false;
    std::vector<int> before_;
};

} // namespace fw
