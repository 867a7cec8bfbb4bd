#pragma once

#include "engine/midi_clock.h"
#include "platform/jack/jack_transport.h"
#include "platform/midi_inputs.h"

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>

namespace fw {

class MidiOutput;
class Settings;

// The "MIDI Clock" group of the "Config" tab: "Send MIDI Clock" to the MIDI output, the
// "MIDI Input" whose clock the sequencer follows with "Follow MIDI Clock", and "Follow JACK
// Transport", which makes the sequencer beat on JACK's beats while the transport rolls (the two
// exclude each other). The main window acts on its signals (the beat timer, "Silence", the
// "Tempo" box) and calls afterBeat() on every beat.
class MidiSyncGroup : public QGroupBox {
    Q_OBJECT
public:
    MidiSyncGroup(MidiOutput& output, Settings& settings, QWidget* parent = nullptr);
    // For tests: inputs of their own.
    MidiSyncGroup(MidiOutput& output, Settings& settings, std::unique_ptr<MidiInputs> inputs,
                  QWidget* parent = nullptr);
    ~MidiSyncGroup() override;

    // Takes up the choices kept from an earlier run: sending clock, and the input.
    void restoreSettings();
    // Asks the system again which inputs exist; the list does so whenever it drops down.
    void rescanInputs();
    // After the notes of every beat, with the beat's due time and length.
    void afterBeat(std::int64_t beatMicros, std::int64_t periodMicros);
    void outputChanged() { clockOut_.outputChanged(); }
    // At the end of the program: Stop to the output and the input closed, the choices kept.
    void shutDown();
    bool following() const { return FollowMidiClock->isChecked(); }
    // The sequencer takes its beats from here: MIDI clock, or a JACK server's transport.
    bool followingAny() const { return following() || followingTransport_; }
    // The tempo of the program's own beat, which the transport is followed at without a
    // timebase master.
    void setOwnBeatMillis(int ms);
    // While following: the tempo measured from the clocks, as the "Tempo" box shows it.
    std::optional<std::string> followedTempoText() const;

    QCheckBox* SendMidiClock = nullptr;
    QComboBox* MidiInputList = nullptr;
    QCheckBox* FollowMidiClock = nullptr;
    QCheckBox* FollowJackTransport = nullptr;
    QLabel* MidiInputState = nullptr;

signals:
    void sendingChanged(bool on);
    void followingChanged(bool on);
    // A beat of the followed clock, due at that monotonic time.
    void beatDue(qint64 monoMicros);
    // The followed clock said Stop.
    void clockStopped();
    // The beat asked for last is not to come.
    void beatWithdrawn();

private:
    void build();
    void showInputs(const std::string& selectedKey);
    void chooseInput(int row);
    void openInput(int row);
    void heard(const QByteArray& bytes, qint64 monoMicros);
    void updateState();
    void showState();
    void setFollowMidiClock(bool on);
    void setFollowJackTransport(bool on);
    // Opens or closes the transport's client as the box and the server say; tells the window
    // when the sequencer's source of beats changed.
    void updateTransport();
    void takeTransportEvents();

    MidiOutput& output_;
    Settings& settings_;
    std::unique_ptr<MidiInputs> inputs_;
    std::unique_ptr<MidiInputPort> input_;
    std::string inputKey_ = MidiInputs::kNone;
    QString inputProblem_;
    MidiClockOut clockOut_;
    MidiClockFollower follower_;
    QTimer stateTimer_;
    JackTransportFollower transport_;
    QTimer transportTimer_; // takes the transport's events while it is followed
    bool followingTransport_ = false;
    double transportBpm_ = 0; // the tempo of the last beat of the transport
    bool announcedFollowing_ = false;
};

} // namespace fw
