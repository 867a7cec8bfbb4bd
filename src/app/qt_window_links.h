#pragma once

#include "chords/qt_edit_chord_chooser.h"
#include "chords/qt_fast_chord_generator.h"
#include "chords/qt_finger_chords.h"
#include "input/qt_joystick_calibration.h"
#include "input/qt_keyboard_play_window.h"
#include "picks/qt_picking_style_manager.h"

#include <array>
#include <memory>

namespace fw {

class TForm1;

// The main window as each secondary window sees it: every window declares the little it needs
// of the main window beside itself, and this is where those needs are met.
class MainWindowLinks final : public FastChordGeneratorHost,
                              public FingerChordsHost,
                              public EditChordChooserHost,
                              public PickingStyleManagerHost,
                              public KeyboardPlayHost,
                              public JoystickCalibrationHost {
public:
    explicit MainWindowLinks(TForm1& main) : main_(main) {}

    void setBuilderOffset(int box, int offset) override;
    void previewGuitarNote(int note, int velocity) override;
    void silence() override;

    ChordBuilderPage& builder() override;

    PickSetPages& pickPages() override;

    void moveMainBar(Bar bar, int value) override;
    void syncControls() override;
    void keyDown(int& key, Qt::KeyboardModifiers shift) override;
    void alternateInstrument(int n) override;
    std::string chordNamesText() override;
    void whenControlsSynced(QObject* receiver, std::function<void()> follow) override;

    void applyCalibrations() override;

private:
    TForm1& main_;
};

// The six secondary windows of the main window, each built on it the first time it is shown (a
// player may never open most of them, and each costs memory and start-up time); those that play
// or read the guitar are given it, or the port they use, when they are made. They must go before
// the main window does.
struct SecondaryWindows {
    explicit SecondaryWindows(TForm1& main);
    ~SecondaryWindows();

    // Window n as the main window numbers them (2-7), built now if it is not yet.
    QDialog* form(int n);

    TForm1& main;
    MainWindowLinks links;

private:
    std::array<std::unique_ptr<QDialog>, 8> forms_;
    // Whether the main window has shown a change since these were due: a window built later
    // catches up with it, as one built at the start would have followed it.
    bool mainChanged_ = false;
    QMetaObject::Connection changes_;
};

} // namespace fw
