#include "app/qt_main_window.h"

#include "app/qt_fretboard.h"
#include "beats/beat_instrument.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/chord_names.h"
#include "config/qt_configuration_set_group.h"
#include "engine/clock.h"
#include "engine/output_choice.h"
#include "engine/prompts.h"
#include "input/keyboard_play.h"
#include "input/qt_joystick_mapping_page.h"
#include "input/qt_key_translate.h"
#include "logs/qt_play_logs_host.h"
#include "logs/qt_play_logs_page.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "play/qt_midi_sync_group.h"

#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace fw {

TForm1::TForm1(Guitar& guitar, Services services, QWidget* parent)
    : QWidget(parent), guitar_(guitar), services_(services) {
    setObjectName("TForm1");
    setWindowTitle("Fretwright");
    resize(779, 569);
    // The capture message is the first window a player sees, so it goes up before the window is
    // built; prompts that hold it let the building go on while it is read.
    Button69Click();

    // The play state already holds its start values (sequencer idle, everything at 1), and the
    // pick memory is empty; now the controls that show it.
    buildWindow();
    // The pitch updater's check compares the tempo box's text ten times a second: kept here as
    // it changes, rather than read out of the box each time.
    shownTempo_ = TempoModified->text().toStdString();
    connect(TempoModified, &QLineEdit::textChanged, this,
            [this](const QString& text) { shownTempo_ = text.toStdString(); });
    guitar_.playLog().setView(
        [memo = R2IMemo](const std::string& lines) { appendLogLines(memo, lines); });
    guitar_.announceBeatInstrument = [this] {
        // A page not made yet still has its first instrument chosen.
        if (BeatManagerPage* page = BeatManager.ifBuilt())
            page->ListBox5Click();
        else
            announceBeatInstrument(engine_.out, BeatManagerPage::kFirstInstrument);
    };
    guitar_.resendAsked = [this] { notePitchInputs(); };
    // JACK's ports may follow once the window is up: listing them takes a JACK client, opened
    // and closed on a thread of the outputs' own.
    refreshMidiOutputs(false);
    connectControls();
    syncControls();

    JoystickMapping->Button7Click();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    Timer2 = new BeatTimer(guitar_.beats(), this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(1);
    guitar_.afterBeat = [this](std::int64_t) {
        syncControls();
        // The beats of the grid, as the window layer sees them.
        if (guitar_.beats().beatUnderWay())
            emit Timer2->timeout();
    };

    StrumTimer = new QTimer(this);
    StrumTimer->setObjectName("StrumTimer");
    StrumTimer->setSingleShot(true);
    StrumTimer->setTimerType(Qt::PreciseTimer);
    connect(StrumTimer, &QTimer::timeout, this, [this] { guitar_.releasePlucks(); });
    guitar_.strumChanged = [this] { scheduleStrum(); };

    // The pitch updater's tick does something only after a change of what it reads, so it runs
    // when one is announced rather than every 5 ms: the same messages, and an idle thread.
    PitchUpdater = new ChangeTimer(this);
    PitchUpdater->setObjectName("PitchUpdater");
    PitchUpdater->setInterval(5);
    connect(PitchUpdater, &ChangeTimer::timeout, this, &TForm1::PitchUpdaterTimer);
    connect(this, &TForm1::controlsSynced, this, &TForm1::notePitchInputs);
    PitchUpdater->start();

    Timer4 = new QTimer(this);
    Timer4->setObjectName("Timer4");
    Timer4->setInterval(100);
    connect(Timer4, &QTimer::timeout, this, &TForm1::Timer4Timer);
    Timer4->start();

    connectMidiSync();
    Timer2->start();
    JoystickMapping->takeUpController();
}

TForm1::~TForm1() {
    // Other programs following our clock hear Stop.
    MidiSync->shutDown();
    // The waker goes before the grid it wakes.
    delete Timer2;
    // The guitar outlives this window and its pages: none of them may be told anything more.
    guitar_.playLog().setView(nullptr);
    settings_.setOnWriteError(nullptr);
    engine_.afterBeatStep = nullptr;
    joystickPlay_.controllerChanged = nullptr;
    guitar_.outputChanged = nullptr;
    guitar_.announceBeatInstrument = nullptr;
    guitar_.resendAsked = nullptr;
    guitar_.afterBeat = nullptr;
    guitar_.strumChanged = nullptr;
    guitar_.sync().followingChanged = nullptr;
    guitar_.sync().beatTaken = nullptr;
}

void TForm1::connectMidiSync() {
    BeatSync& sync = guitar_.sync();
    sync.followingChanged = [this](bool) { PitchUpdaterTimer(); }; // the "Tempo" box at once
    sync.beatTaken = [this] { notePitchInputs(); };                // the followed tempo
}

void TForm1::setSecondaryForms(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form5,
                               QDialog* form6, QDialog* form7) {
    forms_ = {nullptr, nullptr, form2, form3, form4, form5, form6, form7};
    makeForm_ = nullptr;
}

void TForm1::setSecondaryFormMaker(std::function<QDialog*(int)> make) {
    forms_ = {};
    makeForm_ = std::move(make);
}

void TForm1::showModal(int formNumber) {
    if (formNumber < 2 || formNumber > 7)
        return;
    if (!forms_[formNumber] && makeForm_)
        forms_[formNumber] = makeForm_(formNumber);
    if (forms_[formNumber])
        forms_[formNumber]->exec();
}

void TForm1::connectControls() {
    for (int k = 1; k <= 4; ++k) {
        // Alt+1..4 play on the key's press, not when the button's animated click ends.
        pickButtons[k]->installEventFilter(this);
        connect(pickButtons[k], &QPushButton::clicked, this, [this, k] { pickClick(k); });
        connect(pickPanels[k], &Panel::clicked, this, [this, k] { pickClick(k); });
    }
    for (int n = 1; n <= 13; ++n) {
        fretButtons[n]->installEventFilter(this);
        fretButtons[n]->setMouseTracking(true);
        connect(fretButtons[n], &QRadioButton::clicked, this,
                [this, n] { FretButtonMouseMove(n); });
    }
    connect(CheckBox1, &QCheckBox::clicked, this, [this](bool on) { engine_.ui.alt = on; });
    connect(CheckBox3, &QCheckBox::clicked, this, [this](bool on) { engine_.ui.accompBeat = on; });
    connect(CheckBox4, &QCheckBox::clicked, this, [this](bool on) {
        engine_.ui.realtimeFrets = on;
        emit controlsSynced();
    });
    connect(CheckBox5, &QCheckBox::clicked, this, [this](bool on) {
        engine_.ui.mergeModes = on;
        emit controlsSynced();
    });
    connect(TrackRadioGroup, &RadioGroup::itemClicked, this, [this](int i) {
        engine_.ui.track = i;
        emit controlsSynced();
    });
    connect(RadioGroup1, &RadioGroup::itemClicked, this,
            [this](int i) { engine_.ui.metronomeItem = i; });
    connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);
    connect(Button30, &QPushButton::clicked, this, &TForm1::Button30Click);
    connect(Button32, &QPushButton::clicked, this, &TForm1::Button32Click);
    connect(Button31, &QPushButton::clicked, this, &TForm1::Button31Click);
    connect(Button33, &QPushButton::clicked, this, &TForm1::Button33Click);
    connect(Button29, &QPushButton::clicked, this, &TForm1::Button29Click);
    connect(Button69, &QPushButton::clicked, this, &TForm1::Button69Click);
    connect(Button70, &QPushButton::clicked, this, &TForm1::Button70Click);
    connect(Button79, &QPushButton::clicked, this, &TForm1::Button79Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(Button75, &QPushButton::clicked, this, [this] { showModal(2); });
    connect(Button6, &QPushButton::clicked, this, [this] { showModal(4); });
    connect(Button74, &QPushButton::clicked, this, [this] { showModal(6); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        engine_.ui.instrumentItem = row;
        notePitchInputs();
    });
    connect(TremTracker, &QSlider::valueChanged, this, &TForm1::TremTrackerChange);
    connect(TempTracker, &QSlider::valueChanged, this, &TForm1::TempTrackerChange);
    connect(VTracker, &QSlider::valueChanged, this, &TForm1::VTrackerChange);
    connect(MidiOutputList, &QListWidget::currentRowChanged, this, &TForm1::chooseMidiOutput);
    Edit22->installEventFilter(this);
    connect(MidiRescanButton, &QPushButton::clicked, this, [this] { refreshMidiOutputs(); });
    connect(PickStart, &RadioGroup::itemClicked, this, &TForm1::PickStartClick);
}

// ---- handlers -------------------------------------------------------------------------------

void TForm1::pickClick(int k) {
    guitar_.pick(k);
    syncControls();
}

void TForm1::PickStartClick(int item) {
    guitar_.setPickAtOnce(item == 1);
}

void TForm1::Button12Click() {
    engine_.stepChordSet();
    syncControls();
}

void TForm1::Button30Click() {
    engine_.stepChord();
    syncControls();
}

void TForm1::alternateClick(int k) {
    engine_.alternate(k);
    syncControls();
}

void TForm1::Button29Click() {
    engine_.silence();
}

void TForm1::Button69Click() {
    guitar_.prompts().showMessage(joystickCaptureMessage(services_.joystick.setCapture()));
}

void TForm1::Button70Click() {
    Timer1->start();
    Button70->hide();
    Button79->show();
}

void TForm1::Button79Click() {
    Timer1->stop();
    Button70->show();
    Button79->hide();
}

void TForm1::Button9Click() {
    Button79Click();
    showModal(5);
}

void TForm1::FretButtonMouseMove(int n) {
    engine_.fretHover(n);
    syncControls();
}

void TForm1::Edit22KeyDown(int& key, Qt::KeyboardModifiers) {
    guitar_.keyboardKey(key);
    syncControls();
}

void TForm1::VTrackerChange() {
    engine_.ui.vPosition = VTracker->value();
    engine_.st.velocity = VTracker->maximum() + VTracker->minimum() - VTracker->value();
    emit controlsSynced();
}

void TForm1::TempTrackerChange() {
    engine_.ui.tempPosition = TempTracker->value();
    emit controlsSynced();
}

void TForm1::TremTrackerChange() {
    engine_.ui.tremPosition = TremTracker->value();
    emit controlsSynced();
}

// ---- timers ---------------------------------------------------------------------------------

void TForm1::Timer1Timer() {
    const JoystickPlay::PollResult r = guitar_.pollJoystick(services_.joystick, joyInfo);
    mirrorText(VolumePosition, QString::number(r.shownVelocity));
    // Most polls change nothing; the controls are touched only when something did.
    if (r.changed)
        syncControls();
}

void TForm1::Timer2Timer() {
    guitar_.beat();
}

void TForm1::scheduleStrum() {
    const std::optional<std::int64_t> due = guitar_.strumWakeDue();
    if (!due) {
        StrumTimer->stop();
        return;
    }
    const std::int64_t wait = *due - guitar_.clock().stampMicros();
    StrumTimer->start(static_cast<int>(std::max<std::int64_t>(wait / 1000, 0)));
}

void TForm1::PitchUpdaterTimer() {
    engine_.pitchUpdaterTick();
    guitar_.beats().setInterval(engine_.sequencerIntervalMs());
    mirrorText(TempoModified, QString::fromStdString(guitar_.sync().followedTempoText().value_or(
                                  engine_.tempoText())));
    mirrorText(JoyStickYPos, QString::number(engine_.st.bendValue));
}

bool TForm1::pitchUpdateDue() {
    if (engine_.ui.tremPosition != engine_.st.bendValue ||
        Timer2->interval() != engine_.sequencerIntervalMs())
        return true;
    // Sends that wait for the output to open, and a followed clock's tempo, come about with no
    // change of a control.
    const MidiPort* port = output_.port();
    const PlayState& st = engine_.st;
    const bool unsent =
        engine_.ui.instrumentItem != st.sentInstrument || engine_.ui.tremPosition != st.sentBend;
    if (unsent && port && port->usable())
        return true;
    return guitar_.sync().followedTempoText().value_or(engine_.tempoText()) != shownTempo_;
}

void TForm1::notePitchInputs() {
    if (PitchUpdater && pitchUpdateDue())
        PitchUpdater->changed();
}

void TForm1::Timer4Timer() {
    notePitchInputs();
    updateMidiOutputState();
    guitar_.checkOutput();
    services_.joystick.getPosEx(joyInfo);
    JoystickMapping->Timer4Timer(joyInfo);
}

bool TForm1::loadJoystickConfig(const std::string& preselected) {
    return JoystickMapping->loadJoystickConfig(preselected);
}

// ---- mirroring ------------------------------------------------------------------------------

int TForm1::heldFret() const {
    const int checked = engine_.ui.checkedFret;
    return checked >= 1 && checked <= 13 ? checked : engine_.st.fret;
}

void TForm1::syncControls() {
    const ControlState& ui = engine_.ui;
    for (int n = 1; n <= 13; ++n)
        mirrorChecked(fretButtons[n], ui.checkedFret == n);
    mirrorChecked(CheckBox1, ui.alt);
    mirrorChecked(CheckBox3, ui.accompBeat);
    mirrorChecked(CheckBox4, ui.realtimeFrets);
    mirrorChecked(CheckBox5, ui.mergeModes);
    TrackRadioGroup->setItemIndex(ui.track);
    RadioGroup3->setItemIndex(ui.pickItem);
    RadioGroup5->setItemIndex(ui.pickSetItem);
    RadioGroup1->setItemIndex(ui.metronomeItem);
    if (RadioGroup* cycles = RadioGroup2.ifBuilt())
        cycles->setItemIndex(ui.cyclesPerDigitItem);
    mirrorText(Edit123, QString::fromStdString(ui.remainingSequence));
    const QString selection = QString::fromStdString(engine_.selectionText());
    if (Panel65->caption() != selection)
        Panel65->setCaption(selection);
    mirrorText(ChordNames, QString::fromStdString(chordNamesLine(engine_.st, heldFret())));
    mirrorRow(ListBox1, ui.instrumentItem);
    if (ListBox7.ifBuilt()) {
        mirrorRow(ListBox7, ui.alternateItem1);
        mirrorRow(ListBox6, ui.alternateItem2);
        mirrorRow(ListBox8, ui.alternateItem3);
    }
    mirrorValue(TremTracker, ui.tremPosition);
    mirrorValue(TempTracker, ui.tempPosition);
    mirrorValue(VTracker, ui.vPosition);
    emit controlsSynced();
}

// ---- MIDI output choice ---------------------------------------------------------------------

void TForm1::refreshMidiOutputs(bool withJack) {
    showMidiOutputRow(guitar_.rescanOutputs(withJack));
    updateMidiOutputState();
}

void TForm1::showMidiOutputRow(int row) {
    const QSignalBlocker block(MidiOutputList);
    MidiOutputList->clear();
    for (const auto& name : guitar_.outputs().names()) {
        // The whole name on hover too, for a list narrowed by the window.
        MidiOutputList->addItem(QString::fromStdString(name));
        MidiOutputList->item(MidiOutputList->count() - 1)->setToolTip(QString::fromStdString(name));
    }
    MidiOutputList->setCurrentRow(row);
}

void TForm1::restoreSettings(const std::string& settingsFile) {
    restoreSettings(Settings(settingsFile));
}

void TForm1::restoreSettings(Settings settings) {
    settings.setOnWriteError([this](const std::string& error) {
        SettingsNote->setText(QString::fromStdString(
            error + "\nChoices made now (output, SoundFont, volume, ...) hold until Fretwright "
                    "closes but are not kept for its next start."));
        SettingsNote->show();
    });
    if (const std::optional<std::string> gone = guitar_.restoreSettings(std::move(settings))) {
        MidiOutputNote->show();
        MidiOutputNote->setText(
            QString("The MIDI output chosen last time, \"%1\", is not there now: playing "
                    "through the built-in synthesizer.")
                .arg(QString::fromStdString(*gone)));
    }
    showMidiOutputRow(guitar_.outputRow());
    updateMidiOutputState();
    Sound->restore();
    MidiSync->restoreSettings();
    PickStart->setItemIndex(engine_.ui.pickAtOnce ? 1 : 0);
    JoystickMapping->takeUpController(true);
    // The very first start opens on the tab with "Load Starter Set": one click from a chord.
    if (!settings_.value("started")) {
        PageControl1->setCurrentWidget(ConfigSet->parentWidget());
        settings_.setValue("started", "1");
    }
}

SoundGroup::Hooks TForm1::soundHooks() {
    return {[this] { return dynamic_cast<FluidSynthPort*>(guitar_.outputs().port(0)); },
            [this](int ms) { engine_.ui.strumSpreadMs = ms; },
            [this](const std::string& path) {
                if (PlayLogs)
                    PlayLogs->wavRenderSettings().soundFont = path;
            }};
}

void TForm1::chooseMidiOutput(int row) {
    if (!guitar_.chooseOutput(row))
        return;
    updateMidiOutputState();
    MidiOutputNote->clear();
    MidiOutputNote->setVisible(false);
}

void TForm1::updateMidiOutputState() {
    // Ten times a second: what the words are made of is compared, and worded only when new.
    MidiOutputs::State state = MidiOutputs::stateOf(output_.port());
    if (shownOutputState_ && state == *shownOutputState_)
        return;
    mirrorText(MidiOutputState, QString::fromStdString(MidiOutputs::stateText(state)));
    shownOutputState_ = std::move(state);
}

// ---- window events --------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    move(0, 0);
}

