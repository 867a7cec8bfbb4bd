#include "input/qt_joystick_calibration.h"

#include "engine/prompts.h"
#include "input/joystick.h"
#include "input/joystick_mapping.h"
#include "play/guitar.h"
#include "ui/qt_widgets.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fw {

namespace {
const char* const kTabCaptions[3] = {"Fret Calibration", "Pick Selector Calibration",
                                     "Chord Selction Calibration"};
constexpr int kRoles[3] = {kRoleFrets, kRolePick, kRoleChord};
} // namespace

TForm7::TForm7(Guitar& guitar, Joystick& joystick, JoystickCalibrationHost& host, QWidget* parent)
    : QDialog(parent), guitar_(guitar), joystick_(joystick), host_(host), run_(guitar.engine().st) {
    setObjectName("TForm7");
    setWindowTitle("Joystick Calibration");
    setModal(true);
    resize(420, 220);

    auto* outer = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    for (int i = 0; i < 3; ++i) {
        auto* page = new QWidget(PageControl1);
        auto* layout = new QVBoxLayout(page);
        calibrateButtons[static_cast<std::size_t>(i)] =
            makeButton(QString("Button%1").arg(i + 1), "Calibrate", page);
        auto* label = new QLabel("Click 'Calibrate' to start..", page);
        label->setObjectName(QString("Label%1").arg(i + 1));
        label->setWordWrap(true);
        labels[static_cast<std::size_t>(i)] = label;
        layout->addWidget(calibrateButtons[static_cast<std::size_t>(i)], 0, Qt::AlignLeft);
        layout->addWidget(label, 1);
        PageControl1->addTab(page, kTabCaptions[i]);
    }
    PageControl1->setCurrentIndex(1);
    outer->addWidget(PageControl1, 1);

    auto* row = new QHBoxLayout;
    CancelButton = makeButton("CancelButton", "Cancel", this);
    CancelButton->setToolTip("Ends the calibration; the positions already taken are put back");
    CancelButton->setEnabled(false);
    Button4 = makeButton("Button4", "Save and Exit", this);
    row->addWidget(CancelButton);
    row->addStretch(1);
    row->addWidget(Button4);
    outer->addLayout(row);

    CalibrationTimer = new QTimer(this);
    CalibrationTimer->setObjectName("CalibrationTimer");
    CalibrationTimer->setInterval(10);
    connect(CalibrationTimer, &QTimer::timeout, this, &TForm7::CalibrationTimerTimer);
    connect(calibrateButtons[0], &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(calibrateButtons[1], &QPushButton::clicked, this, &TForm7::Button2Click);
    connect(calibrateButtons[2], &QPushButton::clicked, this, &TForm7::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm7::Button4Click);
    connect(CancelButton, &QPushButton::clicked, this, &TForm7::CancelClick);
}

QLabel* TForm7::runLabel() const {
    return labels[static_cast<std::size_t>(run_.kind())];
}

void TForm7::startRun(CalibrationKind kind) {
    const int axis = guitar_.joystickPlay().map.axisOf(kRoles[static_cast<int>(kind)]);
    std::string message;
    if (!run_.start(kind, axis, message)) {
        if (!message.empty())
            guitar_.prompts().showMessage(message);
        return;
    }
    for (auto* b : calibrateButtons)
        b->setEnabled(false);
    CancelButton->setEnabled(true);
    runLabel()->setText(QString::fromStdString(run_.prompt()));
    CalibrationTimer->start();
}

void TForm7::CalibrationTimerTimer() {
    if (!run_.running())
        return;
    JoyInfo reading;
    joystick_.getPosEx(reading);
    switch (run_.step(reading)) {
    case AxisCalibration::Step::Waiting:
        break;
    case AxisCalibration::Step::NextPosition:
        runLabel()->setText(QString::fromStdString(run_.prompt()));
        break;
    case AxisCalibration::Step::Finished:
        endRun();
        guitar_.prompts().showMessage(run_.closingMessage());
        break;
    }
}

void TForm7::endRun() {
    CalibrationTimer->stop();
    runLabel()->setText(QString::fromStdString(AxisCalibration::idlePrompt()));
    for (auto* b : calibrateButtons)
        b->setEnabled(true);
    CancelButton->setEnabled(false);
}

void TForm7::CancelClick() {
    if (!run_.running())
        return;
    run_.cancel();
    endRun();
}

void TForm7::Button4Click() {
    CancelClick();
    host_.applyCalibrations();
    accept();
}

void TForm7::done(int result) {
    // However the window goes (close box, Escape, "Save and Exit"), no run outlives it.
    CancelClick();
    QDialog::done(result);
}

} // namespace fw
