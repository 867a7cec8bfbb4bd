#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace fw {

class PickSetPages;
class Prompts;
class Random;

// What the window needs of the window that shows it.
class PickingStyleManagerHost {
public:
    virtual ~PickingStyleManagerHost() = default;
    // The pick editor's boxes, which styles are loaded into and saved from.
    virtual PickSetPages& pickPages() = 0;
};

// The "Picking Style Manager" window, shown modally from the main window and kept until exit.
// It works on the pick editor's boxes only: styles loaded or generated here reach the pick
// memory when the player presses a "Set" button.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3(PickingStyleManagerHost& host, Prompts& prompts, Random& random, QWidget* parent);

    // Handlers, named after their controls.
    void Button1Click(); // "Load" one slot (*.pss)
    void Button2Click(); // "Save" one slot
    void Button4Click(); // "Load" all eight slots (*.psg)
    void Button5Click(); // "Save" all eight slots
    void Button6Click(); // "Generate"
    void Button3Click(); // "Close"

    RadioGroup* RadioGroup1 = nullptr; // slot to load into
    RadioGroup* RadioGroup2 = nullptr; // slot to save from
    RadioGroup* RadioGroup3 = nullptr; // slot to generate into
    QLineEdit* Edit1 = nullptr;        // "Usable Strings:"
    QLineEdit* Edit2 = nullptr;        // "Num Notes/Channel:"
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;

private:
    PickingStyleManagerHost& host_;
    Prompts& prompts_;
    Random& random_;
};

} // namespace fw
