#pragma once

#include "chords/qt_edit_chord_chooser.h"
#include "chords/qt_fast_chord_generator.h"
#include "chords/qt_finger_chords.h"
#include "input/qt_joystick_calibration.h"
#include "input/qt_keyboard_play_window.h"
#include "picks/qt_picking_style_manager.h"

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

// The six secondary windows, built on the main window and handed to it to show; those that play
// or read the guitar are given it, or the port they use, when they are made. They must go before
// the main window does.
struct SecondaryWindows {
    explicit SecondaryWindows(TForm1& main);
    ~SecondaryWindows();

    TForm1& main;
    MainWindowLinks links;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TForm6> form6;
    std::unique_ptr<TForm7> form7;
};

} // namespace fw