namespace {
// How often the window looks whether the outputs' thread has listed JACK's ports, at the start.
constexpr int kListingCheckMs = 20;
} // namespace

void TForm1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        QTimer::singleShot(0, this, &TForm1::takeUpListedOutputs);
    }
}

void TForm1::takeUpListedOutputs() {
    if (guitar_.outputs().complete())
        return;
    refreshMidiOutputs(false);
    if (!guitar_.outputs().complete())
        QTimer::singleShot(kListingCheckMs, this, &TForm1::takeUpListedOutputs);
}

void TForm1::closeEvent(QCloseEvent* event) {
    services_.joystick.releaseCapture();
    QWidget::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        for (int k = 1; k <= 4; ++k) {
            if (watched == pickButtons[k]) {
                // Shown pressed for a moment, as the click would, but played now.
                pickButtons[k]->setDown(true);
                QTimer::singleShot(100, pickButtons[k],
                                   [b = pickButtons[k]] { b->setDown(false); });
                pickClick(k);
                return true;
            }
        }
    }
    if (watched == Edit22) {
        // In expert mode every key plays, Alt+digit too, rather than the pick buttons'
        // accelerators; the box still gets each key afterwards.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            int key = usVirtualKey(*keyEvent);
            Edit22KeyDown(key, keyEvent->modifiers());
        }
    }
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        for (int n = 1; n <= 13; ++n) {
            if (watched == fretButtons[n]) {
                FretButtonMouseMove(n);
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fw
