#pragma once

#include "input/joystick.h"
#include "input/joystick_mapping.h"
#include "input/joystick_press_select.h"
#include "ui/qt_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>

#include <array>
#include <string>

namespace fw {

class Engine;
class JoystickPlay;
class Prompts;
class Settings;

// The "Joystick Mapping" tab: which button or hat direction drives each game function and which
// axis each axis role, the two built-in mappings, the live axis monitor, *.joy files and the
// way into calibration. Assigning is "select an input, click the box"; pressing a controller
// button, pointing the hat or moving an axis selects it in the lists.
// It knows the controller in use: a new one gets the mapping last saved, loaded or kept for its
// model (in the settings), else the preset that fits it. The same controller reopened or plugged
// back keeps the mapping in force, edits and ranges included.
class JoystickMappingPage : public QWidget {
    Q_OBJECT
public:
    JoystickMappingPage(JoystickPlay& play, Engine& engine, Joystick& joystick, Prompts& prompts,
                        Settings& settings, QWidget* parent = nullptr);

    // Handlers, named after their controls.
    void Button1Click(); // "Defaults"
    void Button7Click(); // "Bramble First Guitar"
    void GamepadClick(); // "Gamepad"
    void GuitarClick();  // "Guitar controller"
    // "Keep for Controller": the mapping in force becomes the controller's own.
    void KeepMappingClick();
    void Button94Click();  // "Save Config"
    void Button95Click();  // "Load Config"
    void Button107Click(); // "Apply Calibrations"
    void functionBoxClick(int function);
    void axisBoxClick(int role);
    // The monitor bars from a reading ("Joystick Monitor", every 100 ms).
    void Timer4Timer(const JoyInfo& reading);
    // Press to select, while the tab is in sight.
    void PressTimerTimer();

    // Rewrites every function and axis box from the mapping.
    void showJoyMapping();
    // Gives a controller that has just come into use its mapping; with `again`, also the one
    // in use (after the settings were read).
    void takeUpController(bool again = false);
    // What the mapping in force is: a built-in mapping's name or a file.
    const std::string& mappingSource() const { return source_; }
    // "Load Config" with a file name preselected in its dialog (empty for none). Loads only when
    // the user confirms; a file that cannot be read or converted changes nothing and is reported.
    // Returns whether a configuration was loaded.
    bool loadJoystickConfig(const std::string& preselected);
    // Puts a mapping read and checked elsewhere in place (a session's), as "Load Config" does.
    void placeMapping(const JoyMapping& mapping, const std::string& source);
    // Writes the mapping and ranges as a *.joy file; false (reported) when it could not.
    bool saveJoystickConfig(const std::string& path);

    // The page's controls, made when the tab is first shown or one of them is reached.
    DeferredPage* contents() const { return contents_; }
    Deferred<QListWidget> ListBox3; // inputs
    Deferred<QListWidget> ListBox4; // axes
    // The box of each game function; none for the unused functions 16..19 and 32..35.
    std::array<Deferred<QLineEdit>, kAllFunctions> functionBoxes{};
    std::array<Deferred<QLineEdit>, 6> axisBoxes{}; // by role
    Deferred<QGroupBox> GroupBox15;                 // "Joystick Monitor"
    std::array<Deferred<QSlider>, 7> trackBars{};   // TrackBar1..TrackBar6 as 1..6
    Deferred<QPushButton> Button1;
    Deferred<QPushButton> Button7;
    Deferred<QPushButton> GamepadButton;
    Deferred<QPushButton> GuitarButton;
    Deferred<QPushButton> KeepMappingButton;
    Deferred<QLabel> ControllerLabel;    // the controller in use and the mapping in force
    Deferred<QCheckBox> PickButtonsPlay; // pick buttons start their pick
    Deferred<QComboBox> VibratoMode;
    Deferred<QCheckBox> StrumHighNormal; // the strum axis's high end plays the normal form
    Deferred<QPushButton> Button94;
    Deferred<QPushButton> Button95;
    Deferred<QPushButton> Button106; // "Calibrate Joystick"
    Deferred<QPushButton> Button107; // "Apply Calibrations", hidden
    QTimer* PressTimer = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildPage(QWidget* parent);
    void placePressFunctions(QGridLayout* grid, QWidget* page);
    // Puts a mapping in force and says where it came from; `remember` keeps it for the
    // controller in use.
    void useMapping(const std::string& source, bool remember);
    void useBuiltIn(const char* name);
    void showController();

    JoystickPlay& play_;
    Engine& engine_;
    Joystick& joystick_;
    Prompts& prompts_;
    Settings& settings_;
    DeferredPage* contents_ = nullptr;
    PressToSelect pressToSelect_;
    ControllerInfo controller_;
    unsigned controllerSerial_ = 0;
    // The controller whose mapping is in force; kept while it is pulled out, so that it comes
    // back to the same mapping.
    std::string guidInUse_;
    std::string source_;
    bool edited_ = false; // changed on the tab since it came into force
};

} // namespace fw
