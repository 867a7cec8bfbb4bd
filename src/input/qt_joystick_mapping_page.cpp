#include "input/qt_joystick_mapping_page.h"

#include "engine/engine.h"
#include "engine/prompts.h"
#include "files/line_file.h"
#include "files/settings.h"
#include "input/controller_mappings.h"
#include "input/joy_file.h"
#include "input/joystick_calibration.h"
#include "input/joystick_poll.h"
#include "ui/qt_widgets.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace fw {

namespace {
// Box numbers of the game functions 0..31 (0: the function has no box).
constexpr int kFunctionBox[32] = {133, 134, 135, 136, 126, 127, 128, 129, 130, 131, 132,
                                  5,   4,   3,   2,   1,   0,   0,   0,   0,   43,  44,
                                  45,  46,  137, 138, 139, 140, 6,   7,   8,   9};
constexpr int kAxisBox[6] = {121, 125, 141, 42, 17, 18};
const char* const kAxisCaptions[6] = {"Var-V-Pick", "Vibrato", "Tempo",
                                      "Pick",       "Frets",   "Chord Selection"};
// Monitor bars 1..6 show R, U, V, X, Y, Z.
constexpr int kMonitorAxis[7] = {0, 4, 5, 6, 1, 2, 3};
const char* const kMonitorCaptions[7] = {"", "R", "U", "V", "X", "Y", "Z"};

constexpr int kBoxHeight = 20;
// The functions that act once per press, with their captions and box names.
const char* const kPressTips[kExtraFunctions] = {
    "Strum Down: plays the chosen pick, once per press",
    "Strum Up: plays the chosen pick's altered form, once per press",
    "Chord Set +: the next chord set, once per press",
    "Pick Set +: the next pick set, once per press"};
const char* const kPressBoxes[kExtraFunctions] = {"StrumDownBox", "StrumUpBox", "ChordSetStepBox",
                                                  "PickSetStepBox"};
const char* const kVibratoModes[3] = {"whole range", "stick", "whammy bar"};

// The selected row of a list, -1 when nothing is selected (the current row may still be set
// after a Ctrl+click took the selection away).
int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

QLineEdit* functionBox(const QString& name, bool readOnly, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(readOnly);
    box->setFixedSize(30, kBoxHeight);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

void setBoxText(QLineEdit* box, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (box && box->text() != t)
        box->setText(t);
}
} // namespace

JoystickMappingPage::JoystickMappingPage(JoystickPlay& play, Engine& engine, Joystick& joystick,
                                         Prompts& prompts, Settings& settings, QWidget* parent)
    : QWidget(parent), play_(play), engine_(engine), joystick_(joystick), prompts_(prompts),
      settings_(settings) {
    setObjectName("JoystickMappingPage");
    // The controls are made when the tab is first shown (or one is reached); the mapping, the
    // controller in use and its calibration are kept without them.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    contents_ = new DeferredPage([this](QWidget* parent) { return buildPage(parent); }, this);
    connect(contents_, &DeferredPage::made, this, [this] {
        showJoyMapping();
        showController();
    });
    layout->addWidget(contents_);
    for (auto* handle : {&ListBox3, &ListBox4})
        handle->on(contents_);
    for (auto& box : functionBoxes)
        box.on(contents_);
    for (auto& box : axisBoxes)
        box.on(contents_);
    for (auto& bar : trackBars)
        bar.on(contents_);
    for (auto* button : {&Button1, &Button7, &GamepadButton, &GuitarButton, &KeepMappingButton,
                         &Button94, &Button95, &Button106, &Button107})
        button->on(contents_);
    GroupBox15.on(contents_);
    ControllerLabel.on(contents_);
    PickButtonsPlay.on(contents_);
    VibratoMode.on(contents_);
    StrumHighNormal.on(contents_);
    PressTimer = new QTimer(this);
    PressTimer->setObjectName("PressTimer");
    // Often enough to see a quick tap; runs only while the tab is in sight.
    PressTimer->setInterval(20);
    connect(PressTimer, &QTimer::timeout, this, &JoystickMappingPage::PressTimerTimer);
    // The poll tells first when a controller comes or goes, so its first reading already
    // plays with its own mapping.
    play_.controllerChanged = [this] { takeUpController(); };
}

QWidget* JoystickMappingPage::buildPage(QWidget* parent) {
    auto* page = new QWidget(parent);
    // Inputs | axes over the buttons | function boxes over the axis boxes and the monitor: the
    // whole tab fits the main window's page area without scrolling.
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);

