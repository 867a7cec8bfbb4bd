#include "play/qt_midi_sync_group.h"

#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include <functional>

namespace fw {

namespace {

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

} // namespace

MidiSyncGroup::MidiSyncGroup(BeatSync& sync, QWidget* parent)
    : QGroupBox("MIDI Clock", parent), sync_(sync) {
    setObjectName("MidiSyncGroup");
    build();
    connect(&stateTimer_, &QTimer::timeout, this, [this] { sync_.checkState(); });
    transportTimer_.setTimerType(Qt::PreciseTimer);
    connect(&transportTimer_, &QTimer::timeout, this, [this] { sync_.pollTransport(); });
    sync_.changed = [this] { mirror(); };
    // Input comes on a thread of the input's own; the window thread takes it.
    sync_.inputWaiting = [this] {
        QMetaObject::invokeMethod(
            this, [this] { sync_.takeInput(); }, Qt::QueuedConnection);
    };
    mirror();
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

    connect(SendMidiClock, &QCheckBox::clicked, this, [this](bool on) { sync_.setSending(on); });
    connect(MidiInputList, &QComboBox::activated, this, [this](int row) {
        sync_.chooseInput(row);
        mirror();
    });
    connect(FollowMidiClock, &QCheckBox::clicked, this,
            [this](bool on) { sync_.setFollowMidiClock(on); });
    connect(FollowJackTransport, &QCheckBox::clicked, this,
            [this](bool on) { sync_.setFollowTransport(on); });
}

void MidiSyncGroup::shutDown() {
    sync_.shutDown();
    stateTimer_.stop();
    transportTimer_.stop();
    sync_.changed = nullptr;
    sync_.inputWaiting = nullptr;
}

void MidiSyncGroup::mirror() {
    mirrorChecked(SendMidiClock, sync_.sending());
    mirrorChecked(FollowMidiClock, sync_.followsMidiClock());
    mirrorChecked(FollowJackTransport, sync_.followsTransport());
    showInputs();
    const QString state = QString::fromStdString(sync_.stateText());
    mirrorText(MidiInputState, state);
    MidiInputState->setVisible(!state.isEmpty());
    if (!sync_.missingInput().empty())
        MidiInputState->setToolTip(QString::fromStdString(sync_.missingInput()));
    // The core says which wakes it wants; the timers only give them.
    const auto keep = [](QTimer& timer, bool wanted, int ms) {
        if (!wanted)
            timer.stop();
        else if (!timer.isActive())
            timer.start(ms);
    };
    keep(stateTimer_, sync_.stateCheckWanted(), BeatSync::kStateCheckMs);
    keep(transportTimer_, sync_.transportPollWanted(), BeatSync::kTransportPollMs);
}

void MidiSyncGroup::showInputs() {
    const std::vector<std::string> names = sync_.inputList();
    QStringList items;
    for (const auto& name : names)
        items << QString::fromStdString(name);
    const QSignalBlocker block(MidiInputList);
    bool same = MidiInputList->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = MidiInputList->itemText(i) == items[i];
    if (!same) {
        MidiInputList->clear();
        MidiInputList->addItems(items);
    }
    MidiInputList->setCurrentIndex(sync_.inputRow());
}

} // namespace fw
