#pragma once

#include "play/beat_sync.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <optional>
#include <string>

namespace fw {

// The "MIDI Clock" group of the "Config" tab: "Send MIDI Clock" to the MIDI output, the
// "MIDI Input" whose clock the sequencer follows with "Follow MIDI Clock", and "Follow JACK
// Transport". It turns clicks into calls on the guitar's BeatSync and shows its state; its
// timers only wake it.
class MidiSyncGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit MidiSyncGroup(BeatSync& sync, QWidget* parent = nullptr);

    void restoreSettings() { sync_.restoreSettings(); }
    // The list does so whenever it drops down.
    void rescanInputs() { sync_.rescanInputs(); }
    // Before the window or the guitar goes: Stop to the output, the input closed and the
    // group's hooks taken back, so nothing calls here after.
    void shutDown();
    bool followingAny() const { return sync_.followingAny(); }
    std::optional<std::string> followedTempoText() const { return sync_.followedTempoText(); }

    QCheckBox* SendMidiClock = nullptr;
    QComboBox* MidiInputList = nullptr;
    QCheckBox* FollowMidiClock = nullptr;
    QCheckBox* FollowJackTransport = nullptr;
    QLabel* MidiInputState = nullptr;

private:
    void build();
    void mirror();
    void showInputs();

    BeatSync& sync_;
    QTimer stateTimer_;
    QTimer transportTimer_;
};

} // namespace fw
