#include "engine/qt_midi_sync_group.h"

#include "engine/clock.h"
#include "engine/midi_output.h"
#include "files/settings.h"
#include "platform/jack/jack_session.h"
#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include <cstdio>

namespace fw {

namespace {

constexpr const char* kSendClockSetting = "send-midi-clock";
constexpr const char* kFollowTransportSetting = "follow-jack-transport";
// How often the window looks for the transport's beats: well inside the time they are told
// ahead.
constexpr int kTransportPollMs = 5;
// No clock for this long and the group says it is waiting for one.
constexpr std::int64_t kClockSilenceMicros = 1000000;

// A list that asks for the ports anew each time it drops down, so a port started meanwhile is
// there without a button of its own.
class RescanningComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;
    void showPopup() override {
        if (beforePopup)
            beforePopup();
        QComboBox::showPopup();
    }
};

std::string bpmText(double bpm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f BPM", bpm);
    return text;
}

} // namespace

MidiSyncGroup::MidiSyncGroup(MidiOutput& output, Settings& settings, QWidget* parent)
    : MidiSyncGroup(output, settings, std::make_unique<MidiInputs>(), parent) {}

MidiSyncGroup::MidiSyncGroup(MidiOutput& output, Settings& settings,
                             std::unique_ptr<MidiInputs> inputs, QWidget* parent)
    : QGroupBox("MIDI Clock", parent), output_(output), settings_(settings),
      inputs_(std::move(inputs)), clockOut_(output) {
    setObjectName("MidiSyncGroup");
    build();
    showInputs(inputKey_);
    stateTimer_.setInterval(250);
    connect(&stateTimer_, &QTimer::timeout, this, &MidiSyncGroup::updateState);
    transportTimer_.setTimerType(Qt::PreciseTimer);
    transportTimer_.setInterval(kTransportPollMs);
    connect(&transportTimer_, &QTimer::timeout, this, &MidiSyncGroup::takeTransportEvents);
}

MidiSyncGroup::~MidiSyncGroup() {
    if (input_)
        input_->close();
}

void MidiSyncGroup::build() {
    // Narrow rows, so that the group fits beside another on the tab.
    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(2);
    SendMidiClock = new QCheckBox("Send MIDI Clock", this);
    SendMidiClock->setObjectName("SendMidiClock");
    layout->addWidget(SendMidiClock, 0, 0, 1, 2);
    layout->addWidget(new QLabel("MIDI Input", this), 1, 0);
    auto* list = new RescanningComboBox(this);
    list->beforePopup = [this] { rescanInputs(); };
    MidiInputList = list;
    MidiInputList->setObjectName("MidiInputList");
    MidiInputList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    MidiInputList->setMinimumContentsLength(10);
    layout->addWidget(MidiInputList, 1, 1);
    layout->setColumnStretch(1, 1);
    FollowMidiClock = new QCheckBox("Follow MIDI Clock", this);
    FollowMidiClock->setObjectName("FollowMidiClock");
    layout->addWidget(FollowMidiClock, 2, 0, 1, 2);
    FollowJackTransport = new QCheckBox("Follow JACK Transport", this);
    FollowJackTransport->setObjectName("FollowJackTransport");
    FollowJackTransport->setToolTip("Play on the beats of a running JACK server's transport, at "
                                    "its timebase master's tempo, while it rolls");
    layout->addWidget(FollowJackTransport, 3, 0, 1, 2);
    MidiInputState = new QLabel(this);
    MidiInputState->setObjectName("MidiInputState");
    MidiInputState->setWordWrap(true);
    MidiInputState->hide(); // takes room only when it has something to say
    layout->addWidget(MidiInputState, 4, 0, 1, 2);

    connect(SendMidiClock, &QCheckBox::clicked, this, [this](bool on) {
        clockOut_.setSending(on);
        settings_.setValue(kSendClockSetting, on ? std::optional<std::string>("1") : std::nullopt);
        emit sendingChanged(on);
    });
    connect(MidiInputList, &QComboBox::activated, this, &MidiSyncGroup::chooseInput);
    connect(FollowMidiClock, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            setFollowJackTransport(false);
        setFollowMidiClock(on);
    });
    connect(FollowJackTransport, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            setFollowMidiClock(false);
        setFollowJackTransport(on);
        settings_.setValue(kFollowTransportSetting,
                           on ? std::optional<std::string>("1") : std::nullopt);
    });
}

