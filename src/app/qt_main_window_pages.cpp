// The tabs of the main window and the instrument list beside them.
#include "app/qt_main_window.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/qt_chord_builder_page.h"
#include "chords/qt_chord_definitions_page.h"
#include "chords/qt_memory_status_page.h"
#include "config/qt_configuration_set_group.h"
#include "config/qt_starter_set_group.h"
#include "config/starter_set.h"
#include "engine/instruments.h"
#include "input/qt_joystick_mapping_page.h"
#include "logs/qt_play_logs_host.h"
#include "logs/qt_play_logs_page.h"
#include "picks/qt_pick_pages.h"
#include "play/qt_midi_sync_group.h"
#include "toys/qt_music_toys_page.h"

#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace fw {

namespace {

// The "Play Logs" tab's view of the main window.
class MainWindowLogsHost final : public PlayLogsHost {
public:
    explicit MainWindowLogsHost(TForm1& form) : form_(form) {}
    QWidget& mainWindow() override { return form_; }
    LiveTimers pauseLiveTimers() override {
        const LiveTimers running{form_.Timer2 && form_.Timer2->isEnabled(),
                                 form_.PitchUpdater && form_.PitchUpdater->isActive()};
        if (form_.Timer2)
            form_.Timer2->stop();
        if (form_.PitchUpdater)
            form_.PitchUpdater->stop();
        return running;
    }
    void resumeLiveTimers(LiveTimers running) override {
        if (running.pitchUpdater)
            form_.PitchUpdater->start();
        if (running.sequencer)
            form_.Timer2->start();
    }
    void stopJoystickPlay() override { form_.Button79Click(); }

private:
    TForm1& form_;
};
const char* const kHelpText = R"HELP(FRETWRIGHT QUICK START

Fretwright turns the computer keyboard or a game controller into a guitar that plays
through MIDI. Out of the box it sounds through the built-in synthesizer; choose
another MIDI output on the "Config" tab.

1. BUILD A CHORD  (Builder > Chords)
   - Pick the chord root in "Chord Root" (the list starts at "C"; "E" is the low E
     string of a guitar).
   - Give each of the ten strings a semitone offset from the root in the "1/2N Offset"
     boxes. Example, an E major chord from root "E": 0, 4, 7, 12, 12, 16, 19, 24, 0, 0.
   - Press "<((" beside a string to hear it alone.
   - "Type" fills the offsets from a chord type, "6 String" from finger positions on a
     six-string guitar, "Edit an Existing Chord" loads a stored chord back.
   - Store the chord in one of the sixteen slots of "Save Chord (Set-Slot)":
     "1-1" is chord set 1, chord 1, up to "4-4".

2. TYPE PICK PATTERNS  (Builder > Picking Sequences)
   - Each of the pages "Pick 1" to "Pick 4" has two blocks of seven boxes: the upper
     block is the pick's normal sequence, the lower block its altered (ALT) sequence.
   - Each box is one pick channel. Type one character per beat: a digit 0-9 plucks
     string 1-10 of the chord, "-" plucks nothing. The seven channels are read side by
     side, so up to seven strings sound on one beat.
     Example, an arpeggio in channel 1:  0123
   - Save the four pages into one of four pick sets with "Set 1" to "Set 4". A pick
     set holds eight sequences: picks 1-4, each normal and altered.

3. CHECK THE MEMORY  (Memory State)
   - "Chord Definitions" and "Pick Definitions" show what is stored.
   - "Memory Status" shows which chords and sequences are filled, and each chord's
     name; press "Refresh". The chord in play and the one selected are named beside
     the "S" and "M" buttons.

4. SAVE AND LOAD
   - Save and load chord sets (*.chords) and pick sets (*.picks) on the "Memory State"
     pages. Nothing is saved automatically: save your work before you quit.

5. PLAY WITH THE KEYBOARD
   - Beginners: press "KB Play Mode" for the "Keyboard Play Mode Input" window.
   - Experts: click the box "Click to use KB Mode" under the fretboard picture and play
     straight from the main window.
   - The number row holds frets, the arrow keys pick, letter keys change chord, chord
     set and pick set; the bars "P", "T" and "V" bend, set the tempo and the volume.

6. PLAY WITH A JOYSTICK OR GUITAR CONTROLLER
   - Plug the controller in (before or while Fretwright runs) and press "Init Play
     Mode"; "STOP Play Mode" ends joystick play.
   - The preset "Bramble First Guitar" is in force: buttons 3, 2, 1, 4 choose picks
     1-4, the hat chooses chords 1-4, and the strum bar (axis R) picks: swung down the
     pick's pattern, swung up its ALT pattern, the further the louder.
   - A game pad gets the preset "Gamepad": a flick of the right stick down strums
     down, low string to high (the pick's pattern), a flick up strums up (its ALT
     pattern), as a hand moves on a guitar.
   - On "Joystick Mapping" press a button (or move an axis) on the controller to
     select it in the list, then click the box of the function it should drive.
     Analog necks and selectors are taught with "Calibrate Joystick".

7. KEEP A WHOLE SET-UP  (Config)
   - Save a chord set, a pick set and a joystick configuration, then name all three in
     a configuration set so one file brings your whole set-up back.

8. PLAY ALONG WITH A BEAT  (Beat Manager)
   - Each row letter A-Y stands for the MIDI note in its box; "<((" plays it.
   - Type one voice per line in "Beat Pattern Segment": a letter plays its row's note on
     that beat, "-" rests. Example: A--A--B- in the first line.
   - Press "Apply", choose the beat's sound in "Beat Instrument" and check
     "Accomp. Beat": the pattern plays on MIDI channel 1, one step per beat.
   - "Generate 4/8/16/32 Beat" make a random beat; "Save Beat..." keeps your lines and
     rows in a .beat file. "Music Toys" counts 0 to 255 through the same beat.

Every note you play is written to the play log on "Play Logs": replay it, keep takes
in Log A and Log B, merge them, and save the result as a Standard MIDI File.
)HELP";