    ListBox3 = new QListWidget(page);
    ListBox3->setObjectName("ListBox3");
    for (int item = 1; item <= kInputItems; ++item)
        ListBox3->addItem(QString::fromStdString(inputItemText(item)));
    ListBox3->setFixedWidth(104);
    ListBox3->setMinimumHeight(60);
    ListBox3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox3->setToolTip("Select an input (or press it on the controller), then click a box");
    // Under the controller's inputs: which controller it is, the mapping in force and the two
    // ways of playing that a controller without a strum bar needs.
    auto* first = new QVBoxLayout;
    first->setSpacing(2);
    first->addWidget(ListBox3, 1);
    ControllerLabel = new QLabel(page);
    ControllerLabel->setObjectName("ControllerLabel");
    ControllerLabel->setWordWrap(true);
    ControllerLabel->setFixedWidth(104);
    first->addWidget(ControllerLabel);
    KeepMappingButton = makeButton("KeepMappingButton", "Keep for Controller", page);
    KeepMappingButton->setToolTip("The mapping in force comes back whenever this model of "
                                  "controller is plugged in, also after a restart");
    KeepMappingButton->setFixedWidth(104);
    first->addWidget(KeepMappingButton);
    PickButtonsPlay = new QCheckBox("Play on press", page);
    PickButtonsPlay->setObjectName("PickButtonsPlay");
    PickButtonsPlay->setToolTip("A pick button starts its pick instead of only choosing it, and "
                                "every pick of this controller sounds at the press");
    first->addWidget(PickButtonsPlay);
    first->addWidget(new QLabel("Vibrato axis:", page));
    VibratoMode = new QComboBox(page);
    VibratoMode->setObjectName("VibratoMode");
    for (const char* mode : kVibratoModes)
        VibratoMode->addItem(mode);
    VibratoMode->setToolTip("How the vibrato axis bends: over its whole range, as a stick that "
                            "rests in the middle, or as a whammy bar that rests at its lowest");
    VibratoMode->setFixedWidth(104);
    first->addWidget(VibratoMode);
    StrumHighNormal = new QCheckBox("Stick strum", page);
    StrumHighNormal->setObjectName("StrumHighNormal");
    StrumHighNormal->setToolTip("For a strum on a stick: a flick down (the axis's high end) plays "
                                "the normal sequence, the down-strum; a flick up the altered one");
    first->addWidget(StrumHighNormal);
    outer->addLayout(first);

    auto* second = new QVBoxLayout;
    second->setSpacing(2);
    ListBox4 = new QListWidget(page);
    ListBox4->setObjectName("ListBox4");
    for (int axis = 1; axis <= kAxisNone; ++axis)
        ListBox4->addItem(QString::fromStdString(axisText(axis)));
    ListBox4->setToolTip("Select an axis (or move it on the controller), then click a box");
    ListBox4->setFixedHeight(ListBox4->sizeHintForRow(0) * kAxisNone + 2 * ListBox4->frameWidth());
    second->addWidget(ListBox4);
    Button1 = makeButton("Button1", "Defaults", page);
    Button7 = makeButton("Button7", "Bramble First Guitar", page);
    GamepadButton = makeButton("GamepadButton", kMappingGamepad, page);
    GuitarButton = makeButton("GuitarButton", kMappingGuitar, page);
    Button94 = makeButton("Button94", "Save Config", page);
    Button95 = makeButton("Button95", "Load Config", page);
    Button106 = makeButton("Button106", "Calibrate Joystick", page);
    Button107 = makeButton("Button107", "Apply Calibrations", page);
    Button107->hide();
    for (QPushButton* b : std::initializer_list<QPushButton*>{
             Button1, Button7, GamepadButton, GuitarButton, Button94, Button95, Button106})
        second->addWidget(b);
    second->addStretch(1);
    outer->addLayout(second);

