#pragma once

#include "engine/play_state.h"
#include "ui/qt_widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

#include <functional>
#include <string>

namespace fw {

class Guitar;

// What the window needs of the main window, whose controls it copies.
class KeyboardPlayHost {
public:
    enum class Bar { Bend, Tempo, Velocity };
    virtual ~KeyboardPlayHost() = default;
    // The main window's bar takes a position, clamped to its own range; its change handling is
    // not run, as for any position set from code.
    virtual void moveMainBar(Bar bar, int value) = 0;
    // Brings the main window's controls in line with the model.
    virtual void syncControls() = 0;
    // A key as the main window's keyboard box takes it.
    virtual void keyDown(int& key, Qt::KeyboardModifiers shift) = 0;
    // Alternate instrument 1..3.
    virtual void alternateInstrument(int n) = 0;
    // The chord in play and the one selected, by name, as the main window shows them.
    virtual std::string chordNamesText() = 0;
    // follow runs, in receiver's lifetime, whenever the main window's controls were synced.
    virtual void whenControlsSynced(QObject* receiver, std::function<void()> follow) = 0;
};

// The "Keyboard Play Mode Input" window, shown modally from the main window and kept until exit.
// Keys pressed here play exactly as in the main window's expert box; its bars, switches and
// "Track" are copies of the main window's and follow them both ways.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    // The bars, switches and "Track" of both windows mirror the guitar's controls.
    TForm5(Guitar& guitar, KeyboardPlayHost& host, QWidget* parent);

    // Handlers, named after their controls.
    void FormKeyDown(int& key, Qt::KeyboardModifiers shift);
    void TrackRadioGroupClick();
    void CheckBox4Click();
    void CheckBox5Click();
    void TremTrackerChange();
    void TempTrackerChange();
    void VTrackerChange();
    void Button31Click();
    void Button32Click();
    void Button33Click();
    void Button1Click() { accept(); }

    // Takes the main window's bar positions, switches and track.
    void followMain();

    QPlainTextEdit* Memo1 = nullptr;
    QSlider* TremTracker = nullptr;
    QSlider* TempTracker = nullptr;
    QSlider* VTracker = nullptr;
    RadioGroup* TrackRadioGroup = nullptr;
    QCheckBox* CheckBox4 = nullptr;  // "Realtime Frets"
    QCheckBox* CheckBox5 = nullptr;  // "Merge Modes"
    QPushButton* Button32 = nullptr; // "1"
    QPushButton* Button31 = nullptr; // "2"
    QPushButton* Button33 = nullptr; // "3"
    QLabel* Label1 = nullptr;        // code of the last key
    QLabel* ChordNames = nullptr;    // the chords' names, as beside the main window's selection
    QPushButton* Button1 = nullptr;  // "Exit Keyboard Mode"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();

    ControlState& controls_;
    KeyboardPlayHost& host_;
};

} // namespace fw