const char* const kThanksText = R"HELP(Thanks to:

- Every guitarist who tried the keyboard modes and told us where it stumbled.
- The makers of FluidSynth and of the FluidR3 General MIDI SoundFont, which give
  Fretwright its voice.
- The RtMidi, SDL and Qt projects, for MIDI ports, game controllers and windows.
- The authors of the General MIDI standard, who made one instrument list for all.
)HELP";

QListWidget* list(const QString& name, const std::vector<std::string>& items, int selected,
                  QWidget* parent) {
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    for (const auto& item : items)
        l->addItem(QString::fromStdString(item));
    l->setCurrentRow(selected);
    return l;
}

QWidget* page(const QString& name, QWidget* parent) {
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    return w;
}
} // namespace

void TForm1::buildWindow() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    ListBox1 = list("ListBox1", instrumentItems(), 25, this);
    ListBox1->setFixedWidth(190);
    top->addWidget(ListBox1);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    top->addWidget(PageControl1, 1);
    outer->addLayout(top, 1);
    buildPages();
    outer->addWidget(buildGuitarStatus());
}

template <typename... Handles>
void TForm1::addDeferredTab(const QString& caption, QWidget* (TForm1::*build)(QWidget*),
                            Handles&... handles) {
    auto* page = new DeferredPage([this, build](QWidget* parent) { return (this->*build)(parent); },
                                  PageControl1);
    (handles.on(page), ...);
    PageControl1->addTab(page, caption);
}

void TForm1::buildPages() {
    PageControl1->addTab(buildBuilderPage(), "Builder");
    // Pages a player may never open are made when first shown, or when the program reaches them
    // (a file loaded into them, a session saved).
    addDeferredTab("Memory State", &TForm1::buildMemoryPage, ChordDefinitions, MemoryStatus,
                   Button51, pickSetPages->PickMemo, pickSetPages->Button45,
                   pickSetPages->Button46);
    PageControl1->addTab(buildPlayLogsPage(), "Play Logs");
    addDeferredTab("Alternate Instruments", &TForm1::buildAlternatePage, ListBox7, ListBox6,
                   ListBox8);
    PageControl1->addTab(buildJoystickPage(), "Joystick Mapping");
    addDeferredTab("Beat Manager", &TForm1::buildBeatManagerPage, BeatManager);
    addDeferredTab("Help", &TForm1::buildHelpPage, HelpMemo);
    addDeferredTab("Thanks to:", &TForm1::buildThanksPage, ThanksMemo);
    PageControl1->addTab(buildConfigPage(), "Config");
    addDeferredTab("Music Toys", &TForm1::buildMusicToysPage, MusicToys, RadioGroup2);
}

QWidget* TForm1::buildBuilderPage() {
    auto* builder = new QTabWidget(PageControl1);
    builder->setObjectName("BuilderPages");

    ChordBuilder = new ChordBuilderPage(engine_, guitar_.prompts(), builder);
    ListBox2 = ChordBuilder->ListBox2;
    Button75 = ChordBuilder->Button75;
    Button6 = ChordBuilder->Button6;
    Button74 = ChordBuilder->Button74;
    builder->addTab(ChordBuilder, "Chords");

    pickSetPages = new PickSetPages(engine_, guitar_.prompts(), this);
    // Behind "Chords": made when first shown.
    auto* sequences = new DeferredPage(
        [this](QWidget* parent) {
            QWidget* page = pickSetPages->buildSequencesPage(parent);
            ButtonStyleManager = pickSetPages->Button76;
            connect(ButtonStyleManager, &QPushButton::clicked, this, [this] { showModal(3); });
            return page;
        },
        builder);
    pickSetPages->deferSequencesPage(sequences);
    ButtonStyleManager.on(sequences);
    builder->addTab(sequences, "Picking Sequences");
    return builder;
}