    auto* third = new QVBoxLayout;
    third->setSpacing(4);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(1);
    auto header = [&](const char* text, int column, int span) {
        grid->addWidget(new QLabel(text, page), 0, column, 1, span);
    };
    auto place = [&](int function, int row, int column, int label) {
        const int number = kFunctionBox[function];
        const bool readOnly = !(number >= 44 && number <= 46);
        QLineEdit* box = functionBox(QString("Edit%1").arg(number), readOnly, page);
        functionBoxes[static_cast<std::size_t>(function)] = box;
        grid->addWidget(new QLabel(QString::number(label), page), row, column, Qt::AlignRight);
        grid->addWidget(box, row, column + 1);
    };
    // Label and box pairs: frets in two columns, then chord, chord set, picks and pick set,
    // each group a little apart from the next.
    header("Frets", 0, 4);
    const int groups[4] = {5, 8, 11, 14};
    const char* const captions[4] = {"Chord", "Chord Set", "Picks", "Pick Set"};
    const int firsts[4] = {kFnChord1, kFnChordSet1, kFnPick1, kFnPickSet1};
    for (int g = 0; g < 4; ++g) {
        grid->setColumnMinimumWidth(groups[g] - 1, 6);
        header(captions[g], groups[g], 2);
        for (int i = 0; i < 4; ++i)
            place(firsts[g] + i, i + 1, groups[g], i + 1);
    }
    for (int f = 0; f < 12; ++f)
        place(kFnFret2 + f, f % 6 + 1, f < 6 ? 0 : 2, f + 2);
    placePressFunctions(grid, page);
    third->addLayout(grid);

    auto* lower = new QHBoxLayout;
    auto* axes = new QGridLayout;
    axes->setHorizontalSpacing(4);
    axes->setVerticalSpacing(1);
    for (int role = 0; role < kAxisRoles; ++role) {
        auto* box = new QLineEdit(page);
        box->setObjectName(QString("Edit%1").arg(kAxisBox[role]));
        box->setReadOnly(true);
        box->setFixedSize(40, kBoxHeight);
        box->setAlignment(Qt::AlignCenter);
        axisBoxes[static_cast<std::size_t>(role)] = box;
        axes->addWidget(box, role, 0);
        axes->addWidget(new QLabel(kAxisCaptions[role], page), role, 1);
    }

    lower->addLayout(axes);

    GroupBox15 = new QGroupBox("Joystick Monitor", page);
    GroupBox15->setObjectName("GroupBox15");
    auto* monitor = new QGridLayout(GroupBox15);
    monitor->setContentsMargins(4, 0, 4, 2);
    monitor->setVerticalSpacing(0);
    for (int i = 1; i <= 6; ++i) {
        auto* bar = new QSlider(Qt::Horizontal, GroupBox15);
        bar->setObjectName(QString("TrackBar%1").arg(i));
        bar->setRange(0, 65536);
        bar->setValue(static_cast<int>(kAxisCentre));
        bar->setFixedHeight(16);
        // It only shows the controller; the mouse must not move it.
        bar->setAttribute(Qt::WA_TransparentForMouseEvents);
        bar->setFocusPolicy(Qt::NoFocus);
        trackBars[static_cast<std::size_t>(i)] = bar;
        monitor->addWidget(new QLabel(kMonitorCaptions[i], GroupBox15), i, 0);
        monitor->addWidget(bar, i, 1);
    }
    lower->addWidget(GroupBox15, 1);
    third->addLayout(lower);
    third->addStretch(1);
    outer->addLayout(third, 1);

    for (auto& box : functionBoxes) {
        if (QLineEdit* made = box.ifBuilt())
            made->installEventFilter(this);
    }
    for (auto& box : axisBoxes)
        box.ifBuilt()->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &JoystickMappingPage::Button1Click);
    connect(Button7, &QPushButton::clicked, this, &JoystickMappingPage::Button7Click);
    connect(GamepadButton, &QPushButton::clicked, this, &JoystickMappingPage::GamepadClick);
    connect(GuitarButton, &QPushButton::clicked, this, &JoystickMappingPage::GuitarClick);
    connect(KeepMappingButton, &QPushButton::clicked, this, &JoystickMappingPage::KeepMappingClick);
    connect(PickButtonsPlay, &QCheckBox::clicked, this, [this](bool on) {
        play_.map.pickButtonsPlay = on;
        edited_ = true;
        showController();
    });
    connect(VibratoMode, &QComboBox::activated, this, [this](int mode) {
        play_.map.vibratoMode = mode;
        edited_ = true;
        showController();
    });
    connect(StrumHighNormal, &QCheckBox::clicked, this, [this](bool on) {
        play_.map.strumHighNormal = on;
        edited_ = true;
        showController();
    });
    connect(Button94, &QPushButton::clicked, this, &JoystickMappingPage::Button94Click);
    connect(Button95, &QPushButton::clicked, this, &JoystickMappingPage::Button95Click);
    connect(Button107, &QPushButton::clicked, this, &JoystickMappingPage::Button107Click);
    return page;
}

