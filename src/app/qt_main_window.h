#pragma once

#include "app/qt_beat_timer.h"
#include "engine/engine.h"
#include "engine/midi_output.h"
#include "engine/qt_sound_group.h"
#include "files/settings.h"
#include "input/joystick.h"
#include "input/joystick_poll.h"
#include "platform/midi_outputs.h"
#include "play/guitar.h"
#include "ui/qt_change_timer.h"
#include "ui/qt_widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace fw {

class Prompts;
class Random;

// What the main window needs from the platform besides the guitar's own ports (its clock, prompts
// and outputs). At run time the real ones; in tests fakes.
struct Services {
    Joystick& joystick;
    Random& random;
};

class FretboardPicture;
class PickSetPages;
class ChordBuilderPage;
class ChordDefinitionsPage;
class MemoryStatusPage;
class PlayLogsPage;
class BeatManagerPage;
class MusicToysPage;
class JoystickMappingPage;
class ConfigurationSetGroup;
class StarterSetGroup;
struct WholeSet;
class SoundGroup;
class MidiSyncGroup;
class PlayLogsHost;

// The main window: the tabs, the instrument list, the "Guitar Status" area and the timers that
// drive play. It plays and mirrors a guitar that outlives it.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    TForm1(Guitar& guitar, Services services, QWidget* parent = nullptr);
    ~TForm1() override;

    // The six secondary windows, created after this one; shown modally by their buttons.
    void setSecondaryForms(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form5,
                           QDialog* form6, QDialog* form7);
    // Or a maker that builds window n (2-7) the first time it is to be shown.
    void setSecondaryFormMaker(std::function<QDialog*(int)> make);

    // The running instrument this window plays and mirrors.
    Guitar& guitar() { return guitar_; }
    Engine& engine() { return engine_; }
    MidiOutput& output() { return output_; }
    Prompts& prompts() { return guitar_.prompts(); }
    Random& random() { return services_.random; }
    Joystick& joystick() { return services_.joystick; }
    JoystickPlay& joystickPlay() { return joystickPlay_; }
    JoyInfo joyInfo;
    // "Load Config" with the file name preselected in its dialog; loads only if the user
    // confirms. Returns whether a joystick configuration was loaded.
    bool loadJoystickConfig(const std::string& preselected);

    // Handlers, named after their controls.
    void Button65Click() { pickClick(1); }
    void Button66Click() { pickClick(2); }
    void Button67Click() { pickClick(3); }
    void Button68Click() { pickClick(4); }
    void Button12Click();
    void Button30Click();
    void Button32Click() { alternateClick(1); }
    void Button31Click() { alternateClick(2); }
    void Button33Click() { alternateClick(3); }
    void Button29Click();
    void Button69Click();
    void Button70Click();
    void Button79Click();
    void Button9Click();
    void FretButtonMouseMove(int n);
    // A key of the keyboard play table (a US-layout virtual-key code), in the expert box.
    void Edit22KeyDown(int& key, Qt::KeyboardModifiers shift);
    void Timer1Timer();
    void Timer2Timer();
    void PitchUpdaterTimer();
    // Something the pitch updater reads may have changed: its tick is armed if it has work.
    void notePitchInputs();
    void Timer4Timer();
    void VTrackerChange();
    void TempTrackerChange();
    void TremTrackerChange();

    // Brings every mirrored control in line with the play model.
    void syncControls();
    // The fret a pick would take up now: the checked fret button, else the fret in play.
    int heldFret() const;
    // Takes up what an earlier run kept in the settings file (the MIDI output chosen last, ...)
    // and keeps every later choice there. Without this call (in tests) settings live in memory.
    void restoreSettings(const std::string& settingsFile);
    // The same for settings read already (a session's, kept in memory until it is saved).
    void restoreSettings(Settings settings);
    Settings& settings() { return settings_; }

    // Controls other windows and tests reach by name.
    QTabWidget* PageControl1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr;
    // Controls on the pages made when first shown or reached (see DeferredPage).
    Deferred<QListWidget> ListBox6;
    Deferred<QListWidget> ListBox7;
    Deferred<QListWidget> ListBox8;
    QPlainTextEdit* R2IMemo = nullptr;
    Deferred<QPlainTextEdit> HelpMemo;
    Deferred<QPlainTextEdit> ThanksMemo;
    std::array<QRadioButton*, 14> fretButtons{}; // 1..13
    QCheckBox* CheckBox1 = nullptr;              // "ALT"
    QCheckBox* CheckBox3 = nullptr;              // "Accomp. Beat"
    QCheckBox* CheckBox4 = nullptr;              // "Realtime Frets"
    QCheckBox* CheckBox5 = nullptr;              // "Merge Modes"
    std::array<QPushButton*, 5> pickButtons{};   // Button65..68 as 1..4
    std::array<Panel*, 5> pickPanels{};          // Panel67..70 as 1..4
    Panel* Panel65 = nullptr;
    QLabel* ChordNames = nullptr; // beside the selection: the chords' names
    QLineEdit* JoyStickYPos = nullptr;
    QLineEdit* VolumePosition = nullptr;
    QLineEdit* TempoModified = nullptr;
    QLineEdit* Edit123 = nullptr;
    QLineEdit* Edit22 = nullptr;
    QPushButton* Button12 = nullptr;
    QPushButton* Button30 = nullptr;
    QPushButton* Button31 = nullptr;
    QPushButton* Button32 = nullptr;
    QPushButton* Button33 = nullptr;
    QPushButton* Button29 = nullptr;
    QPushButton* Button69 = nullptr;
    QPushButton* Button70 = nullptr;
    QPushButton* Button79 = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button75 = nullptr;          // "Type"
    QPushButton* Button6 = nullptr;           // "6 String"
    QPushButton* Button74 = nullptr;          // "Edit an Existing Chord"
    Deferred<QPushButton> Button106;          // "Calibrate Joystick"
    Deferred<QPushButton> ButtonStyleManager; // on "Picking Sequences"
    Deferred<QPushButton> Button51;           // "Refresh"
    RadioGroup* RadioGroup1 = nullptr;        // "Metronome"
    Deferred<RadioGroup> RadioGroup2;         // "Cycles/Digit"
    RadioGroup* RadioGroup3 = nullptr;        // "Pick"
    RadioGroup* RadioGroup5 = nullptr;        // "PSet"
    RadioGroup* TrackRadioGroup = nullptr;
    QTabWidget* StatusPages = nullptr;
    QSlider* TremTracker = nullptr;
    QSlider* TempTracker = nullptr;
    QSlider* VTracker = nullptr;
    QListWidget* MidiOutputList = nullptr;
    QPushButton* MidiRescanButton = nullptr;
    QLabel* MidiOutputState = nullptr;
    QLabel* MidiOutputNote = nullptr; // why the output is not the one chosen last time
    QLabel* SettingsNote = nullptr;   // why choices are not kept for the next start
    FretboardPicture* Fretboard = nullptr;
    ChordBuilderPage* ChordBuilder = nullptr;        // Builder > "Chords"
    Deferred<ChordDefinitionsPage> ChordDefinitions; // Memory State > "Chord Definitions"
    Deferred<MemoryStatusPage> MemoryStatus;         // Memory State > "Memory Status"
    PlayLogsPage* PlayLogs = nullptr;                // "Play Logs" tab
    Deferred<BeatManagerPage> BeatManager;           // "Beat Manager" tab
    Deferred<MusicToysPage> MusicToys;               // "Music Toys" tab
    JoystickMappingPage* JoystickMapping = nullptr;  // "Joystick Mapping" tab
    ConfigurationSetGroup* ConfigSet = nullptr;      // "Config" > "Configuration Set"
    StarterSetGroup* StarterSet = nullptr;           // "Config" > "Starter Set"
    SoundGroup* Sound = nullptr;                     // "Config" > "Sound"
    MidiSyncGroup* MidiSync = nullptr;               // "Config" > "MIDI Clock"
    RadioGroup* PickStart = nullptr;                 // "Config" > "Pick Start"
    // The pick editor and the pick memory view with their set buttons and files; its pickEdits
    // are the fourteen sequence boxes of each pick page.
    PickSetPages* pickSetPages = nullptr;

    QTimer* Timer1 = nullptr;
    BeatTimer* Timer2 = nullptr;
    QTimer* StrumTimer = nullptr; // the later plucks of a spread strum
    // Runs 5 ms after a bar, the instrument list or the output changed; idle otherwise.
    ChangeTimer* PitchUpdater = nullptr;
    QTimer* Timer4 = nullptr;