QWidget* TForm1::buildMemoryPage(QWidget* parent) {
    auto* memory = new QTabWidget(parent);
    memory->setObjectName("MemoryPages");
    ChordDefinitions =
        new ChordDefinitionsPage(ChordBuilder->chordSets(), guitar_.prompts(), memory);
    memory->addTab(ChordDefinitions, "Chord Definitions");
    memory->addTab(pickSetPages->buildDefinitionsPage(memory), "Pick Definitions");
    MemoryStatus = new MemoryStatusPage(engine_, memory);
    Button51 = MemoryStatus->Button51;
    memory->addTab(MemoryStatus, "Memory Status");
    return memory;
}

QWidget* TForm1::buildPlayLogsPage() {
    playLogsHost_ = std::make_unique<MainWindowLogsHost>(*this);
    PlayLogs = new PlayLogsPage(guitar_, *playLogsHost_, PageControl1);
    R2IMemo = PlayLogs->R2IMemo;
    return PlayLogs;
}

QWidget* TForm1::buildAlternatePage(QWidget* parent) {
    auto* alt = page("AlternateInstrumentsPage", parent);
    auto* layout = new QHBoxLayout(alt);
    const auto items = instrumentItems();
    ListBox7 = list("ListBox7", items, 25, alt);
    ListBox6 = list("ListBox6", items, 26, alt);
    ListBox8 = list("ListBox8", items, 120, alt);
    for (auto [caption, box] :
         {std::pair{"Alternate 1", ListBox7}, std::pair{"Alternate 2", ListBox6},
          std::pair{"Alternate 3", ListBox8}}) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption, alt));
        column->addWidget(box);
        layout->addLayout(column);
    }
    const ControlState& ui = engine_.ui;
    mirrorRow(ListBox7, ui.alternateItem1);
    mirrorRow(ListBox6, ui.alternateItem2);
    mirrorRow(ListBox8, ui.alternateItem3);
    connect(ListBox7, &QListWidget::currentRowChanged, this,
            [this](int row) { engine_.ui.alternateItem1 = row; });
    connect(ListBox6, &QListWidget::currentRowChanged, this,
            [this](int row) { engine_.ui.alternateItem2 = row; });
    connect(ListBox8, &QListWidget::currentRowChanged, this,
            [this](int row) { engine_.ui.alternateItem3 = row; });
    return alt;
}

QWidget* TForm1::buildBeatManagerPage(QWidget* parent) {
    BeatManager = new BeatManagerPage(engine_, guitar_.prompts(), services_.random, parent);
    return BeatManager.ifBuilt();
}

QWidget* TForm1::buildMusicToysPage(QWidget* parent) {
    MusicToys = new MusicToysPage(engine_, services_.random, parent);
    RadioGroup2 = MusicToys->RadioGroup2;
    RadioGroup2->setItemIndex(engine_.ui.cyclesPerDigitItem);
    connect(RadioGroup2, &RadioGroup::itemClicked, this,
            [this](int i) { engine_.ui.cyclesPerDigitItem = i; });
    return MusicToys.ifBuilt();
}

QWidget* TForm1::buildJoystickPage() {
    JoystickMapping = new JoystickMappingPage(joystickPlay_, engine_, services_.joystick,
                                              guitar_.prompts(), settings_, PageControl1);
    // Its controls are made when the tab is first shown.
    Button106.on(JoystickMapping->contents());
    connect(JoystickMapping->contents(), &DeferredPage::made, this, [this] {
        Button106 = JoystickMapping->Button106;
        connect(Button106, &QPushButton::clicked, this, [this] { showModal(7); });
    });
    return JoystickMapping;
}

