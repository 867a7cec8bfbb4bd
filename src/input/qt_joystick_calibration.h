#pragma once

#include "input/joystick_calibration.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <array>

namespace fw {

class Guitar;
class Joystick;

// What the window needs of the main window.
class JoystickCalibrationHost {
public:
    virtual ~JoystickCalibrationHost() = default;
    // The mapping tab's "Apply Calibrations".
    virtual void applyCalibrations() = 0;
};

// The "Joystick Calibration" window, shown modally from the main window and kept until exit.
// A run samples the analog axis position by position on a timer, so the window and the main
// window's timers keep working; closing the window (or Escape, or "Cancel") ends a run and puts
// its samples back.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    // A run samples joystick into the guitar's calibration arrays, for the axes its mapping names.
    TForm7(Guitar& guitar, Joystick& joystick, JoystickCalibrationHost& host, QWidget* parent);

    // Handlers, named after their controls.
    void Button1Click() { startRun(CalibrationKind::Frets); }
    void Button2Click() { startRun(CalibrationKind::PickSelector); }
    void Button3Click() { startRun(CalibrationKind::ChordSelector); }
    void Button4Click(); // "Save and Exit"
    void CancelClick();
    // One step of a running calibration with a fresh reading of the controller.
    void CalibrationTimerTimer();

    bool running() const { return run_.running(); }

    QTabWidget* PageControl1 = nullptr;
    std::array<QPushButton*, 3> calibrateButtons{}; // Button1..Button3
    std::array<QLabel*, 3> labels{};                // Label1..Label3
    QPushButton* Button4 = nullptr;
    QPushButton* CancelButton = nullptr;
    QTimer* CalibrationTimer = nullptr;

    void done(int result) override;

private:
    void startRun(CalibrationKind kind);
    void endRun();
    QLabel* runLabel() const;

    Guitar& guitar_;
    Joystick& joystick_;
    JoystickCalibrationHost& host_;
    AxisCalibration run_;
};

} // namespace fw