void JoystickMappingPage::placePressFunctions(QGridLayout* grid, QWidget* page) {
    // The inputs that act once per press sit in the free rows under their columns: the strum
    // under "Picks", the steps under "Chord Set" and "Pick Set".
    const struct {
        int row, column;
        const char* label;
    } places[kExtraFunctions] = {{5, 11, "\u2193"}, {6, 11, "\u2191"}, {5, 8, "+"}, {5, 14, "+"}};
    for (int i = 0; i < kExtraFunctions; ++i) {
        QLineEdit* box = functionBox(kPressBoxes[i], true, page);
        box->setToolTip(kPressTips[i]);
        functionBoxes[static_cast<std::size_t>(kJoyFunctions + i)] = box;
        auto* label = new QLabel(places[i].label, page);
        label->setToolTip(kPressTips[i]);
        grid->addWidget(label, places[i].row, places[i].column, Qt::AlignRight);
        grid->addWidget(box, places[i].row, places[i].column + 1);
    }
}

bool JoystickMappingPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (int k = 0; k < kAllFunctions; ++k) {
            if (watched == functionBoxes[static_cast<std::size_t>(k)].ifBuilt())
                functionBoxClick(k);
        }
        for (int role = 0; role < kAxisRoles; ++role) {
            if (watched == axisBoxes[static_cast<std::size_t>(role)].ifBuilt())
                axisBoxClick(role);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void JoystickMappingPage::functionBoxClick(int function) {
    QLineEdit* box = functionBoxes[static_cast<std::size_t>(function)];
    if (!box)
        return;
    const int item = selectedRow(ListBox3) + 1;
    box->setText(QString::number(item));
    play_.map.assign(function, inputCode(item));
    edited_ = true;
    showController();
}

void JoystickMappingPage::axisBoxClick(int role) {
    const int row = selectedRow(ListBox4);
    if (row < 0)
        return;
    axisBoxes[static_cast<std::size_t>(role)]->setText(ListBox4->item(row)->text());
    play_.map.axisMap[static_cast<std::size_t>(role)] = row + 1;
    edited_ = true;
    showController();
}

void JoystickMappingPage::showJoyMapping() {
    if (!contents_->built())
        return; // shown when the page is made
    const JoyMapping& m = play_.map;
    for (int k = 0; k < kAllFunctions; ++k) {
        setBoxText(functionBoxes[static_cast<std::size_t>(k)],
                   m.assigned(k) ? std::to_string(inputItem(m.code(k))) : "-");
    }
    for (int role = 0; role < kAxisRoles; ++role)
        setBoxText(axisBoxes[static_cast<std::size_t>(role)],
                   axisText(m.axisMap[static_cast<std::size_t>(role)]));
    PickButtonsPlay->setChecked(m.pickButtonsPlay);
    VibratoMode->setCurrentIndex(m.vibratoMode);
    StrumHighNormal->setChecked(m.strumHighNormal);
}

void JoystickMappingPage::useMapping(const std::string& source, bool remember) {
    source_ = source;
    edited_ = false;
    showJoyMapping();
    if (remember) {
        if (auto error = rememberMapping(settings_, controller_.guid, {play_.map, source}))
            prompts_.showMessage(*error);
    }
    showController();
}

void JoystickMappingPage::useBuiltIn(const char* name) {
    // The layout of the controller in use, or where an Xbox 360 pad has its controls.
    const ControllerInfo layout = controller_.gamepad ? controller_ : xbox360Layout();
    const std::string which = name;
    if (which == kMappingDefaults)
        applyDefaultMapping(play_.map);
    else if (which == kMappingBramble)
        applyBrambleFirstGuitar(play_.map);
    else if (which == kMappingGamepad)
        applyGamepad(play_.map, layout);
    else
        applyGuitarController(play_.map, layout);
    // Trying a built-in mapping is not choosing it for the controller: "Keep for Controller" is.
    useMapping(name, false);
}

void JoystickMappingPage::KeepMappingClick() {
    if (controller_.guid.empty())
        return;
    if (auto error = rememberMapping(settings_, controller_.guid, {play_.map, source_}))
        prompts_.showMessage(*error);
    showController();
}

void JoystickMappingPage::Button1Click() {
    useBuiltIn(kMappingDefaults);
}

void JoystickMappingPage::Button7Click() {
    useBuiltIn(kMappingBramble);
}

void JoystickMappingPage::GamepadClick() {
    useBuiltIn(kMappingGamepad);
}

void JoystickMappingPage::GuitarClick() {
    useBuiltIn(kMappingGuitar);
}

void JoystickMappingPage::takeUpController(bool again) {
    const unsigned serial = joystick_.controllerSerial();
    if (serial == controllerSerial_ && !again)
        return;
    controllerSerial_ = serial;
    controller_ = joystick_.controller();
    // Pulled out: the mapping stays for whatever comes next. Reopened ("ReInit Joystick") or
    // plugged back: it is the player's mapping for this controller, edits and ranges included.
    if (controller_.guid.empty() || (controller_.guid == guidInUse_ && !again)) {
        showController();
        return;
    }
    guidInUse_ = controller_.guid;
    NamedMapping named = mappingForController(controller_, settings_, play_.map);
    play_.map = named.mapping;
    useMapping(named.source, false);
}

void JoystickMappingPage::showController() {
    if (!contents_->built())
        return; // shown when the page is made
    QString text = controller_.guid.empty()
                       ? QString("No controller plugged in.")
                       : QString("Controller: %1.").arg(QString::fromStdString(controller_.name));
    if (!source_.empty()) {
        const bool file = source_ != kMappingDefaults && source_ != kMappingBramble &&
                          source_ != kMappingGamepad && source_ != kMappingGuitar;
        text += file ? QString(" Mapping: %1").arg(QString::fromLocal8Bit(source_.c_str()))
                     : QString(" Mapping: \"%1\"").arg(QString::fromStdString(source_));
        if (edited_)
            text += ", changed here";
        text += ".";
    }
    // Which mapping the controller gets when it comes into use.
    if (!controller_.guid.empty()) {
        const std::optional<NamedMapping> own = rememberedMapping(settings_, controller_.guid);
        if (own && own->mapping == play_.map)
            text += " Kept for this controller.";
        else if (own)
            text += QString(" Kept for it: %1.").arg(QString::fromLocal8Bit(own->source.c_str()));
    }
    KeepMappingButton->setEnabled(!controller_.guid.empty());
    if (ControllerLabel->text() != text)
        ControllerLabel->setText(text);
}

void JoystickMappingPage::Button107Click() {
    applyCalibrations(engine_.st, play_.map);
}

bool JoystickMappingPage::saveJoystickConfig(const std::string& path) {
    if (auto error = writeLineFileAtomically(path, joyConfigLines(play_.map))) {
        prompts_.showMessage(*error);
        return false;
    }
    useMapping(path, true);
    return true;
}

void JoystickMappingPage::Button94Click() {
    if (auto path = prompts_.saveFileName(kSaveJoyConfigDialog))
        saveJoystickConfig(*path);
}

bool JoystickMappingPage::loadJoystickConfig(const std::string& preselected) {
    FileDialogSpec dialog = kLoadJoyConfigDialog;
    dialog.fileName = preselected;
    const auto path = prompts_.openFileName(dialog);
    if (!path)
        return false;
    std::string error;
    const auto text = readSettingsBytes(*path, error);
    if (!text) {
        prompts_.showMessage(error);
        return false;
    }
    JoyConfigParse parsed = parseJoyConfig(*text, *path);
    if (!parsed.mapping) {
        prompts_.showMessage(parsed.error);
        return false;
    }
    play_.map = *parsed.mapping;
    useMapping(*path, true);
    return true;
}

void JoystickMappingPage::placeMapping(const JoyMapping& mapping, const std::string& source) {
    play_.map = mapping;
    useMapping(source, true);
}

void JoystickMappingPage::Button95Click() {
    loadJoystickConfig({});
}

void JoystickMappingPage::Timer4Timer(const JoyInfo& reading) {
    takeUpController();
    if (!contents_->built())
        return; // no monitor to move yet
    for (int i = 1; i <= 6; ++i) {
        QSlider* bar = trackBars[static_cast<std::size_t>(i)];
        const int value = static_cast<int>(reading.axis(kMonitorAxis[i]));
        if (bar->value() != value)
            bar->setValue(value);
    }
}

void JoystickMappingPage::PressTimerTimer() {
    JoyInfo reading;
    joystick_.getPosEx(reading);
    takeUpController();
    const PressToSelect::Selection s = pressToSelect_.watch(reading);
    if (s.inputItem)
        ListBox3->setCurrentRow(s.inputItem - 1);
    if (s.axis)
        ListBox4->setCurrentRow(s.axis - 1);
}

void JoystickMappingPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    pressToSelect_.reset();
    PressTimer->start();
}

void JoystickMappingPage::hideEvent(QHideEvent* event) {
    PressTimer->stop();
    QWidget::hideEvent(event);
}

} // namespace fw
