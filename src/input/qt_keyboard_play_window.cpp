#include "input/qt_keyboard_play_window.h"

#include "input/keyboard_play.h"
#include "input/qt_key_translate.h"
#include "play/guitar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace fw {

namespace {
QSlider* bar(const QString& name, int min, int max, int position, int tick, QWidget* parent) {
    auto* s = makeVerticalBar(name, min, max, position, parent);
    s->setTickInterval(tick);
    s->setTickPosition(QSlider::TicksRight);
    return s;
}

// Buttons and boxes here never take the focus, so that every key keeps playing.
QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = makeButton(name, caption, parent);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QCheckBox* checkBox(const QString& name, const QString& caption, QWidget* parent) {
    auto* c = makeCheckBox(name, caption, true, parent);
    c->setFocusPolicy(Qt::NoFocus);
    return c;
}

} // namespace

TForm5::TForm5(Guitar& guitar, KeyboardPlayHost& host, QWidget* parent)
    : QDialog(parent), controls_(guitar.engine().ui), host_(host) {
    setObjectName("TForm5");
    setWindowTitle("Keyboard Play Mode Input");
    setModal(true);
    resize(640, 300);
    buildWindow();
    host_.whenControlsSynced(this, [this] { followMain(); });
}

void TForm5::buildWindow() {
    auto* outer = new QHBoxLayout(this);

    Memo1 = makeMemo("Memo1", this);
    QString help;
    for (const auto& line : keyboardHelpLines())
        help += QString::fromStdString(line) + '\n';
    help.chop(1);
    Memo1->setPlainText(help);
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::ClickFocus); // no tab stop
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    int widest = 0;
    for (const auto& line : keyboardHelpLines())
        widest =
            std::max(widest, Memo1->fontMetrics().horizontalAdvance(QString::fromStdString(line)));
    Memo1->setMinimumWidth(widest + 24);
    outer->addWidget(Memo1, 1);

    TremTracker = bar("TremTracker", 1, 255, 127, 4, this);
    TempTracker = bar("TempTracker", 1, 512, 256, 100, this);
    VTracker = bar("VTracker", 0, 127, 63, 4, this);
    TremTracker->setToolTip("Pitch bend");
    TempTracker->setToolTip("Tempo");
    VTracker->setToolTip("Velocity");
    auto* bars = makeBarRow({{"P", TremTracker}, {"T", TempTracker}, {"V", VTracker}}, this);
    outer->addLayout(bars);

    auto* right = new QVBoxLayout;
    QStringList tracks;
    for (int i = 1; i <= 8; ++i)
        tracks << QString::number(i);
    TrackRadioGroup = new RadioGroup("TrackRadioGroup", "Track", tracks, 8, this);
    TrackRadioGroup->setItemIndex(0);
    right->addWidget(TrackRadioGroup);
    CheckBox4 = checkBox("CheckBox4", "Realtime Frets", this);
    CheckBox5 = checkBox("CheckBox5", "Merge Modes", this);
    right->addWidget(CheckBox4);
    right->addWidget(CheckBox5);
    auto* alternates = new QHBoxLayout;
    Button32 = button("Button32", "1", this);
    Button31 = button("Button31", "2", this);
    Button33 = button("Button33", "3", this);
    Button32->setToolTip("Alternate instrument 1");
    Button31->setToolTip("Alternate instrument 2");
    Button33->setToolTip("Alternate instrument 3");
    for (auto* b : {Button32, Button31, Button33})
        alternates->addWidget(b);
    right->addLayout(alternates);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(new QLabel("Last key:", this));
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setToolTip("Code of the last key");
    keyRow->addWidget(Label1, 1);
    right->addLayout(keyRow);
    ChordNames = new QLabel(this);
    ChordNames->setObjectName("ChordNames");
    ChordNames->setToolTip("The chord in play, and the chord the arrow keys have selected");
    right->addWidget(ChordNames);
    right->addStretch(1);
    Button1 = button("Button1", "Exit Keyboard Mode", this);
    right->addWidget(Button1);
    outer->addLayout(right);

    connect(TrackRadioGroup, &RadioGroup::itemClicked, this, &TForm5::TrackRadioGroupClick);
    connect(CheckBox4, &QCheckBox::clicked, this, &TForm5::CheckBox4Click);
    connect(CheckBox5, &QCheckBox::clicked, this, &TForm5::CheckBox5Click);
    connect(TremTracker, &QSlider::valueChanged, this, &TForm5::TremTrackerChange);
    connect(TempTracker, &QSlider::valueChanged, this, &TForm5::TempTrackerChange);
    connect(VTracker, &QSlider::valueChanged, this, &TForm5::VTrackerChange);
    connect(Button32, &QPushButton::clicked, this, &TForm5::Button32Click);
    connect(Button31, &QPushButton::clicked, this, &TForm5::Button31Click);
    connect(Button33, &QPushButton::clicked, this, &TForm5::Button33Click);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

    // Every control plays the keys except "Track", which keeps its own arrow-key handling.
    for (QObject* o :
         std::initializer_list<QObject*>{this, Button1, Memo1, TremTracker, TempTracker, VTracker,
                                         CheckBox4, CheckBox5, Button31, Button32, Button33})
        o->installEventFilter(this);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // A key that a control passed on reaches the window too; it has been played already,
        // or it comes from "Track", which does not play.
        const QWidget* focus = focusWidget();
        const bool own = watched != this || !focus || focus == this;
        if (own) {
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            int key = usVirtualKey(*keyEvent);
            FormKeyDown(key, keyEvent->modifiers());
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Start on the help text, where the arrow keys only pick.
    Memo1->setFocus();
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    // Escape is a key like any other while playing (the filter has shown its code); only
    // "Exit Keyboard Mode" and the close box end keyboard mode.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm5::FormKeyDown(int& key, Qt::KeyboardModifiers shift) {
    Label1->setText(QString::number(key));
    host_.keyDown(key, shift);
}

