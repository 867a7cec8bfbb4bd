#pragma once

#include "input/joystick.h"
#include "input/joystick_press_select.h"

#include <QGroupBox>
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

// The "Joystick Mapping" tab: which button or hat direction drives each game function and which
// axis each axis role, the two built-in mappings, the live axis monitor, *.joy files and the
// way into calibration. Assigning is "select an input, click the box"; pressing a controller
// button, pointing the hat or moving an axis selects it in the lists.
class JoystickMappingPage : public QWidget {
    Q_OBJECT
public:
    JoystickMappingPage(JoystickPlay& play, Engine& engine, Joystick& joystick, Prompts& prompts,
                        QWidget* parent = nullptr);

    // Handlers, named after their controls.
    void Button1Click();   // "Defaults"
    void Button7Click();   // "Bramble First Guitar"
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
    // "Load Config" with a file name preselected in its dialog (empty for none). Loads only when
    // the user confirms; a file that cannot be read or converted changes nothing and is reported.
    // Returns whether a configuration was loaded.
    bool loadJoystickConfig(const std::string& preselected);
    // Writes the mapping and ranges as a *.joy file; false (reported) when it could not.
    bool saveJoystickConfig(const std::string& path);

    QListWidget* ListBox3 = nullptr; // inputs
    QListWidget* ListBox4 = nullptr; // axes
    // The box of each game function; none for the unused functions 16..19 and 32..35.
    std::array<QLineEdit*, 36> functionBoxes{};
    std::array<QLineEdit*, 6> axisBoxes{}; // by role
    QGroupBox* GroupBox15 = nullptr;       // "Joystick Monitor"
    std::array<QSlider*, 7> trackBars{};   // TrackBar1..TrackBar6 as 1..6
    QPushButton* Button1 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button94 = nullptr;
    QPushButton* Button95 = nullptr;
    QPushButton* Button106 = nullptr; // "Calibrate Joystick"
    QPushButton* Button107 = nullptr; // "Apply Calibrations", hidden
    QTimer* PressTimer = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildPage();

    JoystickPlay& play_;
    Engine& engine_;
    Joystick& joystick_;
    Prompts& prompts_;
    PressToSelect pressToSelect_;
};

} // namespace fw
