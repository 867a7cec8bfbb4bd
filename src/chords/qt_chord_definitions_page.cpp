#include "chords/qt_chord_definitions_page.h"

#include "chords/chord_sets.h"
#include "engine/prompts.h"
#include "ui/qt_widgets.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fw {

namespace {} // namespace

ChordDefinitionsPage::ChordDefinitionsPage(ChordSets& chordSets, Prompts& prompts, QWidget* parent)
    : QWidget(parent), chordSets_(chordSets), prompts_(prompts) {
    setObjectName("ChordDefinitionsPage");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    ChordMemo = makeMemo("ChordMemo", this);
    ChordMemo->setReadOnly(true);
    layout->addWidget(ChordMemo, 1);

    FileManager = new QGroupBox("File Manager", this);
    FileManager->setObjectName("FileManager");
    auto* files = new QVBoxLayout(FileManager);
    Button19 = makeButton("Button19", "Save Chord Set", FileManager);
    Button17 = makeButton("Button17", "Load Chord Set", FileManager);
    files->addWidget(Button19);
    files->addWidget(Button17);
    files->addStretch(1);
    layout->addWidget(FileManager);

    connect(Button17, &QPushButton::clicked, this, &ChordDefinitionsPage::Button17Click);
    connect(Button19, &QPushButton::clicked, this, &ChordDefinitionsPage::Button19Click);
    chordSets_.viewChanged = [this] { showView(); };
    showView();
}

void ChordDefinitionsPage::Button17Click() {
    if (auto path = prompts_.openFileName(kLoadChordSetDialog))
        loadChordSetFile(*path);
}

void ChordDefinitionsPage::Button19Click() {
    if (auto path = prompts_.saveFileName(kSaveChordSetDialog))
        chordSets_.saveChordSetFile(*path);
}

bool ChordDefinitionsPage::loadChordSetFile(const std::string& path) {
    return chordSets_.loadChordSetFile(path);
}

void ChordDefinitionsPage::showView() {
    // The files are 8-bit text: every byte shows as one character.
    QStringList lines;
    for (const auto& line : chordSets_.viewLines())
        lines << QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
    ChordMemo->setPlainText(lines.join('\n'));
}

} // namespace fw