void TForm5::TrackRadioGroupClick() {
    controls_.track = TrackRadioGroup->itemIndex();
    host_.syncControls();
}

void TForm5::CheckBox4Click() {
    controls_.realtimeFrets = CheckBox4->isChecked();
    host_.syncControls();
}

void TForm5::CheckBox5Click() {
    controls_.mergeModes = CheckBox5->isChecked();
    host_.syncControls();
}

void TForm5::TremTrackerChange() {
    host_.moveMainBar(KeyboardPlayHost::Bar::Bend, TremTracker->value());
    host_.syncControls();
}

void TForm5::TempTrackerChange() {
    host_.moveMainBar(KeyboardPlayHost::Bar::Tempo, TempTracker->value());
    host_.syncControls();
}

void TForm5::VTrackerChange() {
    // The velocity follows at the next key press, when the main bar's handling runs.
    host_.moveMainBar(KeyboardPlayHost::Bar::Velocity, VTracker->value());
    host_.syncControls();
}

void TForm5::Button31Click() {
    host_.alternateInstrument(2);
}
void TForm5::Button32Click() {
    host_.alternateInstrument(1);
}
void TForm5::Button33Click() {
    host_.alternateInstrument(3);
}

void TForm5::followMain() {
    const ControlState& ui = controls_;
    mirrorValue(TremTracker, ui.tremPosition);
    mirrorValue(TempTracker, ui.tempPosition);
    mirrorValue(VTracker, ui.vPosition);
    mirrorChecked(CheckBox4, ui.realtimeFrets);
    mirrorChecked(CheckBox5, ui.mergeModes);
    TrackRadioGroup->setItemIndex(ui.track);
    const QString names = QString::fromStdString(host_.chordNamesText());
    if (ChordNames->text() != names)
        ChordNames->setText(names);
}

} // namespace fw