QWidget* TForm1::buildConfigPage() {
    auto* config = page("ConfigPage", PageControl1);
    auto* layout = new QVBoxLayout(config);
    auto* midi = new QGroupBox("MIDI Output", config);
    midi->setObjectName("MidiOutputGroup");
    auto* midiLayout = new QGridLayout(midi);
    MidiOutputList = new QListWidget(midi);
    MidiOutputList->setObjectName("MidiOutputList");
    // The list gives way to the state below it, keeping room for three outputs.
    MidiOutputList->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    MidiOutputList->setMinimumHeight(3 * MidiOutputList->fontMetrics().height() + 8);
    // Port names run long ("Client name:Port name 128:0"): a name wraps onto a second line
    // rather than being cut short.
    MidiOutputList->setWordWrap(true);
    MidiOutputList->setTextElideMode(Qt::ElideNone);
    MidiOutputList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    midiLayout->addWidget(MidiOutputList, 0, 0, 2, 1);
    MidiRescanButton = makeButton("MidiRescanButton", "Rescan", midi);
    midiLayout->addWidget(MidiRescanButton, 0, 1, Qt::AlignTop);
    MidiOutputState = new QLabel(midi);
    MidiOutputState->setObjectName("MidiOutputState");
    MidiOutputState->setWordWrap(true);
    midiLayout->addWidget(MidiOutputState, 2, 0, 1, 2);
    MidiOutputNote = new QLabel(midi);
    MidiOutputNote->setObjectName("MidiOutputNote");
    MidiOutputNote->setWordWrap(true);
    MidiOutputNote->hide(); // shown only when there is something to say
    midiLayout->addWidget(MidiOutputNote, 3, 0, 1, 2);
    ConfigSet = new ConfigurationSetGroup(
        guitar_.prompts(),
        {[this](const std::string& path) { return ChordDefinitions->loadChordSetFile(path); },
         [this](const std::string& path) { return pickSetPages->loadPickSetFile(path); },
         [this](const std::string& path) { return loadJoystickConfig(path); },
         [this](const std::string& path) {
             if (!BeatManager->loadBeatFile(path))
                 return false;
             BeatManager->Button80Click();
             return true;
         }},
        config);
    StarterSet = new StarterSetGroup(
        guitar_.prompts(), installedStarterSet(),
        [this](const WholeSet& set) {
            placeWholeSet(set);
            // Its patterns are written for this tempo and spread.
            engine_.ui.tempPosition = kStarterTempoPosition;
            Sound->offerStrumSpread(kStarterStrumSpreadMs);
            syncControls();
        },
        config);
    // Beside the configuration set's own buttons: it loads a whole set too.
    ConfigSet->addToButtonRow(StarterSet);
    midiLayout->setColumnStretch(0, 1);
    Sound = new SoundGroup(settings_, guitar_.prompts(), soundHooks(), config);
    MidiSync = new MidiSyncGroup(guitar_.sync(), config);
    // One row under the MIDI clock, so that the output's state keeps its lines.
    PickStart = new RadioGroup("PickStart", "", {"On the beat", "At once"}, 2, config);
    PickStart->setItemIndex(0);
    PickStart->setToolTip("When a pick's first group sounds: at the next beat, or at the press "
                          "(its later groups then follow on the beats)");
    // Two columns, so that the page keeps the window's size: what goes out over MIDI at the
    // left, the sound and the set-up at the right.
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(midi, 1);
    left->addWidget(MidiSync);
    auto* pickStart = new QHBoxLayout;
    pickStart->addWidget(new QLabel("Pick Start", config));
    pickStart->addWidget(PickStart, 1);
    left->addLayout(pickStart);
    left->setSpacing(3);
    auto* right = new QVBoxLayout;
    right->addWidget(Sound);
    right->addWidget(ConfigSet);
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    layout->addLayout(columns, 1);
    // Four groups in a column of the window's height: their rows keep the room, their frames
    // give it up.
    for (QGroupBox* group : {midi, static_cast<QGroupBox*>(MidiSync),
                             static_cast<QGroupBox*>(Sound), static_cast<QGroupBox*>(ConfigSet)}) {
        QMargins m = group->layout()->contentsMargins();
        group->layout()->setContentsMargins(m.left(), 2, m.right(), 4);
    }
    left->setSpacing(2);
    right->setSpacing(2);
    SettingsNote = new QLabel(config);
    SettingsNote->setObjectName("SettingsNote");
    SettingsNote->setWordWrap(true);
    SettingsNote->hide(); // shown only when the settings cannot be kept
    layout->addWidget(SettingsNote);
    return config;
}

void TForm1::placeWholeSet(const WholeSet& set) {
    ChordBuilder->chordSets().replace(set.chords, set.chordLines);
    pickSetPages->replacePickSet(set.picks);
    if (set.beat) {
        BeatManager->showPattern(*set.beat);
        BeatManager->Button80Click();
    }
    ConfigSet->showNames(set.names);
}

QWidget* TForm1::buildHelpPage(QWidget* parent) {
    auto* help = page("HelpPage", parent);
    auto* layout = new QVBoxLayout(help);
    HelpMemo = makeMemo("HelpMemo", help);
    HelpMemo->setPlainText(kHelpText);
    HelpMemo->setReadOnly(true);
    layout->addWidget(HelpMemo);
    return help;
}

QWidget* TForm1::buildThanksPage(QWidget* parent) {
    auto* thanks = page("ThanksPage", parent);
    auto* layout = new QVBoxLayout(thanks);
    ThanksMemo = makeMemo("ThanksMemo", thanks);
    ThanksMemo->setPlainText(kThanksText);
    ThanksMemo->setReadOnly(true);
    layout->addWidget(ThanksMemo);
    return thanks;
}

} // namespace fw
