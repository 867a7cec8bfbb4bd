#pragma once

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <string>

namespace fw {

class ChordSets;
class Prompts;

// The "Chord Definitions" sub-tab of "Memory State": the chord memory as text (`ChordMemo`) and
// the chord set file buttons.
class ChordDefinitionsPage : public QWidget {
    Q_OBJECT
public:
    ChordDefinitionsPage(ChordSets& chordSets, Prompts& prompts, QWidget* parent = nullptr);

    void Button17Click(); // "Load Chord Set"
    void Button19Click(); // "Save Chord Set"
    // Loads a chord set file into memory and view; false (and nothing changed) when it fails.
    bool loadChordSetFile(const std::string& path);

    QPlainTextEdit* ChordMemo = nullptr;
    QGroupBox* FileManager = nullptr; // "File Manager"
    QPushButton* Button17 = nullptr;
    QPushButton* Button19 = nullptr;

private:
    void showView();

    ChordSets& chordSets_;
    Prompts& prompts_;
};

} // namespace fw