signals:
    // After every change of the mirrored controls (the keyboard window follows these).
    void controlsSynced();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildGuitarStatus();
    QWidget* buildStatusPages();
    void buildPages();
    QWidget* buildBuilderPage();
    // A tab's page made when first shown or reached; the handles name the controls on it.
    template <typename... Handles>
    void addDeferredTab(const QString& caption, QWidget* (TForm1::*build)(QWidget*),
                        Handles&... handles);
    QWidget* buildMemoryPage(QWidget* parent);
    QWidget* buildPlayLogsPage();
    QWidget* buildAlternatePage(QWidget* parent);
    QWidget* buildJoystickPage();
    QWidget* buildConfigPage();
    QWidget* buildBeatManagerPage(QWidget* parent);
    QWidget* buildHelpPage(QWidget* parent);
    // A configuration set read whole goes in: chords, picks, beat, and its names on show.
    void placeWholeSet(const WholeSet& set);
    QWidget* buildThanksPage(QWidget* parent);
    QWidget* buildMusicToysPage(QWidget* parent);
    void connectControls();
    void showModal(int formNumber);
    void pickClick(int k);
    void alternateClick(int k);
    // Lists the outputs again; at the start, what can be listed at once.
    void refreshMidiOutputs(bool withJack = true);
    // After the first paint: JACK's ports, once the outputs' thread has listed them.
    void takeUpListedOutputs();
    void chooseMidiOutput(int row);
    void showMidiOutputRow(int row);
    void updateMidiOutputState();
    SoundGroup::Hooks soundHooks();
    void scheduleStrum();
    void connectMidiSync();
    void PickStartClick(int item);
    // Whether a pitch-updater tick now would change or send anything.
    bool pitchUpdateDue();

    Guitar& guitar_;
    Services services_;
    // The guitar's parts, as the page builders hand them on.
    MidiOutput& output_ = guitar_.output();
    Engine& engine_ = guitar_.engine();
    JoystickPlay& joystickPlay_ = guitar_.joystickPlay();
    Settings& settings_ = guitar_.settings();
    std::array<QDialog*, 8> forms_{};
    std::optional<MidiOutputs::State> shownOutputState_; // what MidiOutputState says
    std::string shownTempo_;                             // what TempoModified shows
    std::function<QDialog*(int)> makeForm_;
    std::unique_ptr<PlayLogsHost> playLogsHost_;
    bool painted_ = false;
};

} // namespace fw