void MidiSyncGroup::setFollowMidiClock(bool on) {
    mirrorChecked(FollowMidiClock, on);
    follower_ = MidiClockFollower{};
    updateTransport();
}

void MidiSyncGroup::setFollowJackTransport(bool on) {
    mirrorChecked(FollowJackTransport, on);
    updateTransport();
}

void MidiSyncGroup::setOwnBeatMillis(int ms) {
    if (ms > 0)
        transport_.setOwnBpm(60000.0 / ms);
}

void MidiSyncGroup::updateTransport() {
    const bool wanted = FollowJackTransport->isChecked();
    if (wanted && !transport_.alive()) {
        // A server started, or one that went away came back.
        transport_.close();
        if (jackServerMayRun())
            transport_.open();
    } else if (!wanted && transport_.isOpen()) {
        transport_.close();
    }
    followingTransport_ = wanted && transport_.alive();
    if (followingTransport_)
        transportTimer_.start();
    else
        transportTimer_.stop();
    if (!followingTransport_)
        transportBpm_ = 0;
    if (following() || wanted)
        stateTimer_.start();
    else
        stateTimer_.stop();
    showState();
    const bool now = followingAny();
    if (now != announcedFollowing_) {
        announcedFollowing_ = now;
        emit followingChanged(now);
    }
}

void MidiSyncGroup::takeTransportEvents() {
    JackTransportFollower::Event e;
    while (transport_.next(e)) {
        if (e.kind == JackTransportFollower::Event::Kind::Stopped) {
            emit clockStopped();
            continue;
        }
        if (e.kind == JackTransportFollower::Event::Kind::Withdrawn) {
            emit beatWithdrawn();
            continue;
        }
        transportBpm_ = e.bpm;
        // Sent early by the output's latency, so that the notes sound on JACK's beat.
        const MidiPort* port = output_.port();
        emit beatDue(e.monoMicros - (port ? port->latencyMicros() : 0));
    }
}

void MidiSyncGroup::restoreSettings() {
    if (settings_.value(kSendClockSetting) == "1" && !SendMidiClock->isChecked())
        SendMidiClock->click();
    if (settings_.value(kFollowTransportSetting) == "1" && !FollowJackTransport->isChecked())
        FollowJackTransport->click();
    const std::optional<std::string> key = readInputChoice(settings_);
    if (!key)
        return;
    inputs_->rescan();
    const int row = inputs_->indexOfRemembered(*key);
    if (row < 0) {
        showInputs(MidiInputs::kNone);
        inputProblem_ = "The input chosen last time is not there.";
        MidiInputState->setToolTip(QString::fromStdString(MidiInputs::displayName(*key)));
        updateState();
        return;
    }
    showInputs(inputs_->key(row));
    openInput(row);
}

void MidiSyncGroup::rescanInputs() {
    inputs_->rescan();
    showInputs(inputKey_);
}

void MidiSyncGroup::showInputs(const std::string& selectedKey) {
    const QSignalBlocker block(MidiInputList);
    MidiInputList->clear();
    for (const auto& name : inputs_->names())
        MidiInputList->addItem(QString::fromStdString(name));
    // A port in use that went away stays chosen until another is.
    int row = inputs_->indexOfRemembered(selectedKey);
    if (row < 0 && selectedKey != MidiInputs::kNone) {
        MidiInputList->addItem(QString::fromStdString(MidiInputs::displayName(selectedKey)));
        row = MidiInputList->count() - 1;
    }
    MidiInputList->setCurrentIndex(std::max(row, 0));
}

void MidiSyncGroup::chooseInput(int row) {
    if (row < 0 || row >= inputs_->count() || inputs_->key(row) == inputKey_)
        return;
    openInput(row);
    if (auto error = writeInputChoice(settings_, inputKey_))
        inputProblem_ = QString::fromStdString(*error);
    updateState();
}

