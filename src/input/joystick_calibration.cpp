#include "input/joystick_calibration.h"

namespace fw {

namespace {
struct KindInfo {
    const char* noAxis;
    const char* before;
    const char* after;
    const char* closing;
    int positions;
};

const KindInfo& info(CalibrationKind kind) {
    static const KindInfo frets{"You Must Select a FRET AXIS in the Joystick Mapping FIRST.",
                                "Hold fret position '",
                                " on your analog FRET guitar and press a button.",
                                "Your analog frets are now calibrated.", kFretPositions};
    static const KindInfo picks{
        "You Must Select a PICK SELECTOR AXIS in the Joystick Mapping FIRST.",
        "Hold Pick Selector Position '", " on your analog PICK guitar and press a button.",
        "Your analog Pick Selectors are now calibrated.", kPickPositions};
    static const KindInfo chords{"You Must Select a CHORD AXIS in the Joystick Mapping FIRST.",
                                 "Hold Chord Selector position '",
                                 " on your analog CHORD guitar and press a button.",
                                 "Your Chord Selectors are now calibrated.", kChordPositions};
    switch (kind) {
    case CalibrationKind::Frets:
        return frets;
    case CalibrationKind::PickSelector:
        return picks;
    default:
        return chords;
    }
}
} // namespace

void applyCalibrations(const PlayState& st, JoyMapping& m) {
    rangesFromSamples(st.fretCalibration, m.fretRanges);
    rangesFromSamples(st.pickCalibration, m.pickRanges);
    rangesFromSamples(st.chordCalibration, m.chordRanges);
}

std::string AxisCalibration::noAxisMessage(CalibrationKind kind) {
    return info(kind).noAxis;
}

int AxisCalibration::positions() const {
    return info(kind_).positions;
}

int& AxisCalibration::sample(int position) {
    const auto p = static_cast<std::size_t>(position);
    switch (kind_) {
    case CalibrationKind::Frets:
        // Held positions 1..12 are frets 2..13; the release position is the open strings.
        return st_.fretCalibration[position == kFretPositions ? 1 : p + 1];
    case CalibrationKind::PickSelector:
        return st_.pickCalibration[p];
    default:
        return st_.chordCalibration[p];
    }
}

bool AxisCalibration::start(CalibrationKind kind, int axis, std::string& message) {
    message.clear();
    if (running_)
        return false;
    if (axis < 1 || axis > 6) {
        message = noAxisMessage(kind);
        return false;
    }
    kind_ = kind;
    axis_ = axis;
    position_ = 1;
    sampling_ = true;
    running_ = true;
    before_.clear();
    for (int p = 1; p <= positions(); ++p)
        before_.push_back(sample(p));
    return true;
}

AxisCalibration::Step AxisCalibration::step(const JoyInfo& reading) {
    if (!running_)
        return Step::Finished;
    if (sampling_) {
        // A button already down when a position starts leaves its old sample.
        if (reading.buttons == 0)
            sample(position_) = static_cast<int>(reading.axis(axis_));
        else
            sampling_ = false;
        return Step::Waiting;
    }
    if (reading.buttons != 0)
        return Step::Waiting;
    sampling_ = true;
    if (++position_ > positions()) {
        running_ = false;
        return Step::Finished;
    }
    return Step::NextPosition;
}

void AxisCalibration::cancel() {
    if (!running_)
        return;
    for (int p = 1; p <= positions(); ++p)
        sample(p) = before_[static_cast<std::size_t>(p - 1)];
    running_ = false;
}

std::string AxisCalibration::prompt() const {
    if (!running_)
        return idlePrompt();
    if (kind_ == CalibrationKind::Frets && position_ == kFretPositions)
        return "Release All Frets then press a button.";
    const KindInfo& t = info(kind_);
    return t.before + std::to_string(position_) + "'\n" + t.after;
}

std::string AxisCalibration::closingMessage() const {
    return info(kind_).closing;
}

} // namespace fw
