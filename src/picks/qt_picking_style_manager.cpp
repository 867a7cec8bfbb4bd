#include "picks/qt_picking_style_manager.h"

#include "engine/prompts.h"
#include "engine/random.h"
#include "files/line_file.h"
#include "picks/picking_styles.h"
#include "picks/qt_pick_pages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace fw {

namespace {
const QStringList kSlotCaptions{
    "Pick 1 Style", "Pick 1 Altered Style", "Pick 2 Style", "Pick 2 Altered Style",
    "Pick 3 Style", "Pick 3 Altered Style", "Pick 4 Style", "Pick 4 Altered Style"};
const char* const kPoolHint =
    "Input Any Number of each  digit of your choosing (-,1,2,3,4,5,6,7,8,9)  The more times a "
    "diit is used, the more probable it will be plucked alot.";

// The sequence number (1..8) of the slot chosen in a slot list.
int chosenSequence(const RadioGroup* group) {
    return group->itemIndex() + 1;
}
} // namespace

TForm3::TForm3(PickingStyleManagerHost& host, Prompts& prompts, Random& styles, QWidget* parent)
    : QDialog(parent), host_(host), prompts_(prompts), random_(styles) {
    setObjectName("TForm3");
    setWindowTitle("Picking Style Manager");
    setModal(true);

    auto* grid = new QGridLayout(this);
    auto slotList = [this](const char* name, const char* caption) {
        auto* group = new RadioGroup(name, caption, kSlotCaptions, 1, this);
        group->setItemIndex(0);
        return group;
    };

    // "Load" and "Save": a slot list over its button.
    auto slotAction = [&](const char* title, RadioGroup* list, const char* buttonName, int column) {
        auto* box = new QGroupBox(title, this);
        auto* layout = new QVBoxLayout(box);
        list->setParent(box);
        layout->addWidget(list);
        layout->addStretch(1);
        auto* button = makeButton(buttonName, title, box);
        layout->addWidget(button);
        grid->addWidget(box, 0, column);
        return button;
    };
    RadioGroup1 = slotList("RadioGroup1", "Select Style Slot to Load Into");
    Button1 = slotAction("Load", RadioGroup1, "Button1", 0);
    RadioGroup2 = slotList("RadioGroup2", "Select Style Slot to Save From");
    Button2 = slotAction("Save", RadioGroup2, "Button2", 1);

    auto* random = new QGroupBox("Random Pick Style Generator", this);
    auto* randomLayout = new QGridLayout(random);
    RadioGroup3 = slotList("RadioGroup3", "Select Style Slot to Generate Into");
    randomLayout->addWidget(RadioGroup3, 0, 0, 1, 2);
    randomLayout->addWidget(new QLabel("Usable Strings:", random), 1, 0);
    Edit1 = new QLineEdit("-0123456789", random);
    Edit1->setObjectName("Edit1");
    Edit1->setToolTip(kPoolHint);
    randomLayout->addWidget(Edit1, 1, 1);
    randomLayout->addWidget(new QLabel("Num Notes/Channel:", random), 2, 0);
    Edit2 = new QLineEdit("8", random);
    Edit2->setObjectName("Edit2");
    randomLayout->addWidget(Edit2, 2, 1);
    Button6 = makeButton("Button6", "Generate", random);
    randomLayout->addWidget(Button6, 3, 0, 1, 2);
    grid->addWidget(random, 0, 2);

    auto* all = new QGroupBox("Load or Save Complete Style Set (All 8 Styles)", this);
    auto* allLayout = new QHBoxLayout(all);
    Button4 = makeButton("Button4", "Load", all);
    Button5 = makeButton("Button5", "Save", all);
    allLayout->addWidget(Button4);
    allLayout->addWidget(Button5);
    grid->addWidget(all, 1, 0, 1, 2);

    Button3 = makeButton("Button3", "Close", this);
    grid->addWidget(Button3, 1, 2);

    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TForm3::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TForm3::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TForm3::Button6Click);
    connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
}

void TForm3::Button1Click() {
    const auto path = prompts_.openFileName(kLoadStyleSlotDialog);
    if (!path)
        return;
    const auto read = readStyleSlotFile(*path);
    if (!read.ok()) {
        prompts_.showMessage(read.error);
        return;
    }
    host_.pickPages().setChannelTexts(chosenSequence(RadioGroup1), read.value);
}

void TForm3::Button2Click() {
    const auto path = prompts_.saveFileName(kSaveStyleSlotDialog);
    if (!path)
        return;
    const std::string text =
        styleSlotText(host_.pickPages().channelTexts(chosenSequence(RadioGroup2)));
    if (auto error = writeFileReplacing(*path, text))
        prompts_.showMessage(*error);
}

void TForm3::Button4Click() {
    const auto path = prompts_.openFileName(kLoadStyleGroupDialog);
    if (!path)
        return;
    const auto read = readStyleGroupFile(*path);
    if (!read.ok()) {
        prompts_.showMessage(read.error);
        return;
    }
    for (int n = 1; n <= kPickSequences; ++n)
        host_.pickPages().setChannelTexts(n, read.value[static_cast<std::size_t>(n - 1)]);
}

void TForm3::Button5Click() {
    const auto path = prompts_.saveFileName(kSaveStyleGroupDialog);
    if (!path)
        return;
    StyleGroup group;
    for (int n = 1; n <= kPickSequences; ++n)
        group[static_cast<std::size_t>(n - 1)] = host_.pickPages().channelTexts(n);
    if (auto error = writeFileReplacing(*path, styleGroupText(group)))
        prompts_.showMessage(*error);
}

void TForm3::Button6Click() {
    // The count is checked before the boxes are touched, so a typo keeps the player's pattern.
    const auto count = parseStyleNoteCount(Edit2->text().toStdString());
    if (!count.ok()) {
        prompts_.showMessage(count.error);
        return;
    }
    const std::string pool = Edit1->text().toLatin1().toStdString();
    host_.pickPages().setChannelTexts(chosenSequence(RadioGroup3),
                                      generateRandomStyle(random_, pool, count.value));
}

void TForm3::Button3Click() {
    accept();
}

} // namespace fw