void MidiSyncGroup::openInput(int row) {
    if (input_)
        input_->close();
    input_ = inputs_->make(row);
    inputKey_ = inputs_->key(row);
    inputProblem_.clear();
    follower_ = MidiClockFollower{};
    if (input_) {
        // Input comes on a thread of the input's own; the window thread takes it from the queue.
        const bool opened =
            input_->open([this](const std::uint8_t* bytes, std::size_t size, std::int64_t at) {
                QByteArray copy(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
                QMetaObject::invokeMethod(
                    this, [this, copy, at] { heard(copy, at); }, Qt::QueuedConnection);
            });
        if (!opened) {
            input_.reset();
            inputProblem_ = "This input cannot be opened.";
        }
    }
    updateState();
}

void MidiSyncGroup::heard(const QByteArray& bytes, qint64 monoMicros) {
    if (!following())
        return;
    for (const char byte : bytes) {
        switch (follower_.feed(static_cast<std::uint8_t>(byte), monoMicros)) {
        case MidiClockFollower::Event::Beat:
            emit beatDue(monoMicros);
            break;
        case MidiClockFollower::Event::Stop:
            emit clockStopped();
            break;
        case MidiClockFollower::Event::None:
            break;
        }
    }
}

void MidiSyncGroup::afterBeat(std::int64_t beatMicros, std::int64_t periodMicros) {
    if (const auto bpm = following() ? follower_.bpm() : std::nullopt)
        periodMicros = static_cast<std::int64_t>(60e6 / *bpm);
    else if (followingTransport_ && transportBpm_ > 0)
        periodMicros = static_cast<std::int64_t>(60e6 / transportBpm_);
    clockOut_.beat(beatMicros, periodMicros);
}

void MidiSyncGroup::shutDown() {
    clockOut_.setSending(false);
    if (input_)
        input_->close();
    stateTimer_.stop();
    transportTimer_.stop();
    transport_.close();
}

std::optional<std::string> MidiSyncGroup::followedTempoText() const {
    if (followingTransport_) {
        // Without a timebase master the "T" bar's tempo, which the box shows anyway.
        const double bpm = transport_.masterBpm();
        return bpm > 0 ? std::optional(bpmText(bpm)) : std::nullopt;
    }
    if (!following())
        return std::nullopt;
    const auto bpm = follower_.bpm();
    return bpm ? bpmText(*bpm) : "- BPM";
}

void MidiSyncGroup::updateState() {
    // The server may have gone away, or started.
    if ((FollowJackTransport->isChecked() && !transport_.alive()) ||
        (followingTransport_ && !transport_.alive()))
        updateTransport();
    else
        showState();
}

void MidiSyncGroup::showState() {
    QString state = inputProblem_;
    if (FollowJackTransport->isChecked()) {
        const double bpm = transport_.masterBpm();
        if (!followingTransport_)
            state = "No JACK server runs.";
        else if (!transport_.rolling())
            state = "JACK transport stopped.";
        else if (bpm > 0)
            state = QString("Following JACK transport at %1.")
                        .arg(QString::fromStdString(bpmText(bpm)));
        else
            state = "Following JACK transport (no timebase master).";
    }
    if (state.isEmpty() && following()) {
        const auto last = follower_.lastClock();
        const auto bpm = follower_.bpm();
        if (inputKey_ == MidiInputs::kNone)
            state = "Choose the MIDI input to follow.";
        else if (!last || output_.clock().stampMicros() - *last > kClockSilenceMicros || !bpm)
            state = "Waiting for MIDI clock...";
        else if (!follower_.armed())
            state = QString("Clock at %1; waiting for Start.")
                        .arg(QString::fromStdString(bpmText(*bpm)));
        else
            state = QString("Following at %1.").arg(QString::fromStdString(bpmText(*bpm)));
    }
    if (MidiInputState->text() != state)
        MidiInputState->setText(state);
    MidiInputState->setVisible(!state.isEmpty());
}

} // namespace fw
