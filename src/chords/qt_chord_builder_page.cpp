#include "chords/qt_chord_builder_page.h"

#include "chords/chord_names.h"
#include "chords/note_names.h"
#include "engine/engine.h"
#include "engine/prompts.h"
#include "engine/strict_int.h"

#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStringListModel>
#include <QVBoxLayout>

namespace fw {

const std::array<std::array<const char*, 5>, 5> kChordSlotButtonNames{{
    {},
    {nullptr, "Button2", "Button3", "Button4", "Button5"},
    {nullptr, "Button28", "Button34", "Button35", "Button36"},
    {nullptr, "Button37", "Button38", "Button39", "Button40"},
    {nullptr, "Button41", "Button42", "Button43", "Button44"},
}};

namespace {
constexpr int kPreviewVelocity = 0x5A;
const char* const kNoRootMessage = "Choose a root note in \"Chord Root\" first.";

// The three colour groups match what the fast chord generator fills: chord tones, the same
// an octave up, added tones.
QColor groupColour(int k) {
    if (k <= 4)
        return QColor(255, 236, 179);
    if (k <= 8)
        return QColor(200, 228, 255);
    return QColor(208, 240, 200);
}

// The root list keeps a root chosen: a Ctrl+click (or Ctrl+Space) on the chosen item would
// otherwise leave the list without one, and the slot buttons would store a chord built on no
// root at all.
class RootList : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        const auto flags = QListWidget::selectionCommand(index, event);
        if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return QItemSelectionModel::NoUpdate;
        return flags;
    }
};
} // namespace

ChordBuilderPage::ChordBuilderPage(Engine& engine, Prompts& prompts, QWidget* parent)
    : QWidget(parent), engine_(engine), prompts_(prompts),
      chordSets_(engine.st.chordMemory, prompts), preview_(engine.out, this) {
    setObjectName("ChordsPage");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(8);

    auto* rootColumn = new QVBoxLayout;
    rootColumn->setSpacing(2);
    rootColumn->addWidget(new QLabel("Chord Root", this));
    ListBox2 = new RootList(this);
    ListBox2->setObjectName("ListBox2");
    for (const auto& name : noteNames())
        ListBox2->addItem(QString::fromStdString(name));
    ListBox2->setCurrentRow(36);
    connect(ListBox2, &QListWidget::itemSelectionChanged, this, [this] {
        if (!ListBox2->selectedItems().isEmpty())
            unlistedRoot_.reset();
    });
    ListBox2->setFixedWidth(80);
    rootColumn->addWidget(ListBox2, 1);
    layout->addLayout(rootColumn);

    auto* strings = new QGridLayout;
    strings->setHorizontalSpacing(4);
    strings->setVerticalSpacing(1);
    strings->addWidget(new QLabel("S#", this), 0, 0, Qt::AlignCenter);
    strings->addWidget(new QLabel("1/2N Offset", this), 0, 1);
    QStringList offsets;
    for (int i = 0; i <= 26; ++i)
        offsets << QString::number(i);
    // One list of the offsets serves all ten boxes, as the Beat Manager's note boxes share theirs.
    auto* offsetList = new QStringListModel(offsets, this);
    for (int k = 1; k <= 10; ++k) {
        auto* digit = new QLabel(QString::number(k - 1), this);
        digit->setObjectName(QString("StringDigit%1").arg(k - 1));
        strings->addWidget(digit, k, 0, Qt::AlignCenter);
        auto* box = new QComboBox(this);
        box->setObjectName(QString("ComboBox%1").arg(k));
        makeEditable(box);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setModel(offsetList);
        box->setCurrentIndex(0);
        box->setFixedWidth(64);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, groupColour(k));
        palette.setColor(QPalette::Button, groupColour(k));
        box->setPalette(palette);
        offsetBoxes[k] = box;
        strings->addWidget(box, k, 1);
        auto* play = makeButton(QString("Button%1").arg(82 + k), "<((", this);
        play->setFixedWidth(36);
        play->setToolTip(QString("Hear string %1").arg(k));
        previewButtons[k] = play;
        strings->addWidget(play, k, 2);
        connect(play, &QPushButton::clicked, this, [this, k] { previewString(k); });
    }
    strings->setRowStretch(11, 1);
    layout->addLayout(strings);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    Button75 = makeButton("Button75", "Type", this);
    Button6 = makeButton("Button6", "6 String", this);
    Button74 = makeButton("Button74", "Edit an Existing Chord", this);
    for (auto* b : {Button75, Button6, Button74})
        right->addWidget(b, 0, Qt::AlignLeft);
    SaveChordGroup = new QGroupBox("Save Chord (Set-Slot)", this);
    SaveChordGroup->setObjectName("SaveChordGroup");
    auto* slotGrid = new QGridLayout(SaveChordGroup);
    slotGrid->setSpacing(2);
    for (int set = 1; set <= 4; ++set) {
        for (int chord = 1; chord <= 4; ++chord) {
            auto* b = makeButton(kChordSlotButtonNames[set][chord],
                                 QString("%1-%2").arg(set).arg(chord), SaveChordGroup);
            b->setFixedWidth(44);
            slotButtons[set][chord] = b;
            slotGrid->addWidget(b, set - 1, chord - 1);
            connect(b, &QPushButton::clicked, this,
                    [this, set, chord] { saveChordToSlot(set, chord); });
        }
    }
    right->addWidget(SaveChordGroup, 0, Qt::AlignLeft);
    StoredChordName = new QLabel(this);
    StoredChordName->setObjectName("StoredChordName");
    StoredChordName->setToolTip("The chord a slot button stored last, by its name");
    right->addWidget(StoredChordName, 0, Qt::AlignLeft);
    right->addStretch(1);
    layout->addLayout(right);
    layout->addStretch(1);
}

void ChordBuilderPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list has its size only now; bring the chosen root into sight.
    if (QListWidgetItem* item = ListBox2->currentItem())
        ListBox2->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

std::optional<int> ChordBuilderPage::root() const {
    const QListWidgetItem* item = ListBox2->currentItem();
    if (item && item->isSelected())
        return ListBox2->row(item);
    return unlistedRoot_;
}

int ChordBuilderPage::rootIndex() const {
    return root().value_or(-1);
}

void ChordBuilderPage::setRootIndex(int root) {
    if (root >= 0 && root < ListBox2->count()) {
        unlistedRoot_.reset();
        ListBox2->setCurrentRow(root);
        ListBox2->scrollToItem(ListBox2->item(root), QAbstractItemView::PositionAtCenter);
    } else {
        ListBox2->setCurrentRow(-1);
        ListBox2->clearSelection();
        unlistedRoot_ = root;
    }
}

std::array<std::string, 10> ChordBuilderPage::offsetTexts() const {
    std::array<std::string, 10> out;
    for (int k = 1; k <= 10; ++k)
        out[static_cast<std::size_t>(k - 1)] = offsetBoxes[k]->currentText().toStdString();
    return out;
}

void ChordBuilderPage::setOffsetText(int k, const QString& text) {
    if (k >= 1 && k <= 10)
        offsetBoxes[k]->setEditText(text);
}

void ChordBuilderPage::showChord(const BuilderChord& chord) {
    setRootIndex(chord.root);
    for (int k = 1; k <= 10; ++k)
        setOffsetText(k, QString::number(chord.offsets[static_cast<std::size_t>(k - 1)]));
}

void ChordBuilderPage::previewString(int k) {
    if (k < 1 || k > 10)
        return;
    int offset = 0;
    try {
        offset = strToInt(offsetBoxes[k]->currentText().toStdString());
    } catch (const ConversionError& e) {
        prompts_.showMessage(e.what());
        return;
    }
    const auto r = root();
    if (!r) {
        prompts_.showMessage(kNoRootMessage);
        return;
    }
    const long long note = static_cast<long long>(*r) + offset;
    preview_.play(0x91 + engine_.ui.track, note < 0 || note > 127 ? -1 : static_cast<int>(note),
                  kPreviewVelocity);
}

void ChordBuilderPage::saveChordToSlot(int set, int chord) {
    const auto r = root();
    if (!r) {
        prompts_.showMessage(kNoRootMessage);
        return;
    }
    if (!chordSets_.saveChordToSlot(set, chord, *r, offsetTexts()))
        return;
    const std::string name = chordName(chordSets_.memory()[set][chord]);
    StoredChordName->setText(QString("Stored in %1-%2: %3")
                                 .arg(set)
                                 .arg(chord)
                                 .arg(QString::fromStdString(name.empty() ? "empty" : name)));
}

} // namespace fw
