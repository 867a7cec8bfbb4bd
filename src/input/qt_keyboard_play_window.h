#pragma once

#include "ui/qt_widgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>

namespace fw {

class TForm1;

// The "Keyboard Play Mode Input" window, shown modally from the main window and kept until exit.
// Keys pressed here play exactly as in the main window's expert box; its bars, switches and
// "Track" are copies of the main window's and follow them both ways.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(TForm1* main, QWidget* parent = nullptr);

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
    QPushButton* Button1 = nullptr;  // "Exit Keyboard Mode"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();

    TForm1* main_;
};

} // namespace fw
